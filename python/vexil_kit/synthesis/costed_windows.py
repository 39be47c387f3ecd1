"""Smaller circuits where a NOT is a gate, by rewriting runs of consecutive gates.

A circuit lifted into "BGC" or "GC" (``costed.lift``) pays a NOT wherever the circuit it came from
had a free inverter, and most of them can be folded away by choosing other gates nearby. Each run
of w consecutive gates (w from 8 down to 3) that reads at most five nodes before it is a window:
the nodes of the run read after it, or taken as outputs, are functions of those leaves, and the
exact search of the basis is asked for them in fewer than w gates, with a short time limit. A
smaller answer replaces the run in place (its gates read only the leaves, which come before), and
the passes repeat until none gains or the deadline passes.
"""

from __future__ import annotations

import time
from collections.abc import Callable, Sequence

import numpy as np
import numpy.typing as npt

from ..circuits import Circuit

Gate = tuple[int, int, int]
Lit = tuple[int | None, bool]
Search = Callable[..., object]

#: At most this many leaves, and the time one window's search gets.
_LEAVES = 5
_WINDOW_SECONDS = 0.3
_WIDTHS = (8, 7, 6, 5, 4, 3)


def shrink(
    n: int, gates: list[Gate], outputs: list[Lit], basis: str, deadline: float | None, search: Search
) -> tuple[list[Gate], list[Lit]]:
    """``(gates, outputs)`` over ``basis`` with windows rewritten smaller; ``search`` is
    ``synthesize_tables`` (passed in: this module is imported by it)."""
    improved = True
    while improved:
        improved = False
        for width in _WIDTHS:
            start = 0
            while start + width <= len(gates):
                if deadline is not None and time.monotonic() >= deadline:
                    return gates, outputs
                rewritten = _rewrite(n, gates, outputs, start, width, basis, deadline, search)
                if rewritten is not None:
                    gates, outputs = rewritten
                    improved = True
                start += 1
    return gates, outputs


def _rewrite(
    n: int,
    gates: list[Gate],
    outputs: list[Lit],
    start: int,
    width: int,
    basis: str,
    deadline: float | None,
    search: Search,
) -> tuple[list[Gate], list[Lit]] | None:
    first, end = n + start, n + start + width  # the window's nodes are first .. end - 1
    inside = range(first, end)
    leaves = sorted({x for _, a, b in gates[start : start + width] for x in (a, b) if x < first})
    if len(leaves) > _LEAVES or len(leaves) < 2:
        return None
    read_after = {x for _, a, b in gates[start + width :] for x in (a, b)} | {x for x, _ in outputs if x is not None}
    roots = [x for x in inside if x in read_after]
    values = _values(n, gates, outputs)
    pattern = np.zeros(1 << n, dtype=np.int64)
    for j, leaf in enumerate(leaves):
        pattern |= values[leaf].astype(np.int64) << j
    tables = []
    for root in roots:
        table = np.zeros(1 << len(leaves), dtype=bool)  # rows no input reaches are left 0
        table[pattern] = values[root]
        tables.append(table)
    limit = _WINDOW_SECONDS if deadline is None else min(_WINDOW_SECONDS, deadline - time.monotonic())
    if limit <= 0:
        return None
    found = search(len(leaves), tables, basis, max_gates=width - 1, time_limit=limit, database=False)
    circuit = getattr(found, "circuit", None)
    if not isinstance(circuit, Circuit) or len(circuit.gates) >= width:
        return None
    if any(node is None or negated for node, negated in circuit.outputs):
        return None  # a constant or complemented root has no node of its own here

    # The new gates take the window's place: leaves and earlier nodes keep their numbers.
    k = len(leaves)

    def placed(x: int) -> int:
        return leaves[x] if x < k else first + x - k

    new_gates = [(op, placed(a), placed(b)) for op, a, b in circuit.gates]
    root_node = {root: placed(node) for root, (node, _) in zip(roots, circuit.outputs, strict=True) if node is not None}
    shift = width - len(new_gates)

    def moved(x: int) -> int:
        if x < first:
            return x
        if x < end:
            return root_node[x]
        return x - shift

    after = [(op, moved(a), moved(b)) for op, a, b in gates[start + width :]]
    return gates[:start] + new_gates + after, [(None if x is None else moved(x), neg) for x, neg in outputs]


def _values(n: int, gates: Sequence[Gate], outputs: Sequence[Lit]) -> list[npt.NDArray[np.bool_]]:
    """Every node's value on each of the 2**n input rows."""
    rows = np.arange(1 << n, dtype=np.int64)
    values = [(rows >> v & 1).astype(bool) for v in range(n)]
    for op, a, b in gates:
        index = values[a].astype(np.int64) + 2 * values[b].astype(np.int64)
        values.append((op >> index & 1).astype(bool))
    return values
