"""First circuits for the anytime search: built in milliseconds, without the SAT solver.

``first_circuit`` keeps the smallest of several constructions (each in the basis's own costs):

- ``Diagram``: the binary decision diagram in a variable order, read as a circuit, optionally
  ending in the five-input database's optima;
- ``Shannon``: cofactoring on one variable at a time until five or fewer remain, each cofactor
  taking the database's optimum (for AIG, on four inputs, the table of proven AIG optima), the
  halves joined by the cheapest of f0 ^ x, a multiplexer, f0 ^ (x & g) or f1 ^ (~x & g) with
  g = f0 ^ f1; the variable is the cheapest of all (costs counted recursively, memoised on the
  table) up to ``_EXHAUSTIVE`` variables, and the one leaving the fewest essential variables above;
- ``symmetric_circuit``: adders summing the inputs, then the smallest circuit found of the value on
  the sum's bits, its rows past the number of inputs completed freely;
- ``sop_circuit``: the irredundant sum of products, factored;
- ``anf_circuit`` (multiplicative complexity): one AND gate per monomial of the normal form.

Identical gates are shared (structural hashing), so several outputs share their common
subfunctions, and gates no output reads are dropped. Every step checks the deadline (``Expired``).
"""

from __future__ import annotations

import itertools
import time
from collections.abc import Sequence
from typing import Any

import numpy as np
import numpy.typing as npt

from .. import _native, variables
from ..circuits import MAX_CIRCUIT_VARS
from . import aig4, improve_dc
from .encoding import Expired

Gate = tuple[int, int, int]
Lit = tuple[int | None, bool]  # (node, complemented); node None is the constant 0
Bool = npt.NDArray[np.bool_]

AND_OPS = frozenset((1, 2, 4, 7, 8, 11, 13, 14))
XOR_OPS = frozenset((6, 9))

#: Up to this many variables every variable is tried as the split (and every form); above, one.
_EXHAUSTIVE = 7


def size(gates: Sequence[Gate], basis: str) -> int:
    """The size of a gate list in a basis: its AND-type gates for "MC", all gates otherwise."""
    return sum(op in AND_OPS for op, _, _ in gates) if basis == "MC" else len(gates)


class Builder:
    """A gate list under construction over ``n`` inputs, identical gates shared.

    In "AIG" an XOR is three AND gates; elsewhere it is one gate (free in "MC").
    """

    def __init__(self, n: int, basis: str = "B2") -> None:
        self.n = n
        self.basis = basis
        self.aig = basis == "AIG"
        self.gates: list[Gate] = []
        self._seen: dict[Gate, int] = {}

    def add(self, op: int, a: int, b: int) -> int:
        key = (op, a, b)
        if key not in self._seen:
            self.gates.append(key)
            self._seen[key] = self.n + len(self.gates) - 1
        return self._seen[key]

    def embed(self, gates: Sequence[Gate], output: Lit, inputs: Sequence[int]) -> Lit:
        """Copies a circuit whose input j is node ``inputs[j]``; the literal of its output here."""
        nodes: list[Lit] = [(v, False) for v in inputs]
        for op, a, b in gates:
            nodes.append(self.gate(op, nodes[a], nodes[b]))
        node, negated = output
        if node is None:
            return None, negated
        return nodes[node][0], nodes[node][1] ^ negated

    def gate(self, op: int, x: Lit, y: Lit) -> Lit:
        """The literal of gate ``op`` (a 4-bit table, bit 2 * B + A) on the values of two literals."""
        if op in XOR_OPS:
            return self.xor(x, (y[0], y[1] ^ (op == 9)))
        ones = [(a, b) for b in (0, 1) for a in (0, 1) if op >> (2 * b + a) & 1]
        if len(ones) in (1, 3):  # an AND of two literals, complemented when three rows are 1
            a, b = ones[0] if len(ones) == 1 else next((a, b) for b in (0, 1) for a in (0, 1) if (a, b) not in ones)
            node, negated = self.and_((x[0], x[1] ^ (a == 0)), (y[0], y[1] ^ (b == 0)))
            return node, negated ^ (len(ones) == 3)
        if op in (0, 15):
            return None, op == 15
        return (x[0], x[1] ^ (op == 5)) if op in (5, 10) else (y[0], y[1] ^ (op == 3))

    def and_(self, x: Lit, y: Lit) -> Lit:
        if x[0] is None or y[0] is None:
            constant, other = (x, y) if x[0] is None else (y, x)
            return other if constant[1] else (None, False)
        if x[0] == y[0]:
            return x if x[1] == y[1] else (None, False)
        if x[0] > y[0]:
            x, y = y, x
        op = sum(1 << (2 * b + a) for a in (0, 1) for b in (0, 1) if (a ^ x[1]) & (b ^ y[1]))
        return self.add(op, x[0], y[0]), False  # type: ignore[arg-type]  # both nodes, checked above

    def or_(self, x: Lit, y: Lit) -> Lit:
        node, negated = self.and_((x[0], not x[1]), (y[0], not y[1]))
        return node, not negated

    def xor(self, x: Lit, y: Lit) -> Lit:
        if x[0] is None:
            return y[0], y[1] ^ x[1]
        if y[0] is None:
            return x[0], x[1] ^ y[1]
        if x[0] == y[0]:
            return None, x[1] != y[1]
        if x[0] > y[0]:
            x, y = y, x
        if self.aig:
            high = self.and_((x[0], False), (y[0], True))
            low = self.and_((x[0], True), (y[0], False))
            either = self.or_(high, low)
            return either[0], either[1] ^ x[1] ^ y[1]
        return self.add(6, x[0], y[0]), x[1] ^ y[1]  # type: ignore[arg-type]  # both nodes, checked above


