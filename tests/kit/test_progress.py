"""Progress of long computations: the reports grow to one planned total, a failing callable stops the
computation without harming the object, and progress=True draws a bar that ends full."""

import math

import numpy as np
import pytest
import reference
from conftest import needs_pandas

from vexil_kit import BooleanFunction as BF
from vexil_kit import _native


def sweep_of(progress):
    from vexil_kit.sweep import random_functions, sweep

    return sweep(random_functions(6, 1000, seed=1), ["entropy", ("w", BF.weight)], progress=progress, batch_size=300)


F17, F20, F13, F12 = BF.random(17, seed=1), BF.random(20, seed=5), BF.random(13, seed=1), BF.random(12, seed=3)
TRIBES = BF.tribes(3, 4)
BENT20 = BF.maiorana_mcfarland(range(1 << 10), BF.random(10, seed=2))
OR_OF_SPREAD = BF(reference.or_of_copies(BF.from_hex("0x1bd8", n=4), 3))  # s < bs: the packing search runs

# The call given a progress argument, its planned total where known, the least number of reports.
CASES = [
    pytest.param(
        lambda p: F17.fragmentation_spectrum(progress=p),
        sum(math.comb(17, k) for k in range(9)),
        2,
        id="fragmentation_spectrum",
    ),
    pytest.param(lambda p: F20.absolute_indicator(progress=p), None, 1, id="absolute_indicator"),
    pytest.param(lambda p: TRIBES.decision_tree_depth(progress=p), None, 1, id="decision_tree_depth"),
    pytest.param(lambda p: OR_OF_SPREAD.block_sensitivity(progress=p), None, 1, id="block_sensitivity"),
    pytest.param(lambda p: F13.algebraic_immunity(progress=p), None, 1, id="algebraic_immunity"),
    # The cuts of the range only: 350 - 100.
    pytest.param(
        lambda p: _native.cut_entropies_range(F12.table, 100, 350, progress=p), 250, 1, id="cut_entropies_range"
    ),
    pytest.param(sweep_of, 1000, 1, id="sweep", marks=needs_pandas),
    # A bent function: neither the weight nor a pass settles these, the transforms run.
    pytest.param(lambda p: BENT20.plateaued_amplitude(progress=p), None, 1, id="plateaued_amplitude"),
    pytest.param(lambda p: BENT20.propagation_criterion(progress=p), None, 1, id="propagation_criterion"),
]


def same(a, b):
    return a.equals(b) if hasattr(a, "equals") else np.array_equal(np.asarray(a), np.asarray(b))


@pytest.mark.parametrize("call, total, least", CASES)
def test_reports_grow_to_the_planned_total(call, total, least):
    reports = []
    value = call(lambda done, planned: reports.append((done, planned)))
    assert same(value, call(None))
    assert len(reports) >= least, reports
    dones = [done for done, _ in reports]
    assert dones == sorted(dones) and len({planned for _, planned in reports}) == 1, reports
    assert reports[-1][0] == reports[-1][1] > 0
    assert total is None or reports[-1][1] == total


@pytest.mark.parametrize("call, total, least", CASES)
def test_a_failing_callable_stops_the_computation(call, total, least):
    calls = []

    def failing(done, planned):
        calls.append(done)
        raise LookupError("stop here")

    with pytest.raises(LookupError, match="stop here"):
        call(failing)
    assert len(calls) == 1
    reports = []
    assert same(call(lambda done, planned: reports.append(done)), call(None))  # the objects still compute
    assert reports


@pytest.mark.parametrize(
    "call, shown",
    [
        (lambda: BF.random(16, seed=3).entropy(progress=True), ["entropy: 100%", "6.43k/6.43k"]),  # C(15, 7) cuts
        (lambda: BF.random(18, seed=6).spectral_weights(progress=True), ["spectral_weights: 100%"]),
    ],
)
def test_a_bar_ends_full(capsys, call, shown):
    call()
    bar = capsys.readouterr().err
    assert all(text in bar for text in shown), bar
