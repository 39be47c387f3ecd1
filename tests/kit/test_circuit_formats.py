"""Circuits of several outputs and the circuit file formats: every writer read back gives the same
tables, which agree with an independent evaluation; the readers take what other tools write and
refuse malformed files with a ValueError, never another error."""

import pickle
import random
import re
from pathlib import Path

import numpy as np
import pytest
from children import run_limited

from vexil_kit import BooleanFunction as BF
from vexil_kit.circuits import AND_OPS, XOR_OPS, Circuit


def random_circuit(inputs, size, outputs, seed, ops=range(16), chain=False):
    """A random circuit; with ``chain`` each gate reads the one before it, so the depth is the size."""
    rng = random.Random(seed)
    ops = list(ops)
    gates = []
    for i in range(size):
        node = inputs + i
        a = node - 1 if chain and i else rng.randrange(node)
        gates.append((rng.choice(ops), a, rng.randrange(node)))
    nodes = inputs + size
    pairs = [(rng.choice([None, *range(nodes)]) if rng.random() < 0.2 else rng.randrange(nodes), rng.random() < 0.5)]
    pairs += [(rng.randrange(nodes), rng.random() < 0.5) for _ in range(outputs - 1)]
    if chain:
        pairs[0] = (nodes - 1, False)
    return Circuit(inputs, gates, outputs=pairs)


# x0 + x1 + x2 (sum, carry) in XAG; a two-bit adder (x1 x0) + (x3 x2) (three sum bits) in B2.
FULL_ADDER = Circuit(3, ((6, 0, 1), (6, 3, 2), (8, 0, 1), (8, 3, 2), (14, 5, 6)), outputs=((4, False), (7, False)))
ADDER2 = Circuit(
    4,
    ((6, 0, 2), (8, 0, 2), (6, 1, 3), (6, 6, 5), (8, 1, 3), (8, 6, 5), (14, 8, 9)),
    outputs=((4, False), (7, False), (10, False)),
)
# Every op, degenerate ones included, then gates reading one node twice.
EVERY_OP = Circuit(
    3, tuple((op, 2 + op, op % 3) for op in range(16)) + ((6, 4, 4), (8, 5, 5)), outputs=((18, True), (20, False))
)
LARGE = random_circuit(8, 3000, 5, seed=1)
# Outputs that share a node, an input, a complemented gate and constants.
SHARING = Circuit(2, ((8, 0, 1),), outputs=((2, False), (2, False), (2, True), (1, True), (None, True), (0, False)))
CHAIN = random_circuit(7, 4000, 1, seed=3, ops=AND_OPS, chain=True)
CIRCUITS = (
    [BF.random(5, seed=s).minimal_circuit() for s in range(12)]
    + [BF.constant(n, v).minimal_circuit() for n in (0, 3) for v in (False, True)]
    + [BF.dictator(4, 2).minimal_circuit(), (~BF.dictator(3, 0)).minimal_circuit(), (~BF.majority(3)).minimal_circuit()]
    + [FULL_ADDER, ADDER2, Circuit(0, (), outputs=((None, True), (None, False)))]
    + [SHARING]
    + [EVERY_OP, LARGE, random_circuit(9, 2500, 3, seed=2, ops=AND_OPS | XOR_OPS), CHAIN]
)


def word_tables(c):
    """The output tables from Python integers as bit sets of the whole table, one gate at a time."""
    size = 1 << c.inputs
    mask = (1 << size) - 1
    values = [sum(1 << x for x in range(size) if x >> v & 1) for v in range(c.inputs)]
    for op, a, b in c.gates:
        va, vb = values[a], values[b]
        rows = [~va & ~vb, va & ~vb, ~va & vb, va & vb]
        values.append(sum(rows[k] for k in range(4) if op >> k & 1) & mask)
    out = []
    for node, negated in c.outputs:
        value = (0 if node is None else values[node]) ^ (mask if negated else 0)
        out.append([value >> x & 1 for x in range(size)])
    return np.array(out, dtype=bool)


