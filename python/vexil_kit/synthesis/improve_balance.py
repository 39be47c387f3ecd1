"""Balancing of an AND-inverter graph: each AND tree rebuilt by the levels of its leaves.

A gate of an AIG (any AND-type op; ``improve_graph.rebuild`` leaves ANDs and ORs) is an AND of two
literals, complemented for an OR. The AND tree of a gate (its supergate) takes in, through
uncomplemented edges, the gates that only it reads and that no output reads; its leaves are the
other literals. Each leaf is balanced first; then the two earliest leaves are joined, the pair
already in the graph preferred among those of the same level, until one is left. No gate is
duplicated, so the size never rises; the depth, and the structure that the windows of
``improve`` see, change: a rewrite after it often finds sharing that the chains hid.
"""

from __future__ import annotations

import time
from collections.abc import Sequence

from ..circuit_parts import Gate, Output
from .improve_graph import readers, rebuild
from .improve_refactor import and_key, graph_key

#: Seconds between looks at the deadline.
_POLL = 0.1


def _fanins(op: int, a: int, b: int) -> tuple[tuple[int, bool], tuple[int, bool], bool]:
    """The gate as an AND of two literals, complemented (an OR) or not."""
    ones = [(x, y) for y in (0, 1) for x in (0, 1) if op >> (2 * y + x) & 1]
    if len(ones) not in (1, 3):
        raise ValueError(f"not an AND-type gate: {op}")
    x, y = ones[0] if len(ones) == 1 else next((x, y) for y in (0, 1) for x in (0, 1) if (x, y) not in ones)
    return (a, x == 0), (b, y == 0), len(ones) == 3


class _Balancer:
    def __init__(self, n: int, gates: Sequence[Gate], outputs: Sequence[Output], deadline: float | None) -> None:
        self.n = n
        self.gates = gates
        self.count = readers(n, gates, outputs)
        self.is_output = {node for node, _ in outputs if node is not None}
        self.deadline = deadline
        self.polled = time.monotonic()
        self.new: list[Gate] = []
        self.known: dict[Gate, int] = {}
        self.level = [0] * n
        self.done: dict[int, Output] = {v: (v, False) for v in range(n)}

    def _and(self, x: Output, y: Output) -> Output:
        key = and_key(x, y)
        if not isinstance(key[0], tuple):
            return key
        gate, negated = key
        node = self.known.get(gate)
        if node is None:
            self.new.append(gate)
            node = self.known[gate] = self.n + len(self.new) - 1
            self.level.append(max(self.level[gate[1]], self.level[gate[2]]) + 1)
        return node, negated

    def _level(self, lit: Output) -> int:
        return 0 if lit[0] is None else self.level[lit[0]]

    def _leaves(self, v: int) -> list[tuple[int, bool]]:
        """The literals (old nodes) at the leaves of the AND tree of gate v."""
        found: list[tuple[int, bool]] = []
        stack = [v]
        while stack:
            op, a, b = self.gates[stack.pop() - self.n]
            x, y, _ = _fanins(op, a, b)
            for node, negated in (x, y):
                # An OR read complemented is an AND too.
                inner = node >= self.n and negated == _fanins(*self.gates[node - self.n])[2]
                if inner and self.count[node] == 1 and node not in self.is_output:
                    stack.append(node)
                else:
                    found.append((node, negated))
        return found

    def node(self, v: int) -> Output:
        """The new literal of old node v, its trees balanced (iteratively, deepest first)."""
        stack = [v]
        while stack:
            u = stack[-1]
            if u in self.done:
                stack.pop()
                continue
            leaves = self._leaves(u)
            waiting = [node for node, _ in leaves if node not in self.done]
            if waiting:
                stack.extend(waiting)
                continue
            stack.pop()
            self._poll()
            lits = [(self.done[node][0], self.done[node][1] ^ negated) for node, negated in leaves]
            value = self._tree(lits)
            self.done[u] = (value[0], value[1] ^ _fanins(*self.gates[u - self.n])[2])
        return self.done[v]

    def _tree(self, lits: list[Output]) -> Output:
        lits = sorted(set(lits), key=self._level, reverse=True)
        while len(lits) > 1:
            last = lits.pop()
            # Among the literals as early as the next, one whose AND with the last exists already.
            second = len(lits) - 1
            for j in range(len(lits) - 1, -1, -1):
                if self._level(lits[j]) != self._level(lits[-1]):
                    break
                key = and_key(last, lits[j])
                if isinstance(key[0], tuple) and key[0] in self.known:
                    second = j
                    break
            other = lits.pop(second)
            joined = self._and(last, other)
            if joined[0] is None and not joined[1]:
                return joined
            place = len(lits)
            while place > 0 and self._level(lits[place - 1]) < self._level(joined):
                place -= 1
            lits.insert(place, joined)
        return lits[0] if lits else (None, True)

    def _poll(self) -> None:
        now = time.monotonic()
        if now - self.polled >= _POLL:
            self.polled = now
            if self.deadline is not None and now >= self.deadline:
                raise TimeoutError


def balance(
    n: int, net: tuple[list[Gate], list[Output]], deadline: float | None
) -> tuple[tuple[list[Gate], list[Output]], int] | None:
    """The graph with its AND trees balanced and the gates new in it, or None unless its size, else
    its depth, else the sum of its gates' levels went down (or when the time is up)."""
    gates, outputs = net
    balancer = _Balancer(n, gates, outputs, deadline)
    try:
        final: list[Output] = []
        for node, negated in outputs:
            if node is None:
                final.append((None, negated))
            else:
                lit = balancer.node(node)
                final.append((lit[0], lit[1] ^ negated))
    except TimeoutError:
        return None
    rebuilt = rebuild(n, balancer.new, final, aig=True)
    if not graph_key(n, rebuilt) < graph_key(n, net):
        return None
    before = set(gates)
    return rebuilt, sum(1 for gate in rebuilt[0] if gate not in before)
