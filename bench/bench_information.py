"""Information measures against a plain NumPy reference, on the same random functions.

The reference lays out the restrictions of each subset from the definition (tests/reference.py) and counts the
distinct ones with np.unique(axis=0, return_counts=True); quick calls are repeated to get past the first call's
setup. Each line prints both times and the speed-up, measured in this run.
The NumPy spectrum of 2^n subsets is slow: above --full-spectrum-max it is timed on the first --sample
subsets of every size and scaled by the number of subsets (marked "est."). The large sizes are timed alone.

Usage: python bench/bench_information.py [--sizes 12,14,16] [--large 20] [--spectrum-large 18] [--quick]
"""

import argparse
import itertools
import math
import time

import numpy as np
from common import arguments, reference, sizes, timed

import vexil

Vexil = vexil.Vexil


class Reference:
    def __init__(self, entries):
        self.entries = entries
        self.n = entries.size.bit_length() - 1

    def counts(self, fixed):
        return reference.restriction_counts(self.entries, fixed)

    def entropy_of(self, fixed):
        counts = np.sort(self.counts(fixed))
        p = counts.astype(np.float32) / np.float32(2.0 ** len(fixed))
        terms = p * np.log2(p)
        return -float(np.cumsum(terms, dtype=np.float32)[-1])

    def cuts(self):
        return reference.balanced_cuts(self.n)

    def entanglement(self):
        return min(len(self.counts(s1)) + len(self.counts(s2)) for s1, s2 in self.cuts())

    def entropy(self):
        return min(np.float32(self.entropy_of(s1)) + np.float32(self.entropy_of(s2)) for s1, s2 in self.cuts())

    def spectrum(self, sample=None):
        """Mean entropy per size; with `sample`, only the first subsets of each size (and the time it would
        take for all of them, scaled per size)."""
        values, scaled_time = [], 0.0
        for k in range(self.n + 1):
            subsets = itertools.combinations(range(self.n), k)
            if sample is not None:
                subsets = itertools.islice(subsets, sample)
            start = time.perf_counter()
            entropies = [self.entropy_of(s) for s in subsets]
            spent = time.perf_counter() - start
            scaled_time += spent * math.comb(self.n, k) / len(entropies)
            values.append(float(np.mean(np.float32(entropies))))
        return values, scaled_time


def report(label, ours, reference, note=""):
    print(f"{label:40} vexil {ours:9.3f} s   numpy {reference:9.3f} s{note:5}  speed-up {reference / ours:8.1f}x")


def compare(n, sample, full_max):
    entries = np.random.default_rng(n).random(2**n) < 0.5
    f = Vexil(entries)
    ref = Reference(entries)
    print(f"-- n = {n}")

    t_ours, ours = timed(f.entanglement, 5, enough=1.0)
    t_ref, expected = timed(ref.entanglement, enough=1.0)
    if ours != expected:
        raise SystemExit(f"entanglement disagrees: {ours} vs {expected}")
    report("entanglement()", t_ours, t_ref)

    t_ours, ours = timed(f.entropy, 5, enough=1.0)
    t_ref, expected = timed(ref.entropy, enough=1.0)
    if not math.isclose(ours, expected, rel_tol=1e-5):
        raise SystemExit(f"entropy disagrees: {ours} vs {expected}")
    report("entropy()", t_ours, t_ref)

    t_ours, spectrum = timed(f.fragmentation_spectrum, 5, enough=1.0)
    if n <= full_max:
        expected, t_ref = ref.spectrum()
        if not np.allclose(spectrum, expected, rtol=1e-5, atol=1e-6):
            raise SystemExit(f"spectrum disagrees: {spectrum} vs {expected}")
        report("fragmentation_spectrum()", t_ours, t_ref)
    else:
        _, t_ref = ref.spectrum(sample)
        # The sampled subsets themselves, one by one, against fragmentation_coefficient.
        for k in range(n + 1):
            for s in itertools.islice(itertools.combinations(range(n), k), 3):
                if not math.isclose(f.fragmentation_coefficient(s), ref.entropy_of(s), rel_tol=1e-5, abs_tol=1e-6):
                    raise SystemExit(f"fragmentation_coefficient({s}) disagrees")
        report("fragmentation_spectrum()", t_ours, t_ref, " est.")


def large(n_cuts, n_spectrum):
    print(f"-- alone: n = {n_cuts} (cuts), n = {n_spectrum} (spectrum)")
    f = Vexil(np.random.default_rng(n_cuts).random(2**n_cuts) < 0.5)
    for name in ("entanglement", "entropy", "entanglement_sets", "entropy_sets"):
        spent, _ = timed(getattr(f, name), enough=1.0)
        print(f"{name + '()':40} vexil {spent:9.3f} s")
    g = Vexil(np.random.default_rng(n_spectrum).random(2**n_spectrum) < 0.5)
    spent, _ = timed(g.fragmentation_spectrum, enough=1.0)
    print(f"{'fragmentation_spectrum()':40} vexil {spent:9.3f} s")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--sizes", default="12,14,16")
    parser.add_argument("--large", type=int, default=20)
    parser.add_argument("--spectrum-large", type=int, default=18)
    parser.add_argument("--sample", type=int, default=48)
    parser.add_argument("--full-spectrum-max", type=int, default=14)
    args = arguments(parser, {"sizes": "8", "large": 10, "spectrum_large": 8, "sample": 4, "full_spectrum_max": 8})
    for n in sizes(args.sizes):
        compare(n, args.sample, args.full_spectrum_max)
    if args.large:
        large(args.large, args.spectrum_large)


if __name__ == "__main__":
    main()
