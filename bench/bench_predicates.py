"""vexil_kit's native predicates against plain NumPy versions of the same tests, in the same run.

Each line times a predicate of BooleanFunction (one pass over the table packed 64 entries to a word,
stopping once the answer is settled) and a whole-array NumPy version of its definition on the same
table, checks that both agree, and prints the ratio NumPy / ours. The functions are the worst cases
of the early exits (the predicate holds, so the whole table is read: majority for monotone,
symmetric and self-dual, an affine function for affine, a bent function for plateaued and the
propagation criterion) and a random function (decided at once). The machine may be shared: ratios
are from one run.

Usage: .venv/bin/python bench/bench_predicates.py [--sizes 16,20,24] [--quick]
"""

import argparse

import numpy as np
from common import arguments, best_of, check, sizes, versions

from vexil_kit import BooleanFunction


def numpy_unate(t: np.ndarray) -> list:
    """Per variable: does some edge rise, does some edge fall (the table as one axis per variable)."""
    n = len(t).bit_length() - 1
    cube = t.reshape((2,) * n)
    out = []
    for v in range(n):
        low, high = np.take(cube, 0, axis=n - 1 - v), np.take(cube, 1, axis=n - 1 - v)
        out.append((bool(np.any(~low & high)), bool(np.any(low & ~high))))
    return out


def numpy_monotone(t: np.ndarray) -> bool:
    return not any(down for _, down in numpy_unate(t))


def numpy_symmetric(t: np.ndarray) -> bool:
    weights = np.bitwise_count(np.arange(len(t), dtype=np.uint64))
    trues = np.bincount(weights, weights=t, minlength=64)
    totals = np.bincount(weights, minlength=64)
    return bool(np.all((trues == 0) | (trues == totals)))


def numpy_self_dual(t: np.ndarray) -> bool:
    return bool(np.all(t[::-1] != t))


def numpy_affine(t: np.ndarray) -> bool:
    n = len(t).bit_length() - 1
    a = sum(int(t[1 << v] ^ t[0]) << v for v in range(n))
    parity = np.bitwise_count(np.arange(len(t), dtype=np.uint64) & np.uint64(a)) & 1
    return bool(np.array_equal(t, (parity == 1) ^ t[0]))


def numpy_walsh(t: np.ndarray) -> np.ndarray:
    w = np.where(t, -1, 1).astype(np.int64)
    for j in range(len(t).bit_length() - 1):
        pairs = w.reshape(-1, 2, 1 << j)
        w = np.stack([pairs[:, 0] + pairs[:, 1], pairs[:, 0] - pairs[:, 1]], axis=1).reshape(-1)
    return w


def numpy_amplitude(t: np.ndarray) -> int:
    magnitudes = np.abs(numpy_walsh(t))
    nonzero = magnitudes[magnitudes != 0]
    return int(nonzero[0]) if np.all(nonzero == nonzero[0]) else 0


def numpy_sac(t: np.ndarray) -> bool:
    n = len(t).bit_length() - 1
    cube = t.reshape((2,) * n)
    return all(
        int(np.count_nonzero(np.take(cube, 0, axis=n - 1 - v) ^ np.take(cube, 1, axis=n - 1 - v))) == len(t) // 4
        for v in range(n)
    )


def bent(n: int) -> BooleanFunction:
    k = n // 2
    return BooleanFunction.maiorana_mcfarland(np.random.default_rng(n).permutation(1 << k), BooleanFunction.random(k))


CASES = [
    ("is_monotone", "majority", BooleanFunction.majority, numpy_monotone),
    ("is_monotone", "random", lambda n: BooleanFunction.random(n, seed=n), numpy_monotone),
    ("is_symmetric", "majority", BooleanFunction.majority, numpy_symmetric),
    ("is_self_dual", "majority", lambda n: BooleanFunction.majority(n | 1), numpy_self_dual),
    ("is_affine", "xor", BooleanFunction.xor, numpy_affine),
    ("plateaued_amplitude", "bent", bent, numpy_amplitude),
    ("strict_avalanche", "bent", bent, numpy_sac),
]


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--sizes", default="16,20,24", help="numbers of variables (even)")
    args = arguments(parser, {"sizes": "12"})
    versions(["numpy"], label="baseline", machine=True)
    for n in sizes(args.sizes):
        for name, family, make, baseline in CASES:
            f = make(n)
            table = np.asarray(f)
            check(f"{name} of {family}({f.n})", getattr(f, name)() == baseline(table))
            ours = best_of(lambda: getattr(f, name)(), repeat=5)
            theirs = best_of(lambda: baseline(table), repeat=3)
            label = f"{name} of {family}({f.n})"
            print(
                f"{label:40} ours {ours * 1e3:10.3f} ms   numpy {theirs * 1e3:10.3f} ms   ratio {theirs / ours:8.1f}x"
            )


if __name__ == "__main__":
    main()
