"""Exact polynomial degrees of Boolean functions by linear programming (HiGHS through ``highspy``).

Convention (Nisan–Szegedy, Beals et al.): f is read as F(x) = (-1)**f(x) in {+1, -1} (false is +1),
and polynomials are real polynomials in the inputs, written over the characters
chi_S(x) = (-1)**popcount(x & S) (degree: the largest |S| with a nonzero coefficient).

- ``approximate_degree(eps)``: the least d such that some p of degree <= d has |p(x) - F(x)| <= eps on
  every input x, for 0 < eps < 1 (eps = 1/3 by default; a 0/1-valued f within eps/2 is the same).
- ``threshold_degree``: the least d such that some p of degree <= d has sign(p(x)) = F(x) everywhere
  (0 for constants).

General functions: one LP over the characters of degree <= d, the least error E_d = min_p max_x
|p(x) - F(x)| found by bisection on d (approximate degree: least d with E_d <= eps; threshold degree:
least d with E_d < 1), for n <= 10. Symmetric functions reduce (Minsky–Papert) to univariate
polynomials on the Hamming weights 0..n, so that they go to n = 64: the LP is over Chebyshev
polynomials of the weight, and the threshold degree is the number of sign changes of F along the
weights. Both degrees are taken on f's essential variables, and a function that is symmetric once
some inputs are negated is treated as symmetric: neither changes a degree.

Each result comes with a ``DegreeCertificate``: a polynomial of the degree found, and a dual solution
showing that degree - 1 is impossible; ``check`` verifies both in exact rational arithmetic, except
the dual of a general function's threshold degree when its support has more than
EXACT_DUAL_SUPPORT inputs: that one is not solved over the rationals, and its orthogonality is
checked to a relative tolerance of 1e-9 (``DegreeCertificate.exact_dual`` tells which).
"""

from __future__ import annotations

import dataclasses
import math
import time
from collections.abc import Callable
from dataclasses import dataclass
from fractions import Fraction
from typing import Any

import numpy as np
import numpy.typing as npt

from . import _native, predicates, registry, transforms
from ._arguments import Table
from ._highs import minimax as _minimax
from ._highs import minimax_by_complement as _minimax_by_complement
from ._highs import solve_lp as solve_lp  # public here since the degrees had it
from .progress import Progress, reporter

#: The most variables of a general (not symmetric) function.
MAX_GENERAL_VARS = 10
#: The most variables of a symmetric function given by its weights.
MAX_SYMMETRIC_VARS = 64
#: Polynomial coefficients and dual values are rounded to multiples of 2**-GRID_BITS (relative to
#: their largest) before they are stored, so that the certificate checks are exact on what is kept.
GRID_BITS = 50
#: The relative tolerance of the one floating check (the dual of a general threshold degree).
DUAL_TOLERANCE = 1e-9
#: E_d below 1 - SIGN_MARGIN counts as sign-representing (threshold degree of general functions).
SIGN_MARGIN = 1e-7
#: E_d up to eps + LP_TOLERANCE counts as within eps in the search (the exact checks then decide).
LP_TOLERANCE = 1e-7


class Undecided(ArithmeticError):
    """The LP's solution is too close to the boundary for its certificate to pass the exact check."""


