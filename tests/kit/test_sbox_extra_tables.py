"""The tables after the DDT, LAT and BCT (DLCT, spaces of Walsh zeroes and their thickness, the
ortho-derivative) against their definitions computed by brute force here."""

import itertools
import random

import pytest
from reference import random_invertible_rows
from reference import rank_gf2 as rank

from vexil_kit import VectorialFunction


def dot(u, v):
    return (u & v).bit_count() & 1


def walsh(table, n, a, b):
    return sum((-1) ** (dot(b, table[x]) ^ dot(a, x)) for x in range(1 << n))


CASES = [VectorialFunction.random(n, m, seed=n * 7 + m) for n, m in [(1, 1), (2, 3), (3, 2), (3, 3), (4, 4), (4, 2)]]
CASES += [VectorialFunction.named(name) for name in ("PRESENT", "GIFT")] + [VectorialFunction.power(5, 3)]
CASES += [VectorialFunction([0, 0, 0, 0]), VectorialFunction.random_permutation(5, seed=4)]


@pytest.mark.parametrize("f", CASES, ids=repr)
def test_the_dlct_counts_the_agreements_of_each_mask_with_each_derivative(f):
    n, t = f.n, f.table.tolist()
    expected = [
        [sum(dot(b, t[x] ^ t[x ^ a]) == 0 for x in range(1 << n)) - (1 << (n - 1)) for b in range(1 << f.m)]
        for a in range(1 << n)
    ]
    assert f.dlct().tolist() == expected


def brute_zero_spaces(f):
    """Every n-dimensional subspace of F_2^(n+m) inside the Walsh zeroes, as a frozenset of its vectors."""
    n, m, t = f.n, f.m, f.table.tolist()
    zeroes = {a | b << n for a in range(1 << n) for b in range(1 << m) if (a, b) == (0, 0) or walsh(t, n, a, b) == 0}
    found = set()
    for basis in itertools.combinations(sorted(zeroes - {0}), n):
        span = {0}
        for v in basis:
            span |= {s ^ v for s in span}
        if len(span) == 1 << n and span <= zeroes:
            found.add(frozenset(span))
    return found


SMALL = [c for c in CASES if c.n + c.m <= 6] + [VectorialFunction.power(3, 3), VectorialFunction([0, 1, 3, 2])]


@pytest.mark.parametrize("f", SMALL, ids=repr)
def test_the_walsh_zero_spaces_and_their_thickness_are_every_space_inside_the_zeroes(f):
    spaces = f.walsh_zero_spaces()
    spans = []
    for basis in spaces:
        # A reduced echelon basis: ascending, each highest bit set in no other vector.
        assert basis == sorted(basis)
        tops = [1 << (v.bit_length() - 1) for v in basis]
        assert all(not (v & top) for v in basis for top in tops if top != 1 << (v.bit_length() - 1))
        span = {0}
        for v in basis:
            span |= {s ^ v for s in span}
        spans.append(frozenset(span))
    expected = brute_zero_spaces(f)
    assert len(spans) == len(set(spans)) and set(spans) == expected
    thickness = {}
    for span in expected:
        t = rank(v >> f.n for v in span)
        thickness[t] = thickness.get(t, 0) + 1
    assert f.thickness_spectrum() == dict(sorted(thickness.items()))


def ea_transform(f, rng):
    """B.f(A.x ^ a) ^ C.x ^ b for random invertible A, B and random C, a, b."""
    n, m = f.n, f.m

    def times(rows, x):
        return sum(dot(row, x) << i for i, row in enumerate(rows))

    A, B, C = random_invertible_rows(n, rng), random_invertible_rows(m, rng), [rng.randrange(1 << n) for _ in range(m)]
    a, b = rng.randrange(1 << n), rng.randrange(1 << m)
    return VectorialFunction([times(B, f(times(A, x) ^ a)) ^ times(C, x) ^ b for x in range(1 << n)], m)


QUADRATIC_APN = [VectorialFunction.power(n, 3) for n in range(2, 8)]
QUADRATIC_APN += [ea_transform(VectorialFunction.power(n, 3), random.Random(n)) for n in (4, 5, 6)]
QUADRATIC_APN += [VectorialFunction.power(7, 5), VectorialFunction.power(6, 3) ^ VectorialFunction.power(6, 0)]


@pytest.mark.parametrize("f", QUADRATIC_APN, ids=repr)
def test_the_ortho_derivative_is_the_one_vector_orthogonal_to_each_second_derivative(f):
    n, t = f.n, f.table.tolist()
    pi = f.ortho_derivative()
    assert isinstance(pi, VectorialFunction) and pi.n == n and pi(0) == 0
    for a in range(1, 1 << n):
        values = {t[x] ^ t[x ^ a] ^ t[a] ^ t[0] for x in range(1 << n)}
        orthogonal = [b for b in range(1, 1 << n) if all(dot(b, v) == 0 for v in values)]
        assert orthogonal == [pi(a)]


@pytest.mark.parametrize(
    ("f", "why"),
    [
        (VectorialFunction.named("AES"), "quadratic"),  # degree 7
        (VectorialFunction.power(4, 5), "APN"),  # quadratic, differential uniformity 4
        (VectorialFunction.power(4, 1), "quadratic"),  # linear
        (VectorialFunction.random(4, 3, seed=1), "n = m"),
    ],
    ids=repr,
)
def test_the_ortho_derivative_refuses_what_is_not_quadratic_apn(f, why):
    with pytest.raises(ValueError, match=why):
        f.ortho_derivative()


def test_the_extended_walsh_spectrum_is_the_multiset_of_every_nonzero_mask():
    f = VectorialFunction.random(4, 3, seed=9)
    t = f.table.tolist()
    values = [abs(walsh(t, 4, a, b)) for a in range(16) for b in range(1, 8)]
    assert f.extended_walsh_spectrum() == {v: values.count(v) for v in sorted(set(values))}
