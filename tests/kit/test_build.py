"""Building vexil_kit.BooleanFunction: from tables, Vexil, hex, ints, callables, expressions, random; families."""

import itertools

import numpy as np
import pytest
from hypothesis import given, settings
from hypothesis import strategies as st
from kit_strategies import functions

import vexil
from vexil_kit import BooleanFunction as BF

Vexil = vexil.Vexil


def ones(x):
    return bin(x).count("1")


# -- the constructor ------------------------------------------------------------------------------


@pytest.mark.parametrize(
    "table",
    [
        [True],
        [0, 1],
        (1, 0, 0, 1),
        np.array([0, 1, 1, 0], dtype=np.uint8),
        np.array([True, False]),
        np.array([1, 0], dtype=object),
        [np.True_, 1, False, 0],
        range(2),
    ],
    ids=["bool", "ints", "tuple", "uint8", "ndarray", "object", "mixed", "range"],
)
def test_accepts_bools_and_zero_one(table):
    f = BF(table)
    assert f.table.dtype == np.bool_
    assert f.table.tolist() == [bool(v) for v in table]
    assert f.n == len(f.table).bit_length() - 1


@pytest.mark.parametrize(
    "table, words",
    [
        ([], "power of two"),
        ([1, 0, 1], "power of two"),
        ([[1, 0], [0, 1]], "1-D"),
        (5, "not int"),
        ([0, 2], "0/1"),
        ([-1, 0], "0/1"),
        ([0.0, 1.0], "float"),
        ([True, None], "None"),
        (["0", "1"], "0/1"),
        ("01", "string"),
        ([[1], [0, 1]], "1-D"),
    ],
)
def test_refuses_bad_tables(table, words):
    with pytest.raises(ValueError, match=words):
        BF(table)


def test_table_is_a_private_read_only_copy():
    source = np.array([False, True])
    f = BF(source)
    source[0] = True
    assert f.table.tolist() == [False, True]
    with pytest.raises(ValueError):
        f.table[0] = True


# -- Vexil ----------------------------------------------------------------------------------------


@settings(max_examples=50)
@given(functions())
def test_vexil_round_trip_and_eval(f):
    v = f.to_vexil()
    assert v.n_vars() == f.n and v.repr() == f.table.tolist()
    assert all(v.eval(x) == f[x] for x in range(len(f)))
    assert BF.from_vexil(v) == f


@pytest.mark.parametrize("n", range(0, 10))
def test_majority_matches_vexil(n):
    assert BF.majority(n).table.tolist() == Vexil.majority(n).repr()


@pytest.mark.parametrize("n", range(0, 8))
def test_xor_is_complement_of_vexil_parity(n):
    assert (~BF.xor(n)).table.tolist() == Vexil.parity(n).repr()


def test_from_vexil_refuses_other_types():
    with pytest.raises(TypeError):
        BF.from_vexil([True])


# -- hexadecimal and integers ---------------------------------------------------------------------


@pytest.mark.parametrize(
    "text, n, entries",
    [
        ("0x69969669", None, 32),
        ("69969669", None, 32),
        ("0XE8", None, 8),
        ("0x6", None, 4),
        ("8", None, 4),
        ("0x1", 0, 1),
        ("0x2", 1, 2),
        ("0x0e8", 3, 8),
        (" e8 ", None, 8),
    ],
)
def test_from_hex_reads_entries_from_the_low_bit(text, n, entries):
    f = BF.from_hex(text, n)
    value = int(text.strip(), 16)
    assert len(f) == entries
    assert [x for x in range(entries) if f[x]] == [x for x in range(entries) if value >> x & 1]


def test_from_hex_agrees_with_the_command_line():
    from vexil_kit.cli.functions import parse_function

    for text in ("0x69969669", "0xe8", "0x6", "0x0123456789abcdef"):
        assert BF.from_hex(text) == parse_function(text)[1]


@pytest.mark.parametrize(
    "text, n",
    [
        ("", None),
        ("0x", None),
        ("0xg1", None),
        ("123", None),
        ("0x1 2", None),
        ("0x10", 2),
        ("0x4", 1),
        ("-1", 2),
        ("0x2", 0),
    ],
)
def test_from_hex_refuses(text, n):
    with pytest.raises(ValueError):
        BF.from_hex(text, n)


@pytest.mark.parametrize("n, expected", [(0, "0x1"), (1, "0x3"), (2, "0xf"), (3, "0xff"), (4, "0xffff")])
def test_to_hex_pads_to_the_table_size(n, expected):
    assert BF.constant(n, True).to_hex() == expected
    assert BF.constant(n, False).to_hex() == "0x" + "0" * (len(expected) - 2)


