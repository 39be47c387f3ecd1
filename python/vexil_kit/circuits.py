"""Minimum circuits of two-input gates for functions of at most five variables.

A circuit here has the variables as free inputs and gates that each compute any of the 16
functions of two earlier nodes; a node may feed any number of gates, and the output may be
taken complemented at no cost. The minimum gate counts are those of ``vexil.Vexil.minimal_gates``:
both read one circuit per NPN class from the vexil core's database of all five-variable
functions, carried over to the function asked for. A function of n < 5 variables is looked
up as its extension to five (``f.extend(5)``); its circuit never reads the added variables,
since a gate reading one would fold away with that variable fixed at 0, and so it is returned
on f's own n variables with the same count.

``Circuit`` holds any circuit of two-input gates, with one output or several; it evaluates
itself bit-parallel (``tables``, ``to_function``) and reads and writes the file formats of the
field (bench, BLIF, Verilog, AIGER) through ``vexil_kit.circuit_formats``.
"""

from __future__ import annotations

import dataclasses
from collections.abc import Callable, Iterable, Sequence
from typing import Any

import numpy as np
import numpy.typing as npt

from . import _arguments, _native, circuit_formats, circuit_readers, display, variables
from ._arguments import Table

#: The most variables the gate database covers.
MAX_CIRCUIT_VARS = 5

#: The longest text ``Circuit.to_expression`` builds (characters).
MAX_EXPRESSION = 1 << 24

#: Makes the function object a circuit computes (``Circuit.to_function``). The value types sit
#: above this module and set it when they are imported, so that this module never imports them.
FUNCTION_OF: Callable[[Circuit], Any] | None = None

#: Improves a circuit window by window (``Circuit.improve``); set by ``vexil_kit.synthesis.improve``,
#: which sits above this module and is imported with the package.
IMPROVE: Callable[..., Any] | None = None

# Gate names by op; "A" and "B" are the first and second operand.
_OP_NAMES = (
    "FALSE",
    "NOR",
    "A AND NOT B",
    "NOT B",
    "NOT A AND B",
    "NOT A",
    "XOR",
    "NAND",
    "AND",
    "XNOR",
    "A",
    "A OR NOT B",
    "B",
    "NOT A OR B",
    "OR",
    "TRUE",
)

# Expressions by op over two operand atoms (a variable or a parenthesised expression).
_OP_FORMATS = ("0", *circuit_formats.OPERATOR_FORMATS[1:15], "1")


def _index(value: Any, what: str) -> int:
    if isinstance(value, (bool, np.bool_)) or not isinstance(value, (int, np.integer)):
        raise TypeError(f"{what} must be an int, not {type(value).__name__}")
    return int(value)


# Gate ops by kind: AND with inverters on its operands or its value, and XOR or XNOR.
AND_OPS = frozenset({1, 2, 4, 8, 7, 11, 13, 14})
XOR_OPS = frozenset({6, 9})


