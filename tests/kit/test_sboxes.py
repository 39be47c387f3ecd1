"""The catalogue of published S-boxes, power maps over GF(2**n) and affine equivalence, against
brute-force definitions computed here and the values the standards and the literature publish."""

import doctest
import itertools
import random
from collections import Counter

import numpy as np
import pytest
from children import interrupt_call

from vexil_kit import sbox_equivalence, sboxes
from vexil_kit.sboxes import affine_equivalent, apply_matrix, linear_equivalent

# -- brute-force definitions -------------------------------------------------------------------------


def dot(u, v):
    return bin(u & v).count("1") & 1


def brute_ddt(table, n, m):
    f = np.asarray(table)
    ddt = np.zeros((1 << n, 1 << m), dtype=np.int64)
    for a in range(1 << n):
        for x in range(1 << n):
            ddt[a, f[x] ^ f[x ^ a]] += 1
    return ddt


def brute_walsh(table, n, m):
    """W[b, a] = sum over x of (-1)**(b.F(x) ^ a.x), as a matrix product with the Hadamard matrix."""
    hadamard = np.array([[(-1) ** dot(a, x) for x in range(1 << n)] for a in range(1 << n)])
    signs = np.array([[(-1) ** dot(b, y) for y in table] for b in range(1 << m)])
    return signs @ hadamard.T


def brute_degrees(table, n, m):
    """Degree of each component b.F (b != 0): the ANF coefficient of u is the XOR of f(x) over x within u."""
    below = np.array([[(x & u) == x for x in range(1 << n)] for u in range(1 << n)], dtype=np.int64)
    weights = [bin(u).count("1") for u in range(1 << n)]
    degrees = []
    for b in range(1, 1 << m):
        anf = (below @ np.array([dot(b, y) for y in table])) % 2
        degrees.append(max((weights[u] for u in range(1 << n) if anf[u]), default=-1))
    return degrees


def is_permutation(table, n):
    return sorted(table) == list(range(1 << n))


# -- the catalogue -----------------------------------------------------------------------------------

# name: (permutation, differential uniformity, linearity max |W| over b != 0, algebraic degree)
PUBLISHED = {
    "AES": (True, 4, 32, 7),  # FIPS 197; Daemen & Rijmen: DP 2**-6, correlation 2**-3
    "AES-inverse": (True, 4, 32, 7),
    "Ascon": (True, 8, 16, 2),  # Ascon: DP 2**-2, correlation 2**-1, quadratic
    "Keccak-chi": (True, 8, 16, 2),  # Keccak reference: chi quadratic, DP 2**-2
    "GIFT": (True, 6, 8, 3),  # GIFT: uniformity 6 chosen for its boomerang table
    "PRESENT": (True, 4, 8, 3),
    "PRINCE": (True, 4, 8, 3),
    "SKINNY-4": (True, 4, 8, 3),
    "SKINNY-8": (True, 64, 128, 6),  # SKINNY: DP 2**-2, correlation 2**-1 (Sage's SBox agrees, degree too)
    "Midori-Sb0": (True, 4, 8, 3),
    "Midori-Sb1": (True, 4, 8, 3),
    **{name: (True, 4, 8, 3) for name in ("Noekeon", "Rectangle", "Piccolo", "KLEIN", "TWINE")},  # their designers
    **{f"Serpent-S{i}": (True, 4, 8, 3) for i in range(8)},  # Serpent's design criteria
    **{f"DES-S{i}": (False, 16, None, None) for i in range(1, 9)},  # Biham & Shamir: maximum 16 of 64
}


def test_the_catalogue_is_what_is_published():
    assert set(sboxes.catalogue()) == set(PUBLISHED)


