"""Minimum circuits of vexil_kit.BooleanFunction: correctness, minimality against Vexil and search, the forms."""

import itertools
import re

import pytest

import vexil
from vexil_kit import BooleanFunction as BF
from vexil_kit import VectorialFunction, _native, circuits
from vexil_kit.circuits import Circuit

# The ops that read both operands; any other gate folds away, so a minimum circuit has none.
BOTH_OPERANDS = {1, 2, 4, 6, 7, 8, 9, 11, 13, 14}

ALL_SMALL = [BF.from_int(t, n) for n in range(4) for t in range(1 << (1 << n))]
RANDOM4 = [BF.random(4, seed=100 + s) for s in range(150)]
RANDOM5 = [BF.random(5, seed=200 + s) for s in range(150)] + [BF.random(5, seed=s, balanced=True) for s in range(50)]


def essential(f):
    return {v for v in range(f.n) if f.derivative(1 << v).weight()}


def check_circuit(f, c):
    """c is a minimum-shaped circuit of f on f's own variables, reading only those f depends on."""
    assert c.inputs == f.n
    assert c.to_function() == f
    assert BF.from_expression(c.to_expression(), n=f.n) == f
    assert len(c) == f.minimal_gates()
    read = {x for _, a, b in c.gates for x in (a, b) if x < f.n}
    if not c.gates and c.output is not None:
        read = {c.output}
    assert read <= essential(f)
    for op, a, b in c.gates:
        assert op in BOTH_OPERANDS and a != b
    if c.gates:
        assert c.output == f.n + len(c) - 1  # every gate is read, so the last one is the output
    else:
        assert (c.output is None) == (f.weight() in (0, len(f)))


def search_costs(n, depth):
    """The least gate count of each n-variable table int computable with at most `depth` gates."""
    mask = (1 << (1 << n)) - 1
    inputs = [BF.dictator(n, v).to_int() for v in range(n)]
    best = {0: 0, mask: 0}
    for x in inputs:
        best[x] = best[x ^ mask] = 0

    def apply(op, a, b):
        rows = [~a & ~b, a & ~b, ~a & b, a & b]
        return sum(rows[k] for k in range(4) if op >> k & 1) & mask  # the rows are disjoint

    def extend(nodes, gates):
        for a, b in itertools.combinations(range(len(nodes)), 2):
            for op in BOTH_OPERANDS:
                value = apply(op, nodes[a], nodes[b])
                for w in (value, value ^ mask):
                    best[w] = min(best.get(w, gates + 1), gates + 1)
                if gates + 1 < depth:
                    extend(nodes + [value], gates + 1)

    extend(inputs, 0)
    return best


def test_every_function_of_three_variables_or_fewer():
    costs = {n: search_costs(n, 3) for n in range(4)}
    for f in ALL_SMALL:
        check_circuit(f, f.minimal_circuit())
        found = costs[f.n].get(f.to_int())
        if found is None:
            assert f.minimal_gates() >= 4
        else:
            assert f.minimal_gates() == found


@pytest.mark.parametrize("f", RANDOM4 + RANDOM5, ids=lambda f: f.to_hex())
def test_random_functions_of_four_and_five_variables(f):
    check_circuit(f, f.minimal_circuit())
    assert f.minimal_gates() == vexil.Vexil(list(f.extend(5).table)).minimal_gates()


@pytest.mark.parametrize("seed", range(25))
def test_an_ignored_variable_anywhere_is_never_read(seed):
    g = BF.random(4, seed=seed)
    ignored = seed % 5
    f = g.extend(5).permute([v for v in range(5) if v != ignored] + [ignored])
    assert ignored not in essential(f)
    check_circuit(f, f.minimal_circuit())
    assert f.minimal_gates() == g.minimal_gates()


@pytest.mark.parametrize(
    "f, gates",
    [(BF.xor(n), max(n - 1, 0)) for n in range(6)]
    + [(BF.conjunction(n), max(n - 1, 0)) for n in range(6)]
    + [(~BF.disjunction(n), max(n - 1, 0)) for n in range(1, 6)]
    + [(BF.majority(3), 4), (BF.constant(0, False), 0), (BF.constant(5, True), 0), (BF.constant(3, False), 0)]
    + [(BF.dictator(n, v), 0) for n in (1, 3, 5) for v in range(n)]
    + [(~BF.dictator(4, 3), 0), (BF.address(1), 3)],
    ids=repr,
)
def test_known_minimum_counts(f, gates):
    assert f.minimal_gates() == gates
    check_circuit(f, f.minimal_circuit())


