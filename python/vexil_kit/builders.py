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
    """The function whose table is that of the ``vexil.Vexil`` object ``v`` (TypeError for other types).

    >>> BooleanFunction.from_vexil(vexil.Vexil.majority(3)) == BooleanFunction.majority(3)
    True
    """
    if not isinstance(v, vexil.Vexil):
        raise TypeError(f"expected a vexil.Vexil, not {type(v).__name__}")
    # The restriction table by no variable is the truth table as one column: one
    # native copy instead of a list of 2^n Python bools.
    table: Table = v.table([]).reshape(-1)
    return table


def to_int(table: Table) -> int:
    """The integer sum of f(x) * 2**x over all entries x (entry 0 is the least significant bit).

    >>> BooleanFunction([0, 1, 1, 1]).to_int()
    14
    """
    return int.from_bytes(np.packbits(table, bitorder="little").tobytes(), "little")


def from_int(value: int, n: int) -> Table:
    """The function of n variables with f(x) = bit x of ``value``; 0 <= value < 2**(2**n), any size.

    ValueError for a negative value or one with a bit set at 2**n or beyond.

    >>> BooleanFunction.from_int(14, 2) == BooleanFunction.disjunction(2)
    True
    >>> BooleanFunction.from_int(1, 0).table
    array([ True])
    """
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
    """The table as the hexadecimal integer sum of f(x) * 2**x, with "0x", most significant digit first.

    The text has 2**n / 4 digits (one digit for n < 2), so ``from_hex`` reads it back;
    for n < 2 pass n to ``from_hex``.

    >>> BooleanFunction.majority(3).to_hex()
    '0xe8'
    >>> BooleanFunction([0, 1]).to_hex()
    '0x2'
    """
    digits = max(1, len(table) // 4)
    return f"0x{to_int(table):0{digits}x}"


def from_hex(text: str, n: int | None = None) -> Table:
    """The function whose table is the hexadecimal integer sum of f(x) * 2**x ("0x" optional).

    Without n, the digit count fixes the size as on the command line: 4 entries per digit,
    which must make a power of two (so 1, 2, 4, 8, ... digits). With n, any digit count
    is accepted as long as the value fits 2**n entries; tables of fewer than 4 entries
    (n = 0 or 1) need n. ValueError for bad text or a value too large.

    >>> BooleanFunction.from_hex("0xe8") == BooleanFunction.majority(3)
    True
    >>> BooleanFunction.from_hex("1", n=0).table
    array([ True])
    """
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
    """The function of n variables with f(x) = fn(x).

    Per entry, ``fn`` gets each int x in [0, 2**n) and returns a bool or 0/1. With
    ``vectorized=True`` it is called once with the int64 array of all x and returns a
    bool (or 0/1) array of the same length. Other results raise ValueError.

    >>> BooleanFunction.from_callable(3, lambda x: x % 3 == 0).to_hex()
    '0x49'
    >>> BooleanFunction.from_callable(3, lambda x: x >= 4, vectorized=True) == BooleanFunction.dictator(3, 2)
    True
    """
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
    """The function given by a Boolean expression over variables ``x0``, ``x1``, ...

    The operators are ``~`` (not), ``&``, ``^``, ``|`` with Python's precedence (``~``
    binds tightest, then ``&``, then ``^``, then ``|``), parentheses and the constants
    0 and 1. n defaults to the largest variable index + 1 (0 with no variables); a given
    n must cover every variable. The text is parsed, never evaluated as Python; bad
    input raises ValueError with the position.

    >>> BooleanFunction.from_expression("x0 & x1 ^ ~x2").to_hex()
    '0x87'
    >>> BooleanFunction.from_expression("x0 | 1", n=2).weight()
    4
    """
    tree, largest = expression.parse(text)
    if n is None:
        n = largest + 1
    n = _arguments.num_vars(n)
    if largest >= n:
        raise ValueError(f"the expression uses x{largest}, but n = {n}")
    return expression.evaluate(tree, n)


def random(n: int, seed: Any = None, balanced: bool = False) -> Table:
    """A uniformly random function of n variables from ``numpy.random.default_rng(seed)``.

    With ``balanced=True`` it is uniform among the functions with exactly 2**(n-1) true
    entries (ValueError for n = 0). The same seed gives the same function.

    >>> BooleanFunction.random(4, seed=1) == BooleanFunction.random(4, seed=1)
    True
    >>> BooleanFunction.random(5, seed=2, balanced=True).weight()
    16
    """
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
