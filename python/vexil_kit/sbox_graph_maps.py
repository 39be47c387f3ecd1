"""The maps of graph equivalences of (n, m)-functions: applying, inverting and composing matrices of
row ints, reading a native search's map of graphs as the maps of its kind (checked on every input),
and the CCZ map of a permutation through its inverse.

A matrix is given as row ints: bit j of row i is the entry (i, j), so (A.x) has bit i equal to the
parity of rows[i] & x (``apply_matrix``). A point of a graph is x | F(x) << n.
"""

from __future__ import annotations

from collections.abc import Sequence
from typing import Any

import numpy as np
import numpy.typing as npt

from . import _native

Matrix = tuple[int, ...]
Words = npt.NDArray[np.uint32]

#: The kinds of equivalence the native search decides, by the name its entry takes.
KINDS = {"linear": "linear", "affine": "affine", "ea": "extended_affine", "ccz": "ccz"}


def apply_matrix(rows: Sequence[int], x: int) -> int:
    """The product A.x over GF(2) for A given as row ints (bit j of rows[i] is the entry (i, j)).

    >>> apply_matrix((0b01, 0b11), 0b10)    # rows (1 0) and (1 1) on x = (x0, x1) = (0, 1)
    2
    """
    return sum((((row & x).bit_count() & 1) << i) for i, row in enumerate(rows))


def apply_all(rows: Sequence[int], xs: npt.NDArray[np.uint64]) -> npt.NDArray[np.uint64]:
    """A.x for every x of ``xs`` at once (row ints as in ``apply_matrix``)."""
    out = np.zeros(len(xs), dtype=np.uint64)
    for i, row in enumerate(rows):
        out |= (np.bitwise_count(xs & np.uint64(row)) & np.uint64(1)).astype(np.uint64) << np.uint64(i)
    return out


def inverse_rows(rows: Sequence[int]) -> Matrix:
    """The inverse of an invertible square matrix of row ints, by Gauss-Jordan elimination."""
    size = len(rows)
    work, inverse = list(rows), [1 << i for i in range(size)]
    for column in range(size):
        pivot = next(i for i in range(column, size) if work[i] >> column & 1)
        work[column], work[pivot] = work[pivot], work[column]
        inverse[column], inverse[pivot] = inverse[pivot], inverse[column]
        for i in range(size):
            if i != column and work[i] >> column & 1:
                work[i] ^= work[column]
                inverse[i] ^= inverse[column]
    return tuple(inverse)


def product(left: Sequence[int], right: Sequence[int]) -> Matrix:
    """The product of two matrices of row ints: row j of left.right is the XOR of the rows k of
    ``right`` where row j of ``left`` has bit k."""
    out = []
    for row in left:
        value = 0
        for k, other in enumerate(right):
            if row >> k & 1:
                value ^= other
        out.append(value)
    return tuple(out)


def read_maps(kind: str, f: Words, g: Words, n: int, m: int, rows: list[int], c: int) -> tuple[Any, ...]:
    """The maps of ``kind`` read from L (rows) and c, checked on every input."""
    low = (1 << n) - 1
    xs = np.arange(1 << n, dtype=np.uint64)
    points = xs | f.astype(np.uint64) << np.uint64(n)
    image = apply_all(rows, points) ^ np.uint64(c)
    order = np.argsort(image & np.uint64(low))
    if not (np.array_equal(image[order] & np.uint64(low), xs) and np.array_equal(image[order] >> np.uint64(n), g)):
        raise AssertionError("the native search returned a map that does not take one graph to the other")
    if kind == "ccz":
        return tuple(rows), c
    p, q, r = [row & low for row in rows[:n]], [row & low for row in rows[n:]], [row >> n for row in rows[n:]]
    a_matrix = inverse_rows(p)
    a = apply_matrix(a_matrix, c & low)
    c_matrix = product(q, a_matrix)
    b = apply_matrix(q, a) ^ (c >> n)
    mapped = apply_all(r, f[apply_all(a_matrix, xs) ^ np.uint64(a)].astype(np.uint64))
    mapped ^= apply_all(c_matrix, xs) ^ np.uint64(b)
    if not np.array_equal(mapped, g) or (kind != "ea" and any(c_matrix)) or (kind == "linear" and a | b):
        raise AssertionError("the maps read from the native search do not give g")
    if kind == "ea":
        return a_matrix, a, tuple(r), b, c_matrix
    if kind == "affine":
        return a_matrix, a, tuple(r), b
    return a_matrix, tuple(r)


#: Seconds of EA search between f^-1 and g before the CCZ search proper.
INVERSE_TRY = 2.0


def inverse_table(f: Words) -> Words:
    """The table of the inverse of the permutation f."""
    inverse = np.empty_like(f)
    inverse[f] = np.arange(len(f), dtype=f.dtype)
    return inverse


def through_inverse(
    f: Words, inverse: Words, g: Words, n: int, seconds: float, report: Any = None
) -> tuple[Any, ...] | None:
    """A CCZ map from the permutation f to g through f's inverse (``inverse_table``), or None when a
    short search finds none.

    Swapping the halves of every point, (x, y) -> (y, x), takes the graph of f onto that of f^-1, so
    f is CCZ-equivalent to every function EA-equivalent to f^-1; the EA search keeps more structure
    than the CCZ one and often settles quickly what the CCZ search would take long over (a
    permutation of few Walsh values against its inverse, above all). A None decides nothing.
    """
    rows: list[int] | None = [1 << i for i in range(2 * n)]  # the identity, when g is the inverse itself
    c: int | None = 0
    if not np.array_equal(inverse, g):
        _, rows, c = _native.sbox_equivalence(KINDS["ea"], inverse, n, g, seconds, progress=report)
    if rows is None or c is None:
        return None
    low = (1 << n) - 1
    # L o swap: bit i of L(swap p) is the parity of row_i & swap(p), that is of swap(row_i) & p.
    swapped = [(row & low) << n | row >> n for row in rows]
    return read_maps("ccz", f, g, n, n, swapped, c)


def is_permutation(table: Words) -> bool:
    return bool(np.array_equal(np.sort(table), np.arange(len(table), dtype=table.dtype)))