@pytest.mark.parametrize("op", range(16))
def test_op_is_the_gate_table_with_a_as_x0(op):
    c = Circuit(2, ((op, 0, 1),), 2)
    assert c.to_function() == BF.from_int(op, 2)
    assert BF.from_expression(c.to_expression(), n=2) == BF.from_int(op, 2)
    swapped = Circuit(2, ((op, 1, 0),), 2, True)
    assert swapped.to_function() == ~BF.from_int(op, 2).permute([1, 0])


def test_more_than_five_variables_is_refused():
    for method in (BF.minimal_gates, BF.minimal_circuit):
        with pytest.raises(ValueError, match="at most 5"):
            method(BF.xor(6))


@pytest.mark.parametrize(
    "args, error",
    [
        ((2, ((8, 0, 2),), 2), ValueError),  # reads itself
        ((2, ((8, 0, 1), (6, 4, 0)), 3), ValueError),  # reads a later gate
        ((2, ((16, 0, 1),), 2), ValueError),
        ((2, ((8, 0),), 2), ValueError),
        ((2, ((8, 0, 1),), 3), ValueError),
        ((-1, (), None), ValueError),
        ((2, ((8.0, 0, 1),), 2), TypeError),
        ((2, (), 0, 1), TypeError),
    ],
)
def test_a_malformed_circuit_is_refused(args, error):
    with pytest.raises(error):
        Circuit(*args)


def test_the_native_query_refuses_other_tables():
    with pytest.raises(ValueError, match="32 entries"):
        _native.minimal_circuit(BF.xor(4).table)
    with pytest.raises(TypeError):
        _native.minimal_circuit([0] * 32)


# Labels read as logic over operands A and B.
LABEL_LOGIC = {"NAND": "not (A and B)", "NOR": "not (A or B)", "XOR": "A != B", "XNOR": "A == B"}


# A chain through every op that reads both operands: gate i reads the node before it and x0 or x1.
EVERY_OP = Circuit(3, tuple((op, 2 + i, i % 2) for i, op in enumerate(sorted(BOTH_OPERANDS))), 12, True)


@pytest.mark.parametrize(
    "f", [BF.majority(3), BF.address(1), ~BF.xor(3), BF.constant(1, True), ~BF.dictator(2, 1), EVERY_OP], ids=repr
)
def test_dot_has_one_node_per_input_and_gate(f):
    c = f if isinstance(f, Circuit) else f.minimal_circuit()
    dot = c.to_dot()
    nodes = dict(re.findall(r'^  (\w+) \[shape=\w+, label="([^"]*)"\];$', dot, re.M))
    edges = re.findall(r'^  (\w+) -> (\w+)(?: \[label="(\w+)".*\])?;$', dot, re.M)
    names = [f"x{v}" for v in range(c.inputs)] + [f"g{i}" for i in range(len(c))]
    assert [nodes[x] for x in names[: c.inputs]] == names[: c.inputs]
    assert len(nodes) == c.inputs + len(c) + 1 + (c.output is None)
    assert len(edges) == 2 * len(c) + 1 and all(a in nodes and b in nodes for a, b, _ in edges)
    assert (edges[-1][2] == "NOT") == (c.output_negated and c.output is not None)
    for i, (op, a, b) in enumerate(c.gates):
        label = nodes[f"g{i}"]
        into = {(source, mark) for source, target, mark in edges if target == f"g{i}"}
        if " " in label:  # the operand order matters, so the edges say which is which
            assert into == {(names[a], "a"), (names[b], "b")}
        else:
            assert into == {(names[a], ""), (names[b], "")}
        logic = LABEL_LOGIC.get(label, label if " " in label else f"A {label} B").lower()
        for x, y in itertools.product((False, True), repeat=2):
            assert eval(logic, {}, {"a": x, "b": y}) == bool(op >> (2 * y + x) & 1)


def test_the_costs_of_all_four_variable_functions():
    # The known census of minimum circuit sizes over the 2**16 functions of four variables.
    census = [0] * 8
    for t in range(1 << 16):
        census[BF.from_int(t, 4).minimal_gates()] += 1
    assert census == [10, 60, 456, 2474, 10624, 24184, 25008, 2720]


@pytest.mark.parametrize(
    "circuit",
    [
        Circuit(2, ((8, 0, 1),), 2, True),
        Circuit(2, ((8, 0, 1), (6, 0, 1)), outputs=((2, False), (3, True), (None, True))),
    ],
    ids=["one output", "several outputs"],
)
def test_the_function_of_a_circuit_comes_from_the_hook_the_value_types_set(circuit, monkeypatch):
    tables = circuit.tables()
    made = circuit.to_function()
    if len(tables) == 1:
        assert made == BF(tables[0])
    else:
        assert isinstance(made, VectorialFunction)
        assert [c.table.tolist() for c in made.coordinates()] == tables.tolist()
    monkeypatch.setattr(circuits, "FUNCTION_OF", None)
    with pytest.raises(RuntimeError, match="value types"):
        circuit.to_function()
