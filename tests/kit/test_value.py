"""vexil_kit.BooleanFunction as a value: indexing, calling, equality, hashing, repr, pickle, NumPy, immutability."""

import copy
import pickle

import numpy as np
import pytest
from hypothesis import given, settings
from kit_strategies import functions

from vexil_kit import BooleanFunction as BF

MAJ3 = BF.majority(3)  # true at 3, 5, 6, 7


def test_n_len_and_indexing():
    assert (MAJ3.n, len(MAJ3)) == (3, 8)
    assert [MAJ3[x] for x in range(8)] == [False, False, False, True, False, True, True, True]
    assert type(MAJ3[3]) is bool
    assert MAJ3[np.int64(5)] is True


@pytest.mark.parametrize("x", [8, -1, -8, 1 << 70])
def test_index_out_of_range(x):
    with pytest.raises(IndexError):
        MAJ3[x]
    with pytest.raises(IndexError):
        MAJ3(x)


@pytest.mark.parametrize("x", [1.0, "1", slice(0, 2), None])
def test_index_must_be_an_integer(x):
    with pytest.raises(TypeError):
        MAJ3[x]


@pytest.mark.parametrize(
    "bits, expected",
    [
        ([1, 1, 0], True),
        ((0, 1, 1), True),
        ([1, 0, 0], False),
        ([True, False, True], True),
        (np.array([0, 0, 1]), False),
    ],
)
def test_call_with_bits_reads_variable_v_from_item_v(bits, expected):
    assert MAJ3(bits) is expected
    f = BF.dictator(3, 0)
    assert f(bits) == bool(bits[0])


@pytest.mark.parametrize("bits", [[1, 0], [1, 0, 0, 0], [2, 0, 0], ["a", 0, 0]])
def test_call_refuses_bad_assignments(bits):
    with pytest.raises(ValueError):
        MAJ3(bits)


def test_call_with_zero_variables():
    assert BF([True])(()) is True and BF([True])(0) is True


def test_iteration_gives_python_bools():
    items = list(BF.xor(2))
    assert items == [False, True, True, False]
    assert all(type(item) is bool for item in items)


def test_equality_needs_same_n_and_table():
    assert BF.xor(2) == BF([0, 1, 1, 0])
    assert BF.xor(2) != BF.xor(3)
    assert BF.constant(1, 0) != BF.constant(2, 0)
    assert BF.xor(2) != BF.majority(2)


@pytest.mark.parametrize("other", [[False, True, True, False], np.array([0, 1, 1, 0]), "0x6", 6, None])
def test_equality_with_other_types_is_false(other):
    f = BF.xor(2)
    assert f.__eq__(other) is NotImplemented
    assert (f == other) is False and (f != other) is True


@settings(max_examples=60)
@given(functions(), functions())
def test_hash_consistent_with_equality(f, g):
    assert hash(f) == hash(BF(f.table.tolist()))
    if f == g:
        assert hash(f) == hash(g)
    assert len({f, g, BF(f.table)}) == (1 if f == g else 2)


@settings(max_examples=60)
@given(functions(max_n=7))
def test_pickle_and_copy_round_trip(f):
    for protocol in range(pickle.HIGHEST_PROTOCOL + 1):
        back = pickle.loads(pickle.dumps(f, protocol))
        assert back == f and type(back) is BF
        assert not back.table.flags.writeable
    assert copy.copy(f) == f and copy.deepcopy(f) == f
    assert copy.deepcopy([f])[0] == f


def test_pickle_is_compact():
    assert len(pickle.dumps(BF.random(14, seed=0))) < 2**14 // 8 + 200


@settings(max_examples=40)
@given(functions(max_n=5))
def test_repr_evaluates_back(f):
    text = repr(f)
    assert f"n={f.n}" in text and f.to_hex() in text
    assert eval(text, {"BooleanFunction": BF}) == f  # noqa: S307 - our own repr


def test_repr_is_cut_for_large_tables():
    f = BF.random(12, seed=0)
    text = repr(f)
    assert "n=12" in text and "…" in text
    assert f.to_hex()[:66] in text and len(text) < 120
    assert "…" not in repr(BF.random(8, seed=0))  # 64 digits: shown whole


def test_numpy_conversion():
    f = BF.majority(3)
    array = np.asarray(f)
    assert array.dtype == np.bool_ and array.shape == (8,)
    assert array.tolist() == list(f)
    assert not array.flags.writeable
    copied = np.array(f)
    copied[0] = True
    assert f[0] is False
    assert np.asarray(f, dtype=np.int8).tolist() == [int(b) for b in f]
    assert int(np.sum(np.asarray(f))) == f.weight()


def test_numpy_operands_defer_to_the_function():
    f = BF.majority(3)
    assert isinstance(np.True_ & f, BF) and (np.True_ & f) == f
    assert (np.asarray(f) == f) is False
    with pytest.raises(TypeError):
        np.logical_not(f)


def test_table_cannot_be_changed_through_numpy():
    f = BF.majority(3)
    with pytest.raises(ValueError):
        np.asarray(f)[0] = True
    assert f == BF.majority(3)


@pytest.mark.parametrize("name", ["n", "table", "_table", "_n", "other"])
def test_immutable(name):
    f = BF.xor(2)
    with pytest.raises(AttributeError):
        setattr(f, name, 1)
    with pytest.raises(AttributeError):
        delattr(f, name)
    assert f == BF.xor(2) and not hasattr(f, "__dict__")


@pytest.mark.parametrize(
    "f, weight, balanced",
    [
        (BF.majority(3), 4, True),
        (BF.conjunction(3), 1, False),
        (BF([True]), 1, False),
        (BF([False]), 0, False),
        (BF.xor(6), 32, True),
        (BF.inner_product(4), 6, False),
    ],
)
def test_weight_and_balance(f, weight, balanced):
    assert f.weight() == weight and type(f.weight()) is int
    assert f.is_balanced() is balanced
