"""The Vexil measures on vexil_kit.BooleanFunction: Vexil's values and checked arguments."""

import math

import numpy as np
import pytest
from hypothesis import given, settings
from kit_strategies import functions

from vexil_kit import BooleanFunction as BF
from vexil_kit import EntanglementSet, EntropySets

PLAIN = [
    "entanglement",
    "entropy",
    "fragmentation_spectrum",
    "restriction_signature",
    "fragmentation_profile",
    "fragmentation_peak",
    "fragmentation_delta",
    "fragmentation_delta2",
    "equanimity_importance",
    "max_sensitivity",
    "mean_sensitivity",
    "degree",
    "no_linearity",
    "certificate_complexity",
    "frontier_size",
    "max_frontier_size",
]


def same(a, b):
    """Equal as Vexil defines its values: floats bit for bit (-0.0 is not 0.0), nan equal to nan."""
    if isinstance(a, (list, tuple)):
        return type(a) is type(b) and len(a) == len(b) and all(same(x, y) for x, y in zip(a, b, strict=True))
    if isinstance(a, float):
        return isinstance(b, float) and (
            math.isnan(a) and math.isnan(b) or math.copysign(1, a) == math.copysign(1, b) and a == b
        )
    return type(a) is type(b) and a == b


@settings(max_examples=60, deadline=None)
@given(functions(0, 9))
def test_plain_measures_equal_vexil(f):
    v = f.to_vexil()
    for name in PLAIN:
        assert same(getattr(f, name)(), getattr(v, name)()), name


@pytest.mark.parametrize("n", [10, 13])
def test_pooled_measures_equal_vexil(n):
    # From ten variables the cut walks run on the pool.
    f = BF.random(n, seed=n)
    v = f.to_vexil()
    for name in ["entanglement", "entropy", "fragmentation_spectrum", "certificate_complexity"]:
        assert same(getattr(f, name)(), getattr(v, name)()), name
    assert same(f.fragmentation_k(n // 3), v.fragmentation_k(n // 3))


@settings(max_examples=40, deadline=None)
@given(functions(0, 8))
def test_cut_records_equal_vexil(f):
    v = f.to_vexil()
    ours = f.entanglement_sets()
    theirs = v.entanglement_sets()
    assert [tuple(r) for r in ours] == [(tuple(r.set1), tuple(r.set2), r.entanglement) for r in theirs]
    assert all(isinstance(r, EntanglementSet) for r in ours)
    assert min(r.entanglement for r in ours) == f.entanglement()
    records = f.entropy_sets()
    assert all(isinstance(r, EntropySets) for r in records)
    assert same([r.entropy for r in records], [r.entropy for r in v.entropy_sets()])
    assert [r[:2] for r in records] == [r[:2] for r in ours]


@settings(max_examples=40, deadline=None)
@given(functions(1, 7))
def test_measures_over_chosen_variables_equal_vexil(f):
    v = f.to_vexil()
    for vars in ([], [0], list(range(f.n)), list(range(f.n))[::-2]):
        assert f.information(vars) == v.information(vars)
        assert same(f.fragmentation_coefficient(vars), v.fragmentation_coefficient(vars))
    for k in range(f.n + 2):
        assert same(f.fragmentation_k(k), v.fragmentation_k(k))


@pytest.mark.parametrize(
    "call, error",
    [
        (lambda f: f.information([0, 0]), ValueError),
        (lambda f: f.information([3]), ValueError),
        (lambda f: f.fragmentation_coefficient([-1]), ValueError),
        (lambda f: f.fragmentation_coefficient(["0"]), TypeError),
        (lambda f: f.fragmentation_k(-1), ValueError),
        (lambda f: f.fragmentation_k(1.0), TypeError),
        (lambda f: f.entropy(progress=3), TypeError),
    ],
)
def test_bad_arguments_are_refused(call, error):
    with pytest.raises(error):
        call(BF.majority(3))


def test_npn_representant_equals_vexil_and_is_a_class_invariant():
    rng = np.random.default_rng(5)
    for _ in range(20):
        f = BF(rng.integers(0, 2, 32))
        r = f.npn_representant()
        assert list(r) == f.to_vexil().npn_representant().repr()
        # Negating an input and the output stays in the class.
        g = ~BF(f.table.reshape(2, 16)[:, ::-1].ravel())
        assert g.npn_representant() == r
    assert BF.majority(4).npn_representant() is None


def test_max_frontier_size_is_exact():
    assert BF.xor(6).max_frontier_size() == 6 * 32 == BF.xor(6).to_vexil().max_frontier_size()
    assert BF.constant(3, True).max_frontier_size() == 0
