"""An AND-inverter graph changed in place: reference counts, structural hashing, replacement.

Node 0 is the constant false, nodes 1..n the inputs, later nodes ANDs of two literals; a literal
is ``2 * node + complemented``. Every AND is kept once (a table of its two fanin literals), every
node counts its readers (ANDs and outputs) and knows the ANDs that read it. ``replace`` points the
readers of a node at another literal; a reader that then folds (repeated or constant operands) or
equals an AND already there is replaced in turn, and nodes left unread are deleted with their
fanout-free cones. Node numbers are never reused, so a number names one AND for good; a node's
fanins change only when one of them is replaced (by a literal of the same function).
"""

from __future__ import annotations

from collections.abc import Sequence

from ..circuit_parts import Gate, Output
from .improve_refactor import and_key

#: Fanin of the constant and the inputs.
NONE = -1


def gate_literals(op: int, a: int, b: int) -> tuple[int, int, bool]:
    """An AND-type gate over nodes a and b as (literal of a, literal of b, output complemented),
    with the literal of node v as 2 * v + complemented (nodes as numbered by the gate)."""
    ones = [(x, y) for y in (0, 1) for x in (0, 1) if op >> (2 * y + x) & 1]
    if len(ones) not in (1, 3):
        raise ValueError(f"not an AND-type gate: {op}")
    x, y = ones[0] if len(ones) == 1 else next((x, y) for y in (0, 1) for x in (0, 1) if (x, y) not in ones)
    return 2 * a + (x == 0), 2 * b + (y == 0), len(ones) == 3


