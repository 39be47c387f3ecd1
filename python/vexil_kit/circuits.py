"""Minimum circuits of two-input gates for functions of at most five variables.

A circuit here has the variables as free inputs and gates that each compute any of the 16
functions of two earlier nodes; a node may feed any number of gates, and the output may be
taken complemented at no cost. The minimum gate counts are those of ``vexil.Vexil.minimal_gates``:
both read one circuit per NPN class from the vexil core's database of all five-variable
functions, carried over to the function asked for. A function of n < 5 variables is looked
up as its extension to five (``f.extend(5)``); its circuit never reads the added variables,
since a gate reading one would fold away with that variable fixed at 0, and so it is returned
on f's own n variables with the same count.
"""

from __future__ import annotations

import dataclasses
from typing import TYPE_CHECKING, Any

import numpy as np

from . import _arguments, _native, variables
from ._arguments import Table

if TYPE_CHECKING:
    from .function import BooleanFunction

#: The most variables the gate database covers.
MAX_CIRCUIT_VARS = 5

#: The longest text ``Circuit.to_expression`` builds (characters).
MAX_EXPRESSION = 1 << 24

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
_OP_FORMATS = (
    "0",
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
    "1",
)


def _index(value: Any, what: str) -> int:
    if isinstance(value, (bool, np.bool_)) or not isinstance(value, (int, np.integer)):
        raise TypeError(f"{what} must be an int, not {type(value).__name__}")
    return int(value)