@dataclass(frozen=True)
class DegreeCertificate:
    """A degree with the evidence for it.

    ``measure`` is "approximate_degree" (with ``eps``) or "threshold_degree". For a general function
    (``symmetric`` False) ``polynomial`` maps masks S to the coefficient of chi_S and ``dual`` maps
    inputs x to psi(x); for a symmetric one, ``polynomial`` maps j to the coefficient of k**j of a
    polynomial q of the Hamming weight k, and ``dual`` maps weights k to psi_k (a function of the
    weight). All values are exact fractions.

    The polynomial has degree <= ``degree`` and is within eps of F (approximate degree) or has F's
    sign (threshold degree) on every input. The dual (empty when ``degree`` is 0) shows that degree
    ``degree - 1`` is impossible: for the approximate degree, psi is orthogonal to the polynomials of
    degree < ``degree`` (exactly when symmetric; otherwise its residual correlations are charged
    against the bound |coefficient of chi_S| <= 1 + eps of any eps-approximation) and
    sum psi F > eps * sum |psi|; for the threshold degree, psi F >= 0, psi != 0 and psi is
    orthogonal to them.
    """

    measure: str
    degree: int
    n: int
    symmetric: bool
    polynomial: dict[int, Fraction]
    dual: dict[int, Fraction]
    eps: Fraction | None = None
    #: The variables of the function that the certificate is about, when f ignores the others (the
    #: degrees do not change when variables f ignores are dropped); None: all of them.
    variables: tuple[int, ...] | None = None
    #: For a symmetric certificate, the inputs (over ``variables``) negated to make f symmetric: it is
    #: about f(x XOR input_negation), which has the same degrees.
    input_negation: int = 0

    def exact_dual(self) -> bool:
        """Whether the dual is exactly orthogonal to the polynomials of degree < ``degree`` (always for
        symmetric functions; for a general one the spectrum of psi is computed)."""
        if self.symmetric or self.degree == 0:
            return True
        psi = [Fraction(0)] * (1 << self.n)
        for x, value in self.dual.items():
            psi[x] = Fraction(value)
        spectrum = _walsh_exact(psi)
        pop = _popcounts(1 << self.n)
        return all(spectrum[s] == 0 for s in range(1 << self.n) if pop[s] < self.degree)

    def check(self, table: npt.ArrayLike | None = None, values: npt.ArrayLike | None = None) -> bool:
        """Whether the certificate proves its degree for the function with this table (general) or
        these values on the weights 0..n (symmetric; a table of a symmetric function also does).
        With ``variables``, the table's other variables must be ones f ignores."""
        if table is not None and self.variables is not None:
            arr = np.asarray(table, dtype=np.bool_)
            if arr.ndim != 1 or len(arr) & (len(arr) - 1) or len(self.variables) != self.n:
                return False
            n = arr.size.bit_length() - 1
            listed = set(self.variables)
            if len(listed) != self.n or not set(predicates.essential_variables(arr)) <= listed:
                return False
            if not all(0 <= v < n for v in listed):
                return False
            table = transforms.project(arr, self.variables)
        if table is not None and self.input_negation:
            arr = np.asarray(table, dtype=np.bool_)
            if not 0 <= self.input_negation < len(arr):
                return False
            table = arr[np.arange(len(arr)) ^ self.input_negation]
        if self.symmetric:
            if values is None:
                if table is None:
                    raise TypeError("check needs the table or the values on the weights")
                values = _weight_values(np.asarray(table, dtype=np.bool_))
                if values is None:
                    return False
            signs = [1 - 2 * int(v) for v in np.asarray(values, dtype=np.bool_)]
            if len(signs) != self.n + 1:
                return False
            return _check_symmetric(self, signs)
        if table is None:
            raise TypeError("check needs the table of a general function")
        arr = np.asarray(table, dtype=np.bool_)
        if arr.shape != (1 << self.n,):
            return False
        return _check_general(self, [1 - 2 * int(v) for v in arr])


def essential_projection(table: npt.NDArray[np.bool_]) -> tuple[tuple[int, ...], npt.NDArray[np.bool_]]:
    """The variables f depends on, and f's table over them alone (the others at 0)."""
    kept = tuple(predicates.essential_variables(table))
    return kept, transforms.project(table, kept)


# -- exact arithmetic -----------------------------------------------------------------------------


def _grid(values: npt.ArrayLike) -> list[Fraction]:
    """Floats as fractions on a grid of 2**-GRID_BITS times their largest magnitude (tiny ones go)."""
    arr = np.asarray(values, dtype=np.float64)
    top = float(np.max(np.abs(arr))) if arr.size else 0.0
    if top == 0.0 or not math.isfinite(top):
        return [Fraction(0)] * arr.size
    exponent = math.frexp(top)[1] - GRID_BITS
    return [Fraction(round(math.ldexp(float(v), -exponent))) * Fraction(2) ** exponent for v in arr]


def _snapped(values: npt.ArrayLike) -> list[Fraction]:
    """Floats as the nearest fractions of small denominator: an optimum on the boundary (error exactly
    eps) is often a vertex with such coordinates, which floats miss by an ulp."""
    return [Fraction(float(v)).limit_denominator(1 << 20) for v in np.asarray(values, dtype=np.float64)]


def _walsh_exact(values: list[Fraction]) -> list[Fraction]:
    """sum_x v(x) chi_S(x) for every S, exactly."""
    out = list(values)
    h = 1
    while h < len(out):
        for start in range(0, len(out), 2 * h):
            for i in range(start, start + h):
                a, b = out[i], out[i + h]
                out[i], out[i + h] = a + b, a - b
        h *= 2
    return out


_BYTE_POPCOUNTS = np.array([bin(b).count("1") for b in range(256)], dtype=np.uint8)


def _popcounts(size: int) -> npt.NDArray[np.uint8]:
    """popcount(x) for x < size (a power of two), from the bytes of x: 17 bytes an entry at the peak."""
    _native.ensure_working_set(17 * size)
    x = np.arange(size, dtype=np.int64)
    counts = _BYTE_POPCOUNTS[x.view(np.uint8).reshape(size, 8)].sum(axis=1, dtype=np.uint8)
    return counts