@pytest.mark.parametrize("name", sorted(PUBLISHED))
def test_catalogue_sboxes_have_their_published_properties(name):
    n, m, table = sboxes.named(name)
    permutation, uniformity, linearity, degree = PUBLISHED[name]
    assert len(table) == 1 << n and max(table) < 1 << m
    assert is_permutation(table, n) == permutation
    ddt, walsh, degrees = brute_ddt(table, n, m), brute_walsh(table, n, m), brute_degrees(table, n, m)
    assert ddt[1:].max() == uniformity
    if linearity is not None:
        assert np.abs(walsh[1:]).max() == linearity
        assert max(degrees) == degree
    assert_invariants_match(table, n, m, ddt, walsh, degrees)


def assert_invariants_match(table, n, m, ddt, walsh, degrees):
    spectra = sboxes.invariants(table, n, m)
    assert spectra["differential_spectrum"] == Counter(ddt[1:].ravel().tolist())
    assert spectra["walsh_spectrum"] == Counter(np.abs(walsh[1:]).ravel().tolist())
    assert spectra["degree_spectrum"] == Counter(degrees)


@pytest.mark.parametrize("zero_coordinate", [False, True], ids=["random", "a zero coordinate"])
@pytest.mark.parametrize("n, m", [(1, 1), (2, 3), (3, 5), (5, 2), (6, 6), (7, 3)])
def test_invariants_of_random_functions_agree_with_the_definitions(n, m, zero_coordinate):
    rng = random.Random(n * m)
    # A zero coordinate makes zero components, of degree -1.
    table = [rng.randrange(1 << m) & ~int(zero_coordinate) for _ in range(1 << n)]
    assert_invariants_match(table, n, m, brute_ddt(table, n, m), brute_walsh(table, n, m), brute_degrees(table, n, m))


def gift_bitsliced(x):
    s = [(x >> i) & 1 for i in range(4)]
    s[1] ^= s[0] & s[2]
    s[0] ^= s[1] & s[3]
    s[2] ^= s[0] | s[1]
    s[3] ^= s[2]
    s[1] ^= s[3]
    s[3] ^= 1
    s[2] ^= s[0] & s[1]
    s[0], s[3] = s[3], s[0]
    return sum(b << i for i, b in enumerate(s))


def ascon_bitsliced(v):
    x = [(v >> (4 - i)) & 1 for i in range(5)]  # row x0 is the most significant bit
    x[0] ^= x[4]
    x[4] ^= x[3]
    x[2] ^= x[1]
    t = [(1 ^ x[i]) & x[(i + 1) % 5] for i in range(5)]
    x = [x[i] ^ t[(i + 1) % 5] for i in range(5)]
    x[1] ^= x[0]
    x[0] ^= x[4]
    x[3] ^= x[2]
    x[2] ^= 1
    return sum(b << (4 - i) for i, b in enumerate(x))


def skinny4_rounds(x):
    b = [(x >> i) & 1 for i in range(4)]
    for r in range(4):
        b[0] ^= 1 ^ (b[3] | b[2])
        if r < 3:
            b = [b[3], b[0], b[1], b[2]]
    return sum(v << i for i, v in enumerate(b))


@pytest.mark.parametrize(
    "name, description",
    [("GIFT", gift_bitsliced), ("Ascon", ascon_bitsliced), ("SKINNY-4", skinny4_rounds)],
    ids=["GIFT", "Ascon", "SKINNY-4"],
)
def test_tables_match_the_designers_bitwise_descriptions(name, description):
    n, _, table = sboxes.named(name)
    assert tuple(description(x) for x in range(1 << n)) == table


@pytest.mark.parametrize("box", range(1, 9))
def test_des_rows_are_permutations_and_meet_the_published_design_criteria(box):
    _, _, table = sboxes.named(f"DES-S{box}")
    for row in range(4):
        entries = [sboxes.des_entry(box, ((row & 2) << 4) | (row & 1) | (column << 1)) for column in range(16)]
        assert sorted(entries) == list(range(16))
    for x in range(64):
        # Coppersmith's criteria: one flipped input bit changes two output bits or more, as does
        # the difference 001100; the differences 11ef00 never leave the output unchanged.
        assert all(bin(table[x] ^ table[x ^ (1 << k)]).count("1") >= 2 for k in range(6))
        assert bin(table[x] ^ table[x ^ 0b001100]).count("1") >= 2
        assert all(table[x] != table[x ^ (0b110000 | e << 3 | f << 2)] for e in (0, 1) for f in (0, 1))


