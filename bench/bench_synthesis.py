"""Exact synthesis against cirbo (a SAT circuit finder on CaDiCaL), same functions and basis, one run.

For each function: the proven optimum (B2 gates; cirbo's XAIG basis, all gates reading both operands,
gives the same sizes), our time and cirbo's, each searching up from the same lower bound (the
essential variables less one) until a circuit is found; then the multiplicative complexity of every
five-input function of the set; then, with --classes, every NPN class of four-input functions in
every basis; then, with --levels, hard four-input classes in AIG without the table of proven optima,
the whole question of each size (the default) against the same split by levels. The
five-input functions are searched without the gate database (database=False) and
their optimum is checked against it; the other functions use the database's upper bounds as the
library does. cirbo runs in its own environment (--cirbo-python, default .venv-bench/bin/python,
or $CIRBO_PYTHON); without it only our side is run, and the script says so.

First, the anytime figures: for majority functions, the size of the first circuit (built before
the SAT search) and its time, then the bounds held after --anytime-limit seconds (default 10).

Usage: python bench/bench_synthesis.py [--quick] [--classes] [--levels] [--limit S] [--anytime-limit S]
       [--cirbo-python PATH]
"""

import argparse
import json
import os
import statistics
import subprocess
import time

import numpy as np

from vexil_kit import BooleanFunction
from vexil_kit.predicates import essential_variables as essential
from vexil_kit.synthesis import synthesize_tables

# Four-input NPN classes whose AIG optimum takes minutes to prove (least table, optimum).
HARD_AIG = [(0x0168, 9), (0x1669, 10), (0x1698, 9), (0x166B, 10), (0x1683, 10)]

# cirbo's side, run in its environment: tables in cirbo's order come in on standard input.
CIRBO = r"""
import json, sys, time
from cirbo.core.truth_table import TruthTableModel
from cirbo.synthesis.circuit_search import CircuitFinderSat, Basis
job = json.loads(sys.stdin.read())
start = time.monotonic()
size, proven = None, False
for k in range(job["lower"], job["upper"] + 1):
    left = job["limit"] - (time.monotonic() - start)
    if left < 1:
        break
    try:
        c = CircuitFinderSat(TruthTableModel(job["tables"]), k, basis=Basis.XAIG).find_circuit(time_limit=int(left))
    except Exception as error:
        if type(error).__name__ == "NoSolutionError":
            continue
        break
    got = [[bool(v) for v in row] for row in c.get_truth_table()]
    assert got == job["tables"], "cirbo's circuit computes another function"
    size, proven = k, True
    break
print(json.dumps({"size": size, "proven": proven, "seconds": time.monotonic() - start}))
"""


def table(n, f):
    xs = np.arange(1 << n)
    return np.array([bool(f(int(x))) for x in xs])


def random_circuit_function(rng, gates):
    """A five-input function of a random circuit, with all five variables essential."""
    while True:
        values = [(np.arange(32) >> v) & 1 for v in range(5)]
        for _ in range(gates):
            a, b = rng.choice(len(values), 2, replace=False)
            op = int(rng.integers(1, 15))
            values.append((op >> (values[a] | values[b] << 1)) & 1)
        t = values[-1].astype(bool)
        if len(essential(t)) == 5:
            return t


