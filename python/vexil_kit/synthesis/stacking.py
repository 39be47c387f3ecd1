"""First circuits of several outputs over few inputs, built by stacking exact extensions.

The constructive first circuits build the outputs of a multi-output function mostly apart, where
good circuits share most of their gates. Here the circuit grows an output at a time: each step asks
the SAT solver for the fewest new gates that compute one more output given every node built so far
as a free operand (``encoding.Encoding`` with those nodes' tables as its input columns), asking
j = 1, 2, ... new gates (none when the output, or its complement, is a node already), and takes
several distinct smallest answers (each answer's set of new tables is blocked and the question
asked again). A beam over the orders of the outputs keeps the ``width`` partial circuits with the
fewest gates at each step. The gates are normal (0 on the all-zero row), as the encoding's are,
and the outputs are taken up to complement, which is free in every basis here.

A step the solver does not settle within its slice takes the output's constructive circuit,
merged with the nodes already there; at the deadline the best partial circuit is completed so,
and None is returned only when the deadline passes before any step. The complete circuit is then
offered to the window-by-window improvement (``improve``) with what is left of the time.
"""

from __future__ import annotations

import dataclasses
import itertools
import time
from collections.abc import Sequence

import numpy as np
import numpy.typing as npt

from ..circuits import MAX_CIRCUIT_VARS, Circuit, evaluate
from . import aig4, constructive, encoding

Gate = tuple[int, int, int]
Lit = tuple[int | None, bool]
Bool = npt.NDArray[np.bool_]

#: The most inputs stacking is offered for: every step's encoding has a variable per gate and row.
MAX_INPUTS = 6
#: The bases whose gates are the encoding's normal gates with free inverters.
BASES = ("B2", "XAG", "AIG")
#: Partial circuits kept at each step, and smallest answers taken per extension.
WIDTH = 4
ANSWERS = 3
#: Seconds a single SAT call of a step gets before the step falls back to the constructive circuit.
_CALL = 2.0
#: The share of the time left that the improvement of the stacked circuit gets (at most _IMPROVE s).
_IMPROVE = 5.0
_IMPROVE_SHARE = 0.5
#: Marks an output computed by no gate (the constant 0) in ``_Partial.nodes``.
_ZERO = -1


@dataclasses.dataclass(frozen=True)
class _Partial:
    """A circuit under construction: its normal gates, every node's table, and each output's node
    (``_ZERO`` for the constant, None while not built)."""

    gates: tuple[Gate, ...]
    tables: tuple[bytes, ...]  # node tables (inputs first), each a bytes of bools
    nodes: tuple[int | None, ...]

    def key(self) -> tuple[frozenset[bytes], tuple[bool, ...]]:
        return frozenset(self.tables), tuple(node is None for node in self.nodes)

    def absorbed(self, targets: Sequence[bytes]) -> _Partial:
        """The same circuit with every output that is a node already marked built."""
        index = {table: node for node, table in enumerate(self.tables)}
        nodes = tuple(index.get(t) if node is None else node for node, t in zip(self.nodes, targets, strict=True))
        return dataclasses.replace(self, nodes=nodes)


class _Stop(Exception):
    """The deadline passed during a step."""