@dataclasses.dataclass(frozen=True, slots=True)
class Circuit:
    """A circuit of two-input gates over ``inputs`` variables, as returned by ``minimal_circuit``.

    Nodes are numbered in order: 0 .. inputs - 1 are the variables x0 .. x(inputs-1), and node
    inputs + i is ``gates[i]``. Each gate is a triple ``(op, a, b)`` of the operand nodes a and b,
    both earlier than the gate itself, and op, the gate's 4-bit truth table: bit (2 * B + A) of
    op is the gate's value when node a has value A and node b value B. So op is the table of
    ``BooleanFunction.from_int(op, 2)`` with x0 = A and x1 = B: 8 is AND, 14 OR, 6 XOR, 7 NAND,
    1 NOR, 9 XNOR, 2 A AND NOT B, 4 NOT A AND B, 11 A OR NOT B, 13 NOT A OR B (the remaining six
    ignore an operand and never occur in a minimum circuit).

    The circuit computes node ``output``, complemented when ``output_negated`` is true. A
    constant function has no gates and ``output`` None: the output is then the constant 0,
    complemented for the constant 1, so ``output_negated`` is the function's value. A variable
    or its complement has no gates either, and ``output`` is that input node.

    ``len(circuit)`` is the number of gates. The fields are checked on construction (TypeError
    or ValueError) and the value is immutable, hashable and compares by its fields.

    >>> c = BooleanFunction.majority(3).minimal_circuit()
    >>> c.inputs, len(c), c.output
    (3, 4, 6)
    >>> c.to_function() == BooleanFunction.majority(3)
    True
    """

    inputs: int
    gates: tuple[tuple[int, int, int], ...]
    output: int | None
    output_negated: bool = False

    def __post_init__(self) -> None:
        inputs = _arguments.num_vars(_index(self.inputs, "inputs"), "inputs")
        gates = []
        for i, gate in enumerate(self.gates):
            try:
                op, a, b = gate
            except (TypeError, ValueError):
                raise ValueError(f"gate {i} must be a triple (op, a, b), not {gate!r}") from None
            op, a, b = _index(op, f"gate {i}'s op"), _index(a, f"gate {i}'s a"), _index(b, f"gate {i}'s b")
            if not 0 <= op <= 15:
                raise ValueError(f"gate {i}'s op {op} is not a 4-bit table")
            for operand in (a, b):
                if not 0 <= operand < inputs + i:
                    raise ValueError(f"gate {i} (node {inputs + i}) reads node {operand}, not an earlier node")
            gates.append((op, a, b))
        output = self.output
        if output is not None:
            output = _index(output, "output")
            if not 0 <= output < inputs + len(gates):
                raise ValueError(f"output {output} is not a node (there are {inputs + len(gates)})")
        if not isinstance(self.output_negated, (bool, np.bool_)):
            raise TypeError(f"output_negated must be a bool, not {type(self.output_negated).__name__}")
        object.__setattr__(self, "inputs", inputs)
        object.__setattr__(self, "gates", tuple(gates))
        object.__setattr__(self, "output", output)
        object.__setattr__(self, "output_negated", bool(self.output_negated))

    def __len__(self) -> int:
        return len(self.gates)

    def to_function(self) -> BooleanFunction:
        """The function the circuit computes, a ``BooleanFunction`` of ``inputs`` variables.

        Every node is evaluated over the whole truth table at once with NumPy.

        >>> c = BooleanFunction.xor(3).minimal_circuit()
        >>> c.to_function() == BooleanFunction.xor(3)
        True
        >>> Circuit(2, ((8, 0, 1),), 2, True).to_function().to_hex()   # NAND
        '0x7'
        """
        # Imported here: the function type imports this module for minimal_circuit.
        from .function import BooleanFunction

        return BooleanFunction(self._table())

    def _table(self) -> Table:
        """The truth table the circuit computes, every node evaluated over all inputs at once."""
        xs = np.arange(1 << self.inputs, dtype=np.int64)
        values = [(xs >> v & 1).astype(np.uint8) for v in range(self.inputs)]
        for op, a, b in self.gates:
            rows = np.array([op >> k & 1 for k in range(4)], dtype=np.uint8)
            values.append(rows[values[a] | values[b] << 1])
        if self.output is None:
            table = np.zeros(xs.shape, dtype=np.bool_)
        else:
            table = values[self.output].astype(np.bool_)
        return table ^ self.output_negated

    def to_expression(self) -> str:
        """The circuit as text that ``BooleanFunction.from_expression`` reads back.

        Each gate is written with ``~``, ``&``, ``|``, ``^`` and parentheses over the variables
        ``x0``, ``x1``, ...; a node feeding several gates is written out at each use, and a text
        longer than ``MAX_EXPRESSION`` characters raises ValueError before it is built (shared
        nodes can double it with every gate: ``to_bindings`` names them instead). A constant
        circuit gives "0" or "1". Pass ``n=circuit.inputs`` to ``from_expression`` to get the
        same number of variables when the last ones do not occur.

        >>> Circuit(3, ((8, 0, 1), (11, 3, 2)), 4, True).to_expression()
        '~((x0 & x1) | ~x2)'
        >>> c = BooleanFunction.majority(3).minimal_circuit()
        >>> BooleanFunction.from_expression(c.to_expression(), n=3) == BooleanFunction.majority(3)
        True
        >>> BooleanFunction.constant(2, True).minimal_circuit().to_expression()
        '1'
        """
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

        Every gate feeding two or more gates (or a gate and the output) is named ``g`` and its
        index among the gates, and used by that name; the other gates are written out where they
        are used, as in ``to_expression``. The text grows with the gates, whatever their sharing.
        Substituting each name's expression, in parentheses, into the lines after it gives
        ``to_expression()``.

        >>> print(Circuit(2, ((8, 0, 1), (6, 2, 0), (14, 2, 3)), 4).to_bindings())
        g0 = x0 & x1
        g0 | (g0 ^ x0)
        """
        if self.output is None:
            return "1" if self.output_negated else "0"
        readers = [0] * (self.inputs + len(self.gates))
        for _, a, b in self.gates:
            readers[a] += 1
            readers[b] += 1
        readers[self.output] += 1
        atoms = [f"x{v}" for v in range(self.inputs)]
        texts = list(atoms)
        lines = []
        for i, (op, a, b) in enumerate(self.gates):
            node = self.inputs + i
            texts.append(_OP_FORMATS[op].format(a=atoms[a], b=atoms[b]))
            if readers[node] > 1 and node != self.output:
                lines.append(f"g{i} = {texts[-1]}")
                atoms.append(f"g{i}")
            else:
                atoms.append(f"({texts[-1]})")
        lines.append(f"~{atoms[self.output]}" if self.output_negated else texts[self.output])
        return "\n".join(lines)

    def to_dot(self) -> str:
        """The circuit as a Graphviz DOT digraph.

        Inputs are boxes labelled x0, x1, ...; gates are ellipses labelled with their operator
        (AND, OR, XOR, NAND, NOR, XNOR, A AND NOT B, ...), and the edges into a gate whose
        operands are not interchangeable are labelled "a" and "b". The output is a double
        circle "out"; a complemented output has its incoming edge labelled NOT with a dot
        arrowhead. A constant circuit feeds the output from a plain "0" or "1" node.

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
        names = [f"x{v}" for v in range(self.inputs)] + [f"g{i}" for i in range(len(self.gates))]
        lines = ["digraph circuit {", "  rankdir=LR;"]
        lines += [f'  x{v} [shape=box, label="x{v}"];' for v in range(self.inputs)]
        for i, (op, a, b) in enumerate(self.gates):
            lines.append(f'  g{i} [shape=ellipse, label="{_OP_NAMES[op]}"];')
            symmetric = op in (1, 6, 7, 8, 9, 14)
            lines.append(f"  {names[a]} -> g{i};" if symmetric else f'  {names[a]} -> g{i} [label="a"];')
            lines.append(f"  {names[b]} -> g{i};" if symmetric else f'  {names[b]} -> g{i} [label="b"];')
        lines.append('  out [shape=doublecircle, label="out"];')
        if self.output is None:
            lines.append(f'  const [shape=plaintext, label="{int(self.output_negated)}"];')
            lines.append("  const -> out;")
        elif self.output_negated:
            lines.append(f'  {names[self.output]} -> out [label="NOT", arrowhead=odot];')
        else:
            lines.append(f"  {names[self.output]} -> out;")
        lines.append("}")
        return "\n".join(lines)


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
