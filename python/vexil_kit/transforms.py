"""Transforms of a truth table and constructions of new tables from old: the dual, shifts, the
concatenation, the direct sum, composition (of one variable and of every variable by blocks),
projection onto the variables a function depends on, and the Maiorana–McFarland bent functions.

Each works on the table reshaped to one axis of length 2 per variable, as ``variables`` does
(variable v is axis n - 1 - v of the C-ordered view), in whole-array NumPy operations, and checks
the memory of its result before it allocates. ``BooleanFunction``'s methods of the same names wrap
them.

>>> dual(np.array([0, 0, 0, 1], dtype=bool)).tolist()        # the dual of AND is OR
[False, True, True, True]
>>> direct_sum(np.array([0, 1], dtype=bool), np.array([0, 0, 0, 1], dtype=bool)).astype(int).tolist()
[0, 1, 0, 1, 0, 1, 1, 0]
"""

from __future__ import annotations

from collections.abc import Iterable
from typing import Any

import numpy as np

from . import _arguments, _native, _tabulate
from ._arguments import Table
from .variables import as_cube, flipped


def _result_vars(n: int) -> int:
    """n, refused with ValueError beyond the largest number of variables of a function."""
    if n > _arguments.MAX_VARS:
        raise ValueError(f"the result would have {n} variables (at most {_arguments.MAX_VARS})")
    _tabulate.reserve(2 << n)  # the result and its frozen copy
    return n


def dual(table: Table) -> Table:
    """x -> NOT f(x XOR 1...1): the table reversed and complemented."""
    _tabulate.reserve(2 * len(table))
    return ~table[::-1]


def shift(table: Table, s: int) -> Table:
    """x -> f(x XOR s) for a mask s in [0, 2**n)."""
    s = _arguments.integer(s, "s")
    if not 0 <= s < len(table):
        raise ValueError(f"shift {s} is outside [0, {len(table)})")
    _tabulate.reserve(2 * len(table))
    return flipped(table, s) if s else table.copy()


def concatenate(table: Table, other: Table) -> Table:
    """The function of n + 1 variables that is f where x_n = 0 and g where x_n = 1."""
    if len(other) != len(table):
        raise ValueError(
            f"both functions need the same number of variables, not {_arguments.log2(len(table))} "
            f"and {_arguments.log2(len(other))}"
        )
    _result_vars(_arguments.log2(len(table)) + 1)
    return np.concatenate([table, other])


def direct_sum(table: Table, other: Table) -> Table:
    """(x, y) -> f(x) XOR g(y): x the variables 0..n-1, y the variables n..n+m-1."""
    _result_vars(_arguments.log2(len(table)) + _arguments.log2(len(other)))
    # Row y, column x: entry x + 2**n y.
    return np.bitwise_xor.outer(other, table).reshape(-1)


def compose(table: Table, other: Table, i: int) -> Table:
    """f with g (of its own m variables) in place of variable i.

    The result has n - 1 + m variables: f's variables below i keep their numbers, g's variables
    become i..i+m-1, and f's variables above i move up to i+m..n+m-2.
    """
    n, m = _arguments.log2(len(table)), _arguments.log2(len(other))
    i = _arguments.integer(i, "i")
    if not 0 <= i < n:
        raise ValueError(f"variable {i} is outside [0, {n})")
    _result_vars(n - 1 + m)
    # f as (variables above i, variable i, variables below i), g's values picking the middle.
    blocks = table.reshape(1 << (n - 1 - i), 2, 1 << i)
    return blocks[:, other.astype(np.intp), :].reshape(-1)


def block_compose(table: Table, other: Table) -> Table:
    """f(g(y_0), ..., g(y_{n-1})) with y_v the variables v*m..v*m+m-1 (m the variables of g)."""
    n, m = _arguments.log2(len(table)), _arguments.log2(len(other))
    _result_vars(n * m)
    result = table
    # After block v is in, f's variable v + 1 sits at (v + 1) * m.
    for v in range(n):
        result = compose(result, other, v * m)
    return np.array(result, dtype=np.bool_)


def project(table: Table, vars: Iterable[Any]) -> Table:
    """The function of the listed variables (variable k of the result is vars[k]), which must
    include every variable f depends on; the others are fixed at 0, which changes nothing."""
    n = _arguments.log2(len(table))
    chosen = _arguments.integers(vars, "vars", "a variable")
    for v in chosen:
        if not 0 <= v < n:
            raise ValueError(f"variable {v} is outside [0, {n})")
    if len(set(chosen)) != len(chosen):
        raise ValueError(f"variables must be distinct, got {chosen}")
    mask = _native.essential_variables(table)
    missing = [v for v in range(n) if mask >> v & 1 and v not in chosen]
    if missing:
        raise ValueError(
            f"f depends on variable{'s' if len(missing) > 1 else ''} "
            f"{', '.join(map(str, missing))}, which {'are' if len(missing) > 1 else 'is'} not listed"
        )
    index: list[slice | int] = [0] * n
    for v in chosen:
        index[n - 1 - v] = slice(None)
    # The kept axes in decreasing variable order; variable k of the result is chosen[k].
    kept = as_cube(table)[tuple(index)] if n else table.reshape(())
    ranks = sorted(chosen, reverse=True)
    axes = [ranks.index(chosen[len(chosen) - 1 - a]) for a in range(len(chosen))]
    _tabulate.reserve(2 << len(chosen))
    return np.ascontiguousarray(np.transpose(kept, axes)).reshape(-1)


def maiorana_mcfarland(pi: Iterable[Any], h: Table) -> Table:
    """f(x, y) = x . pi(y) XOR h(y), x the variables 0..k-1 and y the variables k..2k-1.

    ``pi`` lists pi(y) for y = 0..2**k-1 as ints, a permutation of range(2**k); ``h`` is a table of
    k variables. Every such f is bent.
    """
    images = _arguments.integers(pi, "pi", "an image of pi")
    size = len(images)
    if size != len(h):
        raise ValueError(f"pi has {size} images and h {len(h)} entries: both need 2**k")
    if sorted(images) != list(range(size)):
        raise ValueError(f"pi is not a permutation of range({size})")
    k = _arguments.log2(size)
    _result_vars(2 * k)
    _tabulate.reserve(9 << (2 * k))  # the int64 products
    x = np.arange(size, dtype=np.int64)
    dots = _tabulate.ones(np.asarray(images, dtype=np.int64)[:, None] & x[None, :], k) & 1
    # Row y, column x: entry x + 2**k y.
    return ((dots != 0) ^ np.asarray(h, dtype=np.bool_)[:, None]).reshape(-1)