def _check_general(c: DegreeCertificate, signs: list[int]) -> bool:
    size = 1 << c.n
    pop = _popcounts(size)
    coefficients = [Fraction(0)] * size
    for mask, value in c.polynomial.items():
        if not 0 <= mask < size or (value != 0 and pop[mask] > c.degree):
            return False
        coefficients[mask] = Fraction(value)
    p = _walsh_exact(coefficients)  # p(x) = sum_S c_S chi_S(x): the same butterfly
    if c.measure == "approximate_degree":
        assert c.eps is not None
        if any(abs(p[x] - signs[x]) > c.eps for x in range(size)):
            return False
    elif any(p[x] * signs[x] <= 0 for x in range(size)):
        return False
    if c.degree == 0:
        return True
    psi = [Fraction(0)] * size
    for x, value in c.dual.items():
        if not 0 <= x < size:
            return False
        psi[x] = Fraction(value)
    norm = sum(abs(v) for v in psi)
    if norm == 0:
        return False
    spectrum = _walsh_exact(psi)
    residual = sum(abs(spectrum[s]) for s in range(size) if pop[s] < c.degree)
    if c.measure == "approximate_degree":
        assert c.eps is not None
        correlation = sum(psi[x] * signs[x] for x in range(size))
        return correlation - c.eps * norm - (1 + c.eps) * residual > 0
    if any(psi[x] * signs[x] < 0 for x in range(size)):
        return False
    return residual == 0 or float(residual) <= DUAL_TOLERANCE * float(norm)


def _check_symmetric(c: DegreeCertificate, signs: list[int]) -> bool:
    n = c.n
    if any(j < 0 or (value != 0 and j > c.degree) for j, value in c.polynomial.items()):
        return False
    q = [sum((Fraction(b) * k**j for j, b in c.polynomial.items()), Fraction(0)) for k in range(n + 1)]
    if c.measure == "approximate_degree":
        assert c.eps is not None
        if any(abs(q[k] - signs[k]) > c.eps for k in range(n + 1)):
            return False
    elif any(q[k] * signs[k] <= 0 for k in range(n + 1)):
        return False
    if c.degree == 0:
        return True
    psi = {k: Fraction(v) for k, v in c.dual.items() if v != 0}
    if not psi or any(not 0 <= k <= n for k in psi):
        return False
    if any(sum((v * k**j for k, v in psi.items()), Fraction(0)) != 0 for j in range(c.degree)):
        return False
    correlation = sum(v * signs[k] for k, v in psi.items())
    if c.measure == "approximate_degree":
        assert c.eps is not None
        return correlation > c.eps * sum(abs(v) for v in psi.values())
    return all(v * signs[k] >= 0 for k, v in psi.items())


# -- the LP ---------------------------------------------------------------------------------------


class _Ticker:
    """(done, total) reports, one a linear program: three planned (the search's guess, its
    neighbour, and one to spare), the total raised if the search needs more and never lowered (the last report is
    (total, total), however many of the planned programs the search needed). Each program is given
    what is left of ``time_limit``: past it, TimeoutError, whichever program is running."""

    def __init__(self, report: Callable[[int, int], object] | None, n: int, time_limit: float | None) -> None:
        self.report = report
        self.done = 0
        self.total = 3
        self.limit = time_limit
        self.deadline = None if time_limit is None else time.monotonic() + float(time_limit)

    def left(self) -> float | None:
        """The seconds left for the next program (None: no limit); TimeoutError when none are."""
        if self.deadline is None:
            return None
        left = self.deadline - time.monotonic()
        if left <= 0:
            raise TimeoutError(f"the linear programs ran past their time limit of {self.limit} s")
        return left

    def tick(self) -> None:
        self.done += 1
        self.total = max(self.total, self.done)
        if self.report is not None:
            self.report(self.done, self.total)

    def finish(self) -> None:
        if self.report is not None:
            self.report(self.total, self.total)


# -- general functions ----------------------------------------------------------------------------


def _signs(table: Table) -> npt.NDArray[np.float64]:
    return 1.0 - 2.0 * np.asarray(table, dtype=np.float64)


def _weight_above(table: Table, n: int) -> list[int]:
    """4**n times the Fourier weight of (-1)**f above each degree d (index d), exactly: the sums of
    W(S)**2 over |S| > d, from the core's exact sums by level."""
    by_degree = _native.walsh_weight_sums(np.ascontiguousarray(table, dtype=np.bool_))
    return [sum(by_degree[d + 1 :]) for d in range(n + 1)]


