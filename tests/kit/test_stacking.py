"""Stacked first circuits of several outputs, and the encoding over given input columns."""

import itertools
import subprocess
import sys
import textwrap
import time

import numpy as np
import pytest

from vexil_kit.circuits import Circuit
from vexil_kit.synthesis import constructive, encoding, search, solving, stacking

#: The normal two-input gates (0 when both operands are 0) that read both operands.
NORMAL_OPS = {"B2": (2, 4, 6, 8, 14), "AIG": (2, 4, 8, 14)}


def _random_tables(rng: np.random.Generator, m: int, d: int) -> list[np.ndarray]:
    return [rng.integers(0, 2, 1 << m).astype(bool) for _ in range(d)]


@pytest.mark.parametrize("basis", stacking.BASES)
@pytest.mark.parametrize(("m", "d", "seed"), [(3, 2, 0), (3, 3, 1), (3, 4, 2), (4, 2, 3), (4, 3, 4), (4, 4, 5)])
def test_stacked_circuit_computes_every_output(basis, m, d, seed):
    rng = np.random.default_rng(seed)
    tables = _random_tables(rng, m, d)
    tables[-1] = tables[0] ^ True  # an output equal to another's complement shares its node
    # Four inputs: a narrow beam and no improvement, to keep the test quick (the steps are the same).
    quick = {"width": 1, "improve": False} if m == 4 else {}
    found = stacking.first_circuit(m, tables, basis, answers=2, **quick)
    assert found is not None
    gates, lits = found
    circuit = Circuit(m, tuple(gates), outputs=tuple(lits))
    for got, wanted in zip(circuit.tables(), tables, strict=True):
        np.testing.assert_array_equal(got, wanted)
    if basis == "AIG":
        assert all(op in search.AND_OPS for op, _, _ in gates)
    if m == 3:
        # The SAT route alone (no first circuit) proves the least size.
        optimum = search.synthesize_tables(m, tables, basis, database=False)
        assert optimum.optimal
        assert len(gates) >= optimum.upper_bound


def _gate_value(op: int, a: int, b: int, mask: int) -> int:
    """A gate's table as a bitmask of rows, on operand bitmasks."""
    out = 0
    for bit in range(4):
        if op >> bit & 1:
            out |= (a if bit & 1 else ~a) & (b if bit & 2 else ~b)
    return out & mask


def _fewest_new_gates(columns: list[int], target: int, ops: tuple[int, ...], mask: int) -> int:
    """0, 1 or 2 new gates over the columns computing the target, by enumeration; 3 for more."""
    if target in columns:
        return 0
    singles = {_gate_value(op, a, b, mask) for op in ops for a, b in itertools.combinations(columns, 2)}
    if target in singles:
        return 1
    for first in singles - set(columns):
        if any(_gate_value(op, a, first, mask) == target for op in ops for a in columns):
            return 2
    return 3


def _bits(table: np.ndarray) -> int:
    return sum(1 << t for t, v in enumerate(table) if v)


