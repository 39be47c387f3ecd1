"""Measures of cryptography on vexil_kit.BooleanFunction against their definitions, known values and relations."""

import itertools
import math
import resource
import select
import subprocess
import sys
from fractions import Fraction

import numpy as np
import pytest
from hypothesis import given, settings

from conftest import interrupt_child
from kit_strategies import functions
from vexil_kit import BooleanFunction as BF
from vexil_kit import _native

# -- references, straight from the definitions ----------------------------------------------------


def popcounts(size):
    return np.bitwise_count(np.arange(size, dtype=np.uint64)).astype(np.int64)


def ref_walsh(f):
    """W(u) = sum over x of (-1)**(f(x) XOR u.x), as a matrix product with the parity signs."""
    x = np.arange(len(f), dtype=np.uint64)
    dots = np.bitwise_count(x[:, None] & x[None, :]) & 1
    return ((-1) ** (dots ^ f.table.astype(np.int64)[None, :])).sum(axis=1)


def ref_autocorrelation(f):
    """r(a) = sum over x of (-1)**(f(x) XOR f(x XOR a)), every a at once."""
    x = np.arange(len(f))
    t = f.table
    return np.where(t[None, :] == t[x[:, None] ^ x[None, :]], 1, -1).sum(axis=1)


def ref_nonlinearity(f):
    """The smallest Hamming distance from f to u.x XOR c over all u and c."""
    x = np.arange(len(f), dtype=np.uint64)
    linear = (np.bitwise_count(x[:, None] & x[None, :]) & 1).astype(bool)  # row u: the table of u.x
    distances = np.count_nonzero(linear != f.table[None, :], axis=1)
    return int(min(distances.min(), (len(f) - distances).min()))


def independent_of(f, subset):
    """f's output is statistically independent of the variables in the mask `subset`."""
    x = np.arange(len(f))
    ones = np.bincount(x & subset, weights=f.table, minlength=len(f))[np.arange(len(f)) & subset == np.arange(len(f))]
    return bool(np.all(ones * len(ones) == f.weight()))


def ref_correlation_immunity(f):
    """The largest m such that f is independent of every set of at most m inputs (n if all)."""
    for m in range(1, f.n + 1):
        for subset in itertools.combinations(range(f.n), m):
            if not independent_of(f, sum(1 << v for v in subset)):
                return m - 1
    return f.n


def ref_linear_structures(f):
    x = np.arange(len(f))
    return [a for a in range(1, len(f)) if len(set((f.table ^ f.table[x ^ a]).tolist())) == 1]


def ref_weights(f):
    """For each k, the exact sum of W(u)**2 over popcount(u) = k."""
    w = ref_walsh(f)
    k = popcounts(len(f))
    return [sum(int(c) ** 2 for c in w[k == level].tolist()) for level in range(f.n + 1)]


def ref_noise_stability(f, rho):
    """E[(-1)**f(x) * (-1)**f(x XOR z)] over uniform x and noise z flipping each bit w.p. (1 - rho) / 2."""
    rho = Fraction(rho)
    flip, keep = (1 - rho) / 2, (1 + rho) / 2
    r = ref_autocorrelation(f).tolist()
    total = sum(flip ** int(k) * keep ** (f.n - int(k)) * r[z] for z, k in enumerate(popcounts(len(f)).tolist()))
    return float(total / len(f))


def fwht(values):
    """The unscaled Walsh–Hadamard transform in exact int64 NumPy, for checks of large tables."""
    v = np.array(values, dtype=np.int64)
    h = 1
    while h < len(v):
        v = v.reshape(-1, 2, h)
        v = np.stack([v[:, 0] + v[:, 1], v[:, 0] - v[:, 1]], axis=1).reshape(-1)
        h *= 2
    return v


SMALL = [BF([bool(b) for b in bits]) for n in range(4) for bits in itertools.product([0, 1], repeat=1 << n)]
RANDOM = [BF.random(n, seed=100 + n) for n in range(4, 11)]
RANDOM += [BF.random(n, seed=n, balanced=True) for n in range(4, 11)]
# Tables above 2**14 entries take the split transform on the worker pool.
LARGE = [BF.random(n, seed=n) for n in (15, 16, 18)] + [BF.random(17, seed=7, balanced=True)]


def resilient(n, order, seed):
    """An order-resilient function (and no more): an unbalanced g XOR the parity of order + 1 fresh inputs."""
    table = BF.random(n - order - 1, seed=seed).table.copy()
    if 2 * np.count_nonzero(table) == len(table):
        table[0] = not table[0]  # W_g(0) != 0 keeps the order from rising
    fresh = np.arange(1 << n) >> (n - order - 1)
    return BF(table[np.arange(1 << n) & (len(table) - 1)] ^ (np.bitwise_count(fresh) % 2 == 1))


