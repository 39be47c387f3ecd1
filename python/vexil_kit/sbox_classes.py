"""Affine equivalence classes of permutations of n <= 4 bits: canonical forms, labels and the list of classes.

Two permutations S, T of n bits are affine equivalent when T = B.S.A for affine permutations A and B
(A(x) = L.x ^ a with L invertible over GF(2)). The canonical form of S is the least table, in
lexicographic order of its entries T(0), T(1), ..., over its whole class; the core searches it over A
point by point (the image of 0, then of each unit vector) with the best B for each partial A fixed
greedily, and counts the pairs (A, B) that fix S, so a class's size is |AGL(n)|**2 over that count.

The classes of n bits are listed in increasing order of their canonical tables, and a class's label
is ``P{n}.{k}`` for the k-th of them (from 0): the order is that of the tables alone, so a label
never depends on how the classes were found. ``permutation_classes(n)`` computes them from scratch
for n <= 3 (1, 1, 1, 4 classes for n = 0 to 3); for n = 4 it reads the 302 canonical tables that
``tools/affine_classes/generate.py`` wrote into ``affine_classes4.txt`` (computed from scratch by the
same core in about half a minute, ``permutation_classes(4, compute=True)``; a test compares both).
The 16 classes of 4-bit permutations with differential uniformity 4 and linearity 8 (the optimal
ones) carry the names G0 to G15 of Leander and Poschmann (WAIFI 2007): a class is named Gi when its
canonical form is that of the representative Gi the paper gives.

>>> classes = permutation_classes(3)
>>> [c.label for c in classes], sum(c.size for c in classes)
(['P3.0', 'P3.1', 'P3.2', 'P3.3'], 40320)
>>> permutation_class((1, 0, 3, 2, 5, 4, 7, 6), 3).label    # x ^ 1 is affine
'P3.0'
"""

from __future__ import annotations

import bisect
import math
import pathlib
from collections.abc import Sequence
from dataclasses import dataclass
from typing import Any, Generic, TypeVar

import numpy as np

from . import _native

__all__ = [
    "LEANDER_POSCHMANN",
    "AffineClass",
    "affine_group_order",
    "permutation_class",
    "permutation_classes",
]

#: Permutations of at most this many bits have their classes computed.
MAX_PERMUTATION_BITS = 4
#: The canonical tables of the 302 classes of 4-bit permutations, one a line (tools/affine_classes/generate.py).
TABLE = pathlib.Path(__file__).with_name("affine_classes4.txt")

T = TypeVar("T")
U = TypeVar("U")


@dataclass(frozen=True)
class AffineClass(Generic[T]):
    """An affine equivalence class: its canonical ``representative`` (the least table), its ``size`` (the
    number of tables in it), its ``label`` and, for the optimal 4-bit permutations, the ``name`` (G0 to
    G15) of Leander and Poschmann."""

    representative: T
    size: int
    label: str
    name: str | None = None

    def holding(self, representative: U) -> AffineClass[U]:
        """The same class with its representative given as another value (a table as a value class)."""
        return AffineClass(representative, self.size, self.label, self.name)


#: The representatives G0 to G15 of the optimal classes of 4-bit permutations as Leander and Poschmann
#: give them ("On the classification of 4 bit S-boxes", WAIFI 2007, LNCS 4547, pp. 159-176).
LEANDER_POSCHMANN: dict[str, tuple[int, ...]] = {
    f"G{k}": (0, 1, 2, 13, 4, 7, 15, 6, 8, *rest)
    for k, rest in enumerate(
        (
            (11, 12, 9, 3, 14, 10, 5),
            (11, 14, 3, 5, 9, 10, 12),
            (11, 14, 3, 10, 12, 5, 9),
            (12, 5, 3, 10, 14, 11, 9),
            (12, 9, 11, 10, 14, 5, 3),
            (12, 11, 9, 10, 14, 3, 5),
            (12, 11, 9, 10, 14, 5, 3),
            (12, 14, 11, 10, 9, 3, 5),
            (14, 9, 5, 10, 11, 3, 12),
            (14, 11, 3, 5, 9, 10, 12),
            (14, 11, 5, 10, 9, 3, 12),
            (14, 11, 10, 5, 9, 12, 3),
            (14, 11, 10, 9, 3, 12, 5),
            (14, 12, 9, 5, 11, 10, 3),
            (14, 12, 11, 3, 9, 5, 10),
            (14, 12, 11, 9, 3, 10, 5),
        )
    )
}


