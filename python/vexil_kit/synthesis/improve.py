"""Local improvement of a circuit: windows rewritten by proven-smallest circuits, to a fixed point.

Each pass enumerates the cuts of every gate (``improve_graph.cuts``, at most ``cut_size`` leaves and
``cut_limit`` cuts a node), takes each window's function over its leaves and asks for a smallest
circuit of it: the five-input database for B2 and XAG (their sizes agree, a B2 gate being an AND
or an XOR with inverters), the proven four-input AIG table for AIG, and the SAT search
(``synthesize_tables``) for larger AIG windows, for multiplicative complexity and for windows of
several outputs, each with a small time budget. A window frees only its maximal fanout-free cone
(the gates nothing outside it reads); a window whose inner gates feed the rest of the circuit is
also tried as a window of several outputs, freeing all of them; gates sharing a cut, and a whole
circuit of few inputs, are tried as one window of several roots; and for circuits of at most 16
inputs a gate is also recomputed from earlier nodes by their whole tables (``improve_resub``).
The replacements of one pass that
touch disjoint gates are applied together, the circuit is rebuilt (``improve_graph.rebuild``:
folded and shared again) and kept only when its size went strictly down: the gates for B2, XAG and
AIG, the AND gates then the gates for "MC". With ``depth=True`` the size may also stay while the
depth, or else the sum of the gates' levels, goes down; the depth never goes up, and the windows
on a longest path are also resynthesised under a depth bound (``improve_depth``).

For AIG the passes come in stages (windows from the tables, then cones of up to ten leaves
refactored, ``improve_refactor``, then four-leaf cuts rewritten in place one at a time, moves of
no gain included, ``improve_rewrite``, then AND trees balanced, ``improve_balance``, then the
searches, then the don't-cares of four-leaf windows, ``improve_dc``, for circuits of at most 16
inputs), each tried once the ones before gain nothing. The circuit is also rebuilt by counting its inputs when every
output is symmetric (``constructive.symmetric_circuit``, every basis) and by a Shannon decomposition of its
outputs (the first circuit of exact synthesis, ``constructive.first_circuit``, AIG of 5 to 8
inputs); each start is descended in turn, the smallest
first, and the smallest result kept.

The result is checked equal to the circuit given on every input (``improve_check``) before it is
returned. Ctrl-C raises ``Interrupted``, a KeyboardInterrupt that carries the best circuit checked
so far; the time limit returns it.
"""

from __future__ import annotations

import dataclasses
import numbers
import time
from collections.abc import Sequence
from typing import Any, NamedTuple

import numpy as np

from .. import circuits
from .. import progress as progress_module
from ..circuit_parts import Gate, Output
from ..circuits import Circuit
from . import (
    aig4,
    constructive,
    improve_balance,
    improve_check,
    improve_dc,
    improve_depth,
    improve_refactor,
    improve_resub,
    improve_rewrite,
)
from .encoding import Expired
from .improve_graph import Window, cuts, depth, levels, members, readers, rebuild
from .improve_graph import freed as freed_together
from .search import BASES, synthesize_tables

_SIGNATURE = "Circuit.improve(basis=None, time_limit=None, progress=None, depth=False)"

#: Leaves of a window by basis: the database covers five inputs, the proven AIG table four.
CUT_SIZES = {"B2": 5, "XAG": 5, "AIG": 4, "MC": 4}

AND_OPS = circuits.AND_OPS

#: How much larger than the circuit given another start may be: a larger one rarely ends smaller.
_GROWTH = 1.5

Cost = tuple[int, ...]
Net = tuple[list[Gate], list[Output]]


@dataclasses.dataclass(frozen=True, slots=True)
class Summary:
    """What an improvement changed: sizes (all gates, AND-type gates), depths, and how it went.

    ``stopped`` is "fixed point" (no window could be made smaller), "time limit" or
    "interrupted"; ``verified`` is how the result was proven equal to the circuit given
    ("simulation" on every input, or "SAT" on the miter).
    """

    basis: str
    gates_before: int
    gates_after: int
    and_before: int
    and_after: int
    depth_before: int
    depth_after: int
    replacements: int
    passes: int
    seconds: float
    stopped: str
    verified: str

    def __str__(self) -> str:
        return (
            f"{self.basis}: {self.gates_before} -> {self.gates_after} gates, "
            f"{self.and_before} -> {self.and_after} AND, "
            f"depth {self.depth_before} -> {self.depth_after}; {self.replacements} windows replaced in "
            f"{self.passes} passes, {self.seconds:.2f} s ({self.stopped}, checked by {self.verified})"
        )


