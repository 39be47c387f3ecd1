"""Readers of the circuit file formats: ISCAS bench, BLIF and AIGER (ASCII ``aag`` and binary ``aig``),
each giving a circuit's plain parts (see ``circuit_formats``).

Readers map the inputs to variables in the order the file declares them and the outputs likewise;
names are not kept. They build two-input gates and fold what needs no gate: buffers, inverters
(into the gates that read them and into the outputs' complement flags), constants, and gates whose
value ignores an operand. A gate of k > 2 inputs (bench) or a BLIF cover of k > 2 inputs becomes a
balanced tree of two-input gates (a cover: an AND tree per cube, an OR tree over the cubes,
complemented for a cover of the off-set); a bench LUT of k inputs (as ABC writes them) becomes one
gate per slice of its table on the first two inputs, joined by multiplexers. Every reader resolves
names by an iterative depth-first walk (no recursion, so no depth limit), refuses cycles, undefined
and doubly defined names, latches and malformed lines with a ValueError that names the line, and
takes time linear in the text.
"""

from __future__ import annotations

import contextlib
import gc
import re
from collections.abc import Callable, Iterator

from .circuit_parts import Gate, Output, Parts

# -- reading ----------------------------------------------------------------------------------


def _flip_a(op: int) -> int:
    """The op that reads operand a complemented."""
    return (op & 0b0101) << 1 | (op & 0b1010) >> 1


def _flip_b(op: int) -> int:
    """The op that reads operand b complemented."""
    return (op & 0b0011) << 2 | (op & 0b1100) >> 2


class _Builder:
    """Two-input gates built from literals, folding what needs no gate.

    A literal is 0 or 1 for the constants and 2 * (node + 1) + complement for a node.
    """

    def __init__(self, inputs: int) -> None:
        self.inputs = inputs
        self.gates: list[Gate] = []

    @staticmethod
    def unary(low: int, high: int, x: int) -> int:
        """The literal of the function of x that is ``low`` at x = 0 and ``high`` at x = 1."""
        return low if low == high else x ^ low

    def gate(self, op: int, x: int, y: int) -> int:
        """The literal of op over the literals x (operand a) and y (operand b)."""
        if x < 2:
            return self.unary(op >> (x & 1) & 1, op >> (2 + (x & 1)) & 1, y)
        if y < 2:
            return self.unary(op >> 2 * (y & 1) & 1, op >> (2 * (y & 1) + 1) & 1, x)
        if x & 1:
            op = _flip_a(op)
        if y & 1:
            op = _flip_b(op)
        a, b = (x >> 1) - 1, (y >> 1) - 1
        if a == b:
            return self.unary(op & 1, op >> 3 & 1, 2 * (a + 1))
        if op & 0b0101 == (op >> 1) & 0b0101:  # the same for either value of a
            return self.unary(op & 1, op >> 2 & 1, 2 * (b + 1))
        if op & 0b0011 == (op >> 2) & 0b0011:  # the same for either value of b
            return self.unary(op & 1, op >> 1 & 1, 2 * (a + 1))
        self.gates.append((op, a, b))
        return 2 * (self.inputs + len(self.gates))

    def tree(self, op: int, literals: list[int]) -> int:
        """op (AND 8, OR 14 or XOR 6) over any number of literals, as a balanced tree."""
        if not literals:
            return 1 if op == 8 else 0
        level = literals
        while len(level) > 1:
            paired = [self.gate(op, level[i], level[i + 1]) for i in range(0, len(level) - 1, 2)]
            level = paired + level[len(level) & ~1 :]
        return level[0]

    def outputs(self, literals: list[int]) -> tuple[Output, ...]:
        return tuple((None, bool(lit)) if lit < 2 else ((lit >> 1) - 1, bool(lit & 1)) for lit in literals)


def _same(builder: _Builder, literals: list[int]) -> int:
    """A buffer: the operand's own literal."""
    return literals[0]


def _constant(value: int) -> Callable[[_Builder, list[int]], int]:
    def build(builder: _Builder, literals: list[int]) -> int:
        return value

    return build


class _Definition:
    """A signal defined at ``line`` from ``operands`` by ``build`` over their literals."""

    __slots__ = ("build", "line", "operands")

    def __init__(self, line: int, operands: list[str], build: Callable[[_Builder, list[int]], int]) -> None:
        self.line, self.operands, self.build = line, operands, build


