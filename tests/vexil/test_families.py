import math

import pytest
from conftest import Vexil


def bits(v):
    return [int(x) for x in v.repr()]


@pytest.mark.parametrize(
    "build, expected",
    [
        (lambda: Vexil.majority(0), [0]),
        (lambda: Vexil.majority(1), [0, 1]),
        (lambda: Vexil.majority(2), [0, 0, 0, 1]),
        (lambda: Vexil.majority(3), [0, 0, 0, 1, 0, 1, 1, 1]),
        (lambda: Vexil.parity(0), [1]),
        (lambda: Vexil.parity(2), [1, 0, 0, 1]),
        (lambda: Vexil.coprimes(1), [0, 1, 1, 1]),
        (lambda: Vexil.primality(2), [0, 1, 1, 1]),
        (lambda: Vexil.primality(3), [0, 1, 1, 1, 0, 1, 0, 1]),
        (lambda: Vexil.sum_is_prime(1), [0, 0, 0, 1]),
        (lambda: Vexil.clique(0), [1]),
        (lambda: Vexil.clique(1), [1, 1]),
        (lambda: Vexil.from_number(6, 2), [0, 1, 1, 0]),
        (lambda: Vexil.from_number(7, 0), [1]),
        (lambda: Vexil.from_number(6, 0), [0]),
    ],
)
def test_small_family_tables(build, expected):
    assert bits(build()) == expected


def is_prime(s):
    return s >= 2 and all(s % d for d in range(2, math.isqrt(s) + 1))


@pytest.mark.parametrize("n", [4, 5, 8])
def test_families_match_their_definitions(n):
    assert bits(Vexil.majority(n)) == [int(bin(i).count("1") > n // 2) for i in range(2**n)]
    assert bits(Vexil.parity(n)) == [int(bin(i).count("1") % 2 == 0) for i in range(2**n)]
    assert bits(Vexil.primality(n)) == [int(i == 1 or is_prime(i)) for i in range(2**n)]
    half = n // 2
    low = 2**half - 1
    assert bits(Vexil.coprimes(half)) == [int(math.gcd(i >> half, i & low) == 1) for i in range(2 ** (2 * half))]
    assert bits(Vexil.sum_is_prime(half)) == [int(is_prime((i >> half) + (i & low))) for i in range(2 ** (2 * half))]


def clique_reference(n):
    import itertools

    k = n // 2
    m = n * (n + 1) // 2

    def edge(u, v):
        return u * (2 * n - u - 1) // 2 + (v - u - 1)

    table = []
    for i in range(2**m):
        found = any(
            all((i >> edge(u, v)) & 1 for u, v in itertools.combinations(subset, 2))
            for subset in itertools.combinations(range(n), k)
        )
        table.append(int(found))
    return table


@pytest.mark.parametrize("n", [2, 3, 4, 5])
def test_clique_matches_exhaustive_search(n):
    assert bits(Vexil.clique(n)) == clique_reference(n)


def test_clique_of_four_is_any_edge():
    assert bits(Vexil.clique(4)) == [int(i & 0b111111 != 0) for i in range(2**10)]


def test_from_number_repeats_the_64_bits():
    number = 0x8000_0000_0000_0001 | (0b1011 << 20)
    table = bits(Vexil.from_number(number, 8))
    assert table == [(number >> (i % 64)) & 1 for i in range(256)]


@pytest.mark.parametrize(
    "build",
    [
        lambda: Vexil.majority(63),
        lambda: Vexil.parity(64),
        lambda: Vexil.from_number(1, 100),
        lambda: Vexil.coprimes(32),
        lambda: Vexil.sum_is_prime(2**63),
        lambda: Vexil.clique(11),
        lambda: Vexil.clique(2**40),
    ],
)
def test_variable_counts_of_63_and_more_stop(build, PanicException):
    with pytest.raises(PanicException) as caught:
        build()
    assert caught.value.args == ("capacity overflow",)


@pytest.mark.parametrize(
    "build",
    [lambda: Vexil.majority(40), lambda: Vexil.clique(9), lambda: Vexil.coprimes(25), lambda: Vexil.from_number(0, 62)],
)
def test_tables_beyond_memory_raise_memory_error(build):
    with pytest.raises(MemoryError):
        build()


def test_families_return_plain_vexil_objects():
    for v in (Vexil.majority(2), Vexil.from_number(3, 1), Vexil.clique(2)):
        assert type(v) is Vexil