def _degree_floor(table: Table, n: int, eps: Fraction | None) -> int:
    """A proven lower bound on the degree, from Parseval: a polynomial p of degree <= d has
    max |F - p|**2 >= E[(F - p)**2] >= the weight of F above d, so E_d > eps wherever that weight
    exceeds eps**2. For sign representation (eps None): sum_x p(x) F(x) > 0 needs a character of
    degree <= d correlated with F, so d is at least the least degree carrying weight."""
    above = _weight_above(table, n)
    total = 1 << (2 * n)
    if eps is None:
        return next(d for d in range(n + 1) if above[d] < total)
    return next(d for d in range(n + 1) if Fraction(above[d], total) <= eps * eps)


def _characters(n: int, degree: int) -> tuple[npt.NDArray[np.int64], npt.NDArray[np.float64]]:
    """The masks of degree <= degree and the matrix chi_S(x) (rows x, columns S)."""
    size = 1 << n
    pop = _popcounts(size)
    masks = np.nonzero(pop <= degree)[0].astype(np.int64)
    x = np.arange(size, dtype=np.int64)
    parity = pop[np.bitwise_and.outer(x, masks)] & 1
    return masks, (1.0 - 2.0 * parity).astype(np.float64)


def _characters_above(n: int, degree: int) -> npt.NDArray[np.float64]:
    """The matrix chi_S(x) of the masks S of degree above ``degree`` (rows x)."""
    size = 1 << n
    pop = _popcounts(size)
    masks = np.nonzero(pop > degree)[0].astype(np.int64)
    x = np.arange(size, dtype=np.int64)
    return (1.0 - 2.0 * (pop[np.bitwise_and.outer(x, masks)] & 1)).astype(np.float64)