def read_verilog(text):
    """The output tables of our own Verilog, each assign evaluated as Python over table bit sets."""
    head = re.search(r"module \w+ \((.*?)\);", text).group(1)
    inputs = re.search(r"input (.*?);", text)
    inputs = inputs.group(1).split(", ") if inputs else []
    outputs = re.search(r"output (.*?);", text).group(1).split(", ")
    assert head.split(", ") == inputs + outputs
    size = 1 << len(inputs)
    mask = (1 << size) - 1
    env = {name: sum(1 << x for x in range(size) if x >> v & 1) for v, name in enumerate(inputs)}
    for name, expression in re.findall(r"assign (\w+) = (.*);", text):
        env[name] = eval(expression.replace("1'b0", "0").replace("1'b1", str(mask)), {}, dict(env)) & mask
    return np.array([[env[name] >> x & 1 for x in range(size)] for name in outputs], dtype=bool)


def reversed_bench(c):
    """Bench gate lines in reverse order: the reader's walk must follow names, not the file's order."""
    lines = c.to_bench().splitlines()
    declarations = [line for line in lines if line.startswith(("INPUT", "OUTPUT"))]
    return "\n".join(declarations + [line for line in lines if "=" in line][::-1])


WRITE_READ = {
    "bench": lambda c: Circuit.from_bench(c.to_bench()).tables(),
    "bench reversed": lambda c: Circuit.from_bench(reversed_bench(c)).tables(),
    "blif": lambda c: Circuit.from_blif(c.to_blif()).tables(),
    "aag": lambda c: Circuit.from_aiger(c.to_aiger()).tables(),
    "aig": lambda c: Circuit.from_aiger(c.to_aiger(binary=True)).tables(),
    "verilog": lambda c: read_verilog(c.to_verilog()),
}


@pytest.mark.parametrize("form", WRITE_READ)
@pytest.mark.parametrize("c", CIRCUITS, ids=lambda c: f"{c.inputs}in-{len(c)}g-{len(c.outputs)}out")
def test_every_format_reads_back_the_same_tables(c, form):
    expected = word_tables(c)
    assert np.array_equal(c.tables(), expected)
    assert np.array_equal(WRITE_READ[form](c), expected)


def clean(c):
    """Whether every gate reads two distinct nodes and both of them (nothing a reader folds)."""
    return all(op in AND_OPS | XOR_OPS and a != b for op, a, b in c.gates)


@pytest.mark.parametrize("c", [c for c in CIRCUITS if clean(c)], ids=lambda c: f"{c.inputs}in-{len(c)}g")
def test_readers_keep_the_gates_and_aiger_expands_as_documented(c):
    assert Circuit.from_bench(c.to_bench()) == c
    assert Circuit.from_blif(c.to_blif()) == c
    xors = sum(op in XOR_OPS for op, _, _ in c.gates)
    ands = int(c.to_aiger().split()[5])
    assert ands == c.and_count + 3 * xors
    assert int(c.to_aiger(binary=True).split()[5]) == ands
    back = Circuit.from_aiger(c.to_aiger(binary=True))
    assert len(back) == ands and back.basis == "AIG" and back.and_count == ands