def function_set(quick):
    rng = np.random.default_rng(2026)
    cases = []
    by_size = {}
    wanted = {5: 2, 6: 2, 7: 2} if not quick else {5: 1}
    while any(by_size.get(k, 0) < c for k, c in wanted.items()):
        t = random_circuit_function(rng, int(rng.integers(5, 12)))
        size = BooleanFunction(t).minimal_gates()
        if by_size.get(size, 0) < wanted.get(size, 0):
            by_size[size] = by_size.get(size, 0) + 1
            cases.append((f"random5 {BooleanFunction(t).to_hex()}", 5, [t], {"database": False, "check": size}))
    for g_hex in ["0xe8", "0x6996"] if quick else ["0xe8", "0x8000", "0xcafe", "0x1ee1", "0x6996"]:
        g = BooleanFunction.from_hex(g_hex).extend(5)
        cases.append((f"{g_hex} ^ x5", 6, [np.concatenate([g.table, ~g.table])], {"check": g.minimal_gates() + 1}))
    weight = np.array([bin(x).count("1") for x in range(64)])
    symmetric = {
        "xor6": weight % 2 == 1,
        "and6": weight == 6,
        "weight>=5 of 6": weight >= 5,
        "weight in {2,3} of 6": (weight == 2) | (weight == 3),
    }
    for name, t in list(symmetric.items())[: 2 if quick else None]:
        cases.append((name, 6, [t], {}))
    xs = np.arange(8)
    w3 = (xs & 1) + (xs >> 1 & 1) + (xs >> 2)
    cases.append(("full adder", 3, [(w3 & 1).astype(bool), w3 >= 2], {}))
    x4 = np.arange(16)
    a, b = x4 & 3, x4 >> 2
    cases.append(("2-bit adder", 4, [((a + b) >> i & 1).astype(bool) for i in range(3)], {}))
    cases.append(("2-bit multiplier", 4, [((a * b) >> i & 1).astype(bool) for i in range(4)], {}))
    return cases


# (function, basis): the anytime figures.
ANYTIME = [("majority", 5, "AIG"), ("majority", 7, "B2"), ("majority", 7, "MC"), ("majority", 7, "AIG")]


def anytime(limit, quick):
    """The first circuit's size and time, and the bounds after `limit` seconds, of each ANYTIME case."""
    from vexil_kit.synthesis import constructive

    print(f"anytime synthesis: the first circuit, then the bounds after {limit:g} s")
    for family, n, basis in ANYTIME[:3] if quick else ANYTIME:
        f = getattr(BooleanFunction, family)(n)
        start = time.monotonic()
        gates, _ = constructive.first_circuit(n, [f.table], basis, None)
        first, first_s = constructive.size(gates, basis), time.monotonic() - start
        found = f.synthesize(basis, time_limit=limit)
        assert found.circuit.to_function() == f
        state = "optimal" if found.optimal else f"between {found.lower_bound} and {found.upper_bound}"
        print(
            f"  {family}({n}) {basis:4} first {first:3} in {first_s:.3f} s; after {found.seconds:.1f} s: {state}",
            flush=True,
        )


