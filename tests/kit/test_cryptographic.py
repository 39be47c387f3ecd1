"""Measures of cryptography on vexil_kit.BooleanFunction against their definitions, known values and relations."""

import itertools
import math
from fractions import Fraction

import numpy as np
import pytest
import reference
from hypothesis import given, settings
from kit_strategies import functions

from vexil_kit import BooleanFunction as BF
from vexil_kit import _native

SMALL = [BF([bool(b) for b in bits]) for n in range(4) for bits in itertools.product([0, 1], repeat=1 << n)]
RANDOM = [BF.random(n, seed=100 + n) for n in range(4, 11)]
RANDOM += [BF.random(n, seed=n, balanced=True) for n in range(4, 11)]
# Tables above 2**14 entries take the split transform on the worker pool.
LARGE = [BF.random(n, seed=n) for n in (15, 16, 18)] + [BF.random(17, seed=7, balanced=True)]


def resilient(n, order, seed):
    return BF(reference.resilient(BF.random(n - order - 1, seed=seed).table, n, order))


# -- every measure against its definition ---------------------------------------------------------


@pytest.mark.parametrize("f", SMALL + RANDOM, ids=repr)
def test_spectral_measures_match_the_definitions(f):
    w = reference.walsh_by_definition(f)
    nonzero = [k for k, s in enumerate(reference.spectral_weights(f)) if s]
    assert f.fourier_degree() == max(nonzero)
    assert f.nonlinearity() == reference.nonlinearity(f)
    assert f.is_bent() == (f.n % 2 == 0 and bool(np.all(np.abs(w) == 1 << (f.n // 2))))
    ci = reference.correlation_immunity(f)
    assert f.correlation_immunity() == ci
    assert f.resiliency_order() == (ci if 2 * f.weight() == len(f) else -1)


@pytest.mark.parametrize("f", SMALL + RANDOM, ids=repr)
def test_autocorrelation_measures_match_the_definitions(f):
    r = reference.autocorrelation(f)
    got = f.autocorrelation()
    assert got.dtype == np.int64 and not got.flags.writeable
    assert got.tolist() == r.tolist()
    assert f.absolute_indicator() == (int(np.abs(r[1:]).max()) if f.n else 0)
    assert f.sum_of_squares_indicator() == sum(int(v) ** 2 for v in r.tolist())
    assert f.linear_structures() == reference.linear_structures(f)


@pytest.mark.parametrize("f", SMALL + RANDOM, ids=repr)
def test_weights_by_level_and_noise_stability_match_the_definitions(f):
    sums = reference.spectral_weights(f)
    assert _native.walsh_weight_sums(f.table) == sums
    weights = f.spectral_weights()
    assert weights.dtype == np.float64 and weights.shape == (f.n + 1,)
    assert weights.tolist() == [float(Fraction(s, 4**f.n)) for s in sums]
    for rho in (-1.0, -0.3, 0.0, 0.5, 0.9, 1.0):
        assert f.noise_stability(rho) == reference.noise_stability(f, rho)


@settings(max_examples=40, deadline=None)
@given(functions(max_n=7))
def test_arbitrary_tables_match_the_definitions(f):
    r = reference.autocorrelation(f)
    assert f.autocorrelation().tolist() == r.tolist()
    assert f.nonlinearity() == reference.nonlinearity(f)
    assert f.correlation_immunity() == reference.correlation_immunity(f)
    assert f.linear_structures() == reference.linear_structures(f)
    assert f.noise_stability(0.25) == reference.noise_stability(f, 0.25)


@pytest.mark.parametrize("f", LARGE + [resilient(16, 2, 1), resilient(15, 4, 2)], ids=repr)
def test_large_tables_match_numpy_transforms(f):
    w = f.walsh_spectrum(dtype=np.int64)  # squared below
    level = reference.popcounts(len(f))
    sums = [int(np.sum(w[level == k] ** 2)) for k in range(f.n + 1)]
    assert _native.walsh_weight_sums(f.table) == sums
    assert f.nonlinearity() == (len(f) - int(np.abs(w).max())) // 2
    assert f.fourier_degree() == max(k for k, s in enumerate(sums) if s)
    ci = next((k - 1 for k in range(1, f.n + 1) if sums[k]), f.n)
    assert f.correlation_immunity() == ci
    assert f.resiliency_order() == (ci if w[0] == 0 else -1)
    r = reference.walsh_transform(w * w) // len(f)
    assert f.autocorrelation().tolist() == r.tolist()
    assert f.absolute_indicator() == int(np.abs(r[1:]).max())
    assert f.sum_of_squares_indicator() == sum(int(v) ** 2 for v in r.tolist())
    assert f.linear_structures() == np.flatnonzero(np.abs(r) == len(f))[1:].tolist()


# -- known values ---------------------------------------------------------------------------------


@pytest.mark.parametrize("n", [2, 4, 6, 8, 10, 12, 16])
def test_inner_product_is_bent(n):
    f = BF.inner_product(n)
    assert f.is_bent()
    assert f.nonlinearity() == 2 ** (n - 1) - 2 ** (n // 2 - 1)
    assert f.absolute_indicator() == 0 and f.linear_structures() == []
    assert f.sum_of_squares_indicator() == 4**n
    # Bent functions are never balanced, and their spectrum is flat.
    assert f.resiliency_order() == -1 and f.correlation_immunity() == 0
    assert f.spectral_weights().tolist() == [math.comb(n, k) / 2**n for k in range(n + 1)]


# The last two have the weight of a bent function of four variables.
NOT_BENT = [BF.random(n, seed=n) for n in (3, 5, 7, 9, 15)] + [
    BF.majority(4),
    BF.xor(6),
    BF([1] * 6 + [0] * 10),
    BF([0, 1] * 3 + [0] * 10),
]


@pytest.mark.parametrize("f", NOT_BENT, ids=repr)
def test_functions_that_are_not_bent(f):
    assert not f.is_bent()
    assert f.nonlinearity() < 2 ** (f.n - 1) - 2 ** (f.n // 2 - 1) or f.n % 2


@pytest.mark.parametrize("n", range(1, 12))
def test_majority(n):
    f = BF.majority(n)
    balanced = 2 * f.weight() == len(f)
    assert balanced == (n % 2 == 1)
    # Every variable correlates with the majority.
    assert f.correlation_immunity() == 0
    assert f.resiliency_order() == (0 if balanced else -1)
    # Odd n: complementing every input complements the value.
    assert f.linear_structures() == ([len(f) - 1] if n % 2 else [])


@pytest.mark.parametrize("n", range(0, 12))
def test_parity(n):
    f = BF.xor(n)
    assert f.correlation_immunity() == max(n - 1, 0)
    assert f.resiliency_order() == (n - 1 if n else -1)  # n = 0: the constant false
    assert f.fourier_degree() == n and f.nonlinearity() == 0
    assert f.spectral_weights().tolist() == [0.0] * n + [1.0]
    assert f.noise_stability(-0.5) == (-0.5) ** n


@pytest.mark.parametrize("n", [1, 3, 6, 10, 17])
@pytest.mark.parametrize("mask_seed", [0, 1])
def test_affine_functions(n, mask_seed):
    u = int(np.random.default_rng(mask_seed + n).integers(0, 1 << n))
    f = BF.from_callable(n, lambda x: (np.bitwise_count(np.uint64(u) & x.astype(np.uint64)) & 1) == 1, vectorized=True)
    for g in (f, ~f):
        assert g.linear_structures() == list(range(1, 1 << n))
        assert g.absolute_indicator() == 1 << n
        assert g.sum_of_squares_indicator() == 8**n
        assert g.nonlinearity() == 0
        assert g.fourier_degree() == bin(u).count("1")
        assert g.correlation_immunity() == (bin(u).count("1") - 1 if u else n)


@pytest.mark.parametrize("value", [False, True])
def test_constants_and_no_variables(value):
    for n in (0, 1, 5, 16):
        f = BF.constant(n, value)
        assert f.fourier_degree() == 0 and f.correlation_immunity() == n and f.resiliency_order() == -1
        assert f.nonlinearity() == 0 and f.autocorrelation().tolist() == [1 << n] * (1 << n)
        assert f.spectral_weights().tolist() == [1.0] + [0.0] * n
    f = BF([value])
    assert f.is_bent()  # n = 0 is even and |W(0)| = 1 = 2**0
    assert f.absolute_indicator() == 0 and f.linear_structures() == [] and f.sum_of_squares_indicator() == 1
    assert f.noise_stability(0.3) == 1.0


def test_resilient_constructions():
    for n, order in [(6, 1), (8, 3), (10, 2), (16, 5)]:
        f = resilient(n, order, n)
        assert f.resiliency_order() == order == f.correlation_immunity()


def test_sum_of_squares_passes_64_bits():
    f = BF.xor(22)
    assert f.sum_of_squares_indicator() == 8**22 > 2**64


# -- relations ------------------------------------------------------------------------------------


@pytest.mark.parametrize("f", RANDOM + LARGE + [BF.tribes(3, 4), BF.address(2), BF.threshold(9, 3)], ids=repr)
def test_relations(f):
    w0 = int(f.walsh_spectrum()[0])
    r = f.autocorrelation()
    assert int(r[0]) == len(f) and sum(r.tolist()) == w0**2
    assert math.fsum(f.spectral_weights()) == pytest.approx(1.0, abs=1e-15)
    assert sum(_native.walsh_weight_sums(f.table)) == 4**f.n  # Parseval, exactly
    assert f.noise_stability(1.0) == 1.0 and f.noise_stability(0) == float(Fraction(w0**2, 4**f.n))
    assert f.noise_stability(-1) == float(Fraction(int(r[-1]), len(f)))
    assert f.fourier_degree() == f.to_vexil().degree()
    assert f.nonlinearity() == f.no_linearity()
    # Walsh and autocorrelation are unchanged by complementing f.
    assert (~f).autocorrelation().tolist() == r.tolist() and (~f).nonlinearity() == f.nonlinearity()


# -- arguments ------------------------------------------------------------------------------------


@pytest.mark.parametrize(
    "rho, error",
    [
        (1.5, ValueError),
        (-1.01, ValueError),
        (float("nan"), ValueError),
        ("0.5", TypeError),
        (None, TypeError),
        (True, TypeError),
        (0.5j, TypeError),
    ],
)
def test_noise_stability_refuses_bad_rho(rho, error):
    with pytest.raises(error):
        BF.majority(3).noise_stability(rho)


def test_numpy_and_integer_rho():
    f = BF.majority(5)
    assert f.noise_stability(np.float32(0.5)) == f.noise_stability(0.5) and f.noise_stability(np.int8(1)) == 1.0


@pytest.mark.parametrize(
    "name",
    [
        "fourier_degree",
        "max_abs_walsh",
        "correlation_immunity",
        "resiliency_order",
        "walsh_weight_sums",
        "autocorrelation",
        "absolute_indicator",
        "sum_of_squares_indicator",
        "linear_structures",
    ],
)
def test_native_arguments_are_checked(name):
    kernel = getattr(_native, name)
    with pytest.raises(ValueError):
        kernel(np.zeros(3, dtype=bool))
    with pytest.raises(TypeError):
        kernel(np.zeros(4, dtype=bool), progress=3)
    with pytest.raises(TypeError):
        kernel(np.zeros(4, dtype=bool), 1)
