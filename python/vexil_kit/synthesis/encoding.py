"""CNF of "a circuit of k two-input gates computes these output tables", for B2, XAG and AIG.

The encoding follows Kojevnikov, Kulikov and Yaroslavtsev and Knuth (TAOCP 7.1.2): a variable per
gate and input row holds the gate's value, selection variables pick the gate's pair of operands,
and three variables hold its table. Gates are normal (value 0 when both operands are 0): any circuit
can be made so by pushing complements into the gates reading a node and onto the outputs, which
are complemented for free. Every gate then has the value 0 on the all-zero row, which is left out,
and the outputs are normalised to value 0 there. A normal gate that reads both operands is an
AND-type gate (one of a & b, a & ~b, ~a & b, a | b) or XOR, so B2 and XAG share one encoding;
AIG leaves out XOR.

Symmetries cut: operands come before the gate (topological order), every gate is read by a later
gate or is an output, and two adjacent gates where the second does not read the first take their
operand pairs in increasing order (they could be swapped otherwise). Among the smallest circuits,
the one whose sequence of operand pairs is least (pairs compared colexicographically) passes every
cut below at once, so together they keep at least one smallest circuit:
- no gate reads a node and a gate that reads that same node: the pair of the inner gate's operands
  then suffices, and is less;
- for each permutation of the inputs that leaves every output unchanged, the circuit with its
  inputs so renamed also computes the outputs, so the first gate whose pair the renaming changes
  must take the lesser pair;
- in an AIG, for each set of inputs whose complement leaves every output unchanged or complemented,
  complementing them (and pushing the inverters through) changes no pair but the table of every
  gate that reads them; the first such gate must keep the lesser table.

The inputs may also be given as ``columns``, tables over the rows of the outputs, rather than the
projections (the nodes of a circuit built before, extended by the fewest gates that compute a new
output). A normal gate's table is 0 on row 0, so the columns must be too. Every cut above but the
input symmetries holds there unchanged (none of them reads what the inputs compute), and "no gate
computes an input" reads the given columns; the symmetries are not asked for.

A search can also be split by levels (``level_splits``): the gates are sorted by level (an input
is on level 0, a gate one above its higher operand), and each split fixes how many gates each level
holds, so every gate's level. The adjacent-gate order then holds only within a level. Among the
smallest circuits take those with the least sum of gate levels, sorted by level, and among them the
one with the least sequence of pairs: it passes the cuts above (removing a reapplication lowers the
sum; renaming or complementing inputs keeps every level), so when a circuit of k gates exists, the
split of that circuit's levels keeps one. Most splits are refuted in a small part of the time the
whole question takes, and the hardest in seconds where the whole can take an hour.
"""

from __future__ import annotations

import dataclasses
import itertools
import time
from collections.abc import Sequence
from typing import ClassVar

import numpy as np
import numpy.typing as npt

# A gate's table bits, indexed as Circuit ops are: 2 * B + A for operand values A (first), B (second).
_ROWS = ((1, 1, 0), (2, 0, 1), (3, 1, 1))  # (bit, A, B) for the three rows with a nonzero operand


