"""Spectral and autocorrelation measures of cryptography: degree, nonlinearity, correlation immunity,
autocorrelation, noise stability.

Everything is read off two exact integer objects:

* the Walsh spectrum W(u) = sum over x of (-1)**(f(x) XOR u.x), false counting +1, as in
  ``walsh_spectrum()`` (the measures here depend on |W| only, so the sign convention is moot);
* the autocorrelation r(a) = sum over x of (-1)**(f(x) XOR f(x XOR a)), obtained as
  WHT(W**2) / 2**n (Wiener–Khinchin).

The kernels run in the compiled module ``vexil_kit._native`` without the interpreter lock, on the
worker pool for tables of more than 2**14 entries; Ctrl-C on the main thread stops them with
KeyboardInterrupt. All take ``progress``: True shows a tqdm bar, a callable receives ``(done,
total)`` (see ``vexil_kit.progress``). The sums of squares are exact integers up to 31 variables;
the measures that need them (``autocorrelation``, the indicators, ``linear_structures``,
``spectral_weights``, ``noise_stability``) raise ValueError beyond (a table of 32 variables alone
takes 4 GiB).

The functions here take the truth table (a bool array); ``BooleanFunction``'s methods of the same
names call them.

>>> table = np.array([0, 0, 0, 1, 0, 1, 1, 1], dtype=bool)   # majority of three
>>> nonlinearity(table), autocorrelation(table).tolist(), noise_stability(table, 0.5)
(2, [8, 0, 0, 0, 0, 0, 0, -8], 0.40625)
"""

from __future__ import annotations

import numbers
from typing import Any

import numpy as np
import numpy.typing as npt

from . import _arguments, _native, _tabulate, registry
from ._arguments import Table
from .progress import Progress, reporter

#: The most variables of the measures read from sums of squares (exact in 64 bits).
_SQUARES_MAX_VARS = 31


def _run(name: str, table: Table, progress: Progress, label: str | None = None) -> Any:
    with reporter(progress, label or name) as report:
        return getattr(_native, name)(table, progress=report)


def _within_squares(table: Table) -> None:
    """ValueError, as the kernels of the sums of squares give it, for a table of more than 31 variables."""
    if len(table) > 1 << _SQUARES_MAX_VARS:
        n = _arguments.log2(len(table))
        raise ValueError(
            f"this measure needs exact 64-bit sums of squares: at most {_SQUARES_MAX_VARS} variables, not {n}"
        )


def fourier_degree(table: Table, progress: Progress = False) -> int:
    """The Fourier degree: the largest popcount(u) with W(u) != 0; 0 for constants and n = 0.

    The degree of f as a real multilinear polynomial in ±1 variables, the same as
    ``vexil.Vexil.degree()``; at least the algebraic degree over GF(2). One pass over the table
    decides whether it is n (W(2**n - 1) != 0, as for almost every function); otherwise one
    transform.

    >>> BooleanFunction.majority(3).fourier_degree(), BooleanFunction.xor(4).fourier_degree()
    (3, 4)
    >>> BooleanFunction.dictator(5, 2).fourier_degree(), BooleanFunction.constant(3, True).fourier_degree()
    (1, 0)
    """
    return int(registry.evaluate("function", "fourier_degree", table, progress=progress))


def nonlinearity(table: Table, progress: Progress = False) -> int:
    """The Hamming distance from f to the nearest affine function: 2**(n-1) - max|W| / 2.

    An exact int; 0 for affine functions and for n = 0 (each of the two functions of no variables
    is a constant). Bent functions reach the largest value, 2**(n-1) - 2**(n/2 - 1). The same
    value as ``no_linearity()``.

    >>> BooleanFunction.majority(3).nonlinearity(), BooleanFunction.inner_product(6).nonlinearity()
    (2, 28)
    >>> BooleanFunction.xor(5).nonlinearity()
    0
    """
    return int(registry.evaluate("function", "nonlinearity", table, progress=progress))


