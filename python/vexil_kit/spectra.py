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

from . import _native, _tabulate
from ._arguments import Table

#: The int64 spectrum and the packed table the kernel reads, per entry.
_SPECTRUM_BYTES = 9


def walsh_spectrum(table: Table) -> npt.NDArray[Any]:
    """The Walsh spectrum W(u) = sum over x of (-1)**(f(x) XOR u.x), false counting +1, exactly."""
    _tabulate.reserve(_SPECTRUM_BYTES * len(table))
    spectrum = _native.walsh_spectrum(table)
    spectrum.setflags(write=False)
    return spectrum


def fourier_coefficients(table: Table) -> npt.NDArray[Any]:
    """The Fourier coefficients of (-1)**f, W(u) / 2**n, as float64 (exact for n <= 52)."""
    _tabulate.reserve((_SPECTRUM_BYTES + 8) * len(table))  # the spectrum and its float copy
    return _native.walsh_spectrum(table) / float(len(table))


def influence_counts(table: Table) -> npt.NDArray[Any]:
    """For each variable v, the number of inputs x with f(x) != f(x XOR 2**v), as int64."""
    counts = _native.influence_counts(table)
    counts.setflags(write=False)
    return counts


def influences(table: Table) -> npt.NDArray[Any]:
    """The influence of each variable: the chance that flipping it changes f, as float64."""
    return _native.influence_counts(table) / float(len(table))


def total_influence(table: Table) -> float:
    """The sum of the influences (the mean sensitivity), correctly rounded to a float."""
    total = sum(int(c) for c in _native.influence_counts(table).tolist())
    return total / len(table)


def spectral_entropy(table: Table) -> float:
    """The entropy in bits of the spectral distribution p(u) = W(u)**2 / 4**n."""
    # The spectrum, the terms and their concatenation (one pairwise sum, as over the whole array).
    _tabulate.reserve((_SPECTRUM_BYTES + 16) * len(table) + 64 * _tabulate.CHUNK)
    spectrum = _native.walsh_spectrum(table)
    # A chunk at a time: the other float temporaries stay small whatever n.
    terms = []
    for start in range(0, len(spectrum), _tabulate.CHUNK):
        chunk = spectrum[start : start + _tabulate.CHUNK]
        q = np.abs(chunk[chunk != 0]).astype(np.float64) / float(len(table))
        terms.append(q * q * np.log2(q))
        del chunk, q
    entropy = -2.0 * float(np.sum(np.concatenate(terms)))
    return entropy + 0.0  # -0.0 for one coefficient becomes 0.0
