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

from . import _arguments, _native, _tabulate, registry, spectra
from ._arguments import Table
from .progress import Progress


def _measure(name: str, table: Table, progress: Progress = False) -> Any:
    return registry.evaluate("function", name, table, progress=progress)


# -- predicates -----------------------------------------------------------------------------------


def is_symmetric(table: Table) -> bool:
    """Whether f(x) depends only on the number of ones of x (f is invariant under every
    permutation of its variables). Functions of at most one variable are symmetric.

    >>> BooleanFunction.majority(5).is_symmetric(), BooleanFunction.dictator(2, 0).is_symmetric()
    (True, False)
    """
    return bool(_measure("is_symmetric", table))


def is_monotone(table: Table) -> bool:
    """Whether f(x) <= f(y) whenever x <= y bitwise: no variable's rise makes f fall. Constants are
    monotone; so is every function of n = 0.

    >>> BooleanFunction.majority(3).is_monotone(), BooleanFunction.xor(2).is_monotone()
    (True, False)
    >>> (~BooleanFunction.conjunction(2)).is_monotone()
    False
    """
    return bool(_measure("is_monotone", table))


def is_unate(table: Table) -> bool:
    """Whether f is, in each variable separately, non-decreasing or non-increasing (no variable is
    binate; see ``unate_polarities``). Monotone functions are unate.

    >>> BooleanFunction.from_expression("x0 & ~x1").is_unate(), BooleanFunction.xor(2).is_unate()
    (True, False)
    """
    return bool(_measure("is_unate", table))


def unate_polarities(table: Table) -> list[int | None]:
    """For each variable v: 1 when f never falls as x_v rises (positive unate), -1 when it never
    rises (negative), 0 when f ignores v, None when it does both (binate).

    >>> BooleanFunction.from_expression("x0 & ~x1 | x2 ^ x3", n=5).unate_polarities()
    [1, -1, None, None, 0]
    """
    rising, falling = _native.unate_directions(table)
    polarities: list[int | None] = []
    for v in range(_arguments.log2(len(table))):
        up, down = rising >> v & 1, falling >> v & 1
        polarities.append(None if up and down else 1 if up else -1 if down else 0)
    return polarities


def is_self_dual(table: Table) -> bool:
    """Whether f equals its dual, f(x XOR 1...1) = NOT f(x) for every x (``f == f.dual()``). A
    self-dual function is balanced; no function of n = 0 is self-dual.

    >>> BooleanFunction.majority(3).is_self_dual(), BooleanFunction.conjunction(2).is_self_dual()
    (True, False)
    """
    return bool(_measure("is_self_dual", table))


def is_affine(table: Table) -> bool:
    """Whether f(x) = c XOR a.x for a bit c and a mask a: algebraic degree at most 1.

    >>> BooleanFunction.from_expression("x0 ^ x2 ^ 1").is_affine(), BooleanFunction.majority(3).is_affine()
    (True, False)
    """
    return bool(_measure("is_affine", table))


def is_linear(table: Table) -> bool:
    """Whether f(x) = a.x for a mask a: affine with f(0) = 0 (the zero function included).

    >>> BooleanFunction.xor(3).is_linear(), (~BooleanFunction.xor(3)).is_linear()
    (True, False)
    """
    return bool(_measure("is_linear", table))


def plateaued_amplitude(table: Table, progress: Progress = False) -> int:
    """The amplitude of a plateaued f: the value that every non-zero |W(u)| shares; 0 when f is not
    plateaued (no amplitude is 0: by Parseval some W(u) is not). A power of two 2**r with r >= n/2:
    2**(n/2) for bent functions, 2**n for affine ones, 1 for n = 0. One transform unless the
    weight or affinity settles it; takes ``progress``.

    >>> BooleanFunction.inner_product(4).plateaued_amplitude(), BooleanFunction.xor(3).plateaued_amplitude()
    (4, 8)
    >>> BooleanFunction.majority(3).plateaued_amplitude(), BooleanFunction.majority(5).plateaued_amplitude()
    (4, 0)
    """
    return int(_measure("plateaued_amplitude", table, progress))