# Texts written the way other tools write them, with the function they compute.
FOREIGN = [
    ("bench", "# c\n\nINPUT(a)\nINPUT(b)\nOUTPUT(z)\nz = nand(t, b)   # tail\nt = BUF(a)\n", "~(x0 & x1)"),
    ("bench", "INPUT(a)\nINPUT(b)\nINPUT(c)\nOUTPUT(z)\nz = XNOR(a, b, c)\n", "~(x0 ^ x1 ^ x2)"),
    ("bench", "INPUT(a)\nINPUT(b)\nINPUT(c)\nINPUT(d)\nOUTPUT(z)\nz = NOR(a,b,c,d)\n", "~(x0 | x1 | x2 | x3)"),
    ("bench", "INPUT(a)\nOUTPUT(z)\nOUTPUT(w)\nz = AND(a, vdd)\nw = gnd\n", "x0"),
    ("bench", "OUTPUT(z)\nINPUT(b)\nINPUT(a)\nz = AND(n, a)\nn = NOT(b)\n", "~x0 & x1"),
    ("bench", "INPUT(a)\nINPUT(b)\nINPUT(c)\nOUTPUT(z)\nz   = LUT 0xe8 ( a, b, c )\n", "x0&x1 | x0&x2 | x1&x2"),
    ("bench", "INPUT(a)\nINPUT(b)\nOUTPUT(z)\nt = LUT 0x4 ( a, b )\nz = LUT 0x1 ( t )\n", "~(~x0 & x1)"),
    ("blif", ".model m\n.inputs a b c\n.outputs z\n.names a b c z\n1-0 0\n-11 0\n.end\n", "~(x0 & ~x2 | x1 & x2)"),
    ("blif", ".model m\n.inputs a \\\n b\n.outputs z\n.names b a z\n01 1\n.end\n", "x0 & ~x1"),
    ("blif", ".model m\n.inputs a b\n.outputs z\n.names t z\n0 1\n.names a b t\n11 1\n.end\n", "~(x0 & x1)"),
    ("blif", ".model m\n.inputs a b\n.outputs z\n.names z\n1\n.end\n", "1"),
    ("blif", ".model m\n.inputs a b c d\n.outputs z\n.names a b c d z\n.end\n", "0"),
    (
        "blif",
        ".model m\n.inputs a b c d\n.outputs z\n.names a b c d z\n1111 1\n0000 1\n.end\n",
        "x0&x1&x2&x3 | ~(x0|x1|x2|x3)",
    ),
    ("blif", ".model m\n.inputs a b\n.outputs z\n.conn a t\n.names t b z\n1- 1\n.end\n", "x0"),
    ("aag", "aag 5 2 0 1 3\n4\n2\n10\n10 7 9\n8 3 5\n6 2 4\nc\ncomment\n", "~(x0 & x1) & (x0 | x1)"),
    ("aag", "aag 1 1 0 2 0\n2\n3\n1\n", None),
    ("aig", b"aig 3 2 0 1 1\n7\n\x01\x02i0 a\ni1 b\no0 z\nc\nwritten by a tool\n", "x0 | x1"),
    # Yosys: constant nets named with $, declared and left unread, and a buffer cover
    (
        "blif",
        ".model top\n.inputs a b\n.outputs z\n.names $false\n.names $true\n1\n.names $undef\n"
        ".names $abc$1$n3 b z\n10 1\n01 1\n.names a $abc$1$n3\n1 1\n.end\n",
        "x0 ^ x1",
    ),
]


@pytest.mark.parametrize("form, text, expression", FOREIGN)
def test_readers_take_what_other_tools_write(form, text, expression):
    read = {"bench": Circuit.from_bench, "blif": Circuit.from_blif}.get(form, Circuit.from_aiger)
    c = read(text)
    expected = word_tables(c)
    assert np.array_equal(c.tables(), expected)
    if expression is not None:
        assert np.array_equal(expected[0], BF.from_expression(expression, n=c.inputs).table)


