"""The gate graph that local improvement rewrites: folding, sharing, cuts, windows and their freed gates.

A graph is a circuit's parts, ``n`` inputs, gates ``(op, a, b)`` and outputs ``(node or None,
negated)``, as ``Circuit`` holds them. ``rebuild`` is the one way a graph changes: it walks back
from the outputs, replaces the nodes it is told to by other literals, folds constants, repeated
operands and degenerate ops away, keeps every gate normal (0 on the all-zero input, inverters
moved into the readers' ops or the outputs), merges gates computing the same op of the same
operands, and drops what no output reads. The result is in topological order again.

Windows are found by k-feasible cut enumeration with a priority limit: a cut of node r is a set
of at most k nodes that every path from an input to r meets; a node keeps its ``limit`` best
cuts (the most leaves, then the shallowest, so the cones are large) besides the trivial one.
A window's truth table is a Python int of 2**k bits over its leaves.
"""

from __future__ import annotations

from collections.abc import Mapping, Sequence

from ..circuit_parts import Gate, Output

XOR_OP = 6


def gate_table(op: int, a: int, b: int, mask: int) -> int:
    """The table (an int of bits) of gate ``op`` on operand tables a and b, within ``mask``."""
    value = 0
    for row in range(4):
        if op >> row & 1:
            value |= (a if row & 1 else ~a) & (b if row & 2 else ~b)
    return value & mask


def variable_tables(k: int) -> list[int]:
    """The tables of the k variables over 2**k rows: bit x of table j is bit j of x."""
    rows = 1 << k
    return [sum(1 << x for x in range(rows) if x >> j & 1) for j in range(k)]


class _Folder:
    """Gates built normal and shared; ``aig`` writes each XOR as three AND-type gates."""

    def __init__(self, n: int, aig: bool) -> None:
        self.n = n
        self.aig = aig
        self.gates: list[Gate] = []
        self.known: dict[Gate, int] = {}

    def gate(self, op: int, left: Output, right: Output) -> Output:
        (x, px), (y, py) = left, right
        # t[2Y + X] is the gate's value when the operand nodes take the values X and Y.
        t = [op >> (2 * (yy ^ py) + (xx ^ px)) & 1 for yy in (0, 1) for xx in (0, 1)]
        if x is None and y is None:
            return None, bool(t[0])
        if x is None or (y is not None and t[0] == t[1] and t[2] == t[3]):
            return self._unary(t[0], t[2], y)
        if y is None or x == y:
            return self._unary(t[0], t[3] if x == y else t[1], x)
        if t[0] == t[2] and t[1] == t[3]:
            return self._unary(t[0], t[1], x)
        if x > y:
            x, y, t = y, x, [t[0], t[2], t[1], t[3]]
        negated = t[0]
        normal = (t[1] ^ negated) << 1 | (t[2] ^ negated) << 2 | (t[3] ^ negated) << 3
        if self.aig and normal == XOR_OP:
            both = self.gate(8, (x, False), (y, False))
            either = self.gate(14, (x, False), (y, False))
            node, flip = self.gate(2, either, both)
            return node, flip ^ bool(negated)
        key = (normal, x, y)
        node = self.known.get(key)
        if node is None:
            self.gates.append(key)
            node = self.known[key] = self.n + len(self.gates) - 1
        return node, bool(negated)

    @staticmethod
    def _unary(low: int, high: int, node: int | None) -> Output:
        return (None, bool(low)) if low == high else (node, bool(low))


def rebuild(
    n: int,
    definitions: Sequence[Gate],
    outputs: Sequence[Output],
    replaced: Mapping[int, Output] | None = None,
    aig: bool = False,
) -> tuple[list[Gate], list[Output]]:
    """The graph read back from the outputs, node v taken as the literal ``replaced[v]`` where given.

    ``definitions`` may hold gates after those of the circuit (a replacement's), read through
    ``replaced``; nodes must not depend on themselves through it (RuntimeError).
    """
    replaced = replaced or {}
    folder = _Folder(n, aig)
    literal: dict[int, Output] = {v: (v, False) for v in range(n)}
    steps = 0
    bound = 8 * (n + len(definitions)) + len(outputs) + 16
    for root, _ in outputs:
        if root is None:
            continue
        stack = [root]
        while stack:
            steps += 1
            if steps > bound:
                raise RuntimeError("internal error: a replacement made the graph cyclic")
            v = stack[-1]
            if v in literal:
                stack.pop()
                continue
            if v in replaced:
                target, flip = replaced[v]
                if target is not None and target not in literal:
                    stack.append(target)
                    continue
                node, negated = literal[target] if target is not None else (None, False)
                literal[v] = (node, negated ^ flip)
                stack.pop()
                continue
            op, a, b = definitions[v - n]
            waiting = [c for c in (a, b) if c not in literal]
            if waiting:
                stack.extend(waiting)
                continue
            stack.pop()
            literal[v] = folder.gate(op, literal[a], literal[b])
    final: list[Output] = []
    for node, negated in outputs:
        if node is None:
            final.append((None, negated))
        else:
            target, flip = literal[node]
            final.append((target, flip ^ negated))
    return folder.gates, final


