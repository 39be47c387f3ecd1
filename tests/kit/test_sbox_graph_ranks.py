"""The Gamma- and Delta-ranks against the rank of their incidence matrices built here, their invariance
under CCZ maps, the values published for the APN functions of dimensions 5 and 6, their use in the CCZ
search, and the limit of the searches of Walsh zero spaces."""

import random
import textwrap

import pytest
from children import run_limited
from reference import random_invertible_rows, translate_rank

from vexil_kit import VectorialFunction, registry, sbox_equivalence
from vexil_kit.sboxes import _poly_mulmod as times_mod


def dot(u, v):
    return (u & v).bit_count() & 1


def graph(f):
    return {x | f(x) << f.n for x in range(1 << f.n)}


def derivatives(f):
    return {a | (f(x) ^ f(x ^ a)) << f.n for a in range(1, 1 << f.n) for x in range(1 << f.n)}


CASES = [VectorialFunction.random(n, m, seed=3 * n + m) for n, m in [(1, 1), (1, 3), (2, 2), (3, 2), (2, 5), (4, 4)]]
CASES += [VectorialFunction.named("PRESENT"), VectorialFunction.power(4, 3), VectorialFunction.power(3, 3)]
CASES += [VectorialFunction([0] * 8, 3), VectorialFunction.from_callable(lambda x: x ^ 5, 4, 4)]
CASES += [VectorialFunction.random_permutation(5, seed=1)]


@pytest.mark.parametrize("f", CASES, ids=repr)
def test_the_ranks_are_those_of_the_incidence_matrices_of_the_graph_and_the_derivatives(f):
    k = f.n + f.m
    assert f.gamma_rank() == translate_rank(graph(f), k)
    assert f.delta_rank() == translate_rank(derivatives(f), k)


def times(rows, x):
    return sum(dot(row, x) << i for i, row in enumerate(rows))


def ea_transform(f, rng, affine=False):
    """B.f(A.x ^ a) ^ C.x ^ b for random invertible A, B and random C, a, b (C = 0 when ``affine``)."""
    n, m = f.n, f.m
    A, B = random_invertible_rows(n, rng), random_invertible_rows(m, rng)
    C = [0 if affine else rng.randrange(1 << n) for _ in range(m)]
    a, b = rng.randrange(1 << n), rng.randrange(1 << m)
    return VectorialFunction([times(B, f(times(A, x) ^ a)) ^ times(C, x) ^ b for x in range(1 << n)], m)


PERMUTATIONS = [VectorialFunction.power(5, 3), VectorialFunction.named("PRESENT"), VectorialFunction.power(5, 5)]
PERMUTATIONS += [VectorialFunction.random_permutation(4, seed=7), VectorialFunction.power(5, 30)]


@pytest.mark.parametrize("f", PERMUTATIONS, ids=repr)
def test_the_ranks_are_kept_by_ccz_maps(f):
    # The inverse swaps the halves of the graph; with EA maps around it, a CCZ map neither EA nor a swap.
    rng = random.Random(f.n * 31 + f(1))
    images = [f.inverse(), ea_transform(f, rng), ea_transform(ea_transform(f, rng, affine=True).inverse(), rng)]
    for g in images:
        assert (g.gamma_rank(), g.delta_rank()) == (f.gamma_rank(), f.delta_rank())


def polynomial(n, modulus, terms):
    """x -> sum of u**e * x**d over (e, d) in terms, over GF(2)[x] / (modulus), u = x a primitive element."""

    def power(x, d):
        result = 1
        for _ in range(d):
            result = times_mod(result, x, modulus)
        return result

    table = [0] * (1 << n)
    for x in range(1 << n):
        for e, d in terms:
            table[x] ^= times_mod(power(2, e), power(x, d), modulus)
    return VectorialFunction(table, n)


# The Gamma- and Delta-ranks of the switching classes of APN functions listed on the Boolean functions
# wiki of the University of Bergen, "Known switching classes of APN functions over GF(2^n) for
# n = 5,6,7,8" (boolean.h.uib.no), after Edel and Pott (Adv. Math. Commun. 3(1), 2009): over GF(2^5)
# x^3 and x^5 have (330, 42) and x^-1 (496, 232); over GF(2^6) x^3 has (1102, 94) and
# x^3 + u^11 x^6 + u x^9 (u primitive) has (1146, 94). The last is built over two fields.
PUBLISHED = [
    (VectorialFunction.power(5, 3), (330, 42)),
    (VectorialFunction.power(5, 5), (330, 42)),
    (VectorialFunction.power(5, 30), (496, 232)),
    (VectorialFunction.power(6, 3), (1102, 94)),
    (polynomial(6, 0x43, [(0, 3), (11, 6), (1, 9)]), (1146, 94)),
    (polynomial(6, 0x5B, [(0, 3), (11, 6), (1, 9)]), (1146, 94)),
]


@pytest.mark.parametrize(("f", "ranks"), PUBLISHED, ids=repr)
def test_the_published_ranks_of_apn_functions(f, ranks):
    assert f.is_apn()
    assert (f.gamma_rank(), f.delta_rank()) == ranks


