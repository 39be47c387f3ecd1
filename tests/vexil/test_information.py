"""Restriction counts and entropies, balanced cuts and the fragmentation family, against worked values
and a NumPy reference built from the definitions."""

import itertools
import math
import struct

import numpy as np
import pytest
from conftest import Vexil, table_of
from reference import balanced_cuts as reference_cuts
from reference import restriction_counts as reference_counts
from reference import restriction_entropy as reference_entropy

F32 = np.float32


def bits(x):
    """The exact single-precision pattern of a float (tells -0.0 from 0.0)."""
    return struct.pack("<f", x)


def random_entries(n, seed, density=0.5):
    return (np.random.default_rng(seed).random(2**n) < density).tolist()


def majority3():
    return Vexil([bin(x).count("1") >= 2 for x in range(8)])


def parity3():
    return Vexil([bin(x).count("1") % 2 == 1 for x in range(8)])


WORKED_CUTS = [
    ("identity", lambda: table_of("01"), 3, 1.0, 1.0),
    ("and", lambda: table_of("0001"), 4, 2.0, 0.5),
    ("xor", lambda: table_of("0110"), 4, 2.0, 1.0),
    ("variable 0", lambda: table_of("0101"), 3, 1.0, 0.5),
    ("constant false", lambda: table_of("0000"), 2, -0.0, 0.0),
    ("majority", majority3, 5, 2.5, 0.5),
    ("parity", parity3, 4, 2.0, 1.0),
]


@pytest.mark.parametrize("name, make, entanglement, entropy, equanimity", WORKED_CUTS)
def test_worked_cut_values(name, make, entanglement, entropy, equanimity):
    f = make()
    assert f.entanglement() == entanglement
    assert bits(f.entropy()) == bits(entropy)
    assert bits(f.equanimity_importance()) == bits(equanimity)


AND_TOP = -(0.25 * math.log2(0.25) + 0.75 * math.log2(0.75))

WORKED_SPECTRA = [
    ("identity", lambda: table_of("01"), [-0.0, 1.0], (1, 1.0), [1.0], []),
    ("and", lambda: table_of("0001"), [-0.0, 1.0, AND_TOP], (1, 1.0), [1.0, AND_TOP - 1], [AND_TOP - 2]),
    ("xor", lambda: table_of("0110"), [-0.0, 1.0, 1.0], (1, 1.0), [1.0, 0.0], [-1.0]),
    ("variable 0", lambda: table_of("0101"), [-0.0, 0.5, 1.0], (2, 1.0), [0.5, 0.5], [0.0]),
    ("constant false", lambda: table_of("0000"), [-0.0, -0.0, -0.0], (0, -0.0), [0.0, 0.0], [0.0]),
    ("majority", majority3, [-0.0, 1.0, 1.5, 1.0], (2, 1.5), [1.0, 0.5, -0.5], [-0.5, -1.0]),
    ("parity", parity3, [-0.0, 1.0, 1.0, 1.0], (1, 1.0), [1.0, 0.0, 0.0], [-1.0, 0.0]),
    ("zero variables", lambda: Vexil([True]), [-0.0], (0, -0.0), [], []),
]


@pytest.mark.parametrize("name, make, spectrum, peak, delta, delta2", WORKED_SPECTRA)
def test_worked_fragmentation(name, make, spectrum, peak, delta, delta2):
    f = make()
    got = f.fragmentation_spectrum()
    assert got == pytest.approx(spectrum, abs=1e-7)
    assert [math.copysign(1, x) for x in got] == [math.copysign(1, x) for x in spectrum]
    assert f.restriction_signature() == got and f.fragmentation_profile() == got
    index, value = f.fragmentation_peak()
    assert index == peak[0] and bits(value) == bits(peak[1])
    assert f.fragmentation_delta() == pytest.approx(delta, abs=1e-7)
    assert f.fragmentation_delta2() == pytest.approx(delta2, abs=1e-7)


@pytest.mark.parametrize(
    "vars, count, entropy",
    [([0], 2, 1.0), ([1], 1, -0.0), ([1, 0], 2, 1.0), ([0, 1], 2, 1.0), ([0, 0], 2, AND_TOP), ([], 1, -0.0)],
)
def test_worked_restrictions_of_variable_0(vars, count, entropy):
    f = table_of("0101")
    assert f.information(vars) == count
    assert f.fragmentation_coefficient(vars) == pytest.approx(entropy, abs=1e-7)
    assert math.copysign(1, f.fragmentation_coefficient(vars)) == math.copysign(1, entropy)


