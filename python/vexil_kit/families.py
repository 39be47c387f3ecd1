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
    """The constant function of n variables with the given value (a bool or 0/1).

    >>> BooleanFunction.constant(2, 1).table
    array([ True,  True,  True,  True])
    """
    n = _arguments.num_vars(n)
    value = _arguments.bit(value, "value")
    _tabulate.reserve(2 << n)  # the table and its frozen copy
    return np.full(1 << n, value, dtype=np.bool_)


def dictator(n: int, i: int) -> Table:
    """The function x -> x_i of n variables; 0 <= i < n (ValueError otherwise).

    >>> BooleanFunction.dictator(2, 1).table
    array([False, False,  True,  True])
    """
    n = _arguments.num_vars(n)
    i = _arguments.integer(i, "i")
    if not 0 <= i < n:
        raise ValueError(f"variable {i} is outside [0, {n})")
    return _tabulate.tabulate(n, lambda xs: xs >> i & 1)


def _symmetric(n: int, by_weight: str, build: Callable[[], Table]) -> Table:
    """``build()``, whose MemoryError (a table too large) names the table-free programs of a symmetric
    function: ``by_weight`` is its value at k ones, as a Python expression in k."""
    try:
        return build()
    except MemoryError as error:
        error.add_note(
            f"the function is symmetric: its degrees need no table, e.g. "
            f"vexil_kit.poly_degrees.symmetric_approximate_degree([{by_weight} for k in range({n + 1})]).degree "
            f"(and symmetric_threshold_degree)"
        )
        raise


def conjunction(n: int) -> Table:
    """The AND of n variables; for n = 0 the empty AND, true.

    >>> BooleanFunction.conjunction(3).weight(), BooleanFunction.conjunction(0)[0]
    (1, True)
    """
    n = _arguments.num_vars(n)

    def build() -> Table:
        _tabulate.reserve(1 << n)
        table = np.zeros(1 << n, dtype=np.bool_)
        table[-1] = True
        return table

    return _symmetric(n, f"k == {n}", build)


def disjunction(n: int) -> Table:
    """The OR of n variables; for n = 0 the empty OR, false.

    >>> BooleanFunction.disjunction(3).weight(), BooleanFunction.disjunction(0)[0]
    (7, False)
    """
    n = _arguments.num_vars(n)

    def build() -> Table:
        _tabulate.reserve(1 << n)
        table = np.ones(1 << n, dtype=np.bool_)
        table[0] = False
        return table

    return _symmetric(n, "k > 0", build)


def xor(n: int) -> Table:
    """The odd parity of n variables (true when an odd number are one); false for n = 0.

    The complement of ``vexil.Vexil.parity(n)``, which is even parity.

    >>> BooleanFunction.xor(2).table
    array([False,  True,  True, False])
    """
    n = _arguments.num_vars(n)
    return _symmetric(n, "k % 2 == 1", lambda: _tabulate.tabulate(n, lambda xs: _tabulate.ones(xs, n) & 1))


def threshold(n: int, k: int) -> Table:
    """True when at least k of the n variables are one; k >= 0 (k = 0: constant true, k > n: false).

    >>> BooleanFunction.threshold(3, 2) == BooleanFunction.majority(3)
    True
    >>> BooleanFunction.threshold(2, 3).weight()
    0
    """
    n = _arguments.num_vars(n)
    k = _arguments.count(k, "k")
    return _symmetric(n, f"k >= {k}", lambda: _tabulate.tabulate(n, lambda xs: _tabulate.ones(xs, n) >= k))


def majority(n: int) -> Table:
    """True when more than n/2 of the n variables are one; a tie (even n) is false, n = 0 is false.

    The same table as ``vexil.Vexil.majority(n)``; equal to ``threshold(n, n // 2 + 1)``.

    >>> [x for x in range(8) if BooleanFunction.majority(3)[x]]
    [3, 5, 6, 7]
    """
    n = _arguments.num_vars(n)
    return threshold(n, n // 2 + 1)


def tribes(width: int, count: int) -> Table:
    """The OR of ``count`` ANDs, each over a block of ``width`` consecutive variables; n = width * count.

    Block j holds variables j*width .. j*width + width - 1. With count = 0 it is the
    empty OR (false, n = 0); with width = 0 and count >= 1 each empty AND is true.

    >>> BooleanFunction.tribes(2, 2) == BooleanFunction.from_expression("x0 & x1 | x2 & x3")
    True
    """
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
    """x0 x1 XOR x2 x3 XOR ... over n variables; n must be even (ValueError otherwise); false for n = 0.

    >>> BooleanFunction.inner_product(4) == BooleanFunction.from_expression("x0 & x1 ^ x2 & x3")
    True
    """
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
    """The address (multiplexer) function: k address bits select one of 2**k data bits.

    The address a is formed by variables 0..k-1; the result is variable k + a, so
    n = k + 2**k. For k = 0 it is the dictator of variable 0.

    >>> f = BooleanFunction.address(1)      # x1 if x0 == 0 else x2
    >>> f.n, f([1, 0, 1]), f([0, 0, 1])
    (3, True, False)
    """
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
