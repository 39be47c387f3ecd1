"""Checks of the arguments every part of the package takes: variable counts, bits and truth tables."""

from __future__ import annotations

import operator
from collections.abc import Iterable, Iterator, Sequence, Sized
from typing import Any

import numpy as np
import numpy.typing as npt

from . import _native

#: The most variables a table may have here: 2**MAX_VARS entries must still be indexable by int64.
MAX_VARS = 62

#: A truth table: a 1-D bool array of 2**n entries, entry x = f(x).
Table = npt.NDArray[np.bool_]


def integer(value: Any, what: str) -> int:
    """``value`` as a Python int; TypeError naming ``what`` for a non-integer or a bool.

    A bool is refused everywhere a count, index or degree is expected: ``True`` read as 1 hides
    a swapped argument.
    """
    if isinstance(value, (bool, np.bool_)):
        raise TypeError(f"{what} must be an integer, not bool")
    try:
        return operator.index(value)
    except TypeError:
        raise TypeError(f"{what} must be an integer, not {type(value).__name__}") from None


def count(value: Any, what: str) -> int:
    """``value`` as a non-negative Python int; TypeError if not an integer (or a bool), ValueError if negative."""
    result = integer(value, what)
    if result < 0:
        raise ValueError(f"{what} must be non-negative, got {result}")
    return result


def num_vars(value: Any, what: str = "n") -> int:
    """A number of variables: an int in [0, MAX_VARS]."""
    result = count(value, what)
    if result > MAX_VARS:
        raise ValueError(f"{what} = {result} is too many variables (at most {MAX_VARS})")
    return result


def bit(value: Any, what: str) -> bool:
    """``value`` as a bool when it is a bool, a NumPy bool or the integer 0 or 1; ValueError otherwise."""
    if isinstance(value, (bool, np.bool_)):
        return bool(value)
    if isinstance(value, (int, np.integer)) and value in (0, 1):
        return bool(value)
    raise ValueError(f"{what} must be a bool or 0/1, not {value!r}")


def integers(values: Any, what: str, item: str) -> list[int]:
    """``values`` (an iterable, not a string) as a list of ints, each checked by ``integer``."""
    if isinstance(values, (str, bytes, bytearray)) or not isinstance(values, Iterable):
        raise TypeError(f"{what} must be an iterable of integers, not {type(values).__name__}")
    return [integer(value, item) for value in values]


def entry(x: Any, n: int, what: str = "x") -> int:
    """The entry index an int ``x`` or a sequence of n bits (item v is variable v) names; not range-checked."""
    if isinstance(x, (bool, np.bool_)):
        raise TypeError(f"{what} must be an int entry index or a sequence of {n} bits, not bool")
    try:
        return operator.index(x)
    except TypeError:
        if isinstance(x, (str, bytes, bytearray)) or not isinstance(x, Iterable):
            raise TypeError(
                f"{what} must be an int entry index or a sequence of {n} bits, not {type(x).__name__}"
            ) from None
        bits = [bit(b, "an assignment bit") for b in x]
        if len(bits) != n:
            raise ValueError(f"an assignment needs {n} bits, got {len(bits)}") from None
        return sum(1 << v for v, b in enumerate(bits) if b)


def _refused_kind(values: Any) -> str | None:
    """Why ``values`` cannot be a truth table before NumPy reads it, or None."""
    if isinstance(values, str):
        return "a string"
    if isinstance(values, (bytes, bytearray, memoryview)):
        # Bytes read as 0/1 would be a silent guess; text like b"0110" is the usual mistake.
        return f"{type(values).__name__} (use np.frombuffer(data, dtype=np.uint8) for raw 0/1 bytes)"
    if isinstance(values, np.ma.MaskedArray):
        return "a masked array (masked entries have no value; use .filled(...))"
    if isinstance(values, (set, frozenset, dict)):
        return f"a {type(values).__name__} (it has no order)"
    if isinstance(values, Iterator):
        return "an iterator (pass a list or an array)"
    if values is None or not isinstance(values, (Sequence, np.ndarray)) and not hasattr(values, "__array__"):
        return type(values).__name__
    return None


def table(values: Any) -> Table:
    """A fresh, read-only 1-D bool array from a 1-D sequence of bools or 0/1 of length 2**n.

    Bool arrays are read by their bytes, so a byte other than 0 or 1 (from ``np.frombuffer``)
    counts as true here, once, and every later operation sees only 0 and 1.
    """
    refused = _refused_kind(values)
    if refused is not None:
        raise ValueError(f"a truth table must be a sequence or array of 2**n bools or 0/1, not {refused}")
    if not isinstance(values, np.ndarray):
        size = len(values) if isinstance(values, Sized) else 0
        # NumPy holds a list of ints as int64 before the bool copies.
        _native.ensure_working_set(10 * size)
    try:
        array = np.asarray(values)
    except ValueError as error:
        raise ValueError(f"a truth table must be a 1-D sequence: {error}") from None
    if array.ndim != 1:
        raise ValueError(f"a truth table must be 1-D, got {array.ndim} dimensions")
    size = array.shape[0]
    if size == 0 or size & (size - 1):
        raise ValueError(f"a truth table has 2**n entries; {size} is not a power of two")
    if array.dtype == np.bool_:
        _native.ensure_working_set(2 * size)
        result = array.view(np.uint8) != 0
    elif array.dtype.kind in "iu":
        _native.ensure_working_set(4 * size)
        if not np.all((array == 0) | (array == 1)):
            raise ValueError("truth table entries must be bools or 0/1; found other integers")
        result = array.astype(np.bool_)
    elif array.dtype == object:
        # Per-item check only on this uncommon path (mixed or oversized Python objects).
        result = np.fromiter((bit(item, "a truth table entry") for item in array), dtype=np.bool_, count=size)
    else:
        raise ValueError(f"truth table entries must be bools or 0/1, not {array.dtype} values")
    return frozen(result)


def frozen(array: npt.ArrayLike) -> Table:
    """A 1-D bool table over a ``bytes`` copy of ``array``: read-only for good, since nobody can flip
    the flag of an array whose memory is immutable (``setflags(write=True)`` raises)."""
    data = np.ascontiguousarray(array, dtype=np.bool_).reshape(-1)
    _native.ensure_working_set(data.shape[0])
    result: Table = np.frombuffer(data.tobytes(), dtype=np.bool_)
    return result


def log2(size: int) -> int:
    """n for a power of two 2**n."""
    return size.bit_length() - 1