def database(table: Bool) -> tuple[list[Gate], Lit]:
    """A smallest B2 circuit of a table of at most five variables, on its own variables."""
    m = int(len(table)).bit_length() - 1
    gates, output, negated = _native.minimal_circuit(variables.extend(table, MAX_CIRCUIT_VARS))

    def node(k: int) -> int:
        return k if k < MAX_CIRCUIT_VARS else k - MAX_CIRCUIT_VARS + m

    return [(op, node(a), node(b)) for op, a, b in gates], (None if output is None else node(output), negated)


def _cofactors(table: Bool, v: int) -> tuple[Bool, Bool]:
    halves = table.reshape(-1, 2, 1 << v)
    return np.ascontiguousarray(halves[:, 0, :]).reshape(-1), np.ascontiguousarray(halves[:, 1, :]).reshape(-1)


def _essential(table: Bool) -> list[int]:
    m = int(len(table)).bit_length() - 1
    if m == 0:
        return []
    mask = _native.essential_variables(table)
    return [v for v in range(m) if mask >> v & 1]


def _project(table: Bool, keep: list[int]) -> Bool:
    """The table on the listed variables (the others ignored: fixed at 0)."""
    m = int(len(table)).bit_length() - 1
    if len(keep) == m:
        return table
    rows = np.arange(1 << len(keep), dtype=np.int64)
    index = np.zeros_like(rows)
    for j, v in enumerate(keep):
        index |= (rows >> j & 1) << v
    return np.ascontiguousarray(table[index])


