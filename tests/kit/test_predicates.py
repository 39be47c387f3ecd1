"""Predicates, criteria, transforms and constructions of BooleanFunction against their brute-force
definitions (tests/reference.py) and the relations between them; the figures of vexil_kit.plot."""

import itertools

import numpy as np
import pytest
import reference

from vexil_kit import BooleanFunction as BF


def _symmetric(n, seed):
    profile = np.random.default_rng(seed).integers(0, 2, n + 1).astype(bool)
    return BF(profile[reference.popcounts(1 << n)])


def _monotone(n, seed):
    """An OR of a few random ANDs."""
    terms = np.random.default_rng(seed).integers(1, 1 << n, 3)
    x = np.arange(1 << n)
    return BF(np.any([(x & t) == t for t in terms], axis=0))


def _self_dual(n, seed):
    """g where x_(n-1) = 0 and the dual of g where it is 1."""
    g = BF.random(n - 1, seed=seed)
    return BF(np.concatenate([g.table, ~g.table[::-1]]))


SMALL = [BF([bool(b) for b in bits]) for n in range(4) for bits in itertools.product([0, 1], repeat=1 << n)]
STRUCTURED = [
    f
    for n in range(4, 9)
    for f in (
        BF.random(n, seed=n),
        BF.random(n, seed=n, balanced=True),
        _symmetric(n, n),
        _monotone(n, n),
        _monotone(n, n).shift(5),  # unate, not monotone
        _self_dual(n, n),
        BF(reference.affine_table(n, 0b1011 % (1 << n), n % 2)),
        BF.majority(n),
        BF.inner_product(n - n % 2),
        BF.inner_product(n - n % 2).direct_sum(BF.dictator(n % 2, 0)) if n % 2 else BF.inner_product(n),
    )
]
FUNCTIONS = SMALL + STRUCTURED

ORACLES = {
    "is_symmetric": reference.is_symmetric,
    "is_monotone": reference.is_monotone,
    "is_unate": lambda f: None not in reference.unate_polarities(f),
    "unate_polarities": reference.unate_polarities,
    "is_self_dual": lambda f: f.n > 0 and reference.is_self_dual(f),
    "is_affine": reference.is_affine,
    "is_linear": reference.is_linear,
    "plateaued_amplitude": reference.plateaued_amplitude,
    "is_plateaued": lambda f: reference.plateaued_amplitude(f) != 0,
    "essential_variables": reference.essential_variables,
    "propagation_criterion": lambda f: reference.propagation_criterion(f) if f.n else 0,
    "strict_avalanche": lambda f: f.n > 0 and reference.propagation_criterion(f) >= 1,
    "chow_parameters": reference.chow_parameters,
    "walsh_spectrum_counts": lambda f: reference.walsh_counts(f, signed=False),
}


@pytest.mark.parametrize("name", ORACLES)
def test_every_predicate_matches_its_definition(name):
    """All functions of n <= 3 and structured and random ones to n = 8 (one and several words)."""
    for f in FUNCTIONS:
        assert getattr(f, name)() == ORACLES[name](f), (name, f)


@pytest.mark.parametrize("f", STRUCTURED[::3], ids=repr)
def test_signed_counts_and_the_anf_text_match_their_definitions(f):
    assert f.walsh_spectrum_counts(signed=True) == reference.walsh_counts(f, signed=True)
    text = f.anf_text()
    # The ring notation read with the parser's operators gives f back, as the parseable form does.
    assert BF.from_expression(text.replace("*", "&").replace("+", "^"), n=f.n) == f
    assert BF.from_expression(f.anf_text(parseable=True), n=f.n) == f
    terms = [[] if t == "1" else [int(x[1:]) for x in t.split("*")] for t in text.split(" + ")]
    assert len(terms) == len(reference.anf(f))
    assert terms == sorted(terms, key=lambda t: (-len(t), t))  # highest degree first, then by variables


