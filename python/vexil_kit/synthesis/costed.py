"""Exact synthesis where every gate costs one, inverters too: bitslice gate complexity and gate complexity.

Two bases count the instructions of an implementation rather than the gates of a circuit with free
inverters (Courtois, Hulme and Mourouzis, 2011; Stoffelen, "Optimizing S-box implementations for
several criteria using SAT solvers", FSE 2016):

- "BGC", bitslice gate complexity: AND, OR, XOR and NOT, each one instruction of bitsliced software;
- "GC", gate complexity: AND, OR, XOR, NAND, NOR, XNOR and NOT, each one gate of hardware.

Constants and the inputs themselves cost nothing as outputs; the complement of an input costs a NOT.

The encoding (``Encoding``) is that of ``encoding.Encoding`` with the normalisation dropped: a gate
has a variable on every row, the all-zero one too, and its four table bits are free up to the
basis, where a NOT is a gate whose table is the complement of one operand (the other ignored, and
fixed to a canonical node so that each NOT is encoded once). The cuts kept are those that hold in
any basis closed under renaming the inputs: topological order, every gate used, adjacent
independent gates in increasing order, no gate equal to a constant, an input or another gate, and
the input symmetries of the outputs. A first circuit comes from ``lift``: a circuit with free
inverters rewritten gate by gate into the basis, each node made in the polarity that needs fewest
NOT gates and its complement made by a NOT only where read.
"""

from __future__ import annotations

import dataclasses
import itertools
from collections.abc import Sequence

from . import encoding

Gate = tuple[int, int, int]
Lit = tuple[int | None, bool]

#: Gate tables (bit 2 * B + A for operand values A, B) of each basis, NOT left out.
OPS = {"BGC": frozenset((8, 14, 6)), "GC": frozenset((8, 14, 6, 7, 1, 9))}
#: NOT of the first operand and of the second.
NOT_A, NOT_B = 5, 3
BASES = tuple(OPS)

_AND, _OR, _XOR, _NAND, _NOR, _XNOR = 8, 14, 6, 7, 1, 9


@dataclasses.dataclass
class Encoding(encoding.Encoding):
    """The clauses for ``k`` gates of ``basis`` over ``n`` inputs computing ``outputs`` exactly."""

    basis: str = "BGC"
    FIRST_ROW = 0
    TABLE_BITS = (0, 1, 2, 3)

    def __post_init__(self) -> None:
        n, k = self.n, self.k
        if n < 2:
            raise ValueError("the encoding needs two inputs or more")
        allowed = OPS[self.basis] | {NOT_A, NOT_B}
        rows = range(1 << n)
        self.value = [[self._new() for _ in rows] for _ in range(k)]
        self.table = [[self._new() for _ in range(4)] for _ in range(k)]
        self.pairs = [list(itertools.combinations(range(n + i), 2)) for i in range(k)]
        self.select = [[self._new() for _ in self.pairs[i]] for i in range(k)]
        self.chosen = [[self._new() for _ in range(k)] for _ in self.outputs]
        add = self.clauses.append
        for i in range(k):
            self._gate(i)
            f = self.table[i]
            for op in range(16):
                if op not in allowed:
                    add([-f[bit] if op >> bit & 1 else f[bit] for bit in range(4)])
            self._canonical_not(i)
            add(list(self.select[i]))
        self._outputs_and_cuts()
        for sigma in self.symmetries:
            self._least_under(sigma)

    def _gate(self, i: int) -> None:
        add = self.clauses.append
        f = self.table[i]
        for s, (a, b) in zip(self.select[i], self.pairs[i], strict=True):
            self.check()
            for t in range(1 << self.n):
                x = self.value[i][t]
                va, vb = self._node(a, t), self._node(b, t)
                for bit in range(4):
                    base = [-s]
                    if encoding._skip(va, bit & 1, base) or encoding._skip(vb, bit >> 1, base):
                        continue
                    add([*base, -x, f[bit]])
                    add([*base, x, -f[bit]])

    def _node(self, node: int, t: int) -> int | bool:
        if node < self.n:
            return bool(t >> node & 1)
        return self.value[node - self.n][t]

    def _canonical_not(self, i: int) -> None:
        """A NOT of node x > 0 reads the pair (0, x) as NOT_B; a NOT of input 0 reads (0, 1) as NOT_A."""
        f = self.table[i]
        is_not_b = [-f[0], -f[1], f[2], f[3]]  # clause: the table is not NOT_B (0b0011)
        is_not_a = [-f[0], f[1], -f[2], f[3]]  # the table is not NOT_A (0b0101)
        for s, (a, b) in zip(self.select[i], self.pairs[i], strict=True):
            if a != 0:
                self.clauses.append([-s, *is_not_b])
            if (a, b) != (0, 1):
                self.clauses.append([-s, *is_not_a])

    def _distinct(self) -> None:
        """As for normal gates, and no gate is the constant 1 either (a gate reading a constant is
        an operand, its complement or a constant)."""
        super()._distinct()
        for value in self.value:
            self.clauses.append([-value[t] for t in range(1 << self.n)])


def lift(n: int, gates: Sequence[Gate], outputs: Sequence[Lit], basis: str) -> tuple[list[Gate], list[Lit]]:
    """``(gates, outputs)``, a circuit with free inverters (complemented outputs included), as a
    circuit over ``basis`` whose outputs are never complemented: a constant stays a constant."""
    ops = OPS[basis]
    made: list[Gate] = []
    # have[node]: the new node holding the old node's value (False) or its complement (True).
    have: list[dict[bool, int]] = [{False: v} for v in range(n)]

    def literal(node: int, negated: bool) -> int:
        if negated not in have[node]:
            base = have[node][not negated]
            made.append((NOT_A, base, base))
            have[node][negated] = n + len(made) - 1
        return have[node][negated]

    for op, a, b in gates:
        options = _options(op, ops)
        if not options:
            raise ValueError(f"gate op {op} ignores an operand")

        # Fewest NOT gates for the operands, then the node itself rather than its complement.
        costs = [((pa not in have[a]) + (pb not in have[b]), flipped) for _, pa, pb, flipped in options]
        new_op, pa, pb, flipped = options[costs.index(min(costs))]
        made.append((new_op, literal(a, pa), literal(b, pb)))
        have.append({flipped: n + len(made) - 1})
    lits: list[Lit] = []
    for node, negated in outputs:
        lits.append((None, negated) if node is None else (literal(node, negated), False))
    return made, lits


def _options(op: int, ops: frozenset[int]) -> list[tuple[int, bool, bool, bool]]:
    """The ways ``op`` is one gate of ``ops`` on complemented operands: (new op, complement the first
    operand, the second, whether the gate yields the complement of ``op``)."""
    found = []
    for new_op in ops:
        for pa, pb in itertools.product((False, True), repeat=2):
            table = 0
            for bit in range(4):
                a, b = (bit & 1) ^ pa, (bit >> 1) ^ pb
                table |= (new_op >> (2 * b + a) & 1) << bit
            if table == op:
                found.append((new_op, pa, pb, False))
            elif table == op ^ 15:
                found.append((new_op, pa, pb, True))
    return found