def is_plateaued(table: Table, progress: Progress = False) -> bool:
    """Whether every non-zero |W(u)| is the same (``plateaued_amplitude() != 0``): bent, affine and
    partially bent functions are plateaued.

    >>> BooleanFunction.majority(3).is_plateaued(), BooleanFunction.majority(5).is_plateaued()
    (True, False)
    """
    return bool(_measure("is_plateaued", table, progress))


def essential_variables(table: Table) -> list[int]:
    """The variables f depends on (v with f(x) != f(x XOR 2**v) for some x), ascending: the core's
    kernel that query measures use to project out the ignored variables.

    >>> BooleanFunction.from_expression("x0 & x2 | x2 & ~x2").essential_variables()
    [0, 2]
    >>> BooleanFunction.constant(3, True).essential_variables()
    []
    """
    mask = _native.essential_variables(table)
    return [v for v in range(_arguments.log2(len(table))) if mask >> v & 1]


# -- criteria -------------------------------------------------------------------------------------


def propagation_criterion(table: Table, progress: Progress = False) -> int:
    """The propagation-criterion degree: the largest k <= n such that f satisfies PC(k), that is the
    autocorrelation r(a) = 0 for every a with 1 <= popcount(a) <= k. n for bent functions, 0 when
    the strict avalanche criterion fails (decided in one pass) and for n = 0. Otherwise computed
    from ``autocorrelation()``, so ValueError above 31 variables; takes ``progress``.

    >>> BooleanFunction.inner_product(4).propagation_criterion()
    4
    >>> BooleanFunction.majority(3).propagation_criterion(), BooleanFunction.xor(3).propagation_criterion()
    (2, 0)
    """
    return int(_measure("propagation_criterion", table, progress))


def strict_avalanche(table: Table) -> bool:
    """Whether f satisfies the strict avalanche criterion (SAC, PC(1)): flipping any one input
    changes f at exactly half of the inputs. ``propagation_criterion() >= 1``; False for n = 0.

    >>> BooleanFunction.inner_product(2).strict_avalanche(), BooleanFunction.xor(3).strict_avalanche()
    (True, False)
    """
    return bool(_measure("strict_avalanche", table))


def chow_parameters(table: Table) -> list[int]:
    """The Chow parameters as exact ints: [W(0), W(1), W(2), W(4), ..., W(2**(n-1))], the Walsh
    coefficients of order 0 and 1 (``walsh_spectrum()``'s convention, false counting +1). Divided
    by 2**n they are the Fourier coefficients of (-1)**f of degree 0 and 1; W(0) = 2**n - 2 *
    weight. A threshold function is the only one with its Chow parameters.

    >>> BooleanFunction.majority(3).chow_parameters()
    [0, 4, 4, 4]
    >>> BooleanFunction.conjunction(2).chow_parameters()
    [2, 2, 2]
    """
    values: list[int] = _native.chow_parameters(table)
    return values


def walsh_spectrum_counts(table: Table, signed: bool = False) -> dict[int, int]:
    """How many u have each value of |W(u)| (or of W(u) with ``signed``), as a dict in increasing
    value; the counts add up to 2**n.

    >>> BooleanFunction.majority(3).walsh_spectrum_counts()
    {0: 4, 4: 4}
    >>> BooleanFunction.majority(3).walsh_spectrum_counts(signed=True)
    {-4: 1, 0: 4, 4: 3}
    """
    if not isinstance(signed, (bool, np.bool_)):
        raise TypeError(f"signed must be a bool, not {type(signed).__name__}")
    spectrum = spectra.walsh_spectrum(table, np.int64)  # W + 2**n leaves int32 at 30 variables
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
    """The algebraic normal form as text: the monomials joined by " + ", each the product of its
    variables x0..x(n-1) joined by "*", the constant 1 as "1"; higher degrees first, then in
    increasing order of their variables; "0" for the zero function. With ``parseable`` the
    operators are "&" and " ^ ", which ``from_expression`` reads back.

    >>> BooleanFunction.from_expression("x0 & x1 | x2").anf_text()
    'x0*x1*x2 + x0*x1 + x2'
    >>> f = BooleanFunction.majority(3) ^ True
    >>> f.anf_text(), BooleanFunction.from_expression(f.anf_text(parseable=True), n=3) == f
    ('x0*x1 + x0*x2 + x1*x2 + 1', True)
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