@settings(max_examples=80)
@given(functions(max_n=9))
def test_hex_and_int_round_trips(f):
    value = f.to_int()
    assert value == sum(1 << x for x in range(len(f)) if f[x])
    assert BF.from_int(value, f.n) == f
    assert BF.from_hex(f.to_hex(), f.n) == f
    if f.n >= 2:
        assert BF.from_hex(f.to_hex()) == f
        assert len(f.to_hex()) == 2 + len(f) // 4


@pytest.mark.parametrize("value, n", [(-1, 2), (16, 2), (2, 0), (1 << 256, 8)])
def test_from_int_refuses_values_that_do_not_fit(value, n):
    with pytest.raises(ValueError):
        BF.from_int(value, n)


def test_from_int_handles_large_tables():
    f = BF.from_int((1 << 1023) | 1, 10)
    assert f.weight() == 2 and f[0] and f[1023]


# -- callables ------------------------------------------------------------------------------------


@pytest.mark.parametrize("n", [0, 1, 4, 7])
def test_from_callable_both_ways_agree(n):
    scalar = BF.from_callable(n, lambda x: x % 3 == 1)
    vector = BF.from_callable(n, lambda xs: xs % 3 == 1, vectorized=True)
    assert scalar == vector
    assert [x for x in range(1 << n) if scalar[x]] == [x for x in range(1 << n) if x % 3 == 1]


def test_from_callable_gets_python_ints_and_an_int64_array():
    seen = []
    BF.from_callable(2, lambda x: seen.append(type(x)) or 0)
    assert seen == [int] * 4
    arrays = []
    BF.from_callable(3, lambda xs: arrays.append(xs.copy()) or xs > 5, vectorized=True)
    assert arrays[0].dtype == np.int64 and arrays[0].tolist() == list(range(8))


@pytest.mark.parametrize(
    "fn, vectorized",
    [(lambda x: 2, False), (lambda x: None, False), (lambda xs: xs[:2] > 0, True), (lambda xs: xs * 2, True)],
)
def test_from_callable_refuses_bad_results(fn, vectorized):
    with pytest.raises(ValueError):
        BF.from_callable(3, fn, vectorized=vectorized)


# -- expressions ----------------------------------------------------------------------------------


@st.composite
def expressions(draw, depth=3):
    """(text, evaluator) for a random expression over x0..x4."""
    if depth == 0 or draw(st.booleans()):
        if draw(st.integers(0, 5)) == 0:
            c = draw(st.integers(0, 1))
            return str(c), lambda x, c=c: c
        i = draw(st.integers(0, 4))
        return f"x{i}", lambda x, i=i: x >> i & 1
    op = draw(st.sampled_from(["~", "&", "|", "^", "()"]))
    left, lf = draw(expressions(depth=depth - 1))
    if op == "~":
        return f"~{left}", lambda x: 1 - lf(x)
    if op == "()":
        return f"({left})", lf
    right, rf = draw(expressions(depth=depth - 1))
    ops = {"&": lambda a, b: a & b, "|": lambda a, b: a | b, "^": lambda a, b: a ^ b}
    return f"({left} {op} {right})", lambda x: ops[op](lf(x), rf(x))


@settings(max_examples=100)
@given(expressions())
def test_expression_matches_direct_evaluation(case):
    text, evaluate = case
    f = BF.from_expression(text, n=5)
    assert [f[x] for x in range(32)] == [bool(evaluate(x)) for x in range(32)]


@pytest.mark.parametrize(
    "text, rule",
    [
        ("x0 & x1 ^ ~x2", lambda a, b, c: (a & b) ^ (1 - c)),
        ("x0 | x1 ^ x2", lambda a, b, c: a | (b ^ c)),
        ("x0 ^ x1 & x2", lambda a, b, c: a ^ (b & c)),
        ("~x0 & x1", lambda a, b, c: (1 - a) & b),
        ("~(x0 & x1) | x2", lambda a, b, c: (1 - (a & b)) | c),
        ("x0|x1&x2", lambda a, b, c: a | (b & c)),
        ("x0 & x1 | x1 ^ x2", lambda a, b, c: (a & b) | (b ^ c)),
    ],
)
def test_expression_precedence_is_pythons(text, rule):
    f = BF.from_expression(text, n=3)
    assert [f[x] for x in range(8)] == [bool(rule(x & 1, x >> 1 & 1, x >> 2 & 1)) for x in range(8)]


@pytest.mark.parametrize(
    "text, n, size",
    [("x0 & x1", None, 4), ("x3", None, 16), ("1", None, 1), ("0 | x1", 3, 8), ("x10", None, 2048)],
)
def test_expression_size(text, n, size):
    assert len(BF.from_expression(text, n)) == size


@pytest.mark.parametrize(
    "text, position",
    [
        ("", 0),
        ("x0 &", 4),
        ("(x0 | x1", 8),
        ("x0 x1", 3),
        ("x0 + x1", 3),
        ("x", 0),
        ("y0", 0),
        ("x0 & ()", 6),
        ("2", 0),
        ("x0)", 2),
    ],
)
def test_expression_errors_give_the_position(text, position):
    with pytest.raises(ValueError, match=f"position {position}"):
        BF.from_expression(text)


