"""Predicates of a truth table and the criteria of cryptography that SageMath and boofun offer:
symmetry, monotonicity and unateness, self-duality, affinity, plateauedness, the variables f depends
on, the propagation criterion and the strict avalanche criterion, the Chow parameters, the Walsh
spectrum's value counts and the algebraic normal form as text.

The predicates that answer with a bool or an int are measures of the registry, computed by its
evaluators (the sweeps' batch kernel uses the same ones): each is one pass over the table packed 64
entries to a word, stopping as soon as the answer is settled, except the amplitude of a plateaued
function and the propagation criterion, which take a transform when a pass cannot decide. All run
without the interpreter lock and answer Ctrl-C.

>>> table = np.array([0, 0, 0, 1, 0, 1, 1, 1], dtype=bool)   # majority of three
>>> is_monotone(table), is_symmetric(table), is_self_dual(table), unate_polarities(table)
(True, True, True, [1, 1, 1])
"""

from __future__ import annotations

from typing import Any

import numpy as np

from . import _arguments, _native, _tabulate, spectra
from ._arguments import Table
from .progress import Progress, reporter


def _measure(name: str, table: Table, progress: Progress = False) -> Any:
    with reporter(progress, name) as report:
        return _native.measure(name, table, progress=report)


# -- predicates -----------------------------------------------------------------------------------


def is_symmetric(table: Table) -> bool:
    """Whether f(x) depends on the number of ones of x only."""
    return bool(_measure("is_symmetric", table))


def is_monotone(table: Table) -> bool:
    """Whether f(x) <= f(y) whenever x <= y bitwise."""
    return bool(_measure("is_monotone", table))


def is_unate(table: Table) -> bool:
    """Whether f is non-decreasing or non-increasing in each variable separately."""
    return bool(_measure("is_unate", table))


def unate_polarities(table: Table) -> list[int | None]:
    """Per variable: 1 (f never falls as it rises), -1 (never rises), 0 (f ignores it), None (binate)."""
    rising, falling = _native.unate_directions(table)
    polarities: list[int | None] = []
    for v in range(_arguments.log2(len(table))):
        up, down = rising >> v & 1, falling >> v & 1
        polarities.append(None if up and down else 1 if up else -1 if down else 0)
    return polarities


def is_self_dual(table: Table) -> bool:
    """Whether f(x XOR 1...1) = NOT f(x) for every x; never for n = 0."""
    return bool(_measure("is_self_dual", table))


def is_affine(table: Table) -> bool:
    """Whether f(x) = c XOR a.x for some bit c and mask a."""
    return bool(_measure("is_affine", table))


def is_linear(table: Table) -> bool:
    """Whether f(x) = a.x for some mask a (affine with f(0) = 0)."""
    return bool(_measure("is_linear", table))


def plateaued_amplitude(table: Table, progress: Progress = False) -> int:
    """The common |W(u)| of the non-zero Walsh coefficients of a plateaued function, else 0."""
    return int(_measure("plateaued_amplitude", table, progress))


def is_plateaued(table: Table, progress: Progress = False) -> bool:
    """Whether every non-zero |W(u)| is the same."""
    return bool(_measure("is_plateaued", table, progress))


def essential_variables(table: Table) -> list[int]:
    """The variables f depends on, ascending."""
    mask = _native.essential_variables(table)
    return [v for v in range(_arguments.log2(len(table))) if mask >> v & 1]


# -- criteria -------------------------------------------------------------------------------------


def propagation_criterion(table: Table, progress: Progress = False) -> int:
    """The largest k <= n with r(a) = 0 for every a of popcount 1..k; 0 for n = 0."""
    return int(_measure("propagation_criterion", table, progress))


def strict_avalanche(table: Table) -> bool:
    """Whether every variable flips f at exactly half of the inputs (PC(1)); False for n = 0."""
    return bool(_measure("strict_avalanche", table))


def chow_parameters(table: Table) -> list[int]:
    """[W(0), W(1), W(2), W(4), ..., W(2**(n-1))]: the Walsh coefficients of order 0 and 1."""
    values: list[int] = _native.chow_parameters(table)
    return values


def walsh_spectrum_counts(table: Table, signed: bool = False) -> dict[int, int]:
    """{value: number of u with |W(u)| (or W(u), when signed) equal to it}, in increasing value."""
    if not isinstance(signed, (bool, np.bool_)):
        raise TypeError(f"signed must be a bool, not {type(signed).__name__}")
    spectrum = spectra.walsh_spectrum(table)
    size = len(table)
    _tabulate.reserve(3 * spectrum.nbytes + 64)  # the shifted copy and the histogram
    # W(u) = 2**n - 2 * (the x where f(x) differs from u.x), so (W + 2**n) / 2 is an index in [0, 2**n]:
    # a histogram in one pass, where sorting the values would take n passes.
    histogram = np.bincount((spectrum + size) >> 1, minlength=size + 1)
    counts: dict[int, int] = {}
    for index in np.flatnonzero(histogram).tolist():
        value = 2 * index - size
        key = value if signed else abs(value)
        counts[key] = counts.get(key, 0) + int(histogram[index])
    return dict(sorted(counts.items()))


def anf_text(table: Table, parseable: bool = False) -> str:
    """The ANF as a sum of monomials, highest degree first ("x0*x1 + x2 + 1"; "0" for the zero function).

    With ``parseable`` the operators are those of ``BooleanFunction.from_expression``: "x0&x1 ^ x2 ^ 1".
    """
    if not isinstance(parseable, (bool, np.bool_)):
        raise TypeError(f"parseable must be a bool, not {type(parseable).__name__}")
    n = _arguments.log2(len(table))
    _tabulate.reserve(9 * len(table))
    masks = _native.anf_monomials(table)
    if not len(masks):
        return "0"
    times, plus = ("&", " ^ ") if parseable else ("*", " + ")
    # Within a degree, increasing variable lists are decreasing masks read with variable 0 highest.
    reversed_masks = np.zeros_like(masks)
    for v in range(n):
        reversed_masks |= (masks >> v & 1) << (n - 1 - v)
    _tabulate.reserve(64 * len(masks) * max(1, n))  # the texts of the monomials, at worst
    ordered = masks[np.lexsort((-reversed_masks, -_tabulate.ones(masks, n)))]
    # The variables of each byte of a mask, written once: a monomial is the join of at most eight of them.
    pieces = [[times.join(f"x{8 * k + i}" for i in range(8) if b >> i & 1) for b in range(256)] for k in range(8)]
    spans = range((n + 7) // 8)
    terms = []
    for m in ordered.tolist():
        terms.append(times.join(piece for k in spans if (piece := pieces[k][m >> 8 * k & 255])) if m else "1")
    return plus.join(terms)
