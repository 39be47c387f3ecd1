"""Exact synthesis: the smallest circuit over a basis computing one or several truth tables.

The search reduces the tables first (constant and literal outputs need no gate, outputs equal up
to complement share a node, variables no output depends on are dropped), takes a lower bound
from the essential variables or the algebraic degree (the core's, -1 for the zero function, which
needs no gate) and a first circuit, the upper bound, from ``constructive`` (decompositions
through the five-input gate database), then asks the SAT solver for circuits of lower_bound,
lower_bound + 1, ... gates until one exists or the bounds meet, probing sizes below the best
circuit as it goes. The best circuit is checked on every input row before it is returned.
"""

from __future__ import annotations

import dataclasses
import itertools
import numbers
import time
from collections.abc import Callable, Iterable, Sequence
from typing import Any

import numpy as np
import numpy.typing as npt

from .. import _arguments, _native, display, predicates, transforms
from .. import progress as progress_module
from ..circuits import MAX_CIRCUIT_VARS, Circuit
from . import aig4, constructive, costed, costed_windows, depth_bounded, encoding, multiplicative, stacking

#: The bases with free inverters: every two-input gate, AND, AND and XOR, and "MC", XAGs counted by
#: their AND gates alone (multiplicative complexity).
BASES = ("B2", "AIG", "XAG", "MC")
#: Every basis of the search: those and the bases where an inverter is a gate ("BGC", "GC": ``costed``).
SEARCH_BASES = BASES + costed.BASES

AND_OPS = frozenset((1, 2, 4, 7, 8, 11, 13, 14))
XOR_OPS = frozenset((6, 9))

_SIGNATURE = "synthesize_tables(n, tables, basis='B2', max_gates=None, time_limit=None, progress=False)"
_MAX_VARS = _arguments.MAX_VARS

Gate = tuple[int, int, int]
Output = tuple[int | None, bool]
Bool = npt.NDArray[np.bool_]


@dataclasses.dataclass(frozen=True, slots=True)
class Synthesis:
    """What a search found and proved: the best circuit known and bounds on the least size.

    The search is anytime: a first circuit is built by decomposition (milliseconds) before the SAT
    search starts, and replaced by each smaller one found, so a time limit, ``max_gates`` or a
    Ctrl-C (the ``KeyboardInterrupt`` carries the result so far as its ``synthesis`` attribute)
    still leaves a circuit and both bounds.

    - ``circuit``: the smallest circuit found, checked on every input row; None only when no
      circuit is known: the time limit passed before the first one was complete, or the search
      ran with ``database=False`` (the SAT route alone) and found none.
    - ``upper_bound``: the size of ``circuit`` (gates; AND gates for "MC"), None with it.
    - ``lower_bound``: a proven bound on the least size (essential variables, the algebraic degree,
      the five-input database, sizes refuted by the SAT solver); never above ``upper_bound``.
    - ``optimal``: whether the two bounds meet (``circuit`` is then a smallest one).
    - ``seconds``: the time the call took.
    """

    circuit: Circuit | None
    upper_bound: int | None
    lower_bound: int
    optimal: bool
    seconds: float

    _repr_html_ = display.synthesis  # a notebook's summary, bounded in cost


size = constructive.size


class Unfinished(TimeoutError):
    """A search stopped by its time limit before its bounds met (``multiplicative_complexity``).

    ``synthesis`` is what it found; ``lower_bound``, ``upper_bound`` and ``circuit`` read from it.
    """

    def __init__(self, message: str, synthesis: Synthesis) -> None:
        super().__init__(message)
        self.synthesis = synthesis

    @property
    def lower_bound(self) -> int:
        return self.synthesis.lower_bound

    @property
    def upper_bound(self) -> int | None:
        return self.synthesis.upper_bound

    @property
    def circuit(self) -> Circuit | None:
        return self.synthesis.circuit