def test_majority_cut_sums():
    f = majority3()
    assert f.information([0]) + f.information([1, 2]) == 5
    assert f.fragmentation_coefficient([0]) == 1.0 and f.fragmentation_coefficient([1, 2]) == 1.5
    assert [r.entanglement for r in f.entanglement_sets()] == [5, 5, 5]
    assert [r.entropy for r in f.entropy_sets()] == [2.5, 2.5, 2.5]


@pytest.mark.parametrize("n", [1, 2, 3, 4, 5, 10])
def test_records_list_every_cut_in_order(n):
    f = Vexil(random_entries(n, n))
    expected = reference_cuts(n)
    for records in (f.entanglement_sets(), f.entropy_sets()):
        assert [(r.set1, r.set2) for r in records] == expected
    if n == 4:
        assert expected == [([0, 1], [2, 3]), ([0, 2], [1, 3]), ([0, 3], [1, 2])]
    if n == 10:
        assert len(expected) == 126


def test_record_fields_are_fresh_read_only_copies():
    record = table_of("0001").entanglement_sets()[0]
    first = record.set1
    first.append(7)
    assert record.set1 == [0] and record.set1 is not record.set1
    with pytest.raises(AttributeError):
        record.set1 = [1]
    entropy_record = table_of("0001").entropy_sets()[0]
    assert isinstance(entropy_record.entropy, float) and entropy_record.entropy == 2.0


def test_zero_variables_have_one_empty_cut():
    for value in (False, True):
        f = Vexil([value])
        assert f.entanglement() == 2
        assert bits(f.entropy()) == bits(-0.0)
        [record] = f.entanglement_sets()
        assert (record.set1, record.set2, record.entanglement) == ([], [], 2)
        [record] = f.entropy_sets()
        assert (record.set1, record.set2, bits(record.entropy)) == ([], [], bits(-0.0))
        assert math.isnan(f.equanimity_importance())
        assert f.information([]) == 1


@pytest.mark.parametrize("n", [1, 2, 7, 10, 12])
@pytest.mark.parametrize("value", [False, True])
def test_constant_functions(n, value):
    f = Vexil([value] * 2**n)
    assert f.entanglement() == 2
    assert bits(f.entropy()) == bits(-0.0)
    assert f.equanimity_importance() == 0.0
    assert f.information(list(range(n))) == 1
    assert f.information([]) == 1


@pytest.mark.parametrize("n", [0, 1, 3, 6, 11])
def test_fragmentation_k_at_the_ends(n):
    f = Vexil(random_entries(n, 100 + n))
    assert bits(f.fragmentation_k(0)) == bits(-0.0)
    for k in (n + 1, n + 5, 2**64 - 1):
        assert bits(f.fragmentation_k(k)) == bits(0.0)
    assert f.fragmentation_k(n) == f.fragmentation_coefficient(list(range(n)))
    assert len(f.fragmentation_delta()) == n and len(f.fragmentation_delta2()) == max(n - 1, 0)


@pytest.mark.parametrize("index", [2, 63, 64, 65, 1000, 2**63, 2**64 - 1])
def test_indices_of_n_or_more_fix_nothing_and_read_false(index):
    # No folding modulo 64: 64 is not variable 0.
    all_true = table_of("1111")
    all_false = table_of("0000")
    assert all_true.information([index]) == 2 and all_false.information([index]) == 1
    assert all_true.fragmentation_coefficient([index]) == 1.0
    assert all_true.information([0, index]) == 2
    assert all_true.information([0, 0, index, index]) == 2
    assert all_true.fragmentation_coefficient([0, index]) == 1.0


@pytest.mark.parametrize("length", [40, 63, 64, 100])
def test_lists_with_too_many_assignments_raise_memory_error(length):
    f = table_of("0110")
    with pytest.raises(MemoryError):
        f.information([0] * length)
    with pytest.raises(MemoryError):
        f.fragmentation_coefficient([1] * length)
    assert f.information([0]) == 2  # the object is still usable