def _resolve(
    inputs: list[str], definitions: dict[str, _Definition], outputs: list[tuple[str, int]], what: str
) -> Parts:
    """Gates and outputs from named definitions, walked depth first without recursion.

    The definitions are visited in the order given, so a file already in topological order
    keeps its gate order.
    """
    builder = _Builder(len(inputs))
    literal: dict[str, int] = {name: 2 * (v + 1) for v, name in enumerate(inputs)}
    on_path: set[str] = set()
    roots = [(name, d.line) for name, d in definitions.items()] + outputs
    for root, root_line in roots:
        if root in literal:
            continue
        if root not in definitions:
            raise ValueError(f"line {root_line}: {what} {root!r} is never defined")
        definition = definitions[root]
        try:  # operands defined before: the usual case of a file in topological order
            operands = [literal[x] for x in definition.operands]
        except KeyError:
            pass
        else:
            literal[root] = definition.build(builder, operands)
            _check_growth(builder, definition.line)
            continue
        stack = [root]
        while stack:
            name = stack[-1]
            if name in literal:
                stack.pop()
                continue
            definition = definitions[name]
            if name in on_path:
                on_path.discard(name)
                stack.pop()
                literal[name] = definition.build(builder, [literal[x] for x in definition.operands])
                _check_growth(builder, definition.line)
                continue
            on_path.add(name)
            for operand in definition.operands:
                if operand in literal:
                    continue
                if operand in on_path:
                    raise ValueError(f"line {definition.line}: {what} {name!r} depends on itself through {operand!r}")
                if operand not in definitions:
                    raise ValueError(f"line {definition.line}: {what} {operand!r} is never defined")
                stack.append(operand)
    return len(inputs), tuple(builder.gates), builder.outputs([literal[name] for name, _ in outputs])


#: The most gates a reader builds: a few gigabytes of gate triples; a file asking more is refused.
MAX_READ_GATES = 1 << 24


def _check_growth(builder: _Builder, line: int) -> None:
    if len(builder.gates) > MAX_READ_GATES:
        raise ValueError(f"line {line}: the circuit read so far has {len(builder.gates)} gates, over {MAX_READ_GATES}")


@contextlib.contextmanager
def _collection_paused() -> Iterator[None]:
    """No cyclic garbage collection while a reader builds its many small objects, none of them
    in a cycle: the collector would otherwise rescan the growing heap, doubling the time of a
    large file."""
    enabled = gc.isenabled()
    gc.disable()
    try:
        yield
    finally:
        if enabled:
            gc.enable()


def _logical_lines(text: str | bytes, what: str) -> list[tuple[int, str]]:
    """(line number, text) of each line of a text file, comments from # stripped."""
    if isinstance(text, (bytes, bytearray)):
        try:
            text = bytes(text).decode()
        except UnicodeDecodeError as error:
            raise ValueError(f"a {what} file is text; this is not UTF-8 ({error})") from None
    if not isinstance(text, str):
        raise TypeError(f"a {what} file must be str or bytes, not {type(text).__name__}")
    return [(k + 1, line.split("#", 1)[0].strip()) for k, line in enumerate(text.splitlines())]


def _declare(names: dict[str, int], name: str, line: int, what: str) -> None:
    if name in names:
        raise ValueError(f"line {line}: {what} {name!r} is already defined on line {names[name]}")
    names[name] = line


# -- reading bench ----------------------------------------------------------------------------

_BENCH_NAME = r"[^\s(),=#]+"
_BENCH_OPERANDS = re.compile(rf"\s*{_BENCH_NAME}(?:\s*,\s*{_BENCH_NAME})*\s*\Z")
_BENCH_DECLARATION = re.compile(rf"(INPUT|OUTPUT)\s*\(\s*({_BENCH_NAME})\s*\)\Z", re.IGNORECASE)
_BENCH_GATE = re.compile(rf"({_BENCH_NAME})\s*=\s*({_BENCH_NAME})\s*\(([^()]*)\)\Z")
_BENCH_ALIAS = re.compile(rf"({_BENCH_NAME})\s*=\s*({_BENCH_NAME})\Z")
_BENCH_LUT = re.compile(rf"({_BENCH_NAME})\s*=\s*LUT\s+0x([0-9a-fA-F]+)\s*\(([^()]*)\)\Z", re.IGNORECASE)

#: The most operands of a bench LUT (ABC writes LUTs of up to 6 or so); its table has 2**k bits.
MAX_LUT_INPUTS = 16
_CONSTANTS = {"gnd": 0, "vdd": 1, "const0": 0, "const1": 1, "0": 0, "1": 1}

