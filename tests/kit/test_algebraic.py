"""Algebraic normal form, algebraic degree, algebraic immunity and annihilators of BooleanFunction.

Every value is checked against a reference written from the definition: the ANF coefficient at m as
the XOR of f(x) over the subsets x of m, the degree as the largest monomial, annihilators by trying
every g of degree <= d (n <= 4) or by the rank of the evaluation matrix of the monomials of degree
<= d on the support (n <= 8).
"""

import itertools
import math

import numpy as np
import pytest
import reference
from hypothesis import given, settings
from hypothesis import strategies as st
from kit_strategies import functions

from vexil_kit import BooleanFunction

SMALL = [BooleanFunction(list(bits)) for n in range(4) for bits in itertools.product([0, 1], repeat=1 << n)]


def weight(x):
    return bin(x).count("1")


# -- references from the definitions ----------------------------------------------------------------


def brute_annihilators(h, d):
    """Every nonzero table g of degree <= d with g & h = 0, trying all ANFs over the monomials of degree <= d."""
    h = reference.entries(h)
    n = reference.n_vars(h)
    monomials = reference.monomials_up_to(n, d)
    evaluation = np.array([[x & m == m for x in range(1 << n)] for m in monomials], dtype=np.int64)
    coefficients = np.array(list(itertools.product([0, 1], repeat=len(monomials))), dtype=np.int64)
    tables = (coefficients @ evaluation) % 2 == 1
    keep = tables.any(axis=1) & ~(tables & h).any(axis=1)
    return {tuple(t) for t in tables[keep]}


def check_annihilator(f, d, g):
    assert g.n == f.n
    assert (g & f).weight() == 0
    assert g.weight() > 0
    assert g.algebraic_degree() <= d


# -- the algebraic normal form ----------------------------------------------------------------------


@pytest.mark.parametrize("f", SMALL, ids=repr)
def test_anf_and_degree_of_every_small_function(f):
    monomials = f.anf()
    assert monomials == reference.anf(f)
    assert f.algebraic_degree() == max((weight(m) for m in monomials), default=-1)
    assert BooleanFunction.from_anf(monomials, f.n) == f


@settings(max_examples=60, deadline=None)
@given(functions(4, 10))
def test_anf_and_degree_of_random_functions(f):
    monomials = f.anf()
    assert monomials == reference.anf(f)
    assert all(isinstance(m, int) for m in monomials)
    assert f.algebraic_degree() == max((weight(m) for m in monomials), default=-1)
    assert BooleanFunction.from_anf(monomials, f.n) == f


@settings(max_examples=60, deadline=None)
@given(st.integers(0, 7).flatmap(lambda n: st.tuples(st.just(n), st.lists(st.integers(0, (1 << n) - 1)))))
def test_from_anf_is_the_xor_of_the_monomials(case):
    n, monomials = case
    f = BooleanFunction.from_anf(monomials, n)
    assert f.table.tolist() == reference.table_of_anf(monomials, n)
    odd = sorted(m for m in set(monomials) if monomials.count(m) % 2)
    assert f.anf() == odd
    assert BooleanFunction.from_anf(np.array(monomials, dtype=np.int64), n) == f


def butterfly_anf(f):
    """The ANF coefficients by the Möbius butterflies in NumPy, one variable at a time."""
    a = f.table.copy()
    for j in range(f.n):
        pairs = a.reshape(-1, 2, 1 << j)
        pairs[:, 1, :] ^= pairs[:, 0, :]
    return a


@pytest.mark.parametrize("n", [12, 18, 19, 20, 22])
def test_anf_across_the_transform_blocks(n):
    # Up to 2**18 entries the transform runs in one block of words; above, the grouped passes, from
    # 2**22 on the worker pool (the native tests take larger sizes and every kernel variant).
    f = BooleanFunction.random(n, seed=n)
    coefficients = butterfly_anf(f)
    monomials = f.anf()
    assert np.array_equal(np.array(monomials, dtype=np.int64), np.flatnonzero(coefficients))
    assert BooleanFunction.from_anf(monomials, n) == f
    assert f.algebraic_degree() == max(weight(m) for m in monomials)


