"""Arbitrary arguments: every call answers or raises its documented exception, never crashes."""

import os

import numpy as np
import pytest
from conftest import Vexil, panic_type
from hypothesis import HealthCheck, given, settings
from hypothesis import strategies as st

PANIC = panic_type()
EXAMPLES = int(os.environ.get("VEXIL_FUZZ_EXAMPLES", "300"))
fuzz = settings(max_examples=EXAMPLES, deadline=None, suppress_health_check=[HealthCheck.too_slow])

anything = st.recursive(
    st.none()
    | st.booleans()
    | st.integers(min_value=-(2**70), max_value=2**70)
    | st.floats(allow_nan=True)
    | st.text(max_size=4)
    | st.binary(max_size=8),
    lambda inner: (
        st.lists(inner, max_size=6) | st.tuples(inner, inner) | st.dictionaries(st.text(max_size=2), inner, max_size=2)
    ),
    max_leaves=12,
)

small_tables = st.integers(min_value=0, max_value=6).flatmap(
    lambda n: st.lists(st.booleans(), min_size=2**n, max_size=2**n)
)


@fuzz
@given(anything)
def test_constructor_with_anything(value):
    try:
        v = Vexil(value)
    except (TypeError, OverflowError, PANIC):
        return
    assert v.size() & (v.size() - 1) == 0
    assert v.repr() == [bool(x) for x in value]


@fuzz
@given(st.binary(max_size=80))
def test_decode_with_any_bytes(raw):
    try:
        v = Vexil.decode(raw)
    except ValueError as error:
        assert str(error) == "Unable to decode"
        return
    except PANIC as stop:
        assert stop.args[0] in ("Invalid size", "capacity overflow")
        return
    width = {251: 2, 252: 4, 253: 8}.get(raw[0], 0)
    assert v.repr() == [b == 1 for b in raw[1 + width : 1 + width + v.size()]]


@fuzz
@given(small_tables, st.lists(st.integers(min_value=0, max_value=2**64 - 1), max_size=8))
def test_table_with_any_variables(entries, variables):
    v = Vexil(entries)
    n = v.n_vars()
    try:
        array = v.table(variables)
    except PANIC as stop:
        assert stop.args[0].startswith("called `Result::unwrap()` on an `Err` value: ShapeError/")
        assert len(set(variables)) != len(variables) or any(x >= n for x in variables)
        return
    assert array.dtype == np.bool_ and array.size == 2**n
    assert sorted(variables) == sorted(set(variables)) and all(x < n for x in variables)


@fuzz
@given(small_tables, anything)
def test_table_with_anything(entries, value):
    try:
        Vexil(entries).table(value)
    except (TypeError, OverflowError, PANIC):
        pass


@pytest.mark.parametrize("method", ["table", "eval"])
def test_arguments_that_mutate_the_list_while_converting(method):
    class Shrinking:
        def __init__(self, items):
            self.items = items

        def __index__(self):
            self.items.clear()
            return 0

    items = []
    items.extend([Shrinking(items), 1, 2])
    v = Vexil.parity(2)
    if method == "table":
        assert v.table(items).shape == (2, 2)
    else:
        assert v.eval(items[0]) is True


@fuzz
@given(small_tables, st.lists(st.integers(min_value=0, max_value=2**64 - 1), max_size=10))
def test_information_and_fragmentation_with_any_variables(entries, variables):
    v = Vexil(entries)
    try:
        count = v.information(variables)
        entropy = v.fragmentation_coefficient(variables)
    except MemoryError:
        # Only lists whose assignments cannot be enumerated may refuse.
        assert len(variables) >= 30
        return
    assert 1 <= count <= 2 ** min(len(variables), 63)
    assert 0 <= entropy <= len(variables) + 1e-4
    assert count == v.information(list(reversed(variables)))


@fuzz
@given(small_tables, anything)
def test_information_and_fragmentation_with_anything(entries, value):
    v = Vexil(entries)
    for method in (v.information, v.fragmentation_coefficient):
        try:
            method(value)
        except (TypeError, OverflowError, MemoryError):
            pass
