"""The polynomial degrees of general functions at the general programs' limit, n = 10.

approximate_degree and threshold_degree (with their certificates, each checked) of random functions of
--n variables (default 10), one line each: the degree, the seconds to the first progress report (one
linear program solved), the whole time and the verdict against the targets (approximate degree under
10 s, threshold degree under 30 s); the progress
totals are checked never to shrink. Ours only: no peer computes these degrees exactly. The machine may
be shared: times are from one run.

Usage: python bench/bench_degrees.py [--n 10] [--seeds 1,2] [--quick]
"""

import argparse
import time

from common import arguments, check, sizes, verdict

from vexil_kit import BooleanFunction


def one(f, measure):
    start = time.perf_counter()
    seen = []

    def progress(done, total):
        seen.append((done, total, time.perf_counter() - start))

    c = getattr(f, f"{measure}_certificate")(progress=progress)
    seconds = time.perf_counter() - start
    check(f"{measure} certificate", c.check(f.table))
    totals = [total for _, total, _ in seen]
    check(f"{measure} progress totals never shrink", totals == sorted(totals))
    first = seen[0][2] if seen else seconds
    return c.degree, first, seconds


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--n", type=int, default=10)
    parser.add_argument("--seeds", default="1,2")
    args = arguments(parser, {"n": 8, "seeds": "1"})
    for seed in sizes(args.seeds):
        f = BooleanFunction.random(args.n, seed=seed)
        for measure, target in (("approximate_degree", 10), ("threshold_degree", 30)):
            degree, first, seconds = one(f, measure)
            label = f"{measure} random({args.n}, seed={seed}) = {degree}"
            met = verdict(seconds < target, f"< {target} s")
            print(f"{label:48} first report {first:7.2f} s   whole {seconds:7.2f} s    {met}")


if __name__ == "__main__":
    main()
