"""Exact synthesis: the smallest circuit over a basis computing one or several truth tables.

The search reduces the tables first (constant and literal outputs need no gate, outputs equal up
to complement share a node, variables no output depends on are dropped), takes a lower bound
from the essential variables or the algebraic degree (the core's, -1 for the zero function, which
needs no gate) and an upper bound from the five-input gate
database (directly for five or fewer variables, through a split on one variable for six), then
asks the SAT solver for circuits of lower_bound, lower_bound + 1, ... gates until one exists or
the bounds meet. A circuit is checked on every input row before it is returned.
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

from .. import _arguments, _native, display, predicates, transforms, variables
from .. import progress as progress_module
from ..circuits import MAX_CIRCUIT_VARS, Circuit
from . import aig4, encoding, multiplicative

#: The bases: every two-input gate, AND with free inverters, AND and XOR with free inverters, and
#: "MC", XAGs counted by their AND gates alone (multiplicative complexity).
BASES = ("B2", "AIG", "XAG", "MC")

AND_OPS = frozenset((1, 2, 4, 7, 8, 11, 13, 14))
XOR_OPS = frozenset((6, 9))

_SIGNATURE = "synthesize_tables(n, tables, basis='B2', max_gates=None, time_limit=None, progress=False)"
_MAX_VARS = _arguments.MAX_VARS

Gate = tuple[int, int, int]
Output = tuple[int | None, bool]
Bool = npt.NDArray[np.bool_]


@dataclasses.dataclass(frozen=True, slots=True)
class Synthesis:
    """The result of a search: the smallest circuit found and the bounds proven on the optimum.

    ``upper_bound`` is the size of ``circuit`` (gates; AND gates for multiplicative complexity),
    ``lower_bound`` a proven bound on the least size, ``optimal`` whether the two meet, and
    ``seconds`` the time taken. When no circuit was found (a time limit, or ``max_gates`` below
    the optimum) ``circuit`` and ``upper_bound`` are None.
    """

    circuit: Circuit | None
    upper_bound: int | None
    lower_bound: int
    optimal: bool
    seconds: float

    _repr_html_ = display.synthesis  # a notebook's summary, bounded in cost


def size(gates: Sequence[Gate], basis: str) -> int:
    """The size of a gate list in a basis: its AND-type gates for "MC", all gates otherwise."""
    return sum(op in AND_OPS for op, _, _ in gates) if basis == "MC" else len(gates)


class _Builder:
    """A gate list under construction over ``n`` inputs; literals are (node or None, complemented)."""

    def __init__(self, n: int) -> None:
        self.n = n
        self.gates: list[Gate] = []

    def add(self, op: int, a: int, b: int) -> int:
        self.gates.append((op, a, b))
        return self.n + len(self.gates) - 1

    def embed(self, gates: Sequence[Gate], output: Output, inputs: Sequence[int]) -> Output:
        """Copies a circuit whose input j is node ``inputs[j]``; the literal of its output here."""
        nodes = list(inputs)
        for op, a, b in gates:
            nodes.append(self.add(op, nodes[a], nodes[b]))
        node, negated = output
        return (None if node is None else nodes[node]), negated

    def and_(self, x: Output, y: Output) -> Output:
        if x[0] is None or y[0] is None:
            constant, other = (x, y) if x[0] is None else (y, x)
            return other if constant[1] else (None, False)
        op = sum(1 << (2 * b + a) for a in (0, 1) for b in (0, 1) if (a ^ x[1]) & (b ^ y[1]))
        return self.add(op, x[0], y[0]), False

    def xor(self, x: Output, y: Output) -> Output:
        if x[0] is None:
            return y[0], y[1] ^ x[1]
        if y[0] is None:
            return x[0], x[1] ^ y[1]
        return self.add(6, x[0], y[0]), x[1] ^ y[1]


def _database(table: Bool) -> tuple[list[Gate], Output]:
    """A smallest B2 circuit of a table of at most five variables, on its own variables."""
    m = int(len(table)).bit_length() - 1
    gates, output, negated = _native.minimal_circuit(variables.extend(table, MAX_CIRCUIT_VARS))

    def node(k: int) -> int:
        return k if k < MAX_CIRCUIT_VARS else k - MAX_CIRCUIT_VARS + m

    return [(op, node(a), node(b)) for op, a, b in gates], (None if output is None else node(output), negated)


def _split_circuit(table: Bool) -> tuple[list[Gate], Output]:
    """A B2 circuit of a six-variable table from database circuits of its cofactors on one variable.

    With f0, f1 the cofactors on x and g = f0 ^ f1: f = f0 ^ x (g = 1), f0 ^ (x & g), f1 ^ (~x & g),
    or (x & f1) | (~x & f0); the cheapest over every variable and form is built.
    """
    n = int(len(table)).bit_length() - 1
    best: tuple[int, int, str] | None = None
    cache: dict[bytes, int] = {}

    def cost(t: Bool) -> int:
        key = t.tobytes()
        if key not in cache:
            cache[key] = len(_database(t)[0])
        return cache[key]

    for v in range(n):
        f0, f1 = variables.restrict(table, {v: 0}), variables.restrict(table, {v: 1})
        g = f0 ^ f1
        if g.all():
            forms = [(cost(f0) + 1, "flip")]
        else:
            forms = [
                (cost(f0) + cost(g) + 1 + (not _constant(f0)), "low"),
                (cost(f1) + cost(g) + 1 + (not _constant(f1)), "high"),
                (cost(f0) + cost(f1) + 3, "mux"),
            ]
        for c, form in forms:
            if best is None or c < best[0]:
                best = (c, v, form)
    assert best is not None
    _, v, form = best
    f0, f1 = variables.restrict(table, {v: 0}), variables.restrict(table, {v: 1})
    rest = [u for u in range(n) if u != v]
    build = _Builder(n)

    def sub(t: Bool) -> Output:
        gates, output = _database(t)
        return build.embed(gates, output, rest)

    x: Output = (v, False)
    if form == "flip":
        out = build.xor(sub(f0), x)
    elif form == "low":
        out = build.xor(sub(f0), build.and_(x, sub(f0 ^ f1)))
    elif form == "high":
        out = build.xor(sub(f1), build.and_((v, True), sub(f0 ^ f1)))
    else:
        low, high = build.and_((v, True), sub(f0)), build.and_(x, sub(f1))
        out = build.xor(low, high)  # the two terms are never both 1
    return build.gates, out


def _constant(t: Bool) -> bool:
    return bool(t.all() or not t.any())


def to_aig(n: int, gates: Sequence[Gate], outputs: Sequence[Output]) -> tuple[list[Gate], list[Output]]:
    """The gate list with each XOR or XNOR replaced by three AND-type gates."""
    build = _Builder(n)
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


def symmetries(tables: Sequence[Bool]) -> list[tuple[int, ...]]:
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
    for sigma in itertools.permutations(range(n)):
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


def negations(tables: Sequence[Bool]) -> list[int]:
    """The nonzero masks e with every table satisfying t(x ^ e) = t(x) or t(x ^ e) = ~t(x).

    Searched for twelve or fewer variables (a tenth of a second there, each variable beyond
    quadrupling it); none are reported beyond, where no size is settled anyway.
    """
    rows = np.arange(len(tables[0]), dtype=np.int64)
    if len(rows) > 1 << 12:
        return []
    found = []
    for e in range(1, len(rows)):
        if all(np.array_equal(t[rows ^ e], t) or np.array_equal(t[rows ^ e], ~t) for t in tables):
            found.append(e)
    return found


def _mc_circuit(
    n: int, found: tuple[list[list[list[int]]], list[list[int]]], zeros: Sequence[bool]
) -> tuple[list[Gate], list[Output]]:
    """An XAG gate list from the affine operands and outputs the multiplicative encoding found."""
    build = _Builder(n)
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
) -> Synthesis:
    """The smallest circuit over ``basis`` computing every table of ``tables`` (each of 2**n entries).

    ``max_gates`` bounds the sizes tried; ``time_limit`` (seconds) stops the search with the bounds
    proven so far; ``progress`` reports (size being tried, upper bound or max_gates) as the search
    goes up. ``at_least`` resumes a search: a lower bound proven before (the ``lower_bound`` of an
    earlier result for the same tables and basis), so that smaller sizes are not tried again.
    ``database=False`` leaves the five-input database out of the bounds (the SAT route alone, to
    check one against the other); ``known_optima=False`` leaves out the table of proven AIG optima
    of four-input functions (which its generator fills). ``split_levels=True`` asks a size not
    settled in two seconds split by levels (``encoding.level_splits``): decisive on some of the
    hardest refutations, slower on most searches. The circuit has several outputs when more
    than one table is given. Ctrl-C stops the search within a second.
    """
    start = time.monotonic()
    if not isinstance(n, (int, np.integer)) or isinstance(n, (bool, np.bool_)) or not 0 <= n <= _MAX_VARS:
        raise TypeError(f"{_SIGNATURE}: n must be a number of variables from 0 to {_MAX_VARS}, not {n!r}")
    n = int(n)
    if isinstance(tables, (str, bytes)) or not isinstance(tables, Iterable):
        raise TypeError(f"{_SIGNATURE}: tables must be a sequence of truth tables, not {type(tables).__name__}")
    if not isinstance(basis, str):
        raise TypeError(f"{_SIGNATURE}: basis must be one of {', '.join(BASES)}, not {basis!r}")
    if time_limit is not None and (isinstance(time_limit, bool) or not isinstance(time_limit, numbers.Real)):
        raise TypeError(f"{_SIGNATURE}: time_limit must be a number of seconds or None, not {time_limit!r}")
    deadline = None if time_limit is None else start + float(time_limit)
    if basis not in BASES:
        raise ValueError(f"basis must be one of {', '.join(BASES)}, not {basis!r}")
    if max_gates is not None and (not isinstance(max_gates, int) or isinstance(max_gates, bool) or max_gates < 0):
        raise ValueError(f"max_gates must be a nonnegative int or None, not {max_gates!r}")
    if not isinstance(at_least, int) or isinstance(at_least, bool) or at_least < 0:
        raise ValueError(f"at_least must be a nonnegative int, not {at_least!r}")
    if time_limit is not None and not time_limit >= 0:
        raise ValueError(f"time_limit must be a nonnegative number of seconds or None, not {time_limit!r}")
    outputs = [np.asarray(t, dtype=np.bool_).reshape(-1) for t in tables]
    if not outputs or any(len(t) != 1 << n for t in outputs):
        raise ValueError(f"give one or more tables of 2**{n} entries each")
    # Trivial outputs, and the distinct others up to complement.
    xs = np.arange(1 << n, dtype=np.int64)
    literals = {(xs >> v & 1).astype(np.bool_).tobytes(): v for v in range(n)}
    plan: list[tuple[str, Any, bool]] = []  # ("const", None, value), ("input", v, neg), ("node", index, neg)
    distinct: list[Bool] = []
    for t in outputs:
        zero = bool(t[0])
        normal = t ^ zero
        if not normal.any():
            plan.append(("const", None, zero))
        elif normal.tobytes() in literals:
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
    best: tuple[list[Gate], list[Output]] | None = None
    if d == 0:
        best = ([], [])
    elif database and m <= MAX_CIRCUIT_VARS + 1:
        build = _Builder(m)
        lits = []
        for r in reduced:
            gates, out = _database(r) if m <= MAX_CIRCUIT_VARS else _split_circuit(r)
            lits.append(build.embed(gates, out, list(range(m))))
        best = (build.gates, lits)
        if basis == "AIG":
            best = to_aig(m, *best)
        if m <= MAX_CIRCUIT_VARS and d == 1 and basis != "MC":
            # The database holds the B2 optimum, a lower bound for AIG, whose circuits are B2 circuits.
            lower = max(lower, len(_database(reduced[0])[0]))
        if basis == "AIG" and known_optima and m == 4 and d == 1:
            proven = aig4.lookup(reduced[0])
            if proven is not None:
                best = (proven[0], [proven[1]])
                lower = len(proven[0])
    upper = None if best is None else size(best[0], basis)
    lower = max(lower, at_least if upper is None else min(at_least, upper))
    known = _known_mc_bound(m) if basis == "MC" and d == 1 else None
    if known is not None and lower <= known and (upper is None or known < upper) and not _past(deadline):
        # Every function of m <= 6 variables has a circuit of `known` AND gates: the search for one
        # is quick (the hard question is the size below), and its circuit is the upper bound.
        found = _attempt(m, reduced, basis, known, deadline, None, [], [], False)
        if isinstance(found, tuple):
            best, upper = found, size(found[0], basis)

    # The input symmetries cut the SAT search; none is needed when the bounds already meet.
    searching = d > 0 and (upper is None or lower < upper)
    group = symmetries(reduced) if searching and basis != "MC" else []
    flips = negations(reduced) if searching and basis == "AIG" else []
    with progress_module.reporter(progress, f"synthesis ({basis})") as report:
        k = lower
        while upper is None or k < upper:
            if max_gates is not None and k > max_gates:
                break
            if deadline is not None and time.monotonic() >= deadline:
                break
            total = upper if upper is not None else (max_gates if max_gates is not None else 0)
            poll = None if report is None else (lambda k=k, total=total: report(k, total))
            found = _attempt(m, reduced, basis, k, deadline, poll, group, flips, split_levels)
            if found is None:
                break
            if found is False or found is True:
                lower = k + 1
                k += 1
                continue
            best = found
            upper = size(best[0], basis)
            break
        if report is not None and upper is not None:
            report(max(lower, min(upper, k)), upper)

    seconds = time.monotonic() - start
    if best is None:
        return Synthesis(None, None, lower, False, seconds)
    gates, lits = best

    # Back to the n variables: input j is variable keep[j], gates come after the n inputs.
    def node(k: int) -> int:
        return keep[k] if k < m else k - m + n

    full_gates = [(op, node(a), node(b)) for op, a, b in gates]
    final: list[Output] = []
    for kind, what, zero in plan:
        if kind == "const":
            final.append((None, zero))
        elif kind == "input":
            final.append((what, zero))
        else:
            lit_node, lit_neg = lits[what]
            final.append((None if lit_node is None else node(lit_node), lit_neg ^ zero))
    circuit = Circuit(n, tuple(full_gates), outputs=tuple(final))
    if not all(np.array_equal(c, t) for c, t in zip(circuit.tables(), outputs, strict=True)):
        raise RuntimeError("internal error: the circuit found does not compute the function")
    return Synthesis(circuit, upper, lower, upper == lower, seconds)


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
    try:
        if basis == "MC":
            mc = multiplicative.Encoding(m, k, reduced, deadline=deadline)
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
    splits = encoding.level_splits(k, len(reduced), most=_MAX_SPLITS) if split_levels else []
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
