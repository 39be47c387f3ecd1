"""Affine equivalence classes of Boolean functions of n <= 5 variables: canonical forms, labels, the list.

Two functions f, g of n variables are affine equivalent when g(x) = f(A.x ^ a) ^ l(x) for an invertible
n x n matrix A over GF(2), a constant a and an affine function l (the classes of the cosets of the
first-order Reed-Muller code under the affine group). The canonical form is the least table, in
lexicographic order of the entries g(0), g(1), ..., over the class. Classes are labelled ``B{n}.{k}``
for the k-th in increasing order of the canonical table. There are 1, 1, 2, 3, 8 and 48 classes for
n = 0 to 5 (the tests recount them from the orbits, by brute force, for n <= 4).

For n <= 4 the core searches A point by point and fixes l greedily (it makes g(0) and g at each unit
vector 0), and counts the (A, l) that fix f, so a class's size is |AGL(n)| * 2**(n + 1) over that
count; the list is computed on first use (a few seconds for n = 4) and kept. That search enumerates
every A fixing the least table, which for a five-variable function with many symmetries takes minutes,
so five variables go another way. The core walks the orbits of the 2**26 cosets of RM(1, 5), each
held as its least member (the table with f(0) = f(e_i) = 0), under generators of AGL(5, 2), and
finds the 48 classes of Berlekamp and Welch (1972) with their sizes in seconds;
``tools/boolean_classes/generate.py`` wrote them into ``boolean_classes5.txt``, which is read here
(a test recomputes it). A function's class is then found by a key that affine maps keep
(``_native.boolean_affine_key``: the degree, the distribution of |Walsh| values, and over the
directions a the |autocorrelation| at a with the distribution of |Walsh| values of the derivative in
direction a); the tests check that the 48 classes have 48 different keys.

>>> [c.label for c in boolean_classes(3)], [c.size for c in boolean_classes(3)]
(['B3.0', 'B3.1', 'B3.2'], [16, 128, 112])
>>> boolean_class([(x & 1) & (x >> 1) & (x >> 2) & (x >> 3) & (x >> 4) for x in range(32)]).label
'B5.1'
"""

from __future__ import annotations

import bisect
import pathlib
from collections.abc import Sequence
from typing import Any

import numpy as np

from . import _native
from .sbox_classes import AffineClass, affine_group_order

__all__ = ["MAX_BOOLEAN_CLASS_VARS", "boolean_class", "boolean_classes"]

#: Functions of at most this many variables have their classes computed.
MAX_BOOLEAN_CLASS_VARS = 5
#: The canonical tables of the 48 classes of functions of 5 variables (tools/boolean_classes/generate.py).
TABLE5 = pathlib.Path(__file__).with_name("boolean_classes5.txt")


def _vars(n: Any) -> int:
    if isinstance(n, bool) or not isinstance(n, int) or not 0 <= n <= MAX_BOOLEAN_CLASS_VARS:
        raise ValueError(f"affine classes of functions are computed for 0 <= n <= {MAX_BOOLEAN_CLASS_VARS}, not {n!r}")
    return n


#: The classes listed so far, by n (a plain dict: a cached function would hide its signature).
_LISTED: dict[int, tuple[AffineClass[tuple[bool, ...]], ...]] = {}
#: The classes of five variables by their key.
_BY_KEY: dict[tuple[int, ...], AffineClass[tuple[bool, ...]]] = {}


def read_table5(path: pathlib.Path = TABLE5) -> list[tuple[tuple[bool, ...], int]]:
    """(canonical table, size) of each class of five variables as stored: a line a class, the 32 entries
    f(0) f(1) ... f(31) as a binary number in 8 hex digits, then the size."""
    rows = []
    for line in path.read_text().splitlines():
        if line and not line.startswith("#"):
            digits, size = line.split()
            bits = int(digits, 16)
            rows.append((tuple(bool((bits >> (31 - x)) & 1) for x in range(32)), int(size)))
    return rows


def _classes(n: int) -> tuple[AffineClass[tuple[bool, ...]], ...]:
    if n not in _LISTED:
        if n == 5:
            _LISTED[n] = tuple(AffineClass(table, size, f"B5.{k}") for k, (table, size) in enumerate(read_table5()))
        else:
            group = affine_group_order(n) << (n + 1)
            _LISTED[n] = tuple(
                AffineClass(tuple(bool(v) for v in table), group // stabilizer, f"B{n}.{k}")
                for k, (table, stabilizer) in enumerate(_native.affine_classes("boolean", n))
            )
    return _LISTED[n]


def _key(table: tuple[bool, ...] | np.ndarray) -> tuple[int, ...]:
    return tuple(_native.boolean_affine_key(np.asarray(table, dtype=np.uint32)))


def _class5(words: np.ndarray) -> AffineClass[tuple[bool, ...]]:
    if not _BY_KEY:
        for c in _classes(5):
            if _BY_KEY.setdefault(_key(c.representative), c) is not c:
                raise RuntimeError("two classes of five variables share a key")
    return _BY_KEY[_key(words)]


def boolean_classes(n: int) -> list[AffineClass[tuple[bool, ...]]]:
    """Every affine class of functions of n <= 5 variables, in increasing order of the canonical table
    (a tuple of bools), with its size (the sizes add up to 2**2**n) and label.

    >>> [len(boolean_classes(n)) for n in range(6)]
    [1, 1, 2, 3, 8, 48]
    """
    return list(_classes(_vars(n)))


def boolean_class(table: Sequence[bool] | Any) -> AffineClass[tuple[bool, ...]]:
    """The affine class of the truth table ``table`` (2**n bools, n <= 5).

    >>> boolean_class([False, False, False, True]).label     # x0 x1
    'B2.1'
    """
    values = np.asarray(table)
    size = values.shape[0] if values.ndim == 1 else 0
    if size == 0 or size & (size - 1) or values.dtype.kind not in "biu" or not np.isin(values, (0, 1)).all():
        raise ValueError("the table must be 2**n entries 0 or 1")
    n = _vars(size.bit_length() - 1)
    words = np.ascontiguousarray(values, dtype=np.uint32)
    if n == 5:
        return _class5(words)
    canonical, _ = _native.affine_canonical("boolean", words)
    classes = _classes(n)
    key = tuple(bool(v) for v in canonical)
    return classes[bisect.bisect_left([c.representative for c in classes], key)]