@dataclasses.dataclass(frozen=True, slots=True, init=False, repr=False)
class Circuit:
    """A circuit of two-input gates over ``inputs`` variables, with one output or several.

    Nodes are numbered in order: 0 .. inputs - 1 are the variables x0 .. x(inputs-1), and node
    inputs + i is ``gates[i]``. Each gate is a triple ``(op, a, b)`` of the operand nodes a and b,
    both earlier than the gate itself, and op, the gate's 4-bit truth table: bit (2 * B + A) of
    op is the gate's value when node a has value A and node b value B. So op is the table of
    ``BooleanFunction.from_int(op, 2)`` with x0 = A and x1 = B: 8 is AND, 14 OR, 6 XOR, 7 NAND,
    1 NOR, 9 XNOR, 2 A AND NOT B, 4 NOT A AND B, 11 A OR NOT B, 13 NOT A OR B (the remaining six
    ignore an operand and never occur in a minimum circuit).

    ``outputs`` holds one pair ``(node, negated)`` per output: the output is that node's value,
    complemented when ``negated`` is true. A node may be an input, several outputs may share
    nodes, and node None is the constant 0 (complemented, the constant 1). ``Circuit(inputs,
    gates, output, output_negated)`` makes a circuit of one output, ``Circuit(inputs, gates,
    outputs=...)`` one of any number (at least one); ``outputs`` is always filled in. On a
    circuit of one output, ``output`` and ``output_negated`` read its pair; on one of several,
    reading them raises ValueError, as there is no single output. A constant function has no
    gates and ``output`` None, so ``output_negated`` is the function's value; a variable or its
    complement has no gates either, and ``output`` is that input node.

    ``len(circuit)`` (and ``size``) is the number of gates. The fields (``inputs``, ``gates``,
    ``outputs``: a frozen dataclass) are checked on construction (TypeError or ValueError) and
    the value is immutable, hashable and compares by its fields. ``str(circuit)`` is
    ``to_text()``; the file formats are written by ``to_bench``, ``to_blif``, ``to_verilog``
    and ``to_aiger`` and read by ``from_bench``, ``from_blif`` and ``from_aiger`` (see
    ``vexil_kit.circuit_formats``).

    >>> c = BooleanFunction.majority(3).minimal_circuit()
    >>> c.inputs, len(c), c.output
    (3, 4, 6)
    >>> c.to_function() == BooleanFunction.majority(3)
    True
    >>> half_adder = Circuit(2, ((6, 0, 1), (8, 0, 1)), outputs=((2, False), (3, False)))
    >>> half_adder.tables().astype(int)
    array([[0, 1, 1, 0],
           [0, 0, 0, 1]])
    >>> half_adder.basis, half_adder.and_count, half_adder.depth
    ('XAG', 1, 1)
    """

    inputs: int
    gates: tuple[tuple[int, int, int], ...]
    outputs: tuple[tuple[int | None, bool], ...]

    def __init__(
        self,
        inputs: int,
        gates: Sequence[tuple[int, int, int]],
        output: int | None = None,
        output_negated: bool = False,
        *,
        outputs: Sequence[tuple[int | None, bool]] | None = None,
    ) -> None:
        count = _arguments.count(_index(inputs, "inputs"), "inputs")
        if isinstance(gates, (str, bytes)) or not isinstance(gates, Iterable):
            raise TypeError(f"gates must be a sequence of (op, a, b) triples, not {type(gates).__name__}")
        checked = []
        for i, gate in enumerate(gates):
            try:
                op, a, b = gate
            except (TypeError, ValueError):
                raise ValueError(f"gate {i} must be a triple (op, a, b), not {gate!r}") from None
            op, a, b = _index(op, f"gate {i}'s op"), _index(a, f"gate {i}'s a"), _index(b, f"gate {i}'s b")
            if not 0 <= op <= 15:
                raise ValueError(f"gate {i}'s op {op} is not a 4-bit table")
            for operand in (a, b):
                if not 0 <= operand < count + i:
                    raise ValueError(f"gate {i} (node {count + i}) reads node {operand}, not an earlier node")
            checked.append((op, a, b))
        if outputs is None:
            pairs: Any = ((output, output_negated),)
        elif output is not None or output_negated is not False:
            raise ValueError("give either output and output_negated (one output) or outputs, not both")
        elif isinstance(outputs, (str, bytes)) or not isinstance(outputs, Iterable):
            raise TypeError(f"outputs must be a sequence of (node, negated) pairs, not {type(outputs).__name__}")
        else:
            pairs = outputs
        nodes = count + len(checked)
        checked_outputs = []
        for j, pair in enumerate(pairs):
            try:
                node, negated = pair
            except (TypeError, ValueError):
                raise ValueError(f"output {j} must be a pair (node, negated), not {pair!r}") from None
            what = "output" if outputs is None else f"output {j}"
            if node is not None:
                node = _index(node, what)
                if not 0 <= node < nodes:
                    raise ValueError(f"{what} {node} is not a node (there are {nodes})")
            if not isinstance(negated, (bool, np.bool_)):
                raise TypeError(f"{what}'s negation must be a bool, not {type(negated).__name__}")
            checked_outputs.append((node, bool(negated)))
        if not checked_outputs:
            raise ValueError("a circuit has at least one output")
        object.__setattr__(self, "inputs", count)
        object.__setattr__(self, "gates", tuple(checked))
        object.__setattr__(self, "outputs", tuple(checked_outputs))

    def __reduce__(self) -> tuple[Any, ...]:
        return (_rebuild, (self.inputs, self.gates, self.outputs))

    def __repr__(self) -> str:
        if len(self.outputs) == 1:
            ((node, negated),) = self.outputs
            return f"Circuit(inputs={self.inputs}, gates={self.gates!r}, output={node!r}, output_negated={negated!r})"
        return f"Circuit(inputs={self.inputs}, gates={self.gates!r}, outputs={self.outputs!r})"

    def __str__(self) -> str:
        return self.to_text()

    _repr_html_ = display.circuit  # a notebook's drawing, bounded in cost

    def _single(self) -> tuple[int | None, bool]:
        if len(self.outputs) != 1:
            raise ValueError(f"this circuit has {len(self.outputs)} outputs; read them from circuit.outputs")
        return self.outputs[0]

    @property
    def output(self) -> int | None:
        """The node of the only output (None for a constant); ValueError on a circuit of several outputs."""
        return self._single()[0]

    @property
    def output_negated(self) -> bool:
        """Whether the only output is complemented; ValueError on a circuit of several outputs."""
        return self._single()[1]

    @property
    def size(self) -> int:
        """The number of gates, ``len(circuit)``.

        >>> BooleanFunction.majority(3).minimal_circuit().size
        4
        """
        return len(self.gates)

    @property
    def and_count(self) -> int:
        """The number of AND-type gates (an AND with inverters: ops 1, 2, 4, 7, 8, 11, 13, 14).

        >>> Circuit(3, ((6, 0, 1), (8, 3, 2), (14, 3, 4)), 5).and_count   # XOR, AND, OR
        2
        """
        return sum(op in AND_OPS for op, _, _ in self.gates)

    @property
    def basis(self) -> str:
        """The smallest basis the gates fit: "AIG" (every gate AND-type) within "XAG" (AND- or
        XOR-type) within "B2" (any two-input gate). A circuit without gates is "AIG".

        >>> Circuit(2, ((14, 0, 1),), 2).basis, Circuit(2, ((9, 0, 1),), 2).basis, Circuit(2, ((10, 0, 1),), 2).basis
        ('AIG', 'XAG', 'B2')
        """
        ops = {op for op, _, _ in self.gates}
        if ops <= AND_OPS:
            return "AIG"
        return "XAG" if ops <= AND_OPS | XOR_OPS else "B2"

    @property
    def depth(self) -> int:
        """The most gates on a path from an input to an output (0 when every output is an input or a constant).

        >>> Circuit(3, ((8, 0, 1), (8, 3, 2), (6, 0, 1)), outputs=((4, False), (5, True))).depth
        2
        """
        levels = [0] * self.inputs
        for _, a, b in self.gates:
            levels.append(max(levels[a], levels[b]) + 1)
        return max((levels[node] for node, _ in self.outputs if node is not None), default=0)

    def __len__(self) -> int:
        return len(self.gates)

    def tables(self) -> npt.NDArray[np.bool_]:
        """The outputs' truth tables, a read-only bool array of shape (outputs, 2**inputs).

        Row j is output j's table: entry x is its value when variable v is bit v of x. Every gate
        is evaluated bit-parallel on 64 inputs per machine word, each node's words freed once
        its last reader is done; MemoryError (with the sizes) before the words are taken when
        they would not fit in memory.

        >>> Circuit(2, ((8, 0, 1),), outputs=((2, True), (0, False), (None, True))).tables().astype(int)
        array([[1, 1, 1, 0],
               [0, 1, 0, 1],
               [1, 1, 1, 1]])
        """
        return evaluate(self.inputs, self.gates, self.outputs)

    def to_function(self) -> Any:
        """The function the circuit computes: a ``BooleanFunction`` of ``inputs`` variables for one
        output, for several the ``VectorialFunction`` whose coordinate j is output j (built by
        ``VectorialFunction.from_components``, which bounds the number of outputs; ``tables()``
        has no such bound).

        The tables come from ``tables()`` (bit-parallel, memory checked first).

        >>> c = BooleanFunction.xor(3).minimal_circuit()
        >>> c.to_function() == BooleanFunction.xor(3)
        True
        >>> Circuit(2, ((8, 0, 1),), 2, True).to_function().to_hex()   # NAND
        '0x7'
        """
        if FUNCTION_OF is None:
            raise RuntimeError("Circuit.to_function needs the value types: import vexil_kit first")
        return FUNCTION_OF(self)

    def improve(
        self, basis: str | None = None, time_limit: float | None = None, progress: Any = None, depth: bool = False
    ) -> Any:
        """A circuit computing the same outputs with fewer gates, by local rewriting, and what changed.

        Returns ``(circuit, summary)`` (an ``Improvement``): every window of at most five inputs
        (four for AIG) is replaced by a proven-smallest circuit where that frees more gates than
        it adds, to a fixed point or ``time_limit`` seconds; ``basis`` ("B2", "XAG", "AIG" or
        "MC", where the AND gates count) defaults to the circuit's own. ``depth=True`` also takes
        rewrites of the same size that lower the depth, and never raises it. The result is
        checked equal to this circuit on every input (by simulation up to 24 inputs, by SAT
        beyond). Ctrl-C raises ``Interrupted`` (a KeyboardInterrupt) whose ``improvement`` holds
        the best circuit so far. See docs/circuit-improvement.md.

        >>> c = Circuit(2, ((8, 0, 1), (14, 0, 1), (8, 2, 3)), 4)   # (x0 & x1) & (x0 | x1)
        >>> better, summary = c.improve()
        >>> better.gates, summary.gates_before, summary.gates_after
        (((8, 0, 1),), 3, 1)
        """
        if IMPROVE is None:
            raise RuntimeError("Circuit.improve needs vexil_kit.synthesis: import vexil_kit first")
        return IMPROVE(self, basis, time_limit, progress, depth)

    # -- file formats (vexil_kit.circuit_formats) ----------------------------------------------

    def to_bench(self) -> str:
        """The circuit as ISCAS bench text, read by ABC (``read_bench``), cirbo and ``from_bench``.

        ``INPUT(x0)`` .. and ``OUTPUT(f)`` (``y0`` .. for several outputs) lines, then one line
        per gate, ``g3 = AND(x0, g1)``, with the types AND, NAND, OR, NOR, XOR, NOT and BUFF; a
        gate with a complemented operand reads it through a ``NOT`` line (XNOR is written as XOR
        with one, since not every reader knows XNOR), and a gate that is an output takes the
        output's name. A constant output is ``AND(x0, x0_n)`` or ``OR(x0, x0_n)`` (``gnd`` or
        ``vdd`` with no inputs).

        >>> print(Circuit(2, ((2, 0, 1),), 2, True).to_bench(), end="")
        # 2 inputs, 1 outputs, 1 gates
        INPUT(x0)
        INPUT(x1)
        OUTPUT(f)
        x1_n = NOT(x1)
        g0 = AND(x0, x1_n)
        f = NOT(g0)
        """
        return circuit_formats.write_bench(self.inputs, self.gates, self.outputs)

    def to_blif(self, model: str = "circuit") -> str:
        """The circuit as BLIF text (one ``.names`` cover per gate), read by ABC, Yosys and ``from_blif``.

        >>> print(Circuit(2, ((6, 0, 1),), 2).to_blif(), end="")
        .model circuit
        .inputs x0 x1
        .outputs f
        .names x0 x1 f
        10 1
        01 1
        .end
        """
        if not isinstance(model, str) or not model or any(c.isspace() for c in model):
            raise ValueError(f"model must be a name without spaces, not {model!r}")
        return circuit_formats.write_blif(self.inputs, self.gates, self.outputs, model)

    def to_verilog(self, module: str = "circuit") -> str:
        """The circuit as a structural Verilog module, one ``assign`` per gate and per output.

        ValueError when ``module`` is not a Verilog identifier.

        >>> print(Circuit(2, ((8, 0, 1),), 2, True).to_verilog("nand2"), end="")
        module nand2 (x0, x1, f);
          input x0, x1;
          output f;
          wire g0;
          assign g0 = x0 & x1;
          assign f = ~g0;
        endmodule
        """
        return circuit_formats.write_verilog(self.inputs, self.gates, self.outputs, module)

    def to_aiger(self, binary: bool = False) -> str | bytes:
        r"""The circuit as an AND-inverter graph in AIGER: ASCII ``aag`` text, or binary ``aig`` bytes.

        Inputs are variables 1 .. inputs, in order, then one variable per AND. Each gate becomes
        ANDs: an AND-type gate (AND, OR, NAND, NOR and the four with one inverted operand) one
        AND with its operands and value complemented as needed, XOR and XNOR three ANDs
        (``a ^ b = ~(~(a & ~b) & ~(~a & b))``), and a gate that ignores an operand none. So the
        AIGER file has ``and_count + 3 * (XOR gates)`` ANDs for a circuit without such degenerate
        gates. The symbol table names the inputs x0 .. and the outputs as ``to_bench`` does.

        >>> print(Circuit(2, ((6, 0, 1),), 2).to_aiger(), end="")
        aag 5 2 0 1 3
        2
        4
        11
        6 2 5
        8 3 4
        10 7 9
        i0 x0
        i1 x1
        o0 f
        >>> Circuit(2, ((14, 0, 1),), 2).to_aiger(binary=True)
        b'aig 3 2 0 1 1\n7\n\x01\x02i0 x0\ni1 x1\no0 f\n'
        """
        return circuit_formats.write_aiger(self.inputs, self.gates, self.outputs, bool(binary))

    def to_text(self) -> str:
        """The circuit as a listing, one gate per line and then one line per output (also ``str()``).

        >>> print(Circuit(3, ((8, 0, 1), (14, 3, 2)), outputs=((4, False), (3, True))).to_text())
        inputs x0 x1 x2
        g0 = x0 & x1
        g1 = g0 | x2
        y0 = g1
        y1 = ~g0
        """
        circuit_formats.check_size(self.inputs, self.gates)
        names = [f"x{v}" for v in range(self.inputs)] + [f"g{i}" for i in range(len(self.gates))]
        lines = ["inputs " + " ".join(names[: self.inputs]) if self.inputs else "inputs (none)"]
        for i, (op, a, b) in enumerate(self.gates):
            lines.append(f"g{i} = " + _OP_FORMATS[op].format(a=names[a], b=names[b]))
        for name, (node, negated) in zip(circuit_formats.output_names(len(self.outputs)), self.outputs, strict=True):
            value = str(int(negated)) if node is None else ("~" if negated else "") + names[node]
            lines.append(f"{name} = {value}")
        return "\n".join(lines)

    @classmethod
    def from_bench(cls, text: str | bytes) -> Circuit:
        r"""A circuit from ISCAS bench text, as ABC, cirbo and ``to_bench`` write it.

        Lines are ``INPUT(name)``, ``OUTPUT(name)``, ``name = TYPE(operand, ...)`` with the types
        AND, NAND, OR, NOR, XOR, XNOR or NXOR (any number of operands), NOT and BUF or BUFF,
        ``name = LUT 0x<table> (operand, ...)`` as ABC writes it (bit x of the table is the value
        when operand i has value bit i of x), and ``name = other`` (``vdd`` and ``gnd`` are the
        constants when nothing defines them), in any order; ``#`` starts a comment. Inputs
        become variables in the order they are declared, outputs likewise. Gates of more than
        two operands become balanced trees (a LUT, gates on its first two operands joined by
        multiplexers on the others); inverters, buffers and constants fold into the gates that
        read them (``circuit_formats``). Latches (``DFF``), cycles, undefined or twice-defined
        names and malformed lines raise ValueError naming the line.

        >>> c = Circuit.from_bench("INPUT(a)\nINPUT(b)\nINPUT(c)\nOUTPUT(m)\nm = NAND(a, b, c)\n")
        >>> c.gates, c.outputs
        (((8, 0, 1), (7, 3, 2)), ((4, False),))
        """
        inputs, gates, outputs = circuit_readers.read_bench(text)
        return cls(inputs, gates, outputs=outputs)

    @classmethod
    def from_blif(cls, text: str | bytes) -> Circuit:
        r"""A circuit from BLIF text of one combinational model, as ABC, Yosys and ``to_blif`` write it.

        ``.inputs`` and ``.outputs`` (in the order declared) and ``.names`` covers with any
        number of inputs: rows of 0, 1 and - with the output 1 (the on-set) or 0 (the off-set);
        ``.conn`` and timing or attribute commands are accepted, ``.latch`` and ``.subckt`` are
        refused. A cover of at most two inputs becomes at most one gate, a larger one an AND tree
        per row under an OR tree, complemented for an off-set (``circuit_formats``).

        >>> c = Circuit.from_blif(".model m\n.inputs a b c\n.outputs y\n.names a b c y\n11- 1\n--1 1\n.end\n")
        >>> c.to_function() == BooleanFunction.from_expression("x0 & x1 | x2")
        True
        """
        inputs, gates, outputs = circuit_readers.read_blif(text)
        return cls(inputs, gates, outputs=outputs)

    @classmethod
    def from_aiger(cls, data: str | bytes) -> Circuit:
        r"""A circuit from AIGER: ASCII ``aag`` (str or bytes) or binary ``aig`` (bytes).

        Each AND becomes one AND-type gate with its operands' complements folded into its op,
        and output complements become the outputs' flags, so ``from_aiger(c.to_aiger())`` keeps
        an AIG-basis circuit's gates. Latches and the properties of AIGER 1.9 are refused.

        >>> c = Circuit.from_aiger("aag 3 2 0 1 1\n2\n4\n7\n6 3 5\n")   # ~(~x0 & ~x1)
        >>> c.gates, c.outputs, c.to_function() == BooleanFunction.from_expression("x0 | x1")
        (((1, 0, 1),), ((2, True),), True)
        """
        inputs, gates, outputs = circuit_readers.read_aiger(data)
        return cls(inputs, gates, outputs=outputs)

    def to_expression(self) -> str:
        """The circuit as text that ``BooleanFunction.from_expression`` reads back.

        Each gate is written with ``~``, ``&``, ``|``, ``^`` and parentheses over the variables
        ``x0``, ``x1``, ...; a node feeding several gates is written out at each use, and a text
        longer than ``MAX_EXPRESSION`` characters raises ValueError before it is built (shared
        nodes can double it with every gate: ``to_bindings`` names them instead). A constant
        circuit gives "0" or "1". Pass ``n=circuit.inputs`` to ``from_expression`` to get the
        same number of variables when the last ones do not occur. A circuit of several outputs
        has no single expression (ValueError): ``to_bindings`` and ``to_text`` write them all.

        >>> Circuit(3, ((8, 0, 1), (11, 3, 2)), 4, True).to_expression()
        '~((x0 & x1) | ~x2)'
        >>> c = BooleanFunction.majority(3).minimal_circuit()
        >>> BooleanFunction.from_expression(c.to_expression(), n=3) == BooleanFunction.majority(3)
        True
        >>> BooleanFunction.constant(2, True).minimal_circuit().to_expression()
        '1'
        """
        circuit_formats.check_size(self.inputs, self.gates)
        if len(self.outputs) != 1:
            raise ValueError(
                f"a circuit of {len(self.outputs)} outputs has no single expression; to_bindings() writes them all"
            )
        if self.output is None:
            return "1" if self.output_negated else "0"
        # A node read by several gates is written out at each use, so a chain of shared nodes
        # doubles the text per gate: its length is counted before anything is built.
        lengths = [len(f"x{v}") for v in range(self.inputs)]
        for op, a, b in self.gates:
            lengths.append(len(_OP_FORMATS[op].format(a="", b="")) + lengths[a] + lengths[b] + 4)
        if lengths[self.output] > MAX_EXPRESSION:
            raise ValueError(
                f"the expression would take about {lengths[self.output]} characters, as gates read by "
                f"several others are written out at each use (at most {MAX_EXPRESSION}); "
                "to_bindings() names them instead"
            )
        atoms = [f"x{v}" for v in range(self.inputs)]
        texts = list(atoms)
        for op, a, b in self.gates:
            texts.append(_OP_FORMATS[op].format(a=atoms[a], b=atoms[b]))
            atoms.append(f"({texts[-1]})")
        return f"~{atoms[self.output]}" if self.output_negated else texts[self.output]

    def to_bindings(self) -> str:
        """The circuit as lines ``gI = expression``, one per gate read by several others, then the output.

        Every gate feeding two or more gates (or a gate and an output, or two outputs) is named
        ``g`` and its index among the gates, and used by that name; the other gates are written
        out where they are used, as in ``to_expression``. The text grows with the gates, whatever
        their sharing. Substituting each name's expression, in parentheses, into the lines after
        it gives ``to_expression()``. With several outputs, the last lines are ``y0 = ...``,
        ``y1 = ...``, one per output.

        >>> print(Circuit(2, ((8, 0, 1), (6, 2, 0), (14, 2, 3)), 4).to_bindings())
        g0 = x0 & x1
        g0 | (g0 ^ x0)
        >>> print(Circuit(2, ((8, 0, 1), (6, 2, 0)), outputs=((3, False), (2, True))).to_bindings())
        g0 = x0 & x1
        y0 = g0 ^ x0
        y1 = ~g0
        """
        circuit_formats.check_size(self.inputs, self.gates)
        readers = [0] * (self.inputs + len(self.gates))
        for _, a, b in self.gates:
            readers[a] += 1
            readers[b] += 1
        for node, _ in self.outputs:
            if node is not None:
                readers[node] += 1
        single = len(self.outputs) == 1
        atoms = [f"x{v}" for v in range(self.inputs)]
        texts = list(atoms)
        lines = []
        for i, (op, a, b) in enumerate(self.gates):
            node = self.inputs + i
            texts.append(_OP_FORMATS[op].format(a=atoms[a], b=atoms[b]))
            if readers[node] > 1 and not (single and node == self.outputs[0][0]):
                lines.append(f"g{i} = {texts[-1]}")
                atoms.append(f"g{i}")
            else:
                atoms.append(f"({texts[-1]})")
        names = circuit_formats.output_names(len(self.outputs))
        for name, (node, negated) in zip(names, self.outputs, strict=True):
            if node is None:
                value = "1" if negated else "0"
            else:
                plain = texts[node] if atoms[node].startswith("(") else atoms[node]
                value = f"~{atoms[node]}" if negated else plain
            lines.append(value if single else f"{name} = {value}")
        return "\n".join(lines)

    def to_dot(self) -> str:
        """The circuit as a Graphviz DOT digraph.

        Inputs are boxes labelled x0, x1, ...; gates are ellipses labelled with their operator
        (AND, OR, XOR, NAND, NOR, XNOR, A AND NOT B, ...), and the edges into a gate whose
        operands are not interchangeable are labelled "a" and "b". The output is a double
        circle "out"; a complemented output has its incoming edge labelled NOT with a dot
        arrowhead. A constant circuit feeds the output from a plain "0" or "1" node. Several
        outputs are double circles y0, y1, ... (constants fed from const0, const1, ...).

        >>> print(Circuit(2, ((8, 0, 1),), 2, output_negated=True).to_dot())   # NAND
        digraph circuit {
          rankdir=LR;
          x0 [shape=box, label="x0"];
          x1 [shape=box, label="x1"];
          g0 [shape=ellipse, label="AND"];
          x0 -> g0;
          x1 -> g0;
          out [shape=doublecircle, label="out"];
          g0 -> out [label="NOT", arrowhead=odot];
        }
        """
        circuit_formats.check_size(self.inputs, self.gates)
        names = [f"x{v}" for v in range(self.inputs)] + [f"g{i}" for i in range(len(self.gates))]
        lines = ["digraph circuit {", "  rankdir=LR;"]
        lines += [f'  x{v} [shape=box, label="x{v}"];' for v in range(self.inputs)]
        for i, (op, a, b) in enumerate(self.gates):
            lines.append(f'  g{i} [shape=ellipse, label="{_OP_NAMES[op]}"];')
            symmetric = op in (1, 6, 7, 8, 9, 14)
            lines.append(f"  {names[a]} -> g{i};" if symmetric else f'  {names[a]} -> g{i} [label="a"];')
            lines.append(f"  {names[b]} -> g{i};" if symmetric else f'  {names[b]} -> g{i} [label="b"];')
        single = len(self.outputs) == 1
        for j, (node, negated) in enumerate(self.outputs):
            out, const = ("out", "const") if single else (f"y{j}", f"const{j}")
            lines.append(f'  {out} [shape=doublecircle, label="{out}"];')
            if node is None:
                lines.append(f'  {const} [shape=plaintext, label="{int(negated)}"];')
                lines.append(f"  {const} -> {out};")
            elif negated:
                lines.append(f'  {names[node]} -> {out} [label="NOT", arrowhead=odot];')
            else:
                lines.append(f"  {names[node]} -> {out};")
        lines.append("}")
        return "\n".join(lines)