@dataclasses.dataclass
class Encoding:
    """The clauses for ``k`` normal gates over ``n`` inputs computing ``outputs`` (normalised tables).

    The inputs are the n projections, or the tables ``columns`` when given (each 0 on row 0).
    """

    n: int
    k: int
    outputs: list[npt.NDArray[np.bool_]]
    and_only: bool
    symmetries: list[tuple[int, ...]] = dataclasses.field(default_factory=list)  # input permutations
    negations: list[int] = dataclasses.field(default_factory=list)  # masks of inputs complemented (AIG)
    clauses: list[list[int]] = dataclasses.field(default_factory=list)
    count: int = 0
    deadline: float | None = None  # a time.monotonic() value: Expired is raised past it while building
    # The inputs' tables over the rows, when they are not the n projections (each 0 on row 0).
    columns: Sequence[npt.NDArray[np.bool_]] | None = None

    def __post_init__(self) -> None:
        n, k = self.n, self.k
        self._given: list[list[bool]] | None = None
        if self.columns is not None:
            if len(self.columns) != n or self.symmetries or self.negations:
                raise ValueError("give one column per input, and no input symmetries with them")
            self._given = [[bool(x) for x in column] for column in self.columns]
            if not n or any(column[0] or len(column) != self.row_count for column in self._given):
                raise ValueError("every column must be 0 on row 0, all of one length")
        rows = range(1, self.row_count)
        self.value = [[0] * self.row_count for _ in range(k)]  # value[i][t]: gate i on row t
        for i in range(k):
            for t in rows:
                self.value[i][t] = self._new()
        self.table = [[0, self._new(), self._new(), self._new()] for _ in range(k)]
        self.pairs = [list(itertools.combinations(range(n + i), 2)) for i in range(k)]
        self.select = [[self._new() for _ in self.pairs[i]] for i in range(k)]
        self.chosen = [[self._new() for _ in range(k)] for _ in self.outputs]
        add = self.clauses.append
        for i in range(k):
            self._gate(i)
            f = self.table[i]
            add([f[1], f[2], f[3]])  # not constant
            add([-f[1], f[2], -f[3]])  # not the first operand
            add([f[1], -f[2], -f[3]])  # not the second operand
            if self.and_only:
                add([-f[1], -f[2], f[3]])  # not XOR
            add(list(self.select[i]))
        self._outputs_and_cuts()
        self._no_reapplication()
        for sigma in self.symmetries:
            self._least_under(sigma)
        if self.and_only:
            for mask in self.negations:
                self._least_table_under(mask)

    @property
    def row_count(self) -> int:
        """The rows a gate has a value on: 2**n, or those of the given columns."""
        return 1 << self.n if self.columns is None else len(self.columns[0])

    def _outputs_and_cuts(self) -> None:
        """Each output is one of the gates on every row kept; the cuts of any basis closed under
        renaming the inputs: every gate used, adjacent independent gates increasing, distinct gates."""
        k, add = self.k, self.clauses.append
        for h, table in enumerate(self.outputs):
            add(list(self.chosen[h]))
            for i in range(k):
                self.check()
                c = self.chosen[h][i]
                for t in range(self.FIRST_ROW, self.row_count):
                    v = self.value[i][t]
                    add([-c, v if table[t] else -v])
        if len(self.outputs) == 1 and k:
            add([self.chosen[0][k - 1]])  # one output: the last gate, read by no other
        self._used()
        # Per adjacent pair of gates: the same clauses serve the whole search and every split.
        self.increasing = [self._pairs_increase(i) for i in range(k - 1)]
        self._distinct()

    def _new(self) -> int:
        self.count += 1
        return self.count

    def check(self) -> None:
        """Raises Expired past the deadline; called between steps of a few milliseconds at most."""
        if self.deadline is not None and time.monotonic() >= self.deadline:
            raise Expired

    def _node(self, node: int, t: int) -> int | bool:
        """The literal of a node's value on row t, or the value itself for an input."""
        if node < self.n:
            if self.columns is None:
                return bool(t >> node & 1)
            assert self._given is not None
            return self._given[node][t]
        return self.value[node - self.n][t]

    def _gate(self, i: int) -> None:
        add = self.clauses.append
        f = self.table[i]
        for s, (a, b) in zip(self.select[i], self.pairs[i], strict=True):
            self.check()
            for t in range(1, self.row_count):
                x = self.value[i][t]
                va, vb = self._node(a, t), self._node(b, t)
                # Row (0, 0): a normal gate is 0 there.
                base = [-s]
                if not _skip(va, 0, base) and not _skip(vb, 0, base):
                    add([*base, -x])
                for bit, av, bv in _ROWS:
                    base = [-s]
                    if _skip(va, av, base) or _skip(vb, bv, base):
                        continue
                    add([*base, -x, f[bit]])
                    add([*base, x, -f[bit]])

    def _used(self) -> None:
        """Every gate is read by a later gate or is an output."""
        n, k = self.n, self.k
        for i in range(k):
            node = n + i
            readers = [self.chosen[h][i] for h in range(len(self.outputs))]
            for later in range(i + 1, k):
                readers += [s for s, pair in zip(self.select[later], self.pairs[later], strict=True) if node in pair]
            self.clauses.append(readers)

    def ordered(self) -> list[list[int]]:
        """The cut for the whole search: adjacent independent gates take increasing (colex) pairs."""
        return [clause for pair in self.increasing for clause in pair]

    def levelled(self, levels: Sequence[int]) -> list[list[int]]:
        """The cut for one split: ``levels[L]`` gates on level L + 1, in order, pairs increasing within a level."""
        if sum(levels) != self.k:
            raise ValueError(f"the levels hold {sum(levels)} gates, not {self.k}")
        n = self.n
        level = [0] * n + [L for L, count in enumerate(levels, start=1) for _ in range(count)]
        clauses = []
        for i in range(self.k):
            here = level[n + i]
            below = []
            for s, (_, b) in zip(self.select[i], self.pairs[i], strict=True):
                if level[b] >= here:  # b is the later operand, so the higher
                    clauses.append([-s])
                elif level[b] == here - 1:
                    below.append(s)
            clauses.append(below)  # one operand on the level just below
            if i + 1 < self.k and level[n + i + 1] == here:
                clauses += self.increasing[i]
        return clauses

    def _pairs_increase(self, i: int) -> list[list[int]]:
        """Gate i + 1, when it does not read gate i, takes a pair no less (colexicographically)."""
        node = self.n + i
        order = {pair: (pair[1], pair[0]) for pair in self.pairs[i + 1]}
        clauses = []
        for s, pair in zip(self.select[i], self.pairs[i], strict=True):
            self.check()
            key = order[pair]
            for s2, pair2 in zip(self.select[i + 1], self.pairs[i + 1], strict=True):
                if node not in pair2 and order[pair2] < key:
                    clauses.append([-s, -s2])
        return clauses

    def _no_reapplication(self) -> None:
        """No gate reads both an operand of gate j and gate j itself."""
        n = self.n
        for i in range(self.k):
            self.check()
            for s, (a, b) in zip(self.select[i], self.pairs[i], strict=True):
                if b < n:
                    continue
                j = b - n
                for s2, pair in zip(self.select[j], self.pairs[j], strict=True):
                    if a in pair:
                        self.clauses.append([-s, -s2])

    def _least_under(self, sigma: tuple[int, ...]) -> None:
        """The first gate whose operand pair the input renaming ``sigma`` moves takes the lesser pair."""
        n = self.n

        def key(pair: tuple[int, int]) -> tuple[int, int]:
            return max(pair), min(pair)

        def renamed(pair: tuple[int, int]) -> tuple[int, int]:
            a, b = (sigma[x] if x < n else x for x in pair)
            return (a, b) if a < b else (b, a)

        lesser: list[int] = []  # select variables of earlier gates taking a pair the renaming makes greater
        for i in range(self.k):
            here = []
            for s, pair in zip(self.select[i], self.pairs[i], strict=True):
                other = renamed(pair)
                if key(other) < key(pair):
                    self.clauses.append([-s, *lesser])
                elif key(other) > key(pair):
                    here.append(s)
            lesser += here

    def _least_table_under(self, mask: int) -> None:
        """The first gate reading an input of ``mask`` keeps the lesser of its table and the complemented one.

        With one operand complemented, AND-type tables pair up as {8, 4}, {2, 14} (the first) or
        {8, 2}, {4, 14} (the second): the lesser have bit 3 clear. With both, {8, 14} and {2, 4}:
        the lesser have bit 2 clear.
        """
        n = self.n
        earlier: list[int] = []  # select variables of earlier gates reading an input of mask
        for i in range(self.k):
            here = []
            for s, (a, b) in zip(self.select[i], self.pairs[i], strict=True):
                flips = sum(1 for x in (a, b) if x < n and mask >> x & 1)
                if flips:
                    bit = 3 if flips == 1 else 2
                    self.clauses.append([-s, *earlier, -self.table[i][bit]])
                    here.append(s)
            earlier += here

    #: The first input row a gate has a variable for (normal gates are 0 on row 0), and its table bits.
    FIRST_ROW: ClassVar[int] = 1
    TABLE_BITS: ClassVar[tuple[int, ...]] = (1, 2, 3)

    def _distinct(self) -> None:
        """In a smallest circuit no gate computes a constant, an input or what another gate computes.

        The search goes up from a proven lower bound, so a circuit of k gates sought is a smallest one.
        Normal gates are 0 on the all-zero row and so never the complement of one another.
        """
        n, k = self.n, self.k
        rows = range(self.FIRST_ROW, self.row_count)
        add = self.clauses.append
        for i in range(k):
            self.check()
            value = self.value[i]
            add([value[t] for t in rows])
            for v in range(n):
                add([value[t] if not self._node(v, t) else -value[t] for t in rows])
            for j in range(i):
                self.check()
                other = self.value[j]
                differs = []
                for t in rows:
                    d = self._new()
                    add([-d, value[t], other[t]])
                    add([-d, -value[t], -other[t]])
                    differs.append(d)
                add(differs)

    def decode(self, model: list[int]) -> tuple[list[tuple[int, int, int]], list[int]]:
        """(gates as (op, a, b), the node of each output) read from a satisfying assignment."""
        true = {v for v in model if v > 0}
        gates = []
        for i in range(self.k):
            pair = next(p for s, p in zip(self.select[i], self.pairs[i], strict=True) if s in true)
            op = sum(1 << bit for bit in self.TABLE_BITS if self.table[i][bit] in true)
            gates.append((op, pair[0], pair[1]))
        nodes = [self.n + next(i for i in range(self.k) if self.chosen[h][i] in true) for h in range(len(self.outputs))]
        return gates, nodes