BAD = [
    ("bench", "INPUT(a)\nOUTPUT(z)\nz = AND(a, y)\ny = OR(z, a)\n", "line [34].*itself"),
    ("bench", "INPUT(a)\nOUTPUT(z)\nz = AND(a, q)\n", "line 3.*'q'.*never defined"),
    ("bench", "INPUT(a)\nOUTPUT(q)\n", "line 2.*never defined"),
    ("bench", "INPUT(a)\nINPUT(a)\nOUTPUT(a)\n", "line 2.*already defined"),
    ("bench", "INPUT(a)\nOUTPUT(z)\nz = NOT(a)\nz = BUFF(a)\n", "line 4.*already defined"),
    ("bench", "INPUT(a)\nOUTPUT(z)\nz = DFF(a)\n", "line 3.*latch"),
    ("bench", "INPUT(a)\nOUTPUT(z)\nz = MAJ(a, a, a)\n", "line 3.*unknown gate"),
    ("bench", "INPUT(a)\nOUTPUT(z)\nz = NOT(a, a)\n", "line 3.*one operand"),
    ("bench", "INPUT(a)\nOUTPUT(z)\nz = AND()\n", "line 3"),
    ("bench", "INPUT(a)\nOUTPUT(z)\nz = AND(a,,a)\n", "line 3"),
    ("bench", "INPUT(a)\nOUTPUT(z)\nz AND a\n", "line 3"),
    ("bench", "INPUT(a)\n", "no OUTPUT"),
    ("bench", b"\xff\xfe", "UTF-8"),
    ("bench", "INPUT(a)\nOUTPUT(z)\nz = LUT 0x1f ( a, a )\n", "line 3.*more than"),
    ("bench", "INPUT(a)\nOUTPUT(z)\nz = LUT 0x1 ( " + ", ".join(["a"] * 17) + " )\n", "line 3.*1 to 16"),
    ("blif", ".model m\n.inputs a\n.outputs z\n.latch a z 0\n.end\n", "line 4.*latch"),
    ("blif", ".model m\n.inputs a\n.outputs z\n.subckt and2 A=a Y=z\n.end\n", "line 4.*not read"),
    ("blif", ".model m\n.inputs a\n.outputs z\n11 1\n", "line 4.*outside"),
    ("blif", ".model m\n.inputs a b\n.outputs z\n.names a b z\n1 1\n", "line 5.*2 characters"),
    ("blif", ".model m\n.inputs a b\n.outputs z\n.names a b z\n12 1\n", "line 5"),
    ("blif", ".model m\n.inputs a b\n.outputs z\n.names a b z\n11 1\n00 0\n", "line 6.*share"),
    ("blif", ".model m\n.inputs a b\n.outputs z\n.names a b z\n11 1 1\n", "line 5"),
    ("blif", ".model m\n.inputs a\n.outputs z\n.names a t z\n11 1\n", "line 4.*'t'.*never defined"),
    ("blif", ".model m\n.inputs a\n.outputs z\n.names a t z\n11 1\n.names z t\n1 1\n", "itself"),
    ("blif", ".model m\n.inputs a\n.outputs z\n.names a\n1 1\n.names a z\n1 1\n", "line 4.*already defined"),
    ("blif", ".model m\n.inputs a\n.end\n", "no .outputs"),
    ("blif", ".model m\n.inputs a\n.outputs z\n.names\n", "line 4"),
    ("blif", ".model m\n.end\n.model n\n", None),
    ("aag", "aag 1 1\n2\n", "line 1.*header"),
    ("aag", "aag 2 1 1 0 0\n2\n4 2\n", "line 1.*latches"),
    ("aag", "aag 1 1 0 1 0 1\n2\n2\n2\n", "line 1"),
    ("aag", "aag 1 1 0 1 0\n3\n2\n", "line 2.*even"),
    ("aag", "aag 1 1 0 1 0\n2\n9\n", "line 3.*not a literal"),
    ("aag", "aag 2 1 0 1 0\n2\n4\n", "line 3.*never defined"),
    ("aag", "aag 3 1 0 1 2\n2\n4\n4 6 2\n6 4 2\n", "itself"),
    ("aag", "aag 2 1 0 1 2\n2\n4\n4 2 2\n4 3 3\n", "line 5.*already defined"),
    ("aag", "aag 2 1 0 1 1\n2\n", "ends before"),
    ("aag", "aag 2 1 0 1 1\n2\n4\n", "line 4.*an AND"),
    ("aag", "aag 2 1 0 1 1\n2\n4\n4 2\n", "line 4"),
    ("aag", "aag 2 1 0 1 1\n2\n4\n2 2 2\n", "line 4.*already defined"),
    ("aig", b"aig 2 1 0 1 1\n4\n", "ends in AND 0"),
    ("aig", b"aig 2 1 0 1 1\n4\n\x00\x01", "AND 0"),
    ("aig", b"aig 2 1 0 1 1\n4\n\x05\x00", "AND 0"),
    ("aig", b"aig 3 1 0 1 1\n4\n\x02\x00", "M = I"),
    ("aig", b"aig 2 1 0 1 1\n", "ends in its header"),
    ("aig", b"aig 2 1 0 9999 1\n4\n", "more ANDs or outputs"),
    ("aig", b"aig 2 1 0 1 1\n4\n" + b"\x80" * 20, "10 bytes"),
    ("aig", b"aig 1 1 0 1 0\n5\n", "line 2.*not a literal"),
    ("aig", b"AIGER", "starts with"),
]