@pytest.mark.parametrize("f", FUNCTIONS[::7], ids=repr)
def test_relations_between_predicates_and_transforms(f):
    assert not f.is_monotone() or f.is_unate()
    assert f.dual().dual() == f
    assert f.is_self_dual() == (f.n > 0 and f == f.dual())
    assert not f.is_bent() or f.plateaued_amplitude() == 1 << (f.n // 2)
    assert not f.is_affine() or f.plateaued_amplitude() == 1 << f.n
    assert f.strict_avalanche() == (f.propagation_criterion() >= 1)
    assert f.project(f.essential_variables()).n == len(f.essential_variables())
    s = (1 << f.n) - 1 if f.n else 0
    assert f.shift(s) == ~f.dual()
    assert f.shift(s).walsh_spectrum_counts() == f.walsh_spectrum_counts()


@pytest.mark.parametrize("n", [16, 21])
def test_large_tables_take_the_chunked_and_transform_paths(n):
    """Across poll chunks (2**14 words) and the pool's split transform (above 2**14 entries)."""
    f = BF.majority(n)
    flipped = np.array(f.table)
    flipped[(1 << n) - 2] = False  # a late fault
    g = BF(flipped)
    assert (f.is_monotone(), f.is_symmetric(), f.is_self_dual() == (n % 2 == 1)) == (True, True, True)
    assert (g.is_monotone(), g.is_unate(), g.is_symmetric(), g.is_self_dual()) == (False, False, False, False)
    bent = BF.maiorana_mcfarland(np.random.default_rng(n).permutation(1 << (n // 2)), BF.random(n // 2, seed=1))
    assert bent.plateaued_amplitude() == 1 << (bent.n // 2)
    assert bent.direct_sum(BF.dictator(1, 0)).plateaued_amplitude() == 1 << (bent.n // 2 + 1)
    assert g.plateaued_amplitude() == 0


@pytest.mark.parametrize("m", [1, 2, 3])
def test_direct_sum_multiplies_the_spectra(m):
    f, g = BF.random(3, seed=m), BF.random(m, seed=10 + m)
    w = f.direct_sum(g).walsh_spectrum()
    assert np.array_equal(w, np.outer(g.walsh_spectrum(), f.walsh_spectrum()).reshape(-1))


@pytest.mark.parametrize("i", [0, 1, 2])
def test_compositions_follow_their_variable_layout(i):
    f, g = BF.random(3, seed=i), BF.random(2, seed=5 + i)
    h = f.compose(g, i)
    for z in range(len(h)):
        low, y, high = z & ((1 << i) - 1), z >> i & 3, z >> (i + 2)
        assert h[z] == f[low | g[y] << i | high << (i + 1)]
    b = f.block_compose(g)
    for z in range(len(b)):
        assert b[z] == f[sum(g[z >> (2 * v) & 3] << v for v in range(3))]
    assert f.concatenate(g.extend(3)).table.tolist() == f.table.tolist() + g.extend(3).table.tolist()


def test_project_refuses_to_drop_an_essential_variable():
    f = BF.from_expression("x0 & x2", n=4)
    assert f.project([2, 0, 3]) == BF.from_expression("x1 & x0", n=3)
    with pytest.raises(ValueError, match="variable 2"):
        f.project([0, 1])


F3, G2 = BF.random(3, seed=1), BF.random(2, seed=2)


@pytest.mark.parametrize(
    "call, error, match",
    [
        (lambda: F3.shift(8), ValueError, "outside"),
        (lambda: F3.shift(True), TypeError, "bool"),
        (lambda: F3.concatenate(G2), ValueError, "same number"),
        (lambda: F3.compose(G2, 3), ValueError, "outside"),
        (lambda: F3.project([0, 1, 2, 2]), ValueError, "distinct"),
        (lambda: F3.project([0, 1, 3]), ValueError, "outside"),
        (lambda: BF.random(8, seed=0).block_compose(BF.random(8, seed=1)), ValueError, "64 variables"),
        (lambda: BF.maiorana_mcfarland([0, 1, 1, 2], G2), ValueError, "permutation"),
        (lambda: BF.maiorana_mcfarland([0, 1], G2), ValueError, "2\\*\\*k"),
        (lambda: F3.walsh_spectrum_counts(signed=1), TypeError, "bool"),
        (lambda: F3.anf_text(parseable="yes"), TypeError, "bool"),
    ],
)
def test_constructions_refuse_bad_arguments(call, error, match):
    with pytest.raises(error, match=match):
        call()


def test_figures_have_a_bar_per_variable_and_per_value():
    pytest.importorskip("matplotlib")
    from vexil_kit import plot

    f = BF.majority(5)
    assert len(plot.influences(f).axes[0].patches) == 5
    assert len(plot.walsh_spectrum(f).axes[0].patches) == 32
    assert len(plot.walsh_spectrum(f, by_value=True).axes[0].patches) == len(f.walsh_spectrum_counts(signed=True))