def to_aig(n: int, gates: Sequence[Gate], outputs: Sequence[Output]) -> tuple[list[Gate], list[Output]]:
    """The gate list with each XOR or XNOR replaced by three AND-type gates."""
    build = constructive.Builder(n)
    nodes = list(range(n))
    for op, a, b in gates:
        x, y = nodes[a], nodes[b]
        if op in XOR_OPS:
            both, either = build.add(8, x, y), build.add(14, x, y)
            nodes.append(build.add(2, either, both) if op == 6 else build.add(11, both, either))
        elif op in AND_OPS:
            nodes.append(build.add(op, x, y))
        else:
            raise ValueError(f"gate op {op} ignores an operand")
    return build.gates, [(None if node is None else nodes[node], negated) for node, negated in outputs]


def symmetries(tables: Sequence[Bool], deadline: float | None = None) -> list[tuple[int, ...]]:
    """The permutations of the variables (other than the identity) that leave every table unchanged.

    Searched for seven or fewer variables; none are reported beyond. Of a group of more than 48
    (each member adds clauses for every gate) only the transpositions are kept.
    """
    n = int(len(tables[0])).bit_length() - 1
    if n > 7:
        return []
    rows = np.arange(1 << n, dtype=np.int64)
    bits = [rows >> v & 1 for v in range(n)]
    found = []
    for count, sigma in enumerate(itertools.permutations(range(n))):
        if count & 255 == 255 and _past(deadline):
            break
        if sigma == tuple(range(n)):
            continue
        image = np.zeros_like(rows)
        for v, w in enumerate(sigma):
            image |= bits[v] << w
        if all(np.array_equal(t[image], t) for t in tables):
            found.append(sigma)
    if len(found) > 48:
        found = [s for s in found if sum(v != w for v, w in enumerate(s)) == 2]
    return found


def negations(tables: Sequence[Bool], deadline: float | None = None) -> list[int]:
    """The nonzero masks e with every table satisfying t(x ^ e) = t(x) or t(x ^ e) = ~t(x).

    Searched for twelve or fewer variables (a tenth of a second there, each variable beyond
    quadrupling it); none are reported beyond, where no size is settled anyway. Past ``deadline``
    those found so far are returned.
    """
    rows = np.arange(len(tables[0]), dtype=np.int64)
    if len(rows) > 1 << 12:
        return []
    found = []
    for e in range(1, len(rows)):
        if e & 255 == 0 and _past(deadline):
            break
        if all(np.array_equal(t[rows ^ e], t) or np.array_equal(t[rows ^ e], ~t) for t in tables):
            found.append(e)
    return found


def _mc_circuit(
    n: int, found: tuple[list[list[list[int]]], list[list[int]]], zeros: Sequence[bool]
) -> tuple[list[Gate], list[Output]]:
    """An XAG gate list from the affine operands and outputs the multiplicative encoding found."""
    build = constructive.Builder(n)
    operands, combinations = found
    nodes = list(range(n))

    def parity(selected: list[int]) -> Output:
        lit: Output = (None, False)
        for j in selected:
            lit = build.xor(lit, (nodes[j], False))
        return lit

    for sides in operands:
        left, right = parity(sides[0]), parity(sides[1])
        node, negated = build.and_(left, right)
        if node is None or negated:
            raise AssertionError("an operand of an AND gate came out constant")
        nodes.append(node)
    outputs = []
    for selected, zero in zip(combinations, zeros, strict=True):
        node, negated = parity(selected)
        outputs.append((node, negated ^ zero))
    return build.gates, outputs


