"""The smallest circuit of one small table whose output is ready by a given level, the inputs arriving late.

A window of a circuit reads its leaves at the levels they are computed at; rewriting it for depth
asks for a circuit of at most s gates whose output comes at most D gates after the start, when
leaf j is only ready at level ``arrival[j]``. The CNF is the usual one of exact synthesis (a value
per gate and input row, a choice of two earlier nodes per gate, the gate's op as three bits, the
gates kept 0 on the all-zero row so inverters stay free) with a level per gate in unary:
``level[i][d]`` says gate i comes at level d or later, and reading a node forces the reader a
level past it.
"""

from __future__ import annotations

import itertools
import time
from collections.abc import Sequence

from ..circuit_parts import Gate, Output
from . import solving

#: The choice and op variables of each gate, all a model is read back by.
_Decoding = tuple[list[dict[tuple[int, int], int]], list[dict[tuple[int, int], int]]]


def essential(table: int, k: int) -> list[int]:
    """The variables a table of 2**k bits depends on."""
    found = []
    for j in range(k):
        shifted = 0
        for x in range(1 << k):
            if table >> (x ^ (1 << j)) & 1:
                shifted |= 1 << x
        if shifted != table:
            found.append(j)
    return found


def trivial(table: int, k: int) -> tuple[list[Gate], Output] | None:
    """No gates for a constant or a variable or its complement."""
    mask = (1 << (1 << k)) - 1
    if table in (0, mask):
        return [], (None, table == mask)
    for j in range(k):
        var = sum(1 << x for x in range(1 << k) if x >> j & 1)
        if table in (var, var ^ mask):
            return [], (j, table != var)
    return None


class _Vars:
    def __init__(self) -> None:
        self.top = 0

    def new(self) -> int:
        self.top += 1
        return self.top


def _encode(
    table: int, k: int, arrival: Sequence[int], size: int, bound: int, and_only: bool
) -> tuple[list[list[int]], _Decoding, bool]:
    """The clauses, the decoding variables and the output's complement."""
    rows = 1 << k
    negate = bool(table & 1)
    target = table ^ ((1 << rows) - 1) if negate else table
    v = _Vars()
    value = [[0] + [v.new() for _ in range(1, rows)] for _ in range(size)]
    choice: list[dict[tuple[int, int], int]] = []
    op = [{pq: v.new() for pq in ((1, 0), (0, 1), (1, 1))} for _ in range(size)]
    level = [[0] + [v.new() for _ in range(bound + 1)] for _ in range(size)]
    clauses: list[list[int]] = []

    def node_value(node: int, row: int) -> tuple[int | None, int]:
        """(a literal, or None with the node's constant value) of node at row."""
        if node < k:
            return None, row >> node & 1
        return value[node - k][row], 0

    for i in range(size):
        pairs = {pair: v.new() for pair in itertools.combinations(range(k + i), 2)}
        choice.append(pairs)
        clauses.append(list(pairs.values()))
        f = op[i]
        clauses += [[f[1, 0], f[0, 1], f[1, 1]], [f[1, 0], -f[0, 1], -f[1, 1]], [-f[1, 0], f[0, 1], -f[1, 1]]]
        if and_only:
            clauses.append([-f[1, 0], -f[0, 1], f[1, 1]])
        clauses.append([level[i][1]])
        clauses.append([-level[i][bound + 1]])
        clauses += [[-level[i][d + 1], level[i][d]] for d in range(1, bound + 1)]
        for (j, m), s in pairs.items():
            for operand in (j, m):
                if operand < k:
                    ready = arrival[operand] + 1
                    clauses.append([-s] if ready > bound else [-s, level[i][ready]])
                else:
                    g = operand - k
                    clauses += [[-s, -level[g][d], level[i][d + 1]] for d in range(1, bound + 1)]
            for row in range(1, rows):
                x = value[i][row]
                for p, q in itertools.product((0, 1), repeat=2):
                    lits = [-s]
                    feasible = True
                    for node, want in ((j, p), (m, q)):
                        lit, constant = node_value(node, row)
                        if lit is None:
                            feasible = feasible and constant == want
                        else:
                            lits.append(lit if want == 0 else -lit)
                    if not feasible:
                        continue
                    if (p, q) == (0, 0):
                        clauses.append([*lits, -x])
                    else:
                        clauses += [[*lits, -x, f[p, q]], [*lits, x, -f[p, q]]]
    for i in range(size - 1):
        clauses.append([s for later in choice[i + 1 :] for pair, s in later.items() if k + i in pair])
    last = value[size - 1]
    clauses += [[last[row] if target >> row & 1 else -last[row]] for row in range(1, rows)]
    return clauses, (choice, op), negate


def _decode(model: list[int], k: int, found: _Decoding, negate: bool) -> tuple[list[Gate], Output]:
    true = {lit for lit in model if lit > 0}
    choice, op = found
    gates: list[Gate] = []
    for pairs, f in zip(choice, op, strict=True):
        j, m = next(pair for pair, s in pairs.items() if s in true)
        bits = (f[1, 0] in true) << 1 | (f[0, 1] in true) << 2 | (f[1, 1] in true) << 3
        gates.append((bits, j, m))
    return gates, (k + len(gates) - 1, negate)


def within_depth(
    table: int,
    k: int,
    arrival: Sequence[int],
    bound: int,
    most: int,
    and_only: bool,
    deadline: float | None,
) -> tuple[list[Gate], Output] | None:
    """A smallest circuit of at most ``most`` gates over inputs arriving at ``arrival`` whose output
    comes by level ``bound``; None when there is none or the deadline passed first."""
    easy = trivial(table, k)
    if easy is not None:
        return easy
    lower = max(1, len(essential(table, k)) - 1)
    for size in range(lower, most + 1):
        if deadline is not None and time.monotonic() >= deadline:
            return None
        clauses, found, negate = _encode(table, k, arrival, size, bound, and_only)
        answer, model = solving.solve(clauses, deadline)
        if answer:
            return _decode(model, k, found, negate)
        if answer is None:
            return None
    return None
