"""Query complexity on vexil_kit.BooleanFunction: sensitivities, block sensitivity, certificates and
decision-tree depth against references written from the definitions, known values, the relations
between the measures and argument checks."""

import numpy as np
import pytest
import reference
from hypothesis import given, settings
from kit_strategies import functions

from vexil_kit import BooleanFunction as BF

# -- checks from the definitions ------------------------------------------------------------------


def is_certificate(f, x, variables):
    """Whether every input agreeing with x on `variables` (a mask) has the value f(x)."""
    y = np.arange(len(f))
    same = (y & variables) == (x & variables)
    return bool(np.all(f.table[same] == f[x]))


SPREAD = BF.from_hex("0x1bd8", n=4)  # s(x) = 2 everywhere, bs = C = 3


def lifted(seed, n, blocks=1):
    """h(g1, .., gk, the other variables) for a random h, where each gi is SPREAD on its own four
    variables with its inputs and output negated at random; then the n variables are permuted and
    negated at random. Unlike most random tables, these have s < bs, so that the bounds leave the
    inputs to the packing search."""
    rng = np.random.default_rng(seed)
    x = np.arange(1 << n)
    outer = np.zeros_like(x)
    for j in range(blocks):
        inner = SPREAD.table[((x >> (4 * j)) & 15) ^ int(rng.integers(16))] ^ bool(rng.integers(2))
        outer |= inner.astype(np.int64) << j
    outer |= (x >> (4 * blocks)) << blocks
    h = rng.integers(0, 2, 1 << (n - 3 * blocks)).astype(bool)
    h[0] = not h[-1]  # not constant
    perm = rng.permutation(n)
    moved = np.zeros_like(x)
    for v in range(n):
        moved |= ((x >> v) & 1) << perm[v]
    return BF(h[outer][moved ^ int(rng.integers(1 << n))])


def every_function(max_n):
    return [BF.from_int(t, n=n) for n in range(max_n + 1) for t in range(1 << (1 << n))]


SMALL = every_function(3)


# -- against the references ------------------------------------------------------------------------


def check_against_references(f):
    s = reference.sensitivities(f)
    assert f.sensitivities().dtype == np.uint8
    assert np.array_equal(f.sensitivities(), s)
    assert (f.sensitivity(), f.min_sensitivity()) == (int(s.max()), int(s.min()))
    assert f.average_sensitivity() == int(s.sum()) / len(f)
    sizes = reference.certificate_sizes(f)
    assert f.certificate_complexity() == int(sizes.max())
    for value in (0, 1):
        chosen = sizes[f.table == bool(value)]
        assert f.certificate_complexity(value) == (int(chosen.max()) if chosen.size else 0)
    for x in range(len(f)):
        cert = f.certificate(x)
        mask = sum(1 << v for v in cert)
        assert len(cert) == sizes[x] and is_certificate(f, x, mask), (f, x, cert)
        assert all(bit == (x >> v) & 1 for v, bit in cert.items())
    assert f.block_sensitivity() == reference.block_sensitivity(f)
    assert f.decision_tree_depth() == reference.decision_tree_depth(f)


@pytest.mark.parametrize("n", [0, 1, 2, 3])
def test_every_function_of_up_to_three_variables(n):
    for f in (g for g in SMALL if g.n == n):
        check_against_references(f)


@settings(max_examples=60, deadline=None)
@given(functions(4, 6))
def test_random_functions_against_references(f):
    check_against_references(f)


@settings(max_examples=25, deadline=None)
@given(functions(7, 10))
def test_sensitivities_of_larger_random_functions(f):
    s = reference.sensitivities(f)
    assert np.array_equal(f.sensitivities(), s)
    assert (f.sensitivity(), f.min_sensitivity()) == (int(s.max()), int(s.min()))
    assert f.average_sensitivity() == int(s.sum()) / len(f)


@pytest.mark.parametrize(
    "n, blocks, seed", [(n, 1, seed) for n in (4, 5, 6, 7) for seed in range(6)] + [(8, 2, seed) for seed in range(3)]
)
def test_lifted_functions_against_references(n, blocks, seed):
    f = lifted(seed, n, blocks)
    bs = f.block_sensitivity()
    assert bs == reference.block_sensitivity(f)
    assert f.decision_tree_depth() == reference.decision_tree_depth(f)
    sizes = reference.certificate_sizes(f)
    assert f.certificate_complexity(0) == int(sizes[~f.table].max())
    assert f.certificate_complexity(1) == int(sizes[f.table].max())
    for x in range(0, len(f), 7):
        assert len(f.certificate(x)) == sizes[x]