def synthesize_tables(
    n: int,
    tables: Sequence[Any],
    basis: str = "B2",
    max_gates: int | None = None,
    time_limit: float | None = None,
    progress: progress_module.Progress = False,
    *,
    at_least: int = 0,
    database: bool = True,
    known_optima: bool = True,
    split_levels: bool = False,
    max_depth: int | None = None,
) -> Synthesis:
    """The smallest circuit over ``basis`` computing every table of ``tables`` (each of 2**n entries).

    ``max_gates`` bounds the sizes tried; ``time_limit`` (seconds) stops the search with the best
    circuit and the bounds proven so far (see ``Synthesis``); ``progress`` reports (size being
    tried, upper bound or max_gates) as the search goes up. ``at_least`` resumes a search: a lower
    bound proven before (the ``lower_bound`` of an earlier result for the same tables and basis),
    so that smaller sizes are not tried again. ``database=False`` leaves the five-input database
    and the first circuit out of the bounds (the SAT route alone, to check one against the other);
    ``known_optima=False`` leaves out the table of proven AIG optima of four-input functions (which
    its generator fills). ``split_levels=True`` asks a size not settled in two seconds split by
    levels (``encoding.level_splits``): decisive on some of the hardest refutations, slower on
    most searches. The circuit has several outputs when more
    than one table is given. Ctrl-C stops the search within a second: the KeyboardInterrupt goes
    on, with the result so far (a ``Synthesis``) as its ``synthesis`` attribute. ``max_depth=D``
    (one table; "B2", "XAG" or "AIG"; at most six essential variables) asks for the smallest circuit
    whose output is at most D gates deep, and the bounds are on the size of such circuits
    (``depth_bounded``); no first circuit is built, so ``circuit`` stays None when the search stops
    before it finds one, and ``depth_bounded.NoCircuitWithinDepth`` (a ValueError) says that no
    circuit of any size is that shallow.
    """
    start = time.monotonic()
    if not isinstance(n, (int, np.integer)) or isinstance(n, (bool, np.bool_)) or not 0 <= n <= _MAX_VARS:
        raise TypeError(f"{_SIGNATURE}: n must be a number of variables from 0 to {_MAX_VARS}, not {n!r}")
    n = int(n)
    if isinstance(tables, (str, bytes)) or not isinstance(tables, Iterable):
        raise TypeError(f"{_SIGNATURE}: tables must be a sequence of truth tables, not {type(tables).__name__}")
    if not isinstance(basis, str):
        raise TypeError(f"{_SIGNATURE}: basis must be one of {', '.join(SEARCH_BASES)}, not {basis!r}")
    if time_limit is not None and (isinstance(time_limit, bool) or not isinstance(time_limit, numbers.Real)):
        raise TypeError(f"{_SIGNATURE}: time_limit must be a number of seconds or None, not {time_limit!r}")
    deadline = None if time_limit is None else start + float(time_limit)
    if basis not in SEARCH_BASES:
        raise ValueError(f"basis must be one of {', '.join(SEARCH_BASES)}, not {basis!r}")
    if max_gates is not None and (not isinstance(max_gates, int) or isinstance(max_gates, bool) or max_gates < 0):
        raise ValueError(f"max_gates must be a nonnegative int or None, not {max_gates!r}")
    if not isinstance(at_least, int) or isinstance(at_least, bool) or at_least < 0:
        raise ValueError(f"at_least must be a nonnegative int, not {at_least!r}")
    if time_limit is not None and not time_limit >= 0:
        raise ValueError(f"time_limit must be a nonnegative number of seconds or None, not {time_limit!r}")
    outputs = [np.asarray(t, dtype=np.bool_).reshape(-1) for t in tables]
    if not outputs or any(len(t) != 1 << n for t in outputs):
        raise ValueError(f"give one or more tables of 2**{n} entries each")
    if max_depth is not None:
        if isinstance(max_depth, bool) or not isinstance(max_depth, int) or max_depth < 0:
            raise ValueError(f"max_depth must be a nonnegative int or None, not {max_depth!r}")
        if basis not in ("B2", "XAG", "AIG"):
            raise ValueError("max_depth is searched over B2, XAG or AIG")
        if len(outputs) == 1:
            return _within_depth(n, outputs, basis, max_depth, max_gates, deadline, progress, start)
    # Trivial outputs, and the distinct others up to complement.
    xs = np.arange(1 << n, dtype=np.int64)
    literals = {(xs >> v & 1).astype(np.bool_).tobytes(): v for v in range(n)}
    plan: list[tuple[str, Any, bool]] = []  # ("const", None, value), ("input", v, neg), ("node", index, neg)
    distinct: list[Bool] = []
    for t in outputs:
        zero = bool(t[0])
        if not (t ^ zero).any():
            plan.append(("const", None, zero))
            continue
        # With inverters free, tables are taken up to complement (normalised to 0 on row 0).
        zero = zero and basis not in costed.BASES
        normal = t ^ zero
        if normal.tobytes() in literals:
            plan.append(("input", literals[normal.tobytes()], zero))
        else:
            index = next((i for i, d in enumerate(distinct) if np.array_equal(d, normal)), len(distinct))
            if index == len(distinct):
                distinct.append(normal)
            plan.append(("node", index, zero))
    keep = sorted({v for d in distinct for v in predicates.essential_variables(d)})
    m = len(keep)
    reduced = [transforms.project(d, keep) for d in distinct]
    d = len(reduced)

    # Lower bounds. No reduced table is constant, so none has the zero function's degree -1.
    if basis == "MC":
        lower = max((_native.algebraic_degree(r) - 1 for r in reduced), default=0)
    elif d:
        lower = max(d, m - d, max(len(predicates.essential_variables(r)) - 1 for r in reduced))
    else:
        lower = 0

    # The best circuit known (on the m kept variables; outputs are the distinct nodes).
    state = _State(n, m, keep, plan, outputs, lower, start)
    try:
        if max_depth is None:
            _search(
                state, reduced, basis, max_gates, deadline, progress, at_least, database, known_optima, split_levels
            )
        else:
            state.lower = max(state.lower, at_least)
            _search_within_depth(state, reduced, basis, max_depth, max_gates, deadline, progress)
    except KeyboardInterrupt as error:
        # Ctrl-C still ends the call, carrying what was found so far.
        error.synthesis = state.result()  # type: ignore[attr-defined]
        raise
    return state.result()


