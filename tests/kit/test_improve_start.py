"""The other starts of AIG improvement: the synthesis's first circuit (decompositions) and the count of
the ones for symmetric outputs, each the outputs' functions exactly, in AND-type gates only, and kept
by ``improve`` only where it ends smaller."""

import random

import numpy as np
import pytest

from vexil_kit import Circuit
from vexil_kit.circuits import AND_OPS
from vexil_kit.synthesis import constructive, improve


def rows(n, gates, outputs):
    """Each output's table as an int, row by row from the definition of an op's bits."""
    tables = [0] * len(outputs)
    for x in range(1 << n):
        value = [x >> v & 1 for v in range(n)]
        for op, a, b in gates:
            value.append(op >> (2 * value[b] + value[a]) & 1)
        for j, (node, negated) in enumerate(outputs):
            tables[j] |= ((0 if node is None else value[node]) ^ negated) << x
    return tables


def decomposed(n, tables, deadline=None):
    """The synthesis's first AIG of the tables (ints of 2**n bits), as improvement starts from it."""
    bools = [np.array([t >> x & 1 for x in range(1 << n)], dtype=bool) for t in tables]
    return constructive.first_circuit(n, bools, "AIG", deadline)


def drawn(n, outputs, seed):
    """Tables of few and many ones, one that reads no input at all and one of a small support."""
    r = random.Random(seed)
    full = (1 << (1 << n)) - 1
    tables = [r.getrandbits(1 << n) for _ in range(outputs)]
    tables.append(r.getrandbits(1 << n) & r.getrandbits(1 << n) & r.getrandbits(1 << n))
    tables.append(full if seed % 2 else 0)
    tables.append(rows(n, [(6, 0, n - 1)], [(n, False)])[0])  # x0 ^ x(n-1)
    return [t & full for t in tables]


@pytest.mark.parametrize("n, outputs, seed", [(n, 1 + s % 3, s) for n in range(5, 9) for s in range(3)])
def test_the_decomposition_computes_the_tables(n, outputs, seed):
    tables = drawn(n, outputs, seed)
    gates, outs = decomposed(n, tables)
    assert rows(n, gates, outs) == tables
    assert all(op in AND_OPS for op, _, _ in gates)


def test_the_decomposition_gives_up_past_its_deadline():
    assert decomposed(8, [random.Random(1).getrandbits(256)], deadline=0.0) is None


@pytest.mark.parametrize("seed", range(2))
def test_improve_keeps_the_smaller_of_both_starts(seed):
    # A random function of eight inputs as a sum of minterms: every window of it is optimal already,
    # the decomposition is far smaller, and the improvement must end no larger than it.
    n, r = 8, random.Random(seed)
    table = r.getrandbits(1 << n)
    gates, terms = [], []
    for x in range(1 << n):
        if table >> x & 1:
            gates.append((1 << (2 * (x >> 1 & 1) + (x & 1)), 0, 1))  # the literals of x0 and x1
            lit = n + len(gates) - 1
            for v in range(2, n):
                gates.append((8 if x >> v & 1 else 2, lit, v))
                lit = n + len(gates) - 1
            terms.append(lit)
    top = terms[0]
    for other in terms[1:]:
        gates.append((14, top, other))
        top = n + len(gates) - 1
    circuit = Circuit(n, gates, outputs=[(top, False)])
    assert rows(n, circuit.gates, circuit.outputs) == [table]
    better, summary = circuit.improve("AIG", time_limit=3)
    start = decomposed(n, [table])
    assert better.size <= len(start[0]) and summary.verified == "simulation"
    assert rows(n, better.gates, better.outputs) == [table]


def symmetric_table(n, by_count):
    return sum(by_count[x.bit_count()] << x for x in range(1 << n))


@pytest.mark.parametrize("basis", ["AIG", "B2", "XAG", "MC"])
@pytest.mark.parametrize("n, seed", [(n, s) for n in (2, 3, 5, 9, 12) for s in range(2)])
def test_symmetric_outputs_are_counted_exactly(n, seed, basis):
    # Random symmetric outputs and one that is not: the first computed row by row, the second refused.
    r = random.Random(seed)
    tables = [symmetric_table(n, [r.randrange(2) for _ in range(n + 1)]) for _ in range(2)]
    gates, outs = improve._symmetric_start(n, tables, None, basis)
    assert rows(n, gates, outs) == tables
    assert all(op in AND_OPS for op, _, _ in gates) or basis != "AIG"
    lopsided = tables[0] ^ 2  # the row with only x0 set flipped
    assert improve._symmetric_start(n, [tables[1], lopsided], None, basis) is None


def test_a_wide_majority_ends_below_its_chain_of_partial_counts():
    # Majority of 13 as a row of "at least j so far" gates: the count of the ones is smaller, and the
    # improvement must end below the chain's size however long the windows were rewritten.
    n, most = 13, 7
    gates, row = [], [(None, True)] + [(None, False)] * most
    for v in range(n):
        new = [row[0]]
        for j in range(1, most + 1):
            terms = [t for t in (row[j], (v, False) if row[j - 1] == (None, True) else None) if t]
            if row[j - 1][0] is not None:
                gates.append((8, v, row[j - 1][0]))
                terms.append((n + len(gates) - 1, False))
            if len(terms) == 2 and terms[0][0] is not None:
                gates.append((14, terms[0][0], terms[1][0]))
                terms = [(n + len(gates) - 1, False)]
            new.append(terms[-1] if terms and terms[-1][0] is not None else (None, False))
        row = new
    chain = Circuit(n, gates, outputs=[row[most]])
    assert rows(n, chain.gates, chain.outputs) == [symmetric_table(n, [int(c >= most) for c in range(n + 1)])]
    better, _ = chain.improve("AIG", time_limit=20)
    assert rows(n, better.gates, better.outputs) == rows(n, chain.gates, chain.outputs)
    assert better.size < Circuit(n, gates, outputs=[row[most]]).improve("AIG", time_limit=0).circuit.size - 10


@pytest.mark.parametrize("basis", ["AIG", "B2", "MC"])
@pytest.mark.parametrize("n, seed", [(n, s) for n in (2, 4, 7, 9, 15, 16) for s in range(2)])
def test_the_count_function_is_right_on_every_count_and_no_larger_than_the_plain_completions(n, seed, basis):
    r = random.Random(seed * 17 + n)
    values = np.array([r.randrange(2) for _ in range(n + 1)], dtype=bool)
    k = n.bit_length()
    gates, out = constructive._count_function(values, k, basis, seed)
    width = 4 if basis == "AIG" and k < 4 else k
    assert [rows(width, gates, [out])[0] >> c & 1 for c in range(n + 1)] == values.tolist()
    assert basis != "AIG" or all(op in AND_OPS for op, _, _ in gates)
    free = (1 << width) - (n + 1)
    for fill in (np.zeros(free, dtype=bool), np.ones(free, dtype=bool), np.full(free, values[-1])):
        build = constructive.Builder(width, basis)
        plain = constructive.database(np.concatenate([values, fill]))
        lit = build.embed(*plain, list(range(width)))
        assert constructive.size(gates, basis) <= constructive.size(
            constructive.prune(width, build.gates, [lit])[0], basis
        )