def test_lifted_functions_leave_work_to_the_search():
    # Otherwise the test above would only see the bounds at work.
    fs = [lifted(seed, n) for n in (4, 5, 6, 7) for seed in range(6)] + [lifted(seed, 8, 2) for seed in range(3)]
    assert sum(f.sensitivity() < f.block_sensitivity() for f in fs) >= len(fs) // 2
    assert max(f.block_sensitivity() - f.sensitivity() for f in fs) >= 2


@pytest.mark.parametrize("n", [18, 20])
def test_sensitivities_on_the_pool(n):
    # From n = 18 the table is shared out over the pool.
    f = BF.random(n, seed=n)
    s = reference.sensitivities(f)
    assert np.array_equal(f.sensitivities(), s)
    assert (f.sensitivity(), f.min_sensitivity()) == (int(s.max()), int(s.min()))
    assert f.average_sensitivity() == int(s.sum()) / len(f)
    assert f.sensitivity() == f.max_sensitivity()


# -- known values ------------------------------------------------------------------------------------


@pytest.mark.parametrize("n", [1, 2, 5, 9])
def test_xor(n):
    f = BF.xor(n)
    assert f.sensitivity() == f.min_sensitivity() == f.block_sensitivity() == n
    assert f.certificate_complexity() == f.certificate_complexity(0) == f.certificate_complexity(1) == n
    assert f.decision_tree_depth() == n
    assert f.average_sensitivity() == n


@pytest.mark.parametrize("n", [1, 3, 5, 7, 11])
def test_majority(n):
    f = BF.majority(n)
    half = (n + 1) // 2
    assert (f.sensitivity(), f.block_sensitivity(), f.certificate_complexity()) == (half, half, half)
    assert f.certificate_complexity(0) == f.certificate_complexity(1) == half
    assert f.decision_tree_depth() == n


@pytest.mark.parametrize("n", [1, 2, 4, 8])
def test_conjunction(n):
    f = BF.conjunction(n)
    assert f.sensitivity() == f.block_sensitivity() == f.certificate_complexity() == f.decision_tree_depth() == n
    assert (f.certificate_complexity(0), f.certificate_complexity(1)) == (1, n)
    assert f.certificate(0) == {0: 0}  # the least variable of the smallest certificates
    assert f.certificate(len(f) - 1) == {v: 1 for v in range(n)}


@pytest.mark.parametrize("k", [0, 1, 2, 3])
def test_address(k):
    f = BF.address(k)
    assert f.decision_tree_depth() == k + 1
    assert f.certificate_complexity() == k + 1


@pytest.mark.parametrize("width, count", [(2, 3), (3, 2), (3, 3), (1, 4)])
def test_tribes(width, count):
    f = BF.tribes(width, count)
    # A false input needs one false variable per tribe, a true one a whole tribe.
    assert (f.certificate_complexity(0), f.certificate_complexity(1)) == (count, width)
    assert f.sensitivity() == f.block_sensitivity() == max(width, count)
    assert f.decision_tree_depth() == width * count


@pytest.mark.parametrize(
    "f", [BF.constant(0, True), BF.constant(0, False), BF.constant(4, True), BF.constant(3, False)]
)
def test_constants(f):
    assert f.sensitivity() == f.min_sensitivity() == f.block_sensitivity() == 0
    assert f.certificate_complexity() == f.certificate_complexity(0) == f.certificate_complexity(1) == 0
    assert f.decision_tree_depth() == 0 and f.average_sensitivity() == 0.0
    assert f.certificate(len(f) - 1) == {}
    assert np.array_equal(f.sensitivities(), np.zeros(len(f)))


def test_ignored_variables_change_nothing():
    # g is f of four variables spread over seven, the others ignored.
    f = BF.from_hex("0x1bd8", n=4)
    spread = [0, 2, 5, 6]
    g = BF.from_callable(7, lambda x: f[sum(((x >> p) & 1) << i for i, p in enumerate(spread))])
    assert (g.block_sensitivity(), g.decision_tree_depth()) == (f.block_sensitivity(), f.decision_tree_depth())
    assert [g.certificate_complexity(v) for v in (None, 0, 1)] == [f.certificate_complexity(v) for v in (None, 0, 1)]
    assert set(g.certificate(0b1111111)) <= set(spread)