def random_var_list(rng, n):
    """Variables below n (often repeated) mixed with indices of n or more, 64 and beyond included."""
    choices = list(range(n)) * 2 + [n, n + 1, 64, 99]
    return [int(v) for v in rng.choice(choices, size=rng.integers(0, n + 3))]


@pytest.mark.parametrize("n", range(0, 13))
def test_restrictions_agree_with_the_reference(n):
    rng = np.random.default_rng(7 * n + 1)
    checked = 0
    for round_ in range(12):
        entries = random_entries(n, 1000 * n + round_, density=0.85 if round_ % 3 == 0 else 0.5)
        f = Vexil(entries)
        variables = random_var_list(rng, n)
        free = n - len({v for v in variables if v < n})
        if len(variables) + free > 18:
            continue
        counts = reference_counts(entries, variables)
        assert f.information(variables) == len(counts), variables
        assert bits(f.fragmentation_coefficient(variables)) == bits(reference_entropy(counts, len(variables)))
        checked += 1
    assert checked >= 6


@pytest.mark.parametrize("n, seed", [(n, s) for n in range(1, 13) for s in range(2 if n < 11 else 1)])
def test_cuts_agree_with_the_reference(n, seed):
    entries = random_entries(n, 50 * n + seed, density=0.7 if seed else 0.5)
    f = Vexil(entries)
    counts, entropies = [], []
    for set1, set2 in reference_cuts(n):
        c1, c2 = reference_counts(entries, set1), reference_counts(entries, set2)
        counts.append(len(c1) + len(c2))
        entropies.append(float(F32(reference_entropy(c1, len(set1))) + F32(reference_entropy(c2, len(set2)))))
    assert [r.entanglement for r in f.entanglement_sets()] == counts
    assert [bits(r.entropy) for r in f.entropy_sets()] == [bits(e) for e in entropies]
    assert f.entanglement() == min(counts)
    assert bits(f.entropy()) == bits(min(entropies))
    table = np.array(entries)
    edges = sum(
        int(np.count_nonzero(table.reshape(-1, 2, 2**v)[:, 0] != table.reshape(-1, 2, 2**v)[:, 1])) for v in range(n)
    )
    assert bits(f.equanimity_importance()) == bits(float(F32(edges) / F32(n * 2 ** (n - 1))))


@pytest.mark.parametrize("n", [1, 2, 5, 8, 10, 12])
def test_spectrum_agrees_with_the_in_order_reference(n):
    entries = random_entries(n, 300 + n, density=0.6)
    f = Vexil(entries)
    expected = []
    for k in range(n + 1):
        subsets = list(itertools.combinations(range(n), k))
        acc = F32(-0.0)
        for s in subsets:
            acc = F32(acc + F32(reference_entropy(reference_counts(entries, s), k)))
        expected.append(float(acc / F32(len(subsets))))
    spectrum = f.fragmentation_spectrum()
    assert [bits(x) for x in spectrum] == [bits(x) for x in expected]
    assert bits(f.fragmentation_k(n // 2)) == bits(expected[n // 2])
    best = max(range(n + 1), key=lambda k: (expected[k], -k))
    assert f.fragmentation_peak() == (best, expected[best])
    assert f.fragmentation_delta() == [float(F32(b) - F32(a)) for a, b in itertools.pairwise(expected)]


SIGNATURES = {
    "entanglement": "($self)",
    "entropy": "($self)",
    "fragmentation_coefficient": "($self, vars)",
    "fragmentation_k": "($self, k)",
    "fragmentation_spectrum": "($self)",
    "restriction_signature": "($self)",
    "fragmentation_profile": "($self)",
    "fragmentation_peak": "($self)",
    "fragmentation_delta": "($self)",
    "fragmentation_delta2": "($self)",
    "equanimity_importance": "($self)",
    "entanglement_sets": "($self)",
    "entropy_sets": "($self)",
    "information": "($self, vars)",
}


@pytest.mark.parametrize("name, signature", sorted(SIGNATURES.items()))
def test_text_signatures(name, signature):
    assert getattr(Vexil, name).__text_signature__ == signature


def test_keyword_arguments():
    f = table_of("0101")
    assert f.information(vars=[0]) == 2
    assert f.fragmentation_k(k=1) == 0.5
    assert f.fragmentation_coefficient(vars=(0,)) == 1.0
