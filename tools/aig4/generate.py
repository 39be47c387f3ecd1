"""Proves the smallest AND-inverter graph of every NPN class of four-input functions, by SAT.

Writes ``python/vexil_kit/synthesis/aig4.txt``, one line a class, as classes finish: the class's
least table (hex), its optimum (AND gates), the seconds the proof took, then the gates as op,a,b
and the output as node,negated (node -1: a constant). The run is resumable: classes already in the
file are skipped, so it can be stopped and restarted at will. Every circuit is checked by the
search on all inputs before it is written.

    .venv/bin/python tools/aig4/generate.py [--jobs 2]
"""

from __future__ import annotations

import argparse
import multiprocessing
import pathlib
import time

import numpy as np

from vexil_kit.synthesis import aig4
from vexil_kit.synthesis.search import synthesize_tables

OUTPUT = pathlib.Path(__file__).resolve().parents[2] / "python" / "vexil_kit" / "synthesis" / "aig4.txt"


def prove(table: int) -> str:
    bits = np.array([table >> x & 1 for x in range(16)], dtype=np.bool_)
    found = synthesize_tables(4, [bits], "AIG", known_optima=False)
    assert found.optimal and found.circuit is not None
    circuit = found.circuit
    gates = " ".join(f"{op},{a},{b}" for op, a, b in circuit.gates)
    node, negated = circuit.outputs[0]
    output = f"{-1 if node is None else node},{int(negated)}"
    return f"0x{table:04x} {found.upper_bound} {found.seconds:.2f} {gates} {output}".replace("  ", " ")


def main() -> None:
    parser = argparse.ArgumentParser()
    parser.add_argument("--jobs", type=int, default=2)
    args = parser.parse_args()
    done = set(aig4.read(OUTPUT)) if OUTPUT.exists() else set()
    todo = [t for t in aig4.class_tables() if t not in done]
    print(f"{len(done)} classes done, {len(todo)} to go", flush=True)
    start = time.monotonic()
    with multiprocessing.Pool(args.jobs) as pool, OUTPUT.open("a") as out:
        for line in pool.imap_unordered(prove, todo):
            out.write(line + "\n")
            out.flush()
            print(f"{time.monotonic() - start:8.1f} s  {line[:40]}", flush=True)


if __name__ == "__main__":
    main()
