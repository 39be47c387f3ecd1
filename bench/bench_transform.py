"""The Walsh transform against memory speed: walsh_spectrum() and the three most used measures read off
it, on one random table, beside one read and write of 2**n int32 values (the copy pass) and, when
the ``ffht`` package is importable (a benchmark-only environment), FFHT's in-place float32
transform. All rows run interleaved, round after round, so that the ratios see the same load; each
row keeps its best time. Prints each time in ms, as a multiple of the copy pass and as a ratio to
FFHT (column left out without it).

With --crossover, also times nonlinearity() and walsh_spectrum() from 2**12 to 2**22 entries with
the pool (RAYON_NUM_THREADS unset) and without it (RAYON_NUM_THREADS=1), in alternating child
processes, and names the least size from which the pool wins.

    PYTHONPATH=python python bench/bench_transform.py [--sizes 20,24,26] [--repeat 7] [--json FILE] [--crossover]
"""

import argparse
import inspect
import json
import os
import subprocess
import sys
import time

import numpy as np
from common import arguments

from vexil_kit import BooleanFunction

try:
    import ffht
except ImportError:
    ffht = None


def rows_for(n):
    f = BooleanFunction.random(n, seed=n)
    values = np.ones(1 << n, dtype=np.int32)
    copy = np.empty_like(values)
    rows = {
        "copy pass int32": lambda: np.copyto(copy, values),
        "walsh_spectrum()": f.walsh_spectrum,
        "nonlinearity()": f.nonlinearity,
        "spectral_entropy()": f.spectral_entropy,
        "spectral_weights()": f.spectral_weights,
    }
    if "dtype" in inspect.signature(f.walsh_spectrum).parameters:  # builds before the dtype have int64 only
        rows["walsh_spectrum(int64)"] = lambda: f.walsh_spectrum(dtype=np.int64)
    if ffht is not None:
        signs = np.where(f.table, -1.0, 1.0).astype(np.float32)
        rows["FFHT fht_ float32"] = lambda: ffht.fht(signs)
    return rows


def measure(rows, repeat):
    """Best time of each row over `repeat` rounds, the rows interleaved within each round."""
    best = dict.fromkeys(rows, float("inf"))
    for _ in range(repeat):
        for name, fn in rows.items():
            start = time.perf_counter()
            fn()
            best[name] = min(best[name], time.perf_counter() - start)
    return best


CHILD = """
import json, sys, time
from vexil_kit import BooleanFunction
out = {}
for n in range(12, 23, 2):
    f = BooleanFunction.random(n, seed=n)
    for name in ("nonlinearity", "walsh_spectrum"):
        call = getattr(f, name)
        call()
        best = min(_timed(call) for _ in range(15 if n < 20 else 5))
        out[f"{name} {n}"] = best
print(json.dumps(out))
"""
TIMED = "def _timed(call):\n    s = time.perf_counter()\n    call()\n    return time.perf_counter() - s\n"


def crossover(rounds=3):
    """Best times with and without the pool, per measure and size, from alternating children."""
    best = {}
    for _ in range(rounds):
        for pooled in (True, False):
            env = dict(os.environ)
            env.pop("RAYON_NUM_THREADS", None)
            if not pooled:
                env["RAYON_NUM_THREADS"] = "1"
            code = "import time\n" + TIMED + CHILD
            result = subprocess.run([sys.executable, "-c", code], env=env, capture_output=True, text=True, check=True)
            for key, t in json.loads(result.stdout).items():
                best[(key, pooled)] = min(best.get((key, pooled), float("inf")), t)
    print(f"-- pool crossover ({os.cpu_count()} logical processors)")
    print(f"{'':24} {'pool ms':>9} {'inline ms':>10} {'pool/inline':>12}")
    first_win = {}
    for key in sorted({k for k, _ in best}, key=lambda k: (k.split()[0], int(k.split()[1]))):
        pool, inline = best[(key, True)], best[(key, False)]
        name, n = key.split()
        if pool < 0.9 * inline and name not in first_win:
            first_win[name] = int(n)
        print(f"{key:24} {pool * 1e3:9.3f} {inline * 1e3:10.3f} {pool / inline:12.2f}")
    for name, n in first_win.items():
        print(f"{name}: the pool wins by 10% or more from 2^{n} entries")
    return {f"{k} {'pool' if p else 'inline'}": t for (k, p), t in best.items()}


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--sizes", default="20,24,26")
    parser.add_argument("--repeat", type=int, default=7)
    parser.add_argument("--json", help="also write the times (seconds) to this file")
    parser.add_argument("--crossover", action="store_true", help="also time the pool against one thread")
    args = arguments(parser, quick={"sizes": "12", "repeat": 1})
    results = {}
    for n in [int(s) for s in args.sizes.split(",")]:
        rows = rows_for(n)
        for fn in rows.values():  # warm: first-touch faults, lazy imports
            fn()
        times = measure(rows, args.repeat)
        results[n] = times
        copy = times["copy pass int32"]
        fht = times.get("FFHT fht_ float32")
        header = "x copy" + ("   x FFHT" if fht else "")
        print(f"-- n = {n}{'':22} {'ms':>9} {header}")
        for name, t in times.items():
            line = f"n={n:2} {name:24} {t * 1e3:9.3f} {t / copy:6.2f}"
            if fht:
                line += f"  {t / fht:6.2f}"
            print(line)
    if args.crossover:
        results["crossover"] = crossover(1 if args.repeat == 1 else 3)
    if args.json:
        with open(args.json, "w") as out:
            json.dump(results, out, indent=1)


if __name__ == "__main__":
    main()
