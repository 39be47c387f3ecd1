"""Synthesis under a depth bound against every circuit of up to four gates, enumerated here."""

import itertools

import numpy as np
import pytest

from vexil_kit import BooleanFunction
from vexil_kit.synthesis.depth_bounded import NoCircuitWithinDepth

N = 3
FULL = (1 << (1 << N)) - 1
# Normal two-input gates as Circuit ops (bit 2 * B + A set when the gate is 1 on operands A, B).
OPS = {"B2": (8, 2, 4, 6, 14), "AIG": (8, 2, 4, 14)}


def apply(op, a, b, full=FULL):
    out = 0
    for bit in range(4):
        if op >> bit & 1:
            out |= (a if bit & 1 else ~a) & (b if bit & 2 else ~b) & full
    return out


def least_sizes(ops, most):
    """{(table up to complement, depth bound): least gates} over all circuits of at most ``most`` gates
    whose last gate is the output."""
    best = {}

    def grow(tables, levels):
        if len(tables) - N == most:
            return
        for (a, b), op in itertools.product(itertools.combinations(range(len(tables)), 2), ops):
            table, level = apply(op, tables[a], tables[b]), max(levels[a], levels[b]) + 1
            size = len(tables) - N + 1
            for depth in range(level, most + 1):
                for t in (table, table ^ FULL):
                    best[t, depth] = min(best.get((t, depth), size), size)
            grow([*tables, table], [*levels, level])

    inputs = [sum(1 << x for x in range(1 << N) if x >> v & 1) for v in range(N)]
    grow(inputs, [0] * N)
    return best


def function(bits):
    return BooleanFunction(np.array([bits >> x & 1 for x in range(1 << N)], dtype=bool))


@pytest.mark.parametrize("basis", sorted(OPS))
def test_the_least_size_within_each_depth_matches_the_enumeration(basis):
    best = least_sizes(OPS[basis], 4)
    for bits in range(0, 256, 3):  # a third of the functions of three variables, both halves of each class
        f = function(bits)
        if len(f.essential_variables()) < 2:
            continue
        for depth in (1, 2, 3, 4):
            expected = best.get((bits, depth))
            try:
                found = f.synthesize(basis, max_depth=depth, max_gates=4)
            except NoCircuitWithinDepth:
                assert expected is None, (bits, depth)
                continue
            assert found.upper_bound == expected, (bits, depth)
            if expected is None:
                assert found.circuit is None and found.lower_bound == 5
            else:
                assert found.optimal and found.circuit.depth <= depth
                assert found.circuit.to_function() == f


@pytest.mark.parametrize(
    "f", [BooleanFunction.majority(3), BooleanFunction.from_hex("0x6996"), BooleanFunction.from_hex("0xca")]
)
def test_a_depth_bound_that_binds_nothing_gives_the_unbounded_optimum(f):
    free = f.synthesize("B2")
    bounded = f.synthesize("B2", max_depth=free.upper_bound)
    assert bounded.optimal and bounded.upper_bound == free.upper_bound


def test_a_depth_too_small_for_the_variables_is_refused_at_once():
    with pytest.raises(NoCircuitWithinDepth, match="reads all 5"):
        BooleanFunction.majority(5).synthesize("AIG", max_depth=2)


@pytest.mark.parametrize(
    "kwargs", [{"basis": "MC", "max_depth": 3}, {"basis": "B2", "max_depth": -1}, {"basis": "B2", "max_depth": 2.0}]
)
def test_arguments(kwargs):
    with pytest.raises(ValueError):
        BooleanFunction.majority(3).synthesize(**kwargs)


def least_pair_sizes(n, ops, most):
    """{(table, table, depth bound): least gates} of two outputs (each up to complement, a node, an
    input or a constant) over all circuits of at most ``most`` normal gates on n inputs."""
    full = (1 << (1 << n)) - 1
    best = {}
    seen = set()

    def note(tables, levels):
        size = len(tables) - n
        nodes = [(0, 0), *zip(tables, levels, strict=True)]  # an output may also be a constant
        for (s, ls), (t, lt) in itertools.combinations_with_replacement(nodes, 2):
            s, t = s ^ full * (s & 1), t ^ full * (t & 1)  # up to complement: 0 on row 0
            for key in ((s, t, max(ls, lt)), (t, s, max(ls, lt))):
                best[key] = min(best.get(key, size), size)

    def grow(tables, levels):
        if frozenset(zip(tables, levels, strict=True)) in seen:  # the same nodes made in another order
            return
        seen.add(frozenset(zip(tables, levels, strict=True)))
        note(tables, levels)
        if len(tables) - n == most:
            return
        for (a, b), op in itertools.product(itertools.combinations(range(len(tables)), 2), ops):
            grow([*tables, apply(op, tables[a], tables[b], full)], [*levels, max(levels[a], levels[b]) + 1])

    inputs = [sum(1 << x for x in range(1 << n) if x >> v & 1) for v in range(n)]
    grow(inputs, [0] * n)
    least = {}  # within a depth bound: the least over the depths up to it
    for (s, t, level), size in best.items():
        for depth in range(level, most + 1):
            least[s, t, depth] = min(least.get((s, t, depth), size), size)
    return least


@pytest.mark.parametrize("n, most, step", [(2, 4, 1), (3, 3, 37)], ids=["two inputs, all pairs", "three, a sample"])
@pytest.mark.parametrize("basis", sorted(OPS))
def test_two_outputs_within_each_depth_match_the_enumeration(basis, n, most, step):
    from vexil_kit.synthesis import synthesize_tables

    best = least_pair_sizes(n, OPS[basis], most)
    full = (1 << (1 << n)) - 1
    pairs = list(itertools.combinations(range(1 << (1 << n)), 2))[::step]
    for f, g in pairs:
        tables = [np.array([t >> x & 1 for x in range(1 << n)], dtype=bool) for t in (f, g)]
        for depth in range(1, most + 1):
            expected = best.get((f ^ full * (f & 1), g ^ full * (g & 1), depth))
            try:
                found = synthesize_tables(n, tables, basis, max_depth=depth, max_gates=most)
            except NoCircuitWithinDepth:
                assert expected is None, (f, g, depth)
                continue
            assert found.upper_bound == expected, (f, g, depth)
            if expected is not None:
                assert found.optimal and found.circuit.depth <= depth
                assert all(np.array_equal(c, t) for c, t in zip(found.circuit.tables(), tables, strict=True))
