"""Rewriting of an AND-inverter graph in place: four-leaf cuts replaced one at a time.

The windows of ``improve`` are replaced together once a pass, and only when each gains. Here the
graph is an ``aig_incremental.Aig`` (reference counts, structural hashing) and each AND in turn,
in topological order, takes its four-leaf cuts (at most ``CUT_LIMIT``, the most leaves first); its
function over a cut is written by every structure known for it: the proven optimum of its NPN
class (``aig4``) and the factored forms of it and of its complement (``improve_refactor``). A
structure's cost is its ANDs not already in the graph outside the cone it would free (the AND's
maximal fanout-free cone above the cut; a gate of that cone it reuses costs one, being kept). The
structure that gains most is applied at once when it gains, or, with ``zero_gain``, when it costs
no more than it frees: an equal-size restructuring moves the sharing so that later cuts, in the
same sweep and in later stages, find gains that the first structure hid.
"""

from __future__ import annotations

import itertools
import time
from collections.abc import Sequence

import numpy as np

from .. import canonical
from ..circuit_parts import Gate, Output
from . import aig4, factoring
from .aig_incremental import Aig
from .improve_refactor import Program, _programs, net_program
from .memo import Memo

#: Cuts kept a node (besides the node itself).
CUT_LIMIT = 64

#: Sweeps without a gain before rewriting stops.
SWEEPS = 2

#: Leaves of a cut.
CUT_SIZE = 4

#: Seconds between looks at the deadline.
_POLL = 0.1

#: ANDs of a cone whose table is computed: larger cones of four leaves are skipped.
_CONE_LIMIT = 24

_VARIABLES = (0xAAAA, 0xCCCC, 0xF0F0, 0xFF00)


class _TooDear(Exception):
    """A structure costs more than allowed."""


_forms = Memo(factoring.forms, 1 << 14)


#: The (permutation, input complements) of four inputs and the row of the class's table that each
#: row of a function's table reads under it: f(x) = c(y), y_i = x[perm[i]] ^ flip_i.
_TRANSFORMS = [(perm, flips) for perm in itertools.permutations(range(4)) for flips in range(16)]
_ROWS = np.array(
    [
        [sum(((x >> perm[i] & 1) ^ (flips >> i & 1)) << i for i in range(4)) for x in range(16)]
        for perm, flips in _TRANSFORMS
    ]
)
_WEIGHTS = np.int64(1) << np.arange(16, dtype=np.int64)

#: Structures kept of one function: its class's optimum under each transform that gives it.
OPTIMA_LIMIT = 12


def _make_optima(table: int, k: int) -> list[Program]:
    """The proven optimum of the function's class on the function's leaves, under every renaming of
    the inputs that the function's symmetries allow (they share different pairs of leaves)."""
    spread = sum(1 << x for x in range(16) if table >> (x & ((1 << k) - 1)) & 1)
    least, _ = canonical.npn_canonical(factoring.table_bits(spread, 4))
    entry = aig4._known().get(int(np.asarray(least, dtype=np.int64) @ _WEIGHTS))
    if entry is None:
        return []
    words = np.asarray(least, dtype=np.int64)[_ROWS] @ _WEIGHTS
    found: dict[tuple[frozenset[Output], ...], Program] = {}
    for negated in (False, True):
        for index in np.flatnonzero(words == (spread ^ (0xFFFF if negated else 0))):
            perm, flips = _TRANSFORMS[index]
            gates, out = aig4._rename(entry, perm, flips, negated)
            program = net_program(gates, out, k, 4)
            found.setdefault(tuple(frozenset(step) for step in program[0]), program)
            if len(found) >= OPTIMA_LIMIT:
                return list(found.values())
    return list(found.values())


_optima = Memo(_make_optima, 1 << 14)


def _literal(value: Sequence[int | None], lit: Output) -> int | None:
    """A program's literal in the graph (None for an AND not in it)."""
    if lit[0] is None:
        return int(lit[1])
    found = value[lit[0]]
    return None if found is None else found ^ lit[1]


