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

from . import _arguments, _native, _tabulate
from ._arguments import Table
from .progress import Progress, reporter


def _run(name: str, table: Table, progress: Progress, label: str | None = None) -> Any:
    with reporter(progress, label or name) as report:
        return getattr(_native, name)(table, progress=report)


def fourier_degree(table: Table, progress: Progress = False) -> int:
    """The Fourier degree: the largest popcount(u) with W(u) != 0; 0 for constants and n = 0."""
    return _run("fourier_degree", table, progress)


def nonlinearity(table: Table, progress: Progress = False) -> int:
    """The Hamming distance from f to the nearest affine function: 2**(n-1) - max|W| / 2."""
    if len(table) == 1:
        return 0
    return (len(table) - _run("max_abs_walsh", table, progress, "nonlinearity")) // 2


def is_bent(table: Table, progress: Progress = False) -> bool:
    """Whether f is bent: n is even and |W(u)| = 2**(n/2) for every u (max|W| = 2**(n/2))."""
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
    """The correlation-immunity order: the largest m with W(u) = 0 for every u of popcount 1..m."""
    return _run("correlation_immunity", table, progress)


def resiliency_order(table: Table, progress: Progress = False) -> int:
    """The resiliency order: ``correlation_immunity()`` when f is balanced (W(0) = 0), else -1."""
    return _run("resiliency_order", table, progress)


def autocorrelation(table: Table, progress: Progress = False) -> npt.NDArray[Any]:
    """The autocorrelation r(a) = sum over x of (-1)**(f(x) XOR f(x XOR a)), exactly."""
    _tabulate.reserve(9 * len(table))  # the int64 result and the packed table
    r = _run("autocorrelation", table, progress)
    r.setflags(write=False)
    return r


def absolute_indicator(table: Table, progress: Progress = False) -> int:
    """The absolute indicator: the largest |r(a)| over a != 0; 0 for n = 0 (there is no such a)."""
    return _run("absolute_indicator", table, progress)


def sum_of_squares_indicator(table: Table, progress: Progress = False) -> int:
    """The sum-of-squares indicator: the sum over a of r(a)**2, as an exact Python int."""
    return _run("sum_of_squares_indicator", table, progress)


def linear_structures(table: Table, progress: Progress = False) -> list[int]:
    """The linear structures of f: the a != 0 with |r(a)| = 2**n, ascending, as ints."""
    return _run("linear_structures", table, progress)


def spectral_weights(table: Table, progress: Progress = False) -> npt.NDArray[Any]:
    """The Fourier weight by level: for k = 0 .. n, the sum over popcount(u) = k of (W(u) / 2**n)**2."""
    scale = len(table) ** 2
    sums = _run("walsh_weight_sums", table, progress, "spectral_weights")
    return np.array([s / scale for s in sums], dtype=np.float64)


def noise_stability(table: Table, rho: float, progress: Progress = False) -> float:
    """The noise stability Stab_rho(f): the sum over u of rho**popcount(u) * (W(u) / 2**n)**2."""
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