def _within_depth(
    n: int,
    outputs: list[Bool],
    basis: str,
    max_depth: Any,
    max_gates: int | None,
    deadline: float | None,
    progress: progress_module.Progress,
    start: float,
) -> Synthesis:
    try:
        circuit, upper, lower = depth_bounded.synthesize_within_depth(
            n, outputs[0], basis, max_depth, max_gates, deadline, progress
        )
    except KeyboardInterrupt as error:
        seconds = time.monotonic() - start
        error.synthesis = Synthesis(None, None, getattr(error, "lower_bound", 0), False, seconds)  # type: ignore[attr-defined]
        raise
    if circuit is not None and (circuit.depth > max_depth or not np.array_equal(circuit.tables()[0], outputs[0])):
        raise RuntimeError("internal error: the circuit found is not within the depth or computes something else")
    return Synthesis(circuit, upper, lower, upper == lower, time.monotonic() - start)


class _State:
    """What a search has proven so far: the best circuit (on the m kept variables) and the bounds."""

    def __init__(
        self,
        n: int,
        m: int,
        keep: list[int],
        plan: list[tuple[str, Any, bool]],
        outputs: list[Bool],
        lower: int,
        start: float,
    ) -> None:
        self.n, self.m, self.keep, self.plan, self.outputs = n, m, keep, plan, outputs
        self.lower = lower
        self.upper: int | None = None
        self.best: tuple[list[Gate], list[Output]] | None = None
        self.start = start

    def offer(self, found: tuple[list[Gate], list[Output]], basis: str) -> None:
        """Keeps a circuit when it is smaller than the best one."""
        cost = size(found[0], basis)
        if self.upper is None or cost < self.upper:
            self.best, self.upper = found, cost

    def result(self) -> Synthesis:
        seconds = time.monotonic() - self.start
        if self.best is None:
            return Synthesis(None, None, self.lower, False, seconds)
        gates, lits = self.best
        n, m, keep = self.n, self.m, self.keep

        # Back to the n variables: input j is variable keep[j], gates come after the n inputs.
        def node(k: int) -> int:
            return keep[k] if k < m else k - m + n

        full_gates = [(op, node(a), node(b)) for op, a, b in gates]
        final: list[Output] = []
        for kind, what, zero in self.plan:
            if kind == "const":
                final.append((None, zero))
            elif kind == "input":
                final.append((what, zero))
            else:
                lit_node, lit_neg = lits[what]
                final.append((None if lit_node is None else node(lit_node), lit_neg ^ zero))
        circuit = Circuit(n, tuple(full_gates), outputs=tuple(final))
        if not all(np.array_equal(c, t) for c, t in zip(circuit.tables(), self.outputs, strict=True)):
            raise RuntimeError("internal error: the circuit found does not compute the function")
        lower = min(self.lower, self.upper) if self.upper is not None else self.lower
        return Synthesis(circuit, self.upper, lower, self.upper == lower, seconds)


