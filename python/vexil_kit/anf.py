"""Algebraic normal form, algebraic degree, algebraic immunity and annihilators.

The algebraic normal form (ANF) writes f as a XOR of monomials, each the AND of a set of variables;
a monomial is an int mask m, the AND of the variables v whose bit v of m is set (0 is the constant 1).
The ANF is unique, and its coefficient at m is the XOR of f(x) over the x whose bits are a subset of
those of m (the binary Möbius transform, which is its own inverse). The kernels run in the compiled
module ``vexil_kit._native`` on the table packed 64 entries to a word, without the interpreter lock.

The functions here take and return truth tables (bool arrays); ``BooleanFunction``'s methods (``anf``,
``from_anf``, ``algebraic_degree``, ...) call them.

>>> monomials(np.array([0, 0, 0, 1, 0, 1, 1, 1], dtype=bool))   # majority of three: x0 x1 ^ x0 x2 ^ x1 x2
[3, 5, 6]
>>> from_anf([1, 2], 2).tolist()                                # x0 ^ x1
[False, True, True, False]
"""

from __future__ import annotations

from collections.abc import Iterable
from typing import Any

import numpy as np
import numpy.typing as npt

from . import _arguments, _native, _tabulate, registry
from ._arguments import Table
from .progress import Progress, reporter


def monomials(table: Table) -> list[int]:
    """The algebraic normal form: the monomials of f as a sorted list of int masks.

    f(x) is the XOR over the listed masks m of the AND of the variables in m, that is of
    ``x & m == m``. Mask 0 is the constant 1; the zero function gives ``[]`` and the constant 1
    ``[0]``, for any n. ``BooleanFunction.from_anf(f.anf(), f.n) == f``.

    >>> BooleanFunction.from_expression("x0 & x1 | x2").anf()   # x2 ^ x0 x1 ^ x0 x1 x2
    [3, 4, 7]
    >>> BooleanFunction.majority(3).anf()                      # x0 x1 ^ x0 x2 ^ x1 x2
    [3, 5, 6]
    """
    _tabulate.reserve(9 * len(table))  # the coefficients and the int64 masks, at worst
    masks = _native.anf_monomials(table)
    # A list slot and a Python int a monomial; converted a chunk at a time so Ctrl-C is heard.
    _tabulate.reserve(40 * len(masks))
    result: list[int] = []
    for start in range(0, len(masks), _tabulate.CHUNK):
        result.extend(masks[start : start + _tabulate.CHUNK].tolist())
    return result


def _masks(monomials: Iterable[Any], n: int) -> npt.NDArray[np.int64]:
    """The monomials as an int64 array, each checked to be an int in [0, 2**n)."""
    if isinstance(monomials, (str, bytes, bytearray)) or not isinstance(monomials, Iterable):
        raise TypeError(f"monomials must be an iterable of int masks, not {type(monomials).__name__}")
    if isinstance(monomials, np.ndarray) and monomials.ndim == 1 and monomials.dtype.kind in "iu":
        if monomials.size:
            low, high = int(monomials.min()), int(monomials.max())
            if low < 0 or high >= 1 << n:
                raise ValueError(f"monomial {low if low < 0 else high} is outside [0, 2**{n})")
        return monomials.astype(np.int64)
    values = []
    for item in monomials:
        m = _arguments.integer(item, "a monomial")
        if not 0 <= m < 1 << n:
            raise ValueError(f"monomial {m} is outside [0, 2**{n})")
        values.append(m)
    return np.array(values, dtype=np.int64)


