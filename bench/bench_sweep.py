"""vexil_kit.sweep over all 616,126 NPN classes of five-variable functions, and against per-function loops.

The main line sweeps every class representative (``five_input_classes()``) over twelve measures and
checks the time against the target: under 2 minutes on the project's 2-core build machine. Then, on a
sample of the classes, the sweep is compared with the loops one would otherwise write: calling our
own BooleanFunction methods one function at a time, SageMath's
``sage.crypto.boolean_function.BooleanFunction`` (from passagemath) for the nonlinearity and the
algebraic degree, and boofun for total influence, Fourier degree and sensitivity. Each peer's
values are checked against the sweep's before timing; each line prints our time, the peer's time
in this run, the speed-up (peer / ours) and whether it reaches the target. The peers are slow per
function, so their loops run once on the sample; ours are best of a few runs. With ``--dask N`` the
full sweep also runs on a local Dask cluster of N single-thread worker processes and must give the
same table. A peer that does not import is reported missing and its lines are skipped.

The peers belong in a benchmark-only environment, never in the project's dependencies:

    python3 -m venv .venv-bench
    .venv-bench/bin/pip install scikit-build-core cmake ninja numpy pandas pyarrow 'dask[distributed]'
    SKBUILD_BUILD_DIR=build/bench .venv-bench/bin/pip install --no-build-isolation .
    .venv-bench/bin/pip install passagemath-modules passagemath-brial boofun numba

Usage: .venv-bench/bin/python bench/bench_sweep.py [--sample 2000] [--repeat 2] [--dask 2] [--first N] [--quick]
"""

import argparse
import functools
import itertools

import common
import numpy as np
from common import SAGE_AND_BOOFUN, SageFunction, arguments, best_of, boofun, check, timed, versions

from vexil_kit import BooleanFunction
from vexil_kit.sweeps import five_input_classes, sweep

MEASURES = [
    "minimal_gates",
    "entropy",
    "entanglement",
    "fourier_degree",
    "nonlinearity",
    "algebraic_degree",
    "max_sensitivity",
    "total_influence",
    "certificate_complexity",
    "block_sensitivity",
    "spectral_entropy",
    "weight",
]
#: Seconds the full sweep may take on the 2-core build machine.
FULL_TARGET = 120.0

report = functools.partial(common.report, width=58)


def full(repeat, first):
    classes = five_input_classes()  # also builds the gate database, outside the timer
    swept = list(itertools.islice(classes, first)) if first else classes
    seconds = best_of(lambda: sweep(swept, MEASURES), repeat)
    which = f"the first {first:,}" if first else f"all {len(classes):,}"
    judged = common.verdict(seconds <= FULL_TARGET, f"< {FULL_TARGET:g} s") if not first else "(no target)"
    print(
        f"sweep of {which} five-input classes x {len(MEASURES)} measures: {seconds:7.2f} s "
        f"({len(swept) / seconds:,.0f} functions/s) {judged}"
    )
    return classes


def distributed(classes, workers):
    from dask.distributed import Client, LocalCluster

    local = sweep(classes, MEASURES)
    with LocalCluster(n_workers=workers, threads_per_worker=1, processes=True, dashboard_address=":0") as cluster:
        with Client(cluster) as client:
            # The workers import the package and build the gate database before the timer.
            sweep(list(itertools.islice(classes, 64)), ["minimal_gates"], client=client, batch_size=8)
            seconds, remote = timed(lambda: sweep(classes, MEASURES, client=client))
    check("dask sweep", remote.equals(local))
    print(f"the same sweep on a local Dask cluster of {workers} worker processes: {seconds:7.2f} s (equal table)")


def sample_of(classes, size):
    """``size`` classes chosen at random (seeded), as BooleanFunctions, in class order."""
    ((n, rows),) = classes.runs
    chosen = np.sort(np.random.default_rng(0).choice(len(rows), size, replace=False))
    return [BooleanFunction.from_int(int.from_bytes(rows[i].tobytes(), "little"), n) for i in chosen.tolist()]


def method_loop(sample, repeat):
    ours = best_of(lambda: sweep(sample, MEASURES), repeat)
    peer_time, _ = timed(lambda: [[getattr(f, m)() for m in MEASURES] for f in sample])
    report(f"{len(sample)} classes x {len(MEASURES)} measures (vs method calls)", ours, "methods", peer_time, 5)


def sage(sample, repeat):
    if SageFunction is None:
        print("nonlinearity, algebraic_degree: sage.crypto.boolean_function missing, skipped")
        return
    names = ["nonlinearity", "algebraic_degree"]
    frame = sweep(sample, names)

    def peer():
        values = []
        for f in sample:
            g = SageFunction(f.table.tolist())  # entry i = f(i), as ours
            values.append((g.nonlinearity(), g.algebraic_degree()))
        return values

    peer_time, values = timed(peer)
    check("sage", values == list(zip(frame["nonlinearity"].tolist(), frame["algebraic_degree"].tolist(), strict=True)))
    report(
        f"{len(sample)} classes: nonlinearity, algebraic_degree",
        best_of(lambda: sweep(sample, names), repeat),
        "sage",
        peer_time,
        100,
    )


def boofun_loop(sample, repeat):
    if boofun is None:
        print("total_influence, fourier_degree, max_sensitivity: boofun missing, skipped")
        return
    names = ["total_influence", "fourier_degree", "max_sensitivity"]
    frame = sweep(sample, names)
    boofun.create(sample[0].table).total_influence()  # numba compiles on the first call

    def peer():
        values = []
        for f in sample:
            g = boofun.create(f.table)  # entry i = f(i), variable v = bit v, as ours
            values.append((g.total_influence(), g.degree(), g.sensitivity()))
        return values

    peer_time, values = timed(peer)
    expected = list(zip(*(frame[name].tolist() for name in names), strict=True))
    check("boofun", values == expected)
    report(
        f"{len(sample)} classes: total_influence, fourier_degree, sensitivity",
        best_of(lambda: sweep(sample, names), repeat),
        "boofun",
        peer_time,
        100,
    )


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--sample", type=int, default=2000, help="classes in the per-function comparisons")
    parser.add_argument("--repeat", type=int, default=2, help="runs of the full sweep (best is reported)")
    parser.add_argument("--dask", type=int, default=0, metavar="N", help="also sweep on a Dask cluster of N workers")
    parser.add_argument("--first", type=int, default=0, metavar="N", help="sweep only the first N classes (0: all)")
    args = arguments(parser, {"sample": 50, "repeat": 1, "first": 2000})
    versions(["numpy", "pandas", "pyarrow", "distributed", *SAGE_AND_BOOFUN[1:]], label="versions")
    classes = full(args.repeat, args.first)
    if args.dask:
        distributed(classes, args.dask)
    sample = sample_of(classes, args.sample)
    method_loop(sample, 3)
    sage(sample, 3)
    boofun_loop(sample, 3)


if __name__ == "__main__":
    main()