def test_expression_is_never_evaluated_as_python():
    with pytest.raises(ValueError):
        BF.from_expression("__import__('os')")


def test_expression_refuses_variables_beyond_n_and_deep_nesting():
    with pytest.raises(ValueError, match="x3"):
        BF.from_expression("x3", n=2)
    with pytest.raises(ValueError, match="deep"):
        BF.from_expression("(" * 5000 + "x0" + ")" * 5000)
    assert BF.from_expression("~" * 5001 + "x0") == ~BF.dictator(1, 0)


# -- random ---------------------------------------------------------------------------------------


@pytest.mark.parametrize("n", [1, 2, 5, 10])
def test_random_balanced_has_half_ones(n):
    for seed in range(5):
        assert BF.random(n, seed=seed, balanced=True).weight() == 1 << (n - 1)


def test_random_is_reproducible_and_varies():
    assert BF.random(8, seed=3) == BF.random(8, seed=3)
    assert len({BF.random(8, seed=s) for s in range(10)}) == 10
    assert len({BF.random(6, seed=s, balanced=True) for s in range(10)}) == 10
    assert 300 < BF.random(10, seed=0).weight() < 724


def test_random_balanced_refuses_zero_variables():
    with pytest.raises(ValueError):
        BF.random(0, balanced=True)
    assert BF.random(0, seed=1).n == 0


# -- families -------------------------------------------------------------------------------------

FAMILY_CASES = [
    (lambda: BF.constant(3, 1), 3, lambda x: True),
    (lambda: BF.constant(2, False), 2, lambda x: False),
    (lambda: BF.dictator(4, 2), 4, lambda x: x >> 2 & 1),
    (lambda: BF.conjunction(4), 4, lambda x: x == 15),
    (lambda: BF.conjunction(0), 0, lambda x: True),
    (lambda: BF.disjunction(4), 4, lambda x: x != 0),
    (lambda: BF.disjunction(0), 0, lambda x: False),
    (lambda: BF.xor(5), 5, lambda x: ones(x) % 2),
    (lambda: BF.xor(0), 0, lambda x: False),
    (lambda: BF.majority(4), 4, lambda x: ones(x) >= 3),
    (lambda: BF.threshold(5, 2), 5, lambda x: ones(x) >= 2),
    (lambda: BF.threshold(3, 0), 3, lambda x: True),
    (lambda: BF.threshold(3, 4), 3, lambda x: False),
    (lambda: BF.tribes(2, 3), 6, lambda x: any(x >> (2 * j) & 3 == 3 for j in range(3))),
    (lambda: BF.tribes(3, 2), 6, lambda x: x & 7 == 7 or x >> 3 == 7),
    (lambda: BF.tribes(1, 4), 4, lambda x: x != 0),
    (lambda: BF.tribes(4, 1), 4, lambda x: x == 15),
    (lambda: BF.tribes(2, 0), 0, lambda x: False),
    (lambda: BF.inner_product(6), 6, lambda x: sum(x >> j & x >> (j + 1) & 1 for j in (0, 2, 4)) % 2),
    (lambda: BF.inner_product(0), 0, lambda x: False),
    (lambda: BF.address(0), 1, lambda x: x & 1),
    (lambda: BF.address(2), 6, lambda x: x >> (2 + (x & 3)) & 1),
    (lambda: BF.address(3), 11, lambda x: x >> (3 + (x & 7)) & 1),
]


@pytest.mark.parametrize("build, n, rule", FAMILY_CASES)
def test_family_tables(build, n, rule):
    f = build()
    assert f.n == n
    assert f.table.tolist() == [bool(rule(x)) for x in range(1 << n)]


def test_threshold_majority_agreement():
    for n in range(8):
        assert BF.majority(n) == BF.threshold(n, n // 2 + 1)


@pytest.mark.parametrize(
    "build",
    [
        lambda: BF.inner_product(3),
        lambda: BF.dictator(3, 3),
        lambda: BF.dictator(3, -1),
        lambda: BF.constant(2, 2),
        lambda: BF.threshold(3, -1),
        lambda: BF.majority(-1),
        lambda: BF.conjunction(100),
        lambda: BF.address(7),
    ],
)
def test_family_arguments_refused(build):
    with pytest.raises(ValueError):
        build()


def test_assignment_order_of_families_matches_vexil_eval():
    """Variable v is bit v of the entry index in both libraries."""
    f = BF.dictator(3, 0)
    v = f.to_vexil()
    assert [v.eval(x) for x in range(8)] == [bool(x & 1) for x in range(8)]
    assert list(itertools.compress(range(8), BF.majority(3))) == [3, 5, 6, 7]
