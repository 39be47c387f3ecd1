"""Operations on the variables of a truth table: restriction, permutation, derivative, extension.

Each works on the table reshaped to one axis of length 2 per variable; in that C-ordered
view variable v is axis n - 1 - v. Each returns a new table; ``BooleanFunction``'s methods
of the same names wrap them.

>>> restrict(np.array([0, 1, 1, 1], dtype=bool), {0: 0}).tolist()   # x0 | x1 with x0 = 0
[False, True]
"""

from __future__ import annotations

from collections.abc import Iterable, Mapping
from typing import Any

import numpy as np

from . import _arguments, _tabulate
from ._arguments import Table


def as_cube(table: Table) -> Table:
    """The table as an n-dimensional 2 x ... x 2 array, axis n - 1 - v for variable v (a view)."""
    return table.reshape((2,) * _arguments.log2(len(table)))


def restrict(table: Table, assignment: Mapping[Any, Any]) -> Table:
    """Fix some variables: ``{var: value}`` -> the function of the remaining variables.

    The remaining variables keep their order and are renumbered 0, 1, ... from the lowest.
    Keys must be distinct variables in [0, n) and values bools or 0/1 (ValueError
    otherwise); an empty mapping returns an equal function, fixing all n gives n = 0.
    A sequence of ``(var, value)`` pairs is read the same way, and a variable given twice
    in it raises ValueError.

    >>> f = BooleanFunction.from_expression("x0 & x2 | x1")
    >>> f.restrict({1: 0}) == BooleanFunction.from_expression("x0 & x1")
    True
    >>> f.restrict({0: 1, 1: 0, 2: 1})[0]
    True
    """
    n = _arguments.log2(len(table))
    index: list[slice | int] = [slice(None)] * n
    # Pairs, not a dict: a variable given twice is refused instead of the last value winning.
    pairs = assignment.items() if isinstance(assignment, Mapping) else assignment
    fixed: set[int] = set()
    for var, value in pairs:
        v = _arguments.integer(var, "a variable")
        if not 0 <= v < n:
            raise ValueError(f"variable {v} is outside [0, {n})")
        if v in fixed:
            raise ValueError(f"variable {v} is assigned twice")
        fixed.add(v)
        index[n - 1 - v] = int(_arguments.bit(value, f"the value of variable {v}"))
    sub = as_cube(table)[tuple(index)]
    _tabulate.reserve(2 * sub.size)
    return np.array(sub, dtype=np.bool_).reshape(-1)


def permute(table: Table, perm: Iterable[Any]) -> Table:
    """Rename the variables: variable v of f becomes variable ``perm[v]`` of the result.

    ``perm`` must hold each of 0..n-1 exactly once (ValueError otherwise). So
    g = f.permute(p) satisfies g(y) = f(x) where bit p[v] of y equals bit v of x.

    >>> BooleanFunction.dictator(3, 0).permute([2, 0, 1]) == BooleanFunction.dictator(3, 2)
    True
    """
    n = _arguments.log2(len(table))
    chosen = _arguments.integers(perm, "perm", "a permutation entry")
    if sorted(chosen) != list(range(n)):
        raise ValueError(f"{chosen} is not a permutation of range({n})")
    inverse = [0] * n
    for v, w in enumerate(chosen):
        inverse[w] = v
    axes = [n - 1 - inverse[n - 1 - i] for i in range(n)]
    _tabulate.reserve(2 * len(table))  # the transposed copy and its frozen copy
    return np.transpose(as_cube(table), axes).reshape(-1)


def flipped(table: Table, mask: int) -> Table:
    """x -> f(x XOR mask), a view of ``table`` for mask 0 and a new array otherwise."""
    n = _arguments.log2(len(table))
    axes = tuple(n - 1 - v for v in range(n) if mask >> v & 1)
    return np.flip(as_cube(table), axes).reshape(-1) if axes else table


def derivative(table: Table, u: int) -> Table:
    """The derivative in direction u: the function x -> f(x) XOR f(x XOR u).

    ``u`` is a mask in [0, 2**n) (ValueError otherwise); u = 0 gives the constant false.

    >>> f = BooleanFunction.conjunction(2)
    >>> f.derivative(1) == BooleanFunction.dictator(2, 1)
    True
    """
    u = _arguments.integer(u, "u")
    if not 0 <= u < len(table):
        raise ValueError(f"direction {u} is outside [0, {len(table)})")
    _tabulate.reserve(3 * len(table))  # the flipped copy, the XOR and its frozen copy
    return table ^ flipped(table, u)


def extend(table: Table, m: int) -> Table:
    """The same function seen as one of m >= n variables; variables n..m-1 are ignored.

    ValueError when m < n.

    >>> BooleanFunction.dictator(1, 0).extend(2) == BooleanFunction.dictator(2, 0)
    True
    """
    n = _arguments.log2(len(table))
    m = _arguments.num_vars(m, "m")
    if m < n:
        raise ValueError(f"cannot extend a function of {n} variables to {m}")
    _tabulate.reserve(2 << m)  # the tiled table and its frozen copy
    return np.tile(table, 1 << (m - n))
