"""Walsh spectra and influences of vexil_kit.BooleanFunction against their definitions and Vexil."""

import math
from decimal import Decimal, localcontext

import numpy as np
import pytest
import reference
from hypothesis import given, settings
from kit_strategies import functions

import vexil
from vexil_kit import BooleanFunction as BF
from vexil_kit import _native, spectra

Vexil = vexil.Vexil


def ref_entropy_bits(f):
    """-sum p log2 p, p = W**2 / 4**n, in 50-digit decimal arithmetic."""
    with localcontext() as ctx:
        ctx.prec = 50
        total = Decimal(0)
        scale = Decimal(4) ** f.n
        for w in reference.walsh_by_definition(f).tolist():
            if w:
                p = Decimal(w * w) / scale
                total -= p * p.ln()
        return float(total / Decimal(2).ln())


RANDOM = [BF.random(n, seed=n) for n in range(0, 11)]
STRUCTURED = [BF.majority(9), BF.tribes(3, 3), BF.address(2), BF.threshold(8, 3), BF.conjunction(7), BF.xor(6)]


# -- the spectrum ---------------------------------------------------------------------------------


@settings(max_examples=60)
@given(functions(max_n=7))
def test_spectrum_matches_the_definition(f):
    w = f.walsh_spectrum()
    assert w.dtype == np.int32 and w.shape == (len(f),)
    assert w.tolist() == reference.walsh_by_definition(f).tolist()
    assert not w.flags.writeable


@pytest.mark.parametrize("n", [*range(0, 15), 16, 19, 20])
def test_each_width_gives_the_int64_values(n):
    f = BF.random(n, seed=100 + n)
    wide = f.walsh_spectrum(dtype=np.int64)
    assert wide.dtype == np.int64 and not wide.flags.writeable
    assert np.array_equal(wide, reference.walsh(f))
    for dtype, expected in [(None, np.int32), (np.int32, np.int32), ("int32", np.int32), ("int64", np.int64)]:
        w = f.walsh_spectrum(dtype=dtype)
        assert w.dtype == expected and not w.flags.writeable, dtype
        assert np.array_equal(w.astype(np.int64), wide), dtype
    # Everything read from the spectrum stays exact.
    assert sum(int(c) ** 2 for c in f.walsh_spectrum().tolist()) == 4**n
    assert np.array_equal(f.fourier_coefficients(), wide / float(len(f)))


def test_the_width_of_large_spectra():
    assert spectra._spectrum_dtype(None, 30) is np.int32
    assert spectra._spectrum_dtype(None, 31) is np.int64
    assert spectra._spectrum_dtype(np.int64, 31) is np.int64
    with pytest.raises(ValueError, match="at most 30 variables, not 31"):
        spectra._spectrum_dtype(np.int32, 31)


@pytest.mark.parametrize("dtype", [np.float64, "int16", np.uint32, bool, "no such type", 3])
def test_other_dtypes_are_refused(dtype):
    with pytest.raises(TypeError, match="dtype must be None, numpy.int32 or numpy.int64"):
        BF.random(3, seed=1).walsh_spectrum(dtype=dtype)


@pytest.mark.parametrize("f", RANDOM + STRUCTURED, ids=repr)
def test_parseval_and_the_weight(f):
    w = f.walsh_spectrum()
    assert sum(int(c) ** 2 for c in w.tolist()) == 4**f.n
    assert int(w[0]) == len(f) - 2 * f.weight()


