"""Two-level forms: vexil_kit's exact minimum_sop against SymPy's SOPform, and isop at 20 variables.

For each size, a random function: our minimum_sop (prime implicants in the core, an exact set cover
by HiGHS) is checked to compute f, then timed (best of a few runs); SymPy's SOPform runs once on the
same minterms in a child process of a SymPy-only environment, stopped after --limit seconds (default
60); the sizes stop growing at the first one SymPy does not finish. Each line prints both times, the
speed-up (SymPy / ours) and both numbers of terms, which must never be more for ours (exact) than for
SymPy's. The verdict is at the largest size SymPy finished: a speed-up of at least 100. Then isop of a
random function of 20 variables, whose cubes are checked to be f, with the target of under a second.
The machine may be shared: ratios are from one run.

SymPy lives in its own environment, never among the project's dependencies:

    python3 -m venv .venv-bench && .venv-bench/bin/pip install sympy

(VEXIL_SYMPY_PYTHON names another interpreter); without it, SymPy's lines are reported missing.

Usage: .venv/bin/python bench/bench_two_level.py [--sizes 4,5,6,7,8,9,10] [--isop 20] [--limit 60] [--quick]
"""

import argparse
import json
import os
import subprocess
import sys

import numpy as np
from common import arguments, best_of, check, sizes, verdict

from vexil_kit import BooleanFunction

SYMPY_PYTHON = os.environ.get("VEXIL_SYMPY_PYTHON", ".venv-bench/bin/python")

PEER_CHILD = """
import json, sys, time
from sympy import Or, symbols
from sympy.logic import SOPform
n, minterms = json.loads(sys.stdin.read())
variables = symbols(f"x0:{n}")
rows = [[(x >> v) & 1 for v in range(n)] for x in minterms]
start = time.perf_counter()
expr = SOPform(variables, rows)
elapsed = time.perf_counter() - start
print(json.dumps({"terms": len(expr.args) if isinstance(expr, Or) else 1, "time": elapsed}))
"""


def sympy_version():
    try:
        done = subprocess.run(
            [SYMPY_PYTHON, "-c", "import sympy; print(sympy.__version__)"], capture_output=True, text=True, timeout=60
        )
    except (OSError, subprocess.TimeoutExpired):
        return None
    return done.stdout.strip() if done.returncode == 0 else None


def sympy_sop(f, limit):
    """(terms, seconds) of SymPy's SOPform of f in a child process, or (None, None) past the limit."""
    minterms = np.flatnonzero(np.asarray(f)).tolist()
    try:
        done = subprocess.run(
            [SYMPY_PYTHON, "-c", PEER_CHILD],
            input=json.dumps([f.n, minterms]),
            capture_output=True,
            text=True,
            timeout=limit,
        )
    except subprocess.TimeoutExpired:
        return None, None
    if done.returncode != 0:
        raise SystemExit(f"SymPy's child failed: {done.stderr[-2000:]}")
    answer = json.loads(done.stdout)
    return answer["terms"], answer["time"]


def computes(f, cubes):
    """Whether the cubes are exactly f: every input of a cube (its free variables' subsets) marked."""
    covered = np.zeros(len(f), dtype=bool)
    everything = len(f) - 1
    for c in cubes:
        points = np.array([c.values], dtype=np.int64)
        free = everything & ~c.mask
        while free:
            bit = free & -free
            points = np.concatenate((points, points | bit))
            free ^= bit
        covered[points] = True
    return covered.tolist() == np.asarray(f).tolist()


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--sizes", default="4,5,6,7,8,9,10", help="numbers of variables for minimum_sop against SymPy")
    parser.add_argument("--isop", type=int, default=20, help="number of variables for isop")
    parser.add_argument("--limit", type=float, default=60.0, help="seconds SymPy gets per call")
    args = arguments(parser, {"sizes": "6,7", "isop": 14, "limit": 20.0})
    version = sympy_version()
    print(f"peers: sympy {version or 'missing'} ({SYMPY_PYTHON}); load {os.getloadavg()[0]:.1f}")

    largest, cut_off = None, False
    for n in sizes(args.sizes):
        f = BooleanFunction.random(n, seed=n)
        ours = f.minimum_sop()
        check(f"minimum_sop n={n}", computes(f, ours))
        ours_time = best_of(f.minimum_sop, repeat=5)
        label = f"minimum_sop random n={n}"
        if version is None:
            print(f"{label:32} ours {ours_time * 1e3:9.2f} ms  ({len(ours)} terms)   sympy missing")
            continue
        terms, peer_time = sympy_sop(f, args.limit)
        if peer_time is None:
            print(f"{label:32} ours {ours_time * 1e3:9.2f} ms  ({len(ours)} terms)   sympy > {args.limit:.0f} s")
            cut_off = True
            break
        check(f"{label}: more terms than SymPy ({len(ours)} > {terms})", len(ours) <= terms)
        largest = (n, peer_time / ours_time)
        print(
            f"{label:32} ours {ours_time * 1e3:9.2f} ms  ({len(ours)} terms)   sympy {peer_time * 1e3:10.1f} ms "
            f"({terms} terms)   speed-up {peer_time / ours_time:9.1f}x",
            flush=True,
        )
    if largest is not None:
        n, speedup = largest
        if cut_off:
            met = verdict(speedup >= 100, ">= 100x")
            print(f"at n = {n}, the largest SymPy finished: speed-up {speedup:.1f}x {met}")
        else:
            print(f"SymPy finished every size tried, up to n = {n} (speed-up {speedup:.1f}x): no verdict")

    f = BooleanFunction.random(args.isop, seed=1)
    cubes = f.isop()
    check(f"isop n={args.isop}", computes(f, cubes))
    seconds = best_of(f.isop, repeat=3)
    print(f"isop random n={args.isop}: {seconds * 1e3:.1f} ms, {len(cubes)} cubes {verdict(seconds < 1, '< 1 s')}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
