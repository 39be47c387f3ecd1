"""Writes ``python/vexil_kit/affine_classes4.txt``: the canonical tables of the affine classes of 4-bit
permutations, computed from scratch by the core (``vexil_kit._native.affine_classes``).

One line a class, in increasing order of the table: its 16 entries as hex digits, then the order of
its stabiliser (the pairs (A, B) of affine permutations with B.S.A = S), from which the class size
|AGL(4)|**2 / stabiliser follows. Run from the repository root with the built package on the path:

    PYTHONPATH=python python tools/affine_classes/generate.py
"""

from __future__ import annotations

import math
import pathlib
import time

from vexil_kit import _native
from vexil_kit.sbox_classes import affine_group_order

OUTPUT = pathlib.Path(__file__).resolve().parents[2] / "python" / "vexil_kit" / "affine_classes4.txt"


def main() -> None:
    start = time.perf_counter()
    classes = _native.affine_classes("permutation", 4)
    seconds = time.perf_counter() - start
    group = affine_group_order(4) ** 2
    if sum(group // stabilizer for _, stabilizer in classes) != math.factorial(16):
        raise SystemExit("the classes do not cover the 16! permutations")
    lines = [
        "# Affine classes of 4-bit permutations: canonical table (16 hex entries), stabiliser order.",
        "# Written by tools/affine_classes/generate.py.",
    ]
    lines += ["".join(f"{v:x}" for v in table) + f" {stabilizer}" for table, stabilizer in classes]
    OUTPUT.write_text("\n".join(lines) + "\n")
    print(f"{len(classes)} classes in {seconds:.1f} s -> {OUTPUT}")


if __name__ == "__main__":
    main()
