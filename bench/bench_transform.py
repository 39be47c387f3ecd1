"""The Walsh transform against memory speed: walsh_spectrum() and nonlinearity() of a random table,
beside one read and write of 2**n int32 values and, when the ``ffht`` package is importable (a
benchmark-only environment), FFHT's in-place float32 transform, all in one run so that the ratios
compare. Prints the best of --repeat runs, in ms, and each time over FFHT's (or over the copy's).

    PYTHONPATH=python python bench/bench_transform.py [--sizes 20,24] [--repeat 7]
"""

import argparse
import inspect
import time

import numpy as np
from common import arguments

from vexil_kit import BooleanFunction

try:
    import ffht
except ImportError:
    ffht = None


def best(fn, repeat):
    times = []
    for _ in range(repeat):
        start = time.perf_counter()
        fn()
        times.append(time.perf_counter() - start)
    return min(times)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--sizes", default="20,24")
    parser.add_argument("--repeat", type=int, default=7)
    args = arguments(parser, quick={"sizes": "12", "repeat": 1})
    for n in [int(s) for s in args.sizes.split(",")]:
        f = BooleanFunction.random(n, seed=n)
        values = np.ones(1 << n, dtype=np.int32)
        copy = np.empty_like(values)
        rows = {
            "walsh_spectrum()": lambda: f.walsh_spectrum(),
            "nonlinearity()": lambda: f.nonlinearity(),
            "read+write int32": lambda: np.copyto(copy, values),
        }
        if "dtype" in inspect.signature(f.walsh_spectrum).parameters:  # builds before the dtype have int64 only
            rows["walsh_spectrum(int64)"] = lambda: f.walsh_spectrum(dtype=np.int64)
        if ffht is not None:
            signs = np.where(f.table, -1.0, 1.0).astype(np.float32)
            rows["FFHT fht_ float32"] = lambda: ffht.fht(signs)
        times = {name: best(fn, args.repeat) for name, fn in rows.items()}
        base_name = "FFHT fht_ float32" if ffht is not None else "read+write int32"
        for name, t in times.items():
            print(f"n={n:2} {name:24} {t * 1e3:9.3f} ms  {t / times[base_name]:6.2f}x {base_name}")


if __name__ == "__main__":
    main()
