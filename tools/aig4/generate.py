"""Proves the smallest AND-inverter graph of every NPN class of four-input functions, by SAT.

Writes ``python/vexil_kit/synthesis/aig4.txt``, one line a class, as classes finish: the class's
least table (hex), its optimum (AND gates), the solver seconds the proof took, then the gates as
op,a,b and the output as node,negated (node -1: a constant). Every circuit is checked by the search
on all inputs before it is written.

The search runs in slices (``--slice`` seconds a class); a class not settled within its slice
goes to ``tools/aig4/progress.txt`` with the lower bound proven so far and the seconds spent, and
is taken up again from there in the next pass, after the other classes. The run can be stopped at
any time and restarted: classes already written are skipped, and proven bounds are kept.

    .venv/bin/python tools/aig4/generate.py [--jobs 2] [--slice 600] [--split-levels]

The last class, 0x1683, was settled with ``--split-levels`` after 2,100 s without it.
"""

from __future__ import annotations

import argparse
import multiprocessing
import os
import pathlib
import time

import numpy as np

from vexil_kit.synthesis import aig4
from vexil_kit.synthesis.search import synthesize_tables

ROOT = pathlib.Path(__file__).resolve().parents[2]
OUTPUT = ROOT / "python" / "vexil_kit" / "synthesis" / "aig4.txt"
PROGRESS = ROOT / "tools" / "aig4" / "progress.txt"

Pending = dict[int, tuple[int, float]]  # least table -> (lower bound proven, seconds spent)


def prove(job: tuple[int, int, float, float, bool]) -> tuple[int, str | None, int, float]:
    """(table, the class's line or None, lower bound, seconds spent in all) after one slice."""
    table, at_least, spent, limit, split = job
    bits = np.array([table >> x & 1 for x in range(16)], dtype=np.bool_)
    found = synthesize_tables(
        4, [bits], "AIG", time_limit=limit, at_least=at_least, known_optima=False, split_levels=split
    )
    spent += found.seconds
    if not found.optimal:
        return table, None, found.lower_bound, spent
    assert found.circuit is not None
    gates = [f"{op},{a},{b}" for op, a, b in found.circuit.gates]
    node, negated = found.circuit.outputs[0]
    output = f"{-1 if node is None else node},{int(negated)}"
    return table, " ".join([f"0x{table:04x}", str(found.upper_bound), f"{spent:.2f}", *gates, output]), 0, spent


def read_progress() -> Pending:
    pending: Pending = {}
    if PROGRESS.exists():
        for line in PROGRESS.read_text().splitlines():
            if line.strip() and not line.startswith("#"):
                table, lower, spent = line.split()
                pending[int(table, 16)] = (int(lower), float(spent))
    return pending


def write_progress(pending: Pending) -> None:
    lines = ["# least table, AND gates proven necessary so far, solver seconds spent\n"]
    lines += [f"0x{t:04x} {lower} {spent:.1f}\n" for t, (lower, spent) in sorted(pending.items())]
    temporary = PROGRESS.with_suffix(".tmp")
    temporary.write_text("".join(lines))
    os.replace(temporary, PROGRESS)


def main() -> None:
    parser = argparse.ArgumentParser()
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--slice", type=float, default=600.0, help="seconds a class gets in one pass")
    parser.add_argument("--split-levels", action="store_true", help="split sizes not settled in 2 s by levels")
    args = parser.parse_args()
    start = time.monotonic()
    with multiprocessing.Pool(args.jobs) as pool:
        while True:
            done = set(aig4.read(OUTPUT)) if OUTPUT.exists() else set()
            pending = {t: v for t, v in read_progress().items() if t not in done}
            todo = [t for t in aig4.class_tables() if t not in done]
            print(f"{len(done)} classes done, {len(todo)} to go", flush=True)
            if not todo:
                break
            jobs = [(t, *pending.get(t, (0, 0.0)), args.slice, args.split_levels) for t in todo]
            for table, line, lower, spent in pool.imap_unordered(prove, jobs):
                if line is None:
                    pending[table] = (lower, spent)
                else:
                    pending.pop(table, None)
                    with OUTPUT.open("a") as out:
                        out.write(line + "\n")
                write_progress(pending)
                state = line[:40] if line else f"0x{table:04x} needs more than {lower - 1} ANDs"
                print(f"{time.monotonic() - start:8.1f} s  {state}", flush=True)
    if PROGRESS.exists():
        PROGRESS.unlink()


if __name__ == "__main__":
    main()
