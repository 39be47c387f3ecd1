"""vexil_kit.BooleanFunction against other libraries of the field, on the same random functions.

The peers: SageMath's ``sage.crypto.boolean_function.BooleanFunction`` (from passagemath) for the
Walsh spectrum, boofun (with numba) for influences, total influence and the Fourier spectrum, and
plain NumPy for ``from_callable``. Every value is checked against the peer before timing; each line
then prints our time, the peer's time in this run, the speed-up (peer / ours) and whether it reaches
the target. Ours and the fast peers are best of a few runs; slow peer calls run once. A peer that
does not import is reported missing and its lines are skipped.

The peers belong in a benchmark-only environment, never in the project's dependencies:

    python3 -m venv .venv-bench
    .venv-bench/bin/pip install scikit-build-core cmake ninja numpy
    SKBUILD_BUILD_DIR=build/bench .venv-bench/bin/pip install --no-build-isolation .
    .venv-bench/bin/pip install passagemath-modules passagemath-brial boofun numba

Usage: .venv-bench/bin/python bench/bench_kit.py [--walsh 20] [--influence 12,20] [--measures 16,20]
           [--callable 24] [--boofun-default] [--quick]
--boofun-default also times boofun with its default storage at the largest influence size (above 14
variables it picks a packed table there, which is far slower: about 2 minutes a call at n = 20).
"""

import argparse
import functools
import time

import common
import numpy as np
from common import SageFunction, arguments, best_of, boofun, check, sizes, versions

from vexil_kit import BooleanFunction

report = functools.partial(common.report, width=46)


def walsh(n):
    if SageFunction is None:
        print(f"walsh_spectrum n={n}: sage.crypto.boolean_function missing, skipped")
        return
    f = BooleanFunction.random(n, seed=n)
    entries = f.table.tolist()
    # Sage's list truth table has entry i = f(i) and W(j) = sum over i of (-1)^(f(i) XOR i.j), i.j the
    # parity of the common bits, False counting +1: exactly ours, index for index, no sign change and
    # no bit reversal of u (a random table would show either).
    check(
        "walsh_spectrum", np.array_equal(np.array(SageFunction(entries).walsh_hadamard_transform()), f.walsh_spectrum())
    )
    report(
        f"walsh_spectrum n={n} (vs walsh_hadamard_transform)",
        best_of(f.walsh_spectrum),
        "sage",
        best_of(lambda s: s.walsh_hadamard_transform(), 3, lambda: SageFunction(entries)),
        10,
    )


def boofun_of(f, storage="dense"):
    # boofun's create() takes entry i = f(i); its influences()[v] is about bit v of i and its
    # fourier()[S] is W(S) / 2^n with our sign, so all compare index for index. "dense" is its
    # fastest path (numba kernels on an unpacked table).
    return boofun.create(f.table, storage=storage) if storage else boofun.create(f.table)


def influences(sizes, with_default):
    if boofun is None:
        print("influences: boofun missing, skipped")
        return
    boofun_of(BooleanFunction.random(8, seed=0)).influences()  # numba compiles on the first call
    for n in sizes:
        f = BooleanFunction.random(n, seed=n)
        check("influences", np.array_equal(boofun_of(f).influences(), f.influences()))
        target = 1 if n <= 12 else 100
        report(
            f"influences n={n} (vs dense influences)",
            best_of(f.influences),
            "boofun",
            best_of(lambda g: g.influences(), 3, lambda: boofun_of(f)),
            target,
        )
    if with_default:
        n = max(sizes)
        f = BooleanFunction.random(n, seed=n)
        g = boofun_of(f, storage=None)
        start = time.perf_counter()
        values = g.influences()
        peer_time = time.perf_counter() - start
        check("influences", np.array_equal(values, f.influences()))
        report(
            f"influences n={n} (vs default storage, one run)",
            best_of(f.influences),
            "boofun",
            peer_time,
            1 if n <= 12 else 100,
        )


def peer_entropy(g):
    squares = np.square(g.fourier())
    squares = squares[squares != 0]
    return -float(np.sum(squares * np.log2(squares)))


def measures(sizes):
    if boofun is None:
        print("total_influence, spectral_entropy: boofun missing, skipped")
        return
    for n in sizes:
        f = BooleanFunction.random(n, seed=n + 1)
        # Each influence is a multiple of 2^-n and the sum needs far fewer than 53 bits: both totals are exact.
        check("total_influence", boofun_of(f).total_influence() == f.total_influence())
        report(
            f"total_influence n={n} (vs total_influence)",
            best_of(f.total_influence),
            "boofun",
            best_of(lambda g: g.total_influence(), 3, lambda: boofun_of(f)),
            1,
        )
        repeat = 3 if n <= 16 else 1
        peer = peer_entropy(boofun_of(f))
        check("spectral_entropy", abs(peer - f.spectral_entropy()) <= 1e-12 * peer)
        report(
            f"spectral_entropy n={n} (vs fourier + numpy)",
            best_of(f.spectral_entropy),
            "boofun",
            best_of(peer_entropy, repeat, lambda: boofun_of(f)),
            1,
        )


def expression(x):
    return (((x >> 3) ^ (x & (x >> 7)) ^ (x >> 11 | x >> 17)) & 1) == 1


def from_callable(n):
    def numpy_table():
        return expression(np.arange(1 << n, dtype=np.int64))

    f = BooleanFunction.from_callable(n, expression, vectorized=True)
    check("from_callable", np.array_equal(f.table, numpy_table()))
    report(
        f"from_callable n={n} vectorized (vs numpy)",
        best_of(lambda: BooleanFunction.from_callable(n, expression, vectorized=True), 3),
        "numpy",
        best_of(numpy_table, 3),
        0.5,
    )


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--walsh", default="20")
    parser.add_argument("--influence", default="12,20")
    parser.add_argument("--measures", default="16,20")
    parser.add_argument("--callable", default="24")
    parser.add_argument("--boofun-default", action="store_true")
    args = arguments(parser, {"walsh": "10", "influence": "8", "measures": "8", "callable": "12"})
    versions()
    for n in sizes(args.walsh):
        walsh(n)
    influences(sizes(args.influence), args.boofun_default)
    measures(sizes(args.measures))
    for n in sizes(args.callable):
        from_callable(n)


if __name__ == "__main__":
    main()
