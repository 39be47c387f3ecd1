"""The Vexil measures on vexil_kit.BooleanFunction: Vexil's values, checked arguments, progress
reports, the interpreter lock released and Ctrl-C answered."""

import math
import subprocess
import sys
import threading
import time

import numpy as np
import pytest
import vexil
from hypothesis import given, settings

from conftest import interrupt_child
from kit_strategies import functions
from vexil_kit import BooleanFunction as BF
from vexil_kit import EntanglementSet, EntropySets

PLAIN = [
    "entanglement", "entropy", "fragmentation_spectrum", "restriction_signature", "fragmentation_profile",
    "fragmentation_peak", "fragmentation_delta", "fragmentation_delta2", "equanimity_importance",
    "max_sensitivity", "mean_sensitivity", "degree", "no_linearity", "certificate_complexity",
    "frontier_size", "max_frontier_size",
]


def same(a, b):
    """Equal as Vexil defines its values: floats bit for bit (-0.0 is not 0.0), nan equal to nan."""
    if isinstance(a, (list, tuple)):
        return type(a) is type(b) and len(a) == len(b) and all(same(x, y) for x, y in zip(a, b))
    if isinstance(a, float):
        return isinstance(b, float) and (math.isnan(a) and math.isnan(b) or math.copysign(1, a) == math.copysign(1, b) and a == b)
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


# -- progress ---------------------------------------------------------------------------------------


def test_progress_reports_grow_to_the_planned_total():
    f = BF.random(17, seed=1)
    reports = []
    spectrum = f.fragmentation_spectrum(progress=lambda done, total: reports.append((done, total)))
    assert same(spectrum, f.to_vexil().fragmentation_spectrum())
    assert len(reports) > 1, "a computation of a second or more reports while it runs"
    subsets = sum(math.comb(17, k) for k in range(9))
    assert all(total == subsets for _, total in reports)
    dones = [done for done, _ in reports]
    assert dones == sorted(dones) and reports[-1] == (subsets, subsets)


def test_an_error_in_the_progress_callable_stops_the_computation():
    f = BF.random(17, seed=2)
    calls = []

    def failing(done, total):
        calls.append(done)
        raise LookupError("stop here")

    with pytest.raises(LookupError, match="stop here"):
        f.fragmentation_spectrum(progress=failing)
    assert len(calls) == 1
    assert f.entanglement() == f.to_vexil().entanglement()


def test_progress_bar_ends_full(capsys):
    f = BF.random(16, seed=3)
    f.entropy(progress=True)
    bar = capsys.readouterr().err
    assert "entropy: 100%" in bar and "6.43k/6.43k" in bar, bar  # C(15, 7) = 6435 cuts


def test_other_threads_run_while_a_measure_computes():
    f = BF.random(18, seed=4)
    start = time.perf_counter()
    expected = f.entanglement()
    one_call = time.perf_counter() - start
    done = threading.Event()
    results = []

    def compute():
        results.append(f.entanglement(progress=lambda done, total: None))
        done.set()

    worker = threading.Thread(target=compute)
    ticks = [time.perf_counter()]
    worker.start()
    while not done.is_set():
        sum(range(200))
        ticks.append(time.perf_counter())
    worker.join()
    assert results == [expected]
    assert max(b - a for a, b in zip(ticks, ticks[1:])) < max(0.5 * one_call, 0.05)


CTRL_C_CHILD = """
import time
from vexil_kit import BooleanFunction
f = BooleanFunction.random(21, seed=0)
print("computing", flush=True)
try:
    f.fragmentation_spectrum(progress=lambda done, total: None)
except KeyboardInterrupt:
    print("interrupted", time.monotonic(), flush=True)
    print(BooleanFunction.majority(3).entropy(), flush=True)
else:
    print("finished", flush=True)
"""


def test_ctrl_c_stops_a_measure_within_a_second():
    child = subprocess.Popen([sys.executable, "-c", CTRL_C_CHILD], stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    assert child.stdout.readline() == b"computing\n"
    sent, out, err = interrupt_child(child, 1.0)
    lines = out.decode().splitlines()
    assert lines and lines[0].split()[0] == "interrupted", (out, err)
    assert float(lines[0].split()[1]) - sent < 1.0
    assert lines[1] == "2.5"