# -- relations ---------------------------------------------------------------------------------------


@settings(max_examples=30, deadline=None)
@given(functions(0, 11))
def test_relations_between_the_measures(f):
    s, bs, c, d = f.sensitivity(), f.block_sensitivity(), f.certificate_complexity(), f.decision_tree_depth()
    assert s <= bs <= c <= d <= f.n
    assert c == max(f.certificate_complexity(0), f.certificate_complexity(1))
    assert c == f.to_vexil().certificate_complexity()
    counts = f.sensitivities()
    assert counts.sum() == f.influence_counts().sum()
    assert counts.mean() == f.average_sensitivity() == f.total_influence()
    rng = np.random.default_rng(f.n)
    for x in rng.integers(0, len(f), 4).tolist():
        cert = f.certificate(x)
        assert is_certificate(f, x, sum(1 << v for v in cert))
        assert counts[x] <= len(cert) <= c


@pytest.mark.parametrize("seed", [1, 2])
def test_larger_functions_keep_the_relations(seed):
    # s < bs, so the bounds leave inputs to the packing search; the tree runs on the pool.
    f = lifted(seed, 13, blocks=3)
    s, bs, c, d = f.sensitivity(), f.block_sensitivity(), f.certificate_complexity(), f.decision_tree_depth()
    assert s < bs <= c <= d <= 13
    # Fixing a variable never deepens the tree, and a tree may start with any variable.
    halves = [f.restrict({v: b}).decision_tree_depth() for v in (0, 12) for b in (0, 1)]
    assert max(halves) <= d <= 1 + min(max(halves[:2]), max(halves[2:]))
    assert max(f.restrict({12: b}).block_sensitivity() for b in (0, 1)) <= bs


def test_certificate_takes_bits_like_a_call():
    f = BF.majority(5)
    for x in (0, 7, 19, 31):
        bits = [(x >> v) & 1 for v in range(5)]
        assert f.certificate(bits) == f.certificate(x) == f.certificate(np.int64(x))
        assert f.certificate(tuple(bool(b) for b in bits)) == f.certificate(x)


# -- arguments and memory -------------------------------------------------------------------------


@pytest.mark.parametrize(
    "call, error",
    [
        (lambda f: f.certificate(8), IndexError),
        (lambda f: f.certificate(-1), IndexError),
        (lambda f: f.certificate([1, 0]), ValueError),
        (lambda f: f.certificate([1, 0, 2]), ValueError),
        (lambda f: f.certificate(1.0), TypeError),
        (lambda f: f.certificate_complexity(2), ValueError),
        (lambda f: f.certificate_complexity("1"), ValueError),
        (lambda f: f.block_sensitivity(progress=3), TypeError),
        (lambda f: f.decision_tree_depth(progress="yes"), TypeError),
        (lambda f: f.certificate_complexity(1, progress=3), TypeError),
    ],
)
def test_bad_arguments_are_refused(call, error):
    with pytest.raises(error):
        call(BF.majority(3))


def test_value_may_be_a_bool_or_numpy():
    f = BF.conjunction(3)
    assert f.certificate_complexity(True) == f.certificate_complexity(np.int8(1)) == 3
    assert f.certificate_complexity(np.False_) == 1
    assert f.certificate_complexity(progress=None) == 3


def or_of_copies(g, count):
    return BF(reference.or_of_copies(g, count))


def test_or_of_copies_adds_block_sensitivity_but_not_sensitivity():
    # s < bs = C: the bounds do not settle it, the packing search does.
    f = or_of_copies(SPREAD, 3)
    assert (f.sensitivity(), f.block_sensitivity(), f.certificate_complexity()) == (6, 9, 9)
    assert f.decision_tree_depth() == 9


def test_decision_tree_depth_refuses_what_memory_cannot_hold():
    # 3**24 bytes of subcubes (282 GB) for a table of 16 MB.
    with pytest.raises(MemoryError):
        BF.tribes(4, 6).decision_tree_depth()
    assert BF.tribes(2, 3).decision_tree_depth() == 6