class _Rewriter:
    def __init__(self, aig: Aig, zero_gain: bool) -> None:
        self.aig = aig
        self.zero_gain = zero_gain
        self.cache: dict[int, list[tuple[int, ...]]] = {}

    def cuts(self, root: int) -> list[tuple[int, ...]]:
        """The four-leaf cuts of a node (without itself), from its fanins' cuts, kept until its
        fanins change; those of fanins changed since are checked when their tables are taken."""
        aig = self.aig
        stack = [root]
        while stack:
            v = stack[-1]
            if v in self.cache:
                stack.pop()
                continue
            if not aig.is_and(v):
                self.cache[v] = []
                stack.pop()
                continue
            fanins = (aig.f0[v] >> 1, aig.f1[v] >> 1)
            waiting = [f for f in fanins if f not in self.cache]
            if waiting:
                stack.extend(waiting)
                continue
            stack.pop()
            left = [(fanins[0],), *self.cache[fanins[0]]]
            right = [(fanins[1],), *self.cache[fanins[1]]]
            found: set[tuple[int, ...]] = set()
            for x in left:
                for y in right:
                    merged = tuple(sorted(set(x) | set(y)))
                    if len(merged) <= CUT_SIZE:
                        found.add(merged)
            self.cache[v] = sorted(found, key=lambda c: (-len(c), c))[:CUT_LIMIT]
        return self.cache[root]

    def table(self, root: int, leaves: Sequence[int]) -> int | None:
        """The root's table over the leaves (leaf j as variable j), None when they are no cut of it."""
        aig = self.aig
        value = {leaf: _VARIABLES[j] for j, leaf in enumerate(leaves)}
        value[0] = 0
        stack = [root]
        while stack:
            v = stack[-1]
            if v in value:
                stack.pop()
                continue
            if not aig.is_and(v) or aig.dead[v] or len(value) > _CONE_LIMIT:
                return None
            a, b = aig.f0[v], aig.f1[v]
            waiting = [f >> 1 for f in (a, b) if f >> 1 not in value]
            if waiting:
                stack.extend(waiting)
                continue
            stack.pop()
            x = value[a >> 1] ^ (0xFFFF if a & 1 else 0)
            y = value[b >> 1] ^ (0xFFFF if b & 1 else 0)
            value[v] = x & y
        return value[root]

    def cone(self, root: int, leaves: Sequence[int]) -> set[int]:
        """The root's maximal fanout-free cone above the leaves (the ANDs freed with it)."""
        aig = self.aig
        bound = set(leaves)
        freed = {root}
        lowered: list[int] = []
        stack = [root]
        while stack:
            v = stack.pop()
            for fanin in (aig.f0[v] >> 1, aig.f1[v] >> 1):
                if fanin in bound or not aig.is_and(fanin):
                    continue
                aig.refs[fanin] -= 1
                lowered.append(fanin)
                if aig.refs[fanin] == 0:
                    freed.add(fanin)
                    stack.append(fanin)
        for v in lowered:
            aig.refs[v] += 1
        return freed

    def cost(self, program: Program, root: int, leaves: Sequence[int], freed: set[int], most: int) -> int | None:
        """The ANDs the program adds on the leaves (see the module), None above ``most`` or when it
        would read the root."""
        aig = self.aig
        steps, out = program
        value: list[int | None] = [2 * leaf for leaf in leaves]
        added = 0
        for x, y in steps:
            a = _literal(value, x)
            b = _literal(value, y)
            found = None if a is None or b is None else aig.lookup(a, b)
            if found is not None and found >> 1 == root:
                return None
            if found is None or found >> 1 in freed:
                added += 1
                if added > most:
                    return None
            value.append(found)
        final = _literal(value, out)
        return None if final is not None and final >> 1 == root else added

    def associate(
        self, expr: factoring.Expr, negated: bool, root: int, leaves: Sequence[int], freed: set[int], most: int
    ) -> tuple[Program, int] | None:
        """A program of a factored form whose ANDs of several operands are joined, where it can, by
        pairs already in the graph and not freed; with its cost (as ``cost``), None above ``most``."""
        aig = self.aig
        k = len(leaves)
        steps: list[tuple[Output, Output]] = []
        value: list[int | None] = [2 * leaf for leaf in leaves]
        added = 0

        def join(x: Output, y: Output) -> Output:
            nonlocal added
            a, b = _literal(value, x), _literal(value, y)
            found = None if a is None or b is None else aig.lookup(a, b)
            if found is not None and found >> 1 == root:
                raise _TooDear
            if found is None or found >> 1 in freed:
                added += 1
                if added > most:
                    raise _TooDear
            steps.append((x, y))
            value.append(found)
            return k + len(steps) - 1, False

        def make(e: factoring.Expr) -> Output:
            if e[0] == "const":
                return None, bool(e[1])
            if e[0] == "lit":
                return int(e[1]) >> 1, bool(int(e[1]) & 1)
            orred = e[0] == "or"
            parts = [make(part) for part in e[1]]
            parts = [(i, c ^ orred) for i, c in parts]
            while len(parts) > 1:
                pair = self._shared_pair(parts, value, freed)
                i, j = pair if pair is not None else (0, 1)
                x, y = parts[i], parts[j]
                del parts[j], parts[i]
                parts.insert(0, join(x, y))
            return parts[0][0], parts[0][1] ^ orred

        try:
            out = make(expr)
        except _TooDear:
            return None
        final = _literal(value, out)
        if final is not None and final >> 1 == root:
            return None
        return (steps, (out[0], out[1] ^ negated)), added

    def _shared_pair(self, parts: list[Output], value: list[int | None], freed: set[int]) -> tuple[int, int] | None:
        """Two operands whose AND is in the graph and not freed."""
        for i in range(len(parts)):
            a = _literal(value, parts[i])
            if a is None:
                continue
            for j in range(i + 1, len(parts)):
                b = _literal(value, parts[j])
                found = None if b is None else self.aig.lookup(a, b)
                if found is not None and found >> 1 not in freed:
                    return i, j
        return None

    def build(self, program: Program, leaves: Sequence[int]) -> int:
        """The program's output literal, its ANDs added to the graph."""
        steps, out = program
        value: list[int | None] = [2 * leaf for leaf in leaves]
        for x, y in steps:
            a, b = _literal(value, x), _literal(value, y)
            assert a is not None and b is not None
            value.append(self.aig.conjoin(a, b))
        final = _literal(value, out)
        assert final is not None
        return final

    def consider(self, root: int) -> bool:
        """Whether the best structure of a cut of the root was applied."""
        aig = self.aig
        best: tuple[int, Program, tuple[int, ...]] | None = None
        for leaves in self.cuts(root):
            table = None if any(aig.dead[leaf] for leaf in leaves) else self.table(root, leaves)
            if table is None:
                continue
            k = len(leaves)
            freed = self.cone(root, leaves)
            floor = 0 if self.zero_gain else 1
            if best is not None:
                floor = max(floor, best[0] + 1)
            most = len(freed) - floor
            if most < 0:
                continue
            bits = table & ((1 << (1 << k)) - 1)
            for program in [*_optima(bits, k), *_programs(bits, k)]:
                added = self.cost(program, root, leaves, freed, most)
                if added is not None:
                    best = (len(freed) - added, program, leaves)
                    most = added - 1
                    if most < 0:
                        break
            for expr, negated in _forms(bits, k) if most >= 0 else []:
                found = self.associate(expr, negated, root, leaves, freed, most)
                if found is not None:
                    best = (len(freed) - found[1], found[0], leaves)
                    most = found[1] - 1
                    if most < 0:
                        break
        if best is None:
            return False
        first = len(aig.f0)
        new = self.build(best[1], best[2])
        if new >> 1 != root:
            aig.replace(root, new)
        for v in range(first, len(aig.f0)):  # ANDs built that nothing came to read
            if aig.refs[v] == 0 and not aig.dead[v]:
                aig.release(v)
        for v in aig.changed:
            self.cache.pop(v, None)
        aig.changed.clear()
        return new >> 1 != root


