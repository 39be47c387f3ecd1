"""Ways to build a BooleanFunction and to write it out: Vexil, hexadecimal, integers, callables, text, random."""

from __future__ import annotations

import operator
import string

import numpy as np
import vexil

from . import _checks, _tables, expression


def from_vexil(cls, v):
    """The function whose table is that of the ``vexil.Vexil`` object ``v`` (TypeError for other types).

    >>> BooleanFunction.from_vexil(vexil.Vexil.majority(3)) == BooleanFunction.majority(3)
    True
    """
    if not isinstance(v, vexil.Vexil):
        raise TypeError(f"expected a vexil.Vexil, not {type(v).__name__}")
    # The restriction table by no variable is the truth table as one column: one
    # native copy instead of a list of 2^n Python bools.
    return cls._wrap(v.table([]).reshape(-1))


def to_vexil(self):
    """A new ``vexil.Vexil`` with the same truth table.

    >>> BooleanFunction.xor(2).to_vexil().repr()
    [False, True, True, False]
    """
    return vexil.Vexil(self.table)


def to_int(self) -> int:
    """The integer sum of f(x) * 2**x over all entries x (entry 0 is the least significant bit).

    >>> BooleanFunction([0, 1, 1, 1]).to_int()
    14
    """
    return int.from_bytes(np.packbits(self.table, bitorder="little").tobytes(), "little")


def from_int(cls, value, n):
    """The function of n variables with f(x) = bit x of ``value``; 0 <= value < 2**(2**n), any size.

    ValueError for a negative value or one with a bit set at 2**n or beyond.

    >>> BooleanFunction.from_int(14, 2) == BooleanFunction.disjunction(2)
    True
    >>> BooleanFunction.from_int(1, 0).table
    array([ True])
    """
    n = _checks.num_vars(n)
    value = operator.index(value)
    size = 1 << n
    if value < 0 or value.bit_length() > size:
        raise ValueError(f"{value} is not in [0, 2**{size}): it does not fit a table of {size} entries")
    raw = np.frombuffer(value.to_bytes((size + 7) // 8, "little"), dtype=np.uint8)
    return cls._wrap(np.unpackbits(raw, count=size, bitorder="little").astype(np.bool_))


def to_hex(self) -> str:
    """The table as the hexadecimal integer sum of f(x) * 2**x, with "0x", most significant digit first.

    The text has 2**n / 4 digits (one digit for n < 2), so ``from_hex`` reads it back;
    for n < 2 pass n to ``from_hex``.

    >>> BooleanFunction.majority(3).to_hex()
    '0xe8'
    >>> BooleanFunction([0, 1]).to_hex()
    '0x2'
    """
    digits = max(1, len(self) // 4)
    return f"0x{self.to_int():0{digits}x}"


def from_hex(cls, text, n=None):
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
        n = _checks.log2(entries)
    return from_int(cls, int(digits, 16), n)


def from_callable(cls, n, fn, vectorized=False):
    """The function of n variables with f(x) = fn(x).

    Per entry, ``fn`` gets each int x in [0, 2**n) and returns a bool or 0/1. With
    ``vectorized=True`` it is called once with the int64 array of all x and returns a
    bool (or 0/1) array of the same length. Other results raise ValueError.

    >>> BooleanFunction.from_callable(3, lambda x: x % 3 == 0).to_hex()
    '0x49'
    >>> BooleanFunction.from_callable(3, lambda x: x >= 4, vectorized=True) == BooleanFunction.dictator(3, 2)
    True
    """
    n = _checks.num_vars(n)
    if vectorized:
        # The int64 inputs, the result and its bool copy.
        _tables.reserve(10 << n)
        values = np.asarray(fn(np.arange(1 << n, dtype=np.int64)))
        if values.shape != (1 << n,):
            raise ValueError(f"a vectorized fn must return shape ({1 << n},), got {values.shape}")
        return cls(values)
    return cls([_checks.bit(fn(x), f"fn({x})") for x in range(1 << n)])


def from_expression(cls, text, n=None):
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
    n = _checks.num_vars(n)
    if largest >= n:
        raise ValueError(f"the expression uses x{largest}, but n = {n}")
    return cls._wrap(expression.evaluate(tree, n))


def random(cls, n, seed=None, balanced=False):
    """A uniformly random function of n variables from ``numpy.random.default_rng(seed)``.

    With ``balanced=True`` it is uniform among the functions with exactly 2**(n-1) true
    entries (ValueError for n = 0). The same seed gives the same function.

    >>> BooleanFunction.random(4, seed=1) == BooleanFunction.random(4, seed=1)
    True
    >>> BooleanFunction.random(5, seed=2, balanced=True).weight()
    16
    """
    n = _checks.num_vars(n)
    rng = np.random.default_rng(seed)
    size = 1 << n
    if not balanced:
        _tables.reserve(size)
        # Bytes 0 and 1 are the bools False and True: a view, not a copy.
        return cls._wrap(rng.integers(0, 2, size=size, dtype=np.uint8).view(np.bool_))
    if n == 0:
        raise ValueError("a function of 0 variables cannot be balanced")
    _tables.reserve(9 * size)  # the table and the int64 permutation
    table = np.zeros(size, dtype=np.bool_)
    table[rng.permutation(size)[: size // 2]] = True
    return cls._wrap(table)