@pytest.mark.parametrize(("n", "m"), [(7, 5), (6, 7), (13, 1)])
def test_the_ranks_refuse_what_the_registry_excludes(n, m):
    f = VectorialFunction.random(n, m, seed=1)
    for name in ("gamma_rank", "delta_rank"):
        assert not registry.find("vectorial", name).applies(f) or n + m > sbox_equivalence.MAX_RANK_BITS
        with pytest.raises(ValueError, match="12|6"):
            getattr(f, name)()


OPTIMAL = {c.name: c.representative for c in VectorialFunction.affine_classes(4) if c.name}
SAME_SPECTRA = [
    (a, b)
    for a in sorted(OPTIMAL)
    for b in sorted(OPTIMAL)
    if a < b
    and sbox_equivalence.spectra(OPTIMAL[a].table, 4, 4, "ccz")
    == sbox_equivalence.spectra(OPTIMAL[b].table, 4, 4, "ccz")
]


@pytest.mark.parametrize(("a", "b"), SAME_SPECTRA)
def test_the_ccz_search_agrees_with_the_ranks_where_the_spectra_do(a, b):
    # Leander and Poschmann's optimal 4-bit classes of one spectrum: a map found keeps the ranks, and
    # different ranks (G9 and G10 against G14 and G15) leave none to find.
    f, g = OPTIMAL[a], OPTIMAL[b]
    same_ranks = (f.gamma_rank(), f.delta_rank()) == (g.gamma_rank(), g.delta_rank())
    assert f.ccz_equivalent(g) is None or same_ranks
    assert same_ranks or (a, b) in [("G10", "G14"), ("G10", "G15"), ("G14", "G9"), ("G15", "G9")]
    assert not same_ranks or (a, b) not in [("G10", "G14"), ("G10", "G15"), ("G14", "G9"), ("G15", "G9")]


def test_a_ccz_search_past_its_first_try_compares_the_ranks_and_goes_on(monkeypatch):
    compared = []

    def differ(*args):
        compared.append(original(*args))
        return compared[-1]

    original = sbox_equivalence._ranks_differ
    monkeypatch.setattr(sbox_equivalence, "_ranks_differ", differ)
    monkeypatch.setattr(sbox_equivalence, "_FIRST_TRY", 1e-4)
    f = PUBLISHED[4][0]  # a quadratic APN function of dimension 6, outside the class of x^3
    g = ea_transform(f, random.Random(5))
    assert f.ccz_equivalent(g) is not None and compared == [False]
    assert f.ccz_equivalent(VectorialFunction.power(6, 3)) is None


SEARCHES = """
import time
from vexil_kit import VectorialFunction
seconds = {}
def search(n, method, **options):
    def call():
        start = time.monotonic()
        try:
            getattr(VectorialFunction.from_callable(lambda x: x ^ 1, n, n), method)(**options)
        finally:
            seconds[(n, method)] = time.monotonic() - start
    return call
def after():
    return max(seconds.values())
"""


def test_an_affine_function_stops_the_walsh_zero_space_searches_at_their_limit():
    # Affine functions have the most Walsh zeroes: past n = 4 their spaces outnumber the default
    # limit. The child must answer promptly with a ValueError, not hang or be killed for memory
    # (2 GiB of room: a million bases of n = 11 hold 90 MB).
    calls = """
    methods = ("walsh_zero_spaces", "thickness_spectrum")
    calls = {f"{method} {n}": search(n, method) for n in (5, 7, 9, 11) for method in methods}
    calls["small"] = search(6, "walsh_zero_spaces", limit=10)
    calls["bad"] = search(2, "walsh_zero_spaces", limit=-1)
    """
    outcomes = run_limited(SEARCHES + textwrap.dedent(calls), 2048, timeout=120)
    after = outcomes.pop("after")
    assert float(after[1]) < 20  # the slowest call, n = 11: under a second unloaded
    for name, (kind, message) in outcomes.items():
        assert kind == "ValueError", (name, kind, message)
        if name != "bad":
            limit = 10 if name == "small" else sbox_equivalence.ZERO_SPACE_LIMIT
            assert f"more than limit = {limit} " in message and f"stopped at {limit + 1}" in message
    # With a limit past what memory holds, the bases are refused as they grow, before the system would
    # kill the process for them.
    calls = 'calls = {"many": search(8, "walsh_zero_spaces", limit=10**10)}'
    outcomes = run_limited(SEARCHES + calls, 256, timeout=120)
    assert outcomes["many"][0] == "MemoryError" and outcomes["after"][0] == "ok"
    f = VectorialFunction.power(4, 3)
    count = len(f.walsh_zero_spaces())
    assert len(f.walsh_zero_spaces(limit=count)) == count
    assert sum(f.thickness_spectrum(limit=count).values()) == count
    with pytest.raises(ValueError, match=f"limit = {count - 1} "):
        f.thickness_spectrum(limit=count - 1)