def sweep(aig: Aig, zero_gain: bool, deadline: float | None) -> int:
    """Rewrites each AND of the graph once, in place; the structures applied."""
    rewriter = _Rewriter(aig, zero_gain)
    applied = 0
    polled = time.monotonic()
    for v in range(aig.n + 1, len(aig.f0)):
        now = time.monotonic()
        if now - polled >= _POLL:
            polled = now
            if deadline is not None and now >= deadline:
                break
        if aig.dead[v] or not aig.is_and(v) or aig.refs[v] == 0:
            continue
        applied += rewriter.consider(v)
    return applied


def rewrite(
    n: int, net: tuple[list[Gate], list[Output]], deadline: float | None, sweeps: int = SWEEPS
) -> tuple[tuple[list[Gate], list[Output]], int] | None:
    """The graph after sweeps of rewriting that take moves of no gain too, while one in ``sweeps``
    makes it smaller, and the structures applied; None when it is not smaller."""
    aig = Aig(n, *net)
    best, applied, idle = aig.size(), 0, 0
    kept: tuple[list[Gate], list[Output]] | None = None
    while idle < sweeps and (deadline is None or time.monotonic() < deadline):
        applied += sweep(aig, True, deadline)
        if aig.size() < best:
            best, kept, idle = aig.size(), aig.net(), 0
        else:
            idle += 1
    if kept is None or len(kept[0]) >= len(net[0]):
        return None
    return kept, applied