def from_anf(monomials: Iterable[Any], n: int) -> Table:
    """The function of n variables whose ANF is the XOR of ``monomials`` (int masks).

    Each mask m stands for the AND of the variables v with bit v of m set; 0 is the constant 1.
    The monomials are XORed, so a mask given twice cancels (``[1, 1]`` is the zero function) and
    their order does not matter. A mask outside [0, 2**n) raises ValueError, a non-integer
    TypeError. The empty list gives the zero function. The inverse of ``anf()``.

    >>> BooleanFunction.from_anf([1, 2], 2) == BooleanFunction.xor(2)
    True
    >>> BooleanFunction.from_anf([3, 0], 2).table     # x0 x1 ^ 1: NAND
    array([ True,  True,  True, False])
    >>> BooleanFunction.from_anf([5, 5], 3).weight()  # the repeated monomial cancels
    0
    """
    n = _arguments.num_vars(n)
    masks = _masks(monomials, n)
    _tabulate.reserve(3 << n)  # the coefficients, the transform and its frozen copy
    # XOR semantics: a monomial is in the ANF when it was given an odd number of times.
    values, counts = np.unique(masks, return_counts=True)
    coefficients = np.zeros(1 << n, dtype=np.bool_)
    coefficients[values[counts % 2 == 1]] = True
    return _native.moebius_transform(coefficients)


def algebraic_degree(table: Table) -> int:
    """The algebraic degree: the most variables in one monomial of the ANF.

    -1 for the zero function, 0 for the constant 1 (also for n = 0), 1 for the non-constant affine
    functions (XORs of variables, and their complements), n when the AND of all variables is in the
    ANF (which happens exactly for odd weight). Read from the packed transform without building the
    list of ``anf()``.

    >>> BooleanFunction.xor(4).algebraic_degree(), BooleanFunction.conjunction(4).algebraic_degree()
    (1, 4)
    >>> BooleanFunction.inner_product(6).algebraic_degree(), BooleanFunction.constant(3, False).algebraic_degree()
    (2, -1)
    """
    return int(registry.evaluate("function", "algebraic_degree", table))


def algebraic_immunity(table: Table, progress: Progress = False) -> int:
    """The algebraic immunity: the least d such that f or f ^ 1 has a nonzero annihilator of degree <= d.

    g annihilates h when g & h is the zero function. The value is at most ceil(n/2) (the monomials of
    degree up to ceil(n/2) outnumber the points of the smaller of the two supports), and 0 exactly
    for the constants, whatever n (the constant 1 annihilates the zero function); every function of
    n = 0 variables is a constant. Non-constant affine functions have 1. The search is an
    elimination over GF(2) on about C(n, <= d) / 2 unknowns per degree d, so its cost grows about
    as 8**n (n = 16 takes seconds) and its memory about as 2**n * C(n, <= d) / 16 bytes; a working set
    the machine cannot hold raises MemoryError. Runs without the interpreter lock; Ctrl-C stops it.

    >>> BooleanFunction.majority(5).algebraic_immunity()     # majority reaches ceil(n/2)
    3
    >>> BooleanFunction.xor(6).algebraic_immunity(), BooleanFunction.constant(4, True).algebraic_immunity()
    (1, 0)
    """
    with reporter(progress, "algebraic_immunity") as report:
        return _native.algebraic_immunity(table, progress=report)


def annihilator(table: Table, d: int, progress: Progress = False) -> Table | None:
    """A nonzero annihilator of f of algebraic degree <= d, or None when there is none.

    An annihilator is a g with ``g & f`` the zero function, that is g(x) = 0 wherever f(x) = 1. Only
    f's own annihilators count (for those of ~f ask ``(~f).annihilator(d)``), so
    ``algebraic_immunity()`` is the least d at which f or ~f has one. d is an int; negative d gives
    None (only the zero function has degree < 0), and d > n is read as n. The zero function is
    annihilated by the constant 1 at every d >= 0; the constant 1 has no annihilator at all. Which
    annihilator comes back is fixed for a given f and d, not otherwise specified.

    >>> f = BooleanFunction.majority(3)
    >>> print(f.annihilator(1))                       # majority(3) has AI 2
    None
    >>> g = f.annihilator(2)
    >>> (g & f).weight(), g.weight() > 0, g.algebraic_degree() <= 2
    (0, True, True)
    """
    d = _arguments.integer(d, "d")
    if d < 0:
        return None
    with reporter(progress, "annihilator") as report:
        return _native.annihilator(table, min(d, _arguments.log2(len(table))), progress=report)