def affine_group_order(n: int) -> int:
    """|AGL(n, 2)|: the 2**n translations times the invertible n x n matrices over GF(2).

    >>> [affine_group_order(n) for n in range(5)]
    [1, 2, 24, 1344, 322560]
    """
    return (1 << n) * math.prod((1 << n) - (1 << i) for i in range(n))


def _bits(n: Any) -> int:
    if isinstance(n, bool) or not isinstance(n, int) or not 0 <= n <= MAX_PERMUTATION_BITS:
        raise ValueError(f"affine classes of permutations are computed for 0 <= n <= {MAX_PERMUTATION_BITS}, not {n!r}")
    return n


def _words(table: Sequence[int] | Any, n: int) -> np.ndarray[Any, np.dtype[np.uint32]]:
    values = np.asarray(table)
    if values.shape != (1 << n,) or values.dtype.kind not in "iu" or sorted(values.tolist()) != list(range(1 << n)):
        raise ValueError(f"the table must be a permutation of the {1 << n} values of {n} bits")
    return np.ascontiguousarray(values, dtype=np.uint32)


def _read_table() -> list[tuple[tuple[int, ...], int]]:
    rows = []
    for line in TABLE.read_text().splitlines():
        if line and not line.startswith("#"):
            word, stabilizer = line.split()
            rows.append((tuple(int(digit, 16) for digit in word), int(stabilizer)))
    return rows


def _computed(n: int) -> list[tuple[tuple[int, ...], int]]:
    return [(tuple(table), stabilizer) for table, stabilizer in _native.affine_classes("permutation", n)]


#: The classes listed so far, by (n, computed) (a plain dict: a cached function would hide its signature).
_LISTED: dict[tuple[int, bool], tuple[AffineClass[tuple[int, ...]], ...]] = {}


def _classes(n: int, compute: bool) -> tuple[AffineClass[tuple[int, ...]], ...]:
    if (n, compute) in _LISTED:
        return _LISTED[n, compute]
    rows = _computed(n) if compute or n < MAX_PERMUTATION_BITS else _read_table()
    group = affine_group_order(n) ** 2
    names: dict[tuple[int, ...], str] = {}
    if n == 4:
        for name, table in LEANDER_POSCHMANN.items():
            names[tuple(_native.affine_canonical("permutation", _words(table, 4))[0])] = name
    _LISTED[n, compute] = tuple(
        AffineClass(table, group // stabilizer, f"P{n}.{k}", names.get(table))
        for k, (table, stabilizer) in enumerate(rows)
    )
    return _LISTED[n, compute]


def permutation_classes(n: int, compute: bool = False) -> list[AffineClass[tuple[int, ...]]]:
    """Every affine class of permutations of n <= 4 bits, in increasing order of the canonical table, with
    its size (the sizes add up to (2**n)!) and label. ``compute`` recomputes the 302 classes of n = 4 from
    scratch instead of reading them (about half a minute); n <= 3 are always computed (milliseconds).

    >>> [len(permutation_classes(n)) for n in range(5)]
    [1, 1, 1, 4, 302]
    >>> sum(c.size for c in permutation_classes(4)) == math.factorial(16)
    True
    >>> sorted(c.name for c in permutation_classes(4) if c.name)[:3]
    ['G0', 'G1', 'G10']
    """
    return list(_classes(_bits(n), bool(compute)))


def permutation_class(table: Sequence[int] | Any, n: int) -> AffineClass[tuple[int, ...]]:
    """The affine class of the permutation ``table`` of n <= 4 bits: its canonical form (the least table
    B.S.A over affine permutations A, B), size, label and Leander-Poschmann name where it has one.

    >>> present = (12, 5, 6, 11, 9, 0, 10, 13, 3, 14, 15, 8, 4, 7, 1, 2)
    >>> c = permutation_class(present, 4)
    >>> c.label, c.name, c.size
    ('P4.289', 'G1', 26011238400)
    """
    n = _bits(n)
    canonical, _ = _native.affine_canonical("permutation", _words(table, n))
    classes = _classes(n, False)
    key = tuple(canonical)
    k = bisect.bisect_left([c.representative for c in classes], key)
    if k == len(classes) or classes[k].representative != key:  # pragma: no cover - a stale data file
        raise RuntimeError(
            f"{TABLE.name} lacks the class of {key}; regenerate it with tools/affine_classes/generate.py"
        )
    return classes[k]
