"""vexil_kit.cluster against vexil.Vexil on one machine, and the cost of one cut or subset.

The comparison: ``entropy`` at n = 22 on a Dask LocalCluster of W single-threaded worker processes
(each with a one-thread core pool) against ``vexil.Vexil.entropy()`` on a pool of W threads, in the
same run, the values checked bit for bit first. Efficiency = Vexil's time / the cluster's time:
what splitting the work into Dask tasks costs (the cluster is started and warmed before timing,
its start-up is printed apart). Target: >= 0.85.

The cost model (``--cost``): the processor time of one balanced cut (entropy: the restrictions of both
parts) and of one subset (fragmentation, with and without its complement) on one thread, measured
in a child process whose pool has one thread, over a run of ranks in the middle of the walk. These
are the numbers docs/scale.md extrapolates from. No other library computes these measures, so
there is no peer to compare with.

Environment (the project's own plus Dask):

    python3 -m venv .venv-bench
    .venv-bench/bin/pip install scikit-build-core cmake ninja numpy tqdm 'dask[distributed]'
    SKBUILD_BUILD_DIR=build/bench .venv-bench/bin/pip install --no-build-isolation .

Usage: .venv-bench/bin/python bench/bench_cluster.py [--n 22] [--workers 2] [--repeat 1]
           [--cost 18,20,22] [--skip-compare] [--quick]
The machine should be otherwise idle: on a shared one the ratio moves with the neighbours' load.
"""

import argparse
import json
import math
import os
import subprocess
import sys
import time

import numpy as np
from common import arguments, sizes, timed, versions


def compare(n, workers, repeat):
    from dask.distributed import Client, LocalCluster

    import vexil
    from vexil_kit import BooleanFunction, cluster

    f = BooleanFunction.random(n, seed=n)
    start = time.perf_counter()
    local = LocalCluster(
        n_workers=workers, threads_per_worker=1, processes=True, dashboard_address=None, env={"RAYON_NUM_THREADS": "1"}
    )
    with local, Client(local) as client:
        cluster.entropy(BooleanFunction.random(12, seed=0), client=client)  # the workers import vexil_kit
        print(f"cluster of {workers} single-threaded workers started and warmed in {time.perf_counter() - start:.1f} s")
        # Alternated, so that a change in the machine's load falls on both alike.
        theirs = ours = float("inf")
        for _ in range(repeat):
            time_taken, vexil_value = timed(lambda: vexil.Vexil(f.table).entropy())
            theirs = min(theirs, time_taken)
            time_taken, value = timed(lambda: cluster.entropy(f, client=client))
            ours = min(ours, time_taken)
    if np.float32(value).tobytes() != np.float32(vexil_value).tobytes():
        raise SystemExit(f"entropy: the cluster gives {value!r}, Vexil {vexil_value!r}")
    efficiency = theirs / ours
    verdict = "met" if efficiency >= 0.85 else "MISSED"
    print(
        f"entropy n={n}: cluster {ours:8.2f} s   Vexil on {workers} threads {theirs:8.2f} s   "
        f"efficiency {efficiency:5.2f}   (target >= 0.85: {verdict}; value {value!r}, bit-identical)"
    )


def cpu_time(fn):
    """Processor time of fn() on this (single-threaded) process: what a dedicated core would take,
    whatever else the machine runs."""
    start = time.process_time()
    fn()
    return time.process_time() - start


def cost_child(sizes):
    """Runs in a process whose pool has one thread: seconds per cut and per subset."""
    from vexil_kit import BooleanFunction, _native

    rows = []
    for n in sizes:
        f = BooleanFunction.random(n, seed=n)
        cuts = _native.balanced_cut_count(n)
        # About a second of work a line, from the middle of the ranks.
        sample = max(16, min(cuts, int(1.0 / (5e-11 * (1 << n)))))
        begin = (cuts - sample) // 2
        per_cut = cpu_time(lambda: _native.cut_entropies_range(f.table, begin, begin + sample))
        k = n // 2 - 1
        subsets = math.comb(n, k)
        begin = (subsets - sample) // 2
        single = cpu_time(lambda: _native.subset_entropies_range(f.table, k, begin, begin + sample))
        paired = cpu_time(lambda: _native.subset_entropies_range(f.table, k, begin, begin + sample, complements=True))
        rows.append(
            {
                "n": n,
                "cuts": cuts,
                "sample": sample,
                "cut": per_cut / sample,
                "subset": single / sample,
                "pair": paired / sample,
            }
        )
    print(json.dumps(rows))


def cost(sizes):
    env = dict(os.environ, RAYON_NUM_THREADS="1")
    child = subprocess.run(
        [sys.executable, __file__, "--cost-child", ",".join(map(str, sizes))],
        env=env,
        capture_output=True,
        text=True,
        check=True,
    )
    rows = json.loads(child.stdout)
    print("one thread (processor time):")
    print(
        "   n          cuts   time per cut   per cut / 2^n   whole entropy walk   per subset (alone, with complement)"
    )
    for row in rows:
        n = row["n"]
        print(
            f"  {n:2d}  {row['cuts']:12d}   {row['cut'] * 1e6:10.1f} us   "
            f"{row['cut'] / (1 << n) * 1e9:8.3f} ns   {row['cut'] * row['cuts']:12.1f} s   "
            f"{row['subset'] * 1e6:10.1f} us, {row['pair'] * 1e6:10.1f} us"
        )


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--n", type=int, default=22)
    parser.add_argument("--workers", type=int, default=2)
    parser.add_argument("--repeat", type=int, default=1)
    parser.add_argument("--cost", default="18,20,22")
    parser.add_argument("--skip-compare", action="store_true")
    parser.add_argument("--cost-child", help=argparse.SUPPRESS)
    args = arguments(parser, {"n": 14, "cost": "12"})
    if args.cost_child:
        cost_child(sizes(args.cost_child))
        return
    # Vexil's pool: as many threads as the cluster has workers (read once, at its first loop).
    os.environ["RAYON_NUM_THREADS"] = str(args.workers)
    versions(["numpy", "dask", "distributed"], label="with", machine=True)
    if sizes(args.cost):
        cost(sizes(args.cost))
    if not args.skip_compare:
        compare(args.n, args.workers, args.repeat)


if __name__ == "__main__":
    main()