class Shannon:
    """Builds circuits of tables over a builder's inputs by cofactoring (the module's method)."""

    def __init__(self, build: Builder, basis: str, deadline: float | None, exhaustive: int = _EXHAUSTIVE) -> None:
        self.build = build
        self.basis = basis
        self.deadline = deadline
        self.exhaustive = exhaustive
        self._costs: dict[bytes, tuple[int, int, str]] = {}  # normal table -> (cost, variable, form)
        self._built: dict[tuple[bytes, tuple[int, ...]], Lit] = {}

    def _check(self) -> None:
        if self.deadline is not None and time.monotonic() >= self.deadline:
            raise Expired

    def _leaf(self, table: Bool) -> tuple[list[Gate], Lit]:
        """The best stored circuit of a table of at most five (its own, all essential) variables."""
        m = int(len(table)).bit_length() - 1
        if self.basis == "AIG" and m <= 4:
            found = aig4.lookup(variables.extend(table, 4))
            if found is not None:
                return found
        gates, out = database(table)
        if self.basis == "AIG":
            scratch = Builder(m, "AIG")
            out = scratch.embed(gates, out, list(range(m)))
            gates = scratch.gates
        return gates, out

    def _join(self, form: str) -> int:
        """The gates a form adds above its parts."""
        if form == "flip":
            return 3 if self.basis == "AIG" else (0 if self.basis == "MC" else 1)
        if form == "mux":
            return 1 if self.basis == "MC" else 3
        return 1 if self.basis == "MC" else (4 if self.basis == "AIG" else 2)  # an AND and an XOR

    def cost(self, table: Bool) -> int:
        """The size of the circuit ``build`` would give (ignoring what sharing saves)."""
        return self._plan(table)[0]

    def _plan(self, table: Bool) -> tuple[int, int, str]:
        normal = table ^ table[0]
        key = normal.tobytes()
        if key in self._costs:
            return self._costs[key]
        self._check()
        keep = _essential(normal)
        if len(keep) < 2:
            plan = (0, -1, "literal")
        elif len(keep) < int(len(table)).bit_length() - 1:
            plan = (self._plan(_project(normal, keep))[0], -1, "project")
        elif len(keep) <= MAX_CIRCUIT_VARS:
            plan = (size(self._leaf(normal)[0], self.basis), -1, "leaf")
            if self.basis == "AIG" and len(keep) == 5:
                plan = min(plan, self._split(normal, range(5)))
        else:
            m = len(keep)
            choices = range(m) if m <= self.exhaustive else [self._fewest(normal)]
            plan = self._split(normal, choices)
        self._costs[key] = plan
        return plan

    def _fewest(self, table: Bool) -> int:
        """The variable whose cofactors keep the fewest essential variables between them."""
        m = int(len(table)).bit_length() - 1
        scores = []
        for v in range(m):
            self._check()
            f0, f1 = _cofactors(table, v)
            scores.append((len(_essential(f0)) + len(_essential(f1)) + (len(_essential(f0 ^ f1)) > 0), v))
        return min(scores)[1]

    def _split(self, table: Bool, choices: range | list[int]) -> tuple[int, int, str]:
        best: tuple[int, int, str] | None = None
        for v in choices:
            f0, f1 = _cofactors(table, v)
            g = f0 ^ f1
            if g.all():
                forms = [(self.cost(f0) + self._join("flip"), v, "flip")]
            else:
                c0, c1 = self.cost(f0), self.cost(f1)
                forms = [(c0 + c1 + self._join("mux"), v, "mux")]
                if self.basis != "AIG" or c0 == 0 or c1 == 0:
                    cg = self.cost(g)
                    forms += [(c0 + cg + self._join("low"), v, "low"), (c1 + cg + self._join("high"), v, "high")]
            for form in forms:
                if best is None or form < best:
                    best = form
        assert best is not None
        return best

    def circuit(self, table: Bool, inputs: Sequence[int]) -> Lit:
        """The literal of a circuit of ``table``, whose variable j is node ``inputs[j]``."""
        complemented = bool(table[0])
        normal = table ^ complemented
        key = (normal.tobytes(), tuple(inputs))
        if key not in self._built:
            self._built[key] = self._make(normal, list(inputs))
        node, negated = self._built[key]
        return node, negated ^ complemented

    def _make(self, table: Bool, inputs: list[int]) -> Lit:
        build = self.build
        _, v, form = self._plan(table)
        self._check()
        if form == "literal":
            keep = _essential(table)
            if not keep:
                return None, False
            return inputs[keep[0]], bool(table[0] ^ table[1 << keep[0]] ^ 1)
        if form == "project":
            keep = _essential(table)
            return self.circuit(_project(table, keep), [inputs[k] for k in keep])
        if form == "leaf":
            gates, out = self._leaf(table)
            # An AIG from the four-input table reads inputs 0..3 whatever the table's own count.
            return build.embed(gates, out, inputs + inputs[:1] * (4 - len(inputs)) if self.basis == "AIG" else inputs)
        f0, f1 = _cofactors(table, v)
        rest = inputs[:v] + inputs[v + 1 :]
        x: Lit = (inputs[v], False)
        if form == "flip":
            return build.xor(self.circuit(f0, rest), x)
        if form == "mux":
            if self.basis == "MC":  # f0 ^ (x & (f0 ^ f1)): one AND, the XORs free
                low, high = self.circuit(f0, rest), self.circuit(f1, rest)
                return build.xor(low, build.and_(x, build.xor(low, high)))
            low = build.and_((inputs[v], True), self.circuit(f0, rest))
            high = build.and_(x, self.circuit(f1, rest))
            return build.or_(low, high)
        g = self.circuit(f0 ^ f1, rest)
        if form == "low":
            return build.xor(self.circuit(f0, rest), build.and_(x, g))
        return build.xor(self.circuit(f1, rest), build.and_((inputs[v], True), g))


