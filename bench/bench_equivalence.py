"""Linear, affine, EA and CCZ equivalence of S-boxes with their maps (VectorialFunction), timed alone.

No peer is timed here (sboxU's searches are not installed in a benchmark venv), so the lines give our
times only, each answer checked before it is timed: found maps must satisfy their relation on every
input (the method itself checks them too). The cases: CCZ equivalence of two 6-bit quadratic APN
functions (x**3 over GF(2**6) and a random EA image: searched through their ortho-derivatives), EA
equivalence of two 8-bit permutations (a random permutation and a random affine image, and AES against
the field inverse), CCZ equivalence of x**3 and its inverse over GF(2**7), refutations (x**3 against
x**5 over GF(2**7): equal spectra), and the affine equivalence of x**13 against x**88 = its inverse over
GF(2**7), the permutations' own search, the slowest call for n <= 8.

Usage: .venv/bin/python bench/bench_equivalence.py [--repeat 3] [--quick]
"""

import argparse
import random

from common import arguments, best_of

from vexil_kit import VectorialFunction
from vexil_kit.sboxes import apply_matrix


def image(f, rng, ea):
    """B.f(A.x ^ a) ^ C.x ^ b for random invertible A, B, random a, b, and C random (ea) or zero."""
    n, m = f.n, f.m

    def invertible(k):
        while True:
            rows = [rng.randrange(1 << k) for _ in range(k)]
            if len({apply_matrix(rows, x) for x in range(1 << k)}) == 1 << k:
                return rows

    A, B = invertible(n), invertible(m)
    C = [rng.randrange(1 << n) for _ in range(m)] if ea else [0] * m
    a, b = rng.randrange(1 << n), rng.randrange(1 << m)
    return VectorialFunction(
        [apply_matrix(B, f(apply_matrix(A, x) ^ a)) ^ apply_matrix(C, x) ^ b for x in range(1 << n)], m
    )


def holds(kind, f, g, maps):
    n = f.n
    if kind == "ccz":
        L, c = maps
        return {apply_matrix(L, x | f(x) << n) ^ c for x in range(1 << n)} == {x | g(x) << n for x in range(1 << n)}
    A, a, B, b, *rest = maps
    C = rest[0] if rest else [0] * g.m
    return all(g(x) == apply_matrix(B, f(apply_matrix(A, x) ^ a)) ^ apply_matrix(C, x) ^ b for x in range(1 << n))


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--repeat", type=int, default=3, help="runs a timing (the best is shown)")
    parser.add_argument("--time-limit", type=float, default=30.0, help="seconds a case may search")
    args = arguments(parser, quick={"repeat": 1, "time_limit": 5.0})
    rng = random.Random(1)
    gold6 = VectorialFunction.power(6, 3)
    perm8 = VectorialFunction.random_permutation(8, seed=2)
    inverse8 = VectorialFunction.inverse_map(8)
    gold7 = VectorialFunction.power(7, 3)
    cases = [
        ("ccz", "x**3 n=6 against a random EA image (quadratic APN)", gold6, image(gold6, rng, True), True),
        ("ea", "random 8-bit permutation against an affine image", perm8, image(perm8, rng, False), True),
        ("ea", "AES against the inverse of GF(2**8)", inverse8, VectorialFunction.named("AES"), True),
        ("affine", "AES against the inverse of GF(2**8)", inverse8, VectorialFunction.named("AES"), True),
        ("ccz", "x**3 n=7 against its inverse", gold7, gold7.inverse(), True),
        ("ccz", "x**3 against x**5 n=7 (none)", gold7, VectorialFunction.power(7, 5), False),
        ("ea", "random 8-bit function against an EA image", VectorialFunction.random(8, 8, seed=3), None, True),
    ]
    cases.append(
        (
            "affine",
            "x**13 against x**88 n=7 (none)",
            VectorialFunction.power(7, 13),
            VectorialFunction.power(7, 88),
            False,
        )
    )
    for kind, label, f, g, expected in cases:
        if g is None:
            g = image(f, rng, True)
        method = getattr(f, f"{kind}_equivalent")
        try:
            found = method(g, time_limit=args.time_limit)
        except TimeoutError:
            print(f"{kind}_equivalent {label:52s}: over the time limit of {args.time_limit} s")
            continue
        if (found is not None) != expected or (found is not None and not holds(kind, f, g, found)):
            raise SystemExit(f"{kind} {label}: expected {'maps' if expected else 'none'}, got {found}")
        seconds = best_of(lambda method=method, g=g: method(g, time_limit=args.time_limit), repeat=args.repeat)
        print(f"{kind}_equivalent {label:52s}: {seconds * 1e3:9.1f} ms ({'found' if found else 'none'})")


if __name__ == "__main__":
    main()
