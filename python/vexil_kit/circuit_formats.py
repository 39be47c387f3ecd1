"""Writers and readers of the circuit file formats of the field: ISCAS bench, BLIF, structural
Verilog (written only) and AIGER (ASCII ``aag`` and binary ``aig``).

This module works on a circuit's plain parts, as ``Circuit`` holds them: ``inputs`` (a count),
``gates`` (triples ``(op, a, b)``, op the gate's 4-bit table with bit ``2 * B + A`` its value
when node a is A and node b is B) and ``outputs`` (pairs ``(node or None, negated)``, None the
constant 0). ``Circuit.to_bench`` and the others call it; the readers return the three parts.

Names written: the inputs ``x0 .. x(n-1)``, the outputs ``f`` when there is one and ``y0 ..``
otherwise, the gates ``g0 ..``; a gate whose value is an output (uncomplemented) takes that
output's name instead in bench and BLIF. Readers map the inputs to variables in the order the
file declares them and the outputs likewise; names are not kept.

Readers build two-input gates and fold what needs no gate: buffers, inverters (into the gates
that read them and into the outputs' complement flags), constants, and gates whose value
ignores an operand. A gate of k > 2 inputs (bench) or a BLIF cover of k > 2 inputs becomes a
balanced tree of two-input gates (a cover: an AND tree per cube, an OR tree over the cubes,
complemented for a cover of the off-set); a bench LUT of k inputs (as ABC writes them) becomes
one gate per slice of its table on the first two inputs, joined by multiplexers. Every
reader resolves names by an iterative depth-first walk (no recursion, so no depth limit),
refuses cycles, undefined and doubly defined names, latches and malformed lines with a
ValueError that names the line, and takes time linear in the text.
"""

from __future__ import annotations

import re
from collections.abc import Sequence

from .circuit_parts import Gate, Output, Parts
from .circuit_readers import MAX_LUT_INPUTS, read_aiger, read_bench, read_blif

__all__ = [
    "MAX_LUT_INPUTS",
    "Gate",
    "Output",
    "Parts",
    "aiger_ands",
    "check_size",
    "output_names",
    "read_aiger",
    "read_bench",
    "read_blif",
    "write_aiger",
    "write_bench",
    "write_blif",
    "write_verilog",
]

#: The most nodes (inputs and gates) a writer writes: each is a line or more of text.
MAX_WRITTEN_NODES = 1 << 26


def check_size(inputs: int, gates: Sequence[Gate]) -> None:
    """ValueError for a circuit too large to write (a count of inputs can be any int)."""
    if inputs + len(gates) > MAX_WRITTEN_NODES:
        raise ValueError(
            f"a circuit of {inputs} inputs and {len(gates)} gates is too large to write "
            f"(at most {MAX_WRITTEN_NODES} nodes)"
        )


# -- names -------------------------------------------------------------------------------------


def output_names(count: int) -> list[str]:
    """``f`` for a single output, ``y0 ..`` for several."""
    return ["f"] if count == 1 else [f"y{j}" for j in range(count)]


def _signal_names(inputs: int, gates: Sequence[Gate], outputs: Sequence[Output]) -> tuple[list[str], list[str]]:
    """(node names, output names): a gate that is some output uncomplemented carries the first such name."""
    names = [f"x{v}" for v in range(inputs)] + [f"g{i}" for i in range(len(gates))]
    outs = output_names(len(outputs))
    for name, (node, negated) in zip(outs, outputs, strict=True):
        if node is not None and node >= inputs and not negated and names[node].startswith("g"):
            names[node] = name
    return names, outs


def _output_source(names: list[str], node: int | None, name: str) -> bool:
    """Whether output ``name`` is the node itself (so nothing is written for it)."""
    return node is not None and names[node] == name


# -- bench ------------------------------------------------------------------------------------

# A gate's op as a bench gate type and whether operand a, b is read through an inverter.
_BENCH = {
    8: ("AND", False, False),
    2: ("AND", False, True),
    4: ("AND", True, False),
    1: ("NOR", False, False),
    7: ("NAND", False, False),
    14: ("OR", False, False),
    11: ("OR", False, True),
    13: ("OR", True, False),
    6: ("XOR", False, False),
    9: ("XOR", False, True),  # XNOR, a type some readers (cirbo) do not know
}