def _search(
    state: _State,
    reduced: list[Bool],
    basis: str,
    max_gates: int | None,
    deadline: float | None,
    progress: progress_module.Progress,
    at_least: int,
    database: bool,
    known_optima: bool,
    split_levels: bool,
) -> None:
    """Fills ``state``: a first circuit, then the SAT search up from the lower bound, interleaved
    with probes below the best circuit's size that improve it while the lower bound climbs."""
    m, d = state.m, len(reduced)
    if d == 0:
        state.offer(([], []), basis)
    elif database and m <= MAX_CIRCUIT_VARS and d == 1 and basis != "MC":
        # The database holds the B2 optimum, a lower bound in the other bases, whose circuits are
        # B2 circuits once their inverters are folded into the gates.
        state.lower = max(state.lower, len(constructive.database(reduced[0])[0]))
    if d and basis == "AIG" and known_optima and m == 4 and d == 1:
        proven = aig4.lookup(reduced[0])
        if proven is not None:
            state.offer((proven[0], [proven[1]]), basis)
            state.lower = len(proven[0])
    if d and database and (state.upper is None or state.lower < state.upper):
        if basis in costed.BASES:
            _first_costed(state, m, reduced, basis, deadline)
        else:
            first = constructive.first_circuit(m, reduced, basis, deadline)
            if first is not None:
                state.offer(first, basis)
            if basis in stacking.BASES and state.lower < (state.upper or 0):
                _offer_stacked(state, reduced, basis, deadline, state.offer)
    upper = state.upper
    state.lower = max(state.lower, at_least if upper is None else min(at_least, upper))
    known = _known_mc_bound(m) if basis == "MC" and d == 1 else None
    if known is not None and state.lower <= known and (upper is None or known < upper) and not _past(deadline):
        # Every function of m <= 6 variables has a circuit of `known` AND gates: the search for one
        # is quick (the hard question is the size below), and its circuit is the upper bound.
        found = _attempt(m, reduced, basis, known, deadline, None, [], [], False)
        if isinstance(found, tuple):
            state.offer(found, basis)

    # The input symmetries cut the SAT search; none is needed when the bounds already meet.
    searching = d > 0 and (state.upper is None or state.lower < state.upper)
    group = symmetries(reduced, deadline) if searching and basis != "MC" else []
    flips = negations(reduced, deadline) if searching and basis == "AIG" else []
    budget = _PROBE_FIRST
    probe = _below(state.upper, max_gates)  # the next size probed below the best circuit
    with progress_module.reporter(progress, f"synthesis ({basis})") as report:
        while searching and (state.upper is None or state.lower < state.upper):
            k = state.lower
            if (max_gates is not None and k > max_gates) or _past(deadline):
                break
            total = state.upper if state.upper is not None else (max_gates if max_gates is not None else 0)
            poll = None if report is None else (lambda k=k, total=total: report(k, total))
            # The climb gets a slice while probes below the best circuit remain, else the rest.
            probing = probe is not None and probe > k
            found = _attempt(
                m,
                reduced,
                basis,
                k,
                _sooner(deadline, budget) if probing else deadline,
                poll,
                group,
                flips,
                split_levels,
            )
            if found is False or found is True:
                state.lower = k + 1
                continue
            if found is not None:
                state.offer(found, basis)
                break
            if not probing or _past(deadline):
                break
            # A size refuted here proves nothing below it (the clauses assume every smaller size
            # refuted), so a refuted probe moves one size down; a found circuit, below itself.
            assert probe is not None
            below = _attempt(m, reduced, basis, probe, _sooner(deadline, budget), poll, group, flips, False)
            if isinstance(below, tuple):
                state.offer(below, basis)
                probe = _below(state.upper, max_gates)
            elif below is False:
                probe -= 1
            budget *= 2
        if report is not None and state.upper is not None:
            report(min(state.lower, state.upper), state.upper)


