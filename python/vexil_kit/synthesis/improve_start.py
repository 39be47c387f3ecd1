"""A second starting point for the AIG of a circuit of few inputs: each output decomposed afresh.

A circuit built as a sum of minterms (or any naive way) can sit far from the small circuits that
window rewriting reaches, every window of it being already optimal. Here each output's function
is split by Shannon expansion, f = x ? f1 : f0, down to cofactors of at most four variables, which
take the proven AIG optimum (``aig4``), or five, which take the B2 optimum with each XOR as three
ANDs. The variable to split on is chosen by a search memoised on the cofactor's table, counting a
multiplexer as three ANDs, two when one cofactor implies the other and one when a cofactor is
constant. Equal cofactors reached by different paths are built once (the graph is folded and
shared), so the circuit built is often smaller than the count the search minimises.
"""

from __future__ import annotations

import time
from collections.abc import Sequence

import numpy as np

from .. import circuits
from ..circuit_parts import Gate, Output
from . import aig4
from .improve_graph import _Folder, rebuild, variable_tables

#: The inputs a circuit may have to be decomposed here (its tables are ints of 2**n bits); fewer
#: than four make it one window of the proven table already.
MIN_INPUTS, MAX_INPUTS = 5, 8


class _Deadline(Exception):
    pass


class _Decomposer:
    def __init__(self, k: int, deadline: float | None) -> None:
        self.k = k
        self.mask = (1 << (1 << k)) - 1
        self.var = variable_tables(k)
        self.deadline = deadline
        self.cost: dict[int, tuple[int, int]] = {}  # table -> (ANDs, split variable or -1 for a leaf)
        self.leaf: dict[int, tuple[list[Gate], Output, list[int]]] = {}  # table -> small net, its inputs

    def cofactors(self, f: int, v: int) -> tuple[int, int]:
        """f with x_v = 0 and x_v = 1, each as a table over all k variables."""
        shift, high = 1 << v, self.var[v]
        low_part, high_part = f & ~high & self.mask, f & high
        return low_part | low_part << shift, high_part | high_part >> shift

    def support(self, f: int) -> list[int]:
        return [v for v in range(self.k) if (f ^ f >> (1 << v)) & ~self.var[v] & self.mask]

    def _small(self, f: int, support: list[int]) -> tuple[list[Gate], Output, list[int]] | None:
        """A small net of f over its support (at most five variables), its inputs named by ``support``."""
        width = max(len(support), 4 if len(support) <= 4 else 5)
        inputs = support + [v for v in range(self.k) if v not in support][: width - len(support)]
        if len(inputs) < width:
            return None
        bits = np.array(
            [f >> sum(1 << inputs[j] for j in range(width) if x >> j & 1) & 1 for x in range(1 << width)],
            dtype=np.bool_,
        )
        if width == 4:
            found = aig4.lookup(bits)
            if found is None:
                return None
            return found[0], found[1], inputs
        c = circuits.minimal_circuit(bits)
        gates, outputs = rebuild(width, c.gates, c.outputs, aig=True)
        return gates, outputs[0], inputs

    def solve(self, f: int) -> int:
        """The ANDs the decomposition of f takes (a tree count: shared cofactors counted again)."""
        known = self.cost.get(f)
        if known is not None:
            return known[0]
        if self.deadline is not None and time.monotonic() >= self.deadline:
            raise _Deadline
        support = self.support(f)
        best = (1 << 30, -1)
        if len(support) <= 5:
            small = self._small(f, support)
            if small is not None:
                self.leaf[f] = small
                best = (len(small[0]), -1)
        if len(support) > 4:
            for v in support:
                f0, f1 = self.cofactors(f, v)
                if f0 in (0, self.mask) or f1 in (0, self.mask):
                    join = 1
                elif f0 & ~f1 == 0 or f1 & ~f0 == 0:
                    join = 2
                else:
                    join = 3
                if join + 2 >= best[0]:
                    continue
                total = join + self.solve(f0)
                if total < best[0]:
                    total += self.solve(f1)
                if total < best[0]:
                    best = (total, v)
        self.cost[f] = best
        return best[0]

    def build(self, folder: _Folder, f: int, built: dict[int, Output]) -> Output:
        """The literal of f in the folder, its parts built first."""
        if f == 0:
            return None, False
        if f == self.mask:
            return None, True
        known = built.get(f)
        if known is not None:
            return known
        complement = built.get(f ^ self.mask)
        if complement is not None:
            return complement[0], not complement[1]
        _, v = self.cost[f]
        if v < 0:
            gates, (node, negated), inputs = self.leaf[f]
            literal: list[Output] = [(x, False) for x in inputs]
            for op, a, b in gates:
                literal.append(folder.gate(op, literal[a], literal[b]))
            if node is None:
                result: Output = (None, negated)
            else:
                target, flip = literal[node]
                result = (target, flip ^ negated)
        else:
            f0, f1 = self.cofactors(f, v)
            x = (v, False)
            low, high = self.build(folder, f0, built), self.build(folder, f1, built)
            on = folder.gate(8, x, high)  # x & f1
            off = folder.gate(4, x, low)  # ~x & f0: op bit 2 * right + left set for left 0, right 1
            result = folder.gate(14, on, off)
        built[f] = result
        return result


def decomposed(
    n: int, tables: Sequence[int], deadline: float | None = None, most: int | None = None
) -> tuple[list[Gate], list[Output]] | None:
    """An AIG of the output tables (ints of 2**n bits over the n inputs), or None past the deadline
    or once it holds more than ``most`` gates."""
    if not MIN_INPUTS <= n <= MAX_INPUTS:
        return None
    decomposer = _Decomposer(n, deadline)
    folder = _Folder(n, True)
    built: dict[int, Output] = {}
    outputs: list[Output] = []
    try:
        for f in tables:
            decomposer.solve(f)
            outputs.append(decomposer.build(folder, f, built))
            if most is not None and len(folder.gates) > most:
                return None
    except _Deadline:
        return None
    return rebuild(n, folder.gates, outputs, aig=True)