class Improvement(NamedTuple):
    """The improved circuit and what changed (``circuit, summary = c.improve()``)."""

    circuit: Circuit
    summary: Summary


class Interrupted(KeyboardInterrupt):
    """Ctrl-C during ``improve``: ``improvement`` holds the best circuit checked so far."""

    def __init__(self, improvement: Improvement) -> None:
        super().__init__("interrupted; the best circuit so far is in .improvement")
        self.improvement = improvement


@dataclasses.dataclass
class _Candidate:
    root: int
    leaves: tuple[int, ...]
    nodes: list[int]  # the window's nodes that the replacement's outputs stand for, the root first
    gates: list[Gate]  # over the leaves as inputs 0 .. k - 1
    outputs: list[Output]
    freed: set[int]
    gain: Cost
    level: int  # the root's level after the rewrite
    before: int  # and before it
    loose: bool = False  # right only where the root is observable: checked after the pass


def _cost(gates: Sequence[Gate], basis: str) -> Cost:
    total = len(gates)
    return (sum(op in AND_OPS for op, _, _ in gates), total) if basis == "MC" else (total,)


def _bits(table: int, k: int) -> np.ndarray:
    return np.array([table >> x & 1 for x in range(1 << k)], dtype=np.bool_)


class _Improver:
    def __init__(
        self, n: int, basis: str, by_depth: bool, k: int, limit: int, window_seconds: float, deadline: float | None
    ) -> None:
        self.n = n
        self.basis = basis
        self.by_depth = by_depth
        self.k = k
        self.limit = limit
        self.window_seconds = window_seconds
        self.deadline = deadline
        self.cache: dict[tuple[Any, ...], tuple[list[Gate], list[Output]] | None] = {}
        self.report: Any = None
        self.searching = True  # whether windows not in the tables are searched for
        self.dont_cares = False
        self.observable: dict[int, int] = {}  # root -> the rows where it reaches an output, this pass

    # -- the smallest circuits of windows ------------------------------------------------------

    def _budget(self, scale: float = 1.0) -> float:
        left = self.window_seconds * scale
        if self.deadline is not None:
            left = min(left, self.deadline - time.monotonic())
        return max(left, 0.0)

    def _search(self, tables: tuple[int, ...], k: int, most: int, scale: float) -> Net | None:
        found = synthesize_tables(
            k, [_bits(t, k) for t in tables], self.basis, max_gates=most, time_limit=self._budget(scale)
        )
        if found.circuit is None:
            return None
        return list(found.circuit.gates), list(found.circuit.outputs)

    def smallest(self, tables: tuple[int, ...], k: int, most: int, scale: float = 1.0) -> Net | None:
        """A small circuit of the tables over k inputs, from the database, the AIG table or the search."""
        key = (tables, k)
        if key in self.cache:
            return self.cache[key]
        net: Net | None = None
        if len(tables) == 1 and self.basis in ("B2", "XAG") and k <= circuits.MAX_CIRCUIT_VARS:
            c = circuits.minimal_circuit(_bits(tables[0], k))
            net = list(c.gates), list(c.outputs)
        elif len(tables) == 1 and self.basis == "AIG" and k <= 4:
            spread = sum(1 << x for x in range(16) if tables[0] >> (x & ((1 << k) - 1)) & 1)
            known = aig4.lookup(_bits(spread, 4))
            # Usable when it reads no input beyond the window's k (gates are nodes 4 and up).
            if known is not None and all(v < k or v >= 4 for _, a, b in known[0] for v in (a, b)):
                gates = [(op, a if a < 4 else a - 4 + k, b if b < 4 else b - 4 + k) for op, a, b in known[0]]
                node, negated = known[1]
                net = gates, [(None if node is None else (node if node < 4 else node - 4 + k), negated)]
        if net is None and len(tables) == 1 and self.basis == "AIG" and 4 < k <= circuits.MAX_CIRCUIT_VARS:
            # The B2 optimum with each XOR as three ANDs: no AIG optimum, but found at once.
            c = circuits.minimal_circuit(_bits(tables[0], k))
            net = rebuild(k, c.gates, c.outputs, aig=True)
            if len(net[0]) > most:
                net = None
        if net is None:
            if most < 0 or self._budget() <= 0 or not self.searching:
                return None  # not cached: asked again when there is time, room or leave
            net = self._search(tables, k, most, scale)
        self.cache[key] = net
        return net

    # -- candidates --------------------------------------------------------------------------

    def _candidate(
        self,
        gates: list[Gate],
        root: int,
        leaves: tuple[int, ...],
        nodes: list[int],
        freed: list[int],
        net: Net,
        level: list[int],
    ) -> _Candidate | None:
        rep_gates, rep_outputs = net
        gain = tuple(
            x - y
            for x, y in zip(
                _cost([gates[v - self.n] for v in freed], self.basis), _cost(rep_gates, self.basis), strict=True
            )
        )
        rep_level = [level[leaf] for leaf in leaves]
        for _, a, b in rep_gates:
            rep_level.append(max(rep_level[a], rep_level[b]) + 1)
        news = [0 if node is None else rep_level[node] for node, _ in rep_outputs]
        new_level, old_level = news[0], level[root]
        zero = (0,) * len(gain)
        if self.by_depth and any(new > level[v] for new, v in zip(news, nodes, strict=True)):
            return None
        # A rewrite of the same size that brings its root earlier lets later passes find more.
        if not (gain > zero or (gain == zero and new_level < old_level)):
            return None
        return _Candidate(root, leaves, nodes, rep_gates, rep_outputs, set(freed), gain, new_level, old_level)

    def candidates(self, gates: list[Gate], outputs: list[Output], critical: set[int] | None) -> list[_Candidate]:
        """The best rewrite found for each gate, best first."""
        n = self.n
        level = levels(n, gates)
        count = readers(n, gates, outputs)
        found = []
        cut_sets = cuts(n, gates, self.k, self.limit, level)
        whole = improve_resub.tables(n, gates) if n <= improve_resub.MAX_INPUTS else None
        sharing: dict[int, list[int]] = {}  # cut -> the gates that have it, for windows of several roots
        observe, self.observable = None, {}
        if whole is not None and self.basis == "AIG" and self.dont_cares:
            observe = improve_dc.Observability(n, gates, outputs, whole)
        for index in range(len(gates) - 1, -1, -1):
            if self.report is not None:
                self.report(len(gates) - 1 - index, len(gates))
            if self.deadline is not None and time.monotonic() >= self.deadline:
                break
            root = n + index
            best: _Candidate | None = None
            widest: tuple[Window, list[int]] | None = None
            for cut in cut_sets[root][1:]:
                sharing.setdefault(cut, []).append(root)
                window = Window(n, gates, root, members(cut))
                freed = window.freed(n, gates, count)
                k = len(window.leaves)
                net = self.smallest((window.table[root],), k, _cost([gates[v - n] for v in freed], self.basis)[0] - 1)
                if net is not None:
                    candidate = self._candidate(gates, root, window.leaves, [root], freed, net, level)
                    if candidate is not None and (best is None or _better(candidate, best)):
                        best = candidate
                if observe is not None and k == 4:
                    loose = self._loose(gates, window, freed, observe, level)
                    if loose is not None and (best is None or _better(loose, best)):
                        best = loose
                if widest is None or len(window.inner) > len(widest[0].inner):
                    shared = window.shared(n, gates, count)
                    if shared is not None and 0 < len(shared) <= 2 and len(window.inner) > len(freed):
                        widest = window, shared
            if whole is not None and (best is None or not best.gain > (0,) * len(best.gain)):
                for leaves, rep_gates, rep_output, gone in improve_resub.rewrites(n, gates, count, whole, root):
                    candidate = self._candidate(gates, root, leaves, [root], gone, (rep_gates, [rep_output]), level)
                    if candidate is not None and (best is None or _better(candidate, best)):
                        best = candidate
            if best is None and widest is not None:
                best = self._several(gates, *widest, level)
            if best is None and critical is not None and root in critical:
                best = self._shallower(gates, root, cut_sets[root][1:3], count, level)
            if best is not None:
                found.append(best)
        roots = sorted({node for node, _ in outputs if node is not None and node >= n})
        if n <= self.k and 1 <= len(roots) <= 4 and self._budget() > 0:
            # The whole circuit is a window: all its outputs at once (a single output too, whichever
            # of its cuts the priority kept).
            entire = self._together(gates, roots, list(range(n)), count, level, every=True)
            if entire is not None:
                found.append(entire)
        gained = {c.root for c in found if c.gain > (0,) * len(c.gain)}
        for cut, roots in sharing.items():
            if len(roots) > 1 and not gained.issuperset(roots) and self._budget() > 0:
                best = self._together(gates, sorted(roots), members(cut), count, level)
                if best is not None:
                    found.append(best)
        found.sort(key=lambda c: (c.gain, c.before - c.level), reverse=True)
        return found

    def _loose(
        self, gates: list[Gate], window: Window, freed: list[int], observe: improve_dc.Observability, level: list[int]
    ) -> _Candidate | None:
        """The four-leaf window rewritten by its smallest completion on the rows that matter."""
        root = window.root
        rows = self.observable.get(root)
        if rows is None:
            rows = self.observable[root] = observe.observable(root)
        care = observe.care(window.leaves, rows)
        if care == 0xFFFF:
            return None
        size, table = improve_dc.smallest_completion(window.table[root], care)
        if size >= len(freed):
            return None
        net = improve_dc.net_of(table, 4)
        if net is None:
            return None
        candidate = self._candidate(gates, root, window.leaves, [root], freed, (net[0], [net[1]]), level)
        if candidate is not None:
            candidate.loose = True
        return candidate

    def _several(self, gates: list[Gate], window: Window, shared: list[int], level: list[int]) -> _Candidate | None:
        """The window with its shared gates as further outputs, all its gates freed."""
        nodes = [window.root, *shared]
        most = _cost([gates[v - self.n] for v in window.inner], self.basis)[0] - 1
        net = self.smallest(tuple(window.table[v] for v in nodes), len(window.leaves), most)
        if net is None:
            return None
        return self._candidate(gates, window.root, window.leaves, nodes, window.inner, net, level)

    def _together(
        self,
        gates: list[Gate],
        roots: list[int],
        leaves: list[int],
        count: list[int],
        level: list[int],
        every: bool = False,
    ) -> _Candidate | None:
        """Gates with the same cut rewritten as one window of several outputs."""
        windows = [Window(self.n, gates, root, leaves) for root in roots]
        inner = {v for w in windows for v in w.inner if v != w.root}
        if not every:  # a root inside another's window is left to it, unless every root is asked for
            windows = [w for w in windows if w.root not in inner][-3:]
        roots = [w.root for w in windows]
        if len(roots) < (1 if every else 2):
            return None
        gone = freed_together(self.n, gates, count, roots, leaves)
        most = _cost([gates[v - self.n] for v in gone], self.basis)[0] - 1
        # The whole circuit as one window is asked once a pass, and given more time.
        net = self.smallest(tuple(w.table[w.root] for w in windows), len(leaves), most, 8.0 if every else 1.0)
        if net is None:
            return None
        return self._candidate(gates, roots[0], tuple(leaves), roots, gone, net, level)

    def _shallower(
        self, gates: list[Gate], root: int, cut_masks: list[int], count: list[int], level: list[int]
    ) -> _Candidate | None:
        """A window on a longest path rebuilt to come out earlier, with no more gates than it frees."""
        if self.basis == "MC":
            return None
        best = None
        for cut in cut_masks:
            window = Window(self.n, gates, root, members(cut))
            freed = window.freed(self.n, gates, count)
            arrival = [level[leaf] for leaf in window.leaves]
            base = min(arrival)
            bound = level[root] - 1 - base
            if bound < 1 or self._budget() <= 0:
                continue
            net = improve_depth.within_depth(
                window.table[root],
                len(window.leaves),
                [a - base for a in arrival],
                bound,
                len(freed),
                self.basis == "AIG",
                time.monotonic() + self._budget(),
            )
            if net is None:
                continue
            candidate = self._candidate(gates, root, window.leaves, [root], freed, (net[0], [net[1]]), level)
            if candidate is not None and (best is None or _better(candidate, best)):
                best = candidate
        return best


