"""Refactoring of an AND-inverter graph: large cones rewritten by factored forms.

The windows of ``improve`` have at most four leaves; a cone of a dozen inputs built badly (a sum of
products written out, a priority chain) is out of their reach. Here each gate in turn, in
topological order, takes reconvergence-driven cuts of up to 4, 6, 8 and ``max_leaves`` leaves:
starting from its two operands, the leaf whose own operands add the fewest new leaves is replaced
by them (the deeper one on a tie) while the cut stays within the bound; its four-leaf cuts
(``improve_graph.cuts``) are tried too. Its function over a cut (a Python int of 2**k bits) is
written as the factored form of its irredundant sum of products and of that of its complement
(``factoring``), up to ``SHANNON_LEAVES`` leaves also by decision diagrams and Shannon
decompositions (``constructive``), and up to four by the proven optimum (``aig4``). The new gates
are counted against the graph's structural hashing: a gate already in the graph and not freed
costs nothing. The replacement that gains most (the earliest on a tie) is taken when it costs
fewer gates than the gate's maximal fanout-free cone above the cut frees (``zero_gain``: no more,
if it brings the gate earlier). Replacements of one sweep free disjoint cones and reuse no gate
another frees; the graph is then rebuilt (``improve_graph.rebuild``) and kept when it has fewer
gates (``zero_gain``: when its size, depth and sum of levels went down).
"""

from __future__ import annotations

import time
from collections.abc import Sequence

import numpy as np
import numpy.typing as npt

from ..circuit_parts import Gate, Output
from . import aig4, constructive, factoring
from .improve_graph import cuts, freed, gate_table, levels, members, readers, rebuild, variable_tables
from .memo import Memo

#: Leaves of a refactored cone: 2**12 rows is still quick to simulate and to cover.
MAX_LEAVES = 10

#: Up to this many leaves a cone is also written by decision diagrams and Shannon decompositions
#: down to the four-input optima (``constructive``), which suit XORs better than sums of products.
SHANNON_LEAVES = 6

#: Seconds between looks at the deadline inside a sweep.
_POLL = 0.1


def and_key(x: Output, y: Output) -> tuple[Gate, bool] | Output:
    """The normal gate (op, a, b) of the AND of two literals and whether it is complemented, or the
    literal it folds to (a constant or an operand)."""
    if x[0] is None or y[0] is None:
        constant, other = (x, y) if x[0] is None else (y, x)
        return other if constant[1] else (None, False)
    if x[0] == y[0]:
        return x if x[1] == y[1] else (None, False)
    if x[0] > y[0]:
        x, y = y, x
    a, pa = x
    b, pb = y
    assert a is not None and b is not None
    if pa and pb:  # ~a & ~b is the complement of a | b
        return (14, a, b), True
    return (1 << (2 * (not pb) + (not pa)), a, b), False


def reconvergent_cut(n: int, gates: Sequence[Gate], root: int, limit: int, level: Sequence[int]) -> list[int]:
    """Leaves of a cut of ``root`` grown from its operands, fewest new leaves first (see the module)."""
    _, a, b = gates[root - n]
    seen = {root, a, b}
    leaves = {a, b}
    while True:
        best: tuple[int, int, int] | None = None
        for leaf in leaves:
            if leaf < n:
                continue
            _, c, d = gates[leaf - n]
            added = (c not in seen) + (d not in seen)
            if best is None or (added, -level[leaf]) < best[:2]:
                best = (added, -level[leaf], leaf)
        if best is None or len(leaves) - 1 + best[0] > limit:
            return sorted(leaves)
        leaf = best[2]
        leaves.discard(leaf)
        _, c, d = gates[leaf - n]
        for child in (c, d):
            if child not in seen:
                seen.add(child)
                leaves.add(child)


#: A replacement: AND steps over literals (index, complemented), indices below k the leaves and
#: k + j step j, and the output literal (index None for a constant).
Program = tuple[list[tuple[Output, Output]], Output]


def expression_program(expr: factoring.Expr, k: int) -> Program:
    """The expression's ANDs (an OR as the complement of the AND of complements), left to right."""
    steps: list[tuple[Output, Output]] = []

    def make(e: factoring.Expr) -> Output:
        if e[0] == "const":
            return None, bool(e[1])
        if e[0] == "lit":
            literal = int(e[1])
            return literal >> 1, bool(literal & 1)
        orred = e[0] == "or"
        parts: list[factoring.Expr] = e[1]
        value = make(parts[0])
        for part in parts[1:]:
            other = make(part)
            steps.append(((value[0], value[1] ^ orred), (other[0], other[1] ^ orred)))
            value = (k + len(steps) - 1, orred)
        return value

    out = make(expr)
    return steps, out