def levels(n: int, gates: Sequence[Gate]) -> list[int]:
    """Each node's depth: 0 for an input, one more than its deeper operand for a gate."""
    level = [0] * n
    for _, a, b in gates:
        level.append(max(level[a], level[b]) + 1)
    return level


def depth(n: int, gates: Sequence[Gate], outputs: Sequence[Output], level: Sequence[int] | None = None) -> int:
    level = levels(n, gates) if level is None else level
    return max((level[node] for node, _ in outputs if node is not None), default=0)


def readers(n: int, gates: Sequence[Gate], outputs: Sequence[Output]) -> list[int]:
    """How many gate operands and outputs read each node."""
    count = [0] * (n + len(gates))
    for _, a, b in gates:
        count[a] += 1
        count[b] += 1
    for node, _ in outputs:
        if node is not None:
            count[node] += 1
    return count


def cuts(n: int, gates: Sequence[Gate], k: int, limit: int, level: Sequence[int]) -> list[list[int]]:
    """The cuts of each node as bit masks over the nodes, the trivial cut first."""
    found: list[list[int]] = [[1 << v] for v in range(n)]
    for i, (_, a, b) in enumerate(gates):
        merged = set()
        for left in found[a]:
            for right in found[b]:
                union = left | right
                if union.bit_count() <= k:
                    merged.add(union)
        kept: list[int] = []
        for cut in sorted(merged, key=int.bit_count):
            if not any(other & ~cut == 0 for other in kept):
                kept.append(cut)
        kept.sort(key=lambda cut: (-cut.bit_count(), sum(level[v] for v in members(cut))))
        found.append([1 << (n + i), *kept[:limit]])
    return found


def members(mask: int) -> list[int]:
    """The nodes of a bit mask, in increasing order."""
    nodes = []
    while mask:
        low = mask & -mask
        nodes.append(low.bit_length() - 1)
        mask ^= low
    return nodes


class Window:
    """The cone of ``root`` above the ``leaves``: its gates, the table of each, and what a rewrite frees."""

    def __init__(self, n: int, gates: Sequence[Gate], root: int, leaves: Sequence[int]) -> None:
        self.root = root
        self.leaves = tuple(leaves)
        k = len(self.leaves)
        self.mask = (1 << (1 << k)) - 1
        table = dict(zip(self.leaves, variable_tables(k), strict=True))
        inner: list[int] = []
        stack = [root]
        while stack:
            v = stack[-1]
            if v in table:
                stack.pop()
                continue
            if v < n:
                raise ValueError(f"the leaves {self.leaves} are no cut of node {root}")
            op, a, b = gates[v - n]
            waiting = [c for c in (a, b) if c not in table]
            if waiting:
                stack.extend(waiting)
                continue
            stack.pop()
            table[v] = gate_table(op, table[a], table[b], self.mask)
            inner.append(v)
        self.table = table
        self.inner = inner  # topological order, the root last

    def freed(self, n: int, gates: Sequence[Gate], count: Sequence[int]) -> list[int]:
        """The gates no longer needed once the root is computed otherwise (its maximal fanout-free cone)."""
        return freed(n, gates, count, [self.root], self.leaves)

    def shared(self, n: int, gates: Sequence[Gate], count: Sequence[int]) -> list[int] | None:
        """The window's gates other than the root read from outside it, or None when a leaf lies above
        one of them (its replacement could then not come before that leaf)."""
        if not self.inner or max(self.leaves, default=-1) > min(self.inner):
            return None
        inside = set(self.inner)
        within = dict.fromkeys(self.inner, 0)
        for v in self.inner:
            _, a, b = gates[v - n]
            for c in (a, b):
                if c in inside:
                    within[c] += 1
        return [v for v in self.inner if v != self.root and count[v] > within[v]]


def freed(
    n: int, gates: Sequence[Gate], count: Sequence[int], roots: Sequence[int], leaves: Sequence[int]
) -> list[int]:
    """The roots and the gates below them, above the leaves, that nothing else reads once the roots
    are computed otherwise."""
    stop = set(leaves)
    gone = list(roots)
    taken: dict[int, int] = {}
    stack = list(roots)
    while stack:
        _, a, b = gates[stack.pop() - n]
        for c in (a, b):
            if c >= n and c not in stop and c not in roots:
                taken[c] = taken.get(c, 0) + 1
                if taken[c] == count[c]:
                    gone.append(c)
                    stack.append(c)
    return gone
