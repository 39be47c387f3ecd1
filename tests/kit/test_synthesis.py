"""Exact synthesis: the SAT route against the five-input database and published minima, the known
relations of multiplicative complexity, the time limit's bounds, and circuits that compute their tables."""

import itertools
import os
import pathlib

import numpy as np
import pytest

from vexil_kit import BooleanFunction, Circuit, Synthesis, VectorialFunction
from vexil_kit.synthesis import synthesize_tables
from vexil_kit.synthesis.search import AND_OPS, XOR_OPS


def _computes(found: Synthesis, tables, basis):
    """The circuit evaluates to the tables, has the claimed size and only gates of its basis."""
    circuit = found.circuit
    computed = circuit.tables()
    assert all(np.array_equal(c, np.asarray(t, dtype=bool)) for c, t in zip(computed, tables, strict=True))
    ops = [op for op, _, _ in circuit.gates]
    if basis == "AIG":
        assert set(ops) <= AND_OPS
    if basis == "MC":
        assert found.upper_bound == sum(op in AND_OPS for op in ops)
    else:
        assert set(ops) <= AND_OPS | XOR_OPS and found.upper_bound == len(ops)
    assert found.lower_bound <= found.upper_bound


# Five-input functions whose database minima are 4 and 5 gates, and smaller ones.
SMALL = ["0xfbbfffff", "0x220022ff", "0xaa555dae", "0x3fff0033", "0xe8", "0x96", "0xbab3", "0x8000"]


@pytest.mark.parametrize("hex_table", SMALL)
@pytest.mark.parametrize("basis", ["B2", "XAG"])
def test_the_sat_route_agrees_with_the_database(hex_table, basis):
    f = BooleanFunction.from_hex(hex_table)
    found = synthesize_tables(f.n, [f.table], basis, database=False)
    assert found.optimal and found.upper_bound == f.minimal_gates()
    _computes(found, [f.table], basis)


@pytest.mark.parametrize("hex_table", ["0xfbbfffff", "0x220022ff", "0xe8", "0x8000"])
def test_g_xor_a_new_variable_needs_one_gate_more(hex_table):
    g = BooleanFunction.from_hex(hex_table).extend(5)
    f = BooleanFunction(np.concatenate([g.table, ~g.table]))  # g ^ x5
    found = f.synthesize()
    assert found.optimal and found.upper_bound == g.minimal_gates() + 1
    _computes(found, [f.table], "B2")


# Published AIG minima: XOR of two and three inputs (3 and 6), majority (4), multiplexer (3), AND_4 (3).
AIG = [("0x6", 3), ("0x96", 6), ("0xe8", 4), ("0xca", 3), ("0x8000", 3)]


@pytest.mark.parametrize("hex_table, size", AIG)
def test_aig_minima(hex_table, size):
    f = BooleanFunction.from_hex(hex_table)
    found = f.synthesize("AIG")
    assert found.optimal and found.upper_bound == size == f.minimal_gates("AIG")
    _computes(found, [f.table], "AIG")


def _affine_image(f, seed):
    """f(Ax + b) ^ <c, x> ^ d for a random invertible A over GF(2)."""
    rng = np.random.default_rng(seed)
    n = f.n
    while True:
        a = rng.integers(0, 2, (n, n))
        if round(abs(np.linalg.det(a))) % 2:  # odd determinant: invertible mod 2
            break
    b, c, d = rng.integers(0, 2, n), rng.integers(0, 2, n), rng.integers(0, 2)
    xs = (np.arange(1 << n)[:, None] >> np.arange(n)) & 1
    ys = (xs @ a.T + b) % 2
    image = f.table[ys @ (1 << np.arange(n))] ^ ((xs @ c + d) % 2).astype(bool)
    return BooleanFunction(image)


@pytest.mark.parametrize("seed", range(4))
def test_multiplicative_complexity_is_affine_invariant(seed):
    f = BooleanFunction.random(4, seed=seed)
    mc = f.multiplicative_complexity()
    assert mc >= f.algebraic_degree() - 1
    assert _affine_image(f, seed).multiplicative_complexity() == mc
    found = synthesize_tables(4, [f.table], "MC")
    _computes(found, [f.table], "MC")


@pytest.mark.parametrize("n", range(1, 6))
def test_and_of_n_inputs_needs_n_minus_one_ands(n):
    assert BooleanFunction.conjunction(n).multiplicative_complexity() == n - 1


def _adder(bits):
    """The outputs of a bits-wide adder of two numbers, least significant first."""
    n = 2 * bits
    xs = np.arange(1 << n)
    total = (xs & ((1 << bits) - 1)) + (xs >> bits)
    return n, [(total >> i & 1).astype(bool) for i in range(bits + 1)]


