"""The size/depth trade-off of small functions, exactly: for each depth bound D from the least that
admits a circuit, the least size of a circuit at most D gates deep (``synthesize(max_depth=D)``),
until it meets the least size with no bound. The functions: the coordinates of the PRESENT and
Ascon S-boxes, the sum and carry bits of small adders, majority and a multiplexer. Each line gives
the unbounded optimum (size, and the depth of the circuit found) and, per depth, "size (s)", "-"
when no circuit is that shallow, or "L..?" when the time limit left only the lower bound L.

Usage: python bench/bench_depth_tradeoff.py [--quick] [--basis B2|XAG|AIG] [--time-limit S]
"""

import argparse

import numpy as np
from common import arguments

from vexil_kit import BooleanFunction, VectorialFunction
from vexil_kit.synthesis.depth_bounded import NoCircuitWithinDepth


def adder_bit(k, bit):
    """Bit ``bit`` of the sum of two k-bit numbers (x = a | b << k)."""
    x = np.arange(1 << (2 * k))
    a, b = x & ((1 << k) - 1), x >> k
    return BooleanFunction(((a + b) >> bit & 1).astype(bool))


def functions(quick):
    present, ascon = VectorialFunction.named("PRESENT"), VectorialFunction.named("Ascon")
    found = [("majority(3)", BooleanFunction.majority(3)), ("mux", BooleanFunction.from_hex("0xca"))]
    found += [(f"2-bit adder s{bit}", adder_bit(2, bit)) for bit in range(3)]
    found += [(f"PRESENT y{j}", present.component(1 << j)) for j in range(4)]
    if not quick:
        found += [(f"Ascon y{j}", ascon.component(1 << j)) for j in range(5)]
    return found


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--basis", default="B2", choices=("B2", "XAG", "AIG"))
    parser.add_argument("--time-limit", type=float, default=30.0, help="seconds per search (default 30)")
    args = arguments(parser, {"time_limit": 2.0})
    print(f"basis {args.basis}, {args.time_limit:g} s per search")
    print(f"{'function':18} {'optimum':>8} {'depth':>6}  size at depth D (seconds)")
    for name, f in functions(args.quick):
        free = f.synthesize(args.basis, time_limit=args.time_limit)
        cells = []
        for depth in range(1, free.circuit.depth + 1):
            try:
                bounded = f.synthesize(args.basis, max_depth=depth, time_limit=args.time_limit)
            except NoCircuitWithinDepth:
                cells.append(f"D={depth}: -")
                continue
            if bounded.circuit is None:
                cells.append(f"D={depth}: {bounded.lower_bound}..? ({bounded.seconds:.1f})")
                continue
            cells.append(f"D={depth}: {bounded.upper_bound} ({bounded.seconds:.1f})")
            if free.optimal and bounded.upper_bound == free.upper_bound:
                break
        size = f"{free.upper_bound}" + ("" if free.optimal else f" (>={free.lower_bound})")
        print(f"{name:18} {size:>8} {free.circuit.depth:6}  " + "  ".join(cells), flush=True)


if __name__ == "__main__":
    main()
