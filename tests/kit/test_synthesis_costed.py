"""Synthesis where inverters cost a gate ("BGC", "GC") against every circuit of a few gates,
enumerated here, and the lift of circuits with free inverters into those bases."""

import itertools
import random

import numpy as np
import pytest

from vexil_kit import BooleanFunction, Circuit
from vexil_kit.synthesis import synthesize_tables
from vexil_kit.synthesis.costed import OPS, lift

NOTS = {5, 3}


def _apply(op, a, b, rows):
    """The table (an int of 2**n bits) of gate ``op`` on operand tables a and b."""
    out = 0
    for t in range(rows):
        out |= (op >> (2 * (b >> t & 1) + (a >> t & 1)) & 1) << t
    return out


def _least_costs(n, basis, most):
    """The fewest gates of ``basis`` (NOT included) computing each set of tables, up to ``most`` gates:
    singles keyed by a table, pairs by a sorted pair of tables."""
    rows = 1 << n
    full = (1 << rows) - 1
    inputs = [sum(1 << t for t in range(rows) if t >> v & 1) for v in range(n)]
    free = [0, full, *inputs]
    best = {}

    def note(nodes, cost):
        known = free + nodes
        for f in known:
            best[f] = min(best.get(f, most + 1), cost)
        for f, g in itertools.combinations_with_replacement(known, 2):
            key = (min(f, g), max(f, g))
            best[key] = min(best.get(key, most + 1), cost)

    seen = set()

    def grow(nodes, cost):
        if frozenset(nodes) in seen:  # the same tables made in another order
            return
        seen.add(frozenset(nodes))
        note(nodes, cost)
        if cost == most:
            return
        every = inputs + nodes
        made = {_apply(op, a, b, rows) for a, b in itertools.combinations(every, 2) for op in OPS[basis]}
        for table in made | {full ^ a for a in every}:
            if table not in free and table not in nodes:  # a smallest circuit makes each table once
                grow([*nodes, table], cost + 1)

    grow([], 0)
    return best


def _check(found, tables, basis):
    """The circuit computes the tables with gates of the basis and no complemented output."""
    circuit = found.circuit
    assert all(np.array_equal(c, t) for c, t in zip(circuit.tables(), tables, strict=True))
    assert all(op in OPS[basis] | NOTS for op, _, _ in circuit.gates)
    assert all(not negated or node is None for node, negated in circuit.outputs)
    assert found.upper_bound == len(circuit.gates)


def _table(n, bits):
    return np.array([bits >> t & 1 for t in range(1 << n)], dtype=bool)


@pytest.mark.parametrize("basis, most", [("BGC", 4), ("GC", 3)])
def test_every_three_input_function_against_enumerated_circuits(basis, most):
    least = _least_costs(3, basis, most)
    for bits in range(256):
        table = _table(3, bits)
        found = synthesize_tables(3, [table], basis)
        _check(found, [table], basis)
        assert found.optimal
        if bits in least and least[bits] <= most:
            assert found.upper_bound == least[bits], bits
        else:
            assert found.upper_bound > most, bits


@pytest.mark.parametrize("basis, most", [("BGC", 4), ("GC", 3)])
def test_every_pair_of_two_input_functions_against_enumerated_circuits(basis, most):
    least = _least_costs(2, basis, most)
    for f, g in itertools.combinations_with_replacement(range(16), 2):
        tables = [_table(2, f), _table(2, g)]
        found = synthesize_tables(2, tables, basis)
        _check(found, tables, basis)
        assert found.optimal
        if least.get((f, g), most + 1) <= most:
            assert found.upper_bound == least[(f, g)], (f, g)
        else:
            assert found.upper_bound > most, (f, g)


@pytest.mark.parametrize("seed", range(20))
@pytest.mark.parametrize("basis", ["BGC", "GC"])
def test_a_circuit_with_free_inverters_lifts_to_the_same_tables(seed, basis):
    rng = random.Random(seed)
    n = rng.randint(2, 5)
    both = [op for op in range(16) if op not in (0, 3, 5, 10, 12, 15)]  # ops reading both operands
    gates = []
    for i in range(rng.randint(1, 12)):
        a, b = rng.sample(range(n + i), 2)
        gates.append((rng.choice(both), a, b))
    outputs = [(rng.randrange(n + len(gates)), rng.random() < 0.5) for _ in range(3)] + [(None, True)]
    given = Circuit(n, tuple(gates), outputs=tuple(outputs))
    made, lits = lift(n, gates, outputs, basis)
    lifted = Circuit(n, tuple(made), outputs=tuple(lits))
    assert all(np.array_equal(a, b) for a, b in zip(lifted.tables(), given.tables(), strict=True))
    assert all(op in OPS[basis] | NOTS for op, _, _ in made)
    assert all(not negated or node is None for node, negated in lits)
    # Each node costs its gate and at most one NOT, each input at most one NOT.
    assert len(made) <= 2 * len(gates) + n


@pytest.mark.parametrize("name", ["majority", "inner_product"])
def test_the_bases_are_ordered_as_their_gates_are(name):
    """Free inverters make B2 the least; GC has every gate of BGC."""
    f = getattr(BooleanFunction, name)(4)
    sizes = {basis: synthesize_tables(4, [f.table], basis).upper_bound for basis in ("B2", "BGC", "GC")}
    assert sizes["B2"] <= sizes["GC"] <= sizes["BGC"]


@pytest.mark.parametrize("seed", range(8))
@pytest.mark.parametrize("basis", ["BGC", "GC"])
def test_rewriting_windows_keeps_the_tables_and_never_grows(seed, basis):
    from vexil_kit.synthesis.costed_windows import shrink

    rng = random.Random(seed)
    n = rng.randint(3, 4)
    both = [op for op in range(16) if op not in (0, 3, 5, 10, 12, 15)]
    gates = []
    for i in range(rng.randint(4, 14)):
        a, b = rng.sample(range(n + i), 2)
        gates.append((rng.choice(both), a, b))
    outputs = [(n + len(gates) - 1 - j, rng.random() < 0.5) for j in range(2)]
    made, lits = lift(n, gates, outputs, basis)
    small, small_lits = shrink(n, made, lits, basis, None, synthesize_tables)
    before = Circuit(n, tuple(made), outputs=tuple(lits))
    after = Circuit(n, tuple(small), outputs=tuple(small_lits))
    assert all(np.array_equal(a, b) for a, b in zip(after.tables(), before.tables(), strict=True))
    assert len(small) <= len(made)
    assert all(op in OPS[basis] | NOTS for op, _, _ in small)
    assert all(not negated or node is None for node, negated in small_lits)


def test_rewriting_windows_folds_not_gates_into_the_gates_around_them():
    from vexil_kit.synthesis.costed_windows import shrink

    # ~x0 & ~x1 by two NOTs and an AND, read by an XOR: one NOR in GC, OR then NOT in BGC.
    gates = [(5, 0, 0), (5, 1, 1), (8, 3, 4), (6, 5, 2)]
    outputs = [(6, False)]
    for basis, size in (("GC", 2), ("BGC", 3)):
        small, lits = shrink(3, gates, outputs, basis, None, synthesize_tables)
        assert len(small) == size
        after = Circuit(3, tuple(small), outputs=tuple(lits))
        assert np.array_equal(after.tables()[0], Circuit(3, tuple(gates), outputs=tuple(outputs)).tables()[0])