@pytest.mark.parametrize("basis, size", [("B2", 5), ("XAG", 5), ("AIG", 7), ("MC", 1)])
def test_full_adder(basis, size):
    # Sum and carry of three bits: 5 gates in B2 (two XORs shared with the carry), 7 ANDs, one AND.
    xs = np.arange(8)
    weight = (xs & 1) + (xs >> 1 & 1) + (xs >> 2)
    tables = [(weight & 1).astype(bool), (weight >= 2)]
    adder = VectorialFunction((weight & 1) | (weight >= 2) << 1, m=2)
    found = adder.synthesize(basis)
    assert found.optimal and found.upper_bound == size
    _computes(found, tables, basis)
    assert found.circuit.to_function() == adder


def test_shared_outputs_constants_and_literals():
    n, tables = _adder(1)  # half adder: XOR and AND
    xs = np.arange(4)
    tables += [~tables[0], np.zeros(4, bool), np.ones(4, bool), (xs & 1).astype(bool), ~(xs >> 1 & 1).astype(bool)]
    found = synthesize_tables(n, tables, "B2")
    assert found.optimal and found.upper_bound == 2
    _computes(found, tables, "B2")


@pytest.mark.parametrize("split", [False, True], ids=["whole", "split by levels"])
@pytest.mark.parametrize("basis", ["AIG", "B2"])
def test_a_time_limit_returns_true_bounds(basis, split, monkeypatch):
    # Ten gates in B2 (the database); the SAT route alone cannot prove it within the limit.
    if split:
        monkeypatch.setattr("vexil_kit.synthesis.search._WHOLE_FIRST", 0.0)
    f = BooleanFunction.random(5, seed=2)
    best = f.minimal_gates()
    found = synthesize_tables(5, [f.table], basis, time_limit=0.5, database=basis == "AIG", split_levels=split)
    assert not found.optimal and found.lower_bound <= best
    if basis == "AIG":
        _computes(found, [f.table], "AIG")
    else:
        assert found.circuit is None and found.upper_bound is None


def test_max_gates_and_at_least_bound_the_sizes_tried():
    f = BooleanFunction.xor(3)
    found = f.synthesize("AIG", max_gates=4)
    assert found.lower_bound == 5 and not found.optimal
    resumed = synthesize_tables(3, [f.table], "AIG", at_least=found.lower_bound, database=False)
    assert resumed.optimal and resumed.upper_bound == 6
    # A bound taken on trust: six ANDs are not tried again.
    trusted = synthesize_tables(3, [f.table], "AIG", at_least=7, database=False)
    assert trusted.lower_bound == 7 and trusted.circuit is not None


@pytest.mark.parametrize("tables", [[], [np.zeros(3, bool)]], ids=["none", "not a power of two"])
def test_bad_tables_are_refused(tables):
    with pytest.raises(ValueError):
        synthesize_tables(2, tables)


def test_every_four_input_function_of_a_sample_agrees_across_bases():
    # Over the same functions: XAG = B2, AIG >= B2, MC <= B2's AND gates and >= degree - 1.
    for table in itertools.islice(itertools.count(0x1234, 0x2F1B), 6):
        f = BooleanFunction.from_int(table & 0xFFFF, 4)
        b2, aig = f.synthesize("B2"), f.synthesize("AIG")
        assert f.synthesize("XAG").upper_bound == b2.upper_bound <= aig.upper_bound
        mc = f.multiplicative_complexity()
        ands = sum(op in AND_OPS for op, _, _ in b2.circuit.gates)
        assert f.algebraic_degree() - 1 <= mc <= ands


def _anf_degree(table):
    """The largest weight of a monomial of the algebraic normal form, -1 for the zero function."""
    size = len(table)
    coefficients = [sum(bool(table[x]) for x in range(size) if x & u == x) % 2 for u in range(size)]
    return max((bin(u).count("1") for u in range(size) if coefficients[u]), default=-1)


@pytest.mark.parametrize("n", [1, 2, 3])
def test_the_multiplicative_lower_bound_is_the_degree_less_one(n):
    # Every function of n inputs, before any search: the constants (degree -1) and the affine
    # functions start at 0, the others at the degree less one.
    for word in range(1 << (1 << n)):
        table = np.array([word >> x & 1 for x in range(1 << n)], dtype=bool)
        found = synthesize_tables(n, [table], "MC", time_limit=0, database=False)
        assert found.lower_bound == max(0, _anf_degree(table) - 1), hex(word)