@pytest.mark.parametrize("and_only", [False, True])
@pytest.mark.parametrize("seed", range(8))
def test_extension_over_given_columns_is_smallest(and_only, seed):
    rng = np.random.default_rng(100 + seed)
    m = 3 + seed % 2
    mask = (1 << (1 << m)) - 1
    ops = NORMAL_OPS["AIG" if and_only else "B2"]
    rows = np.arange(1 << m)
    columns = [(rows >> v & 1).astype(bool) for v in range(m)]
    for _ in range(2 + seed % 3):  # a few random normal nodes over the inputs
        a, b = rng.choice(len(columns), 2, replace=False)
        op = int(rng.choice(ops))
        columns.append(np.array([bool(op >> (2 * y + x) & 1) for x, y in zip(columns[a], columns[b], strict=True)]))
    target = rng.integers(0, 2, 1 << m).astype(bool)
    target ^= target[0]
    target[-1] = True  # not the constant
    if seed % 2:  # a target two gates away, where the random one is mostly farther
        first = _gate_value(ops[0], _bits(columns[-1]), _bits(columns[0]), mask)
        second = _gate_value(ops[-1], first, _bits(columns[1]), mask)
        target = np.array([bool(second >> t & 1) for t in range(1 << m)])
    unique = list({c.tobytes(): c for c in columns if c.any()}.values())
    fewest = _fewest_new_gates([_bits(c) for c in unique], _bits(target), ops, mask)
    # A smallest extension of j gates exists exactly when j is the fewest (the cuts assume the
    # size asked is the least, so sizes above it may be refuted).
    for j in range(1, min(fewest, 2) + 1):
        gate = encoding.Encoding(len(unique), j, [target], and_only=and_only, columns=unique)
        answer, model = solving.solve(gate.clauses + gate.ordered(), None)
        assert answer == (j == fewest), (j, fewest)
        if answer:
            gates, nodes = gate.decode(model)
            values = [_bits(c) for c in unique]
            for op, a, b in gates:
                assert op in ops
                values.append(_gate_value(op, values[a], values[b], mask))
            assert values[nodes[0]] == _bits(target)


def test_given_columns_are_checked():
    rows = np.arange(8)
    columns = [(rows >> v & 1).astype(bool) for v in range(3)]
    target = np.array([0, 1, 1, 0, 1, 0, 0, 1], dtype=bool)
    with pytest.raises(ValueError):
        encoding.Encoding(3, 1, [target], and_only=False, columns=[~columns[0], *columns[1:]])
    with pytest.raises(ValueError):
        encoding.Encoding(3, 1, [target], and_only=False, columns=columns, symmetries=[(1, 0, 2)])
    # Given as columns, the projections ask the same question as the default inputs.
    given = encoding.Encoding(3, 2, [target], and_only=False, columns=columns)
    default = encoding.Encoding(3, 2, [target], and_only=False)
    assert given.clauses == default.clauses


@pytest.mark.parametrize("basis", stacking.BASES)
def test_stacking_stops_at_its_deadline(basis):
    """A tiny time limit gives None or a correct circuit, at once (in a child process: a hang fails)."""
    code = textwrap.dedent(
        f"""
        import time
        import numpy as np
        from vexil_kit import VectorialFunction
        from vexil_kit.circuits import Circuit
        from vexil_kit.synthesis import search, stacking
        box = VectorialFunction.named("PRESENT")
        tables = [np.asarray(box.coordinate(j).table, dtype=bool) for j in range(4)]
        for seconds in (-1.0, 0.0, 0.05, 0.3):
            began = time.monotonic()
            found = stacking.first_circuit(4, tables, {basis!r}, began + seconds)
            assert time.monotonic() - began < seconds + 3.0, seconds
            if found is not None:
                got = Circuit(4, tuple(found[0]), outputs=tuple(found[1])).tables()
                assert all(np.array_equal(g, t) for g, t in zip(got, tables))
        began = time.monotonic()
        result = search.synthesize_tables(4, tables, {basis!r}, time_limit=0.2)
        assert time.monotonic() - began < 5.0
        print("done", result.upper_bound)
        """
    )
    run = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, timeout=60)
    assert run.returncode == 0, run.stderr
    assert "done" in run.stdout


def test_search_offers_the_stacked_circuit():
    """With a short limit the search of an S-box keeps a circuit smaller than the constructive one."""
    from vexil_kit import VectorialFunction

    box = VectorialFunction.named("Noekeon")
    tables = [np.asarray(box.coordinate(j).table, dtype=bool) for j in range(4)]
    constructed = constructive.first_circuit(4, [t ^ t[0] for t in tables], "B2", None)
    assert constructed is not None
    began = time.monotonic()
    found = search.synthesize_tables(4, tables, "B2", time_limit=12.0)
    assert time.monotonic() - began < 20.0
    assert found.upper_bound is not None and found.upper_bound < len(constructed[0])