def _search_within_depth(
    state: _State,
    reduced: list[Bool],
    basis: str,
    depth: int,
    max_gates: int | None,
    deadline: float | None,
    progress: progress_module.Progress,
) -> None:
    """Fills ``state`` with the smallest circuit of several outputs whose every output is at most
    ``depth`` gates deep: each size, up from the lower bound, asked of every split by levels
    (``encoding.level_splits``) of at most ``depth`` levels. The cuts of the split encoding keep a
    circuit of each level profile, and none of them deepens a gate (merging equal gates, dropping a
    reapplication, renaming inputs), so a size refuted on every split has no circuit that shallow.
    Each output reads at most 2**depth - 1 gates, so past that many per output none exists at all.
    """
    d, m = len(reduced), state.m
    if d == 0:
        state.offer(([], []), basis)
        return
    widest = max(len(predicates.essential_variables(r)) for r in reduced)
    if depth < 1 or (1 << depth) < widest:
        raise depth_bounded.NoCircuitWithinDepth(
            f"no circuit of depth {depth} reads all {widest} variables of an output"
        )
    largest = d * ((1 << depth) - 1)
    most = largest if max_gates is None else min(largest, max_gates)
    _side_by_side(state, reduced, basis, depth, most, deadline)
    group = symmetries(reduced, deadline)
    flips = negations(reduced, deadline) if basis == "AIG" else []
    with progress_module.reporter(progress, f"synthesis ({basis}, depth <= {depth})") as report:
        for k in range(state.lower, most + 1):
            if state.upper is not None and k >= state.upper:
                return
            poll = None if report is None else (lambda k=k: report(k, most))
            splits = encoding.level_splits(k, d, depth=depth)
            if splits:
                try:
                    gate = encoding.Encoding(
                        m, k, reduced, and_only=basis == "AIG", symmetries=group, negations=flips, deadline=deadline
                    )
                except encoding.Expired:
                    return
                answer, model = _by_levels(gate, splits, deadline, poll)
                if answer is None:
                    return
                if answer:
                    gates, nodes = gate.decode(model)
                    state.offer((gates, [(node, False) for node in nodes]), basis)
                    return
            state.lower = k + 1
    if most == largest and state.upper is None:
        raise depth_bounded.NoCircuitWithinDepth(f"no circuit over {basis} computes the outputs within depth {depth}")


def _side_by_side(
    state: _State, reduced: list[Bool], basis: str, depth: int, most: int, deadline: float | None
) -> None:
    """The first circuit within a depth: each output's smallest circuit within it, side by side
    (the five-input database's when it is shallow enough, else ``depth_bounded``'s, with half the
    time left shared among them, or half a minute each without a limit); none when one of them is
    not found in time or the whole has more than ``most`` gates."""
    m = state.m
    share = 30.0 if deadline is None else 0.5 * (deadline - time.monotonic()) / len(reduced)
    gates: list[Gate] = []
    outputs: list[Output] = []
    for table in reduced:
        circuit: Circuit | None = None
        if m <= MAX_CIRCUIT_VARS and basis != "AIG":
            smallest, output = constructive.database(table)
            circuit = Circuit(m, tuple(smallest), outputs=(output,))
            if circuit.depth > depth:
                circuit = None
        try:
            if circuit is None:
                circuit, _, _ = depth_bounded.synthesize_within_depth(
                    m, table, basis, depth, most, _sooner(deadline, share), False
                )
        except depth_bounded.NoCircuitWithinDepth:
            raise depth_bounded.NoCircuitWithinDepth(
                f"no circuit over {basis} computes the outputs within depth {depth}"
            ) from None
        if circuit is None:
            return
        offset = len(gates)

        def moved(node: int, offset: int = offset) -> int:
            return node if node < m else node + offset

        gates += [(op, moved(a), moved(b)) for op, a, b in circuit.gates]
        ((node, negated),) = circuit.outputs
        outputs.append((None if node is None else moved(node), negated))
    if len(gates) <= most:
        state.offer((gates, outputs), basis)