def _symmetric(n, values):
    """The symmetric function of n inputs whose value on inputs of weight w is bit w of ``values``."""
    weights = np.array([bin(x).count("1") for x in range(1 << n)])
    return np.array([values >> w & 1 for w in weights], dtype=bool)


@pytest.mark.parametrize("values", range(1, 31))
def test_the_symmetry_cuts_keep_an_optimum_of_symmetric_functions(values, monkeypatch):
    # Symmetric functions have every permutation of their inputs as a symmetry: the cuts are widest.
    table = _symmetric(4, values)
    found = synthesize_tables(4, [table], "B2", database=False)
    assert found.optimal and found.upper_bound == BooleanFunction(table).minimal_gates()
    # Three-input functions in AIG, with and without the cuts on renamed and complemented inputs.
    tables3 = [BooleanFunction.from_int(values * 8 + j, 3).table for j in range(8)]
    cut = [synthesize_tables(3, [t], "AIG", database=False) for t in tables3]
    monkeypatch.setattr("vexil_kit.synthesis.search.symmetries", lambda tables, deadline=None: [])
    monkeypatch.setattr("vexil_kit.synthesis.search.negations", lambda tables, deadline=None: [])
    whole = [synthesize_tables(3, [t], "AIG", database=False) for t in tables3]
    assert all(c.optimal and w.optimal and c.upper_bound == w.upper_bound for c, w in zip(cut, whole, strict=True))


CLASSES_DOC = pathlib.Path(__file__).resolve().parents[2] / "docs" / "npn4-circuits.md"
BEGIN, END = "<!-- classes -->\n", "<!-- /classes -->\n"


def test_every_four_input_class_is_proven_in_every_basis_as_documented():
    from vexil_kit.synthesis import aig4

    known = aig4.read(aig4.TABLE)
    classes = aig4.class_tables()
    assert set(known) == set(classes) and len(classes) == 222
    rows = ["| class | B2 | XAG | AIG | MC |\n", "|-------|----|-----|-----|----|\n"]
    for table in classes:
        f = BooleanFunction.from_int(table, 4)
        found = {basis: f.synthesize(basis) for basis in ("B2", "XAG", "MC")}
        assert all(result.optimal for result in found.values())
        sizes = [str(found[b].upper_bound) for b in ("B2", "XAG")]
        size, gates, output = known[table]
        circuit = Circuit(4, tuple(gates), outputs=(output,))
        assert np.array_equal(circuit.tables()[0], f.table) and len(gates) == size
        assert {op for op, _, _ in gates} <= AND_OPS
        # An AIG is a B2 circuit, and each XOR of an optimal B2 circuit costs three ANDs.
        b2 = found["B2"].circuit
        assert len(b2.gates) <= size <= len(b2.gates) + 2 * sum(op in XOR_OPS for op, _, _ in b2.gates)
        aig = f.synthesize("AIG", time_limit=10)
        assert aig.optimal and aig.upper_bound == size
        sizes.append(str(size))
        rows.append(f"| 0x{table:04x} | " + " | ".join([*sizes, str(found["MC"].upper_bound)]) + " |\n")
    text = CLASSES_DOC.read_text()
    head, rest = text.split(BEGIN)
    if os.environ.get("VEXIL_WRITE_CLASSES"):
        CLASSES_DOC.write_text(head + BEGIN + "".join(rows) + END + rest.split(END)[1])
    assert rest.split(END)[0] == "".join(rows)


@pytest.mark.parametrize("seed", range(3))
def test_the_table_answers_every_member_of_a_class(seed):
    from vexil_kit.synthesis import aig4

    # A random member (inputs renamed and complemented, output complemented) of a class in the table.
    rng = np.random.default_rng(seed)
    known = sorted(aig4.read(aig4.TABLE))
    g = BooleanFunction.from_int(known[rng.integers(len(known))], 4)
    perm, flips = rng.permutation(4), rng.integers(0, 2, 4)
    xs = (np.arange(16)[:, None] >> np.arange(4)) & 1
    f = BooleanFunction(g.table[((xs[:, perm] ^ flips) << np.arange(4)).sum(axis=1)] ^ bool(rng.integers(2)))
    found = f.synthesize("AIG", time_limit=10)
    assert found.optimal
    _computes(found, [f.table], "AIG")


