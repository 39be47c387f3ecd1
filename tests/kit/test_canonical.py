"""NPN canonical forms against the definition: the least table over every transform, a transform that
really maps f to it, the same representative across a class, and the class counts."""

import itertools

import numpy as np
import pytest

from vexil_kit import BooleanFunction, _native
from vexil_kit.canonical import NpnTransform
from vexil_kit.sweeps import sources


def all_transforms(n):
    for perm in itertools.permutations(range(n)):
        for mask in range(1 << n):
            for out in (False, True):
                yield NpnTransform(perm, mask, out)


def brute_force_least(f):
    """The least to_int() over the class, by applying every transform (numpy, all at once per perm)."""
    n, table = f.n, f.table
    x = np.arange(1 << n)
    weights = [1 << i for i in range(1 << n)]
    best = None
    for perm in itertools.permutations(range(n)):
        for mask in range(1 << n):
            y = np.zeros_like(x)
            for i, p in enumerate(perm):
                y |= (((x >> i) ^ (mask >> i)) & 1) << p
            for out in (False, True):
                value = sum(w for w, bit in zip(weights, table[y] ^ out, strict=True) if bit)
                best = value if best is None else min(best, value)
    return best


def random_transform(rng, n):
    return NpnTransform(
        tuple(int(p) for p in rng.permutation(n)), int(rng.integers(0, 1 << n)), bool(rng.integers(0, 2))
    )


def oracle_functions():
    for n in range(4):
        for value in range(1 << (1 << n)):
            yield BooleanFunction.from_int(value, n)
    rng = np.random.default_rng(26)
    for n, count in ((4, 25), (5, 8)):
        for _ in range(count):
            yield BooleanFunction(rng.random(1 << n) < 0.5)


@pytest.mark.parametrize("f", list(oracle_functions()), ids=lambda f: f"n{f.n}:{f.to_hex()}")
def test_the_representative_is_the_least_member_and_the_transform_reaches_it(f):
    r, t = f.npn_canonical()
    assert r.to_int() == brute_force_least(f)
    assert f.npn_transform(t) == r
    if f.n == 5:  # the database's representative
        assert r == f.npn_representant()


@pytest.mark.parametrize("n", range(7))
def test_every_member_of_a_class_has_the_one_representative(n):
    rng = np.random.default_rng(n)
    for _ in range(6):
        f = BooleanFunction(rng.random(1 << n) < rng.random())
        r, _ = f.npn_canonical()
        for _ in range(4):
            g = f.npn_transform(random_transform(rng, n))
            s, u = g.npn_canonical()
            assert s == r and g.npn_transform(u) == r
            assert r.to_int() <= g.to_int()


def test_the_classes_of_up_to_four_variables():
    for n, count in enumerate([1, 2, 4, 14, 222]):  # OEIS A000370
        classes = BooleanFunction.npn_classes(n)
        assert len(classes) == count
        assert all(f.npn_canonical()[0] == f for f in classes)
        assert [f.to_int() for f in classes] == sorted(f.to_int() for f in classes)
        assert list(sources.npn_classes(n)) == classes
    # every function of three variables lands on one of the 14
    reps = {f.npn_canonical()[0] for f in (BooleanFunction.from_int(v, 3) for v in range(256))}
    assert reps == set(BooleanFunction.npn_classes(3))


def test_sizes_beyond_the_limits_are_refused():
    with pytest.raises(ValueError, match="at most 6"):
        BooleanFunction.random(7, seed=1).npn_canonical()
    with pytest.raises(ValueError):
        BooleanFunction.npn_classes(5)
    for bad in [NpnTransform((0, 1), 0, False), NpnTransform((0, 0, 1), 0, False), NpnTransform((0, 1, 2), 8, False)]:
        with pytest.raises(ValueError):
            bad.apply(np.zeros(8, dtype=bool))


def test_the_database_classes_are_their_own_representatives():
    classes = sources.five_input_classes()
    rows = classes.runs[0][1]
    rng = np.random.default_rng(5)
    for i in rng.choice(len(rows), 200, replace=False):
        f = BooleanFunction(sources.unpack(5, rows[i : i + 1])[0])
        r, t = f.npn_canonical()
        assert r == f and f.npn_transform(t) == f


@pytest.mark.parametrize(
    "call, error",
    [
        (lambda: _native.npn_canonical(np.zeros(3, dtype=np.uint8)), ValueError),
        (lambda: _native.npn_canonical(np.zeros(128, dtype=np.uint8)), ValueError),
        (lambda: _native.npn_canonical("table"), TypeError),
        (lambda: _native.npn_class_words(5), ValueError),
        (lambda: _native.npn_class_words(-1), (ValueError, OverflowError)),
    ],
    ids=["length 3", "seven variables", "a string", "five variables", "negative"],
)
def test_the_native_functions_refuse_bad_arguments(call, error):
    with pytest.raises(error):
        call()