def test_des_values_published_by_the_standard_and_its_cryptanalysts():
    assert sboxes.named("DES-S1")[2][0b011011] == 5  # FIPS 46-3's worked example
    assert brute_ddt(sboxes.named("DES-S1")[2], 6, 4)[0x34, 0x2] == 16  # Biham & Shamir
    s5 = sboxes.named("DES-S5")[2]
    assert sum(dot(0x10, x) == dot(0xF, s5[x]) for x in range(64)) == 12  # Matsui's NS5(16, 15)


def test_aes_is_the_field_inverse_followed_by_the_fips_affine_map():
    def affine(v):
        bits = [(v >> i) & 1 for i in range(8)]
        return sum(
            (bits[i] ^ bits[(i + 4) % 8] ^ bits[(i + 5) % 8] ^ bits[(i + 6) % 8] ^ bits[(i + 7) % 8] ^ (0x63 >> i) & 1)
            << i
            for i in range(8)
        )

    aes = sboxes.named("aes")[2]  # case folded
    assert tuple(affine(v) for v in sboxes.inverse_map(8)) == aes
    assert all(sboxes.named("AES-inverse")[2][aes[x]] == x for x in range(256))
    assert all(aes[x] not in (x, x ^ 0xFF) for x in range(256))  # no fixed or opposite fixed points
    for name in ("Midori-Sb0", "Midori-Sb1", "Noekeon", "KLEIN"):  # designed as involutions
        table = sboxes.named(name)[2]
        assert all(table[table[x]] == x for x in range(16))


def test_unknown_names_are_refused_with_the_list():
    with pytest.raises(KeyError, match="PRESENT"):
        sboxes.named("no-such-box")


# -- power maps --------------------------------------------------------------------------------------


def field_multiply(a, b, modulus):
    degree, result = modulus.bit_length() - 1, 0
    for i in range(b.bit_length()):
        if (b >> i) & 1:
            result ^= a << i
    for k in range(result.bit_length() - 1, degree - 1, -1):
        if (result >> k) & 1:
            result ^= modulus << (k - degree)
    return result


@pytest.mark.parametrize(
    "n, d, modulus",
    [(1, 5, None), (3, 6, None), (8, 254, None), (8, 3, 0x11D), (8, -1, 0x11D), (12, 1000, None), (16, 77, None)]
    + [(20, 12345, None), (16, 0, None)],
)
def test_power_maps_agree_with_square_and_multiply(n, d, modulus):
    table = sboxes.power_map(n, d, modulus)
    modulus = modulus or sboxes.default_modulus(n)
    exponent = d % ((1 << n) - 1) if d < 0 else d
    for x in random.Random(d).sample(range(1 << n), min(200, 1 << n)):
        expected = 1 if exponent == 0 else 0
        if exponent:
            expected, base, e = 1, x, exponent
            while e:
                expected = field_multiply(expected, base, modulus) if e & 1 else expected
                base, e = field_multiply(base, base, modulus), e >> 1
        assert table[x] == expected, x


