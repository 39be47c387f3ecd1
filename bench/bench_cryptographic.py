"""The measures of cryptography of vexil_kit.BooleanFunction against SageMath and boofun, on the same functions.

The peers: SageMath's ``sage.crypto.boolean_function.BooleanFunction`` (from passagemath) for the
autocorrelation, its indicators, nonlinearity, bentness, correlation immunity and resiliency, and
boofun (with numba) for noise stability and the Fourier weight by degree. Every value is checked
against the peer before timing, except where the peer's definition differs from ours (Sage's
correlation immunity of unbalanced functions), where both values are printed. Each line gives our
time, the peer's time in this run, the speed-up (peer / ours) and whether it reaches the target.
Ours and the fast peer calls are best of a few runs, each on a fresh peer object (the peers cache
results on it); slow peer calls run once. A peer that does not import is reported missing and its
lines are skipped. The machine the numbers come from is whatever runs this: on a shared one, only
the ratios of one run mean much.

The peers belong in a benchmark-only environment, never in the project's dependencies:

    python3 -m venv .venv-bench
    .venv-bench/bin/pip install scikit-build-core cmake ninja numpy tqdm
    SKBUILD_BUILD_DIR=build/bench .venv-bench/bin/pip install --no-build-isolation .
    .venv-bench/bin/pip install passagemath-modules passagemath-brial boofun numba

Usage: .venv-bench/bin/python bench/bench_cryptographic.py [--n 20] [--boofun-crypto 14] [--quick]
--boofun-crypto N also times boofun's own nonlinearity, correlation immunity, resiliency and
bentness (boofun.analysis.cryptographic) at N variables, for information (about 20 s a call at 20).
"""

import argparse

import numpy as np
from common import SageFunction, arguments, best_of, boofun, check, reference, report, versions

from vexil_kit import BooleanFunction

if boofun is not None:
    from boofun.analysis import cryptographic as boofun_crypto


def resilient(n, order, seed):
    """A balanced function of resiliency order exactly `order`: its first-order coefficients vanish, so
    every measure needs the whole spectrum."""
    return BooleanFunction(reference.resilient(BooleanFunction.random(n - order - 1, seed=seed).table, n, order))


def unbalanced_immune(n):
    """f(x) = 1 when x0 = x1 = x2: unbalanced, yet independent of every single input (order 1)."""
    x = np.arange(1 << n)
    return BooleanFunction(((x & 7) == 0) | ((x & 7) == 7))


def sage_lines(n):
    if SageFunction is None:
        print("sage.crypto.boolean_function missing: its lines skipped")
        return
    f = BooleanFunction.random(n, seed=n)
    entries = f.table.tolist()
    fresh = lambda: SageFunction(entries)  # noqa: E731
    # Sage's truth table has entry i = f(i), and its autocorrelation is our r(a) index for index.
    check("autocorrelation", np.array_equal(np.array(fresh().autocorrelation()), f.autocorrelation()))
    report(
        f"autocorrelation n={n}",
        best_of(f.autocorrelation),
        "sage",
        best_of(lambda s: s.autocorrelation(), 3, fresh),
        10,
    )
    check("absolute_indicator", fresh().absolute_indicator() == f.absolute_indicator())
    report(
        f"absolute_indicator n={n}",
        best_of(f.absolute_indicator),
        "sage",
        best_of(lambda s: s.absolute_indicator(), 3, fresh),
        10,
    )
    check("sum_of_squares_indicator", fresh().sum_of_square_indicator() == f.sum_of_squares_indicator())
    report(
        f"sum_of_squares_indicator n={n}",
        best_of(f.sum_of_squares_indicator),
        "sage",
        best_of(lambda s: s.sum_of_square_indicator(), 3, fresh),
    )
    check("nonlinearity", fresh().nonlinearity() == f.nonlinearity())
    report(f"nonlinearity n={n}", best_of(f.nonlinearity), "sage", best_of(lambda s: s.nonlinearity(), 3, fresh), 20)
    bent = BooleanFunction.inner_product(n) if n % 2 == 0 else None
    if bent is not None:
        bent_entries = bent.table.tolist()
        check("is_bent", SageFunction(bent_entries).is_bent() is True and bent.is_bent())
        report(
            f"is_bent n={n} (inner product)",
            best_of(bent.is_bent),
            "sage",
            best_of(lambda s: s.is_bent(), 3, lambda: SageFunction(bent_entries)),
        )

    # Correlation immunity and resiliency: Sage agrees with the literature on balanced functions.
    for label, g in [
        ("random balanced", BooleanFunction.random(n, seed=n, balanced=True)),
        ("3-resilient", resilient(n, 3, n)),
    ]:
        g_entries = g.table.tolist()
        g_fresh = lambda: SageFunction(g_entries)  # noqa: E731
        check("correlation_immunity", g_fresh().correlation_immunity() == g.correlation_immunity())
        check("resiliency_order", g_fresh().resiliency_order() == g.resiliency_order())
        report(
            f"correlation_immunity n={n} ({label}, {g.correlation_immunity()})",
            best_of(g.correlation_immunity),
            "sage",
            best_of(lambda s: s.correlation_immunity(), 3, g_fresh),
            10,
        )
        report(
            f"resiliency_order n={n} ({label}, {g.resiliency_order()})",
            best_of(g.resiliency_order),
            "sage",
            best_of(lambda s: s.resiliency_order(), 3, g_fresh),
            10,
        )
    # Unbalanced functions: Sage's correlation_immunity is not the Xiao–Massey order.
    unbalanced = [("x0 = x1 = x2", unbalanced_immune(n)), ("random", f), ("constant", BooleanFunction.constant(n, 0))]
    for label, g in unbalanced:
        w = g.walsh_spectrum()
        first_order = bool(np.all(w[1 << np.arange(n)] == 0))
        print(
            f"correlation_immunity n={n} unbalanced {label:14} ours {g.correlation_immunity():3}   "
            f"sage {SageFunction(g.table.tolist()).correlation_immunity():3}   "
            f"(W(u) = 0 for every u of weight 1: {first_order})"
        )