class Expired(Exception):
    """The deadline passed while the clauses were being built."""


def level_splits(k: int, outputs: int, most: int | None = None, depth: int | None = None) -> list[tuple[int, ...]]:
    """The gate counts per level, bottom up, that k gates, every one used, with ``outputs`` outputs can have.

    Only outputs are read by no gate, so the top level holds at most ``outputs`` gates (just the
    last gate when there is one output), and a lower level no more than the gates above it read
    (two each) plus, with several outputs, the outputs. Their number about doubles with each gate:
    with ``most`` the listing stops once it has more than ``most`` splits. With ``depth`` only the
    splits of at most that many levels are listed.
    """
    spare = outputs if outputs > 1 else 0
    found: list[tuple[int, ...]] = []

    def down(above: tuple[int, ...], left: int, gates_above: int) -> None:
        if most is not None and len(found) > most:
            return
        if left == 0:
            found.append(above)
            return
        if depth is not None and len(above) >= depth:
            return
        for count in range(1, min(left, 2 * gates_above + spare) + 1):
            down((count, *above), left - count, gates_above + count)

    if k:
        for top in range(1, min(k, outputs) + 1) if outputs > 1 else (1,):
            down((top,), k - top, top)
    return sorted(found)


def _skip(value: int | bool, wanted: int, clause: list[int]) -> bool:
    """Adds to ``clause`` the literal saying ``value`` differs from ``wanted``; True when it surely does."""
    if isinstance(value, bool):
        return value != bool(wanted)
    clause.append(value if wanted == 0 else -value)
    return False
