"""The tables of the standard families of Boolean functions, and the one registry of family names.

Each builder returns a new bool table of 2**n entries (entry x = f(x)), evaluated with NumPy a chunk
of inputs at a time; ``BooleanFunction``'s class methods of the same names wrap them. ``FAMILIES``
names every family that sweeps and the command line build by name, with the names of its integer
arguments; ``lookup`` reads a name written with "-" or "_" alike, so both accept the same spellings.

>>> majority(3).astype(int).tolist()
[0, 0, 0, 1, 0, 1, 1, 1]
>>> lookup("inner-product").name, lookup("sum_is_prime").arguments
('inner_product', ('N',))
"""

from __future__ import annotations

from collections.abc import Callable
from typing import Any, NamedTuple

import numpy as np
import numpy.typing as npt

import vexil

from . import _arguments, _tabulate, builders
from ._arguments import Table


def constant(n: int, value: Any) -> Table:
    """The constant table of n variables with the given value (a bool or 0/1)."""
    n = _arguments.num_vars(n)
    value = _arguments.bit(value, "value")
    _tabulate.reserve(2 << n)  # the table and its frozen copy
    return np.full(1 << n, value, dtype=np.bool_)


def dictator(n: int, i: int) -> Table:
    """x -> x_i over n variables; 0 <= i < n (ValueError otherwise)."""
    n = _arguments.num_vars(n)
    i = _arguments.integer(i, "i")
    if not 0 <= i < n:
        raise ValueError(f"variable {i} is outside [0, {n})")
    return _tabulate.tabulate(n, lambda xs: xs >> i & 1)


def conjunction(n: int) -> Table:
    """The AND of n variables; the empty AND (n = 0) is true."""
    n = _arguments.num_vars(n)
    _tabulate.reserve(1 << n)
    table = np.zeros(1 << n, dtype=np.bool_)
    table[-1] = True
    return table


def disjunction(n: int) -> Table:
    """The OR of n variables; the empty OR (n = 0) is false."""
    n = _arguments.num_vars(n)
    _tabulate.reserve(1 << n)
    table = np.ones(1 << n, dtype=np.bool_)
    table[0] = False
    return table


def xor(n: int) -> Table:
    """The odd parity of n variables."""
    n = _arguments.num_vars(n)
    return _tabulate.tabulate(n, lambda xs: _tabulate.ones(xs, n) & 1)


def threshold(n: int, k: int) -> Table:
    """True when at least k >= 0 of the n variables are one."""
    n = _arguments.num_vars(n)
    k = _arguments.count(k, "k")
    return _tabulate.tabulate(n, lambda xs: _tabulate.ones(xs, n) >= k)


def majority(n: int) -> Table:
    """True when more than n/2 of the n variables are one: ``threshold(n, n // 2 + 1)``."""
    n = _arguments.num_vars(n)
    return threshold(n, n // 2 + 1)


def tribes(width: int, count: int) -> Table:
    """The OR of ``count`` ANDs over consecutive blocks of ``width`` variables; n = width * count."""
    width = _arguments.count(width, "width")
    count = _arguments.count(count, "count")
    n = _arguments.num_vars(width * count, "width * count")
    block = (1 << width) - 1

    def rule(xs: npt.NDArray[np.int64]) -> Table:
        # Each empty AND (width 0) is true; the empty OR (count 0) is false.
        values = np.full(xs.shape, width == 0 and count > 0, dtype=np.bool_)
        for j in range(count if width else 0):
            values |= (xs >> (j * width) & block) == block
        return values

    return _tabulate.tabulate(n, rule)


def inner_product(n: int) -> Table:
    """x0 x1 XOR x2 x3 XOR ... over an even number n of variables (ValueError for odd n)."""
    n = _arguments.num_vars(n)
    if n % 2:
        raise ValueError(f"the inner product needs an even number of variables, got {n}")

    def rule(xs: npt.NDArray[np.int64]) -> Table:
        values = np.zeros(xs.shape, dtype=np.bool_)
        for j in range(0, n, 2):
            values ^= (xs >> j & 3) == 3
        return values

    return _tabulate.tabulate(n, rule)


def address(k: int) -> Table:
    """The multiplexer of k address bits (variables 0..k-1) over 2**k data bits; n = k + 2**k, k <= 5."""
    k = _arguments.count(k, "k")
    if k > 5:
        raise ValueError(f"address({k}) would have {k + (1 << k)} variables; k must be at most 5")
    n = k + (1 << k)
    return _tabulate.tabulate(n, lambda xs: xs >> (k + (xs & ((1 << k) - 1))) & 1)


def _built_by_vexil(build: Callable[[int], vexil.Vexil]) -> Callable[[int], Table]:
    """A family the core builds natively, as a table."""
    return lambda n: builders.from_vexil(build(n))


# -- the registry ----------------------------------------------------------------------------------


class Family(NamedTuple):
    """A family of functions built by name: its table builder and the names of its integer arguments."""

    name: str
    build: Callable[..., Table]
    arguments: tuple[str, ...]


FAMILIES: dict[str, Family] = {
    family.name: family
    for family in (
        Family("majority", majority, ("N",)),
        Family("parity", _built_by_vexil(vexil.Vexil.parity), ("N",)),
        Family("xor", xor, ("N",)),
        Family("conjunction", conjunction, ("N",)),
        Family("disjunction", disjunction, ("N",)),
        Family("threshold", threshold, ("N", "K")),
        Family("tribes", tribes, ("WIDTH", "COUNT")),
        Family("inner_product", inner_product, ("N",)),
        Family("address", address, ("K",)),
        Family("dictator", dictator, ("N", "I")),
        Family("constant", constant, ("N", "VALUE")),
        Family("coprimes", _built_by_vexil(vexil.Vexil.coprimes), ("N",)),
        Family("primality", _built_by_vexil(vexil.Vexil.primality), ("N",)),
        Family("sum_is_prime", _built_by_vexil(vexil.Vexil.sum_is_prime), ("N",)),
        Family("clique", _built_by_vexil(vexil.Vexil.clique), ("N",)),
    )
}

#: The registered family names, sorted.
FAMILY_NAMES = tuple(sorted(FAMILIES))


def lookup(name: str) -> Family | None:
    """The family of that name, "-" and "_" alike (``inner-product`` is ``inner_product``); None if none."""
    return FAMILIES.get(name.replace("-", "_")) if isinstance(name, str) else None