def write_bench(inputs: int, gates: Sequence[Gate], outputs: Sequence[Output]) -> str:
    """The circuit as ISCAS bench text (see ``Circuit.to_bench``)."""
    check_size(inputs, gates)
    names, outs = _signal_names(inputs, gates, outputs)
    lines = [f"# {inputs} inputs, {len(outputs)} outputs, {len(gates)} gates"]
    lines += [f"INPUT(x{v})" for v in range(inputs)]
    lines += [f"OUTPUT({name})" for name in outs]
    inverted: set[int] = set()

    def operand(node: int, invert: bool) -> str:
        if not invert:
            return names[node]
        if node not in inverted:
            inverted.add(node)
            lines.append(f"{names[node]}_n = NOT({names[node]})")
        return f"{names[node]}_n"

    def constant(value: bool) -> str:
        # The gate types have no constant: 0 is x0 AND NOT x0 and 1 is x0 OR NOT x0 (no XOR, so an
        # AIG's file holds AND, OR and NOT alone); with no input at all the names vdd and gnd, which
        # ABC and this reader take as the constants, stand in.
        if inputs == 0:
            return "vdd" if value else "gnd"
        return f"{'OR' if value else 'AND'}(x0, {operand(0, True)})"

    for i, (op, a, b) in enumerate(gates):
        name = names[inputs + i]
        if op in _BENCH:
            kind, invert_a, invert_b = _BENCH[op]
            left, right = operand(a, invert_a), operand(b, invert_b)
            lines.append(f"{name} = {kind}({left}, {right})")
        elif op in (0, 15):
            lines.append(f"{name} = {constant(op == 15)}")
        else:  # op 3, 5, 10, 12: one operand, perhaps complemented
            source = a if op in (5, 10) else b
            lines.append(f"{name} = {'NOT' if op in (3, 5) else 'BUFF'}({names[source]})")
    for name, (node, negated) in zip(outs, outputs, strict=True):
        if node is None:
            lines.append(f"{name} = {constant(negated)}")
        elif not _output_source(names, node, name):
            lines.append(f"{name} = {'NOT' if negated else 'BUFF'}({names[node]})")
    return "\n".join(lines) + "\n"


# -- BLIF -------------------------------------------------------------------------------------

# A cover of each op over (a, b): the rows of its on-set, or of its off-set (output 0) when shorter.
_COVERS = (
    (),
    ("00 1",),
    ("10 1",),
    ("-0 1",),
    ("01 1",),
    ("0- 1",),
    ("10 1", "01 1"),
    ("11 0",),
    ("11 1",),
    ("11 1", "00 1"),
    ("1- 1",),
    ("01 0",),
    ("-1 1",),
    ("10 0",),
    ("00 0",),
    ("-- 1",),
)


def write_blif(inputs: int, gates: Sequence[Gate], outputs: Sequence[Output], model: str = "circuit") -> str:
    """The circuit as BLIF text (see ``Circuit.to_blif``)."""
    check_size(inputs, gates)
    names, outs = _signal_names(inputs, gates, outputs)
    lines = [f".model {model}", ".inputs " + " ".join(names[:inputs]), ".outputs " + " ".join(outs)]
    if inputs == 0:
        lines[1] = ".inputs"
    for i, (op, a, b) in enumerate(gates):
        if op in (0, 15):
            # A constant as a cover of no inputs: Yosys reads an empty cover over inputs as undefined.
            lines += [f".names {names[inputs + i]}"] + (["1"] if op else [])
            continue
        lines.append(f".names {names[a]} {names[b]} {names[inputs + i]}")
        lines += _COVERS[op]
    for name, (node, negated) in zip(outs, outputs, strict=True):
        if node is None:
            lines.append(f".names {name}")
            if negated:
                lines.append("1")
        elif not _output_source(names, node, name):
            lines += [f".names {names[node]} {name}", "0 1" if negated else "1 1"]
    lines.append(".end")
    return "\n".join(lines) + "\n"


# -- Verilog ----------------------------------------------------------------------------------

# The non-constant gates by op, as expressions over two operand atoms; the expression writer and the
# Verilog writer put their own constants at 0 and 15.
OPERATOR_FORMATS = (
    "",
    "~({a} | {b})",
    "{a} & ~{b}",
    "~{b}",
    "~{a} & {b}",
    "~{a}",
    "{a} ^ {b}",
    "~({a} & {b})",
    "{a} & {b}",
    "~({a} ^ {b})",
    "{a}",
    "{a} | ~{b}",
    "{b}",
    "~{a} | {b}",
    "{a} | {b}",
    "",
)

# Verilog expressions by op, over operand names.
_VERILOG = ("1'b0", *OPERATOR_FORMATS[1:15], "1'b1")

_IDENTIFIER = re.compile(r"[A-Za-z_][A-Za-z0-9_$]*\Z")
_KEYWORDS = frozenset(
    "always and assign begin buf case default else end endcase endmodule for function if initial inout input "
    "integer module nand nor not or output parameter reg supply0 supply1 wire xnor xor".split()
)


