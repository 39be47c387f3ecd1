"""BooleanFunction's algebraic normal form, degree, algebraic immunity and annihilators against peers.

The peers: SageMath's ``sage.crypto.boolean_function.BooleanFunction`` (from passagemath:
``algebraic_normal_form``, ``algebraic_degree``, ``algebraic_immunity``, ``annihilator``) and boofun's
``boofun.analysis.cryptographic`` (``algebraic_normal_form``, ``algebraic_degree``,
``algebraic_immunity``). Every value is checked against the peer before timing: the monomials and the
degree exactly, the immunity exactly, and an annihilator by existence at the same degree and by each
side's witness vanishing on the support with the degree bound. Ours and the fast peer calls are best of
a few runs on fresh peer objects (the peers cache results on the object); slow peer calls run once,
in a child process cut off at --limit seconds, and a cut-off call is reported as taking more than the
limit (its speed-up as "at least"). Each line prints our time, the peer's time in this run, the speed-up
(peer / ours) and the target verdict; the immunity lines also hold our time to an absolute target.

The peers belong in a benchmark-only environment, never in the project's dependencies:

    python3 -m venv .venv-bench
    .venv-bench/bin/pip install scikit-build-core cmake ninja numpy
    SKBUILD_BUILD_DIR=build/bench .venv-bench/bin/pip install --no-build-isolation .
    .venv-bench/bin/pip install passagemath-modules passagemath-brial boofun numba

Usage: .venv-bench/bin/python bench/bench_algebraic.py [--anf 16,20] [--immunity 10,12,14,16]
           [--annihilator 10] [--limit 120] [--peer-max 12] [--quick]
Sage's immunity at n = 10 takes about 10 s and grows about 64-fold per two variables, so at n = 12 it is
cut off at the limit; boofun's is about ten times faster than Sage's. Above --peer-max variables only
our own times are taken.
"""

import argparse
import functools
import math
import multiprocessing
import time

import common
import numpy as np
from common import SageFunction, arguments, best_of, boofun, check, sizes, verdict, versions

from vexil_kit import BooleanFunction

report = functools.partial(common.report, width=50)

if boofun is not None:
    from boofun.analysis import cryptographic as boofun_crypto


def _child(connection, fn):
    start = time.perf_counter()
    value = fn()
    connection.send((value, time.perf_counter() - start))


def limited(fn, limit):
    """(value, seconds) of one fn() in a forked child, or (None, None) when it runs past `limit` seconds."""
    context = multiprocessing.get_context("fork")
    receiver, sender = context.Pipe(duplex=False)
    child = context.Process(target=_child, args=(sender, fn))
    child.start()
    sender.close()
    if receiver.poll(limit):
        value, seconds = receiver.recv()
        child.join()
        return value, seconds
    child.kill()
    child.join()
    return None, None


def report_time(label, ours, limit):
    if limit is None:
        print(f"{label:50} ours {ours * 1e3:10.3f} ms   (no target)")
        return
    print(f"{label:50} ours {ours * 1e3:10.3f} ms   {verdict(ours < limit, f'< {limit * 1e3:g} ms')}")


def sage_of(f):
    # Sage's list truth table has entry i = f(i), and its variable x_v is bit v of i (checked on
    # dictators before the timings below), so its monomials compare mask for mask with ours.
    return SageFunction(f.table.tolist())


def sage_masks(polynomial):
    return sorted(sum(1 << v for v in monomial.iterindex()) for monomial in polynomial.monomials())


def sage_table(polynomial, n):
    """The truth table of a Sage Boolean polynomial in n variables, entry i = g(i)."""
    return np.array(SageFunction(polynomial).truth_table(format="int"), dtype=bool)[: 1 << n]


