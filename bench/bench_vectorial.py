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
import subprocess
import sys

import numpy as np
from common import arguments, best_of, check, report, versions

from vexil_kit import VectorialFunction

SBox = None


def load_sage():
    """Imports Sage's SBox where it is installed (not in the child that measures our memory alone)."""
    global SBox
    try:
        import sage.all__sagemath_modules  # noqa: F401  (loads what Sage's matrices need)
        from sage.crypto.sbox import SBox as sage_sbox
    except ImportError:
        return
    SBox = sage_sbox


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
        report(
            f"{label} {name}",
            best_of(ours_fn),
            "sage",
            best_of(lambda s, m=method: getattr(s, m)(), sage_repeat, lambda: sage_box(F)),
            target,
        )


# Our times at n in a fresh interpreter that imports nothing else (bench/common.py imports Sage): its peak
# RSS is ours. VmHWM, not ru_maxrss, which keeps the parent's peak across fork and exec.
ALONE = """
import re, sys, time
from vexil_kit import VectorialFunction
n = int(sys.argv[1])
F = VectorialFunction.random_permutation(n, seed=n)
for name in ["differential_uniformity", "linearity"]:
    start = time.perf_counter()
    value = getattr(F, name)()
    seconds = time.perf_counter() - start
    with open("/proc/self/status") as status:
        peak = int(re.search(r"VmHWM:\\s+(\\d+)", status.read()).group(1)) / 1024
    verdict = "met" if peak < 1024 else "MISSED"
    print(f"random permutation n={n} {name:24} ours {seconds:8.2f} s   value {value}   "
          f"peak RSS of the process {peak:.0f} MiB (target < 1024 MiB: {verdict})", flush=True)
"""


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--n12", type=int, default=12)
    parser.add_argument("--n16", type=int, default=16)
    args = arguments(parser, {"n12": 10, "n16": 10})
    load_sage()
    versions(["numpy", "passagemath-modules", "passagemath-brial"], machine=True)
    if SBox is None:
        print("sage.crypto.sbox missing: our times only")
    every = list(PAIRS)
    compare("AES n=8", VectorialFunction.named("AES"), every, 20, 3)
    compare("random permutation n=8", VectorialFunction.random_permutation(8, seed=8), every, 20, 3)
    large = VectorialFunction.random_permutation(args.n12, seed=args.n12)
    compare(f"random permutation n={args.n12}", large, ["differential_uniformity", "linearity"], 100, 1)
    subprocess.run([sys.executable, "-c", ALONE, str(args.n16)], check=True)


if __name__ == "__main__":
    main()