class Aig:
    """A structurally hashed AIG with reference counts, built from a graph of AND-type gates."""

    def __init__(self, n: int, gates: Sequence[Gate], outputs: Sequence[Output]) -> None:
        self.n = n
        self.f0: list[int] = [NONE] * (n + 1)
        self.f1: list[int] = [NONE] * (n + 1)
        self.refs: list[int] = [0] * (n + 1)
        self.fanouts: list[set[int]] = [set() for _ in range(n + 1)]
        self.dead: list[bool] = [False] * (n + 1)
        self.strash: dict[tuple[int, int], int] = {}
        self.moved: dict[int, int] = {}  # replaced node -> the literal it became
        self.changed: set[int] = set()  # ANDs whose fanins were replaced
        lit = [2 * (v + 1) for v in range(n)]
        for op, a, b in gates:
            x, y, negated = gate_literals(op, 0, 0)
            made = self.conjoin(lit[a] ^ (x & 1), lit[b] ^ (y & 1))
            lit.append(made ^ negated)
        self.outputs: list[int] = []
        for node, negated in outputs:
            value = int(negated) if node is None else lit[node] ^ negated
            self.outputs.append(value)
            self.refs[value >> 1] += 1
        for v in range(n + 1, len(self.f0)):  # a graph as drawn may hold gates nothing reads
            if self.refs[v] == 0:
                self.release(v)

    def size(self) -> int:
        """The live ANDs."""
        return len(self.strash)

    def is_and(self, node: int) -> bool:
        return self.f0[node] != NONE

    def fold(self, a: int, b: int) -> int | None:
        """The literal the AND of a and b folds to (constant or operand), else None."""
        if a == b or b == 1:
            return a
        if a == 1:
            return b
        if a == (b ^ 1) or a == 0 or b == 0:
            return 0
        return None

    def lookup(self, a: int, b: int) -> int | None:
        """The literal of the AND of a and b if it folds or is in the graph, else None."""
        folded = self.fold(a, b)
        if folded is not None:
            return folded
        node = self.strash.get((a, b) if a < b else (b, a))
        return None if node is None else 2 * node

    def conjoin(self, a: int, b: int) -> int:
        """The literal of the AND of a and b, added when it is not in the graph."""
        found = self.lookup(a, b)
        if found is not None:
            return found
        if a > b:
            a, b = b, a
        node = len(self.f0)
        self.f0.append(a)
        self.f1.append(b)
        self.refs.append(0)
        self.fanouts.append(set())
        self.dead.append(False)
        self.strash[(a, b)] = node
        for fanin in (a >> 1, b >> 1):
            self.refs[fanin] += 1
            self.fanouts[fanin].add(node)
        return 2 * node

    def release(self, node: int) -> None:
        """Deletes an unread AND and the ANDs only it read."""
        stack = [node]
        while stack:
            v = stack.pop()
            if self.dead[v] or self.refs[v] or not self.is_and(v):
                continue
            self.dead[v] = True
            if self.strash.get((self.f0[v], self.f1[v])) == v:
                del self.strash[(self.f0[v], self.f1[v])]
            for fanin in {self.f0[v] >> 1, self.f1[v] >> 1}:
                self.fanouts[fanin].discard(v)
            for fanin in (self.f0[v] >> 1, self.f1[v] >> 1):
                self.refs[fanin] -= 1
                if self.refs[fanin] == 0:
                    stack.append(fanin)

    def replace(self, old: int, new: int) -> None:
        """Every reader of node ``old`` reads literal ``new`` instead (the same function, not read by
        ``old``); readers that fold or repeat an AND are replaced in turn."""
        # Each literal waiting to take a node's place is held by a reference so it is not deleted.
        work = [(old, new)]
        self.refs[new >> 1] += 1
        while work:
            node, held = work.pop()
            lit = held
            while lit >> 1 in self.moved:  # replaced meanwhile: follow it
                lit = self.moved[lit >> 1] ^ (lit & 1)
            if not self.dead[node] and node not in self.moved:
                self._move(node, lit, work)
            self.refs[held >> 1] -= 1
            if self.refs[held >> 1] == 0:
                self.release(held >> 1)
            if self.refs[node] == 0:
                self.release(node)

    def _move(self, node: int, lit: int, work: list[tuple[int, int]]) -> None:
        """The readers of the node read the literal; readers that fold or repeat an AND wait in work."""
        self.moved[node] = lit
        for i, out in enumerate(self.outputs):
            if out >> 1 == node:
                self.outputs[i] = lit ^ (out & 1)
                self.refs[node] -= 1
                self.refs[lit >> 1] += 1
        for reader in list(self.fanouts[node]):
            a, b = self.f0[reader], self.f1[reader]
            if self.strash.get((a, b)) == reader:
                del self.strash[(a, b)]
            a = lit ^ (a & 1) if a >> 1 == node else a
            b = lit ^ (b & 1) if b >> 1 == node else b
            for fanin in (self.f0[reader] >> 1, self.f1[reader] >> 1):
                self.refs[fanin] -= 1
                self.fanouts[fanin].discard(reader)
            if a > b:
                a, b = b, a
            self.f0[reader], self.f1[reader] = a, b
            for fanin in (a >> 1, b >> 1):
                self.refs[fanin] += 1
                self.fanouts[fanin].add(reader)
            self.changed.add(reader)
            other = self.lookup(a, b)
            if other is None:
                self.strash[(a, b)] = reader
            else:  # left unhashed until it is replaced by the literal it equals
                work.append((reader, other))
                self.refs[other >> 1] += 1

    def net(self) -> tuple[list[Gate], list[Output]]:
        """The graph as gates in topological order (inputs 0..n-1) and outputs."""
        n = self.n
        index: dict[int, Output] = {v + 1: (v, False) for v in range(n)}
        index[0] = (None, False)
        gates: list[Gate] = []

        def literal(lit: int) -> Output:
            node, negated = index[lit >> 1]
            return node, negated ^ bool(lit & 1)

        outputs: list[Output] = []
        for out in self.outputs:
            stack = [out >> 1]
            while stack:
                v = stack[-1]
                if v in index:
                    stack.pop()
                    continue
                waiting = [f >> 1 for f in (self.f0[v], self.f1[v]) if f >> 1 not in index]
                if waiting:
                    stack.extend(waiting)
                    continue
                stack.pop()
                key = and_key(literal(self.f0[v]), literal(self.f1[v]))
                if isinstance(key[0], tuple):
                    gate, negated = key
                    gates.append(gate)
                    index[v] = (n + len(gates) - 1, negated)
                else:
                    index[v] = key
            outputs.append(literal(out))
        return gates, outputs