def anf(sizes):
    for n in sizes:
        f = BooleanFunction.random(n, seed=n)
        degree_and_anf = lambda: (f.anf(), f.algebraic_degree())  # noqa: E731
        if SageFunction is not None:
            for v in range(min(n, 3)):
                check(
                    "variable order",
                    sage_masks(sage_of(BooleanFunction.dictator(n, v)).algebraic_normal_form()) == [1 << v],
                )
            check("anf", sage_masks(sage_of(f).algebraic_normal_form()) == f.anf())
            check("algebraic_degree", sage_of(f).algebraic_degree() == f.algebraic_degree())
            report(
                f"anf n={n} (vs algebraic_normal_form)",
                best_of(f.anf),
                "sage",
                best_of(lambda s: s.algebraic_normal_form(), 3, lambda: sage_of(f)),
                100,
            )
            report(
                f"algebraic_degree n={n} (vs algebraic_degree)",
                best_of(f.algebraic_degree),
                "sage",
                best_of(lambda s: s.algebraic_degree(), 3, lambda: sage_of(f)),
                100,
            )
            report(
                f"anf + algebraic_degree n={n} (vs both)",
                best_of(degree_and_anf),
                "sage",
                best_of(lambda s: (s.algebraic_normal_form(), s.algebraic_degree()), 3, lambda: sage_of(f)),
                100,
            )
        else:
            print(f"anf n={n}: sage.crypto.boolean_function missing, skipped")
        if boofun is not None:
            g = lambda: boofun.create(f.table)  # noqa: E731
            coefficients = boofun_crypto.algebraic_normal_form(g())
            check("anf", np.flatnonzero(coefficients).tolist() == f.anf())
            check("algebraic_degree", boofun_crypto.algebraic_degree(g()) == f.algebraic_degree())
            report(
                f"anf + algebraic_degree n={n} (vs boofun)",
                best_of(degree_and_anf),
                "boofun",
                best_of(lambda h: (boofun_crypto.algebraic_normal_form(h), boofun_crypto.algebraic_degree(h)), 3, g),
                1,
            )


def immunity(sizes, limit, peer_max):
    targets = {12: 0.5, 14: 60.0}
    for n in sizes:
        f = BooleanFunction.random(n, seed=n, balanced=True)
        repeat = 3 if n <= 14 else 1
        ours = best_of(f.algebraic_immunity, repeat)
        value = f.algebraic_immunity()
        check("immunity bound", 0 <= value <= math.ceil(n / 2))
        report_time(f"algebraic_immunity n={n} = {value}", ours, targets.get(n))
        if n > peer_max:
            continue
        if SageFunction is not None:
            peer, seconds = limited(lambda: sage_of(f).algebraic_immunity(), limit)
            if peer is not None:
                check("algebraic_immunity", peer == value)
            report(f"algebraic_immunity n={n} (vs algebraic_immunity)", ours, "sage", seconds, 100, limit=limit)
        if boofun is not None:
            peer, seconds = limited(lambda: boofun_crypto.algebraic_immunity(boofun.create(f.table)), limit)
            if peer is not None:
                check("algebraic_immunity", peer == value)
            report(f"algebraic_immunity n={n} (vs boofun)", ours, "boofun", seconds, 10, limit=limit)


def annihilators(sizes, limit):
    if SageFunction is None:
        print("annihilator: sage.crypto.boolean_function missing, skipped")
        return
    for n in sizes:
        f = BooleanFunction.random(n, seed=n + 1, balanced=True)
        value = f.algebraic_immunity()
        for h, side in ((f, "f"), (~f, "~f")):
            for d in (value - 1, value):
                if d < 0:
                    continue
                ours = best_of(lambda: h.annihilator(d), 3)
                g = h.annihilator(d)
                peer, seconds = limited(lambda: sage_of(h).annihilator(d), limit)
                if seconds is not None:
                    check("annihilator exists", (peer is None) == (g is None))
                    if peer is not None:
                        table = sage_table(peer, n)
                        check("sage annihilator", table.any() and not (table & h.table).any())
                if g is not None:
                    check("annihilator", g.weight() > 0 and (g & h).weight() == 0 and g.algebraic_degree() <= d)
                found = "found" if g is not None else "none"
                report(
                    f"annihilator({d}) of {side} n={n}: {found} (vs annihilator)",
                    ours,
                    "sage",
                    seconds,
                    100,
                    limit=limit,
                )


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--anf", default="16,20")
    parser.add_argument("--immunity", default="10,12,14,16")
    parser.add_argument("--annihilator", default="10")
    parser.add_argument("--peer-max", type=int, default=12)
    parser.add_argument("--limit", type=float, default=120.0)
    args = arguments(parser, {"anf": "8", "immunity": "8", "annihilator": "6", "peer_max": 8, "limit": 10.0})
    versions()
    anf(sizes(args.anf))
    immunity(sizes(args.immunity), args.limit, args.peer_max)
    annihilators(sizes(args.annihilator), args.limit)


if __name__ == "__main__":
    main()