def cirbo(python, n, tables, lower, upper, limit):
    # cirbo orders a table with input 0 as the most significant bit.
    order = [int(f"{i:0{n}b}"[::-1], 2) for i in range(1 << n)] if n else [0]
    job = {"tables": [[bool(t[j]) for j in order] for t in tables], "lower": lower, "upper": upper, "limit": limit}
    try:
        done = subprocess.run(
            [python, "-c", CIRBO], input=json.dumps(job), capture_output=True, text=True, timeout=limit + 30
        )
    except subprocess.TimeoutExpired:
        return {"size": None, "proven": False, "seconds": float(limit)}
    if done.returncode:
        return {"size": None, "proven": False, "seconds": float("nan"), "error": done.stderr[-300:]}
    return json.loads(done.stdout.strip().splitlines()[-1])


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--quick", action="store_true", help="a few functions, for CI")
    parser.add_argument("--classes", action="store_true", help="also every NPN class of four-input functions")
    parser.add_argument("--limit", type=float, default=120.0, help="seconds per function and side")
    parser.add_argument("--levels", action="store_true", help="also hard AIG classes, whole against split")
    parser.add_argument("--class-limit", type=float, default=5.0, help="seconds per NPN class and basis")
    parser.add_argument("--anytime-limit", type=float, default=10.0, help="seconds per anytime case")
    parser.add_argument("--cirbo-python", default=os.environ.get("CIRBO_PYTHON", ".venv-bench/bin/python"))
    args = parser.parse_args()
    anytime(args.anytime_limit, args.quick)
    has_cirbo = os.path.exists(args.cirbo_python)
    if not has_cirbo:
        print(f"cirbo's environment ({args.cirbo_python}) is missing: only vexil's side runs")
    print(f"{'function':26} {'n':>2} {'optimum':>8} {'vexil s':>9} {'cirbo s':>9} {'ratio':>7}")
    ratios, missed, rows = [], [], []
    for name, n, tables, options in function_set(args.quick):
        check = options.pop("check", None)
        lower = max(len(essential(t)) for t in tables) - 1
        ours = synthesize_tables(n, tables, "B2", time_limit=args.limit, **options)
        if check is not None and ours.optimal:
            assert ours.upper_bound == check, (name, ours.upper_bound, check)
        size = ours.upper_bound if ours.optimal else None
        theirs = None
        if has_cirbo:
            theirs = cirbo(args.cirbo_python, n, tables, max(lower, 1), ours.upper_bound or 30, args.limit)
        text = f"{ours.upper_bound}" if ours.optimal else f"[{ours.lower_bound},{ours.upper_bound}]"
        line = f"{name:26} {n:>2} {text:>8} {ours.seconds:9.2f} "
        if theirs is None:
            line += f"{'-':>9}"
        else:
            line += f"{theirs['seconds']:9.2f}" if theirs["proven"] else f"{'>' + format(theirs['seconds'], '.0f'):>9}"
            if theirs["proven"]:
                if size is None:
                    missed.append(name)
                else:
                    assert theirs["size"] == size, (name, theirs, size)
                    ratios.append(theirs["seconds"] / ours.seconds)
                    line += f" {ratios[-1]:6.1f}x"
        rows.append((name, n, tables))
        print(line, flush=True)
    if ratios:
        print(f"median ratio cirbo / vexil on {len(ratios)} instances both prove: {statistics.median(ratios):.1f}x")
    print(f"instances cirbo proves and vexil does not: {missed or 'none'}")
    print("multiplicative complexity of the five-input functions:")
    for name, n, tables in rows:
        if n == 5:
            found = synthesize_tables(n, tables, "MC", time_limit=args.limit)
            state = "proven" if found.optimal else f"[{found.lower_bound},{found.upper_bound}]"
            print(f"  {name:26} MC {found.upper_bound} {state} in {found.seconds:.2f} s")
    if args.classes:
        classes = [f.to_int() for f in BooleanFunction.npn_classes(4)]
        print(f"{len(classes)} NPN classes of four-input functions, every basis:")
        for basis in ("B2", "XAG", "AIG", "MC"):
            start, sizes, unproven = time.monotonic(), {}, 0
            for t in classes:
                found = synthesize_tables(4, [table(4, lambda x, t=t: t >> x & 1)], basis, time_limit=args.class_limit)
                unproven += not found.optimal
                sizes[found.upper_bound] = sizes.get(found.upper_bound, 0) + 1
            spread = ", ".join(f"{k}: {v}" for k, v in sorted(sizes.items()))
            print(f"  {basis:4} {time.monotonic() - start:7.2f} s, unproven {unproven}, classes by size {{{spread}}}")
        from vexil_kit.synthesis import aig4

        lines = [line.split() for line in aig4.TABLE.read_text().splitlines() if line.strip()]
        seconds = sorted(float(fields[2]) for fields in lines)
        print(
            f"  AIG table: {len(lines)} classes proven by SAT offline in {sum(seconds):.0f} s of solver time"
            f" (median {statistics.median(seconds):.2f} s, longest {seconds[-1]:.0f} s)"
        )
    if args.levels:
        levels(args.limit)


def levels(limit):
    """Hard AIG classes searched from the B2 optimum up, unsplit (the baseline) and split by levels."""
    print(f"AIG, four-input classes without the table, {limit:.0f} s a side: unsplit against split by levels")
    for t, optimum in HARD_AIG:
        tables = [table(4, lambda x, t=t: t >> x & 1)]
        times = []
        for split in (False, True):
            found = synthesize_tables(4, tables, "AIG", time_limit=limit, known_optima=False, split_levels=split)
            if found.optimal:
                assert found.upper_bound == optimum, (hex(t), found.upper_bound, optimum)
            times.append(found.seconds if found.optimal else None)
        shown = [f"{s:9.1f}" if s is not None else f"{'>' + format(limit, '.0f'):>9}" for s in times]
        ratio = f" {times[0] / times[1]:6.1f}x" if None not in times else ""
        print(f"  0x{t:04x} optimum {optimum:2}  unsplit {shown[0]} s  split {shown[1]} s{ratio}", flush=True)


if __name__ == "__main__":
    main()
