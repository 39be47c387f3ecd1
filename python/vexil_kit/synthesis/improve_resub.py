"""Resubstitution: a gate recomputed from nodes the circuit already has, by their whole truth tables.

A gate whose function is that of an earlier node (or its complement) needs none of its fanout-free
cone; one that is an AND-type gate or an XOR of two earlier nodes needs one gate instead. Windows of
a few leaves cannot see this when the nodes sit far apart (a carry computed twice, once flat and
once through the previous carry), so the candidates here come from the tables of every node over
all the inputs: a Python int of 2**n bits each, for n up to ``MAX_INPUTS``.
"""

from __future__ import annotations

from collections.abc import Sequence

from ..circuit_parts import Gate, Output
from .improve_graph import freed, gate_table

#: The most inputs whose whole tables are taken (64 Kbit a node).
MAX_INPUTS = 16

#: Earlier nodes tried as divisors of a gate: the nearest ones before it.
DIVISORS = 160

#: Divisors a gate's value implies, of which pairs are tried as an AND.
PAIRED = 40


def tables(n: int, gates: Sequence[Gate]) -> list[int]:
    """The truth table of every node over all 2**n input rows."""
    rows = 1 << n
    mask = (1 << rows) - 1
    found = []
    for v in range(n):
        width = 1 << v
        pattern, length = ((1 << width) - 1) << width, 2 * width
        while length < rows:
            pattern |= pattern << length
            length *= 2
        found.append(pattern & mask)
    for op, a, b in gates:
        found.append(gate_table(op, found[a], found[b], mask))
    return found


def rewrites(
    n: int, gates: Sequence[Gate], count: Sequence[int], table: Sequence[int], root: int
) -> list[tuple[tuple[int, ...], list[Gate], Output, list[int]]]:
    """(leaves, gates over them, output, gates freed) for each way found to recompute ``root`` from
    earlier nodes with fewer gates than its fanout-free cone holds; none when the cone is one gate
    and no earlier node has its function."""
    mask = (1 << (1 << n)) - 1
    target = table[root]
    cone = set(freed(n, gates, count, [root], []))
    divisors = [d for d in range(max(0, root - DIVISORS), root) if d not in cone]
    divisors += [v for v in range(min(n, max(0, root - DIVISORS))) if v not in cone]
    index: dict[int, int] = {}
    for d in divisors:
        index.setdefault(table[d], d)
    found: list[tuple[tuple[int, ...], list[Gate], Output, list[int]]] = []
    for value, negated in ((target, False), (target ^ mask, True)):
        same = index.get(value)
        if same is not None:
            found.append(((same,), [], (0, negated), freed(n, gates, count, [root], [same])))
    if found or len(cone) < 2:
        return found
    # One XOR: root ^ d is another divisor's table, or its complement.
    for d in divisors:
        rest = target ^ table[d]
        for value, negated in ((rest, False), (rest ^ mask, True)):
            e = index.get(value)
            if e is not None and e != d:
                return [((d, e), [(6, 0, 1)], (2, negated), freed(n, gates, count, [root], [d, e]))]
    # One AND-type gate: the root (or its complement) is the AND of two literals it implies.
    for value, negated in ((target, False), (target ^ mask, True)):
        implied = []
        for d in divisors:
            if value & ~table[d] & mask == 0:
                implied.append((d, False))
            elif value & table[d] == 0:
                implied.append((d, True))
            if len(implied) >= PAIRED:
                break
        for i, (d, dn) in enumerate(implied):
            left = table[d] ^ (mask if dn else 0)
            for e, en in implied[i + 1 :]:
                if left & (table[e] ^ (mask if en else 0)) == value:
                    op = 1 << (2 * (1 ^ en) + (1 ^ dn))
                    return [((d, e), [(op, 0, 1)], (2, negated), freed(n, gates, count, [root], [d, e]))]
    return []