@pytest.mark.parametrize("form, text, message", BAD)
def test_malformed_files_are_refused_with_the_line(form, text, message):
    read = {"bench": Circuit.from_bench, "blif": Circuit.from_blif}.get(form, Circuit.from_aiger)
    with pytest.raises(ValueError, match=message):
        read(text)


READ = {"bench": Circuit.from_bench, "blif": Circuit.from_blif, "aag": Circuit.from_aiger, "aig": Circuit.from_aiger}


def mangled(form, count=400):
    """Real files of one format with one to three random edits each."""
    sources = [FULL_ADDER, ADDER2, CIRCUITS[0], EVERY_OP]
    rng = random.Random(form)
    alphabet = b"01-=(),.# \n\\abgnxy23AIGNORDT\x80\xff"
    for k in range(count):
        c = sources[k % len(sources)]
        data = (
            c.to_aiger(binary=True)
            if form == "aig"
            else {"bench": c.to_bench, "blif": c.to_blif}.get(form, c.to_aiger)()
        )
        data = bytearray(data.encode() if isinstance(data, str) else data)
        for _ in range(rng.randrange(1, 4)):
            at = rng.randrange(len(data))
            edit = rng.randrange(3)
            if edit == 0:
                del data[at : at + rng.randrange(1, 8)]
            elif edit == 1:
                data[at:at] = bytes(rng.choice(alphabet) for _ in range(rng.randrange(1, 4)))
            else:
                data[at] = rng.choice(alphabet)
        yield bytes(data)


def read_and_check(form, data):
    """The circuit a reader makes of data, checked against the independent evaluation."""
    back = READ[form](data)
    if not np.array_equal(back.tables(), word_tables(back)):
        raise AssertionError(f"the circuit read from {data!r} computes other tables than its gates")


@pytest.mark.parametrize("form", READ)
def test_mangled_files_give_a_circuit_or_a_value_error(form):
    # Random edits of real files end in a circuit or a ValueError: never another exception (the
    # child then fails), a hang (the timeout) or a burst of memory (the limit).
    setup = f"""
        import sys
        sys.path[:0] = [{str(Path(__file__).parent)!r}, {str(Path(__file__).parents[1])!r}]
        import test_circuit_formats as t
        files = enumerate(t.mangled({form!r}))
        calls = {{str(k): lambda data=data: t.read_and_check({form!r}, data) for k, data in files}}
        def after():
            return len(calls)
    """
    outcomes = run_limited(setup, 1024, timeout=120)
    kinds = [kind for name, (kind, _) in outcomes.items() if name != "after"]
    assert set(kinds) == {"ok", "ValueError"} and len(kinds) == 400