# Bench gate types: (tree op, complement the result); NOT and BUF(F) take one operand.
_BENCH_TYPES = {
    "AND": (8, 0),
    "NAND": (8, 1),
    "OR": (14, 0),
    "NOR": (14, 1),
    "XOR": (6, 0),
    "XNOR": (6, 1),
    "NXOR": (6, 1),
    "NOT": (8, 1),
    "BUF": (8, 0),
    "BUFF": (8, 0),
}


def _tree_builder(op: int, complement: int) -> Callable[[_Builder, list[int]], int]:
    def build(builder: _Builder, literals: list[int]) -> int:
        before = len(builder.gates)
        result = builder.tree(op, literals) ^ complement
        # A NAND, NOR or XNOR keeps its own table when its last gate is new (nothing else reads it yet).
        if complement and len(builder.gates) > before and result >> 1 == builder.inputs + len(builder.gates):
            last_op, a, b = builder.gates[-1]
            builder.gates[-1] = (last_op ^ 15, a, b)
            result ^= 1
        return result

    return build


_BENCH_BUILDERS = {kind: _tree_builder(op, complement) for kind, (op, complement) in _BENCH_TYPES.items()}


def _lut_builder(table: int) -> Callable[[_Builder, list[int]], int]:
    """A LUT whose table has bit x set when the operands, operand i as bit i of x, read x.

    The 2**(k-2) two-input slices on the first two operands are one gate each, then each further
    operand joins pairs of slices as a multiplexer, ``(~s & low) | (s & high)``.
    """

    def build(builder: _Builder, literals: list[int]) -> int:
        k = len(literals)
        if k == 1:
            return builder.unary(table & 1, table >> 1 & 1, literals[0])
        level = [builder.gate(table >> 4 * j & 15, literals[0], literals[1]) for j in range(1 << (k - 2))]
        for select in literals[2:]:
            level = [
                builder.gate(14, builder.gate(8, select ^ 1, level[j]), builder.gate(8, select, level[j + 1]))
                for j in range(0, len(level), 2)
            ]
        return level[0]

    return build


@_collection_paused()
def read_bench(text: str | bytes) -> Parts:
    """The parts of a circuit from ISCAS bench text (see ``Circuit.from_bench``)."""
    inputs: dict[str, int] = {}
    outputs: list[tuple[str, int]] = []
    definitions: dict[str, _Definition] = {}
    defined: dict[str, int] = {}
    planned = 0  # gates the LUTs may need, refused before any is built
    for number, line in _logical_lines(text, "bench"):
        if not line:
            continue
        declaration = _BENCH_DECLARATION.match(line)
        if declaration:
            keyword, name = declaration.group(1).upper(), declaration.group(2)
            if keyword == "INPUT":
                _declare(defined, name, number, "signal")
                inputs[name] = number
            else:
                outputs.append((name, number))
            continue
        lut = _BENCH_LUT.match(line)
        if lut:
            name, table, operands = lut.group(1), int(lut.group(2), 16), lut.group(3)
            names = [x.strip() for x in operands.split(",")] if operands.strip() else []
            if not 1 <= len(names) <= MAX_LUT_INPUTS or not _BENCH_OPERANDS.match(operands):
                raise ValueError(f"line {number}: a LUT reads 1 to {MAX_LUT_INPUTS} operands separated by commas")
            if table >> (1 << len(names)):
                raise ValueError(f"line {number}: the LUT's table 0x{lut.group(2)} has more than 2**{len(names)} bits")
            planned += 1 << len(names)  # at most 2**k - 1 gates: its slices and multiplexers
            if planned > MAX_READ_GATES:
                raise ValueError(
                    f"line {number}: the LUTs up to here need up to {planned} gates, over {MAX_READ_GATES}"
                )
            _declare(defined, name, number, "signal")
            definitions[name] = _Definition(number, names, _lut_builder(table))
            continue
        gate = _BENCH_GATE.match(line)
        if gate:
            name, kind, operands = gate.group(1), gate.group(2).upper(), gate.group(3)
            names = [x.strip() for x in operands.split(",")] if operands.strip() else []
            if kind in ("DFF", "DFFR", "LATCH"):
                raise ValueError(f"line {number}: {kind} is a latch; only combinational circuits are read")
            if kind not in _BENCH_TYPES:
                raise ValueError(f"line {number}: unknown gate type {gate.group(2)!r}")
            if not names or not _BENCH_OPERANDS.match(operands):
                raise ValueError(f"line {number}: {gate.group(2)} needs operands separated by commas")
            if kind in ("NOT", "BUF", "BUFF") and len(names) != 1:
                raise ValueError(f"line {number}: {gate.group(2)} takes one operand, not {len(names)}")
            _declare(defined, name, number, "signal")
            definitions[name] = _Definition(number, names, _BENCH_BUILDERS[kind])
            continue
        alias = _BENCH_ALIAS.match(line)
        if alias:
            name, source = alias.group(1), alias.group(2)
            _declare(defined, name, number, "signal")
            definitions[name] = _Definition(number, [source], _same)
            continue
        raise ValueError(f"line {number}: cannot read {line!r} as INPUT(name), OUTPUT(name) or name = GATE(...)")
    # A constant's name (vdd, gnd, ...) read but never defined stands for the constant.
    for definition in list(definitions.values()):
        for operand in definition.operands:
            if operand not in defined and operand.lower() in _CONSTANTS:
                definitions[operand] = _Definition(definition.line, [], _constant(_CONSTANTS[operand.lower()]))
    if not outputs:
        raise ValueError("the bench text declares no OUTPUT")
    return _resolve(list(inputs), definitions, outputs, "signal")


