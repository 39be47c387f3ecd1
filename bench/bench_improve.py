"""Local improvement of circuits (``Circuit.improve``) on a suite of circuits built naively here,
against ABC (AIG: the best of resyn2 and dc2 after strash) and cirbo (B2: its subcircuit
minimisation), each given the same time budget per circuit.

The suite: ripple-carry and carry-lookahead adders with three-gate-deep carries written out, "less
than" and equality comparators, array multipliers of such full adders, majority, threshold,
exactly-k and MOD-3 of up to 16 inputs counted by a row of "at least j so far" gates, and the
coordinates of the PRESENT, Ascon and AES S-boxes as sums of their minterms. Each line gives the
inputs, the gates as built, ours after improvement in B2 (all two-input gates) and the time, cirbo's
in B2, the AND gates as built (after our AIG folding), ours in AIG and ABC's. Every improved circuit
is checked against the function of the one built by simulation here, apart from the library's own
check.

ABC runs from --abc (default /work/abc/root/usr/bin/berkeley-abc, or $ABC; the Debian
berkeley-abc package unpacked), cirbo from --cirbo-python (default /work/venv-cirbo/bin/python, or
$CIRBO_PYTHON); a peer that is missing is reported so and its columns left empty.

Usage: python bench/bench_improve.py [--quick] [--time-limit S] [--only NAME,...]
"""

import argparse
import os
import re
import subprocess
import tempfile
import time
from pathlib import Path

import numpy as np
from common import arguments

from vexil_kit import Circuit, sboxes

# cirbo's side, run in its environment: a bench text on standard input, repeated minimisation
# until a pass gains nothing or the budget is spent; the gates of the best circuit on standard output.
CIRBO = r"""
import sys, time
from cirbo.core.circuit import Circuit
from cirbo.minimization import minimize_subcircuits
budget = float(sys.argv[1])
circuit = Circuit.from_bench_string(sys.stdin.read())
start = time.monotonic()
best = circuit.gates_number()
print(best, flush=True)
while time.monotonic() - start < budget:
    left = budget - (time.monotonic() - start)
    circuit = minimize_subcircuits(circuit, "XAIG", solver_time_limit_sec=max(1, int(min(left, 2))))
    size = circuit.gates_number()
    print(size, flush=True)
    if size >= best:
        break
    best = size
"""


class Builder:
    """Gates over literals (node or None for a constant, complemented), constants folded."""

    def __init__(self, n):
        self.n = n
        self.gates = []

    def var(self, v):
        return (v, False)

    def gate(self, kind, x, y):
        if x[0] is None or y[0] is None:
            (c, cv), other = (x, y) if x[0] is None else (y, x)
            if kind == "and":
                return other if cv else (None, False)
            if kind == "or":
                return (None, True) if cv else other
            return (other[0], other[1] ^ cv)
        fn = {"and": lambda a, b: a & b, "or": lambda a, b: a | b, "xor": lambda a, b: a ^ b}[kind]
        op = sum(fn(a ^ x[1], b ^ y[1]) << (2 * b + a) for a in (0, 1) for b in (0, 1))
        self.gates.append((op, x[0], y[0]))
        return (self.n + len(self.gates) - 1, False)

    def and_(self, x, y):
        return self.gate("and", x, y)

    def or_(self, x, y):
        return self.gate("or", x, y)

    def xor(self, x, y):
        return self.gate("xor", x, y)

    def chain(self, kind, literals):
        acc = literals[0]
        for lit in literals[1:]:
            acc = self.gate(kind, acc, lit)
        return acc

    def circuit(self, outputs):
        return Circuit(self.n, self.gates, outputs=[(node, neg) for node, neg in outputs])


def no(lit):
    return (lit[0], not lit[1])


def full_adder(b, x, y, c):
    """Sum and carry, the carry as (x & y) | (x & c) | (y & c)."""
    s = b.xor(b.xor(x, y), c)
    carry = b.or_(b.or_(b.and_(x, y), b.and_(x, c)), b.and_(y, c))
    return s, carry


def ripple_adder(k):
    b = Builder(2 * k)
    c, outs = (None, False), []
    for i in range(k):
        s, c = full_adder(b, b.var(i), b.var(k + i), c)
        outs.append(s)
    return b.circuit([*outs, c])