def _rebuild(
    inputs: int, gates: tuple[tuple[int, int, int], ...], outputs: tuple[tuple[int | None, bool], ...]
) -> Circuit:
    """A circuit from its fields (pickling)."""
    return Circuit(inputs, gates, outputs=outputs)


# A gate's value over the words of its operands, by op.
_WORD_OPS: tuple[Any, ...] = (
    lambda a, b: np.zeros_like(a),
    lambda a, b: ~(a | b),
    lambda a, b: a & ~b,
    lambda a, b: ~b,
    lambda a, b: ~a & b,
    lambda a, b: ~a,
    lambda a, b: a ^ b,
    lambda a, b: ~(a & b),
    lambda a, b: a & b,
    lambda a, b: ~(a ^ b),
    lambda a, b: a,
    lambda a, b: a | ~b,
    lambda a, b: b,
    lambda a, b: ~a | b,
    lambda a, b: a | b,
    lambda a, b: ~np.zeros_like(a),
)

# The word of variable v < 6: bit x of the word is bit v of x.
_LOW_WORDS = tuple(sum(1 << x for x in range(64) if x >> v & 1) for v in range(6))


def evaluate(
    inputs: int, gates: Sequence[tuple[int, int, int]], outputs: Sequence[tuple[int | None, bool]]
) -> npt.NDArray[np.bool_]:
    """The outputs' tables (outputs x 2**inputs bools) of a circuit's parts, 64 inputs per word.

    A node's words are dropped after its last reader, so the memory held is that of the most
    nodes alive at once, checked before anything is allocated.
    """
    if inputs > _arguments.MAX_VARS:
        raise ValueError(
            f"a circuit of {inputs} inputs has tables too large to evaluate (at most {_arguments.MAX_VARS})"
        )
    size = 1 << inputs
    words = max(1, size >> 6)
    nodes = inputs + len(gates)
    # The last gate reading each node (len(gates) for an output: kept to the end).
    last = [-1] * nodes
    for i, (_, a, b) in enumerate(gates):
        last[a] = last[b] = i
    for node, _ in outputs:
        if node is not None:
            last[node] = len(gates)
    alive = peak = sum(last[v] >= 0 for v in range(inputs))
    for i in range(len(gates)):
        alive += last[inputs + i] >= 0
        peak = max(peak, alive)
        alive -= sum(1 for node in {gates[i][1], gates[i][2], inputs + i} if last[node] == i)
    _native.ensure_working_set(8 * words * (peak + 2) + 2 * len(outputs) * size)
    values: list[npt.NDArray[np.uint64] | None] = [None] * nodes
    index = np.arange(words, dtype=np.uint64)
    for v in range(inputs):
        if last[v] < 0:
            continue
        if v < 6:
            values[v] = np.full(words, _LOW_WORDS[v], dtype=np.uint64)
        else:
            values[v] = (np.uint64(0) - (index >> np.uint64(v - 6) & np.uint64(1))).astype(np.uint64)
    del index
    for i, (op, a, b) in enumerate(gates):
        node = inputs + i
        operand_a, operand_b = values[a], values[b]
        if last[node] >= 0:  # a gate nothing reads is skipped; its operands were kept for it all the same
            values[node] = _WORD_OPS[op](operand_a, operand_b)
        for read in (a, b):
            if last[read] == i:
                values[read] = None
    result = np.empty((len(outputs), size), dtype=np.bool_)
    for j, (node, negated) in enumerate(outputs):
        word = values[node] if node is not None else None
        if word is None:
            result[j] = negated
            continue
        bits = np.unpackbits((~word if negated else word).astype("<u8").view(np.uint8), bitorder="little")
        result[j] = bits[:size].view(np.bool_)
    result.flags.writeable = False
    return result