@pytest.mark.parametrize(
    ("f", "degree"),
    [(BooleanFunction.xor(n), 1) for n in (1, 5, 9)]
    + [(BooleanFunction.conjunction(n), n) for n in (0, 1, 4, 11)]
    + [(BooleanFunction.inner_product(n), 2) for n in (2, 6, 12)]
    + [(BooleanFunction.majority(n), 1 << (n.bit_length() - 1)) for n in (1, 2, 3, 4, 7, 8, 12, 16)]
    + [(BooleanFunction.constant(n, False), -1) for n in (0, 3, 8)]
    + [(BooleanFunction.constant(n, True), 0) for n in (0, 3, 8)],
    ids=repr,
)
def test_degree_of_known_functions(f, degree):
    assert f.algebraic_degree() == degree


def test_anf_of_known_functions():
    assert BooleanFunction.xor(4).anf() == [1, 2, 4, 8]
    assert BooleanFunction.conjunction(5).anf() == [31]
    assert BooleanFunction.inner_product(4).anf() == [3, 12]
    assert BooleanFunction.constant(3, True).anf() == [0]
    assert BooleanFunction.constant(3, False).anf() == []
    assert BooleanFunction.disjunction(2).anf() == [1, 2, 3]


@pytest.mark.parametrize(
    ("monomials", "n", "error"),
    [
        ([4], 2, ValueError),
        ([-1], 3, ValueError),
        ([1, 1 << 5], 5, ValueError),
        ([0], 0, None),
        ([1], 0, ValueError),
        ([1.0], 2, TypeError),
        ("12", 2, TypeError),
        ([1], -1, ValueError),
        (np.array([0, 8], dtype=np.uint8), 3, ValueError),
        (np.array([-2], dtype=np.int8), 3, ValueError),
    ],
)
def test_from_anf_checks_its_arguments(monomials, n, error):
    if error is None:
        assert BooleanFunction.from_anf(monomials, n) == BooleanFunction([True])
    else:
        with pytest.raises(error):
            BooleanFunction.from_anf(monomials, n)


def test_from_anf_cancels_repeated_monomials():
    assert BooleanFunction.from_anf([3, 5, 3], 3) == BooleanFunction.from_anf([5], 3)
    assert BooleanFunction.from_anf([], 4) == BooleanFunction.constant(4, False)
    # Every monomial: x contains 2**weight(x) of them, an odd count only at x = 0.
    assert BooleanFunction.from_anf(range(8), 3) == ~BooleanFunction.disjunction(3)


# -- annihilators and algebraic immunity ------------------------------------------------------------


@pytest.mark.parametrize("f", SMALL, ids=repr)
def test_immunity_and_annihilators_of_every_small_function(f):
    for d in range(-1, f.n + 2):
        g = f.annihilator(d)
        found = brute_annihilators(f, d) if d >= 0 else set()
        assert (g is not None) == bool(found)
        if g is not None:
            assert tuple(g.table) in found
    assert f.algebraic_immunity() == reference.algebraic_immunity(f, lambda h, d: bool(brute_annihilators(h, d)))


@settings(max_examples=40, deadline=None)
@given(functions(0, 4), st.integers(0, 4))
def test_annihilator_and_immunity_against_every_candidate(f, d):
    found = brute_annihilators(f, d)
    g = f.annihilator(d)
    assert (g is not None) == bool(found)
    if g is not None:
        assert tuple(g.table) in found
    assert f.algebraic_immunity() == reference.algebraic_immunity(f, lambda h, e: bool(brute_annihilators(h, e)))