@pytest.mark.parametrize("n", [2, 4, 6, 8, 10, 12])
def test_inner_product_is_bent(n):
    f = BF.inner_product(n)
    assert np.all(np.abs(f.walsh_spectrum()) == 1 << (n // 2))
    assert f.spectral_entropy() == pytest.approx(n, rel=1e-14)


def test_known_spectra():
    assert BF.dictator(3, 1).walsh_spectrum().tolist() == [0, 0, 8, 0, 0, 0, 0, 0]
    assert (~BF.dictator(3, 1)).walsh_spectrum().tolist() == [0, 0, -8, 0, 0, 0, 0, 0]
    assert BF.xor(4).walsh_spectrum().tolist() == [0] * 15 + [16]
    assert (~BF.xor(4)).walsh_spectrum().tolist() == [0] * 15 + [-16]
    assert BF.constant(0, False).walsh_spectrum().tolist() == [1]
    assert BF.conjunction(2).walsh_spectrum().tolist() == [2, 2, 2, -2]


def test_large_spectrum_at_sampled_coefficients():
    f = BF.random(20, seed=5)
    w = f.walsh_spectrum()
    x = np.arange(len(f), dtype=np.uint64)
    signs = 1 - 2 * f.table.astype(np.int64)
    for u in [0, 1, 6, 1 << 19, (1 << 20) - 1, 0x5A5A5, 0x80001]:
        parity = (np.bitwise_count(x & np.uint64(u)) & 1).astype(np.int64)
        assert int(w[u]) == int(np.sum(signs * (1 - 2 * parity))), u
    assert sum(int(c) ** 2 for c in w.tolist()) == 4**20


def test_fourier_coefficients_are_the_scaled_spectrum():
    for f in RANDOM + STRUCTURED:
        c = f.fourier_coefficients()
        assert c.dtype == np.float64
        assert c.tolist() == [w / len(f) for w in reference.walsh_by_definition(f).tolist()]


# -- influences -----------------------------------------------------------------------------------


@settings(max_examples=60)
@given(functions(max_n=8))
def test_influences_match_the_definition(f):
    counts = f.influence_counts()
    assert counts.dtype == np.int64 and counts.tolist() == reference.influence_counts(f).tolist()
    assert f.influences().tolist() == [c / len(f) for c in reference.influence_counts(f).tolist()]
    assert f.total_influence() == sum(reference.influence_counts(f).tolist()) / len(f)


@pytest.mark.parametrize("n", [12, 17, 21])
def test_influences_of_large_tables(n):
    f = BF.random(n, seed=n) & BF.random(n, seed=n + 100)
    assert f.influence_counts().tolist() == reference.influence_counts(f).tolist()


def test_influences_of_families():
    assert BF.dictator(5, 3).influences().tolist() == [0, 0, 0, 1, 0]
    assert BF.xor(4).influences().tolist() == [1.0] * 4
    # Majority of 9: a variable is pivotal when the other 8 split 4-4.
    assert BF.majority(9).influence_counts().tolist() == [2 * math.comb(8, 4)] * 9
    assert BF.constant(0, True).influences().tolist() == []
    assert BF.constant(0, True).total_influence() == 0.0


@pytest.mark.parametrize("f", RANDOM[1:] + STRUCTURED, ids=repr)
def test_total_influence_agrees_with_vexil(f):
    v = f.to_vexil()
    exact = f.total_influence()
    assert v.total_influence() == pytest.approx(exact, rel=1e-5, abs=1e-6)
    assert v.mean_sensitivity() == pytest.approx(exact, rel=1e-6)
    # Total influence is also the spectral sum of popcount(u) * (W(u) / 2**n)**2, exactly.
    w = f.walsh_spectrum().tolist()
    assert sum(bin(u).count("1") * c * c for u, c in enumerate(w)) == exact * 4**f.n


# -- entropy --------------------------------------------------------------------------------------


@pytest.mark.parametrize("f", RANDOM + STRUCTURED + [BF.majority(3), BF.random(9, seed=1, balanced=True)], ids=repr)
def test_spectral_entropy_to_twelve_digits(f):
    got = f.spectral_entropy()
    want = ref_entropy_bits(f)
    assert abs(got - want) <= 1e-12 * max(want, 1e-300)


LARGE = [BF.random(n, seed=n) for n in (13, 14, 15, 18)] + [BF.majority(15), BF.conjunction(16), BF.tribes(4, 4)]


@pytest.mark.parametrize("f", LARGE, ids=repr)
def test_spectral_entropy_of_large_tables(f):
    # Past the pool's split and past the exact counters (conjunctions' |W| near 2**n): the terms
    # from the int64 spectrum, summed exactly-rounded.
    q = np.abs(f.walsh_spectrum(dtype=np.int64)).astype(np.float64) / len(f)
    q = q[q != 0]
    want = -2.0 * math.fsum((q * q * np.log2(q)).tolist())
    assert abs(f.spectral_entropy() - want) <= 1e-12 * want


@pytest.mark.parametrize("f", RANDOM[2:] + STRUCTURED, ids=repr)
def test_spectral_entropy_agrees_with_vexil_in_nats(f):
    nats = f.spectral_entropy() * math.log(2)
    assert abs(f.to_vexil().spectral_entropy()) == pytest.approx(nats, rel=1e-3, abs=1e-6)


def test_entropy_of_single_coefficient_spectra_is_zero():
    for f in [BF.xor(5), ~BF.xor(5), BF.constant(3, True), BF.constant(0, False)]:
        assert f.spectral_entropy() == 0.0 and math.copysign(1, f.spectral_entropy()) == 1


# -- the native module's argument -----------------------------------------------------------------


def test_native_reads_bool_uint8_and_bytes_alike():
    f = BF.random(6, seed=3)
    want = f.walsh_spectrum().tolist()
    assert _native.walsh_spectrum(f.table.view(np.uint8)).tolist() == want
    assert _native.walsh_spectrum(f.table.tobytes()).tolist() == want
    assert _native.influence_counts(bytearray(f.table.tobytes())).tolist() == f.influence_counts().tolist()


@pytest.mark.parametrize(
    "table, error, words",
    [
        (np.zeros((2, 2), bool), ValueError, "1-D"),
        (np.zeros(6, bool), ValueError, "power of two"),
        (np.zeros(0, bool), ValueError, "power of two"),
        (np.array([0, 2], np.uint8), ValueError, "0 or 1"),
        (np.zeros(4, np.int16), ValueError, "bools or uint8"),
        (np.zeros(4, np.float64), ValueError, "bools or uint8"),
        (np.zeros(8, bool)[::2], ValueError, "contiguous"),
        ([0, 1], TypeError, "bytes-like"),
    ],
    ids=["2-D", "length", "empty", "values", "int16", "float", "strided", "list"],
)
@pytest.mark.parametrize("kernel", [_native.walsh_spectrum, _native.influence_counts])
def test_native_refuses_other_tables(kernel, table, error, words):
    with pytest.raises(error, match=words):
        kernel(table)