class Diagram:
    """A circuit read off the binary decision diagram of a table in a variable order: each node
    x ? f1 : f0 (subfunctions shared, complements free) is joined by its cheapest form, an AND or
    OR with a constant side, f0 | (x & f1) when f0 implies f1 (two gates), an XOR when the sides
    are complements, else a multiplexer (one AND in "MC"). Below ``leaves`` variables a node takes
    the database's circuit instead (``leaves`` 0: the diagram goes down to the inputs)."""

    def __init__(self, build: Builder, basis: str, deadline: float | None, leaves: int = 0) -> None:
        self.build, self.basis, self.deadline, self.leaves = build, basis, deadline, leaves
        self._nodes: dict[bytes, Lit] = {}
        self._leaf = Shannon(build, basis, deadline) if leaves else None

    def circuit(self, table: Bool, order: Sequence[int]) -> Lit:
        """The literal of ``table``, its variable j being node ``order[j]`` (split from the last)."""
        complemented = bool(table[0])
        normal = table ^ complemented if complemented else table
        key = normal.tobytes()
        if key not in self._nodes:
            self._nodes[key] = self._make(normal, list(order))
        node, negated = self._nodes[key]
        return node, negated ^ complemented

    def _make(self, table: Bool, order: list[int]) -> Lit:
        if self.deadline is not None and time.monotonic() >= self.deadline:
            raise Expired
        build = self.build
        if not table.any():
            return None, False
        if self._leaf is not None and len(order) <= self.leaves:
            return self._leaf.circuit(table, order)
        half = len(table) // 2
        f0, f1 = table[:half], table[half:]
        x: Lit = (order[-1], False)
        rest = order[:-1]
        if np.array_equal(f0, f1):
            return self.circuit(f0, rest)
        if not (f0 ^ f1 ^ True).any():  # complements
            return build.xor(x, self.circuit(f0, rest))
        low, high = self.circuit(f0, rest), self.circuit(f1, rest)
        x0: Lit = (order[-1], True)
        if high[0] is None:  # one side constant: one gate
            return build.or_(x, low) if high[1] else build.and_(x0, low)
        if low[0] is None:
            return build.or_(x0, high) if low[1] else build.and_(x, high)
        if self.basis == "MC":
            return build.xor(low, build.and_(x, build.xor(low, high)))
        if not (f0 & ~f1).any():  # f0 implies f1
            return build.or_(low, build.and_(x, high))
        if not (f1 & ~f0).any():
            return build.or_(high, build.and_(x0, low))
        return build.or_(build.and_(x0, low), build.and_(x, high))


#: Completions of the free rows tried for the function of the count bits, beyond the plain three.
COMPLETIONS = 256


def _half_adder(build: Builder, a: Lit, b: Lit) -> tuple[Lit, Lit]:
    """a ^ b and a & b; in "AIG" a ^ b is ~(a & b) & ~(~a & ~b), three ANDs with a & b inside."""
    both = build.and_(a, b)
    if not build.aig:
        return build.xor(a, b), both
    return build.and_((both[0], not both[1]), build.or_(a, b)), both