def first_circuit(
    m: int,
    tables: Sequence[Bool],
    basis: str = "B2",
    deadline: float | None = None,
    *,
    width: int = WIDTH,
    answers: int = ANSWERS,
    improve: bool = True,
) -> tuple[list[Gate], list[Lit]] | None:
    """A circuit over ``basis`` ("B2", "XAG" or "AIG") computing every table of ``tables`` (2**m
    entries each) as (gates, output literals), built by stacking; None when ``deadline`` (a
    ``time.monotonic`` value) passed before a first step was taken."""
    if basis not in BASES:
        raise ValueError(f"basis must be one of {', '.join(BASES)}, not {basis!r}")
    rows = np.arange(1 << m, dtype=np.int64)
    given = [np.asarray(t, dtype=np.bool_).reshape(-1) for t in tables]
    if any(len(t) != 1 << m for t in given):
        raise ValueError(f"give tables of 2**{m} entries each")
    complemented = [bool(t[0]) for t in given]
    targets = [(t ^ t[0]).tobytes() for t in given]
    projections = tuple((rows >> v & 1).astype(np.bool_).tobytes() for v in range(m))
    zero = bytes(1 << m)
    start = _Partial((), projections, tuple(_ZERO if t == zero else None for t in targets)).absorbed(targets)
    if _past(deadline):
        return None
    stepper = _Stepper(m, basis, targets, deadline, answers)
    best: _Partial | None = None
    beams = 1
    while True:
        # Beams of growing width, the extensions remembered from one to the next: the narrow
        # ones give a circuit soon, the wide ones a smaller one when there is time.
        found = _beam(stepper, start, min(beams, width))
        if best is None or len(found.gates) < len(best.gates):
            best = found
        if beams >= width or _past(deadline):
            break
        beams *= 2
    assert best is not None
    best = _ripped_up(stepper, best, width)
    gates = list(best.gates)
    lits: list[Lit] = [
        (None if node == _ZERO else node, negated) for node, negated in zip(best.nodes, complemented, strict=True)
    ]
    if improve and gates:
        gates, lits = _improved(m, gates, lits, basis, deadline)
    if not np.array_equal(evaluate(m, gates, lits), np.array(given)):
        raise RuntimeError("internal error: the stacked circuit computes something else")
    return gates, lits


def _beam(stepper: _Stepper, start: _Partial, width: int) -> _Partial:
    """The smallest circuit a beam of ``width`` partial circuits reaches (completed constructively
    from the best partial one when the deadline passes)."""
    beam = [start]
    try:
        while any(None in partial.nodes for partial in beam):
            candidates: dict[tuple[frozenset[bytes], tuple[bool, ...]], _Partial] = {}
            for partial in beam:
                following = [partial] if None not in partial.nodes else stepper.extensions(partial)
                for found in following:
                    candidates.setdefault(found.key(), found)
            beam = sorted(candidates.values(), key=stepper.rank)[:width]
    except _Stop:
        beam = [stepper.completed(partial) for partial in beam]
    return min(beam, key=lambda p: len(p.gates))


def _ripped_up(stepper: _Stepper, best: _Partial, width: int) -> _Partial:
    """``best`` improved by taking out one output, then two, (the gates only they read) and adding
    them back by a beam, until no such change shrinks it or the deadline passes."""
    outputs = range(len(best.nodes))
    improved = True
    while improved and not _past(stepper.deadline):
        improved = False
        for out in itertools.chain(itertools.combinations(outputs, 1), itertools.combinations(outputs, 2)):
            if _past(stepper.deadline):
                break
            kept = _without(best, out, stepper.m)
            if kept is None:
                continue
            found = _beam(stepper, kept.absorbed(stepper.targets), width)
            if len(found.gates) < len(best.gates):
                best, improved = found, True
                break
    return best


def _without(partial: _Partial, out: Sequence[int], m: int) -> _Partial | None:
    """``partial`` (complete) with outputs ``out`` taken out, and the gates no other output reads;
    None when that frees no gate."""
    read = set()
    stack = [node for h, node in enumerate(partial.nodes) if h not in out and node is not None and node >= m]
    while stack:
        node = stack.pop()
        if node not in read:
            read.add(node)
            _, a, b = partial.gates[node - m]
            stack += [x for x in (a, b) if x >= m]
    if len(read) == len(partial.gates):
        return None
    order = sorted(read)
    moved = {node: m + i for i, node in enumerate(order)}
    moved.update((v, v) for v in range(m))
    gates = tuple((op, moved[a], moved[b]) for op, a, b in (partial.gates[node - m] for node in order))
    tables = partial.tables[:m] + tuple(partial.tables[node] for node in order)
    nodes = tuple(
        None if h in out else (node if node is None or node < m else moved[node])
        for h, node in enumerate(partial.nodes)
    )
    return _Partial(gates, tables, nodes)


