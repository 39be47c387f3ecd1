"""A starting point for improvement when every output is a symmetric function of all the inputs.

Such an output depends only on how many inputs are 1 (majority, thresholds, "exactly k", counts
modulo m). Its circuit here counts the ones in binary with a tree of full and half adders (in an
AIG a full adder takes seven ANDs, its carry reusing the AND inside its XORs, and a half adder
three; with XOR gates, five and two), then reads the output from the count bits: a function of at
most five of them, whose rows above n are free (no count reaches them), completed so that the
proven or database optimum is smallest. Window rewriting rarely finds this from a chain of "at
least j so far" gates, where every window is already optimal.
"""

from __future__ import annotations

import time
from collections.abc import Sequence

import numpy as np

from .. import circuits
from ..circuit_parts import Gate, Output
from . import aig4
from .improve_graph import _Folder, rebuild
from .improve_resub import tables as node_tables

#: The most inputs taken (the tables are ints of 2**n bits).
MAX_INPUTS = 16

#: Completions of the free rows tried for the function of the count, beyond the plain three.
COMPLETIONS = 256


def _swapped(table: int, i: int, j: int, var: Sequence[int], mask: int) -> int:
    """The table with inputs i < j exchanged."""
    shift = (1 << j) - (1 << i)
    up = var[i] & ~var[j] & mask
    down = var[j] & ~var[i] & mask
    return (table & ~(up | down) & mask) | (table & up) << shift | (table & down) >> shift


def counts(n: int, table: int) -> list[int] | None:
    """The value of a symmetric table for each count of ones 0 .. n, or None if it is not symmetric."""
    var, mask = node_tables(n, []), (1 << (1 << n)) - 1
    if any(_swapped(table, v, v + 1, var, mask) != table for v in range(n - 1)):
        return None
    return [table >> ((1 << c) - 1) & 1 for c in range(n + 1)]


def _net(bits: list[bool], aig: bool) -> tuple[list[Gate], Output]:
    """A small AIG of a table over m <= 5 inputs: the proven optimum for four, the B2 one for five."""
    m = (len(bits) - 1).bit_length()
    padded = np.array(bits, dtype=np.bool_)
    if m == 4 and aig:
        found = aig4.lookup(padded)
        if found is not None:
            return found
    c = circuits.minimal_circuit(padded)
    gates, outputs = rebuild(m, c.gates, c.outputs, aig=aig)
    return gates, outputs[0]


def _completed(values: list[int], m: int, seed: int, aig: bool) -> tuple[list[Gate], Output]:
    """The smallest net found of a function of the m count bits, its rows past len(values) free."""
    rows = 1 << m
    free = rows - len(values)
    fills = [[0] * free, [1] * free, [values[-1]] * free]
    rng = np.random.default_rng(seed)
    tries = min(COMPLETIONS, (1 << free) - 3) if free < 30 else COMPLETIONS
    fills += [list(rng.integers(0, 2, free)) for _ in range(max(tries, 0))]
    best = None
    for fill in fills:
        net = _net([bool(x) for x in values + fill], aig)
        if best is None or len(net[0]) < len(best[0]):
            best = net
    assert best is not None
    return best


def _xor(folder: _Folder, a: Output, b: Output) -> tuple[Output, Output]:
    """a ^ b and a & b: for an AIG a ^ b is ~(a & b) & ~(~a & ~b), three ANDs with a & b inside."""
    both = folder.gate(8, a, b)
    if not folder.aig:
        return folder.gate(6, a, b), both
    return folder.gate(1, both, folder.gate(1, a, b)), both


def _count(folder: _Folder, literals: list[Output]) -> list[Output]:
    """The binary count of the literals, least significant bit first, by full and half adders."""
    columns: list[list[Output]] = [list(literals)]
    w = 0
    while w < len(columns):
        column = columns[w]
        while len(column) >= 2:
            if len(columns) == w + 1:
                columns.append([])
            a, b = column.pop(0), column.pop(0)
            half, both = _xor(folder, a, b)
            if column:  # a full adder: its carry is (a & b) | (c & (a ^ b)), both inside its XORs
                total, inner = _xor(folder, half, column.pop(0))
                column.append(total)
                columns[w + 1].append(folder.gate(14, both, inner))
            else:
                column.append(half)
                columns[w + 1].append(both)
        w += 1
    return [column[0] if column else (None, False) for column in columns]


def symmetric(
    n: int, tables: Sequence[int], deadline: float | None = None, aig: bool = True
) -> tuple[list[Gate], list[Output]] | None:
    """A circuit of the output tables by counting (AND-type gates only with ``aig``, else XORs too),
    or None when one is not symmetric in all n inputs."""
    if not 2 <= n <= MAX_INPUTS:
        return None
    full = (1 << (1 << n)) - 1
    by_count = []
    for t in tables:
        if deadline is not None and time.monotonic() >= deadline:
            return None
        values = counts(n, t)
        if values is None:
            return None
        by_count.append(values)
    folder = _Folder(n, aig)
    count = _count(folder, [(v, False) for v in range(n)])
    m = len(count)
    outputs: list[Output] = []
    for j, (t, values) in enumerate(zip(tables, by_count, strict=True)):
        if t in (0, full):
            outputs.append((None, t == full))
            continue
        if m > 5 or (deadline is not None and time.monotonic() >= deadline):
            return None
        gates, (node, negated) = _completed(values, max(m, 4), j, aig)
        literal: list[Output] = count + [(None, False)] * (max(m, 4) - m)
        for op, a, b in gates:
            literal.append(folder.gate(op, literal[a], literal[b]))
        if node is None:
            outputs.append((None, negated))
        else:
            target, flip = literal[node]
            outputs.append((target, flip ^ negated))
    return rebuild(n, folder.gates, outputs, aig=aig)