def _count_function(values: Bool, k: int, basis: str, seed: int) -> tuple[list[Gate], Lit]:
    """The smallest circuit found in ``basis`` of a function of k <= 5 count bits whose rows past
    len(values) are free (no count reaches them), each completion taking the database's optimum
    (for "AIG" on four bits, fewer padded with bits that stay 0, the proven AIG optimum). The
    completions are tried in order, the first of the smallest size kept: the plain ones (zeros,
    ones, the last value), ``COMPLETIONS`` random ones (fewer when there are fewer), then every
    other when there are at most ``COMPLETIONS``, and for "AIG" on four bits the smallest of all."""
    width = 4 if basis == "AIG" and k < 4 else k
    free = (1 << width) - len(values)
    fills = [np.zeros(free, dtype=np.bool_), np.ones(free, dtype=np.bool_), np.full(free, values[-1])]
    rng = np.random.default_rng(seed)
    tries = min(COMPLETIONS, (1 << free) - 3) if free < 30 else COMPLETIONS
    fills += [rng.integers(0, 2, free).astype(np.bool_) for _ in range(max(tries, 0))]
    if 1 << free <= COMPLETIONS:
        fills += [np.array([f >> i & 1 for i in range(free)], dtype=np.bool_) for f in range(1 << free)]
    if basis == "AIG" and width == 4:
        weights = 1 << np.arange(16, dtype=np.int64)
        words = [int(np.concatenate([values, fill]).astype(np.int64) @ weights) for fill in fills]
        words.append(improve_dc.smallest_completion(int(words[0]), (1 << len(values)) - 1)[1])
        table = improve_dc.sizes()
        best = min(words, key=lambda word: int(table[word]))
        found = aig4.lookup(np.array([best >> x & 1 for x in range(16)], dtype=np.bool_))
        assert found is not None
        return found
    best_net: tuple[int, list[Gate], Lit] | None = None
    for fill in fills:
        gates, out = database(np.concatenate([values, fill]))
        if basis == "AIG":  # an XOR is three ANDs, some shared: counted once built
            build = Builder(width, basis)
            lit = build.embed(gates, out, list(range(width)))
            gates, lits = prune(width, build.gates, [lit])
            out = lits[0]
        cost = size(gates, basis)
        if best_net is None or cost < best_net[0]:
            best_net = (cost, gates, out)
    assert best_net is not None
    return best_net[1], best_net[2]


def symmetric_circuit(build: Builder, table: Bool, deadline: float | None, seed: int = 0) -> Lit | None:
    """For a symmetric table (its value a function of the input weight), the weight's bits from
    full and half adders (one AND each in "MC"; in "AIG" seven and three ANDs, the carry reusing
    the ANDs inside the XORs), then a small circuit of the value as a function of those bits, the
    weights above m free (``_count_function``); None when the table is not symmetric or the weight
    takes more than five bits."""
    m = int(len(table)).bit_length() - 1
    if not 2 <= m <= 31:
        return None
    xs = np.arange(1 << m, dtype=np.int64)
    weight = np.zeros_like(xs)
    for v in range(m):
        weight += xs >> v & 1
    values = np.zeros(m + 1, dtype=np.bool_)
    values[weight] = table
    if not np.array_equal(values[weight], table):
        return None
    if not (values != values[0]).any():
        return None, bool(values[0])
    # Columns of bits by weight 2**j, reduced until one bit is left in each.
    columns: list[list[Lit]] = [[(v, False) for v in range(m)]]
    j = 0
    while j < len(columns):
        column = columns[j]
        while len(column) > 1:
            if deadline is not None and time.monotonic() >= deadline:
                raise Expired
            if j + 1 == len(columns):
                columns.append([])
            a, b = column.pop(0), column.pop(0)
            if column and build.basis == "MC":  # maj(a, b, c) = ((a ^ c) & (b ^ c)) ^ c: one AND
                c = column.pop(0)
                column.append(build.xor(build.xor(a, b), c))
                columns[j + 1].append(build.xor(build.and_(build.xor(a, c), build.xor(b, c)), c))
            elif column:  # (a & b) | ((a ^ b) & c), both ANDs inside the sum's XORs
                half, both = _half_adder(build, a, b)
                total, inner = _half_adder(build, half, column.pop(0))
                column.append(total)
                columns[j + 1].append(build.or_(both, inner))
            else:
                half, both = _half_adder(build, a, b)
                column.append(half)
                columns[j + 1].append(both)
        j += 1
    bits = [column[0] for column in columns]
    if len(bits) > MAX_CIRCUIT_VARS:
        return None
    gates, out = _count_function(values, len(bits), build.basis, seed)
    width = 4 if build.aig and len(bits) < 4 else len(bits)  # as ``_count_function`` pads them
    inputs: list[Lit] = bits + [(None, False)] * (width - len(bits))
    nodes: list[Lit] = list(inputs)
    for op, left, right in gates:
        nodes.append(build.gate(op, nodes[left], nodes[right]))
    if out[0] is None:
        return None, out[1]
    return nodes[out[0]][0], nodes[out[0]][1] ^ out[1]