def _native_circuit(table: Table) -> tuple[tuple[tuple[int, int, int], ...], int | None, bool]:
    """(gates, output, negated) of a table from the database, nodes numbered for its own n variables."""
    n = _arguments.log2(len(table))
    if n > MAX_CIRCUIT_VARS:
        raise ValueError(f"minimum circuits are known for at most {MAX_CIRCUIT_VARS} variables; this function has {n}")
    gates, output, negated = _native.minimal_circuit(variables.extend(table, MAX_CIRCUIT_VARS))

    # The native circuit numbers its gates after five inputs and reads only variables f depends on.
    def node(k: int) -> int:
        return k if k < MAX_CIRCUIT_VARS else k - MAX_CIRCUIT_VARS + n

    gates = tuple((op, node(a), node(b)) for op, a, b in gates)
    return gates, None if output is None else node(output), negated


def minimal_gates(table: Table) -> int:
    """The number of gates of a smallest circuit of two-input gates computing the table (n <= 5)."""
    return len(_native_circuit(table)[0])


def minimal_circuit(table: Table) -> Circuit:
    """A smallest circuit of two-input gates computing the table, on its own n <= 5 variables."""
    gates, output, negated = _native_circuit(table)
    return Circuit(_arguments.log2(len(table)), gates, output, negated)
