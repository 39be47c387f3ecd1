"""The measures a report computes, in the order it shows them, on vexil_kit.BooleanFunction.

Each is the toolkit method of the same name: the information measures and the fragmentation family
as ``vexil.Vexil`` computes them; influences, total influence and spectral entropy exact (the
entropy in bits). The fragmentation spectrum is computed once per report: its peak and differences
are taken from it in single precision, as the core takes them, so the values are the same.
"""

from __future__ import annotations

import inspect
from collections.abc import Callable
from dataclasses import dataclass
from typing import Any

import numpy as np

from ..function import BooleanFunction

#: A callable told of a running measure's progress as (done, total), or None.
Report = Callable[[int, int], object] | None


class Computation:
    """One report's function and what its measures share."""

    def __init__(self, f: BooleanFunction) -> None:
        self.f = f
        self._spectrum: list[float] | None = None

    def spectrum(self, report: Report) -> list[float]:
        if self._spectrum is None:
            self._spectrum = self.f.fragmentation_spectrum(progress=report)
        return self._spectrum


@dataclass(frozen=True)
class Measure:
    name: str
    compute: Callable[[Computation, Report], Any]
    #: Why the measure does not apply to a function, or None when it does.
    excludes: Callable[[BooleanFunction], str | None] = lambda f: None
    #: Whether it reports progress (a long computation).
    reports: bool = False


def _method(name: str) -> Measure:
    method = getattr(BooleanFunction, name)
    if "progress" in inspect.signature(method).parameters:
        return Measure(name, lambda c, report: method(c.f, progress=report), reports=True)
    return Measure(name, lambda c, report: method(c.f))


def differences(values: list[float]) -> list[float]:
    """values[k + 1] - values[k] in single precision, widened."""
    single = np.asarray(values, dtype=np.float32)
    return [float(d) for d in single[1:] - single[:-1]]


def peak(spectrum: list[float]) -> tuple[int, float]:
    """The first largest entry (ties: the smallest k)."""
    k = max(range(len(spectrum)), key=lambda i: (spectrum[i], -i))
    return k, spectrum[k]


def _representative(c: Computation, report: Report) -> str | None:
    r = c.f.npn_representant()
    # The representative holds bit i of the canonical word at entry i.
    return None if r is None else f"0x{r.to_int():08X}"


def _five_inputs_only(f: BooleanFunction) -> str | None:
    return None if f.n == 5 else f"five-variable functions only; this one has {f.n}"


def _at_most_five_inputs(f: BooleanFunction) -> str | None:
    return None if f.n <= 5 else f"functions of at most five variables; this one has {f.n}"


MEASURES = [
    Measure("n_vars", lambda c, report: c.f.n),
    Measure("size", lambda c, report: len(c.f)),
    _method("entanglement"),
    _method("entropy"),
    _method("equanimity_importance"),
    Measure("fragmentation_spectrum", lambda c, report: c.spectrum(report), reports=True),
    Measure("fragmentation_peak", lambda c, report: peak(c.spectrum(report)), reports=True),
    Measure("fragmentation_delta", lambda c, report: differences(c.spectrum(report)), reports=True),
    Measure("fragmentation_delta2", lambda c, report: differences(differences(c.spectrum(report))), reports=True),
    _method("max_sensitivity"),
    _method("mean_sensitivity"),
    Measure("influence", lambda c, report: c.f.influences().tolist()),
    _method("total_influence"),
    _method("degree"),
    _method("no_linearity"),
    _method("spectral_entropy"),
    _method("certificate_complexity"),
    _method("frontier_size"),
    _method("max_frontier_size"),
    Measure("minimal_gates", lambda c, report: c.f.minimal_gates(), _at_most_five_inputs),
    Measure("npn_representant", _representative, _five_inputs_only),
]

BY_NAME = {m.name: m for m in MEASURES}
