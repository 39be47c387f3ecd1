"""The transforms behind VectorialFunction, timed alone: the Walsh tables and the measures read from them
(walsh_table, lat, linearity, walsh_spectrum_counts, linear_branch_number) and the algebraic normal
forms of the coordinates (algebraic_degree, min_degree), on random permutations of n bits (sixteen
components a block) and on random functions of many inputs and few outputs (one component a block).

Each line is the best time in ms; run it before and after a change of the kernels, in one session.

Usage: .venv/bin/python bench/bench_sbox_kernels.py [--bits 8,10,12] [--wide 20,22] [--quick]
"""

import argparse

from common import arguments, best_of, sizes

from vexil_kit import VectorialFunction

TABLES = ["walsh_table", "lat"]
SCALARS = ["linearity", "walsh_spectrum_counts", "linear_branch_number", "algebraic_degree", "min_degree"]


def line(label, F, name, repeat):
    method = getattr(F, name)
    print(f"{label:28} {name:24} {best_of(method, repeat) * 1e3:10.3f} ms", flush=True)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--bits", default="8,10,12", help="sizes of the permutations")
    parser.add_argument("--wide", default="20,22", help="inputs of the functions with three outputs")
    args = arguments(parser, quick={"bits": "8", "wide": "19"})
    for n in sizes(args.bits):
        F = VectorialFunction.random_permutation(n, seed=n)
        for name in (TABLES if n <= 12 else []) + SCALARS:
            line(f"random permutation n={n}", F, name, 5)
    for n in sizes(args.wide):
        F = VectorialFunction.random(n, 3, seed=n)
        for name in SCALARS:
            line(f"random n={n} m=3", F, name, 3)


if __name__ == "__main__":
    main()
