"""Complexity measures against NumPy references, timed in the same run.

Each line prints the module's time, the reference's time and the ratio reference / module (how
many times faster the module is). References (tests/reference.py, which the tests use too): the
Walsh-Hadamard transform by reshape and add/subtract along one axis per variable; the sensitivities
by comparing the table with itself one variable flipped at a time; certificate complexity by brute
force over every set of fixed variables; and, for the transform, the time NumPy takes to read and
write a 2^n int64 array twice (in-place add).

Usage: python bench/bench_complexity.py [--n 24] [--cert 16,20] [--brute 10] [--quick]
"""

import argparse

import numpy as np
from common import arguments, reference, sizes, timed

import vexil

Vexil = vexil.Vexil


def report(label, ours, baseline, name="numpy"):
    print(f"{label:52} vexil {ours * 1e3:10.2f} ms   {name} {baseline * 1e3:10.2f} ms   {baseline / ours:7.1f}x faster")


def report_memory(ours, memory):
    print(f"{'':52} takes {ours / memory:5.2f}x the time to read and write 2^n int64 twice ({memory * 1e3:.2f} ms)")


def spectrum(n, rng):
    f = rng.integers(0, 2, 2**n).astype(bool)
    v = Vexil(f)
    g = reference.parity_balanced(f)
    vg = Vexil(g)
    print(f"-- Walsh spectrum, n = {n}")
    ref_time, w = timed(lambda: reference.walsh(f), 2)
    array = np.zeros(2**n, dtype=np.int64)

    def touch_twice():
        np.add(array, 1, out=array)
        np.add(array, 1, out=array)

    memory_time, _ = timed(touch_twice, 5)
    weights = np.bitwise_count(np.arange(2**n, dtype=np.uint64))

    t, d = timed(v.degree, 5)
    assert d == int(weights[w != 0].max())
    report("degree() random (top coefficient decides)", t, ref_time, "numpy transform")
    report_memory(t, memory_time)
    wg = reference.walsh(g)
    t, d = timed(vg.degree, 5)
    assert d == int(weights[wg != 0].max())
    report("degree() random with W(N-1) = 0 (whole spectrum)", t, ref_time, "numpy transform")
    report_memory(t, memory_time)
    t, nl = timed(v.no_linearity, 5)
    assert nl == 2 ** (n - 1) - int(np.abs(w).max()) // 2
    report("no_linearity() random", t, ref_time, "numpy transform")
    report_memory(t, memory_time)
    t, _ = timed(v.total_influence, 3)
    report("total_influence() random (spectrum + float32 sum)", t, ref_time, "numpy transform")
    t, _ = timed(v.spectral_entropy, 3)
    report("spectral_entropy() random", t, ref_time, "numpy transform")


def sensitivity(n, rng):
    f = rng.integers(0, 2, 2**n).astype(bool)
    v = Vexil(f)
    print(f"-- sensitivity, n = {n}")
    ref_time, s = timed(lambda: reference.sensitivities(f), 2)
    t, m = timed(v.max_sensitivity, 5)
    assert m == int(s.max())
    report("max_sensitivity() random", t, ref_time)
    t, mean = timed(v.mean_sensitivity, 5)
    assert mean == np.float32(int(s.sum(dtype=np.int64))) / np.float32(2**n)
    report("mean_sensitivity() random", t, ref_time)
    t, count = timed(lambda: Vexil(f).frontier_size(), 3)
    assert count == int(s.sum(dtype=np.int64)) // 2
    report("frontier_size() random (first call)", t, ref_time)


def certificate(sizes, brute, rng):
    print("-- certificate complexity")
    f = rng.integers(0, 2, 2**brute).astype(bool)
    ref_time, want = timed(lambda: reference.certificate_complexity(f), 1)
    t, got = timed(Vexil(f).certificate_complexity, 3)
    assert got == want
    report(f"certificate_complexity() random n = {brute}", t, ref_time, "brute force")
    for n in sizes:
        v = Vexil(rng.integers(0, 2, 2**n).astype(bool))
        t, c = timed(v.certificate_complexity, 1)
        print(f"{'certificate_complexity() random n = ' + str(n):52} vexil {t * 1e3:10.2f} ms   (C = {c})")
    # Structured functions have many large monochromatic subcubes: the hard cases.
    n = max(sizes) if sizes else 16
    index = np.arange(2**n, dtype=np.uint64)
    tribes = np.zeros(2**n, dtype=bool)
    for i in range(0, n - 3, 4):
        tribes |= (index >> np.uint64(i)) & np.uint64(15) == np.uint64(15)
    select = (index >> np.uint64(n - 4)) % np.uint64(n - 4)
    structured = {
        "majority": Vexil.majority(n),
        "tribes of 4": Vexil(tribes),
        "address": Vexil(((index >> select) & np.uint64(1)).astype(bool)),
    }
    for name, v in structured.items():
        t, c = timed(v.certificate_complexity, 1)
        print(f"{'certificate_complexity() ' + name + ' n = ' + str(n):52} vexil {t * 1e3:10.2f} ms   (C = {c})")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--n", type=int, default=24)
    parser.add_argument("--cert", default="16,20")
    parser.add_argument("--brute", type=int, default=10)
    args = arguments(parser, {"n": 12, "cert": "10", "brute": 6})
    rng = np.random.default_rng(1)
    spectrum(args.n, rng)
    sensitivity(args.n, rng)
    certificate(sizes(args.cert), args.brute, rng)


if __name__ == "__main__":
    main()