def net_program(gates: Sequence[Gate], output: Output, k: int, width: int) -> Program:
    """The program of an AND-type gate list over ``width`` inputs (the first k of them the leaves)."""
    steps: list[tuple[Output, Output]] = []
    index: list[int] = list(range(k)) + [0] * (width - k)
    negate: list[bool] = [False] * width
    for op, a, b in gates:
        ones = [(x, y) for y in (0, 1) for x in (0, 1) if op >> (2 * y + x) & 1]
        if len(ones) not in (1, 3):
            raise ValueError(f"not an AND-type gate: {op}")
        x, y = ones[0] if len(ones) == 1 else next((x, y) for y in (0, 1) for x in (0, 1) if (x, y) not in ones)
        steps.append(((index[a], negate[a] ^ (x == 0)), (index[b], negate[b] ^ (y == 0))))
        index.append(k + len(steps) - 1)
        negate.append(len(ones) == 3)
    node, negated = output
    return steps, (None, negated) if node is None else (index[node], negate[node] ^ negated)


class _Sweep:
    """One refactoring sweep over a graph: the replacements found and the gates they add."""

    def __init__(self, n: int, gates: list[Gate], outputs: list[Output]) -> None:
        self.n = n
        self.gates = gates
        self.count = readers(n, gates, outputs)
        self.depths = levels(n, gates)
        self.level = dict(enumerate(self.depths))  # with the gates added, and -1 - j for fresh gate j
        self.known = {gate: n + i for i, gate in enumerate(gates)}
        self.definitions = list(gates)
        self.replaced: dict[int, Output] = {}
        self.taken: set[int] = set()  # gates freed by the replacements taken
        self.read: set[int] = set()  # leaves and reused gates of the replacements taken

    def place(
        self, program: Program, leaves: Sequence[int], banned: set[int], most: int, emit: bool
    ) -> tuple[int, Output, set[int], int] | None:
        """The gates the program adds on the leaves, reusing the graph's gates outside ``banned``, its
        output, the gates it reuses and the output's level; None above ``most`` new gates. ``emit``
        appends them."""
        steps, out = program
        fresh: dict[Gate, int] = {}
        used: set[int] = set()
        value: list[Output] = [(leaf, False) for leaf in leaves]

        def literal(lit: Output) -> Output:
            if lit[0] is None:
                return lit
            node, negated = value[lit[0]]
            return node, negated ^ lit[1]

        for x, y in steps:
            key = and_key(literal(x), literal(y))
            if isinstance(key[0], tuple):
                gate, negated = key
                node = self.known.get(gate)
                if node is None or node in banned:
                    node = fresh.get(gate)
                    if node is None:
                        if len(fresh) >= most:
                            return None
                        if emit:
                            self.definitions.append(gate)
                            node = self.known[gate] = self.n + len(self.definitions) - 1
                        else:
                            node = -1 - len(fresh)
                        fresh[gate] = node
                        self.level[node] = max(self.level[gate[1]], self.level[gate[2]]) + 1
                elif node < self.n + len(self.gates):
                    used.add(node)
                value.append((node, negated))
            else:
                value.append(key)
        final = literal(out)
        return len(fresh), final, used, 0 if final[0] is None else self.level[final[0]]

    def consider(self, root: int, max_leaves: int, zero_gain: bool, windows: list[int] | None = None) -> bool:
        """Whether the gate was replaced by a factored form of a cone of it (or an exact circuit)."""
        n = self.n
        if self.count[root] == 0 or root in self.taken or root in self.read:
            return False
        cut_list = [reconvergent_cut(n, self.gates, root, size, self.depths) for size in _sizes(max_leaves)]
        cut_list += [members(c) for c in windows or []]
        best: tuple[int, int, Program, list[int], list[int]] | None = None  # gain, -level, ...
        seen: set[tuple[int, ...]] = set()
        for leaves in cut_list:
            if tuple(leaves) in seen or len(leaves) < 2 or not self.taken.isdisjoint(leaves):
                continue
            seen.add(tuple(leaves))
            gone = freed(n, self.gates, self.count, [root], leaves)
            if not self.read.isdisjoint(gone) or not self.taken.isdisjoint(gone):
                continue
            banned = self.taken | set(gone)
            table = cone_table(n, self.gates, root, leaves)
            for program in _programs(table, len(leaves)):
                most = len(gone) - (0 if zero_gain else 1) if best is None else len(gone) - best[0]
                placed = None if most < 0 else self.place(program, leaves, banned, most, False)
                if placed is None or placed[1][0] == root:
                    continue
                gain = len(gone) - placed[0]
                if best is None or (gain, -placed[3]) > best[:2]:
                    best = (gain, -placed[3], program, leaves, gone)
        # A rewrite of the same size is taken (``zero_gain``) when it brings the gate earlier.
        if best is None or best[0] < 0 or (best[0] == 0 and not (zero_gain and -best[1] < self.level[root])):
            return False
        _, _, program, leaves, gone = best
        banned = self.taken | set(gone)
        placed = self.place(program, leaves, banned, len(gone) + 1, True)
        assert placed is not None
        self.replaced[root] = placed[1]
        self.taken.update(gone)
        self.read.update(leaves)
        self.read.update(placed[2])
        return True