def _better(x: _Candidate, y: _Candidate) -> bool:
    return (x.gain, x.before - x.level) > (y.gain, y.before - y.level)


def _apply(n: int, net: Net, chosen: Sequence[_Candidate], aig: bool) -> Net:
    """The graph with each chosen window's nodes replaced by its new circuit, rebuilt."""
    definitions = list(net[0])
    replaced: dict[int, Output] = {}
    for c in chosen:
        base, k = n + len(definitions), len(c.leaves)

        def node(j: int, base: int = base, k: int = k, leaves: tuple[int, ...] = c.leaves) -> int:
            return leaves[j] if j < k else base + j - k

        definitions += [(op, node(a), node(b)) for op, a, b in c.gates]
        for v, (m, negated) in zip(c.nodes, c.outputs, strict=True):
            replaced[v] = (None if m is None else node(m), negated)
    return rebuild(n, definitions, net[1], replaced, aig)


def _key(n: int, net: Net, basis: str) -> tuple[Cost, int, int]:
    """(size, depth, sum of the gates' levels): what a rewrite must bring down."""
    level = levels(n, net[0])
    return _cost(net[0], basis), depth(n, net[0], net[1], level), sum(level[n:])


def _accepted(new: tuple[Cost, int, int], old: tuple[Cost, int, int], by_depth: bool) -> bool:
    """Whether the key went down (so the passes end), the size not up, and the depth not up with ``by_depth``."""
    return new < old and new[0] <= old[0] and (not by_depth or new[1] <= old[1])


