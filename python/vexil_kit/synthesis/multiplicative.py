"""CNF of "k AND gates, with XORs free, compute these output tables" (multiplicative complexity).

Each AND gate reads two affine combinations of the inputs and the earlier AND gates; each output
is an affine combination of inputs and AND gates. A constant in an operand can be dropped:
(u ^ 1) & v = (u & v) ^ v, and v, an affine combination of earlier nodes, can be added by every
reader of the gate instead. So the operands are linear, every AND gate is 0 on the all-zero row,
that row is left out, and an output's constant is its value there. Parities are chained through
auxiliary variables (four clauses per XOR of two literals).

A gate reading u and v is one of six encodings of the same gate: u & (u ^ v) = (u & v) ^ u, and u,
an affine combination of earlier nodes, can be added by every reader instead, so any two of u, v
and u ^ v serve, in either order. Each gate takes the two least of the three (as numbers, the
latest node the most significant bit), in increasing order: u < v < u ^ v. Made so gate by gate in
order, each change touching only later gates, a circuit keeps its size, so the cut loses none.
"""

from __future__ import annotations

import dataclasses
import time

import numpy as np
import numpy.typing as npt

from .encoding import Expired


@dataclasses.dataclass
class Encoding:
    """The clauses for ``k`` AND gates over ``n`` inputs computing ``outputs`` (full tables)."""

    n: int
    k: int
    outputs: list[npt.NDArray[np.bool_]]
    clauses: list[list[int]] = dataclasses.field(default_factory=list)
    count: int = 0
    deadline: float | None = None  # a time.monotonic() value: Expired is raised past it while building

    def __post_init__(self) -> None:
        n, k = self.n, self.k
        rows = range(1, 1 << n)
        # operand[i][side]: selection bits over the inputs then the earlier gates.
        self.operand = [[[self._new() for _ in range(n + i)] for _side in range(2)] for i in range(k)]
        self.value = [{t: self._new() for t in rows} for _ in range(k)]
        self.output = [[self._new() for _ in range(n + k)] for _ in self.outputs]
        add = self.clauses.append
        for i in range(k):
            z = self.value[i]
            for side in range(2):
                add(list(self.operand[i][side]))  # not the zero function
            self._least_pair(i)
            for t in rows:
                self._check(t)
                y = [self._parity(self._terms(self.operand[i][side], t), None) for side in range(2)]
                add([-z[t], y[0]])
                add([-z[t], y[1]])
                add([z[t], -y[0], -y[1]])
        for h, table in enumerate(self.outputs):
            for t in rows:
                self._check(t)
                self._parity(self._terms(self.output[h], t), bool(table[t]) ^ bool(table[0]))
        for i in range(k):  # every gate is read
            node = n + i
            readers = [self.operand[j][side][node] for j in range(i + 1, k) for side in range(2)]
            self.clauses.append(readers + [self.output[h][node] for h in range(len(self.outputs))])

    def _least_pair(self, i: int) -> None:
        """Gate i's operands u, v satisfy u < v < u ^ v."""
        u, v = self.operand[i]
        w = []
        for a, b in zip(u, v, strict=True):
            x = self._new()
            self.clauses += [[-x, a, b], [-x, -a, -b], [x, -a, b], [x, a, -b]]
            w.append(x)
        self._less(u, v)
        self._less(v, w)

    def _less(self, a: list[int], b: list[int]) -> None:
        """a < b, read as numbers with the last literal the most significant bit."""
        add = self.clauses.append
        equal_above: list[int] = []  # a literal true when every more significant bit agrees (none: the top)
        for j in reversed(range(len(a))):
            add([*equal_above, -a[j], b[j]])
            e = self._new()
            add([*equal_above, a[j], b[j], e])
            add([*equal_above, -a[j], -b[j], e])
            equal_above = [-e]
        add(equal_above)  # not equal on every bit

    def _check(self, t: int) -> None:
        """Raises Expired past the deadline, asked every 64 rows (a few milliseconds at most)."""
        if t & 63 == 0 and self.deadline is not None and time.monotonic() >= self.deadline:
            raise Expired

    def _new(self) -> int:
        self.count += 1
        return self.count

    def _terms(self, selection: list[int], t: int) -> list[int]:
        """The literals whose parity is the combination ``selection`` on row t."""
        n = self.n
        terms = [selection[j] for j in range(n) if t >> j & 1]
        for g in range(len(selection) - n):
            s, z = selection[n + g], self.value[g][t]
            p = self._new()  # p = s & z
            self.clauses += [[-p, s], [-p, z], [p, -s, -z]]
            terms.append(p)
        return terms

    def _parity(self, terms: list[int], value: bool | None) -> int:
        """A literal equal to the XOR of ``terms``; with ``value`` given, the XOR is forced to it instead."""
        add = self.clauses.append
        if not terms:
            if value is None:
                x = self._new()
                add([-x])
                return x
            if value:
                add([])
            return 0
        acc = terms[0]
        last = len(terms) - 1
        for idx, lit in enumerate(terms[1:], start=1):
            if idx == last and value is not None:
                # acc ^ lit == value
                if value:
                    add([acc, lit])
                    add([-acc, -lit])
                else:
                    add([acc, -lit])
                    add([-acc, lit])
                return 0
            x = self._new()
            add([-x, acc, lit])
            add([-x, -acc, -lit])
            add([x, -acc, lit])
            add([x, acc, -lit])
            acc = x
        if value is not None:
            add([acc] if value else [-acc])
        return acc

    def decode(self, model: list[int]) -> tuple[list[list[list[int]]], list[list[int]]]:
        """(each gate's two operands, each output's combination) as lists of the nodes they XOR."""
        true = {v for v in model if v > 0}
        gates = [[[j for j, s in enumerate(side) if s in true] for side in gate] for gate in self.operand]
        outputs = [[j for j, s in enumerate(out) if s in true] for out in self.output]
        return gates, outputs