_variables = Memo(lambda k: tuple(variable_tables(k)), 16)


def cone_table(n: int, gates: Sequence[Gate], root: int, leaves: Sequence[int]) -> int:
    """The table of ``root`` over a cut of it (an int of 2**k bits, leaf j as variable j)."""
    k = len(leaves)
    mask = (1 << (1 << k)) - 1
    table = dict(zip(leaves, _variables(k), strict=True))
    stack = [root]
    while stack:
        v = stack[-1]
        if v in table:
            stack.pop()
            continue
        op, a, b = gates[v - n]
        waiting = [c for c in (a, b) if c not in table]
        if waiting:
            stack.extend(waiting)
            continue
        stack.pop()
        table[v] = gate_table(op, table[a], table[b], mask)
    return table[root]


def _sizes(most: int) -> list[int]:
    return sorted({min(4, most), min(6, most), min(8, most), most})


def _decompositions(bits: npt.NDArray[np.bool_]) -> list[Program]:
    """Programs of a table from its decision diagrams (both variable orders, down to the inputs or
    to the four-input optima) and its Shannon decomposition (``constructive``)."""
    k = len(bits).bit_length() - 1
    found = []
    for order in (list(range(k)), list(range(k))[::-1]):
        rows = np.arange(len(bits))
        permuted = bits[sum((rows >> j & 1) << v for j, v in enumerate(order))]  # variable j is order[j]
        for leaves in (0, 4):
            build = constructive.Builder(k, "AIG")
            out = constructive.Diagram(build, "AIG", None, leaves).circuit(permuted, order)
            found.append(net_program(build.gates, out, k, k))
    build = constructive.Builder(k, "AIG")
    out = constructive.Shannon(build, "AIG", None).circuit(bits, list(range(k)))
    found.append(net_program(build.gates, out, k, k))
    return found


def _make_programs(table: int, k: int) -> list[Program]:
    """Replacements of a table over k leaves: its factored forms, and for four leaves or fewer the
    proven smallest AIG."""
    found = []
    for expr, negated in factoring.forms(table, k):
        steps, (node, flip) = expression_program(expr, k)
        found.append((steps, (node, flip ^ negated)))
    if 4 < k <= SHANNON_LEAVES:
        found += _decompositions(factoring.table_bits(table, k))
    if k <= 4:
        spread = sum(1 << x for x in range(16) if table >> (x & ((1 << k) - 1)) & 1)
        known = aig4.lookup(factoring.table_bits(spread, 4))
        if known is not None:
            found.append(net_program(known[0], known[1], k, 4))
    return found


_programs = Memo(_make_programs, 1 << 14)


def refactor(
    n: int,
    net: tuple[list[Gate], list[Output]],
    deadline: float | None,
    max_leaves: int = MAX_LEAVES,
    zero_gain: bool = False,
    windows: bool = True,
) -> tuple[tuple[list[Gate], list[Output]], int] | None:
    """The graph after one sweep of refactoring and the cones replaced, or None when it is not smaller
    (with ``zero_gain``: when its size, depth and sum of levels did not go down)."""
    gates, outputs = net
    sweep = _Sweep(n, list(gates), list(outputs))
    small = cuts(n, gates, 4, 8, sweep.depths) if windows else None
    polled = time.monotonic()
    for index in range(len(gates)):
        now = time.monotonic()
        if now - polled >= _POLL:
            polled = now
            if deadline is not None and now >= deadline:
                break
        sweep.consider(n + index, max_leaves, zero_gain, None if small is None else small[n + index][1:])
    if not sweep.replaced:
        return None
    rebuilt = rebuild(n, sweep.definitions, outputs, sweep.replaced, aig=True)
    if len(rebuilt[0]) > len(gates) or (len(rebuilt[0]) == len(gates) and not zero_gain):
        return None
    if not graph_key(n, rebuilt) < graph_key(n, net):  # so that rewrites of the same size end
        return None
    return rebuilt, len(sweep.replaced)


def graph_key(n: int, net: tuple[list[Gate], list[Output]]) -> tuple[int, int, int]:
    """(size, depth, sum of the gates' levels): what a pass of the same size must bring down."""
    level = levels(n, net[0])
    return len(net[0]), max((level[v] for v, _ in net[1] if v is not None), default=0), sum(level[n:])