@pytest.mark.parametrize("table", [0x0069, 0x0180, 0x06F0, 0x07F1])
def test_the_tables_optima_hold_without_the_input_cuts(table, monkeypatch):
    # Classes with renaming or complementing symmetries, refuted one gate below the table's optimum
    # with neither cut.
    f = BooleanFunction.from_int(table, 4)
    size = f.minimal_gates("AIG")
    monkeypatch.setattr("vexil_kit.synthesis.search.symmetries", lambda tables, deadline=None: [])
    monkeypatch.setattr("vexil_kit.synthesis.search.negations", lambda tables, deadline=None: [])
    below = synthesize_tables(4, [f.table], "AIG", max_gates=size - 1, known_optima=False)
    assert below.lower_bound == size


def _level_profile(n, gates):
    level = [0] * n
    for _, a, b in gates:
        level.append(1 + max(level[a], level[b]))
    return tuple(level[n:].count(v) for v in range(1, max(level) + 1))


@pytest.mark.parametrize("outputs", [1, 2, 3])
def test_the_level_splits_hold_the_levels_of_every_circuit(outputs):
    # Random circuits with every gate read by a later gate or an output.
    from vexil_kit.synthesis.encoding import level_splits

    rng = np.random.default_rng(outputs)
    for _ in range(300):
        n, k = int(rng.integers(2, 5)), int(rng.integers(outputs, 9))
        gates = [(8, *sorted(rng.choice(n + i, 2, replace=False).tolist())) for i in range(k)]
        read = {x for _, a, b in gates for x in (a, b)}
        unread = [i for i in range(n, n + k) if i not in read]
        if len(unread) > outputs or (outputs == 1 and unread != [n + k - 1]):
            continue
        profile = _level_profile(n, gates)
        splits = level_splits(k, outputs)
        assert profile in splits and len(set(splits)) == len(splits)
        assert all(sum(split) == k for split in splits)
    assert len(level_splits(60, outputs, most=100)) == 101  # stops early: the full list would not fit


# (inputs, output tables, basis, optimum): four-input classes from the AIG table, and the full adder.
LEVEL_CASES = [(4, [t], "AIG", s) for t, s in [(0x0358, 7), (0x011E, 7), (0x013D, 6), (0x0069, 7)]]
LEVEL_CASES += [(4, [0x0358], "B2", 5), (4, [0x011E], "B2", 5), (3, [0x96, 0xE8], "B2", 5), (3, [0x96, 0xE8], "AIG", 7)]


@pytest.mark.parametrize("n, ints, basis, optimum", LEVEL_CASES)
def test_splitting_by_levels_refutes_one_gate_less_and_keeps_an_optimum(n, ints, basis, optimum):
    from vexil_kit.synthesis import encoding, search, solving

    tables = [BooleanFunction.from_int(t, n).table for t in ints]
    assert len(ints) > 1 or BooleanFunction(tables[0]).minimal_gates(basis) == optimum
    normal = [t ^ t[0] for t in tables]
    aig = basis == "AIG"

    def answers(k):
        flips = search.negations(normal) if aig else []
        gate = encoding.Encoding(n, k, normal, and_only=aig, symmetries=search.symmetries(normal), negations=flips)
        return [solving.solve(gate.clauses + gate.levelled(s), None)[0] for s in encoding.level_splits(k, len(ints))]

    assert not any(answers(optimum - 1)) and any(answers(optimum))


@pytest.mark.parametrize("refused", [False, True], ids=["on its own thread", "the thread refused"])
def test_the_solver_answers_whether_or_not_it_gets_a_thread(refused, monkeypatch):
    from vexil_kit.synthesis import solving

    asked = []

    def refuse(*args):
        asked.append(args)
        raise RuntimeError("can't start new thread")

    if refused:
        monkeypatch.setattr(solving._thread, "start_new_thread", refuse)
    found = synthesize_tables(3, [BooleanFunction.majority(3).table], "AIG", database=False)
    assert found.optimal and found.upper_bound == 4
    _computes(found, [BooleanFunction.majority(3).table], "AIG")
    assert bool(asked) == refused


@pytest.mark.parametrize("seed", range(10))
def test_the_operand_pair_cut_keeps_the_multiplicative_optimum(seed, monkeypatch):
    from vexil_kit.synthesis import multiplicative

    rng = np.random.default_rng(seed)
    n, outputs = (5, 1) if seed in (0, 8) else (4, 2)  # five inputs take the uncut search seconds
    tables = [rng.random(1 << n) < 0.5 for _ in range(outputs)]
    cut = synthesize_tables(n, tables, "MC", database=False)
    monkeypatch.setattr(multiplicative.Encoding, "_least_pair", lambda self, i: None)
    uncut = synthesize_tables(n, tables, "MC", database=False)
    assert cut.optimal and uncut.optimal and cut.upper_bound == uncut.upper_bound
    _computes(cut, tables, "MC")