class _Stepper:
    """The extensions of partial circuits by one output each."""

    def __init__(self, m: int, basis: str, targets: Sequence[bytes], deadline: float | None, answers: int) -> None:
        self.m, self.basis, self.targets, self.deadline, self.answers = m, basis, targets, deadline, answers
        self.known: dict[tuple[tuple[bytes, ...], int], list[_Partial]] = {}

    @staticmethod
    def rank(partial: _Partial) -> tuple[int, int]:
        """Fewest gates first; of as many, fewest outputs left."""
        return len(partial.gates), partial.nodes.count(None)

    def extensions(self, partial: _Partial) -> list[_Partial]:
        """Each output not built yet, added by its fewest new gates (several answers each)."""
        found = []
        for h, node in enumerate(partial.nodes):
            if node is None:
                key = (partial.tables, h)
                if key not in self.known:
                    self.known[key] = [extended.absorbed(self.targets) for extended in self._smallest(partial, h)]
                found += self.known[key]
        return found

    def completed(self, partial: _Partial) -> _Partial:
        """The partial circuit with every output left added by its constructive circuit."""
        for h, node in enumerate(partial.nodes):
            if node is None:
                partial = self._constructed(partial, h).absorbed(self.targets)
        return partial

    def _constructed(self, partial: _Partial, h: int) -> _Partial:
        target = np.frombuffer(self.targets[h], dtype=np.bool_)
        first = constructive.first_circuit(self.m, [target], self.basis, None)
        assert first is not None  # no deadline given
        gates, (lit,) = first
        return _merged(partial, gates, lit, h)

    def _smallest(self, partial: _Partial, h: int) -> list[_Partial]:
        """The extensions of ``partial`` by output h with the fewest new gates found."""
        if not partial.gates:
            # The first output: a smallest circuit known, at once (the solver's answers take seconds).
            target = np.frombuffer(self.targets[h], dtype=np.bool_)
            if self.basis != "AIG" and self.m <= MAX_CIRCUIT_VARS:
                gates, lit = constructive.database(target)
                return [_merged(partial, gates, lit, h)]
            proven = aig4.lookup(target) if self.basis == "AIG" and self.m == 4 else None
            if proven is not None:
                return [_merged(partial, proven[0], proven[1], h)]
        fallback = self._constructed(partial, h)
        return self._ask(partial, (h,), range(1, len(fallback.gates) - len(partial.gates) + 1)) or [fallback]

    def _ask(self, partial: _Partial, outputs: Sequence[int], sizes: range) -> list[_Partial]:
        """The extensions of ``partial`` by ``outputs`` with the fewest new gates of ``sizes``,
        several distinct ones; none when no size has one or a call outlasts its slice."""
        from . import solving  # python-sat is loaded on the first search, not with the package

        targets = [np.frombuffer(self.targets[h], dtype=np.bool_) for h in outputs]
        columns = [np.frombuffer(t, dtype=np.bool_) for t in partial.tables]
        n = len(columns)
        for j in sizes:
            try:
                gate = encoding.Encoding(
                    n, j, targets, and_only=self.basis == "AIG", deadline=self.deadline, columns=columns
                )
            except encoding.Expired:
                raise _Stop from None
            clauses = gate.clauses + gate.ordered()
            top = gate.count
            found: list[_Partial] = []
            while len(found) < self.answers:
                answer, model = solving.solve(clauses, _sooner(self.deadline, _CALL))
                if answer is None and _past(self.deadline):
                    raise _Stop
                if answer is None:
                    return found
                if not answer:
                    break
                new, nodes = gate.decode(model)
                extended = _appended(partial, new, dict(zip(outputs, nodes, strict=True)))
                found.append(extended)
                blocking, top = _blocking(gate, extended.tables[n:], top)
                clauses = clauses + blocking
            if found:
                return found
        return []