def boofun_of(f):
    # boofun's create() takes entry i = f(i); "dense" is its fastest storage (numba on an unpacked table).
    return boofun.create(f.table, storage="dense")


def boofun_lines(n, crypto_n):
    if boofun is None:
        print("boofun missing: its lines skipped")
        return
    boofun_of(BooleanFunction.random(8, seed=0)).noise_stability(0.5)  # numba compiles on the first call
    f = BooleanFunction.random(n, seed=n + 1)
    rho = 0.3
    peer = boofun_of(f).noise_stability(rho)
    check("noise_stability", abs(peer - f.noise_stability(rho)) <= 1e-12)
    report(
        f"noise_stability({rho}) n={n}",
        best_of(lambda: f.noise_stability(rho)),
        "boofun",
        best_of(lambda g: g.noise_stability(rho), 1, lambda: boofun_of(f)),
        100,
    )
    # spectral_weight_by_degree gives a dict of the degrees with non-zero weight.
    ours = f.spectral_weights()
    peer = boofun_of(f).spectral_weight_by_degree()
    check(
        "spectral_weights",
        all(abs(ours[k] - v) <= 1e-12 for k, v in peer.items())
        and all(ours[k] == 0 for k in range(n + 1) if k not in peer),
    )
    report(
        f"spectral_weights n={n} (vs spectral_weight_by_degree)",
        best_of(f.spectral_weights),
        "boofun",
        best_of(lambda g: g.spectral_weight_by_degree(), 1, lambda: boofun_of(f)),
        100,
    )
    if crypto_n:
        # Functions that need the whole spectrum (no shortcut of ours applies).
        g = resilient(crypto_n, 3, crypto_n)
        bent = BooleanFunction.inner_product(crypto_n - crypto_n % 2)
        for name, ours_fn, peer_fn, h in [
            ("nonlinearity", g.nonlinearity, boofun_crypto.nonlinearity, g),
            ("correlation_immunity", g.correlation_immunity, boofun_crypto.correlation_immunity, g),
            ("resiliency_order", g.resiliency_order, boofun_crypto.resiliency, g),
            ("is_bent", bent.is_bent, boofun_crypto.is_bent, bent),
        ]:
            check(name, peer_fn(boofun_of(h)) == ours_fn())
            report(
                f"{name} n={h.n} (vs analysis.cryptographic)",
                best_of(ours_fn),
                "boofun",
                best_of(peer_fn, 1, lambda: boofun_of(h)),
            )


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--n", type=int, default=20)
    parser.add_argument("--boofun-crypto", type=int, default=0)
    args = arguments(parser, {"n": 10})
    versions()
    sage_lines(args.n)
    boofun_lines(args.n, args.boofun_crypto)


if __name__ == "__main__":
    main()