@pytest.mark.parametrize(
    "kwargs, error",
    [
        ({"outputs": ()}, ValueError),
        ({"outputs": ((2, False),), "output": 2}, ValueError),
        ({"outputs": ((2, False),), "output_negated": True}, ValueError),
        ({"outputs": ((3, False),)}, ValueError),
        ({"outputs": ((2,),)}, ValueError),
        ({"outputs": ((2, 1),)}, TypeError),
        ({"outputs": 2}, TypeError),
        ({"outputs": ((2.0, False),)}, TypeError),
    ],
)
def test_malformed_outputs_are_refused(kwargs, error):
    with pytest.raises(error):
        Circuit(2, ((8, 0, 1),), **kwargs)


def test_a_circuit_of_several_outputs_has_no_single_output():
    for read in (lambda c: c.output, lambda c: c.output_negated, Circuit.to_expression):
        with pytest.raises(ValueError, match="2 outputs"):
            read(FULL_ADDER)
    assert FULL_ADDER.outputs == ((4, False), (7, False))
    assert BF.majority(3).minimal_circuit().outputs[0][0] == BF.majority(3).minimal_circuit().output


@pytest.mark.parametrize("c", [FULL_ADDER, CIRCUITS[0], LARGE], ids=["adder", "one", "large"])
def test_a_circuit_is_a_value(c):
    copy = pickle.loads(pickle.dumps(c))
    assert copy == c and hash(copy) == hash(c) and copy is not c
    assert eval(repr(c), {"Circuit": Circuit}) == c
    with pytest.raises(AttributeError):
        c.inputs = 3


@pytest.mark.parametrize(
    "c, basis, and_count, depth",
    [
        (FULL_ADDER, "XAG", 3, 3),
        (ADDER2, "XAG", 4, 3),
        (CHAIN, "AIG", 4000, 4000),
        (Circuit(2, ((10, 0, 1), (8, 2, 1)), 3), "B2", 1, 2),
        (Circuit(2, ((8, 0, 1), (6, 2, 0)), outputs=((0, True), (None, False))), "XAG", 1, 0),
    ],
    ids=["full adder", "two-bit adder", "chain", "buffer", "unread gates"],
)
def test_basis_and_count_and_depth(c, basis, and_count, depth):
    assert (c.basis, c.and_count, c.depth, c.size) == (basis, and_count, depth, len(c.gates))


@pytest.mark.parametrize("c", [FULL_ADDER, SHARING], ids=["adder", "sharing"])
def test_dot_and_bindings_have_every_output(c):
    dot = c.to_dot()
    names = [f"x{v}" for v in range(c.inputs)] + [f"g{i}" for i in range(len(c))]
    for j, (node, negated) in enumerate(c.outputs):
        [(source, label)] = re.findall(rf"^  (\w+) -> y{j}(?: \[label=\"(\w+)\".*\])?;$", dot, re.M)
        assert source == (f"const{j}" if node is None else names[node])
        assert (label == "NOT") == (negated and node is not None)
    # The bindings, each name substituted, are expressions of the outputs' functions.
    env = {}
    lines = c.to_bindings().splitlines()
    for line in lines:
        name, expression = line.split(" = ")
        for bound, value in env.items():
            expression = re.sub(rf"\b{bound}\b", f"({value})", expression)
        env[name] = expression
    for j in range(len(c.outputs)):
        f = BF.from_expression(env[f"y{j}"], n=c.inputs)
        assert np.array_equal(f.table, c.tables()[j])


def test_multi_output_to_function_gives_the_components():
    vectorial = pytest.importorskip("vexil_kit.vectorial")
    f = ADDER2.to_function()
    assert isinstance(f, vectorial.VectorialFunction)
    assert (f.n, f.m) == (4, 3)
    assert [g.table.tolist() for g in f.coordinates()] == ADDER2.tables().tolist()


def test_tables_refuse_what_does_not_fit():
    with pytest.raises(MemoryError):
        Circuit(60, ((8, 0, 59),), 60).tables()
    with pytest.raises(ValueError, match="too large"):
        Circuit(100, (), 99).to_function()
