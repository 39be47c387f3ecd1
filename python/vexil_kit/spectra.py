"""Walsh spectrum and influences of BooleanFunction, exact, from the vexil core's integer kernels.

The kernels run in the compiled module ``vexil_kit._native`` without the interpreter lock (other
Python threads go on meanwhile; Ctrl-C on the main thread stops them with KeyboardInterrupt).
Every result is derived from exact integers: W(u) = sum over x of (-1)**(f(x) XOR u.x), where
false counts +1, and the influence counts #{x : f(x) != f(x XOR 2**v)}.

``vexil.Vexil`` computes ``total_influence`` and ``spectral_entropy`` in single precision from the
normalised spectrum, and its entropy is in nats: ``Vexil.total_influence()`` agrees with
``total_influence()`` and ``Vexil.spectral_entropy()`` with ``spectral_entropy() * ln 2`` within
about 1e-3 relative. Vexil's sign convention counts true as +1, so its W(k) are the negatives of
``walsh_spectrum()``; the squares, and so everything read from them, are the same.

The functions here take the truth table (a bool array) and return arrays and numbers;
``BooleanFunction``'s methods of the same names call them.

>>> walsh_spectrum(np.array([0, 1, 1, 0], dtype=bool)).tolist()   # x0 XOR x1
[0, 0, 0, 4]
"""

from __future__ import annotations

from typing import Any

import numpy as np
import numpy.typing as npt

from . import _native, _tabulate, registry
from ._arguments import Table

#: The int64 spectrum and the packed table the kernel reads, per entry.
_SPECTRUM_BYTES = 9

#: Most variables whose spectrum fits int32: |W(u)| <= 2**n.
_INT32_VARS = 30


def _spectrum_dtype(dtype: Any, n: int) -> type[np.signedinteger[Any]]:
    """The integer type walsh_spectrum returns for ``dtype`` (None: the narrowest exact one)."""
    if dtype is None:
        return np.int32 if n <= _INT32_VARS else np.int64
    try:
        chosen = np.dtype(dtype)
    except TypeError as error:
        raise TypeError(f"dtype must be None, numpy.int32 or numpy.int64, not {dtype!r}") from error
    if chosen == np.int64:
        return np.int64
    if chosen == np.int32:
        if n > _INT32_VARS:
            raise ValueError(f"an int32 spectrum holds at most {_INT32_VARS} variables, not {n}")
        return np.int32
    raise TypeError(f"dtype must be None, numpy.int32 or numpy.int64, not {chosen}")


def walsh_spectrum(table: Table, dtype: Any = None) -> npt.NDArray[Any]:
    """The Walsh spectrum W(u) = sum over x of (-1)**(f(x) XOR u.x), false counting +1, exactly.

    A new read-only array of 2**n entries, u = 0 .. 2**n - 1 (bit v of u is variable v).
    W(0) = 2**n - 2 * weight, and the squares sum to 4**n (Parseval).

    ``dtype``: None (the default) gives int32 up to 30 variables, where |W(u)| <= 2**n fits it,
    and int64 beyond: half the memory and time of int64. ``numpy.int64`` (or ``"int64"``) always
    gives int64, as for arithmetic that leaves the int32 range (squares from 16 variables on);
    ``numpy.int32`` gives int32 and raises ValueError beyond 30 variables. Any other dtype is a
    TypeError.

    >>> BooleanFunction.majority(3).walsh_spectrum()
    array([ 0,  4,  4,  0,  4,  0,  0, -4], dtype=int32)
    >>> BooleanFunction.constant(2, True).walsh_spectrum(dtype=np.int64)
    array([-4,  0,  0,  0])
    """
    n = len(table).bit_length() - 1
    spectrum: npt.NDArray[Any]
    if _spectrum_dtype(dtype, n) is np.int32:
        _tabulate.reserve(5 * len(table))
        spectrum = _native.walsh_spectrum32(table)
    else:
        _tabulate.reserve(_SPECTRUM_BYTES * len(table))
        spectrum = _native.walsh_spectrum(table)
    spectrum.setflags(write=False)
    return spectrum


def fourier_coefficients(table: Table) -> npt.NDArray[Any]:
    """The Fourier coefficients of (-1)**f, W(u) / 2**n, as float64 (exact for n <= 52).

    >>> BooleanFunction.xor(2).fourier_coefficients()
    array([0., 0., 0., 1.])
    >>> BooleanFunction.majority(3).fourier_coefficients()[[0, 1, 7]]
    array([ 0. ,  0.5, -0.5])
    """
    _tabulate.reserve((_SPECTRUM_BYTES + 8) * len(table))  # the spectrum and its float copy
    return walsh_spectrum(table) / float(len(table))  # exact: |W| <= 2**n in either width


def influence_counts(table: Table) -> npt.NDArray[Any]:
    """For each variable v, the number of inputs x with f(x) != f(x XOR 2**v), as int64.

    >>> BooleanFunction.majority(3).influence_counts()
    array([4, 4, 4])
    >>> BooleanFunction.dictator(3, 1).influence_counts()
    array([0, 8, 0])
    """
    counts = _native.influence_counts(table)
    counts.setflags(write=False)
    return counts


def influences(table: Table) -> npt.NDArray[Any]:
    """The influence of each variable: the chance that flipping it changes f, as float64.

    Exactly the integer counts of ``influence_counts()`` divided by 2**n.

    >>> BooleanFunction.majority(3).influences()
    array([0.5, 0.5, 0.5])
    >>> BooleanFunction.conjunction(2).influences()
    array([0.5, 0.5])
    """
    return _native.influence_counts(table) / float(len(table))


def total_influence(table: Table) -> float:
    """The sum of the influences (the mean sensitivity), correctly rounded to a float.

    The counts are summed as Python ints and divided once by 2**n. ``Vexil.total_influence()``
    gives the same within single-precision rounding.

    >>> BooleanFunction.majority(3).total_influence()
    1.5
    >>> BooleanFunction.xor(5).total_influence(), BooleanFunction.constant(4, False).total_influence()
    (5.0, 0.0)
    >>> f = BooleanFunction.majority(9)
    >>> abs(f.to_vexil().total_influence() - f.total_influence()) < 1e-3 * f.total_influence()
    True
    """
    return float(registry.evaluate("function", "total_influence", table))


def spectral_entropy(table: Table) -> float:
    """The entropy in bits of the spectral distribution p(u) = W(u)**2 / 4**n.

    -sum of p log2 p over the u with W(u) != 0, evaluated in float64 from the exact coefficients
    as -2 * sum of q**2 log2 q with q = |W(u)| / 2**n (exact), relative error below 1e-12: read
    off the transform as it runs, each distinct |W| counted and its term computed once, with no
    spectrum kept. It is 0 for a function whose spectrum has one non-zero coefficient (constants,
    parities) and n for a bent function. ``Vexil.spectral_entropy()`` is the same in nats, in single precision.

    >>> BooleanFunction.xor(3).spectral_entropy(), BooleanFunction.inner_product(4).spectral_entropy()
    (0.0, 4.0)
    >>> BooleanFunction.majority(3).spectral_entropy()
    2.0
    >>> import math
    >>> f = BooleanFunction.majority(9)
    >>> abs(f.to_vexil().spectral_entropy() - f.spectral_entropy() * math.log(2)) < 1e-3 * f.spectral_entropy()
    True
    """
    return float(registry.evaluate("function", "spectral_entropy", table))