def is_bent(table: Table, progress: Progress = False) -> bool:
    """Whether f is bent: n is even and |W(u)| = 2**(n/2) for every u (max|W| = 2**(n/2)).

    Odd n gives False without a transform, and so does a weight other than
    2**(n-1) ± 2**(n/2 - 1). For n = 0 the definition gives True: n is even and |W(0)| = 1 =
    2**0, so both functions of no variables count as (degenerate) bent functions.

    >>> BooleanFunction.inner_product(4).is_bent(), BooleanFunction.majority(4).is_bent()
    (True, False)
    >>> BooleanFunction([True]).is_bent(), BooleanFunction.xor(3).is_bent()
    (True, False)
    """
    n = _arguments.log2(len(table))
    if n % 2:
        return False
    if n == 0:
        return True
    # W(0) = 2**n - 2 * weight must be ±2**(n/2) itself.
    if abs((1 << n) - 2 * int(np.count_nonzero(table))) != 1 << (n // 2):
        return False
    return _run("max_abs_walsh", table, progress, "is_bent") == 1 << (n // 2)


def correlation_immunity(table: Table, progress: Progress = False) -> int:
    """The correlation-immunity order: the largest m with W(u) = 0 for every u of popcount 1..m.

    By the Xiao–Massey characterisation, f is then statistically independent of every set of
    at most m input variables, balanced or not. 0 when some single variable correlates with f (the
    usual case, decided by one pass over the table); n when every W(u) with u != 0 is zero, that is
    for constants (and n = 0). A balanced function of n >= 1 variables has order at most n - 1.

    >>> BooleanFunction.xor(4).correlation_immunity(), BooleanFunction.majority(3).correlation_immunity()
    (3, 0)
    >>> BooleanFunction.constant(3, False).correlation_immunity()
    3
    >>> BooleanFunction.from_expression("x0 & x1 ^ x2 ^ x3").correlation_immunity()   # balanced too
    1
    """
    return int(registry.evaluate("function", "correlation_immunity", table, progress=progress))


def resiliency_order(table: Table, progress: Progress = False) -> int:
    """The resiliency order: ``correlation_immunity()`` when f is balanced (W(0) = 0), else -1.

    -1 for every unbalanced function, constants and n = 0 included (one pass over the table
    decides); an m-resilient function stays balanced when any m inputs are fixed.

    >>> BooleanFunction.xor(3).resiliency_order(), BooleanFunction.majority(3).resiliency_order()
    (2, 0)
    >>> BooleanFunction.conjunction(2).resiliency_order()
    -1
    """
    return int(registry.evaluate("function", "resiliency_order", table, progress=progress))


def autocorrelation(table: Table, progress: Progress = False) -> npt.NDArray[Any]:
    """The autocorrelation r(a) = sum over x of (-1)**(f(x) XOR f(x XOR a)), exactly.

    A new read-only int64 array of 2**n entries, a = 0 .. 2**n - 1. r(0) = 2**n, each r(a) is in
    [-2**n, 2**n], and r(a) = 2**n - 2 * weight of the derivative of f in direction a; the
    values sum to W(0)**2. Computed as WHT(W**2) / 2**n. ValueError above 31 variables.

    >>> BooleanFunction.majority(3).autocorrelation()   # flipping every input flips the value
    array([ 8,  0,  0,  0,  0,  0,  0, -8])
    >>> BooleanFunction.from_expression("x0 & x1").autocorrelation()
    array([4, 0, 0, 0])
    >>> BooleanFunction.from_expression("x0 | x1 & x2").autocorrelation()
    array([ 8, -4,  4, -4,  4, -4,  4, -4])
    """
    _tabulate.reserve(9 * len(table))  # the int64 result and the packed table
    r = _run("autocorrelation", table, progress)
    r.setflags(write=False)
    return r


def absolute_indicator(table: Table, progress: Progress = False) -> int:
    """The absolute indicator: the largest |r(a)| over a != 0; 0 for n = 0 (there is no such a).

    2**n exactly when f has a linear structure; 0 exactly for bent functions (n >= 1).
    ValueError above 31 variables.

    >>> BooleanFunction.from_expression("x0 | x1 & x2").absolute_indicator()
    4
    >>> BooleanFunction.inner_product(6).absolute_indicator(), BooleanFunction.xor(3).absolute_indicator()
    (0, 8)
    """
    _within_squares(table)
    return int(registry.evaluate("function", "absolute_indicator", table, progress=progress))


def sum_of_squares_indicator(table: Table, progress: Progress = False) -> int:
    """The sum-of-squares indicator: the sum over a of r(a)**2, as an exact Python int.

    Between 4**n (bent functions) and 8**n (affine functions), so it passes 2**63 from n = 21 on.
    Computed as (sum over u of W(u)**4) / 2**n, from one transform. ValueError above 31 variables.

    >>> BooleanFunction.inner_product(4).sum_of_squares_indicator()
    256
    >>> BooleanFunction.xor(4).sum_of_squares_indicator()
    4096
    >>> BooleanFunction.from_expression("x0 | x1 & x2").sum_of_squares_indicator()   # 8**2 + 7 * 4**2
    176
    """
    return _run("sum_of_squares_indicator", table, progress)


def linear_structures(table: Table, progress: Progress = False) -> list[int]:
    """The linear structures of f: the a != 0 with |r(a)| = 2**n, ascending, as ints.

    a is a linear structure when f(x) XOR f(x XOR a) is the same for every x; with 0 they form
    a linear subspace. Affine functions have every a != 0; bent functions and n = 0 none.
    ValueError above 31 variables.

    >>> BooleanFunction.from_expression("x0 & x1 ^ x2").linear_structures()
    [4]
    >>> BooleanFunction.xor(2).linear_structures(), BooleanFunction.inner_product(4).linear_structures()
    ([1, 2, 3], [])
    >>> BooleanFunction.majority(3).linear_structures()   # self-dual: f(x ^ 7) = not f(x)
    [7]
    """
    return _run("linear_structures", table, progress)


def spectral_weights(table: Table, progress: Progress = False) -> npt.NDArray[Any]:
    """The Fourier weight by level: for k = 0 .. n, the sum over popcount(u) = k of (W(u) / 2**n)**2.

    A float64 array of n + 1 entries that sum to 1 (Parseval); entry 0 is (W(0) / 2**n)**2 and
    entry k > 0 is the share of the variance of (-1)**f at degree k. Each entry is the exact
    integer sum of W(u)**2 divided once by 4**n, correctly rounded. ValueError above 31
    variables.

    >>> BooleanFunction.majority(3).spectral_weights()
    array([0.  , 0.75, 0.  , 0.25])
    >>> BooleanFunction.constant(2, True).spectral_weights()
    array([1., 0., 0.])
    """
    scale = len(table) ** 2
    sums = _run("walsh_weight_sums", table, progress, "spectral_weights")
    return np.array([s / scale for s in sums], dtype=np.float64)


def noise_stability(table: Table, rho: float, progress: Progress = False) -> float:
    """The noise stability Stab_rho(f): the sum over u of rho**popcount(u) * (W(u) / 2**n)**2.

    The correlation E[(-1)**f(x) * (-1)**f(y)] when each bit of y equals that of x with
    probability (1 + rho) / 2, independently. ``rho`` is a real number in [-1, 1] (ValueError
    outside, TypeError when it is no real number). Evaluated exactly from the integer weights by
    level and rounded once: 1.0 at rho = 1 and (W(0) / 2**n)**2 at rho = 0. ValueError above 31
    variables.

    >>> BooleanFunction.majority(3).noise_stability(0.5)   # 0.75 * 0.5 + 0.25 * 0.125
    0.40625
    >>> BooleanFunction.xor(3).noise_stability(-1.0), BooleanFunction.xor(3).noise_stability(0.0)
    (-1.0, 0.0)
    """
    if isinstance(rho, (bool, np.bool_)) or not isinstance(rho, numbers.Real):
        raise TypeError(f"rho must be a real number, not {type(rho).__name__}")
    value = float(rho)
    if not -1.0 <= value <= 1.0:  # NaN fails too
        raise ValueError(f"rho must lie in [-1, 1], got {rho!r}")
    sums = _run("walsh_weight_sums", table, progress, "noise_stability")
    # rho is exactly p / 2**e: the sum times 2**(e*n) * 4**n is the integer sum of
    # sums[k] * p**k * 2**(e*(n-k)), and one true division rounds it correctly.
    p, q = value.as_integer_ratio()
    e = q.bit_length() - 1
    n = _arguments.log2(len(table))
    total = 0
    power = 1
    for k, s in enumerate(sums):
        total += s * power << (e * (n - k))
        power *= p
    return total / (1 << (e * n + 2 * n))
