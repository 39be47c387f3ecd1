"""Truth tables read from and written to other forms: Vexil objects, integers, hexadecimal, callables,
expressions, random draws.

Each reader returns a bool table of 2**n entries (entry x = f(x)); ``BooleanFunction``'s class
methods of the same names wrap them.

>>> from_hex("0xe8").astype(int).tolist(), to_hex(from_int(14, 2))
([0, 0, 0, 1, 0, 1, 1, 1], '0xe')
"""

from __future__ import annotations

import string
from collections.abc import Callable
from typing import Any

import numpy as np

import vexil

from . import _arguments, _tabulate, expression
from ._arguments import Table


def from_vexil(v: vexil.Vexil) -> Table:
    """The table of a ``vexil.Vexil`` object (TypeError for other types)."""
    if not isinstance(v, vexil.Vexil):
        raise TypeError(f"expected a vexil.Vexil, not {type(v).__name__}")
    # The restriction table by no variable is the truth table as one column: one
    # native copy instead of a list of 2^n Python bools.
    table: Table = v.table([]).reshape(-1)
    return table


def to_int(table: Table) -> int:
    """The integer sum of table[x] * 2**x."""
    return int.from_bytes(np.packbits(table, bitorder="little").tobytes(), "little")


def from_int(value: int, n: int) -> Table:
    """The table of n variables whose entry x is bit x of ``value`` (ValueError if it does not fit)."""
    n = _arguments.num_vars(n)
    value = _arguments.integer(value, "value")
    size = 1 << n
    if value < 0 or value.bit_length() > size:
        raise ValueError(f"{value} is not in [0, 2**{size}): it does not fit a table of {size} entries")
    # The bytes of the value, the unpacked bits and their frozen copy.
    _tabulate.reserve(2 * size + size // 8 + 64)
    raw = np.frombuffer(value.to_bytes((size + 7) // 8, "little"), dtype=np.uint8)
    return np.unpackbits(raw, count=size, bitorder="little").view(np.bool_)


def to_hex(table: Table) -> str:
    """``to_int`` in hexadecimal with "0x", 2**n / 4 digits (one for n < 2)."""
    digits = max(1, len(table) // 4)
    return f"0x{to_int(table):0{digits}x}"


def from_hex(text: str, n: int | None = None) -> Table:
    """The table of a hexadecimal ``to_int`` ("0x" optional); without n, 4 entries a digit."""
    if not isinstance(text, str):
        raise TypeError(f"expected a str, not {type(text).__name__}")
    digits = text.strip()
    if digits[:2].lower() == "0x":
        digits = digits[2:]
    if not digits or any(c not in string.hexdigits for c in digits):
        raise ValueError(f"{text!r} is not a hexadecimal table")
    if n is None:
        entries = 4 * len(digits)
        if entries & (entries - 1):
            raise ValueError(f"{text!r} has {len(digits)} hex digits; 4 entries a digit must make a power of two")
        n = _arguments.log2(entries)
    return from_int(int(digits, 16), n)


def from_callable(n: int, fn: Callable[[Any], Any], vectorized: bool = False) -> Table:
    """The table of n variables with entry x = fn(x), or fn(all x) at once when ``vectorized``."""
    n = _arguments.num_vars(n)
    if vectorized:
        # The int64 inputs, the result and its bool copy.
        _tabulate.reserve(10 << n)
        values = np.asarray(fn(np.arange(1 << n, dtype=np.int64)))
        if values.shape != (1 << n,):
            raise ValueError(f"a vectorized fn must return shape ({1 << n},), got {values.shape}")
        return _arguments.table(values)
    return _arguments.table([_arguments.bit(fn(x), f"fn({x})") for x in range(1 << n)])


def from_expression(text: str, n: int | None = None) -> Table:
    """The table of a Boolean expression over x0, x1, ...; n defaults to the largest index + 1."""
    tree, largest = expression.parse(text)
    if n is None:
        n = largest + 1
    n = _arguments.num_vars(n)
    if largest >= n:
        raise ValueError(f"the expression uses x{largest}, but n = {n}")
    return expression.evaluate(tree, n)


def random(n: int, seed: Any = None, balanced: bool = False) -> Table:
    """A uniformly random table of n variables from ``numpy.random.default_rng(seed)``, balanced on request."""
    n = _arguments.num_vars(n)
    rng = np.random.default_rng(seed)
    size = 1 << n
    balanced = _arguments.bit(balanced, "balanced")
    if not balanced:
        _tabulate.reserve(2 * size)  # the draw and its frozen copy
        # Bytes 0 and 1 are the bools False and True: a view, not a copy.
        return rng.integers(0, 2, size=size, dtype=np.uint8).view(np.bool_)
    if n == 0:
        raise ValueError("a function of 0 variables cannot be balanced")
    if size <= _tabulate.CHUNK:
        _tabulate.reserve(10 * size)  # the table, its frozen copy and the int64 permutation
        table = np.zeros(size, dtype=np.bool_)
        table[rng.permutation(size)[: size // 2]] = True
        return table
    # A chunk at a time, so that Ctrl-C is heard between chunks: the number of true entries of
    # each chunk is hypergeometric given those left, and a chunk with its count is uniform.
    _tabulate.reserve(2 * size + 9 * _tabulate.CHUNK)
    table = np.empty(size, dtype=np.bool_)
    ones_left = size // 2
    for start in range(0, size, _tabulate.CHUNK):
        left = size - start
        ones = (
            int(rng.hypergeometric(ones_left, left - ones_left, _tabulate.CHUNK))
            if left > _tabulate.CHUNK
            else ones_left
        )
        chunk = table[start : start + _tabulate.CHUNK]
        chunk[:ones] = True
        chunk[ones:] = False
        rng.shuffle(chunk)
        ones_left -= ones
    return table
