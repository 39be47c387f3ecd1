"""Circuits: the bit-parallel evaluation against one byte per input, and the formats' throughput.

``Circuit.tables`` evaluates 64 inputs per machine word; the baseline is the evaluation it
replaced, one uint8 per input and a table lookup per gate, timed in the same run. The formats
line gives the time to write and to read back a random circuit of AND and XOR gates.

Usage: python bench/bench_circuit_formats.py [--n 16,18] [--gates 2000] [--size 100000] [--quick]
"""

import argparse
import random

import numpy as np
from common import arguments, sizes, timed

from vexil_kit.circuits import AND_OPS, XOR_OPS, Circuit


def random_circuit(n, size, seed):
    rng = random.Random(seed)
    ops = sorted(AND_OPS | XOR_OPS)
    gates = [(rng.choice(ops), rng.randrange(n + i), rng.randrange(n + i)) for i in range(size)]
    return Circuit(n, gates, outputs=[(n + size - 1 - j, j % 2 == 1) for j in range(8)])


def bytewise(c):
    """One uint8 per input and node, a lookup of the gate's rows per gate (every node kept)."""
    xs = np.arange(1 << c.inputs, dtype=np.int64)
    values = [(xs >> v & 1).astype(np.uint8) for v in range(c.inputs)]
    for op, a, b in c.gates:
        rows = np.array([op >> k & 1 for k in range(4)], dtype=np.uint8)
        values.append(rows[values[a] | values[b] << 1])
    return np.array([(values[node] if node is not None else 0) ^ negated for node, negated in c.outputs], dtype=bool)


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n")[0])
    parser.add_argument("--n", default="16,18")
    parser.add_argument("--gates", type=int, default=2000)
    parser.add_argument("--size", type=int, default=100000)
    args = arguments(parser, {"n": "12", "gates": 200, "size": 5000})
    for n in sizes(args.n):
        c = random_circuit(n, args.gates, seed=n)
        ours, tables = timed(c.tables, 3)
        base, expected = timed(lambda c=c: bytewise(c), 3)
        assert np.array_equal(tables, expected)
        print(
            f"tables, n = {n:2}, {args.gates} gates   vexil {ours * 1e3:9.1f} ms   bytewise {base * 1e3:9.1f} ms   "
            f"{base / ours:6.1f}x faster"
        )
    c = random_circuit(32, args.size, seed=1)
    for name, write, read in [
        ("bench", c.to_bench, Circuit.from_bench),
        ("blif", c.to_blif, Circuit.from_blif),
        ("aag", c.to_aiger, Circuit.from_aiger),
        ("aig", lambda: c.to_aiger(binary=True), Circuit.from_aiger),
    ]:
        written, data = timed(write, 2)
        parsed, back = timed(lambda read=read, data=data: read(data), 2)
        assert back.inputs == c.inputs and len(back.outputs) == len(c.outputs)
        print(
            f"{name:6} {args.size} gates   write {written:6.2f} s   read {parsed:6.2f} s   "
            f"{args.size / parsed / 1e3:7.1f} thousand gates read a second"
        )


if __name__ == "__main__":
    main()
