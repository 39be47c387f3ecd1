"""Circuit.improve: never larger, never another function (checked here gate by gate, row by row), at the
optimum where the whole circuit is one window, and stopped by a time limit or Ctrl-C with the best so far."""

import random
import time
from pathlib import Path

import numpy as np
import pytest
from children import interrupt_call, run_limited

from vexil_kit import BooleanFunction, Circuit
from vexil_kit.circuits import AND_OPS, XOR_OPS
from vexil_kit.synthesis import improve as improving
from vexil_kit.synthesis import improve_check, improve_depth, synthesize_tables

OPS = {"B2": list(range(16)), "AIG": sorted(AND_OPS), "XAG": sorted(AND_OPS | XOR_OPS), "MC": sorted(AND_OPS | XOR_OPS)}


def random_circuit(n, gates, basis, seed):
    """Gates of random ops over the basis, each reading one of the last few nodes and any other."""
    r = random.Random(seed)
    built = []
    for i in range(gates):
        a = r.randrange(max(0, n + i - 5), n + i)
        built.append((r.choice(OPS[basis]), a, r.randrange(n + i)))
    top = n + gates
    return Circuit(n, built, outputs=[(top - 1 - j, r.random() < 0.5) for j in range(r.randint(1, 3))])


def brute_force(circuit):
    """The outputs on every row, one gate at a time from the definition of an op's bits."""
    return [row(circuit, x) for x in range(1 << circuit.inputs)]


def cost(circuit, basis):
    return circuit.and_count if basis == "MC" else circuit.size


CASES = [(basis, seed) for basis in OPS for seed in range(10)]


@pytest.mark.parametrize("depth", [False, True])
@pytest.mark.parametrize("basis, seed", CASES)
def test_random_circuits_keep_their_function_and_never_grow(basis, seed, depth):
    n = 3 + seed % 8
    circuit = random_circuit(n, 12 + 3 * seed, basis, seed)
    better, summary = circuit.improve(basis, time_limit=20, depth=depth)
    assert brute_force(better) == brute_force(circuit)
    assert cost(better, basis) <= cost(circuit, basis)
    assert (summary.gates_before, summary.gates_after) == (circuit.size, better.size)
    allowed = {"AIG": {"AIG"}, "B2": {"AIG", "XAG", "B2"}}.get(basis, {"AIG", "XAG"})
    assert better.basis in allowed
    if depth:
        assert better.depth <= circuit.depth
    assert summary.stopped == "fixed point" and summary.verified == "simulation"


def minterm_circuit(f):
    """f as the OR of its minterms, each an AND chain of literals: far from the smallest."""
    n, gates, terms = f.n, [], []
    for x in np.flatnonzero(np.asarray(f)):
        lit, neg = 0, not x & 1
        for v in range(1, n):
            op = sum(((a ^ neg) & (b ^ (not x >> v & 1))) << (2 * b + a) for a in (0, 1) for b in (0, 1))
            gates.append((op, lit, v))
            lit, neg = n + len(gates) - 1, False
        terms.append((lit, neg))
    if not terms:
        return Circuit(n, [], None, False)
    lit, neg = terms[0]
    for other, other_neg in terms[1:]:
        op = sum(((a ^ neg) | (b ^ other_neg)) << (2 * b + a) for a in (0, 1) for b in (0, 1))
        gates.append((op, lit, other))
        lit, neg = n + len(gates) - 1, False
    return Circuit(n, gates, lit, neg)


SMALL = [BooleanFunction.random(n, seed=s) for n in (3, 4, 5) for s in range(4)] + [
    BooleanFunction.majority(5),
    BooleanFunction.xor(4),
    BooleanFunction.threshold(5, 2),
]


@pytest.mark.parametrize("f", SMALL, ids=str)
def test_a_circuit_of_five_inputs_reaches_the_database_optimum(f):
    better, _ = minterm_circuit(f).improve("B2")
    assert better.to_function() == f
    assert better.size == f.minimal_gates()