def lookahead_adder(k):
    b = Builder(2 * k)
    p = [b.xor(b.var(i), b.var(k + i)) for i in range(k)]
    g = [b.and_(b.var(i), b.var(k + i)) for i in range(k)]
    outs, carries = [], [(None, False)]
    for i in range(k):
        terms = [g[i]] + [b.chain("and", [*p[j + 1 : i + 1], g[j]]) for j in range(i)]
        carries.append(b.chain("or", terms))
    outs = [b.xor(p[i], carries[i]) for i in range(k)]
    return b.circuit([*outs, carries[k]])


def less_than(k):
    b = Builder(2 * k)
    terms = []
    for i in range(k):
        equal = [no(b.xor(b.var(j), b.var(k + j))) for j in range(i + 1, k)]
        terms.append(b.chain("and", [no(b.var(i)), b.var(k + i), *equal]))
    return b.circuit([b.chain("or", terms)])


def equality(k):
    b = Builder(2 * k)
    return b.circuit([b.chain("and", [no(b.xor(b.var(i), b.var(k + i))) for i in range(k)])])


def multiplier(k):
    b = Builder(2 * k)
    rows = [[b.and_(b.var(i), b.var(k + j)) for i in range(k)] for j in range(k)]
    acc = rows[0] + [(None, False)] * k
    for j in range(1, k):
        c = (None, False)
        for i in range(k):
            acc[i + j], c = full_adder(b, acc[i + j], rows[j][i], c)
        acc[j + k] = c
    return b.circuit(acc)


def at_least(b, n, most):
    """The literals "at least j of the n inputs" for j = 0 .. most."""
    row = [(None, True)] + [(None, False)] * most
    for i in range(n):
        x = b.var(i)
        row = [row[0]] + [b.or_(row[j], b.and_(x, row[j - 1])) for j in range(1, most + 1)]
    return row


def threshold(n, t):
    b = Builder(n)
    return b.circuit([at_least(b, n, t)[t]])


def exactly(n, t):
    b = Builder(n)
    row = at_least(b, n, t + 1)
    return b.circuit([b.and_(row[t], no(row[t + 1]))])


def mod3(n):
    b = Builder(n)
    r = [(None, True), (None, False), (None, False)]
    for i in range(n):
        x = b.var(i)
        r = [b.or_(b.and_(r[m], no(x)), b.and_(r[(m - 1) % 3], x)) for m in range(3)]
    return b.circuit([r[0]])


def minterms(n, table, bit):
    """Coordinate ``bit`` of an S-box as the OR of its minterms, each an AND of n literals."""
    b = Builder(n)
    terms = [
        b.chain("and", [b.var(v) if x >> v & 1 else no(b.var(v)) for v in range(n)])
        for x in range(1 << n)
        if table[x] >> bit & 1
    ]
    return b.circuit([b.chain("or", terms)])


