"""vexil_kit.BooleanFunction's query-complexity measures against boofun, on the same functions.

Decision-tree depth at 12 and 16 variables and block sensitivity at 10 and 14, on majority, tribes, an
address function, random functions and a composed function that the bounds do not settle (s < bs);
the per-input sensitivities at 12 and 20 variables. Each value is checked before timing: against
boofun where it finishes, and always against the relations s <= bs <= C <= D and the known values
of the families. Ours is the best of a few runs; each boofun call runs once, in a child process
stopped after --limit seconds (default 60) and then reported as "did not finish" with the speed-up
as a lower bound. Lines print our time, boofun's, the speed-up (boofun / ours) and the verdict
against the target: our own time under 30 s for the exponential measures, a speed-up of at least
100 for the sensitivities at 20 variables. The machine may be shared: ratios are from one run.

The peers belong in a benchmark-only environment, never in the project's dependencies:

    python3 -m venv .venv-bench
    .venv-bench/bin/pip install scikit-build-core cmake ninja numpy
    SKBUILD_BUILD_DIR=build/bench .venv-bench/bin/pip install --no-build-isolation .
    .venv-bench/bin/pip install boofun numba

Usage: .venv-bench/bin/python bench/bench_query.py [--depth 12,16] [--block 10,14] [--sensitivities 12,20]
           [--limit 60] [--stretch] [--quick]
--stretch also times decision_tree_depth of tribes(3, 6) (n = 18, 387 MB of subcubes) and address(4)
(n = 20, 3.5 GB), ours only.
"""

import argparse
import json
import os
import subprocess
import sys
import tempfile

import numpy as np
from common import arguments, best_of, boofun, check, reference, sizes, versions

from vexil_kit import BooleanFunction

SPREAD = BooleanFunction.from_hex("0x1bd8", n=4)  # s(x) = 2 at every input, bs = C = 3

# boofun's truth tables have entry i = f(i), variable v = bit v of i: ours, index for index.
PEER_CHILD = """
import json, sys, time, warnings
warnings.simplefilter("ignore")
import numpy as np
import boofun
from boofun.analysis import block_sensitivity, complexity, sensitivity
measure = {"decision_tree_depth": complexity.decision_tree_depth,
           "block_sensitivity": block_sensitivity.max_block_sensitivity,
           "sensitivities": sensitivity.sensitivity_profile}[sys.argv[2]]
f = boofun.create(np.load(sys.argv[1]))
start = time.perf_counter()
value = measure(f)
elapsed = time.perf_counter() - start
print(json.dumps({"value": np.asarray(value).tolist(), "time": elapsed}))
"""


def peer(f, name, limit):
    """(value, seconds) of boofun's measure on f in a child process, or (None, None) past the limit."""
    if boofun is None:
        return None, None
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "table.npy")
        np.save(path, f.table)
        try:
            done = subprocess.run(
                [sys.executable, "-c", PEER_CHILD, path, name],
                capture_output=True,
                text=True,
                timeout=limit,
                check=True,
            )
        except subprocess.TimeoutExpired:
            return None, None
    result = json.loads(done.stdout)
    return result["value"], result["time"]


# -- the functions -----------------------------------------------------------------------------------


def or_of_copies(g, count, n):
    return BooleanFunction(reference.or_of_copies(g, count, n))


def address_over(n, bits=4):
    """`bits` address bits pick data variable bits + (address mod (n - bits)), for sizes between
    those of the address family (n = k + 2**k)."""
    data = n - bits

    def rule(xs):
        chosen = bits + (xs & ((1 << bits) - 1)) % data
        return ((xs >> chosen) & 1) == 1

    return BooleanFunction.from_callable(n, rule, vectorized=True)


def random_with_room(n):
    """The first random function (seed n, n + 1, ...) with no input sensitive to every variable."""
    seed = n
    while True:
        f = BooleanFunction.random(n, seed=seed)
        if f.sensitivity() < n:
            return f, seed
        seed += 1


