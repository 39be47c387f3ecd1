"""The algebra of vexil_kit.BooleanFunction: operators, restriction, permutation, derivative, extension."""

import numpy as np
import pytest
from hypothesis import given, settings
from hypothesis import strategies as st
from kit_strategies import functions

from vexil_kit import BooleanFunction as BF


@st.composite
def pairs(draw):
    f = draw(functions())
    return f, BF(draw(st.lists(st.booleans(), min_size=len(f), max_size=len(f))))


def entries(f):
    return [f[x] for x in range(len(f))]


# -- operators ------------------------------------------------------------------------------------


@settings(max_examples=60)
@given(pairs())
def test_operators_act_entrywise(pair):
    f, g = pair
    a, b = entries(f), entries(g)
    assert entries(~f) == [not p for p in a]
    assert entries(f & g) == [p and q for p, q in zip(a, b, strict=True)]
    assert entries(f | g) == [p or q for p, q in zip(a, b, strict=True)]
    assert entries(f ^ g) == [p != q for p, q in zip(a, b, strict=True)]
    assert ~(f & g) == ~f | ~g
    assert f ^ g ^ g == f


@pytest.mark.parametrize("constant", [True, False, 0, 1, np.True_])
def test_operators_with_constants_on_either_side(constant):
    f = BF.majority(3)
    c = BF.constant(3, constant)
    assert f & constant == c & f and constant & f == f & c
    assert f | constant == f | c and constant | f == f | c
    assert f ^ constant == f ^ c and constant ^ f == f ^ c


def test_operators_refuse_mismatches():
    with pytest.raises(ValueError, match="variables"):
        BF.xor(2) & BF.xor(3)
    with pytest.raises(ValueError):
        BF.xor(2) | 2
    with pytest.raises(TypeError):
        BF.xor(2) ^ "1"
    with pytest.raises(TypeError):
        BF.xor(2) & 1.0
    with pytest.raises(TypeError):
        None | BF.xor(2)


def test_operators_leave_operands_alone():
    f, g = BF.majority(3), BF.xor(3)
    f & g, f | g, ~f
    assert f == BF.majority(3) and g == BF.xor(3)


# -- restrict -------------------------------------------------------------------------------------


@settings(max_examples=100)
@given(functions(max_n=6), st.data())
def test_restrict_matches_direct_evaluation(f, data):
    fixed = data.draw(st.dictionaries(st.integers(0, max(f.n - 1, 0)), st.booleans(), max_size=f.n)) if f.n else {}
    g = f.restrict(fixed)
    free = [v for v in range(f.n) if v not in fixed]
    assert g.n == len(free)
    for y in range(len(g)):
        x = sum(1 << v for v, value in fixed.items() if value)
        x |= sum(1 << v for j, v in enumerate(free) if y >> j & 1)
        assert g[y] == f[x]


def test_restrict_examples():
    f = BF.from_expression("x0 & x2 | x1")
    assert f.restrict({}) == f
    assert f.restrict({1: 1}) == BF.constant(2, True)
    assert f.restrict({1: False}) == BF.conjunction(2)
    assert f.restrict({0: 1}) == BF.disjunction(2)
    assert f.restrict({0: 1, 1: 0, 2: 1}) == BF([True])


@pytest.mark.parametrize("fixed", [{3: 0}, {-1: 0}, {0: 2}, {0: None}])
def test_restrict_refuses(fixed):
    with pytest.raises(ValueError):
        BF.majority(3).restrict(fixed)


# -- permute --------------------------------------------------------------------------------------


@settings(max_examples=80)
@given(functions(max_n=6), st.data())
def test_permute_moves_variable_v_to_perm_v(f, data):
    perm = data.draw(st.permutations(range(f.n)))
    g = f.permute(perm)
    for x in range(len(f)):
        y = sum(1 << perm[v] for v in range(f.n) if x >> v & 1)
        assert g[y] == f[x]
    inverse = [perm.index(w) for w in range(f.n)]
    assert g.permute(inverse) == f


def test_permute_examples():
    assert BF.dictator(4, 1).permute([3, 0, 1, 2]) == BF.dictator(4, 0)
    assert BF.majority(5).permute([4, 2, 0, 1, 3]) == BF.majority(5)
    f = BF.from_expression("x0 & ~x1")
    assert f.permute([1, 0]) == BF.from_expression("x1 & ~x0")


@pytest.mark.parametrize("perm", [[0, 1], [0, 1, 1], [1, 2, 3], [0, 1, 2, 3]])
def test_permute_refuses_non_permutations(perm):
    with pytest.raises(ValueError):
        BF.majority(3).permute(perm)


# -- derivative -----------------------------------------------------------------------------------


@settings(max_examples=80)
@given(functions(max_n=6), st.data())
def test_derivative_definition(f, data):
    u = data.draw(st.integers(0, len(f) - 1))
    d = f.derivative(u)
    assert entries(d) == [f[x] != f[x ^ u] for x in range(len(f))]
    assert d.derivative(u) == BF.constant(f.n, False)


@settings(max_examples=40)
@given(functions(min_n=1, max_n=6), st.data())
def test_derivative_of_xor_with_single_variable_is_constant_true(f, data):
    v = data.draw(st.integers(0, f.n - 1))
    assert BF.xor(f.n).derivative(1 << v) == BF.constant(f.n, True)
    assert (f ^ BF.dictator(f.n, v)).derivative(1 << v) == ~f.derivative(1 << v)


@pytest.mark.parametrize("u", [-1, 8, 100])
def test_derivative_refuses_bad_directions(u):
    with pytest.raises(ValueError):
        BF.majority(3).derivative(u)


# -- extend ---------------------------------------------------------------------------------------


@settings(max_examples=50)
@given(functions(max_n=5), st.integers(0, 3))
def test_extend_ignores_new_variables(f, extra):
    g = f.extend(f.n + extra)
    assert g.n == f.n + extra
    assert all(g[x] == f[x % len(f)] for x in range(len(g)))
    assert g.restrict({v: 1 for v in range(f.n, g.n)}) == f


def test_extend_refuses_fewer_variables():
    assert BF.majority(3).extend(3) == BF.majority(3)
    with pytest.raises(ValueError):
        BF.majority(3).extend(2)