def prune(n: int, gates: Sequence[Gate], lits: Sequence[Lit]) -> tuple[list[Gate], list[Lit]]:
    """The gates some output depends on, renumbered in order."""
    needed = [False] * (n + len(gates))
    for node, _ in lits:
        if node is not None:
            needed[node] = True
    for i in range(len(gates) - 1, -1, -1):
        if needed[n + i]:
            needed[gates[i][1]] = needed[gates[i][2]] = True
    renumber = list(range(n))
    kept: list[Gate] = []
    for i, (op, a, b) in enumerate(gates):
        renumber.append(n + len(kept))
        if needed[n + i]:
            kept.append((op, renumber[a], renumber[b]))
    return kept, [(None if node is None else renumber[node], negated) for node, negated in lits]


def ashenhurst_circuit(build: Builder, table: Bool, deadline: float | None) -> Lit:
    """The table as g(h(A), B) for the disjoint split of its variables into A (two or more) and B
    that gives the smallest circuit (Ashenhurst: every row of the chart with A's values as columns
    takes one of two patterns, h telling which), h and g by ``Shannon``; when no split exists, by
    ``Shannon`` alone."""
    m = int(len(table)).bit_length() - 1
    best: tuple[int, list[int], Bool, Bool] | None = None
    for width in range(2, m):
        for bound in itertools.combinations(range(m), width):
            if deadline is not None and time.monotonic() >= deadline:
                raise Expired
            free = [v for v in range(m) if v not in bound]
            chart = _permuted(table, [*bound, *free]).reshape(1 << len(free), 1 << width)
            first = chart[:, 0]
            h = np.array([not np.array_equal(chart[:, a], first) for a in range(1 << width)])
            if not h.any():  # the table ignores the bound variables: no decomposition
                continue
            second = chart[:, int(np.argmax(h))]
            if not np.array_equal(chart, np.where(h, second[:, None], first[:, None])):
                continue
            g = np.ascontiguousarray(np.stack([first, second], axis=1)).reshape(-1)  # variable 0 is h
            trial = Builder(m, build.basis)
            trial_shannon = Shannon(trial, build.basis, deadline)
            inner = trial_shannon.circuit(h, list(bound))
            assert inner[0] is not None
            trial_shannon.circuit(_flip_first(g) if inner[1] else g, [inner[0], *free])
            cost = size(trial.gates, build.basis)
            if best is None or cost < best[0]:
                best = (cost, list(bound), h, g)
    shannon = Shannon(build, build.basis, deadline)
    if best is None:
        return shannon.circuit(table, list(range(m)))
    _, chosen, h, g = best
    node, negated = shannon.circuit(h, chosen)
    assert node is not None
    return shannon.circuit(_flip_first(g) if negated else g, [node, *(v for v in range(m) if v not in chosen)])


def _flip_first(table: Bool) -> Bool:
    """The table with its variable 0 complemented (g read through a complemented h)."""
    return np.ascontiguousarray(table.reshape(-1, 2)[:, ::-1]).reshape(-1)


def sop_circuit(build: Builder, table: Bool, deadline: float | None) -> Lit:
    """A circuit of the irredundant sum of products (Minato-Morreale, the core's) of the table or of
    its complement, whichever has fewer literals, factored: the literal in the most cubes is taken
    out of them (l & (their quotient) | the rest), recursively."""
    covers = []
    for complemented in (False, True):
        t = np.ascontiguousarray(table ^ complemented)
        rows = _native.isop(t, t).tolist()
        covers.append((sum(bin(mask).count("1") for mask, _ in rows), complemented, rows))
    _, complemented, rows = min(covers)
    m = int(len(table)).bit_length() - 1
    cubes = [frozenset((v, bool(values >> v & 1)) for v in range(m) if mask >> v & 1) for mask, values in rows]

    def factor(cubes: list[frozenset[tuple[int, bool]]]) -> Lit:
        if deadline is not None and time.monotonic() >= deadline:
            raise Expired
        if not cubes:
            return None, False
        if any(not cube for cube in cubes):
            return None, True
        counts: dict[tuple[int, bool], int] = {}
        for cube in cubes:
            for literal in cube:
                counts[literal] = counts.get(literal, 0) + 1
        literal, count = max(sorted(counts.items()), key=lambda item: item[1])
        if count == 1 or len(cubes) == 1:
            out: Lit = (None, False)
            for cube in cubes:
                term: Lit = (None, True)
                for v, positive in sorted(cube):
                    term = build.and_(term, (v, not positive))
                out = build.or_(out, term)
            return out
        inside = [cube - {literal} for cube in cubes if literal in cube]
        outside = [cube for cube in cubes if literal not in cube]
        v, positive = literal
        return build.or_(build.and_((v, not positive), factor(inside)), factor(outside))

    node, negated = factor(cubes)
    return node, negated ^ complemented