def cases(n):
    width = 4 if n % 4 == 0 else 2
    roomy, seed = random_with_room(n)
    listed = [
        (f"majority({n})", BooleanFunction.majority(n)),
        (f"tribes({width}, {n // width})", BooleanFunction.tribes(width, n // width)),
        (f"address 4 bits mod {n - 4}", address_over(n)),
        (f"random(seed={n})", BooleanFunction.random(n, seed=n)),
    ]
    if seed != n:
        listed.append((f"random(seed={seed}), s < n", roomy))
    listed.append((f"OR of {n // 4} x 0x1bd8{' + AND2' * (n % 4 // 2)}", or_of_copies(SPREAD, n // 4, n)))
    return listed


# -- the measures ------------------------------------------------------------------------------------


def report(label, ours, shown, peer_time, limit, verdict):
    if limit is None:
        theirs, ratio = "", ""
    elif peer_time is None:
        theirs = f"did not finish in {limit:g} s" if boofun is not None else "boofun missing"
        ratio = f"> {limit / ours:9.1f}x" if boofun is not None else ""
    else:
        theirs = f"boofun {peer_time * 1e3:11.1f} ms"
        ratio = f"{peer_time / ours:11.1f}x"
    print(f"{label:58} {shown:>4} ours {ours * 1e3:10.3f} ms   {theirs:30} {ratio:13} {verdict}", flush=True)


def exponential(name, n, limit):
    for label, f in cases(n):
        value = getattr(f, name)()
        s, c = f.sensitivity(), f.certificate_complexity()
        if name == "block_sensitivity":
            check(label, s <= value <= c)
        else:
            check(label, c <= value <= n)
        ours = best_of(lambda: getattr(f, name)(), 3)
        verdict = f"(target < 30 s: {'met' if ours < 30 else 'MISSED'})"
        peer_value, peer_time = peer(f, name, limit)
        if peer_time is not None:
            check(f"{name} {label} (boofun)", peer_value == value)
        report(f"{name} n={n} {label} [s={s} C={c}]", ours, f"= {value}", peer_time, limit, verdict)


def sensitivities(n, limit):
    f = BooleanFunction.random(n, seed=n)
    expected = reference.sensitivities(f)
    check("sensitivities", np.array_equal(f.sensitivities(), expected))
    ours = best_of(f.sensitivities, 5)
    peer_value, peer_time = peer(f, "sensitivities", limit)
    if peer_time is not None:
        check("sensitivities (boofun)", np.array_equal(np.asarray(peer_value), expected))
    target = 100 if n >= 20 else 1
    speedup = (peer_time if peer_time is not None else limit) / ours
    verdict = f"(target >= {target}x: {'met' if speedup >= target else 'MISSED'})" if boofun is not None else ""
    report(f"sensitivities n={n} random (vs sensitivity_profile)", ours, "", peer_time, limit, verdict)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--depth", default="12,16")
    parser.add_argument("--block", default="10,14")
    parser.add_argument("--sensitivities", default="12,20")
    parser.add_argument("--limit", type=float, default=60)
    parser.add_argument("--stretch", action="store_true")
    args = arguments(parser, {"depth": "8", "block": "8", "sensitivities": "8", "limit": 10.0})
    versions(["numpy", "boofun", "numba"], machine=True)
    for n in sizes(args.sensitivities):
        sensitivities(n, args.limit)
    for n in sizes(args.depth):
        exponential("decision_tree_depth", n, args.limit)
    for n in sizes(args.block):
        exponential("block_sensitivity", n, args.limit)
    if args.stretch:
        for label, f, want in [
            ("tribes(3, 6)", BooleanFunction.tribes(3, 6), 18),
            ("address(4)", BooleanFunction.address(4), 5),
        ]:
            check(label, f.decision_tree_depth() == want)
            ours = best_of(f.decision_tree_depth, 1)
            report(f"decision_tree_depth n={f.n} {label}", ours, f"= {want}", None, None, "(ours only, one run)")


if __name__ == "__main__":
    main()