def _first_costed(state: _State, m: int, reduced: list[Bool], basis: str, deadline: float | None) -> None:
    """First circuits where inverters cost: circuits with free inverters, lifted. The constructive
    ones in B2 and XAG, then the best of a B2 search given a part of the time (its smallest
    circuits, inverters made gates, are much smaller than the constructive ones)."""
    normal = [r ^ r[0] for r in reduced]

    def offer(first: tuple[list[Gate], list[Output]]) -> None:
        lits = [(node, negated ^ bool(r[0])) for (node, negated), r in zip(first[1], reduced, strict=True)]
        state.offer(costed.lift(m, first[0], lits, basis), basis)

    for free in ("XAG", "B2"):
        first = constructive.first_circuit(m, normal, free, deadline)
        if first is not None:
            offer(first)
    _offer_stacked(state, normal, "B2", deadline, lambda found, _: offer(found))
    if deadline is None:
        seconds = _FREE_FIRST
    else:
        seconds = min(_FREE_FIRST, (deadline - time.monotonic()) * _FREE_SHARE)
    if seconds > 0 and state.upper is not None and state.lower < state.upper:
        found = synthesize_tables(m, normal, "B2", time_limit=seconds)
        if found.circuit is not None:
            offer((list(found.circuit.gates), list(found.circuit.outputs)))
    if state.best is not None and state.upper is not None and state.lower < state.upper:
        # Most NOT gates of a lifted circuit fold away into the gates around them.
        gates, lits = state.best
        state.offer(
            costed_windows.shrink(m, list(gates), list(lits), basis, _sooner(deadline, seconds), synthesize_tables),
            basis,
        )


def _offer_stacked(
    state: _State,
    tables: list[Bool],
    basis: str,
    deadline: float | None,
    offer: Callable[[tuple[list[Gate], list[Output]], str], None],
) -> None:
    """Several outputs of few inputs: the circuit built an output at a time by exact extensions
    (``stacking``), sharing gates, given a bounded share of the time left."""
    if len(tables) < 2 or state.m > stacking.MAX_INPUTS:
        return
    share = _STACK_FIRST if deadline is None else min(_STACK_FIRST, (deadline - time.monotonic()) * _STACK_SHARE)
    stacked = stacking.first_circuit(state.m, tables, basis, _sooner(deadline, share))
    if stacked is not None:
        offer(stacked, basis)


#: The most seconds, and the share of a time limit, the B2 search for a first circuit gets.
_FREE_FIRST = 30.0
_FREE_SHARE = 0.25
#: The most seconds, and the share of the time left, the stacked first circuit of several outputs gets.
_STACK_FIRST = 30.0
_STACK_SHARE = 0.25


def _below(upper: int | None, max_gates: int | None) -> int | None:
    """The first size probed under a circuit of ``upper`` gates (``max_gates`` bounds every size tried)."""
    if upper is None:
        return None
    return upper - 1 if max_gates is None else min(upper - 1, max_gates)


#: Seconds the climb from the lower bound and a probe below the best circuit first get, each
#: round; each later round doubles them.
_PROBE_FIRST = 1.0


def _known_mc_bound(m: int) -> int | None:
    """The most AND gates a function of m variables needs with XORs free: m - 1 for m <= 5 (Turan and
    Peralta, "The multiplicative complexity of Boolean functions on four and five variables", 2014),
    6 for m = 6 (Calik, Turan and Peralta, "The multiplicative complexity of 6-variable Boolean
    functions", 2018); None beyond."""
    if m <= 5:
        return max(m - 1, 0)
    return 6 if m == 6 else None


