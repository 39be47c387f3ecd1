"""Times the same measures in two installed builds and prints their ratios.

Each build is an interpreter with vexil installed (a virtual environment's python). The builds run
in turn, several rounds, and each measure keeps its best time over all rounds, so that both see the
same machine load. Usage:

    python bench/compare_builds.py --baseline /path/to/old/.venv/bin/python [--rounds 3] [--quick]

The current interpreter is the candidate. A ratio above 1 means the candidate is slower.
"""

import argparse
import json
import subprocess
import sys
import textwrap

# name -> (setup, statement); both faces, the measures that cross the most core code.
CASES = {
    "Vexil.entropy n=16": ("f = Vexil.majority(16)", "f.entropy()"),
    "Vexil.max_sensitivity n=20": ("f = Vexil.majority(20)", "f.max_sensitivity()"),
    "Vexil.spectral_entropy n=20": ("f = Vexil.primality(20)", "f.spectral_entropy()"),
    "Vexil.certificate_complexity n=12": ("f = Vexil.majority(12)", "f.certificate_complexity()"),
    "Vexil.minimal_gates x1000": (
        "fs = [Vexil.from_number(w * 2654435761 % 2**32, 5) for w in range(1000)]",
        "[f.minimal_gates() for f in fs]",
    ),
    "kit.walsh_spectrum n=20": ("f = BooleanFunction.random(20, seed=1)", "f.walsh_spectrum()"),
    "kit.entropy n=16": ("f = BooleanFunction.majority(16)", "f.entropy()"),
    "kit.nonlinearity n=20": ("f = BooleanFunction.random(20, seed=2)", "f.nonlinearity()"),
    "kit.algebraic_degree n=20": ("f = BooleanFunction.random(20, seed=3)", "f.algebraic_degree()"),
    "kit.influences n=20": ("f = BooleanFunction.random(20, seed=4)", "f.influences()"),
    "kit.block_sensitivity n=12": ("f = BooleanFunction.random(12, seed=5)", "f.block_sensitivity()"),
    "kit.weight x2000 n=10": (
        "fs = [BooleanFunction.random(10, seed=s) for s in range(2000)]",
        "[f.weight() for f in fs]",
    ),
    "sbox.linearity n=12": (
        "import numpy as np; s = V(np.random.default_rng(1).permutation(1 << 12))",
        "s.linearity()",
    ),
    "sbox.walsh_table n=10": (
        "import numpy as np; s = V(np.random.default_rng(2).permutation(1 << 10))",
        "s.walsh_table()",
    ),
    "sbox.anf n=12": ("import numpy as np; s = V(np.random.default_rng(3).permutation(1 << 12))", "s.anf()"),
    "sbox.differential_uniformity AES x200": (
        "s = V.named('AES')",
        "[s.differential_uniformity() for _ in range(200)]",
    ),
    "sweep 4096 functions n=8": (
        "from vexil_kit.sweeps import random_functions",
        "sweep(random_functions(8, 4096, seed=1), ['weight', 'nonlinearity', 'algebraic_degree', 'entropy'])",
    ),
}
QUICK = {"Vexil.entropy n=16", "kit.walsh_spectrum n=20", "Vexil.minimal_gates x1000"}

WORKER = textwrap.dedent(
    """
    import json, sys, time
    from vexil import Vexil
    from vexil_kit import BooleanFunction, VectorialFunction, sweep
    results = {}
    for name, (setup, statement) in json.loads(sys.argv[1]).items():
        scope = {"Vexil": Vexil, "BooleanFunction": BooleanFunction, "V": VectorialFunction, "sweep": sweep}
        exec(setup, scope)
        exec(statement, scope)  # warm: pool, database, caches
        best = float("inf")
        for _ in range(int(sys.argv[2])):
            start = time.perf_counter()
            exec(statement, scope)
            best = min(best, time.perf_counter() - start)
        results[name] = best
    print(json.dumps(results))
    """
)


def run(python: str, cases: dict, repeat: int) -> dict:
    done = subprocess.run(
        [python, "-c", WORKER, json.dumps(cases), str(repeat)], capture_output=True, text=True, check=True
    )
    return json.loads(done.stdout)


def main() -> None:
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--baseline", required=True, help="python of the baseline build")
    parser.add_argument("--rounds", type=int, default=3)
    parser.add_argument("--quick", action="store_true", help="three cases, one round")
    args = parser.parse_args()
    cases = {k: v for k, v in CASES.items() if not args.quick or k in QUICK}
    rounds, repeat = (1, 2) if args.quick else (args.rounds, 5)
    best: dict[str, dict[str, float]] = {"baseline": {}, "candidate": {}}
    for _ in range(rounds):
        for label, python in (("baseline", args.baseline), ("candidate", sys.executable)):
            for name, seconds in run(python, cases, repeat).items():
                best[label][name] = min(best[label].get(name, float("inf")), seconds)
    print(f"{'measure':36} {'baseline':>12} {'candidate':>12} {'ratio':>7}")
    for name in cases:
        old, new = best["baseline"][name], best["candidate"][name]
        print(f"{name:36} {old * 1e3:9.2f} ms {new * 1e3:9.2f} ms {new / old:6.2f}x")


if __name__ == "__main__":
    main()
