"""How soon Ctrl-C is answered: the longest latency over many trials, call by call.

Each trial starts a child interpreter, builds the case's object, starts the long call and sends a
real SIGINT at a random moment (--earliest to --latest seconds in); the latency is the time from the
signal to the KeyboardInterrupt. The cases are the test suite's own (tests/test_ctrl_c.py), at the
sizes found deaf before: the S-box tables and streamed measures of 14 and 24 inputs, the cycle type
of a 2**24 cycle, the sorted DDT rows of 32-bit outputs, a ten-variable approximate degree and an
exact circuit search. The target is under a second for every trial.

Usage: python bench/bench_interrupts.py [--trials 20] [--only NAME,...] [--quick]
"""

import argparse
import random
import statistics
import subprocess

from common import arguments, verdict

# isort: split
# common puts tests/ on the path: the suite's harness and cases
from children import interrupt_call
from test_ctrl_c import CASES

NAMES = [
    "kit vectorial walsh_table",
    "kit vectorial lat",
    "kit vectorial boomerang_uniformity",
    "kit vectorial differential_branch_number",
    "kit vectorial cycle_type",
    "kit vectorial sorted DDT rows",
    "kit approximate_degree",
    "kit synthesis",
    "kit fragmentation_spectrum",
]


def trials(name, count, earliest, latest, rng, timeout):
    """The latencies of `count` interrupted trials (at most twice as many tried), and a line for each
    trial that was not: a call that ended before its signal (the later signals then come sooner), a
    child that failed, or one still running `timeout` s on (a hang, counted as an infinite latency)."""
    case = CASES[name]
    latencies, others = [], []
    attempts = 0
    while len(latencies) < count and attempts < 2 * count:
        attempts += 1
        at = rng.uniform(earliest, latest)
        try:
            stopped = interrupt_call(case.setup, delay=at, timeout=timeout)
        except subprocess.TimeoutExpired:
            latencies.append(float("inf"))
            others.append(f"signal at {at:.2f} s: no answer within {timeout:.0f} s")
            continue
        if stopped.interrupted:
            latencies.append(stopped.latency)
        elif stopped.lines[:1] == ["finished"]:
            # A call shorter than the window: later signals come earlier, inside it.
            others.append(f"signal at {at:.2f} s: the call had finished")
            latest = max(earliest, 0.8 * at)
        else:
            others.append(f"signal at {at:.2f} s: status {stopped.status}, {stopped.err.strip()[-200:]!r}")
    return latencies, others


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--trials", type=int, default=20)
    parser.add_argument("--earliest", type=float, default=0.1)
    parser.add_argument("--latest", type=float, default=1.5)
    parser.add_argument("--only", default=",".join(NAMES))
    parser.add_argument("--seed", type=int, default=1)
    parser.add_argument("--timeout", type=float, default=60.0, help="seconds after the signal that count as a hang")
    args = arguments(parser, {"trials": 1, "only": "kit vectorial lat,kit approximate_degree"})
    rng = random.Random(args.seed)
    print(f"{'call':44} {'trials':>6} {'median':>8} {'max':>8}")
    for name in args.only.split(","):
        latencies, others = trials(name, args.trials, args.earliest, args.latest, rng, args.timeout)
        if latencies:
            worst = max(latencies)
            median = statistics.median(latencies)
            met = verdict(worst < 1.0, "max < 1 s")
            print(f"{name:44} {len(latencies):>6} {median:7.3f}s {worst:7.3f}s   {met}", flush=True)
        for line in others:
            print(f"    {line}", flush=True)


if __name__ == "__main__":
    main()
