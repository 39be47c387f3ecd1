"""Whether two circuits over the same inputs compute the same outputs.

Up to ``SIMULATED`` inputs both are simulated on every input row, 64 rows a machine word and a
block of words at a time (so the memory held is a few blocks per node, whatever n); beyond, a
miter (the outputs' exclusive ors, one of them asked to be 1) goes to CaDiCaL, and no model
proves the two equal.
"""

from __future__ import annotations

from collections.abc import Sequence

import numpy as np
import numpy.typing as npt

from ..circuit_parts import Gate, Output
from . import solving

#: The most inputs checked by simulation; the SAT miter beyond.
SIMULATED = 24

#: Words of 64 rows simulated at once.
_BLOCK = 1 << 12

_LOW = tuple(sum(1 << x for x in range(64) if x >> v & 1) for v in range(6))

Words = npt.NDArray[np.uint64]


def _values(n: int, gates: Sequence[Gate], outputs: Sequence[Output], first: int, count: int) -> list[Words]:
    """The outputs' words over the rows 64 * first .. 64 * (first + count) - 1."""
    index = np.arange(first, first + count, dtype=np.uint64)
    values: list[Words] = []
    for v in range(n):
        if v < 6:
            values.append(np.full(count, _LOW[v], dtype=np.uint64))
        else:
            values.append(np.uint64(0) - (index >> np.uint64(v - 6) & np.uint64(1)))
    ones = np.full(count, ~np.uint64(0), dtype=np.uint64)
    for op, a, b in gates:
        x, y = values[a], values[b]
        word = np.zeros(count, dtype=np.uint64)
        for row in range(4):
            if op >> row & 1:
                word |= (x if row & 1 else ~x) & (y if row & 2 else ~y)
        values.append(word)
    result = []
    for node, negated in outputs:
        word = np.zeros(count, dtype=np.uint64) if node is None else values[node]
        result.append(word ^ ones if negated else word)
    return result


def simulate_equal(
    n: int, first: tuple[Sequence[Gate], Sequence[Output]], second: tuple[Sequence[Gate], Sequence[Output]]
) -> bool:
    """Equality on every row, by simulation (n at most ``SIMULATED``)."""
    rows = 1 << n
    words = max(1, rows >> 6)
    valid = np.uint64((1 << rows) - 1) if rows < 64 else ~np.uint64(0)
    for start in range(0, words, _BLOCK):
        count = min(_BLOCK, words - start)
        left = _values(n, *first, start, count)
        right = _values(n, *second, start, count)
        if any(np.any((u ^ v) & valid) for u, v in zip(left, right, strict=True)):
            return False
    return True


def _clauses(n: int, gates: Sequence[Gate], first_var: int) -> tuple[list[list[int]], list[int]]:
    """Tseitin clauses of the gates, inputs being variables 1 .. n; the variable of each node."""
    var = list(range(1, n + 1))
    clauses = []
    for i, (op, a, b) in enumerate(gates):
        g = first_var + i
        for row in range(4):
            x = var[a] if row & 1 else -var[a]
            y = var[b] if row & 2 else -var[b]
            clauses.append([-x, -y, g if op >> row & 1 else -g])
        var.append(g)
    return clauses, var


def miter_equal(
    n: int, first: tuple[Sequence[Gate], Sequence[Output]], second: tuple[Sequence[Gate], Sequence[Output]]
) -> bool:
    """Equality on every row, by CaDiCaL on the miter of the two circuits."""
    left, left_var = _clauses(n, first[0], n + 1)
    right, right_var = _clauses(n, second[0], n + 1 + len(first[0]))
    clauses = left + right
    top = n + len(first[0]) + len(second[0])
    false = top + 1
    clauses.append([-false])
    differences = []
    for (p, pn), (q, qn) in zip(first[1], second[1], strict=True):
        u = false if p is None else left_var[p]
        v = false if q is None else right_var[q]
        if pn:
            u = -u
        if qn:
            v = -v
        top = max(top, false) + 1
        d = top
        clauses += [[-d, u, v], [-d, -u, -v]]
        differences.append(d)
    clauses.append(differences)
    answer, _ = solving.solve(clauses, None)
    return answer is False


def equal(
    n: int, first: tuple[Sequence[Gate], Sequence[Output]], second: tuple[Sequence[Gate], Sequence[Output]]
) -> str | None:
    """How the two were proven equal ("simulation" or "SAT"), or None when they differ."""
    if len(first[1]) != len(second[1]):
        return None
    if n <= SIMULATED:
        return "simulation" if simulate_equal(n, first, second) else None
    return "SAT" if miter_equal(n, first, second) else None
