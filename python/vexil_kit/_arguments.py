"""Checks of the arguments every part of the package takes: variable counts, bits and truth tables."""

from __future__ import annotations

import operator
from typing import Any

import numpy as np
import numpy.typing as npt

#: The most variables a table may have here: 2**MAX_VARS entries must still be indexable by int64.
MAX_VARS = 62

#: A truth table: a 1-D bool array of 2**n entries, entry x = f(x).
Table = npt.NDArray[np.bool_]


def count(value: Any, what: str) -> int:
    """``value`` as a non-negative Python int; TypeError if not an integer, ValueError if negative."""
    try:
        result = operator.index(value)
    except TypeError:
        raise TypeError(f"{what} must be an integer, not {type(value).__name__}") from None
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


def entry(x: Any, n: int) -> int:
    """The entry index an int ``x`` or a sequence of n bits (item v is variable v) names; not range-checked."""
    try:
        return operator.index(x)
    except TypeError:
        bits = [bit(b, "an assignment bit") for b in x]
        if len(bits) != n:
            raise ValueError(f"an assignment needs {n} bits, got {len(bits)}") from None
        return sum(1 << v for v, b in enumerate(bits) if b)


def table(values: Any) -> Table:
    """A fresh, read-only 1-D bool array from a 1-D sequence of bools or 0/1 of length 2**n."""
    if isinstance(values, (str, bytes)):
        raise ValueError("a truth table must be a sequence of bools or 0/1, not a string")
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
        result = array.copy()
    elif array.dtype.kind in "iu":
        if not np.all((array == 0) | (array == 1)):
            raise ValueError("truth table entries must be bools or 0/1; found other integers")
        result = array.astype(np.bool_)
    elif array.dtype == object:
        # Per-item check only on this uncommon path (mixed or oversized Python objects).
        result = np.fromiter((bit(item, "a truth table entry") for item in array), dtype=np.bool_, count=size)
    else:
        raise ValueError(f"truth table entries must be bools or 0/1, not {array.dtype} values")
    result.setflags(write=False)
    return result


def log2(size: int) -> int:
    """n for a power of two 2**n."""
    return size.bit_length() - 1
