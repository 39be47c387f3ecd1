"""Build the benchmark families and print what they answer."""

import vexil

Vexil = vexil.Vexil

FAMILIES = [
    ("majority(5)", Vexil.majority(5)),
    ("parity(4)", Vexil.parity(4)),
    ("coprimes(3)", Vexil.coprimes(3)),
    ("primality(6)", Vexil.primality(6)),
    ("sum_is_prime(3)", Vexil.sum_is_prime(3)),
    ("clique(4)", Vexil.clique(4)),
    ("from_number(0x69, 3)", Vexil.from_number(0x69, 3)),
]

# Measures every Vexil answers without arguments; those not in this build are skipped.
MEASURES = [
    "entanglement",
    "entropy",
    "equanimity_importance",
    "fragmentation_peak",
    "max_sensitivity",
    "mean_sensitivity",
    "total_influence",
    "degree",
    "no_linearity",
    "spectral_entropy",
    "certificate_complexity",
    "frontier_size",
    "max_frontier_size",
    "minimal_gates",
]


def main() -> None:
    for name, f in FAMILIES:
        trues = sum(f.repr())
        print(f"{name}: {f.n_vars()} variables, {trues} of {f.size()} entries true, {len(f.encode())} bytes encoded")
        for measure in MEASURES:
            method = getattr(f, measure, None)
            if method is not None:
                print(f"    {measure:24} {method()}")


if __name__ == "__main__":
    main()