def write_verilog(inputs: int, gates: Sequence[Gate], outputs: Sequence[Output], module: str = "circuit") -> str:
    """The circuit as a structural Verilog module of assign statements (see ``Circuit.to_verilog``)."""
    check_size(inputs, gates)
    if not isinstance(module, str) or not _IDENTIFIER.match(module) or module in _KEYWORDS:
        raise ValueError(f"module must be a Verilog identifier (letters, digits, _ and $), not {module!r}")
    names = [f"x{v}" for v in range(inputs)] + [f"g{i}" for i in range(len(gates))]
    outs = output_names(len(outputs))
    lines = [f"module {module} (" + ", ".join(names[:inputs] + outs) + ");"]
    if inputs:
        lines.append("  input " + ", ".join(names[:inputs]) + ";")
    lines.append("  output " + ", ".join(outs) + ";")
    if gates:
        lines.append("  wire " + ", ".join(names[inputs:]) + ";")
    for i, (op, a, b) in enumerate(gates):
        lines.append(f"  assign g{i} = " + _VERILOG[op].format(a=names[a], b=names[b]) + ";")
    for name, (node, negated) in zip(outs, outputs, strict=True):
        if node is None:
            value = "1'b1" if negated else "1'b0"
        else:
            value = f"~{names[node]}" if negated else names[node]
        lines.append(f"  assign {name} = {value};")
    lines.append("endmodule")
    return "\n".join(lines) + "\n"


# -- AIGER ------------------------------------------------------------------------------------


def aiger_ands(
    inputs: int, gates: Sequence[Gate], outputs: Sequence[Output]
) -> tuple[list[tuple[int, int]], list[int]]:
    """The AND-inverter graph of a circuit: (the ANDs' operand literals in order, the output literals).

    Literals are AIGER's: 2 * variable + complement, variable 0 the constant (literal 0 false,
    1 true), variables 1 .. inputs the inputs and inputs + 1 + i the i-th AND. A gate of one 1
    (AND with inverted operands) is one AND, a gate of one 0 (OR, NAND, implication) one AND
    with its value complemented, XOR and XNOR three ANDs (a ^ b = ~(~(a & ~b) & ~(~a & b))), and
    gates that ignore an operand none.
    """
    literal = [2 * (v + 1) for v in range(inputs)]
    ands: list[tuple[int, int]] = []

    def conjoin(x: int, y: int) -> int:
        ands.append((x, y))
        return 2 * (inputs + len(ands))

    for op, a, b in gates:
        la, lb = literal[a], literal[b]
        ones = bin(op).count("1")
        if ones in (1, 3):
            # The single 1 (or the single 0 of the complement) sits at row 2 * B + A.
            row = (op if ones == 1 else op ^ 15).bit_length() - 1
            value = conjoin(la ^ (row & 1) ^ 1, lb ^ (row >> 1) ^ 1) ^ (ones == 3)
        elif op in (6, 9):
            left, right = conjoin(la, lb ^ 1), conjoin(la ^ 1, lb)
            value = conjoin(left ^ 1, right ^ 1) ^ (op == 6)
        else:
            value = {0: 0, 15: 1, 3: lb ^ 1, 5: la ^ 1, 10: la, 12: lb}[op]
        literal.append(value)
    outs = [int(negated) if node is None else literal[node] ^ negated for node, negated in outputs]
    return ands, outs


def _varint(value: int) -> bytes:
    out = bytearray()
    while value >= 0x80:
        out.append(value & 0x7F | 0x80)
        value >>= 7
    out.append(value)
    return bytes(out)


def write_aiger(inputs: int, gates: Sequence[Gate], outputs: Sequence[Output], binary: bool = False) -> str | bytes:
    """The circuit as AIGER, ASCII ``aag`` text or binary ``aig`` bytes (see ``Circuit.to_aiger``)."""
    check_size(inputs, gates)
    ands, outs = aiger_ands(inputs, gates, outputs)
    top = inputs + len(ands)
    symbols = [f"i{v} x{v}" for v in range(inputs)] + [f"o{j} {name}" for j, name in enumerate(output_names(len(outs)))]
    if not binary:
        lines = [f"aag {top} {inputs} 0 {len(outs)} {len(ands)}"]
        lines += [str(2 * (v + 1)) for v in range(inputs)]
        lines += [str(lit) for lit in outs]
        lines += [f"{2 * (inputs + 1 + i)} {x} {y}" for i, (x, y) in enumerate(ands)]
        return "\n".join(lines + symbols) + "\n"
    head = "\n".join([f"aig {top} {inputs} 0 {len(outs)} {len(ands)}"] + [str(lit) for lit in outs]) + "\n"
    body = bytearray()
    for i, (x, y) in enumerate(ands):
        lhs, high, low = 2 * (inputs + 1 + i), max(x, y), min(x, y)
        body += _varint(lhs - high) + _varint(high - low)
    tail = "".join(line + "\n" for line in symbols)
    return head.encode() + bytes(body) + tail.encode()