def _general_certificate(
    table: Table,
    measure: str,
    eps: Fraction | None,
    time_limit: float | None,
    report: Callable[[int, int], object] | None = None,
) -> DegreeCertificate:
    n = len(table).bit_length() - 1
    if n > MAX_GENERAL_VARS:
        raise ValueError(
            f"{measure}: general functions of at most {MAX_GENERAL_VARS} variables (symmetric ones, given by "
            f"their values on the weights, to {MAX_SYMMETRIC_VARS}); this one depends on {n}"
        )
    signs = _signs(table)
    sign_list = [int(v) for v in signs]
    solved: dict[int, tuple[float, npt.NDArray[np.int64], npt.NDArray[np.float64], npt.NDArray[np.float64]]] = {}
    ticker = _Ticker(report, n, time_limit)

    def error(d: int) -> float:
        if d not in solved:
            masks, basis = _characters(n, d)
            if 2 * len(masks) > len(signs):  # most characters are in: through the few others
                high = _characters_above(n, d)
                value, coefficients, psi = _minimax_by_complement(basis, high, signs, ticker.left())
            else:
                value, coefficients, psi = _minimax(basis, signs, ticker.left())
            solved[d] = (value, masks, coefficients, psi)
            ticker.tick()
        return solved[d][0]

    def make(d: int) -> list[DegreeCertificate]:
        _, masks, coefficients, _ = solved[d]
        dual: dict[int, Fraction] = {}
        if d > 0:
            error(d - 1)
            dual = {x: v for x, v in enumerate(_grid(solved[d - 1][3])) if v != 0}
            if eps is None:
                dual = _cleaned(dual, sign_list)
                dual = _exact_sign_dual(sign_list, n, d - 1, dual) or dual
        return [
            DegreeCertificate(
                measure, d, n, False, {int(m): v for m, v in zip(masks, c, strict=True) if v != 0}, dual, eps
            )
            for c in (_snapped(coefficients), _grid(coefficients))
        ]

    floor = _degree_floor(table, n, eps)
    # The Parseval floor is usually the approximate degree itself; a sign representation of a
    # function without structure needs about n / 2 (random functions: n / 2 or one off).
    guess = floor if eps is not None else max(floor, n // 2)
    return _search(measure, n, eps, error, make, lambda c: _check_general(c, sign_list), ticker, floor, guess)


#: The largest support whose sign dual is solved exactly: a system of that many unknowns over the
#: characters of degree < d, in fractions (some tens of milliseconds at 128).
EXACT_DUAL_SUPPORT = 128
#: Entries of a sign dual with the wrong sign and at most this fraction of its largest are the LP's
#: rounding (psi F >= 0 holds at an exact optimum), zeroed before the exact re-solve.
DUAL_CLEANING = 1e-9


def _cleaned(dual: dict[int, Fraction], signs: list[int]) -> dict[int, Fraction]:
    """The sign dual without its tiny entries of the wrong sign; the exact re-solve then decides."""
    top = max((abs(v) for v in dual.values()), default=Fraction(0))
    return {x: v for x, v in dual.items() if v * signs[x] > 0 or abs(v) > DUAL_CLEANING * top}


def _exact_sign_dual(signs: list[int], n: int, below: int, dual: dict[int, Fraction]) -> dict[int, Fraction] | None:
    """The LP's dual mu >= 0 (psi = mu F) for "no sign-representation of degree <= below" made exact: on
    its support T, the solution of sum_T mu_x F(x) chi_S(x) = 0 (|S| <= below), sum_T mu_x = 1, by
    elimination in fractions with the unknowns beyond a basis at 0; None when T is larger than
    EXACT_DUAL_SUPPORT or the solution is not >= 0 (the floating dual then stands)."""
    support = sorted(dual)
    if not support or len(support) > EXACT_DUAL_SUPPORT:
        return None
    masks = [m for m in range(1 << n) if bin(m).count("1") <= below]
    rows = [[Fraction(signs[x] * (-1 if bin(x & m).count("1") & 1 else 1)) for x in support] for m in masks]
    rows = [[*r, Fraction(0)] for r in rows] + [[Fraction(1)] * len(support) + [Fraction(1)]]
    pivots: list[int] = []
    r = 0
    for c in range(len(support)):
        pivot = next((i for i in range(r, len(rows)) if rows[i][c] != 0), None)
        if pivot is None:
            continue
        rows[r], rows[pivot] = rows[pivot], rows[r]
        lead = rows[r][c]
        rows[r] = [v / lead for v in rows[r]]
        for i in range(len(rows)):
            if i != r and rows[i][c] != 0:
                factor = rows[i][c]
                rows[i] = [a - factor * b for a, b in zip(rows[i], rows[r], strict=True)]
        pivots.append(c)
        r += 1
    if any(all(v == 0 for v in row[:-1]) and row[-1] != 0 for row in rows):
        return None  # inconsistent
    mu = [Fraction(0)] * len(support)
    for i, c in enumerate(pivots):
        mu[c] = rows[i][-1]
    if any(v < 0 for v in mu):
        return None
    return {x: m * signs[x] for x, m in zip(support, mu, strict=True) if m != 0}


def _search(
    measure: str,
    n: int,
    eps: Fraction | None,
    error: Any,
    make: Any,
    check: Any,
    ticker: _Ticker,
    floor: int = 0,
    guess: int = 0,
) -> DegreeCertificate:
    """The least d with E_d <= eps (E_d < 1 for the threshold degree), E_d = error(d) from the LP,
    searched from ``floor`` (a proven lower bound) with the LP's tolerance; then the exact checks
    decide, from there upwards: an optimum on the boundary (E_d = eps exactly) passes only with its
    exact vertex, a bound missed by the tolerance moves on to d + 1. ``guess`` and its neighbour
    towards the answer are tried before bisecting the rest: the certificate needs E_(d-1) anyway, so
    a right guess costs two programs rather than log2(n) + 1, and a wrong one at most two more."""
    if eps is None:
        feasible = lambda d: error(d) < 1.0 - SIGN_MARGIN  # noqa: E731
    else:
        feasible = lambda d: error(d) <= float(eps) + LP_TOLERANCE  # noqa: E731
    lo, hi = min(floor, n), n  # E_n = 0: degree n always works
    probe = min(max(guess, lo), hi)
    if probe < hi and feasible(probe):
        hi = probe
        if probe > lo and not feasible(probe - 1):
            lo = probe
    elif probe < hi:
        lo = probe + 1
        if lo < hi and feasible(lo):
            hi = lo
    while lo < hi:
        mid = (lo + hi) // 2
        if feasible(mid):
            hi = mid
        else:
            lo = mid + 1
    # A certificate passes only at the true degree, which the search misses by at most the boundary
    # case and a bound within the tolerance: one degree on, or two, rather than a scan to n.
    for d in range(lo, min(n, lo + 2) + 1):
        error(d)
        for certificate in make(d):
            ticker.left()  # the exact checks of a large function take a while too
            if check(certificate):
                ticker.finish()
                return certificate
    raise Undecided(f"{measure}: the LP's certificates for degree {lo} do not pass the exact check")


# -- symmetric functions --------------------------------------------------------------------------


def _weight_values(table: npt.NDArray[np.bool_]) -> list[bool] | None:
    """F's value at each Hamming weight, or None when f is not symmetric."""
    n = len(table).bit_length() - 1
    pop = _popcounts(len(table))
    values: list[bool] = []
    for k in range(n + 1):
        at = table[pop == k]
        if at.min() != at.max():
            return None
        values.append(bool(at[0]))
    return values


def _chebyshev_to_power(a: list[Fraction], n: int) -> dict[int, Fraction]:
    """sum_j a_j T_j(2k/n - 1) as coefficients of the powers of k, exactly."""
    u = [Fraction(-1), Fraction(2, n)]  # 2k/n - 1
    previous, current = [Fraction(1)], u
    total = [Fraction(0)] * (len(a) + 1)

    def add(poly: list[Fraction], weight: Fraction) -> None:
        for j, c in enumerate(poly):
            total[j] += weight * c

    for j, weight in enumerate(a):
        if j == 0:
            add(previous, weight)
            continue
        if j > 1:
            product = [Fraction(0)] * (len(current) + 1)
            for i, c in enumerate(current):
                product[i] += 2 * u[0] * c
                product[i + 1] += 2 * u[1] * c
            for i, c in enumerate(previous):
                product[i] -= c
            previous, current = current, product
        add(current, weight)
    return {j: c for j, c in enumerate(total) if c != 0}


def _divided_difference(points: list[int]) -> list[Fraction]:
    """w_i = 1 / prod_{j != i} (k_i - k_j): orthogonal to the polynomials of degree < len(points) - 1."""
    return [
        1 / Fraction(math.prod(points[i] - points[j] for j in range(len(points)) if j != i)) for i in range(len(points))
    ]


def _symmetric_values(values: Any) -> list[bool]:
    out = [bool(v) for v in values]
    if not 1 <= len(out) <= MAX_SYMMETRIC_VARS + 1:
        raise ValueError(f"the values of a symmetric function on the weights 0..n, n <= {MAX_SYMMETRIC_VARS}")
    return out


def symmetric_approximate_degree(
    values: Any,
    eps: float | Fraction = Fraction(1, 3),
    time_limit: float | None = None,
    report: Callable[[int, int], object] | None = None,
) -> DegreeCertificate:
    """The approximate degree of the symmetric function whose value at Hamming weight k is values[k]
    (n = len(values) - 1 <= 64), with its certificate (see the module)."""
    eps = checked_eps(eps)
    bits = _symmetric_values(values)
    n = len(bits) - 1
    signs = np.array([1.0 - 2.0 * b for b in bits])
    u = np.linspace(-1.0, 1.0, n + 1) if n > 0 else np.zeros(1)
    solved: dict[int, tuple[float, npt.NDArray[np.float64], npt.NDArray[np.float64]]] = {}
    sign_list = [1 - 2 * b for b in bits]
    ticker = _Ticker(report, n, time_limit)

    def error(d: int) -> float:
        if d not in solved:
            basis = np.asarray(np.polynomial.chebyshev.chebvander(u, d), dtype=np.float64)
            solved[d] = _minimax(basis, signs, ticker.left())
            ticker.tick()
        return solved[d][0]

    def make(d: int) -> list[DegreeCertificate]:
        a_float = solved[d][1]
        candidates = [_levelled(bits, d, solved[d][2])]
        for a in (_snapped(a_float), _grid(a_float)):
            candidates.append(_chebyshev_to_power(a, n) if n > 0 else {0: a[0]})
        dual: dict[int, Fraction] = {}
        if d > 0:
            error(d - 1)
            points = sorted(int(k) for k in np.argsort(-np.abs(solved[d - 1][2]), kind="stable")[: d + 1])
            weights = _divided_difference(points)
            if sum(w * sign_list[k] for w, k in zip(weights, points, strict=True)) < 0:
                weights = [-w for w in weights]
            dual = dict(zip(points, weights, strict=True))
        return [DegreeCertificate("approximate_degree", d, n, True, q, dual, eps) for q in candidates]

    return _search("approximate_degree", n, eps, error, make, lambda c: _check_symmetric(c, sign_list), ticker)


def _levelled(bits: list[bool], degree: int, psi: npt.NDArray[np.float64]) -> dict[int, Fraction]:
    """The exact best approximation of degree <= degree if the degree + 2 weights where the LP's dual
    psi is largest are an alternation set (de la Vallée Poussin): the error levelled on them is
    E = |sum w F| / sum |w| with w their divided difference, and q interpolates F - sign * E."""
    n = len(bits) - 1
    signs = [Fraction(1 - 2 * b) for b in bits]
    if degree + 2 > n + 1:
        return _interpolate(list(range(n + 1)), signs)
    points = sorted(int(k) for k in np.argsort(-np.abs(psi), kind="stable")[: degree + 2])
    w = _divided_difference(points)
    total = sum((wi * signs[k] for wi, k in zip(w, points, strict=True)), Fraction(0))
    direction = 1 if total >= 0 else -1
    error = abs(total) / sum((abs(wi) for wi in w), Fraction(0))
    targets = [signs[k] - direction * (1 if wi > 0 else -1) * error for wi, k in zip(w, points, strict=True)]
    return _interpolate(points[:-1], targets[:-1])


def _interpolate(points: list[int], values: list[Fraction]) -> dict[int, Fraction]:
    """The polynomial of degree < len(points) through (points, values), in powers of k, exactly."""
    table = list(values)
    coefficients = [table[0]]
    for level in range(1, len(points)):
        table = [(table[i + 1] - table[i]) / (points[i + level] - points[i]) for i in range(len(table) - 1)]
        coefficients.append(table[0])
    poly = [Fraction(0)]
    for level in range(len(points) - 1, -1, -1):  # Horner on the Newton form
        shifted = [Fraction(0), *poly]
        poly = [b - points[level] * a for a, b in zip([*poly, Fraction(0)], shifted, strict=True)]
        poly[0] += coefficients[level]
    return {j: c for j, c in enumerate(poly) if c != 0}


def symmetric_threshold_degree(values: Any) -> DegreeCertificate:
    """The threshold degree of the symmetric function with these values on the weights 0..n: the
    number s of sign changes of F(0), ..., F(n). The polynomial F(0) prod_i (c_i + 1/2 - k) changes
    sign at each change c_i -> c_i + 1; the dual on one weight of each run is the s-th divided
    difference, whose signs alternate with F's."""
    bits = _symmetric_values(values)
    n = len(bits) - 1
    changes = [k for k in range(n) if bits[k] != bits[k + 1]]
    poly = _product_polynomial(bits[0], changes)
    dual: dict[int, Fraction] = {}
    if changes:
        points = [*changes, n]
        weights = _divided_difference(points)
        last = 1 - 2 * bits[n]
        dual = {k: w * last for k, w in zip(points, weights, strict=True)}
    return DegreeCertificate("threshold_degree", len(changes), n, True, poly, dual)


def _product_polynomial(first: bool, changes: list[int]) -> dict[int, Fraction]:
    """F(0) prod_c (c + 1/2 - k) in powers of k."""
    poly = [Fraction(1 - 2 * first)]
    for c in changes:
        root = Fraction(2 * c + 1, 2)
        shifted = [Fraction(0)] + [-a for a in poly]  # -k * poly
        poly = [root * a for a in poly] + [Fraction(0)]
        poly = [a + b for a, b in zip(poly, shifted, strict=True)]
    return {j: c for j, c in enumerate(poly) if c != 0}


# -- entry points on tables -----------------------------------------------------------------------


def checked_eps(eps: Any) -> Fraction:
    """eps as an exact fraction in (0, 1); floats are taken at their exact value, except 1/3."""
    if isinstance(eps, bool) or not isinstance(eps, (int, float, Fraction)):
        raise TypeError(f"eps must be a number in (0, 1), not {type(eps).__name__}")
    value = Fraction(1, 3) if isinstance(eps, float) and eps == 1 / 3 else Fraction(eps)
    if not 0 < value < 1:
        raise ValueError(f"eps must lie strictly between 0 and 1, not {eps}")
    return value


def approximate_degree_certificate(
    table: Table, eps: Any = Fraction(1, 3), time_limit: float | None = None, progress: Progress = False
) -> DegreeCertificate:
    """The approximate degree of the function with this table, with its certificate; ``progress``
    hears (programs solved, programs planned)."""
    eps = checked_eps(eps)
    kept, projected = essential_projection(np.asarray(table, dtype=np.bool_))
    values, negation = _symmetric_form(projected)
    with reporter(progress, "approximate_degree") as report:
        if values is not None:
            certificate = symmetric_approximate_degree(values, eps, time_limit, report)
        else:
            certificate = _general_certificate(projected, "approximate_degree", eps, time_limit, report)
    return _naming(certificate, kept, len(table), negation)


def threshold_degree_certificate(
    table: Table, time_limit: float | None = None, progress: Progress = False
) -> DegreeCertificate:
    """The threshold degree of the function with this table, with its certificate (see
    ``approximate_degree_certificate`` for ``progress``)."""
    kept, projected = essential_projection(np.asarray(table, dtype=np.bool_))
    values, negation = _symmetric_form(projected)
    with reporter(progress, "threshold_degree") as report:
        if values is not None:
            if report is not None:
                report(1, 1)
            certificate = symmetric_threshold_degree(values)
        else:
            certificate = _general_certificate(projected, "threshold_degree", None, time_limit, report)
    return _naming(certificate, kept, len(table), negation)


def _symmetric_form(table: npt.NDArray[np.bool_]) -> tuple[list[bool] | None, int]:
    """(values on the weights, m) with f(x XOR m) symmetric, or (None, 0). For a symmetric g all Chow
    parameters sum_x G(x) (-1)**x_i are equal, and negating input i flips the sign of the i-th: a
    nonzero one gives m = the inputs whose parameter is negative; when they are all 0 a higher level of
    the Walsh spectrum gives it (``_negation_from_spectrum``)."""
    values = _weight_values(table)
    if values is not None:
        return values, 0
    n = len(table).bit_length() - 1
    signs = 1 - 2 * table.astype(np.int64)
    x = np.arange(len(table), dtype=np.int64)
    chow = [int(signs @ (1 - 2 * ((x >> i) & 1))) for i in range(n)]
    if not chow or any(abs(c) != abs(chow[0]) for c in chow):
        return None, 0
    m = sum(1 << i for i, c in enumerate(chow) if c < 0) if chow[0] else _negation_from_spectrum(signs, n)
    if m is None:
        return None, 0
    values = _weight_values(table[x ^ m])
    return (values, m) if values is not None else (None, 0)


def _negation_from_spectrum(signs: npt.NDArray[np.int64], n: int) -> int | None:
    """The inputs m to negate when the Chow parameters are all 0 (f(x) = f(~x), say), from a higher level.

    If f(x XOR m) = g(|x|), F's Walsh coefficient at S is c_|S| (-1)**|S & m|, with c_k the same for
    every S of size k. Take a nonzero one at S0 of size k < n: moving one input j of S0 for an input
    i outside it multiplies it by (-1)**(m_i + m_j), which gives every m_i relative to the lowest
    input of S0 (set to 0; m and its complement both serve). None when no such S0 exists."""
    if n < 2:
        return None
    spectrum = signs.copy()
    h = 1
    while h < len(spectrum):  # the Walsh-Hadamard butterfly, in place over blocks of 2h
        view = spectrum.reshape(-1, 2, h)
        low, high = view[:, 0, :].copy(), view[:, 1, :]
        view[:, 0, :] += high
        view[:, 1, :] = low - high
        h *= 2
    pop = _popcounts(len(spectrum))
    candidates = np.nonzero((spectrum != 0) & (pop >= 1) & (pop < n))[0]
    if not len(candidates):
        return None
    s0 = int(candidates[0])
    j0 = (s0 & -s0).bit_length() - 1
    outside = next(i for i in range(n) if not s0 >> i & 1)

    def flips(j: int, i: int) -> int:  # m_i XOR m_j, from the sign of the coefficient with j moved to i
        return int(spectrum[s0 ^ (1 << j) ^ (1 << i)] * spectrum[s0] < 0)

    m = 0
    for i in range(n):
        if not s0 >> i & 1:
            bit = flips(j0, i)
        elif i == j0:
            bit = 0
        else:
            bit = flips(i, outside) ^ flips(j0, outside)
        m |= bit << i
    return m


def _naming(certificate: DegreeCertificate, kept: tuple[int, ...], size: int, negation: int) -> DegreeCertificate:
    """The certificate of f's projection onto its essential variables (with these inputs negated),
    naming them when f has others."""
    if len(kept) != size.bit_length() - 1:
        certificate = dataclasses.replace(certificate, variables=kept)
    if negation:
        certificate = dataclasses.replace(certificate, input_negation=negation)
    return certificate


def _beyond_general_limit(limit: int, table: Table) -> str | None:
    """Why a function past ``limit`` variables is still out of reach of the degree programs, or None where
    the symmetric program or the projection onto its essential variables answers it."""
    kept, projected = essential_projection(np.asarray(table, dtype=np.bool_))
    if len(kept) <= limit:
        return None
    if len(kept) <= MAX_SYMMETRIC_VARS and _symmetric_form(projected)[0] is not None:
        return None
    return (
        f"functions of at most {limit} essential variables, or symmetric ones (up to negated inputs); "
        f"this one depends on {len(kept)}"
    )


@registry.implements("approximate_degree", beyond_limit=_beyond_general_limit)
def _approximate_degree(table: Table, report: Any) -> int:
    return approximate_degree_certificate(table, progress=report).degree


@registry.implements("threshold_degree", beyond_limit=_beyond_general_limit)
def _threshold_degree(table: Table, report: Any) -> int:
    return threshold_degree_certificate(table, progress=report).degree