@pytest.mark.parametrize("f", [f for f in SMALL if f.n <= 4], ids=str)
def test_a_circuit_of_four_inputs_reaches_the_aig_optimum(f):
    better, _ = minterm_circuit(f).improve("AIG")
    assert better.basis == "AIG" and better.to_function() == f
    assert better.size == synthesize_tables(f.n, [np.asarray(f)], "AIG").upper_bound


def test_windows_of_several_outputs_reach_the_optimum_of_the_whole():
    # A full adder with its carry as three ANDs under two ORs: sum and carry share the optimum's gates.
    gates = [(6, 0, 1), (6, 3, 2), (8, 0, 1), (8, 0, 2), (8, 1, 2), (14, 5, 6), (14, 8, 7)]
    adder = Circuit(3, gates, outputs=[(4, False), (9, False)])
    better, _ = adder.improve("XAG")
    tables = adder.tables()
    assert np.array_equal(better.tables(), tables)
    assert better.size == synthesize_tables(3, list(tables), "XAG").upper_bound


def test_depth_mode_balances_a_chain():
    chain = Circuit(8, [(8, 0, 1)] + [(8, 8 + i, i + 2) for i in range(6)], 14)
    plain, _ = chain.improve()
    shallow, summary = chain.improve(depth=True)
    # The plain mode may balance too (a stage of AIG improvement), but never below the depth mode.
    assert plain.size == shallow.size == 7 and plain.depth >= shallow.depth
    assert shallow.depth == 3 == summary.depth_after
    assert brute_force(shallow) == brute_force(chain)


@pytest.mark.parametrize(
    "call, error",
    [
        (lambda c: c.improve("NAND"), ValueError),
        (lambda c: c.improve(time_limit=-1), ValueError),
        (lambda c: c.improve(time_limit="1"), TypeError),
        (lambda c: improving.improve(c, cut_size=9), ValueError),
        (lambda c: improving.improve("c"), TypeError),
    ],
)
def test_bad_arguments_are_refused(call, error):
    with pytest.raises(error):
        call(Circuit(2, [(8, 0, 1)], 2))


# A minterm circuit of a random eight-input function: hundreds of gates, seconds of passes.
LARGE = """
import sys
sys.path[:0] = [TESTS, TESTS + "/.."]
from test_improve import minterm_circuit, brute_force
from vexil_kit import BooleanFunction
from vexil_kit.synthesis.improve import Interrupted
circuit = minterm_circuit(BooleanFunction.random(8, seed=1))
"""


def test_ctrl_c_raises_with_the_best_circuit_so_far():
    setup = (
        LARGE
        + """
kept = []
def work():
    try:
        circuit.improve()
    except Interrupted as stop:
        kept.append(stop.improvement)
        raise
def after():
    better, summary = kept[0]
    same = brute_force(better) == brute_force(circuit)
    return f"{same} {better.size <= circuit.size} {summary.stopped} {summary.verified}"
"""
    )
    stopped = interrupt_call(setup.replace("TESTS", repr(str(_tests()))), delay=1.0)
    assert stopped.interrupted, (stopped.lines, stopped.err)
    assert stopped.lines[1:] == ["True True interrupted simulation"]
    assert stopped.latency < 5.0


def test_a_time_limit_returns_a_checked_circuit_in_time():
    setup = (
        LARGE
        + """
import time
found = []
def run():
    start = time.monotonic()
    found.append((circuit.improve(time_limit=0.5), time.monotonic() - start))
calls = {"improve": run}
def after():
    (better, summary), seconds = found[0]
    return [brute_force(better) == brute_force(circuit), summary.stopped, seconds]
"""
    )
    outcome = run_limited(setup.replace("TESTS", repr(str(_tests()))), None, timeout=120)
    same, stopped, seconds = eval(outcome["after"][1])
    assert outcome["improve"][0] == "ok" and same and stopped == "time limit"
    assert seconds < 5.0


def _tests():
    return Path(__file__).resolve().parent


def test_the_summary_reads_as_a_line():
    _, summary = Circuit(2, [(8, 0, 1), (14, 0, 1), (8, 2, 3)], 4).improve()
    assert str(summary).startswith("AIG: 3 -> 1 gates")


