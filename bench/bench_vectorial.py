"""VectorialFunction against SageMath's SBox (passagemath): the DDT, LAT and BCT and their summaries.

Each line checks that our value equals Sage's, then prints our time, Sage's time in this run, the
speed-up (Sage / ours) and the verdict against the target: at n = 8 (AES and a random permutation)
ddt, lat, bct, differential_uniformity, linearity and boomerang_uniformity at least 20x; at n = 12
(a random permutation) differential_uniformity and linearity at least 100x. At n = 16 Sage would take
hours: our differential_uniformity and linearity are timed alone, with the peak memory of the process.

Sage's SBox reads bits big-endian by default; its tables index masks by the same integers as ours
either way, and we build it with ``big_endian=False`` so that its bit vectors agree with ours too.
Sage's LAT is #{x : a.x = b.S(x)} - 2**(n-1), our ``lat()``; its linearity is max |W| over b != 0.

The peer belongs in a benchmark-only environment, never in the project's dependencies:

    python3 -m venv .venv-bench
    .venv-bench/bin/pip install scikit-build-core cmake ninja numpy tqdm
    SKBUILD_BUILD_DIR=build/bench .venv-bench/bin/pip install --no-build-isolation .
    .venv-bench/bin/pip install passagemath-modules passagemath-brial

Usage: .venv-bench/bin/python bench/bench_vectorial.py [--n12 12] [--n16 16] [--quick]
(--quick: n = 8 only and n = 10 for the large lines, for a smoke run where Sage may be missing.)
"""

import argparse
import resource
import time

import numpy as np

from common import arguments, best_of, check, report, versions
from vexil_kit import VectorialFunction

try:
    import sage.all__sagemath_modules  # noqa: F401  (loads what Sage's matrices need)
    from sage.crypto.sbox import SBox
except ImportError:
    SBox = None

#: Our measure, Sage's method, and how Sage's value reads as ours.
PAIRS = {
    "ddt": ("difference_distribution_table", lambda v: np.array(v, dtype=np.int64)),
    "lat": ("linear_approximation_table", lambda v: np.array(v, dtype=np.int64)),
    "bct": ("boomerang_connectivity_table", lambda v: np.array(v, dtype=np.int64)),
    "differential_uniformity": ("differential_uniformity", int),
    "linearity": ("linearity", int),
    "boomerang_uniformity": ("boomerang_uniformity", int),
}


def sage_box(F):
    return SBox([int(v) for v in F.table], big_endian=False)


def compare(label, F, names, target, sage_repeat):
    for name in names:
        ours_fn = getattr(F, name)
        ours = ours_fn()
        if SBox is None:
            print(f"{label} {name:24} ours {best_of(ours_fn) * 1e3:10.3f} ms   (sage missing)", flush=True)
            continue
        method, convert = PAIRS[name]
        # A fresh SBox per run: Sage caches its tables on the object.
        theirs = convert(getattr(sage_box(F), method)())
        check(f"{label} {name}", np.array_equal(np.asarray(ours, dtype=np.int64), theirs))
        report(f"{label} {name}", best_of(ours_fn), "sage",
               best_of(lambda s, m=method: getattr(s, m)(), sage_repeat, lambda: sage_box(F)), target)


def alone(label, F, names):
    for name in names:
        start = time.perf_counter()
        value = getattr(F, name)()
        seconds = time.perf_counter() - start
        peak = resource.getrusage(resource.RUSAGE_SELF).ru_maxrss / 1024
        print(f"{label} {name:24} ours {seconds:8.2f} s   value {value}   peak RSS of the process {peak:.0f} MiB",
              flush=True)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--n12", type=int, default=12)
    parser.add_argument("--n16", type=int, default=16)
    args = arguments(parser, {"n12": 10, "n16": 10})
    versions(["numpy", "passagemath-modules", "passagemath-brial"], machine=True)
    if SBox is None:
        print("sage.crypto.sbox missing: our times only")
    every = list(PAIRS)
    compare("AES n=8", VectorialFunction.named("AES"), every, 20, 3)
    compare("random permutation n=8", VectorialFunction.random_permutation(8, seed=8), every, 20, 3)
    large = VectorialFunction.random_permutation(args.n12, seed=args.n12)
    compare(f"random permutation n={args.n12}", large, ["differential_uniformity", "linearity"], 100, 1)
    alone(f"random permutation n={args.n16}", VectorialFunction.random_permutation(args.n16, seed=args.n16),
          ["differential_uniformity", "linearity"])


if __name__ == "__main__":
    main()