def _critical(n: int, net: Net) -> set[int]:
    """The gates on a longest path from an input to an output."""
    gates, outputs = net
    level = levels(n, gates)
    longest = depth(n, gates, outputs, level)
    tail = [-1] * (n + len(gates))  # the most gates from the node to an output, -1 if none reads it
    for node, _ in outputs:
        if node is not None:
            tail[node] = 0
    for i in range(len(gates) - 1, -1, -1):
        if tail[n + i] >= 0:
            _, a, b = gates[i]
            tail[a] = max(tail[a], tail[n + i] + 1)
            tail[b] = max(tail[b], tail[n + i] + 1)
    return {v for v in range(n, n + len(gates)) if tail[v] >= 0 and level[v] + tail[v] == longest}


def _one_pass(improver: _Improver, net: Net) -> tuple[Net, int] | None:
    """The graph after the rewrites found in one pass and the windows replaced, or None if none helps."""
    n, by_depth, aig = improver.n, improver.by_depth, improver.basis == "AIG"
    old = _key(n, net, improver.basis)
    found = improver.candidates(net[0], net[1], _critical(n, net) if by_depth else None)
    if not found:
        return None
    chosen: list[_Candidate] = []
    taken: set[int] = set()
    read: set[int] = set()
    for c in found:
        if c.freed.isdisjoint(taken) and c.freed.isdisjoint(read) and taken.isdisjoint(c.leaves):
            chosen.append(c)
            taken |= c.freed
            read.update(c.leaves)
    values: list[int] = []

    def same(rewritten: Net, made: Sequence[_Candidate]) -> bool:
        """Whether the outputs are kept: sure unless a rewrite used the don't-cares of its root."""
        if not any(c.loose for c in made):
            return True
        if not values:
            values.extend(_values(n, net))
        return _values(n, rewritten) == values

    rewritten = _apply(n, net, chosen, aig)
    if _accepted(_key(n, rewritten, improver.basis), old, by_depth) and same(rewritten, chosen):
        return rewritten, len(chosen)
    for c in found:  # together they did not help: the first that does alone
        rewritten = _apply(n, net, [c], aig)
        if _accepted(_key(n, rewritten, improver.basis), old, by_depth) and same(rewritten, [c]):
            return rewritten, 1
    return None


