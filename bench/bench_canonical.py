"""NPN canonical forms against boofun, and exact polynomial degrees of symmetric functions.

npn_canonical at n = 6 (and 4, 5) on random functions against boofun's
``boofun.analysis.equivalence.canonical_form`` (variable permutations, input shifts and output negation:
the same NPN classes, its own representative); both are checked to give one answer across a class
(f and a random transform of it). Target: at least 10x boofun at n = 6. approximate_degree of majority on
64 variables through the symmetric program (target: under 10 s), and of a few other symmetric
functions; threshold_degree and approximate_degree of random functions of 6 and 8 variables (general
programs, ours only: no peer computes them exactly). The machine may be shared: ratios come from one run.

The peers belong in a benchmark-only environment (see bench_query.py); without boofun its lines say
it is missing.

Usage: python bench/bench_canonical.py [--n 4,5,6] [--count 20] [--degrees 64] [--general 6,8] [--quick]
"""

import argparse
import warnings

import numpy as np
from common import arguments, best_of, boofun, check, report, sizes, timed, verdict, versions

from vexil_kit import BooleanFunction, poly_degrees
from vexil_kit.canonical import NpnTransform


def boofun_canonical(f):
    from boofun.analysis.equivalence import canonical_form

    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        return canonical_form(boofun.create(np.asarray(f.table, dtype=np.int64)))[0]


def canonical(n, count, rng):
    functions = [BooleanFunction(rng.random(1 << n) < 0.5) for _ in range(count)]
    for f in functions[:2]:
        t = NpnTransform(tuple(int(p) for p in rng.permutation(n)), int(rng.integers(0, 1 << n)), True)
        g = f.npn_transform(t)
        check(f"npn_canonical n={n}", g.npn_canonical()[0] == f.npn_canonical()[0])
        if boofun is not None:
            check(f"canonical_form n={n} (boofun)", boofun_canonical(g) == boofun_canonical(f))
    ours = best_of(lambda: [f.npn_canonical() for f in functions], repeat=3) / count
    peer_time = None
    if boofun is not None:
        peer_time = best_of(lambda: [boofun_canonical(f) for f in functions[:2]], repeat=1) / 2
    target = 10 if n == 6 else None
    if peer_time is None:
        print(f"{f'npn_canonical n={n} random, a function':54} ours {ours * 1e3:10.3f} ms   boofun missing")
    else:
        report(f"npn_canonical n={n} random, a function", ours, "boofun", peer_time, target)


def symmetric_degrees(n):
    cases = {
        "majority": [k > n // 2 for k in range(n + 1)],
        "and": [k == n for k in range(n + 1)],
        "parity": [k % 2 == 1 for k in range(n + 1)],
    }
    for name, values in cases.items():
        seconds, c = timed(lambda values=values: poly_degrees.symmetric_approximate_degree(values))
        check(f"approximate_degree {name}({n})", c.check(values=values))
        if name == "parity":
            check(f"approximate_degree parity({n})", c.degree == n)
        shown = verdict(seconds < 10, "< 10 s") if name == "majority" else "(no target)"
        print(f"{f'approximate_degree {name}({n}) symmetric = {c.degree}':54} ours {seconds:10.3f} s    {shown}")


def general_degrees(n):
    f = BooleanFunction.random(n, seed=n)
    for measure in ("threshold_degree", "approximate_degree"):
        seconds, c = timed(lambda measure=measure: getattr(f, f"{measure}_certificate")())
        check(f"{measure} random({n})", c.check(f.table))
        print(f"{f'{measure} random({n}) general = {c.degree}':54} ours {seconds:10.3f} s    (no target)")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--n", default="4,5,6")
    parser.add_argument("--count", type=int, default=20)
    parser.add_argument("--degrees", default="16,64")
    parser.add_argument("--general", default="6,8")
    args = arguments(parser, {"n": "6", "count": 3, "degrees": "64", "general": "4"})
    versions(["boofun", "highspy"], machine=True)
    rng = np.random.default_rng(6)
    for n in sizes(args.n):
        canonical(n, args.count, rng)
    for n in sizes(args.degrees):
        symmetric_degrees(n)
    for n in sizes(args.general):
        general_degrees(n)


if __name__ == "__main__":
    main()
