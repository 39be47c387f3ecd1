"""First circuits of the 4-bit catalogue S-boxes: the constructive one against the stacked one.

For each permutation of the catalogue with n = m = 4, the B2 gate count of
``constructive.first_circuit`` (the coordinates built mostly apart) and of
``stacking.first_circuit`` (an output at a time, each by the fewest new gates over the nodes
built, a beam over the orders), with the seconds each took; every circuit is checked on every
input. --quick runs three S-boxes with a beam of width 2 (well under a minute).

    PYTHONPATH=python python bench/bench_stacking.py [--seconds 30] [--basis B2] [--names PRESENT,GIFT] [--quick]
"""

import argparse
import time

import numpy as np

from vexil_kit import VectorialFunction
from vexil_kit.circuits import Circuit
from vexil_kit.synthesis import constructive, stacking

QUICK = ("PRESENT", "GIFT", "Noekeon")


def boxes(names: list[str] | None) -> list[str]:
    """The 4-bit permutations of the catalogue, or those named."""
    chosen = []
    for name in VectorialFunction.catalogue():
        box = VectorialFunction.named(name)
        if box.n == box.m == 4 and box.is_permutation() and (names is None or name in names):
            chosen.append(name)
    return chosen


def checked(tables: list[np.ndarray], found: tuple | None) -> int | None:
    """The gate count of a circuit found, after checking that it computes the tables."""
    if found is None:
        return None
    gates, lits = found
    got = Circuit(4, tuple(gates), outputs=tuple(lits)).tables()
    if not all(np.array_equal(g, t) for g, t in zip(got, tables, strict=True)):
        raise AssertionError("a first circuit computes something else")
    return len(gates)


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--seconds", type=float, default=30.0, help="time limit of each stacked circuit")
    parser.add_argument("--basis", default="B2", choices=stacking.BASES)
    parser.add_argument("--names", help="comma-separated S-box names (default: every 4-bit permutation)")
    parser.add_argument("--quick", action="store_true", help="three S-boxes, a beam of width 2")
    args = parser.parse_args()
    names = list(QUICK) if args.quick else boxes(args.names.split(",") if args.names else None)
    width = 2 if args.quick else stacking.WIDTH
    print(f"| S-box | constructive ({args.basis}) | s | stacked ({args.basis}) | s |")
    print("|---|---|---|---|---|")
    totals = [0, 0]
    for name in names:
        box = VectorialFunction.named(name)
        tables = [np.asarray(box.coordinate(j).table, dtype=bool) for j in range(box.m)]
        began = time.monotonic()
        normal = [t ^ t[0] for t in tables]
        first = constructive.first_circuit(4, normal, args.basis, None)
        if first is not None:  # the constructive circuit is of the normalised tables: complement back
            first = (first[0], [(node, neg ^ bool(t[0])) for (node, neg), t in zip(first[1], tables, strict=True)])
        constructed, middle = checked(tables, first), time.monotonic()
        stacked = checked(tables, stacking.first_circuit(4, tables, args.basis, middle + args.seconds, width=width))
        end = time.monotonic()
        totals[0] += constructed or 0
        totals[1] += stacked or 0
        print(f"| {name} | {constructed} | {middle - began:.1f} | {stacked} | {end - middle:.1f} |", flush=True)
    print(f"| total | {totals[0]} | | {totals[1]} | |")


if __name__ == "__main__":
    main()