@pytest.mark.parametrize("seed", range(12))
def test_both_equivalence_checks_agree_with_the_rows(seed):
    # A circuit against itself with one gate's op changed: equal exactly when no output row differs.
    circuit = random_circuit(3 + seed % 6, 15, "B2", seed)
    r = random.Random(seed)
    gates = list(circuit.gates)
    i = r.randrange(len(gates))
    gates[i] = (r.randrange(16), *gates[i][1:])
    other = Circuit(circuit.inputs, gates, outputs=circuit.outputs)
    same = brute_force(other) == brute_force(circuit)
    parts = [(c.gates, c.outputs) for c in (circuit, other)]
    assert improve_check.simulate_equal(circuit.inputs, *parts) == same
    assert improve_check.miter_equal(circuit.inputs, *parts) == same


def test_more_inputs_than_simulated_are_checked_by_sat():
    n = improve_check.SIMULATED + 6
    circuit = random_circuit(n, 60, "XAG", 5)
    better, summary = circuit.improve()
    assert summary.verified == "SAT" and better.size <= circuit.size
    r = random.Random(1)
    for x in (r.randrange(1 << n) for _ in range(300)):
        assert row(better, x) == row(circuit, x)


def row(circuit, x):
    """The outputs on input x, gate by gate."""
    value = [x >> v & 1 for v in range(circuit.inputs)]
    for op, a, b in circuit.gates:
        value.append(op >> (2 * value[b] + value[a]) & 1)
    return [(0 if node is None else value[node]) ^ negated for node, negated in circuit.outputs]


@pytest.mark.parametrize("n", [6, 8, 12])
def test_a_function_built_twice_apart_is_built_once(n):
    # x0 & ... & x(n-1) as a chain and as a balanced tree: no window of five leaves holds both, the
    # whole tables show them equal, and n - 1 gates (one per variable joined) is the least there is.
    gates = [(8, 0, 1)] + [(8, n + i, i + 2) for i in range(n - 2)]
    level = list(range(n))
    while len(level) > 1:
        pairs = [(level[i], level[i + 1]) for i in range(0, len(level) - 1, 2)]
        carried = level[-1:] if len(level) % 2 else []
        level = []
        for a, b in pairs:
            gates.append((8, a, b))
            level.append(n + len(gates) - 1)
        level += carried
    twice = Circuit(n, gates, outputs=[(2 * n - 3, False), (level[0], True)])
    better, _ = twice.improve()
    assert better.size == n - 1
    assert brute_force(better) == brute_force(twice)


# Functions of at most five gates: refuting the sizes below a larger optimum with levels takes minutes.
DEPTH_CASES = [
    (f, s)
    for f, s in ((BooleanFunction.random(n, seed=s), s) for n in (3, 4) for s in range(8))
    if f.minimal_gates() <= 5
]


@pytest.mark.parametrize("f, seed", DEPTH_CASES, ids=str)
def test_depth_bounded_windows_compute_their_table_within_the_bound(f, seed):
    k, table = f.n, int(sum(int(bit) << x for x, bit in enumerate(np.asarray(f))))
    loose = improve_depth.within_depth(table, k, [0] * k, 12, 12, False, None)
    assert loose is not None and len(loose[0]) == f.minimal_gates()
    r = random.Random(seed)
    arrival = [r.randrange(2) for _ in range(k)]
    for bound in range(1, 5):
        found = improve_depth.within_depth(table, k, arrival, bound, len(loose[0]) + 1, False, time.monotonic() + 2)
        if found is None:
            continue
        gates, (node, negated) = found
        level = list(arrival)
        for _, a, b in gates:
            level.append(max(level[a], level[b]) + 1)
        assert node is None or level[node] <= bound
        circuit = Circuit(k, gates, node, negated)
        assert [row[0] for row in brute_force(circuit)] == [int(bit) for bit in np.asarray(f)]


def test_progress_reports_the_gates_of_each_pass():
    circuit = random_circuit(6, 30, "XAG", 3)
    seen = []
    circuit.improve(progress=lambda done, total: seen.append((done, total)))
    assert seen and all(0 <= done < total for done, total in seen)
