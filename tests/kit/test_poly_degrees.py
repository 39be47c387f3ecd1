"""Exact polynomial degrees and threshold functions: the symmetric and the general linear programs
agree, known values and relations hold, every certificate passes its exact check and a damaged one
fails it, and the threshold test matches brute force (the published counts of threshold functions)."""

import dataclasses
import itertools
import math
from fractions import Fraction

import numpy as np
import pytest
from conftest import needs_pandas

from vexil_kit import BooleanFunction, poly_degrees


def symmetric(values):
    n = len(values) - 1
    return BooleanFunction([values[bin(x).count("1")] for x in range(1 << n)])


SMALL_SYMMETRIC = [values for n in range(1, 5) for values in itertools.product([False, True], repeat=n + 1)]


@pytest.mark.parametrize("values", SMALL_SYMMETRIC, ids=lambda v: "".join(str(int(b)) for b in v))
@pytest.mark.parametrize("measure", ["approximate_degree", "threshold_degree"])
def test_the_symmetric_and_the_general_programs_agree(values, measure):
    f = symmetric(values)
    eps = Fraction(1, 3) if measure == "approximate_degree" else None
    general = poly_degrees._general_certificate(f.table, measure, eps, None)
    by_weights = getattr(f, f"{measure}_certificate")()
    assert by_weights.symmetric and not general.symmetric
    assert general.degree == by_weights.degree
    assert general.check(f.table) and by_weights.check(f.table)


def damaged(c):
    """The certificate claiming one degree less, or with its polynomial pushed off."""
    if c.degree > 0:
        yield dataclasses.replace(c, degree=c.degree - 1)
    shifted = dict(c.polynomial)
    shifted[0] = shifted.get(0, Fraction(0)) + 3
    yield dataclasses.replace(c, polynomial=shifted)


RANDOM = [BooleanFunction.random(n, seed=seed) for n, seed in [(3, 1), (4, 2), (5, 3), (6, 4)]]


@pytest.mark.parametrize("f", RANDOM + [BooleanFunction.tribes(2, 2), BooleanFunction.inner_product(2)], ids=repr)
@pytest.mark.parametrize("measure", ["approximate_degree", "threshold_degree"])
def test_certificates_pass_and_damaged_ones_fail(f, measure):
    c = getattr(f, f"{measure}_certificate")()
    assert c.check(f.table)
    if measure == "threshold_degree":  # sign duals of up to six variables are solved exactly
        assert c.exact_dual()
    assert all(not bad.check(f.table) for bad in damaged(c))
    # relations: sign-representing is the weaker requirement, both are at most the Fourier degree
    assert f.threshold_degree() <= f.approximate_degree() <= f.fourier_degree()


FLOOR_CASES = [BooleanFunction.random(n, seed=seed) for n in (2, 4, 6) for seed in (5, 6, 7)] + [
    BooleanFunction.majority(5),
    BooleanFunction.xor(4),
    BooleanFunction.inner_product(2),
]


@pytest.mark.parametrize("f", FLOOR_CASES, ids=repr)
@pytest.mark.parametrize("eps", [Fraction(1, 100), Fraction(1, 3), Fraction(9, 10), None])
def test_the_search_floor_is_a_lower_bound(f, eps):
    # The search never solves below its floor, so a floor above the degree would lose the answer.
    measure = "threshold_degree" if eps is None else "approximate_degree"
    c = poly_degrees._general_certificate(f.table, measure, eps, None)
    assert c.check(f.table)
    assert poly_degrees._degree_floor(f.table, f.n, eps) <= c.degree