# -- reading BLIF -----------------------------------------------------------------------------

# Commands that carry no logic (timing, attributes, names of cells); read and ignored.
_BLIF_IGNORED = frozenset(
    ".area .attr .cname .clock .default_input_arrival .default_input_drive .default_max_input_load "
    ".default_output_load .default_output_required .delay .input_arrival .input_drive .max_input_load "
    ".output_load .output_required .param .wire_load_slope .blackbox".split()
)


# Tables of covers of at most two inputs already seen: the same few recur through a file.
_COVER_TABLES: dict[tuple[int, tuple[str, ...], int], int] = {}


def _small_cover_table(k: int, planes: tuple[str, ...], on: int) -> int:
    """The table (bit x for input x) of a cover of k <= 2 inputs."""
    key = (k, planes, on)
    if key not in _COVER_TABLES:
        if len(_COVER_TABLES) > 4096:
            _COVER_TABLES.clear()
        _COVER_TABLES[key] = _cover_table(k, planes, on)
    return _COVER_TABLES[key]


def _cover_table(k: int, planes: tuple[str, ...], on: int) -> int:
    table = 0
    for row in range(1 << k):
        bits = [row >> i & 1 for i in range(k)]
        if any(all(c == "-" or int(c) == bit for c, bit in zip(plane, bits, strict=True)) for plane in planes):
            table |= 1 << row
    return table if on else table ^ ((1 << (1 << k)) - 1)


def _cover_builder(rows: list[tuple[str, int]]) -> Callable[[_Builder, list[int]], int]:
    """The literal of a single-output cover over the operand literals."""

    def build(builder: _Builder, literals: list[int]) -> int:
        k = len(literals)
        if not rows:
            return 0
        on = rows[0][1]
        if k <= 2:
            # Two inputs or fewer: the exact table, one gate at most.
            table = _small_cover_table(k, tuple(plane for plane, _ in rows), on)
            if k == 0:
                return table & 1
            if k == 1:
                return builder.unary(table & 1, table >> 1 & 1, literals[0])
            return builder.gate(table, literals[0], literals[1])
        cubes = []
        for plane, _ in rows:
            cubes.append(
                builder.tree(8, [lit ^ (c == "0") for c, lit in zip(plane, literals, strict=True) if c != "-"])
            )
        return builder.tree(14, cubes) ^ (on ^ 1)

    return build