# -- every measure against its definition ---------------------------------------------------------


@pytest.mark.parametrize("f", SMALL + RANDOM, ids=repr)
def test_spectral_measures_match_the_definitions(f):
    w = ref_walsh(f)
    nonzero = [k for k, s in enumerate(ref_weights(f)) if s]
    assert f.fourier_degree() == max(nonzero)
    assert f.nonlinearity() == ref_nonlinearity(f)
    assert f.is_bent() == (f.n % 2 == 0 and bool(np.all(np.abs(w) == 1 << (f.n // 2))))
    ci = ref_correlation_immunity(f)
    assert f.correlation_immunity() == ci
    assert f.resiliency_order() == (ci if 2 * f.weight() == len(f) else -1)


@pytest.mark.parametrize("f", SMALL + RANDOM, ids=repr)
def test_autocorrelation_measures_match_the_definitions(f):
    r = ref_autocorrelation(f)
    got = f.autocorrelation()
    assert got.dtype == np.int64 and not got.flags.writeable
    assert got.tolist() == r.tolist()
    assert f.absolute_indicator() == (int(np.abs(r[1:]).max()) if f.n else 0)
    assert f.sum_of_squares_indicator() == sum(int(v) ** 2 for v in r.tolist())
    assert f.linear_structures() == ref_linear_structures(f)


@pytest.mark.parametrize("f", SMALL + RANDOM, ids=repr)
def test_weights_by_level_and_noise_stability_match_the_definitions(f):
    sums = ref_weights(f)
    assert _native.walsh_weight_sums(f.table) == sums
    weights = f.spectral_weights()
    assert weights.dtype == np.float64 and weights.shape == (f.n + 1,)
    assert weights.tolist() == [float(Fraction(s, 4**f.n)) for s in sums]
    for rho in (-1.0, -0.3, 0.0, 0.5, 0.9, 1.0):
        assert f.noise_stability(rho) == ref_noise_stability(f, rho)


@settings(max_examples=40, deadline=None)
@given(functions(max_n=7))
def test_arbitrary_tables_match_the_definitions(f):
    r = ref_autocorrelation(f)
    assert f.autocorrelation().tolist() == r.tolist()
    assert f.nonlinearity() == ref_nonlinearity(f)
    assert f.correlation_immunity() == ref_correlation_immunity(f)
    assert f.linear_structures() == ref_linear_structures(f)
    assert f.noise_stability(0.25) == ref_noise_stability(f, 0.25)


@pytest.mark.parametrize("f", LARGE + [resilient(16, 2, 1), resilient(15, 4, 2)], ids=repr)
def test_large_tables_match_numpy_transforms(f):
    w = f.walsh_spectrum()
    level = popcounts(len(f))
    sums = [int(np.sum(w[level == k] ** 2)) for k in range(f.n + 1)]
    assert _native.walsh_weight_sums(f.table) == sums
    assert f.nonlinearity() == (len(f) - int(np.abs(w).max())) // 2
    assert f.fourier_degree() == max(k for k, s in enumerate(sums) if s)
    ci = next((k - 1 for k in range(1, f.n + 1) if sums[k]), f.n)
    assert f.correlation_immunity() == ci
    assert f.resiliency_order() == (ci if w[0] == 0 else -1)
    r = fwht(w * w) // len(f)
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
NOT_BENT = [BF.random(n, seed=n) for n in (3, 5, 7, 9, 15)] + [BF.majority(4), BF.xor(6), BF([1] * 6 + [0] * 10),
                                                                BF([0, 1] * 3 + [0] * 10)]


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
    f = BF.from_callable(n, lambda x: (np.bitwise_count(np.uint64(u) & x.astype(np.uint64)) & 1) == 1,
                         vectorized=True)
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


# -- arguments, progress, interrupts, memory ------------------------------------------------------


@pytest.mark.parametrize("rho, error", [(1.5, ValueError), (-1.01, ValueError), (float("nan"), ValueError),
                                        ("0.5", TypeError), (None, TypeError), (True, TypeError), (0.5j, TypeError)])
def test_noise_stability_refuses_bad_rho(rho, error):
    with pytest.raises(error):
        BF.majority(3).noise_stability(rho)


def test_numpy_and_integer_rho():
    f = BF.majority(5)
    assert f.noise_stability(np.float32(0.5)) == f.noise_stability(0.5) and f.noise_stability(np.int8(1)) == 1.0


@pytest.mark.parametrize("name", ["fourier_degree", "max_abs_walsh", "correlation_immunity", "resiliency_order",
                                  "walsh_weight_sums", "autocorrelation", "absolute_indicator",
                                  "sum_of_squares_indicator", "linear_structures"])
def test_native_arguments_are_checked(name):
    kernel = getattr(_native, name)
    with pytest.raises(ValueError):
        kernel(np.zeros(3, dtype=bool))
    with pytest.raises(TypeError):
        kernel(np.zeros(4, dtype=bool), progress=3)
    with pytest.raises(TypeError):
        kernel(np.zeros(4, dtype=bool), 1)


def test_progress_reports_reach_the_planned_total():
    f = BF.random(20, seed=5)
    reports = []
    assert f.absolute_indicator(progress=lambda done, total: reports.append((done, total))) > 0
    assert reports and reports[-1][0] == reports[-1][1] > 0
    dones = [done for done, _ in reports]
    assert dones == sorted(dones) and len({total for _, total in reports}) == 1


def test_progress_bar_and_failing_callable(capsys):
    f = BF.random(18, seed=6)
    f.spectral_weights(progress=True)
    assert "spectral_weights: 100%" in capsys.readouterr().err

    def failing(done, total):
        raise LookupError("stop here")

    with pytest.raises(LookupError, match="stop here"):
        f.autocorrelation(progress=failing)
    assert f.nonlinearity() == f.no_linearity()


LIMIT_CHILD = """
import numpy as np
from vexil_kit import _native
table = np.zeros(1 << 32, dtype=bool)  # never touched: address space only
for name in ["autocorrelation", "walsh_weight_sums"]:  # each call reads the 4 GiB table once
    try:
        getattr(_native, name)(table)
    except ValueError as error:
        print(name, "ValueError", "31 variables" in str(error))
"""


def test_more_than_31_variables_is_refused_for_the_squares():
    if resource.getrlimit(resource.RLIMIT_AS)[0] != resource.RLIM_INFINITY:
        pytest.skip("the address space is limited")
    done = subprocess.run([sys.executable, "-c", LIMIT_CHILD], capture_output=True, timeout=120)
    lines = done.stdout.decode().splitlines()
    assert len(lines) == 2 and all(line.endswith("ValueError True") for line in lines), (done.stdout, done.stderr)


MEMORY_CHILD = """
import resource
import numpy as np
from vexil_kit import _native

table = np.zeros(1 << 28, dtype=bool)  # 256 MiB of address space; its coefficients take 1 GiB
with open("/proc/self/statm") as statm:
    size = int(statm.read().split()[0]) * resource.getpagesize()
resource.setrlimit(resource.RLIMIT_AS, (size + (400 << 20), resource.RLIM_INFINITY))
for name in ["max_abs_walsh", "walsh_weight_sums", "absolute_indicator"]:
    try:
        getattr(_native, name)(table)
    except MemoryError as error:
        print("MemoryError", name)
print(_native.max_abs_walsh(np.array([0, 1, 1, 1], dtype=bool)))
"""


def test_a_working_set_that_does_not_fit_raises_memory_error():
    done = subprocess.run([sys.executable, "-c", MEMORY_CHILD], capture_output=True, timeout=120)
    lines = done.stdout.decode().splitlines()
    assert lines == ["MemoryError max_abs_walsh", "MemoryError walsh_weight_sums", "MemoryError absolute_indicator",
                     "2"], (done.stdout, done.stderr)


CTRL_C_CHILD = """
import time
import numpy as np
from vexil_kit import _native

table = np.random.default_rng(0).integers(0, 2, 1 << 26, dtype=np.uint8).view(bool)
_native.absolute_indicator(table)  # faults the memory in
start = time.monotonic()
_native.absolute_indicator(table)
whole = time.monotonic() - start
print("whole", whole, flush=True)
print("computing", flush=True)
start = time.monotonic()
try:
    _native.absolute_indicator(table)
except KeyboardInterrupt:
    print("interrupted", start, time.monotonic(), flush=True)
    print(_native.absolute_indicator(np.array([0, 1, 1, 1], dtype=bool)), flush=True)
else:
    print("finished", flush=True)
"""


def test_ctrl_c_stops_the_autocorrelation_promptly():
    child = subprocess.Popen([sys.executable, "-c", CTRL_C_CHILD], stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    ready, _, _ = select.select([child.stdout], [], [], 120)
    whole = float(child.stdout.readline().split()[1]) if ready else 0.0
    started = child.stdout.readline() == b"computing\n" if ready else False
    if not ready or whole < 0.3 or not started:
        child.kill()
        child.wait()
        assert ready and started, "the child did not start computing"
        pytest.skip(f"a whole call takes only {whole:.2f} s here, too short to tell a prompt answer")
    sent, out, err = interrupt_child(child, 0.3 * whole)
    lines = out.decode().splitlines()
    assert lines and lines[0].split()[0] == "interrupted", (out, err)
    assert lines[1:] == ["0"], (out, err)  # x0 | x1: r = [4, 0, 0, 0]
    stopped = float(lines[0].split()[2])
    assert stopped - sent < 0.25 * whole + 0.1, (stopped - sent, whole)
    assert child.returncode == 0 and b"Traceback" not in err, err