@pytest.mark.parametrize("n", [1, 2, 5, 8, 16, 33, 64])
def test_known_values_on_many_variables(n):
    parity = [k % 2 == 1 for k in range(n + 1)]
    conjunction = [k == n for k in range(n + 1)]
    majority = [k > n // 2 for k in range(n + 1)]
    assert poly_degrees.symmetric_approximate_degree(parity).degree == n
    assert poly_degrees.symmetric_threshold_degree(parity).degree == n
    assert poly_degrees.symmetric_threshold_degree(conjunction).degree == 1
    assert poly_degrees.symmetric_threshold_degree(majority).degree == 1
    c = poly_degrees.symmetric_approximate_degree(conjunction)
    assert c.check(values=conjunction)
    assert math.sqrt(n / 6) <= c.degree <= max(2, math.ceil(2 * math.sqrt(n)))  # Nisan–Szegedy: Θ(√n)
    assert not dataclasses.replace(c, degree=c.degree - 1).check(values=conjunction)


def threshold_by_enumeration(f):
    """Weights in [-3, 3] suffice for every threshold function of at most three variables."""
    x = np.arange(1 << f.n)
    bits = (x[:, None] >> np.arange(f.n)) & 1
    for w in itertools.product(range(-3, 4), repeat=f.n):
        sums = bits @ np.array(w, dtype=np.int64)
        for t in range(-10, 11):
            if np.array_equal(sums >= t, f.table):
                return True
    return False


def test_threshold_functions_of_up_to_three_variables():
    counts = []
    for n in range(4):
        functions = [BooleanFunction.from_int(v, n) for v in range(1 << (1 << n))]
        count = 0
        for f in functions:
            witness = f.threshold_weights()
            assert (witness is not None) == threshold_by_enumeration(f)
            if witness is not None:
                count += 1
                w, t = witness
                x = np.arange(1 << n)
                sums = ((x[:, None] >> np.arange(n)) & 1) @ np.array(w, dtype=np.int64).reshape(n)
                assert np.array_equal(sums >= t, f.table)
            # threshold degree 1 exactly on the non-constant threshold functions
            constant = f.weight() in (0, 1 << n)
            assert (f.threshold_degree() <= 1) == (witness is not None)
            assert (f.threshold_degree() == 0) == constant
        counts.append(count)
    assert counts == [2, 4, 14, 104]  # OEIS A000609


def test_threshold_weights_on_larger_functions():
    assert BooleanFunction.majority(11).threshold_weights() == (tuple([1] * 11), 6)
    assert BooleanFunction.threshold(12, 4).is_threshold()
    x = np.arange(1 << 12)
    weighted = BooleanFunction(
        ((x[:, None] >> np.arange(12)) & 1) @ np.array([5, -1, 2, 3, 3, 1, -4, 2, 1, 7, 1, -2]) >= 9
    )
    w, t = weighted.threshold_weights()
    assert np.array_equal(((x[:, None] >> np.arange(12)) & 1) @ np.array(w) >= t, weighted.table)
    assert not BooleanFunction.xor(12).is_threshold()
    with pytest.raises(ValueError):
        BooleanFunction.majority(13).is_threshold()


@pytest.mark.parametrize("eps", [0, 1, -0.5, 1.5])
def test_eps_outside_the_open_interval_is_refused(eps):
    with pytest.raises(ValueError):
        BooleanFunction.xor(2).approximate_degree(eps)


def test_general_functions_beyond_ten_variables_are_refused():
    with pytest.raises(ValueError, match="at most 10"):
        BooleanFunction.random(11, seed=0).approximate_degree()


def test_a_program_past_its_time_limit_raises_timeout():
    with pytest.raises(TimeoutError):
        BooleanFunction.random(10, seed=0).approximate_degree(time_limit=0.2)


@needs_pandas
def test_a_sweep_of_the_classes_computes_the_new_measures():
    from vexil_kit.sweep import sweep
    from vexil_kit.sweeps import sources

    frame = sweep(sources.npn_classes(3), ["is_threshold", "threshold_degree", "approximate_degree"])
    assert len(frame) == 14
    assert list(frame["is_threshold"]) == [d <= 1 for d in frame["threshold_degree"]]
    assert all(t <= a for t, a in zip(frame["threshold_degree"], frame["approximate_degree"], strict=True))


@pytest.mark.parametrize("measure", ["approximate_degree", "threshold_degree"])
@pytest.mark.parametrize("f", [BooleanFunction.random(5, seed=1), BooleanFunction.majority(9)], ids=repr)
def test_progress_counts_the_programs_to_a_full_total(measure, f):
    seen = []
    getattr(f, measure)(progress=lambda done, total: seen.append((done, total)))
    assert seen and seen[-1][0] == seen[-1][1]
    assert all(0 < done <= total for done, total in seen)
    assert [done for done, _ in seen] == sorted(done for done, _ in seen)


@pytest.mark.parametrize("measure", ["approximate_degree", "threshold_degree"])
def test_variables_f_ignores_are_dropped_and_named(measure):
    # the AND of variables 1, 3, 6 among 12, and a random function of five among eleven
    conjunction = BooleanFunction.from_expression("x1 & x3 & x6", n=12)
    small = BooleanFunction.random(5, seed=9)
    padded = BooleanFunction([small.table[((x >> 2) & 1) | ((x >> 3) & 2) | ((x >> 5) & 28)] for x in range(1 << 11)])
    for f, kept, reference in [
        (conjunction, (1, 3, 6), BooleanFunction.conjunction(3)),
        (padded, (2, 4, 7, 8, 9), small),
    ]:
        c = getattr(f, f"{measure}_certificate")()
        assert c.variables == kept and c.degree == getattr(reference, measure)()
        assert c.check(f.table)
        assert not c.check(f.table ^ (np.arange(1 << f.n) == 1))  # variable 0 now matters


@pytest.mark.parametrize("measure", ["approximate_degree", "threshold_degree"])
def test_a_certificate_naming_its_variables_wrongly_fails(measure):
    f = BooleanFunction.from_expression("x1 & x3 | x2", n=5)
    c = getattr(f, f"{measure}_certificate")()
    assert c.variables == (1, 2, 3) and c.check(f.table)
    for variables in [(1, 1, 3), (1, 2, 4), (1, 2, 5), (2, 1, 3)]:
        assert not dataclasses.replace(c, variables=variables).check(f.table), variables


def test_functions_symmetric_up_to_negated_inputs_take_the_symmetric_program():
    f = BooleanFunction.from_expression("x0 & ~x2 & x3 & ~x5 & x7 & ~x8 & x9 & ~x10 & x11", n=12)
    c = f.approximate_degree_certificate()
    reference = BooleanFunction.conjunction(9).approximate_degree_certificate()
    assert c.symmetric and c.degree == reference.degree and c.check(f.table)
    assert c.input_negation and not dataclasses.replace(c, input_negation=0).check(f.table)
    t = f.threshold_degree_certificate()
    assert t.symmetric and t.degree == 1 and t.check(f.table)
