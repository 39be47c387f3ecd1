"""Sensitivity, influence, Walsh spectrum measures, certificate complexity and frontier size:
the listed edge cases, and agreement with NumPy references written from the definitions."""

import math

import numpy as np
import pytest
from conftest import Vexil, table_of
from reference import certificate_complexity as certificate
from reference import frontier_edges, parity_balanced, popcounts, sensitivities, sequential_sum, walsh

F32 = np.float32


def bits_of(v):
    return np.array(v.repr(), dtype=bool)


def negative_zero(x):
    return x == 0.0 and math.copysign(1.0, x) < 0


def positive_zero(x):
    return x == 0.0 and math.copysign(1.0, x) > 0


def random_tables():
    rng = np.random.default_rng(2024)
    cases = [("one-entry", np.array([b], dtype=bool)) for b in (False, True)]
    for n in range(1, 11):
        cases.append((f"random-{n}", rng.integers(0, 2, 2**n).astype(bool)))
        cases.append((f"sparse-{n}", rng.random(2**n) < 0.15))
    for n in (3, 6, 9):
        cases.append((f"majority-{n}", bits_of(Vexil.majority(n))))
        cases.append((f"parity-{n}", bits_of(Vexil.parity(n))))
        weight = popcounts(2**n)
        cases.append((f"threshold-{n}", weight >= n // 3))
        single = np.zeros(2**n, dtype=bool)
        single[2**n // 3] = True
        cases.append((f"one-true-{n}", single))
    return cases


CASES = random_tables()
CASE_IDS = [name for name, _ in CASES]


# ---- agreement with the references ----


@pytest.mark.parametrize("name, f", CASES, ids=CASE_IDS)
def test_sensitivity_measures_match_numpy(name, f):
    v = Vexil(f)
    s = sensitivities(f)
    assert v.max_sensitivity() == int(s.max())
    assert v.mean_sensitivity() == F32(int(s.sum())) / F32(len(f))
    assert v.frontier_size() == frontier_edges(f)
    ones = int(np.count_nonzero(f))
    assert v.max_frontier_size() == v.n_vars() * min(ones, len(f) - ones)


@pytest.mark.parametrize("name, f", CASES, ids=CASE_IDS)
def test_spectral_measures_match_numpy(name, f):
    v = Vexil(f)
    n = v.n_vars()
    w = walsh(f)
    coeff = w.astype(F32) / F32(len(f))
    square = coeff * coeff
    weight = popcounts(len(f))

    assert v.degree() == (int(weight[w != 0].max()) if np.any(w != 0) else 0)
    assert v.no_linearity() == (2 ** (n - 1) - int(np.abs(w).max()) // 2 if n else 0)
    for var in range(n + 2):
        got = v.influence(var)
        want = sequential_sum(square[(np.arange(len(f)) >> var) & 1 == 1])
        assert got == want and math.copysign(1, got) == math.copysign(1, want)
    total = v.total_influence()
    want_total = sequential_sum(weight[1:].astype(F32) * square[1:])
    assert total == want_total and math.copysign(1, total) == math.copysign(1, want_total)

    # NumPy's float32 log may differ from the C library's in the last bit.
    nonzero = square[coeff != 0]
    assert v.spectral_entropy() == pytest.approx(-float(np.sum(nonzero * np.log(nonzero))), rel=1e-5, abs=1e-6)


SMALL_CASES = [c for c in CASES if len(c[1]) <= 256]


@pytest.mark.parametrize("name, f", SMALL_CASES, ids=[name for name, _ in SMALL_CASES])
def test_certificate_complexity_matches_brute_force(name, f):
    assert Vexil(f).certificate_complexity() == certificate(f)


@pytest.mark.parametrize("seed", range(4))
def test_certificate_complexity_of_random_functions_of_ten_variables(seed):
    f = np.random.default_rng(seed).random(1024) < [0.5, 0.2, 0.05, 0.8][seed]
    assert Vexil(f).certificate_complexity() == certificate(f)


@pytest.mark.parametrize("n", [12, 16])
def test_larger_functions_match_numpy(n):
    f = np.random.default_rng(n).integers(0, 2, 2**n).astype(bool)
    v = Vexil(f)
    w = walsh(f)
    s = sensitivities(f)
    assert v.no_linearity() == 2 ** (n - 1) - int(np.abs(w).max()) // 2
    assert v.max_sensitivity() == int(s.max())
    assert v.mean_sensitivity() == F32(int(s.sum())) / F32(2**n)
    assert v.frontier_size() == frontier_edges(f)
    coeff = w.astype(F32) / F32(2**n)
    assert v.total_influence() == sequential_sum(popcounts(2**n)[1:].astype(F32) * (coeff * coeff)[1:])
    # With W(N-1) zero the degree needs the whole spectrum.
    g = parity_balanced(f)
    wg = walsh(g)
    assert wg[-1] == 0
    assert Vexil(g).degree() == int(popcounts(2**n)[wg != 0].max())


# ---- listed edge cases ----


@pytest.mark.parametrize("n", [1, 2, 5])
@pytest.mark.parametrize("value", [False, True])
def test_constant_functions(n, value):
    v = Vexil([value] * 2**n)
    assert v.max_sensitivity() == 0
    assert positive_zero(v.mean_sensitivity())
    assert all(positive_zero(v.influence(j)) for j in range(n))
    assert positive_zero(v.total_influence())
    assert negative_zero(v.spectral_entropy())
    assert (v.degree(), v.no_linearity(), v.certificate_complexity()) == (0, 0, 0)
    assert (v.frontier_size(), v.max_frontier_size()) == (0, 0)


@pytest.mark.parametrize("value", [False, True])
def test_one_entry_table(value):
    v = Vexil([value])
    assert v.max_sensitivity() == 0
    assert positive_zero(v.mean_sensitivity())
    assert negative_zero(v.total_influence())
    assert all(negative_zero(v.influence(var)) for var in (0, 1, 63, 64, 2**64 - 1))
    assert negative_zero(v.spectral_entropy())
    assert (v.degree(), v.no_linearity(), v.certificate_complexity()) == (0, 0, 0)
    assert (v.frontier_size(), v.max_frontier_size()) == (0, 0)


def test_identity():
    v = table_of("01")
    assert (v.max_sensitivity(), v.mean_sensitivity(), v.influence(0), v.total_influence()) == (1, 1.0, 1.0, 1.0)
    assert (v.certificate_complexity(), v.frontier_size(), v.max_frontier_size()) == (1, 1, 1)


@pytest.mark.parametrize("n", [1, 2, 3, 7])
def test_parity(n):
    v = Vexil.parity(n)
    assert (v.max_sensitivity(), v.mean_sensitivity(), v.total_influence()) == (n, n, n)
    assert all(v.influence(j) == 1.0 for j in range(n))
    assert negative_zero(v.spectral_entropy())
    assert (v.degree(), v.no_linearity(), v.certificate_complexity()) == (n, 0, n)
    assert v.frontier_size() == v.max_frontier_size() == n * 2 ** (n - 1)


def test_majority_of_three():
    v = Vexil.majority(3)
    assert (v.max_sensitivity(), v.mean_sensitivity(), v.total_influence()) == (2, 1.5, 1.5)
    assert [v.influence(j) for j in range(3)] == [0.5, 0.5, 0.5]
    assert v.spectral_entropy() == pytest.approx(math.log(4), rel=1e-6)
    assert (v.degree(), v.no_linearity(), v.certificate_complexity()) == (3, 2, 2)
    assert (v.frontier_size(), v.max_frontier_size()) == (6, 12)


def test_and_of_two():
    v = table_of("0001")
    assert v.spectral_entropy() == pytest.approx(math.log(4), rel=1e-6)
    assert (v.degree(), v.no_linearity(), v.certificate_complexity()) == (2, 1, 2)
    assert (v.frontier_size(), v.max_frontier_size()) == (2, 2)


@pytest.mark.parametrize("n", [1, 4, 8])
def test_one_true_entry_needs_every_variable(n):
    assert Vexil([i == 2**n - 1 for i in range(2**n)]).certificate_complexity() == n


@pytest.mark.parametrize("var", [3, 10, 63, 64, 65, 2**63, 2**64 - 1])
def test_influence_of_a_variable_the_function_lacks_is_negative_zero(var):
    assert negative_zero(Vexil.majority(3).influence(var))


@pytest.mark.parametrize(
    "arg, error", [(-1, OverflowError), (2**64, OverflowError), ("0", TypeError), (1.0, TypeError)]
)
def test_influence_argument_conversion(arg, error):
    with pytest.raises(error):
        Vexil.majority(3).influence(arg)


def test_influence_by_keyword_and_missing_argument():
    v = Vexil.majority(3)
    assert v.influence(var=1) == 0.5
    with pytest.raises(TypeError):
        v.influence()


def test_frontier_size_is_kept_per_object():
    f = np.random.default_rng(5).integers(0, 2, 2**12).astype(bool)
    v = Vexil(f)
    first = v.frontier_size()
    assert first == frontier_edges(f)
    assert v.frontier_size() == first
    other = Vexil(~f)
    assert other.frontier_size() == frontier_edges(~f)
    assert v.frontier_size() == first


def test_results_are_plain_python_numbers():
    v = Vexil.majority(5)
    for method in (
        "max_sensitivity",
        "degree",
        "no_linearity",
        "certificate_complexity",
        "frontier_size",
        "max_frontier_size",
    ):
        assert type(getattr(v, method)()) is int
    for method in ("mean_sensitivity", "spectral_entropy", "total_influence"):
        assert type(getattr(v, method)()) is float
    assert type(v.influence(0)) is float


@pytest.mark.parametrize(
    "build, method",
    [(lambda: Vexil.majority(22), "certificate_complexity"), (lambda: Vexil.majority(26), "spectral_entropy")],
    ids=["certificate_complexity", "spectral_entropy"],
)
def test_long_computations_stop_on_a_signal(build, method):
    signal = pytest.importorskip("signal")
    if not hasattr(signal, "setitimer"):
        pytest.skip("no interval timer on this platform")
    v = build()
    previous = signal.signal(signal.SIGALRM, signal.default_int_handler)
    try:
        signal.setitimer(signal.ITIMER_REAL, 0.01)
        with pytest.raises(KeyboardInterrupt):
            getattr(v, method)()
    finally:
        signal.setitimer(signal.ITIMER_REAL, 0)
        signal.signal(signal.SIGALRM, previous)
    # The object still answers: majority of an even n is sensitive to n/2 + 1 variables at most.
    assert v.max_sensitivity() == v.n_vars() // 2 + 1