def _blocking(gate: encoding.Encoding, tables: Sequence[bytes], top: int) -> tuple[list[list[int]], int]:
    """Clauses saying some new gate computes none of ``tables`` (the new gates are distinct, so
    this asks for another set of new tables); ``top`` is the last variable in use."""
    clauses = []
    outside = []
    for i in range(gate.k):
        top += 1
        outside.append(top)
        for table in tables:
            row = np.frombuffer(table, dtype=np.bool_)
            differs = [-gate.value[i][t] if row[t] else gate.value[i][t] for t in range(1, gate.row_count)]
            clauses.append([-top, *differs])
    clauses.append(outside)
    return clauses, top


def _appended(partial: _Partial, new: Sequence[Gate], outputs: dict[int, int]) -> _Partial:
    """``partial`` with the encoding's new normal gates (numbered on from its nodes), each output
    of ``outputs`` at its node."""
    tables = [np.frombuffer(t, dtype=np.bool_) for t in partial.tables]
    for op, a, b in new:
        tables.append(_apply(op, tables[a], tables[b]))
    nodes = list(partial.nodes)
    for h, node in outputs.items():
        nodes[h] = node
    return _Partial(partial.gates + tuple(new), tuple(t.tobytes() for t in tables), tuple(nodes))


def _merged(partial: _Partial, gates: Sequence[Gate], lit: Lit, h: int) -> _Partial:
    """``partial`` with a circuit over the m inputs added, each gate made normal (its complement
    pushed to its readers) and shared with an equal node; output h is ``lit``'s node."""
    tables = [np.frombuffer(t, dtype=np.bool_) for t in partial.tables]
    index = {t: node for node, t in enumerate(partial.tables)}
    m = len(tables) - len(partial.gates)
    added = list(partial.gates)
    lits: list[Lit] = [(v, False) for v in range(m)]
    zero = np.zeros_like(tables[0])
    for op, a, b in gates:
        (x, nx), (y, ny) = lits[a], lits[b]
        value = _apply(op, (zero if x is None else tables[x]) ^ nx, (zero if y is None else tables[y]) ^ ny)
        flip = bool(value[0])
        key = (value ^ flip).tobytes()
        if not value.any() or not (~value).any():
            lits.append((None, flip))
            continue
        if key not in index:
            # A new node reads two distinct nodes (else it would be a constant or one of them):
            # its table on the normal operands, complemented to be 0 on row 0.
            assert x is not None and y is not None and x != y
            bits = [2 * (bb ^ ny) + (aa ^ nx) for aa in (0, 1) for bb in (0, 1) if op >> (2 * bb + aa) & 1]
            added.append((sum(1 << bit for bit in bits) ^ (15 if flip else 0), x, y))
            tables.append(value ^ flip)
            index[key] = len(tables) - 1
        lits.append((index[key], flip))
    node, _ = lit
    nodes = list(partial.nodes)
    nodes[h] = _ZERO if node is None else lits[node][0]
    return _Partial(tuple(added), tuple(t.tobytes() for t in tables), tuple(nodes))


def _apply(op: int, a: Bool, b: Bool) -> Bool:
    """The table of gate ``op`` (bit 2 * B + A) on operand tables a, b."""
    out = np.zeros_like(a)
    for bit in range(4):
        if op >> bit & 1:
            out |= (a if bit & 1 else ~a) & (b if bit & 2 else ~b)
    return out


def _improved(
    m: int, gates: list[Gate], lits: list[Lit], basis: str, deadline: float | None
) -> tuple[list[Gate], list[Lit]]:
    """The circuit after the window-by-window improvement, when that shrinks it."""
    seconds = _IMPROVE if deadline is None else min(_IMPROVE, (deadline - time.monotonic()) * _IMPROVE_SHARE)
    if seconds <= 0:
        return gates, lits
    better, _ = Circuit(m, tuple(gates), outputs=tuple(lits)).improve(basis, time_limit=seconds)
    if better.size < len(gates):
        return list(better.gates), list(better.outputs)
    return gates, lits


def _sooner(deadline: float | None, seconds: float) -> float:
    return time.monotonic() + seconds if deadline is None else min(deadline, time.monotonic() + seconds)


def _past(deadline: float | None) -> bool:
    return deadline is not None and time.monotonic() >= deadline