def _values(n: int, net: Net) -> list[int]:
    """The outputs' whole tables."""
    whole = improve_resub.tables(n, net[0])
    full = (1 << (1 << n)) - 1
    return [(full if neg else 0) ^ (0 if node is None else whole[node]) for node, neg in net[1]]


#: Inputs of the circuits that also start from the synthesis's first circuit (decision diagrams and
#: Shannon decompositions down to the four-input optima): below, the windows cover the whole; above,
#: building it costs more of the time than it tends to save.
_DECOMPOSED_INPUTS = (5, 8)


def _fresh_starts(n: int, net: Net, deadline: float | None, basis: str) -> list[Net]:
    """Other circuits of the same outputs to descend from: a count of the ones when every output is
    symmetric, and for AIG a decomposition of each output of few inputs."""
    if deadline is not None and time.monotonic() >= deadline:
        return []  # the first circuit of few inputs would be built whatever the deadline
    values = _values(n, net)
    found: list[Net | None] = []
    if basis == "AIG" and _DECOMPOSED_INPUTS[0] <= n <= _DECOMPOSED_INPUTS[1]:
        tables = [np.array([v >> x & 1 for x in range(1 << n)], dtype=np.bool_) for v in values]
        found.append(constructive.first_circuit(n, tables, basis, deadline))
    found.append(_symmetric_start(n, values, deadline, basis))
    # A start much larger than the circuit given rarely ends smaller, and its passes take the time.
    return [start for start in found if start is not None and len(start[0]) <= _GROWTH * len(net[0])]


