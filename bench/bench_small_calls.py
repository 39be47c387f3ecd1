"""Small calls and the worker pool: the latency of one small measure right after the calling thread
was busy in Python, against the same call back to back.

A pool whose workers sleep wakes them when a loop starts; on a loaded machine a worker that took a
chunk may wait a scheduler slice before it runs, and the caller waits for it. Loops small enough to
run on the calling thread never see that. Prints, per case, the back-to-back median, the 90th
percentile of calls made each after 50 ms of busy Python, their ratio, and that percentile as a
multiple of the same percentile of a NumPy call on 2^10 values: busy Python leaves the caches and
predictors cold, and every native call pays for it (a 2 us call takes about 0.1 ms), so the last
column is what the call adds to what any native call costs there.

    PYTHONPATH=python python bench/bench_small_calls.py [--rounds 200]
"""

import argparse
import os
import statistics
import time

import numpy as np
from common import arguments

from vexil_kit import BooleanFunction, VectorialFunction


def busy(seconds):
    """Pure-Python work that holds the calling thread for `seconds`."""
    end = time.perf_counter() + seconds
    x = 0
    while time.perf_counter() < end:
        for i in range(200):
            x += i * i
    return x


def cases():
    aes = VectorialFunction.named("AES")
    rng = np.random.default_rng(1)
    table = BooleanFunction(rng.integers(0, 2, 1 << 10).astype(bool))
    values = rng.integers(0, 2, 1 << 10)
    return [
        ("AES differential_uniformity (2^8)", aes.differential_uniformity),
        ("AES nonlinearity (2^8)", aes.nonlinearity),
        ("2^10 table entanglement", table.entanglement),
        ("2^10 table nonlinearity", table.nonlinearity),
        ("2^10 table certificate_complexity", table.certificate_complexity),
        ("2^10 table block_sensitivity", table.block_sensitivity),
        # Never pooled: what any small native call pays after busy Python (caches, scheduler).
        ("2^10 table weight (floor)", table.weight),
        ("NumPy sum of 2^10 values (floor)", values.sum),
    ]


def percentile(values, q):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(q * len(ordered)))]


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--rounds", type=int, default=200, help="calls timed after busy Python, per case")
    parser.add_argument("--busy-ms", type=float, default=50.0, help="busy Python before each such call")
    args = arguments(parser, quick={"rounds": 8, "busy_ms": 5.0})
    print(f"RAYON_NUM_THREADS={os.environ.get('RAYON_NUM_THREADS', '(unset)')}  cpus={os.cpu_count()}")
    print(f"{'case':36} {'median ms':>10} {'p90 busy ms':>12} {'ratio':>7} {'x floor':>8}")
    rows = []
    for name, call in cases():
        for _ in range(20):
            call()
        back_to_back = []
        for _ in range(args.rounds):
            start = time.perf_counter()
            call()
            back_to_back.append(time.perf_counter() - start)
        after_busy = []
        for _ in range(args.rounds // 4 or 1):
            busy(args.busy_ms / 1000)
            start = time.perf_counter()
            call()
            after_busy.append(time.perf_counter() - start)
        rows.append((name, statistics.median(back_to_back), percentile(after_busy, 0.9)))
    floor = rows[-1][2]
    for name, median, p90 in rows:
        print(f"{name:36} {median * 1e3:10.3f} {p90 * 1e3:12.3f} {p90 / median:7.1f} {p90 / floor:8.2f}")


if __name__ == "__main__":
    main()