@_collection_paused()
def read_blif(text: str | bytes) -> Parts:
    """The parts of a circuit from BLIF text (see ``Circuit.from_blif``)."""
    # Join continued lines (a backslash at the end), keeping the first line's number.
    # The pieces of a continued line are gathered in a list and joined once (linear time).
    joined: list[tuple[int, str]] = []
    pending: tuple[int, list[str]] | None = None
    for number, line in _logical_lines(text, "BLIF"):
        continued = line.endswith("\\")
        piece = line[:-1] if continued else line
        if pending is None:
            pending = (number, [piece])
        else:
            pending[1].append(piece)
        if not continued:
            joined.append((pending[0], " ".join(pending[1])))
            pending = None
    if pending is not None:
        joined.append((pending[0], " ".join(pending[1])))
    inputs: list[str] = []
    outputs: list[tuple[str, int]] = []
    definitions: dict[str, _Definition] = {}
    defined: dict[str, int] = {}
    cover: list[tuple[str, int]] | None = None
    cover_size = 0
    cover_line = 0
    models = 0
    for number, line in joined:
        if not line:
            continue
        words = line.split()
        command = words[0]
        if not command.startswith("."):
            if cover is None:
                raise ValueError(f"line {number}: a cover row {line!r} outside .names")
            if cover_size == 0 and len(words) == 1:
                plane, value = "", words[0]
            elif len(words) == 2:
                plane, value = words
            else:
                raise ValueError(f"line {number}: a cover row is 'inputs output', not {line!r}")
            if len(plane) != cover_size or plane.strip("01-") or value not in ("0", "1"):
                raise ValueError(
                    f"line {number}: a cover row needs {cover_size} characters of 0, 1, - and an output 0 or 1"
                )
            if cover and cover[0][1] != int(value):
                raise ValueError(f"line {number}: the rows of one cover (line {cover_line}) must share their output")
            cover.append((plane, int(value)))
            continue
        cover = None
        if command == ".model":
            models += 1
            if models > 1:
                raise ValueError(f"line {number}: a second .model; only one model, without .subckt, is read")
        elif command == ".inputs":
            for name in words[1:]:
                _declare(defined, name, number, "signal")
                inputs.append(name)
        elif command == ".outputs":
            outputs += [(name, number) for name in words[1:]]
        elif command == ".names":
            if len(words) < 2:
                raise ValueError(f"line {number}: .names needs at least an output name")
            name = words[-1]
            _declare(defined, name, number, "signal")
            cover, cover_size, cover_line = [], len(words) - 2, number
            definitions[name] = _Definition(number, words[1:-1], _cover_builder(cover))
        elif command == ".conn":
            if len(words) != 3:
                raise ValueError(f"line {number}: .conn takes two names")
            _declare(defined, words[2], number, "signal")
            definitions[words[2]] = _Definition(number, [words[1]], _same)
        elif command == ".end":
            break
        elif command in (".latch", ".mlatch"):
            raise ValueError(f"line {number}: {command} is a latch; only combinational circuits are read")
        elif command in _BLIF_IGNORED:
            continue
        else:
            raise ValueError(f"line {number}: {command} is not read (only .model, .inputs, .outputs, .names, .end)")
    if not outputs:
        raise ValueError("the BLIF text declares no .outputs")
    return _resolve(inputs, definitions, outputs, "signal")


# -- reading AIGER ----------------------------------------------------------------------------


def _aiger_header(line: str, number: int, kind: str) -> list[int]:
    words = line.split()
    if not words or words[0] != kind or not 6 <= len(words) <= 10 or not all(w.isdigit() for w in words[1:]):
        raise ValueError(f"line {number}: the header is '{kind} M I L O A', not {line!r}")
    fields = [int(w) for w in words[1:]]
    if fields[2]:
        raise ValueError(f"line {number}: the circuit has {fields[2]} latches; only combinational circuits are read")
    if any(fields[5:]):
        raise ValueError(f"line {number}: bad-state, constraint and fairness properties are not read")
    return fields[:5]


def _literal(word: str, top: int, number: int) -> int:
    if not word.isdigit() or int(word) > 2 * top + 1:
        raise ValueError(f"line {number}: {word!r} is not a literal of variables 0 .. {top}")
    return int(word)