#: Seconds the whole question of a size gets before a search asked to split by levels does.
_WHOLE_FIRST = 2.0
#: Seconds each split gets in the first pass over the splits; each later pass gets four times more.
_SPLIT_FIRST = 0.5
#: Beyond this many splits (large circuits) the whole question goes on unsplit.
_MAX_SPLITS = 4096


def _sooner(deadline: float | None, seconds: float) -> float:
    return time.monotonic() + seconds if deadline is None else min(deadline, time.monotonic() + seconds)


def _past(deadline: float | None) -> bool:
    return deadline is not None and time.monotonic() >= deadline


def _solve(
    clauses: list[list[int]], deadline: float | None, poll: Callable[[], object] | None
) -> tuple[bool | None, list[int]]:
    """One SAT call (``solving.solve``)."""
    from . import solving  # python-sat is loaded on the first search, not with the package

    return solving.solve(clauses, deadline, poll)


def _by_levels(
    gate: encoding.Encoding,
    splits: list[tuple[int, ...]],
    deadline: float | None,
    poll: Callable[[], object] | None,
) -> tuple[bool | None, list[int]]:
    """The question of ``gate`` asked of each split by levels, in passes of growing budgets.

    Each pass gives every split not yet settled a budget four times the last one's, so the easy
    splits (and a satisfiable one, if any) are settled early and a hard one costs at most a third
    more than asked alone.
    """
    budget = _SPLIT_FIRST
    while splits:
        unsettled = []
        for levels in splits:
            answer, model = _solve(gate.clauses + gate.levelled(levels), _sooner(deadline, budget), poll)
            if answer:
                return True, model
            if answer is None:
                if _past(deadline):
                    return None, []
                unsettled.append(levels)
        splits = unsettled
        budget *= 4
    return False, []


def _attempt(
    m: int,
    reduced: list[Bool],
    basis: str,
    k: int,
    deadline: float | None,
    poll: Callable[[], object] | None,
    group: list[tuple[int, ...]],
    flips: list[int],
    split_levels: bool,
) -> tuple[list[Gate], list[Output]] | bool | None:
    """A circuit of size k over m inputs (False: none exists; None: stopped at the deadline; never True)."""
    if poll is not None:
        poll()
    if basis in costed.BASES and m < 2:  # the only table left is the complement of the input
        return ([(costed.NOT_A, 0, 0)], [(1, False)]) if k == 1 else False
    gate: encoding.Encoding
    try:
        if basis == "MC":
            mc = multiplicative.Encoding(m, k, reduced, deadline=deadline)
        elif basis in costed.BASES:
            gate = costed.Encoding(m, k, reduced, and_only=False, symmetries=group, deadline=deadline, basis=basis)
        else:
            gate = encoding.Encoding(
                m, k, reduced, and_only=basis == "AIG", symmetries=group, negations=flips, deadline=deadline
            )
    except encoding.Expired:  # the clauses of a large size take long to build: the deadline holds there too
        return None
    if basis == "MC":
        answer, model = _solve(mc.clauses, deadline, poll)
        if not answer:
            return answer
        return _mc_circuit(m, mc.decode(model), [False] * len(reduced))
    splits = encoding.level_splits(k, len(reduced), most=_MAX_SPLITS) if split_levels and basis in BASES else []
    if not splits or len(splits) > _MAX_SPLITS:
        answer, model = _solve(gate.clauses + gate.ordered(), deadline, poll)
    else:
        answer, model = _solve(gate.clauses + gate.ordered(), _sooner(deadline, _WHOLE_FIRST), poll)
        if answer is None and not _past(deadline):
            answer, model = _by_levels(gate, splits, deadline, poll)
    if not answer:
        return answer
    gates, nodes = gate.decode(model)
    return gates, [(node, False) for node in nodes]
