import itertools

import numpy as np
import pytest
from conftest import Vexil, table_of
from reference import restriction_table as reference_table


@pytest.mark.parametrize("entries", [[True], [False, True], [True, False, False, True], [False] * 7 + [True]])
def test_accessors_follow_the_table(entries):
    v = Vexil(entries)
    assert v.size() == len(entries)
    assert v.n_vars() == len(entries).bit_length() - 1
    assert [v.eval(i) for i in range(len(entries))] == entries
    assert v.repr() == entries


def test_repr_is_a_fresh_copy():
    v = table_of("0110")
    first = v.repr()
    first[0] = True
    assert v.repr() == [False, True, True, False]
    assert v.repr() is not v.repr()


@pytest.mark.parametrize("entries", [[], [True] * 3, [False] * 6, [True] * 12])
def test_sizes_that_are_not_powers_of_two_stop(entries, PanicException):
    with pytest.raises(PanicException) as caught:
        Vexil(entries)
    assert caught.value.args == ("Invalid size",)
    assert not isinstance(caught.value, Exception)


def test_eval_out_of_range():
    v = table_of("0001")
    assert v.eval(3) is True
    with pytest.raises(IndexError, match=r"^Index out of range: 4$"):
        v.eval(4)
    with pytest.raises(IndexError, match=r"^Index out of range: 18446744073709551615$"):
        v.eval(2**64 - 1)


@pytest.mark.parametrize("n", [0, 1, 2, 3, 5])
def test_table_matches_definition_for_every_subset(n):
    rng = np.random.default_rng(n)
    entries = [bool(x) for x in rng.integers(0, 2, 2**n)]
    v = Vexil(entries)
    for k in range(n + 1):
        for subset in itertools.permutations(range(n), k):
            got = v.table(list(subset))
            assert got.dtype == np.bool_ and got.flags.c_contiguous
            np.testing.assert_array_equal(got, reference_table(entries, subset))


def test_table_worked_examples():
    f = [False, True, True, False, True, False, False, True]
    v = Vexil(f)
    np.testing.assert_array_equal(v.table([1]), [[f[0], f[1]], [f[4], f[5]], [f[2], f[3]], [f[6], f[7]]])
    two = table_of("0111")
    np.testing.assert_array_equal(two.table([0]), [[False, True], [True, True]])
    np.testing.assert_array_equal(two.table((1,)), [[False, True], [True, True]])
    assert v.table([]).shape == (8, 1)
    assert v.table([2, 0, 1]).shape == (1, 8)
    np.testing.assert_array_equal(v.table([2, 0, 1])[0], f)


def test_table_fast_copy_of_wide_rows_matches_definition():
    rng = np.random.default_rng(7)
    entries = [bool(x) for x in rng.integers(0, 2, 2**10)]
    v = Vexil(entries)
    for subset in ([9], [8, 9], [5, 9], [0, 9], [3, 4, 5, 6, 7]):
        np.testing.assert_array_equal(v.table(subset), reference_table(entries, subset))


@pytest.mark.parametrize(
    "variables, kind",
    [
        ([0, 0], "IncompatibleShape: incompatible shapes"),
        ([5], "IncompatibleShape: incompatible shapes"),
        ([0, 1, 1], "Overflow: arithmetic overflow"),
        ([2**64 - 1], "IncompatibleShape: incompatible shapes"),
        ([0] * 64, "OutOfBounds: out of bounds indexing"),
    ],
)
def test_table_rejects_lists_that_are_not_distinct_variables(variables, kind, PanicException):
    with pytest.raises(PanicException) as caught:
        table_of("0110").table(variables)
    assert caught.value.args == ("called `Result::unwrap()` on an `Err` value: ShapeError/" + kind,)


@pytest.mark.parametrize("size", [2, 16, 1024])
def test_numpy_bool_arrays_give_what_items_give(size):
    rng = np.random.default_rng(size)
    array = rng.integers(0, 2, size).astype(bool)
    assert Vexil(array).repr() == Vexil(list(array)).repr() == [bool(x) for x in array]
    assert Vexil(array[::-1]).repr() == [bool(x) for x in array[::-1]]
    strided = np.repeat(array, 2)[::2]
    assert Vexil(strided).repr() == [bool(x) for x in array]


def test_numpy_arrays_of_other_shapes_and_types_take_the_item_path():
    with pytest.raises(TypeError, match=r"^argument 'repr': 'ndarray' object cannot be converted to 'PyBool'$"):
        Vexil(np.zeros((2, 2), dtype=bool))
    with pytest.raises(TypeError, match=r"'int64' object cannot be converted to 'PyBool'"):
        Vexil(np.zeros(2, dtype=np.int64))
    assert Vexil(list(np.array([True, False]))).repr() == [True, False]


def test_numpy_bool_bytes_other_than_one_read_as_true():
    raw = np.frombuffer(bytes([0, 2, 255, 1]), dtype=bool)
    assert Vexil(raw).repr() == [bool(x) for x in raw] == [False, True, True, True]
