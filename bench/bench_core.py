"""Construction, table, families and encoding against the NumPy equivalents.

Each line prints the module's time, NumPy's time for the same result, and their ratio, measured in
this run on this machine. Usage: python bench/bench_core.py [--sizes 20,24] [--quick]
"""

import argparse

import numpy as np
from common import arguments, best_of, reference, sizes

import vexil

Vexil = vexil.Vexil


def report(label, ours, numpy_time):
    print(f"{label:44} vexil {ours * 1e3:9.2f} ms   numpy {numpy_time * 1e3:9.2f} ms   ratio {ours / numpy_time:6.2f}x")


def run(n):
    rng = np.random.default_rng(n)
    array = rng.integers(0, 2, 2**n).astype(bool)
    as_list = array.tolist()
    f = Vexil(array)
    half = list(range(0, n, 2))
    others = [v for v in range(n) if v not in half]
    raw = f.encode()
    prefix = raw[: len(raw) - 2**n]

    print(f"-- 2^{n} entries")
    report(
        "constructor from list (vs np.array(list))",
        best_of(lambda: Vexil(as_list), 3),
        best_of(lambda: np.array(as_list, dtype=bool), 3),
    )
    report(
        "constructor from bool array (vs np.array)",
        best_of(lambda: Vexil(array)),
        best_of(lambda: np.array(array, dtype=bool)),
    )

    def numpy_table():
        # Axis t of the reshaped table is variable n-1-t: the restrictions (one per assignment of
        # the fixed variables) one after the other, each group of axes most significant first.
        cube = array.reshape((2,) * n)
        order = [n - 1 - v for v in reversed(half)] + [n - 1 - v for v in reversed(others)]
        return np.ascontiguousarray(cube.transpose(order)).reshape(2 ** len(others), 2 ** len(half))

    if not np.array_equal(f.table(half), numpy_table()):
        raise SystemExit("table disagrees with the NumPy layout")
    if n <= 12 and not np.array_equal(numpy_table(), reference.restriction_table(array, half)):
        raise SystemExit("the NumPy layout disagrees with the definition")
    report("table(half the variables) (vs transpose+copy)", best_of(lambda: f.table(half)), best_of(numpy_table))
    report(
        "majority(n) (vs popcount in numpy)",
        best_of(lambda: Vexil.majority(n), 3),
        best_of(lambda: np.bitwise_count(np.arange(2**n, dtype=np.uint64)) > n // 2, 3),
    )
    report(
        "encode (vs prefix + bytes of the entries)",
        best_of(f.encode),
        best_of(lambda: prefix + array.view(np.uint8).tobytes()),
    )

    def numpy_decode():
        entries = np.frombuffer(raw, dtype=np.uint8, offset=len(prefix))
        if (entries > 1).any():
            raise ValueError
        return entries.view(bool)

    report("decode (vs frombuffer + 0/1 check)", best_of(lambda: Vexil.decode(raw)), best_of(numpy_decode))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--sizes", default="20,24")
    for n in sizes(arguments(parser, {"sizes": "12"}).sizes):
        run(n)


if __name__ == "__main__":
    main()