def suite(quick):
    """(name, circuit) pairs; --quick keeps the smaller ones."""
    out = []
    for k in (2, 4) if quick else (2, 4, 8):
        out.append((f"ripple-adder-{k}", ripple_adder(k)))
    for k in (4,) if quick else (4, 8):
        out.append((f"lookahead-adder-{k}", lookahead_adder(k)))
    for k in (4,) if quick else (4, 8):
        out.append((f"less-than-{k}", less_than(k)))
    out.append(("equality-8", equality(8)))
    for k in (2, 3) if quick else (2, 3, 4):
        out.append((f"multiplier-{k}x{k}", multiplier(k)))
    for n in (5, 7) if quick else (5, 7, 9, 11, 13, 15):
        out.append((f"majority-{n}", threshold(n, (n + 1) // 2)))
    for n, t in ((8, 3),) if quick else ((8, 3), (12, 4), (16, 2)):
        out.append((f"threshold-{t}-of-{n}", threshold(n, t)))
    for n, t in ((8, 2),) if quick else ((8, 2), (16, 4)):
        out.append((f"exactly-{t}-of-{n}", exactly(n, t)))
    for n in (6,) if quick else (6, 10, 16):
        out.append((f"mod3-{n}", mod3(n)))
    for name, bits in (("PRESENT", range(4)), ("Ascon", range(2)), ("AES", range(1))):
        n, _, table = sboxes.named(name)
        if quick and n > 4:
            continue
        for bit in bits:
            out.append((f"{name}-y{bit}", minterms(n, table, bit)))
    return out


def abc_best(path, circuit, budget):
    """(ANDs, seconds) of ABC's best of strash; resyn2 and strash; dc2 (None when absent)."""
    if not path or not os.path.exists(path):
        return None, None
    best, spent = None, 0.0
    with tempfile.TemporaryDirectory() as folder:
        bench = Path(folder, "c.bench")
        bench.write_text(circuit.to_bench())
        for script in ("strash; resyn2", "strash; dc2"):
            start = time.perf_counter()
            try:
                done = subprocess.run(
                    [path, "-c", f"read_bench {bench}; {script}; print_stats"],
                    capture_output=True,
                    text=True,
                    timeout=max(budget, 1),
                )
            except subprocess.TimeoutExpired:
                continue
            spent += time.perf_counter() - start
            found = re.search(r"and\s*=\s*(\d+)", re.sub(r"\x1b\[[0-9;]*m", "", done.stdout))
            if found:
                best = int(found.group(1)) if best is None else min(best, int(found.group(1)))
    return best, spent


def cirbo_best(python, circuit, budget):
    """(gates, seconds) of cirbo's repeated subcircuit minimisation (None when absent)."""
    if not python or not os.path.exists(python):
        return None, None
    start = time.perf_counter()
    try:
        done = subprocess.run(
            [python, "-c", CIRBO, str(budget)],
            input=circuit.to_bench(),
            capture_output=True,
            text=True,
            timeout=budget + 10,
        )
        lines = done.stdout.split()
    except subprocess.TimeoutExpired as stopped:
        lines = (stopped.stdout or b"").decode().split()
    seconds = time.perf_counter() - start
    return (min(map(int, lines)) if lines else None), seconds


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--time-limit", type=float, default=10.0, help="seconds per circuit and tool (default 10)")
    parser.add_argument("--only", default="", help="comma-separated circuit names")
    parser.add_argument("--abc", default=os.environ.get("ABC", "/work/abc/root/usr/bin/berkeley-abc"))
    parser.add_argument("--cirbo-python", default=os.environ.get("CIRBO_PYTHON", "/work/venv-cirbo/bin/python"))
    parser.add_argument("--no-peers", action="store_true", help="our side only")
    args = arguments(parser, {"time_limit": 1.0})
    abc = None if args.no_peers else args.abc
    cirbo = None if args.no_peers else args.cirbo_python
    have_abc = abc if abc and os.path.exists(abc) else "missing"
    have_cirbo = cirbo if cirbo and os.path.exists(cirbo) else "missing"
    print(f"ABC: {have_abc}; cirbo: {have_cirbo}")
    print(f"time limit per circuit and tool: {args.time_limit:g} s")
    header = (
        f"{'circuit':22} {'n':>3} {'B2 in':>6} {'ours':>5} {'s':>6} {'cirbo':>6} {'s':>6} "
        f"{'AIG in':>6} {'ours':>5} {'s':>6} {'ABC':>5} {'s':>5}"
    )
    print(header)
    totals = np.zeros(6)
    only = {name for name in args.only.split(",") if name}
    for name, circuit in suite(args.quick):
        if only and name not in only:
            continue
        tables = circuit.tables()
        b2, b2_summary = circuit.improve("B2", time_limit=args.time_limit)
        aig, aig_summary = circuit.improve("AIG", time_limit=args.time_limit)
        for better in (b2, aig):
            if not np.array_equal(better.tables(), tables):
                raise SystemExit(f"{name}: the improved circuit computes something else")
        aig_in = Circuit(circuit.inputs, circuit.gates, outputs=circuit.outputs).improve("AIG", time_limit=0)
        c_size, c_time = cirbo_best(cirbo, circuit, args.time_limit)
        a_size, a_time = abc_best(abc, circuit, args.time_limit)
        row = (
            f"{name:22} {circuit.inputs:3} {circuit.size:6} {b2.size:5} {b2_summary.seconds:6.1f} "
            f"{'-' if c_size is None else c_size:>6} {'-' if c_time is None else f'{c_time:.1f}':>6} "
            f"{aig_in.circuit.size:6} {aig.size:5} {aig_summary.seconds:6.1f} "
            f"{'-' if a_size is None else a_size:>5} {'-' if a_time is None else f'{a_time:.1f}':>5}"
        )
        print(row, flush=True)
        totals += [circuit.size, b2.size, c_size or 0, aig_in.circuit.size, aig.size, a_size or 0]
    print(
        f"{'total':26} {totals[0]:6.0f} {totals[1]:5.0f} {'':6} {totals[2]:6.0f} {'':6} "
        f"{totals[3]:6.0f} {totals[4]:5.0f} {'':6} {totals[5]:5.0f}"
    )


if __name__ == "__main__":
    main()
