"""Factored forms of a table's irredundant sum of products, for AND-inverter graphs.

A cube is a frozenset of literals ``2 * v + negative``; a cover is a list of cubes. ``factor``
writes a cover as an expression of ANDs and ORs of literals by algebraic division (the
generalised factoring of logic synthesis): the cube common to all cubes is taken out; otherwise
the cover is divided by one of its level-0 kernels (the quotient by a literal, then by the most
frequent literal of that quotient, ..., made cube-free at each step until no literal repeats),
the quotient made cube-free and the cover divided by it in turn, and the three parts (divisor,
quotient, remainder) factored recursively. ``covers`` gives the irredundant covers of a table
and of its complement (the core's Minato-Morreale), ``expression_ands`` the AND count of an
expression, whose leaves count once each.

An expression is ``("lit", literal)``, ``("and", parts)``, ``("or", parts)`` or ``("const",
value)``; its AND gates are one fewer than the parts of each AND or OR (an OR is an AND of
complements).
"""

from __future__ import annotations

from collections.abc import Sequence
from typing import Any

import numpy as np
import numpy.typing as npt

from .. import _native

Cube = frozenset[int]
Expr = tuple[str, Any]  # ("lit", int), ("const", bool), ("and" or "or", list[Expr])

TRUE: Expr = ("const", True)
FALSE: Expr = ("const", False)


def table_bits(table: int, k: int) -> npt.NDArray[np.bool_]:
    """The 2**k bits of an int table as a bool array, row x at index x."""
    rows = 1 << k
    raw = np.frombuffer(table.to_bytes(max(1, rows // 8), "little"), dtype=np.uint8)
    return np.unpackbits(raw, bitorder="little")[:rows].astype(np.bool_)


def cover(table: int, k: int) -> list[Cube]:
    """An irredundant sum of products of an int table over k variables."""
    bits = table_bits(table, k)
    rows = _native.isop(bits, bits).tolist()
    return [frozenset(2 * v + (not values >> v & 1) for v in range(k) if mask >> v & 1) for mask, values in rows]


def _literal_counts(cubes: Sequence[Cube]) -> dict[int, int]:
    counts: dict[int, int] = {}
    for cube in cubes:
        for literal in cube:
            counts[literal] = counts.get(literal, 0) + 1
    return counts


def _common(cubes: Sequence[Cube]) -> Cube:
    common = cubes[0]
    for cube in cubes[1:]:
        common = common & cube
    return common


def _cube_free(cubes: list[Cube]) -> list[Cube]:
    common = _common(cubes)
    return [cube - common for cube in cubes] if common else cubes


def divide(cubes: Sequence[Cube], divisor: Sequence[Cube]) -> tuple[list[Cube], list[Cube]]:
    """Weak (algebraic) division: the quotient q and remainder r with cubes = q * divisor + r."""
    quotient: set[Cube] | None = None
    for d in divisor:
        part = {cube - d for cube in cubes if d <= cube}
        quotient = part if quotient is None else quotient & part
        if not quotient:
            return [], list(cubes)
    assert quotient is not None
    product = {q | d for q in quotient for d in divisor}
    return sorted(quotient, key=sorted), [cube for cube in cubes if cube not in product]


def _kernel(cubes: list[Cube]) -> list[Cube] | None:
    """A level-0 kernel of a cube-free cover, by repeated division by its most frequent literal."""
    found = None
    while True:
        counts = _literal_counts(cubes)
        repeated = [(count, -literal) for literal, count in counts.items() if count > 1]
        if not repeated:
            return found
        literal = -max(repeated)[1]
        cubes = _cube_free([cube - {literal} for cube in cubes if literal in cube])
        found = cubes


def factor(cubes: list[Cube]) -> Expr:
    """A factored form of the cover (see the module's text)."""
    if not cubes:
        return FALSE
    if any(not cube for cube in cubes):
        return TRUE
    if len(cubes) == 1:
        return _and([("lit", literal) for literal in sorted(cubes[0])])
    common = _common(cubes)
    if common:
        return _and([*(("lit", literal) for literal in sorted(common)), factor([cube - common for cube in cubes])])
    kernel = _kernel(cubes)
    if kernel is None:  # no literal in two cubes: a plain sum
        return _or([factor([cube]) for cube in cubes])
    quotient, remainder = divide(cubes, kernel)
    if len(quotient) > 1:
        free = _cube_free(quotient)
        divisor, rest = divide(cubes, free)
        if divisor:
            quotient, kernel, remainder = free, divisor, rest
    return _or([_and([factor(quotient), factor(kernel)]), factor(remainder)])


def _and(parts: list[Expr]) -> Expr:
    flat: list[Expr] = []
    for part in parts:
        if part == FALSE:
            return FALSE
        if part != TRUE:
            flat += part[1] if part[0] == "and" else [part]
    return TRUE if not flat else flat[0] if len(flat) == 1 else ("and", flat)


def _or(parts: list[Expr]) -> Expr:
    flat: list[Expr] = []
    for part in parts:
        if part == TRUE:
            return TRUE
        if part != FALSE:
            flat += part[1] if part[0] == "or" else [part]
    return FALSE if not flat else flat[0] if len(flat) == 1 else ("or", flat)


def expression_ands(expr: Expr) -> int:
    """The AND gates of the expression built as a tree."""
    if expr[0] in ("lit", "const"):
        return 0
    parts: list[Expr] = expr[1]
    return len(parts) - 1 + sum(expression_ands(part) for part in parts)


def forms(table: int, k: int) -> list[tuple[Expr, bool]]:
    """Factored forms of the table and of its complement, each with whether it is complemented."""
    full = (1 << (1 << k)) - 1
    return [(factor(cover(table ^ (full if negated else 0), k)), negated) for negated in (False, True)]
