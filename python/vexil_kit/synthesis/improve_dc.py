"""Don't-cares of a window, for AIG improvement of circuits of at most 16 inputs.

A window's root need only be right on the rows of its leaves that some input reaches (the others
are satisfiability don't-cares) and, of those, on the ones where its value reaches an output (the
rest are observability don't-cares). Both come from the whole truth tables of the circuit: the
rows where the root is observable are those where complementing it changes an output, found by
simulating its fanout again. A four-leaf window then takes the smallest AIG over all the functions
that agree with it where it matters, read from the sizes of all 65536 four-input functions (each
NPN class's proven optimum spread over its class).

A rewrite by observability don't-cares changes the root's function, so two of them made together
may change an output; the caller checks the outputs after each pass.
"""

from __future__ import annotations

import heapq
import itertools
from collections.abc import Sequence

import numpy as np

from ..circuit_parts import Gate, Output
from . import aig4
from .improve_graph import gate_table

_sizes: np.ndarray | None = None


def sizes() -> np.ndarray:
    """The AIG optimum of every four-input function, indexed by its 16-bit table."""
    global _sizes
    if _sizes is None:
        known = aig4._known()
        reps = np.array([[t >> x & 1 for x in range(16)] for t in known], dtype=np.int64)
        cost = np.array([entry[0] for entry in known.values()], dtype=np.int16)
        index = []
        for perm in itertools.permutations(range(4)):
            for flips in range(16):
                index.append([sum((x >> perm[j] & 1) << j for j in range(4)) ^ flips for x in range(16)])
        weights = np.int64(1) << np.arange(16, dtype=np.int64)
        words = reps[:, np.array(index)] @ weights  # (classes, transforms)
        table = np.full(1 << 16, 1 << 10, dtype=np.int16)
        spread = np.broadcast_to(cost[:, None], words.shape)
        table[words.ravel()] = spread.ravel()
        table[(words ^ 0xFFFF).ravel()] = spread.ravel()
        _sizes = table
    return _sizes


_WORDS = np.arange(1 << 16, dtype=np.int64)


def smallest_completion(table: int, care: int) -> tuple[int, int]:
    """(size, table) of a smallest four-input AIG agreeing with ``table`` on the rows of ``care``."""
    table16 = sizes()
    fits = ((_WORDS ^ table) & care) == 0
    choice = int(np.flatnonzero(fits)[np.argmin(table16[fits])])
    return int(table16[choice]), choice


def net_of(table: int, k: int) -> tuple[list[Gate], Output] | None:
    """The proven optimum of a 16-bit table, when it reads only the first k inputs (gates from k on)."""
    known = aig4.lookup(np.array([table >> x & 1 for x in range(16)], dtype=np.bool_))
    if known is None:
        return None
    gates, (node, negated) = known
    if not all(v < k or v >= 4 for _, a, b in gates for v in (a, b)):
        return None
    moved = [(op, a if a < 4 else a - 4 + k, b if b < 4 else b - 4 + k) for op, a, b in gates]
    return moved, (None if node is None else (node if node < 4 else node - 4 + k), negated)


class Observability:
    """The rows where each node's value reaches an output, over the whole tables of a circuit."""

    def __init__(self, n: int, gates: Sequence[Gate], outputs: Sequence[Output], tables: Sequence[int]) -> None:
        self.n = n
        self.gates = gates
        self.tables = tables
        self.mask = (1 << (1 << n)) - 1
        self.outputs = [node for node, _ in outputs if node is not None]
        self.readers: list[list[int]] = [[] for _ in range(n + len(gates))]
        for i, (_, a, b) in enumerate(gates):
            self.readers[a].append(n + i)
            if b != a:
                self.readers[b].append(n + i)

    def observable(self, root: int) -> int:
        """The input rows on which complementing ``root`` changes some output."""
        changed = {root: self.tables[root] ^ self.mask}
        pending = sorted(self.readers[root])
        seen = set(pending)

        heapq.heapify(pending)
        while pending:
            v = heapq.heappop(pending)
            op, a, b = self.gates[v - self.n]
            value = gate_table(op, changed.get(a, self.tables[a]), changed.get(b, self.tables[b]), self.mask)
            if value != self.tables[v]:
                changed[v] = value
                for r in self.readers[v]:
                    if r not in seen:
                        seen.add(r)
                        heapq.heappush(pending, r)
        found = 0
        for node in self.outputs:
            if node in changed:
                found |= changed[node] ^ self.tables[node]
        return found

    def care(self, leaves: Sequence[int], rows: int) -> int:
        """The rows of the leaves (bit x: leaf j takes bit j of x) reached by an input in ``rows``."""
        care = 0
        for x in range(1 << len(leaves)):
            hit = rows
            for j, leaf in enumerate(leaves):
                hit &= self.tables[leaf] if x >> j & 1 else ~self.tables[leaf]
                if not hit:
                    break
            if hit:
                care |= 1 << x
        return care