def anf_circuit(build: Builder, table: Bool, deadline: float | None) -> Lit:
    """An XAG of a table from its algebraic normal form: each monomial one AND gate on the monomial
    without its highest variable (shared between monomials), the monomials XORed together."""
    monomials: dict[int, Lit] = {0: (None, True)}

    def monomial(u: int) -> Lit:
        if u not in monomials:
            top = u.bit_length() - 1
            rest = u & ~(1 << top)
            monomials[u] = (top, False) if rest == 0 else build.and_(monomial(rest), (top, False))
        return monomials[u]

    out: Lit = (None, False)
    for count, u in enumerate(_native.anf_monomials(table)):
        if count & 255 == 0 and deadline is not None and time.monotonic() >= deadline:
            raise Expired
        out = build.xor(out, monomial(int(u)))
    return out


def _permuted(table: Bool, order: Sequence[int]) -> Bool:
    """The table whose variable j is variable ``order[j]`` of ``table``."""
    rows = np.arange(len(table), dtype=np.int64)
    index = np.zeros_like(rows)
    for j, v in enumerate(order):
        index |= (rows >> j & 1) << v
    return table[index]


def first_circuit(
    m: int, tables: Sequence[Bool], basis: str, deadline: float | None
) -> tuple[list[Gate], list[Lit]] | None:
    """The smallest of the constructive circuits of ``tables`` (m variables each) in ``basis``, or
    None when the deadline passed before one was complete. The quickest methods go first; up to
    five variables every method is a few lookups and runs whatever the deadline."""
    limit = None if m <= MAX_CIRCUIT_VARS else deadline
    identity, reverse = list(range(m)), list(range(m))[::-1]
    leaves = 4 if basis == "AIG" else MAX_CIRCUIT_VARS
    methods: list[tuple[str, Any]] = [("diagram", (identity, 0)), ("symmetric", None), ("diagram", (reverse, 0))]
    methods += [("diagram", (identity, leaves)), ("diagram", (reverse, leaves))]
    # The split choosing its variable costs seconds from twelve variables on, where the diagram
    # with database leaves does as well.
    methods += [("shannon", 0)] if _EXHAUSTIVE < m <= 12 else []
    methods += [("shannon", _EXHAUSTIVE)] if m <= 10 else []
    methods += [("sop", None)] if m <= 16 else []
    methods += [("ashenhurst", None)] if MAX_CIRCUIT_VARS < m <= 10 and len(tables) == 1 else []
    methods += [("anf", None)] if basis == "MC" else []
    best: tuple[list[Gate], list[Lit]] | None = None
    for method, option in methods:
        build = Builder(m, basis)
        try:
            if method == "anf":
                lits = [anf_circuit(build, t, limit) for t in tables]
            elif method == "ashenhurst":
                lits = [ashenhurst_circuit(build, t, limit) for t in tables]
            elif method == "sop":
                lits = [sop_circuit(build, t, limit) for t in tables]
            elif method == "symmetric":
                found = [symmetric_circuit(build, t, limit) for t in tables]
                if any(lit is None for lit in found):
                    continue
                lits = [lit for lit in found if lit is not None]
            elif method == "diagram":
                order, depth = option
                diagram = Diagram(build, basis, limit, depth)
                lits = [diagram.circuit(_permuted(t, order), order) for t in tables]
            else:
                shannon = Shannon(build, basis, limit, exhaustive=option)
                lits = [shannon.circuit(t, list(range(m))) for t in tables]
        except Expired:
            break
        candidate = prune(m, build.gates, lits)
        if best is None or size(candidate[0], basis) < size(best[0], basis):
            best = candidate
    return best
