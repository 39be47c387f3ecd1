"""Writes ``python/vexil_kit/boolean_classes5.txt``: the affine classes of Boolean functions of five
variables, computed from scratch by the core (``vexil_kit._native.affine_classes("boolean", 5)``, an
orbit walk over the 2**26 cosets of RM(1, 5)).

One line a class, in increasing order of the canonical (least) table: its entries f(0) f(1) ... f(31)
read as a binary number, in 8 hex digits, then the class size (the number of functions in it). Run
from the repository root with the built package on the path:

    PYTHONPATH=python python tools/boolean_classes/generate.py
"""

from __future__ import annotations

import pathlib
import time

from vexil_kit import _native
from vexil_kit.sbox_classes import affine_group_order

OUTPUT = pathlib.Path(__file__).resolve().parents[2] / "python" / "vexil_kit" / "boolean_classes5.txt"


def lines() -> list[str]:
    """The file's lines (without the header), from the classes the core computes."""
    group = affine_group_order(5) << 6
    rows = []
    for table, stabilizer in _native.affine_classes("boolean", 5):
        digits = int("".join(str(v) for v in table), 2)
        rows.append(f"{digits:08x} {group // stabilizer}")
    return rows


def main() -> None:
    start = time.perf_counter()
    rows = lines()
    seconds = time.perf_counter() - start
    if sum(int(row.split()[1]) for row in rows) != 1 << 32:
        raise SystemExit("the classes do not cover the 2**32 functions")
    header = [
        "# Affine classes of Boolean functions of 5 variables: canonical table (f(0)...f(31) in hex), size.",
        "# Written by tools/boolean_classes/generate.py.",
    ]
    OUTPUT.write_text("\n".join(header + rows) + "\n")
    print(f"{len(rows)} classes in {seconds:.1f} s -> {OUTPUT}")


if __name__ == "__main__":
    main()
