"""Power maps over GF(2**n) and affine equivalence of permutations (vexil_kit.sboxes), timed alone.

No peer here has an affine-equivalence search (SageMath's ``SBox`` has none in passagemath 10.8), and
a power map is one table look-up per entry, so the lines give our times only: the power map at each
field size (with and without the field's cached logarithm tables), and the equivalence search at n
bits for a random affine image of a random permutation (found), a random permutation against its
inverse (equal spectra, almost never equivalent: every candidate is searched), AES against the
field inverse, and two inequivalent Gold permutations of 7 bits (equal spectra, a large group of
self-equivalences: the hardest case of the search). Every answer is checked before it is timed: found maps must satisfy
    g(x) = B.f(A.x ^ a) ^ b.

Usage: .venv/bin/python bench/bench_sboxes.py [--fields 8,12,16,20] [--bits 6,7,8] [--quick]
"""

import argparse
import random

from common import arguments, best_of, sizes

from vexil_kit import sboxes
from vexil_kit.sboxes import affine_equivalent, apply_matrix


def affine_image(f, n, rng):
    def invertible():
        while True:
            rows = [rng.randrange(1 << n) for _ in range(n)]
            if len({apply_matrix(rows, x) for x in range(1 << n)}) == 1 << n:
                return rows

    A, B, a, b = invertible(), invertible(), rng.randrange(1 << n), rng.randrange(1 << n)
    return [apply_matrix(B, f[apply_matrix(A, x) ^ a]) ^ b for x in range(1 << n)]


def check(f, g, n, found, expected):
    if (found is not None) != expected:
        raise SystemExit(f"n = {n}: expected {'a' if expected else 'no'} equivalence, got {found}")
    if found is not None:
        A, a, B, b = found
        if any(g[x] != apply_matrix(B, f[apply_matrix(A, x) ^ a]) ^ b for x in range(1 << n)):
            raise SystemExit(f"n = {n}: the maps found do not verify")


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--fields", default="8,12,16,20", help="field degrees of the power maps")
    parser.add_argument("--bits", default="6,7,8", help="sizes of the equivalence searches")
    args = arguments(parser, quick={"fields": "8,12", "bits": "5,6"})
    for n in sizes(args.fields):
        # Cold: the field's logarithm tables are built first (they are cached per field afterwards).
        cold = best_of(lambda n=n: (sboxes._FIELDS.clear(), sboxes.power_map(n, 7)), repeat=3)
        warm = best_of(lambda n=n: sboxes.power_map(n, 7), repeat=3)
        print(f"power_map n={n:2d}: {cold * 1e3:9.1f} ms cold, {warm * 1e3:9.1f} ms with the field's tables")
    rng = random.Random(1)
    for n in sizes(args.bits):
        f = rng.sample(range(1 << n), 1 << n)
        inverse = [0] * (1 << n)
        for x, y in enumerate(f):
            inverse[y] = x
        cases = [("random affine image", affine_image(f, n, rng), True), ("random against inverse", inverse, None)]
        for label, g, expected in cases:
            found = affine_equivalent(f, g, n)
            if expected is not None:
                check(f, g, n, found, expected)
            seconds = best_of(lambda f=f, g=g, n=n: affine_equivalent(f, g, n), repeat=3)
            print(f"affine_equivalent n={n} {label:24s}: {seconds * 1e3:9.1f} ms ({'found' if found else 'none'})")
    aes, inverse = sboxes.named("AES")[2], sboxes.inverse_map(8)
    check(inverse, aes, 8, affine_equivalent(inverse, aes, 8), True)
    seconds = best_of(lambda: affine_equivalent(inverse, aes, 8), repeat=3)
    print(f"affine_equivalent AES against the inverse of GF(2**8): {seconds * 1e3:9.1f} ms")
    gold1, gold2 = sboxes.gold(7, 1), sboxes.gold(7, 2)
    check(gold1, gold2, 7, affine_equivalent(gold1, gold2, 7), False)
    seconds = best_of(lambda: affine_equivalent(gold1, gold2, 7), repeat=3)
    print(f"affine_equivalent x**3 against x**5 over GF(2**7):    {seconds * 1e3:9.1f} ms (none)")


if __name__ == "__main__":
    main()