@settings(max_examples=40, deadline=None)
@given(functions(4, 8))
def test_immunity_against_dense_elimination(f):
    immunity = f.algebraic_immunity()
    assert immunity == reference.algebraic_immunity(f)
    assert immunity <= math.ceil(f.n / 2)


@settings(max_examples=40, deadline=None)
@given(functions(4, 8), st.integers(0, 8))
def test_annihilator_against_dense_elimination(f, d):
    g = f.annihilator(d)
    assert (g is not None) == reference.has_annihilator(f, min(d, f.n))
    if g is not None:
        check_annihilator(f, d, g)
        assert f.annihilator(d) == g  # the same answer every time


@pytest.mark.parametrize("n", [9, 11, 12])
@pytest.mark.parametrize("balanced", [False, True])
def test_immunity_is_where_an_annihilator_first_appears(n, balanced):
    for seed in range(3):
        f = BooleanFunction.random(n, seed=seed, balanced=balanced)
        immunity = f.algebraic_immunity()
        assert immunity <= math.ceil(n / 2)
        # AI(f) = AI(~f), and f ^ 1 annihilates f, so AI <= deg f.
        assert (~f).algebraic_immunity() == immunity
        assert immunity <= max(f.algebraic_degree(), 0)
        for h in (f, ~f):
            if immunity > 0:
                assert h.annihilator(immunity - 1) is None
        witnesses = [g for g in (f.annihilator(immunity), (~f).annihilator(immunity)) if g is not None]
        assert witnesses
        for h, g in ((f, f.annihilator(immunity)), (~f, (~f).annihilator(immunity))):
            if g is not None:
                check_annihilator(h, immunity, g)


def test_immunity_is_invariant_under_permuting_variables():
    f = BooleanFunction.random(10, seed=7)
    order = [3, 9, 0, 5, 1, 8, 2, 7, 6, 4]
    assert f.permute(order).algebraic_immunity() == f.algebraic_immunity()


@pytest.mark.parametrize(
    ("f", "immunity"),
    [(BooleanFunction.majority(n), (n + 1) // 2) for n in range(0, 14)]
    + [(BooleanFunction.xor(n), 1) for n in (1, 4, 9)]
    + [(BooleanFunction.conjunction(n), 1) for n in (1, 3, 10)]
    + [(BooleanFunction.inner_product(n), 2) for n in (4, 8, 12)]
    + [(BooleanFunction.constant(n, value), 0) for n in (0, 1, 5) for value in (False, True)],
    ids=repr,
)
def test_immunity_of_known_functions(f, immunity):
    assert f.algebraic_immunity() == immunity


@pytest.mark.parametrize("n", [0, 1, 4])
def test_annihilators_of_constants(n):
    zero = BooleanFunction.constant(n, False)
    one = BooleanFunction.constant(n, True)
    assert zero.annihilator(0) == one  # the only nonzero function of degree 0
    for d in (0, n, n + 3):
        assert one.annihilator(d) is None
    assert zero.annihilator(-1) is None


def test_annihilator_degree_above_n_reads_as_n():
    f = BooleanFunction.random(6, seed=3)
    assert f.annihilator(100) == f.annihilator(6)
    with pytest.raises(TypeError):
        f.annihilator(1.5)


def test_majority_annihilators_meet_the_bound():
    # majority(7) has AI 4: neither it nor its complement has an annihilator of degree 3.
    f = BooleanFunction.majority(7)
    assert f.annihilator(3) is None and (~f).annihilator(3) is None
    check_annihilator(f, 4, f.annihilator(4))


def test_immunity_refuses_a_progress_that_is_not_callable():
    with pytest.raises(TypeError):
        BooleanFunction.random(13, seed=1).algebraic_immunity(progress=3)


def test_annihilator_too_large_raises_memory_error():
    # 2**23 unknowns over 2**24 points: far beyond any machine, refused before allocating.
    f = BooleanFunction.random(24, seed=0)
    with pytest.raises(MemoryError):
        f.annihilator(24)
