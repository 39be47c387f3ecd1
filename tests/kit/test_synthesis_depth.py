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


def apply(op, a, b):
    out = 0
    for bit in range(4):
        if op >> bit & 1:
            out |= (a if bit & 1 else ~a) & (b if bit & 2 else ~b) & FULL
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