def _symmetric_start(n: int, values: Sequence[int], deadline: float | None, basis: str) -> Net | None:
    """The outputs' circuit by counting the ones (``constructive.symmetric_circuit``), or None when
    one is not symmetric in all n inputs."""
    if n < 2:
        return None
    build = constructive.Builder(n, basis)
    lits: list[Output] = []
    try:
        for j, value in enumerate(values):
            whole = np.frombuffer(value.to_bytes(max(1, (1 << n) // 8), "little"), dtype=np.uint8)
            bits = np.unpackbits(whole, bitorder="little")[: 1 << n].astype(np.bool_)
            lit = constructive.symmetric_circuit(build, bits, deadline, seed=j)
            if lit is None:
                return None
            lits.append(lit)
    except Expired:
        return None
    gates, outputs = constructive.prune(n, build.gates, lits)
    return rebuild(n, gates, outputs, aig=basis == "AIG")


def _stages(basis: str, by_depth: bool, n: int) -> dict[bool, list[str]]:
    """The stages of the passes, without and with the searches from the first pass: windows from the
    tables alone, cones refactored, cuts rewritten in place and AND trees balanced (AIG; rewriting
    after refactoring: taken first, its moves of no gain lead to poorer fixed points), the
    searches, the don't-cares (AIG of at most 16 inputs; taken early, those block exact rewrites
    that gain more)."""
    if basis != "AIG":
        return {False: ["searches"], True: ["searches"]}
    later = [] if by_depth else ["refactor", "rewrite", "balance"]
    dont_cares = ["don't-cares"] if not by_depth and n <= improve_resub.MAX_INPUTS else []
    return {False: ["tables", *later, "searches", *dont_cares], True: ["searches", *later, *dont_cares]}


def improve(
    circuit: Circuit,
    basis: str | None = None,
    time_limit: float | None = None,
    progress: progress_module.Progress = None,
    depth: bool = False,
    *,
    cut_size: int | None = None,
    cut_limit: int = 8,
    window_seconds: float = 0.25,
) -> Improvement:
    """The circuit improved window by window (see the module's text), with a summary of the change."""
    start = time.monotonic()
    if not isinstance(circuit, Circuit):
        raise TypeError(f"{_SIGNATURE}: the circuit must be a Circuit, not {type(circuit).__name__}")
    if basis is None:
        basis = circuit.basis
    if not isinstance(basis, str) or basis not in BASES:
        raise ValueError(f"{_SIGNATURE}: basis must be one of {', '.join(BASES)} or None, not {basis!r}")
    for name, value in (("time_limit", time_limit), ("window_seconds", window_seconds)):
        if value is not None and (isinstance(value, bool) or not isinstance(value, numbers.Real)):
            raise TypeError(f"{_SIGNATURE}: {name} must be a number of seconds or None, not {value!r}")
        if value is not None and not value >= 0:
            raise ValueError(f"{_SIGNATURE}: {name} must be a nonnegative number of seconds, not {value!r}")
    k = CUT_SIZES[basis] if cut_size is None else cut_size
    if isinstance(k, bool) or not isinstance(k, int) or not 2 <= k <= 6:
        raise ValueError(f"{_SIGNATURE}: cut_size must be an int from 2 to 6, not {cut_size!r}")
    if isinstance(cut_limit, bool) or not isinstance(cut_limit, int) or cut_limit < 1:
        raise ValueError(f"{_SIGNATURE}: cut_limit must be a positive int, not {cut_limit!r}")
    deadline = None if time_limit is None else start + float(time_limit)
    n = circuit.inputs
    improver = _Improver(n, basis, bool(depth), k, cut_limit, float(window_seconds), deadline)
    net = rebuild(n, circuit.gates, circuit.outputs, aig=basis == "AIG")
    counts = {"replacements": 0, "passes": 0}

    def finish(stopped: str) -> Improvement:
        verified = improve_check.equal(n, (circuit.gates, circuit.outputs), net)
        if verified is None:
            raise RuntimeError("internal error: the improved circuit does not compute the same outputs")
        better = Circuit(n, net[0], outputs=net[1])
        summary = Summary(
            basis,
            circuit.size,
            better.size,
            circuit.and_count,
            better.and_count,
            circuit.depth,
            better.depth,
            counts["replacements"],
            counts["passes"],
            time.monotonic() - start,
            stopped,
            verified,
        )
        return Improvement(better, summary)

    starts, given = [net], net
    stopped = "fixed point"
    try:
        if not depth and n <= improve_resub.MAX_INPUTS:
            starts += _fresh_starts(n, net, deadline, basis)
            starts.sort(key=lambda start: _key(n, start, basis))
            net = starts[0]
        with progress_module.reporter(progress, f"improve ({basis})") as report:
            improver.report = report
            # The start now smallest takes the next pass, until each is at its fixed point; the
            # smallest result is kept. For AIG a start takes its passes in stages (``_stages``), each
            # tried once the ones before are at their fixed point; a gain goes back to the first.
            names = _stages(basis, depth, n)
            # With time left at the end, the circuit given is descended again with the searches from
            # the first pass (slower, but another path: sometimes to a smaller fixed point).
            active = [(start, 0, False) for start in starts]
            rounds = [[(given, 0, True)]]
            if basis != "AIG":  # the searches are the windows' own route there: descents with them
                active, rounds = [(start, 0, True) for start in starts], []
            while active:
                if deadline is not None and time.monotonic() >= deadline:
                    stopped = "time limit"
                    break
                current, stage, eager = active.pop(
                    min(range(len(active)), key=lambda i: (_key(n, active[i][0], basis), active[i][1]))
                )
                name = names[eager][stage]
                improver.searching, improver.dont_cares = name != "tables", name == "don't-cares"
                counts["passes"] += 1
                if name == "rewrite":
                    step = improve_rewrite.rewrite(n, current, deadline)
                elif name == "refactor":
                    step = improve_refactor.refactor(n, current, deadline)
                elif name == "balance":
                    step = improve_balance.balance(n, current, deadline)
                else:
                    step = _one_pass(improver, current)
                if step is None:
                    if deadline is not None and time.monotonic() >= deadline:
                        active.append((current, stage, eager))  # cut short, not at its fixed point
                    elif stage + 1 < len(names[eager]):
                        active.append((current, stage + 1, eager))
                    elif not active and rounds:
                        active = rounds.pop()
                    continue
                active.append((step[0], 0, eager))
                counts["replacements"] += step[1]
                if _key(n, step[0], basis) < _key(n, net, basis):
                    net = step[0]
            if active and stopped == "fixed point":
                stopped = "time limit"
    except KeyboardInterrupt as stop:
        raise Interrupted(finish("interrupted")) from stop
    return finish(stopped)


circuits.IMPROVE = improve