@pytest.mark.parametrize("n", range(1, sboxes.MAX_FIELD_DEGREE + 1))
def test_default_moduli_are_primitive_except_aes(n):
    modulus = sboxes.default_modulus(n)  # power_map refuses it unless irreducible
    order, primes, rest, p = (1 << n) - 1, [], (1 << n) - 1, 2
    while rest > 1:
        if rest % p == 0:
            primes.append(p)
            while rest % p == 0:
                rest //= p
        p += 1
    x = 2 if n > 1 else 1  # the class of x; x = 1 in GF(2)
    # x is primitive exactly when x**(order / p) != 1 for every prime p of the order.
    assert all(sboxes.power_map(n, order // p, modulus)[x] != 1 for p in primes) == (n != 8)
    assert n != 8 or modulus == 0x11B


@pytest.mark.parametrize("n, modulus", [(8, 0x101), (8, 0x1B), (4, 0x15), (2, 0x4), (4, 0x1F3), (21, None), (0, None)])
def test_reducible_or_misplaced_moduli_are_refused(n, modulus):
    with pytest.raises(ValueError):
        sboxes.power_map(n, 3, modulus)


def almost_bent(n):  # the linearity of an AB map (n odd)
    return 1 << ((n + 1) // 2)


# (label, n, table, differential uniformity, linearity or None): Gold and Kasami with gcd(i, n) = 1,
# Welch and the inverse of odd fields are APN, Gold is AB for odd n; the inverse of even fields is
# differentially 4-uniform with linearity 2**(n/2 + 1).
POWER = [("x^3", n, sboxes.power_map(n, 3), 2, almost_bent(n) if n % 2 else None) for n in range(1, 9)]
POWER += [(f"gold {i}", n, sboxes.gold(n, i), 2, almost_bent(n)) for n, i in [(5, 2), (7, 3), (9, 4), (9, 7)]]
POWER += [(f"kasami {i}", n, sboxes.kasami(n, i), 2, None) for n, i in [(5, 2), (7, 3), (8, 3), (9, 2), (6, 5)]]
POWER += [("welch", 2 * t + 1, sboxes.power_map(2 * t + 1, (1 << t) + 3), 2, None) for t in (2, 3)]
POWER += [
    ("inverse", n, sboxes.inverse_map(n), 2 if n % 2 else 4, None if n % 2 else 1 << (n // 2 + 1)) for n in range(3, 9)
]


@pytest.mark.parametrize("label, n, table, uniformity, linearity", POWER, ids=[f"{p[0]} n={p[1]}" for p in POWER])
def test_power_maps_have_their_published_uniformity_and_linearity(label, n, table, uniformity, linearity):
    assert brute_ddt(table, n, n)[1:].max() == uniformity
    assert linearity is None or np.abs(brute_walsh(table, n, n)[1:]).max() == linearity


# -- affine equivalence --------------------------------------------------------------------------------


def random_invertible(n, rng):
    while True:
        rows = [rng.randrange(1 << n) for _ in range(n)]
        if len({apply_matrix(rows, x) for x in range(1 << n)}) == 1 << n:
            return rows


def satisfies(f, g, n, found):
    A, a, B, b = found
    return all(g[x] == apply_matrix(B, f[apply_matrix(A, x) ^ a]) ^ b for x in range(1 << n))


# Random permutations, and symmetric ones (power maps, chi) whose many candidate translations are
# grouped by their self-equivalences before the search.
BASES = [
    (f"random {n}.{seed}", n, random.Random(seed).sample(range(1 << n), 1 << n)) for n in range(1, 9) for seed in (0, 1)
]
BASES += [
    ("inverse 8", 8, sboxes.inverse_map(8)),
    ("gold 7", 7, sboxes.gold(7, 1)),
    ("x^7 8", 8, sboxes.power_map(8, 7)),
]
BASES += [("kasami 7", 7, sboxes.kasami(7, 3)), ("chi", 5, sboxes.named("Keccak-chi")[2])]


@pytest.mark.parametrize("label, n, f", BASES, ids=[label for label, _, _ in BASES])
def test_random_affine_images_are_found_and_the_maps_verify(label, n, f):
    rng = random.Random(label)
    A, B = random_invertible(n, rng), random_invertible(n, rng)
    a, b = rng.randrange(1 << n), rng.randrange(1 << n)
    g = [apply_matrix(B, f[apply_matrix(A, x) ^ a]) ^ b for x in range(1 << n)]
    assert satisfies(f, g, n, affine_equivalent(f, g, n))
    linear = [apply_matrix(B, f[apply_matrix(A, x)]) for x in range(1 << n)]
    A2, B2 = linear_equivalent(f, linear, n)
    assert satisfies(f, linear, n, (A2, 0, B2, 0))


@pytest.mark.parametrize(
    "f, g, n, equivalent",
    [
        (sboxes.inverse_map(8), sboxes.named("AES")[2], 8, True),  # FIPS 197's construction
        (sboxes.named("Keccak-chi")[2], sboxes.named("Ascon")[2], 5, True),  # Ascon's designers
        (sboxes.inverse_map(8), sboxes.power_map(8, 127), 8, True),  # x**(2**k d): Frobenius
        (sboxes.named("PRESENT")[2], sboxes.named("GIFT")[2], 4, False),  # uniformity 4 against 6
        (sboxes.power_map(5, 3), sboxes.power_map(5, 21), 5, False),  # x**3 and its inverse: degrees 2, 3
        (sboxes.inverse_map(6), sboxes.power_map(6, 11), 6, False),
        # Equal spectra, so the search itself must fail: power maps are affine equivalent only when
        # their exponents are cyclotomic (Yoshiara 2016), and 3 and 5 are not modulo 31.
        (sboxes.gold(5, 1), sboxes.gold(5, 2), 5, False),
    ],
    ids=["AES", "Ascon-chi", "cyclotomic", "PRESENT-GIFT", "gold-inverse", "inverse-other", "gold-gold"],
)
def test_known_equivalences_and_inequivalences(f, g, n, equivalent):
    found = affine_equivalent(f, g, n)
    assert (found is not None) == equivalent
    assert found is None or satisfies(f, g, n, found)


GL3 = [rows for rows in itertools.product(range(8), repeat=3) if len({apply_matrix(rows, x) for x in range(8)}) == 8]


def brute_affine_equivalent(f, g):
    """Over all A in GL(3) and a: h = f(A.x ^ a) must give g ^ g(0) = B.(h ^ h(0)) with B linear."""
    for rows in GL3:
        for a in range(8):
            h = [f[apply_matrix(rows, x) ^ a] for x in range(8)]
            b_map = {h[x] ^ h[0]: g[x] ^ g[0] for x in range(8)}
            if all(b_map[u ^ v] == b_map[u] ^ b_map[v] for u in range(8) for v in range(8)):
                return True
    return False


@pytest.mark.parametrize("seed", range(12))
def test_three_bit_pairs_agree_with_exhaustion(seed):
    rng = random.Random(seed)
    f, g = rng.sample(range(8), 8), rng.sample(range(8), 8)
    found = affine_equivalent(f, g, 3)
    assert (found is not None) == brute_affine_equivalent(f, g)
    assert found is None or satisfies(f, g, 3, found)


@pytest.mark.parametrize("f, g, n", [((0, 1, 2, 2), (0, 1, 2, 3), 2), ((0, 1), (1, 0), 9), ((0, 1), (0, 1, 2), 1)])
def test_non_permutations_and_sizes_beyond_eight_bits_are_refused(f, g, n):
    with pytest.raises(ValueError):
        affine_equivalent(f, g, n)


@pytest.mark.parametrize("module", [sboxes, sbox_equivalence], ids=lambda m: m.__name__)
def test_docstring_examples(module):
    result = doctest.testmod(module, raise_on_error=False, verbose=False)
    assert result.attempted > 0 and result.failed == 0


def test_a_long_equivalence_search_answers_ctrl_c():
    # Inequivalent quadratic APN permutations of 7 bits: equal spectra, most of a second of search each.
    stopped = interrupt_call(
        """
        from vexil_kit import sboxes
        f, g = sboxes.gold(7, 1), sboxes.gold(7, 2)
        def work():
            for _ in range(100):
                sboxes.affine_equivalent(f, g, 7)
        def after(): return sboxes.affine_equivalent(f, f, 7) is not None
        """,
        delay=1.0,
    )
    assert stopped.interrupted, (stopped.lines, stopped.err)
    assert stopped.lines[1:] == ["True"], (stopped.lines, stopped.err)
    assert stopped.latency < 1.0, stopped.latency