def _read_aag(text: str) -> Parts:
    lines = text.split("\n")
    top, count, _, outs, ands = _aiger_header(lines[0], 1, "aag")
    if len(lines) < 1 + count + outs + ands:
        raise ValueError(f"the aag text ends before its {count} inputs, {outs} outputs and {ands} ANDs")
    # Variables are named by their number; a literal's complement is applied by the reader below.
    inputs: list[str] = []
    defined: dict[str, int] = {"0": 0}
    definitions: dict[str, _Definition] = {"0": _Definition(0, [], _constant(0))}
    for k in range(count):
        number = 2 + k
        words = lines[number - 1].split()
        literal = _literal(words[0], top, number) if len(words) == 1 else -1
        if literal < 2 or literal & 1:
            raise ValueError(f"line {number}: an input is one even literal above 1, not {lines[number - 1]!r}")
        _declare(defined, str(literal >> 1), number, "variable")
        inputs.append(str(literal >> 1))
    output_literals = []
    for k in range(outs):
        number = 2 + count + k
        words = lines[number - 1].split()
        if len(words) != 1:
            raise ValueError(f"line {number}: an output is one literal, not {lines[number - 1]!r}")
        output_literals.append((_literal(words[0], top, number), number))
    for k in range(ands):
        number = 2 + count + outs + k
        words = lines[number - 1].split()
        if len(words) != 3:
            raise ValueError(f"line {number}: an AND is 'lhs rhs0 rhs1', not {lines[number - 1]!r}")
        lhs, x, y = (_literal(w, top, number) for w in words)
        if lhs < 2 or lhs & 1:
            raise ValueError(f"line {number}: an AND defines an even literal above 1, not {lhs}")
        _declare(defined, str(lhs >> 1), number, "variable")
        definitions[str(lhs >> 1)] = _Definition(number, [str(x >> 1), str(y >> 1)], _AIGER_ANDS[x & 1][y & 1])
    # Outputs name variables; their complements are applied after resolving.
    inputs_count, gates, resolved = _resolve(
        inputs, definitions, [(str(lit >> 1), number) for lit, number in output_literals], "variable"
    )
    return (
        inputs_count,
        gates,
        tuple(
            (node, negated ^ bool(lit & 1)) for (node, negated), (lit, _) in zip(resolved, output_literals, strict=True)
        ),
    )


def _aiger_and(x: int, y: int) -> Callable[[_Builder, list[int]], int]:
    def build(builder: _Builder, literals: list[int]) -> int:
        return builder.gate(8, literals[0] ^ x, literals[1] ^ y)

    return build


_AIGER_ANDS = [[_aiger_and(x, y) for y in (0, 1)] for x in (0, 1)]


def _read_aig(data: bytes) -> Parts:
    lines: list[str] = []
    position = 0
    # The header and the output lines are text; the ANDs follow them in binary.
    while True:
        end = data.find(b"\n", position)
        if end < 0:
            raise ValueError(f"the aig data ends in its header or outputs (line {len(lines) + 1})")
        lines.append(data[position:end].decode("ascii", errors="replace"))
        position = end + 1
        if len(lines) == 1:
            top, count, _, outs, ands = _aiger_header(lines[0], 1, "aig")
            if top != count + ands:
                raise ValueError(f"line 1: a binary aig has M = I + L + A, not {top} for {count} + 0 + {ands}")
            if ands > len(data) or outs > len(data):
                raise ValueError("line 1: the header counts more ANDs or outputs than the data can hold")
        if len(lines) == 1 + outs:
            break
    builder = _Builder(count)
    literal = [0] + [2 * (v + 1) for v in range(count)]
    for i in range(ands):
        lhs = 2 * (count + 1 + i)
        deltas = []
        for _ in range(2):
            value, shift = 0, 0
            while True:
                if position >= len(data):
                    raise ValueError(f"the aig data ends in AND {i} (of {ands})")
                byte = data[position]
                position += 1
                value |= (byte & 0x7F) << shift
                shift += 7
                if not byte & 0x80:
                    break
                if shift > 70:
                    raise ValueError(f"AND {i}: a delta longer than 10 bytes")
            deltas.append(value)
        high = lhs - deltas[0]
        low = high - deltas[1]
        if deltas[0] == 0 or low < 0:
            raise ValueError(f"AND {i} (literal {lhs}) reads literals {high} and {low}, not both below it")
        literal.append(builder.gate(8, literal[high >> 1] ^ (high & 1), literal[low >> 1] ^ (low & 1)))
    outputs = [
        literal[_literal(line.strip(), top, 2 + k) >> 1] ^ (int(line.strip()) & 1) for k, line in enumerate(lines[1:])
    ]
    return count, tuple(builder.gates), builder.outputs(outputs)


@_collection_paused()
def read_aiger(data: str | bytes) -> Parts:
    """The parts of a circuit from AIGER, ``aag`` text or ``aig`` bytes (see ``Circuit.from_aiger``)."""
    if isinstance(data, str):
        if data.startswith("aig"):
            data = data.encode("latin-1")
        else:
            return _read_aag(data)
    if not isinstance(data, (bytes, bytearray)):
        raise TypeError(f"AIGER data must be str or bytes, not {type(data).__name__}")
    data = bytes(data)
    if data.startswith(b"aag"):
        try:
            return _read_aag(data.decode())
        except UnicodeDecodeError as error:
            raise ValueError(f"aag data is text; this is not UTF-8 ({error})") from None
    if data.startswith(b"aig"):
        return _read_aig(data)
    raise ValueError("AIGER data starts with 'aag' (ASCII) or 'aig' (binary)")
