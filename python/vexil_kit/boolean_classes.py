"""Affine equivalence classes of Boolean functions of n <= 4 variables: canonical forms, labels, the list.

Two functions f, g of n variables are affine equivalent when g(x) = f(A.x ^ a) ^ l(x) for an invertible
n x n matrix A over GF(2), a constant a and an affine function l (the classes of the cosets of the
first-order Reed-Muller code under the affine group). The canonical form is the least table, in
lexicographic order of the entries g(0), g(1), ..., over the class: the core searches A point by point
and fixes l greedily (it makes g(0) and g at each unit vector 0), and counts the (A, l) that fix f, so
a class's size is |AGL(n)| * 2**(n + 1) over that count. Classes are labelled ``B{n}.{k}`` for the
k-th in increasing order of the canonical table. There are 1, 1, 2, 3 and 8 classes for n = 0 to 4
(the tests recount them from the orbits, by brute force); the list is computed on first use (a few
seconds for n = 4) and kept. Five variables (48 classes, Berlekamp and Welch 1972) are refused: the
search enumerates every A that fixes the least table, which for functions with many symmetries (a
single point, of stabiliser |GL(5)|) takes minutes.

>>> [c.label for c in boolean_classes(3)], [c.size for c in boolean_classes(3)]
(['B3.0', 'B3.1', 'B3.2'], [16, 128, 112])
"""

from __future__ import annotations

import bisect
from collections.abc import Sequence
from typing import Any

import numpy as np

from . import _native
from .sbox_classes import AffineClass, affine_group_order

__all__ = ["MAX_BOOLEAN_CLASS_VARS", "boolean_class", "boolean_classes"]

#: Functions of at most this many variables have their classes computed.
MAX_BOOLEAN_CLASS_VARS = 4


def _vars(n: Any) -> int:
    if isinstance(n, bool) or not isinstance(n, int) or not 0 <= n <= MAX_BOOLEAN_CLASS_VARS:
        raise ValueError(f"affine classes of functions are computed for 0 <= n <= {MAX_BOOLEAN_CLASS_VARS}, not {n!r}")
    return n


#: The classes listed so far, by n (a plain dict: a cached function would hide its signature).
_LISTED: dict[int, tuple[AffineClass[tuple[bool, ...]], ...]] = {}


def _classes(n: int) -> tuple[AffineClass[tuple[bool, ...]], ...]:
    if n not in _LISTED:
        group = affine_group_order(n) << (n + 1)
        _LISTED[n] = tuple(
            AffineClass(tuple(bool(v) for v in table), group // stabilizer, f"B{n}.{k}")
            for k, (table, stabilizer) in enumerate(_native.affine_classes("boolean", n))
        )
    return _LISTED[n]


def boolean_classes(n: int) -> list[AffineClass[tuple[bool, ...]]]:
    """Every affine class of functions of n <= 4 variables, in increasing order of the canonical table
    (a tuple of bools), with its size (the sizes add up to 2**2**n) and label.

    >>> [len(boolean_classes(n)) for n in range(5)]
    [1, 1, 2, 3, 8]
    """
    return list(_classes(_vars(n)))


def boolean_class(table: Sequence[bool] | Any) -> AffineClass[tuple[bool, ...]]:
    """The affine class of the truth table ``table`` (2**n bools, n <= 4).

    >>> boolean_class([False, False, False, True]).label     # x0 x1
    'B2.1'
    """
    values = np.asarray(table)
    size = values.shape[0] if values.ndim == 1 else 0
    if size == 0 or size & (size - 1) or values.dtype.kind not in "biu" or not np.isin(values, (0, 1)).all():
        raise ValueError("the table must be 2**n entries 0 or 1")
    n = _vars(size.bit_length() - 1)
    canonical, _ = _native.affine_canonical("boolean", np.ascontiguousarray(values, dtype=np.uint32))
    classes = _classes(n)
    key = tuple(bool(v) for v in canonical)
    return classes[bisect.bisect_left([c.representative for c in classes], key)]
