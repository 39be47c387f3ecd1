"""The measures a report computes, in the order it shows them, on vexil_kit.BooleanFunction.

Each is the toolkit method of the same name: the information measures and the fragmentation family
as ``vexil.Vexil`` computes them; influences, total influence and spectral entropy exact (the
entropy in bits).
"""

from __future__ import annotations

import inspect
from collections.abc import Callable
from dataclasses import dataclass
from typing import Any

from ..function import BooleanFunction

#: A callable told of a running measure's progress as (done, total), or None.
Report = Callable[[int, int], object] | None


@dataclass(frozen=True)
class Measure:
    name: str
    compute: Callable[[BooleanFunction, Report], Any]
    five_inputs_only: bool = False


def _method(name: str) -> Callable[[BooleanFunction, Report], Any]:
    method = getattr(BooleanFunction, name)
    if "progress" in inspect.signature(method).parameters:
        return lambda f, report: method(f, progress=report)
    return lambda f, report: method(f)


def _representative(f: BooleanFunction, report: Report) -> str | None:
    r = f.npn_representant()
    # The representative holds bit i of the canonical word at entry i.
    return None if r is None else f"0x{r.to_int():08X}"


def _plain(*names: str) -> list[Measure]:
    """Measures that are a method of the same name without arguments."""
    return [Measure(name, _method(name)) for name in names]


MEASURES = [
    Measure("n_vars", lambda f, report: f.n),
    Measure("size", lambda f, report: len(f)),
    *_plain("entanglement", "entropy", "equanimity_importance"),
    *_plain("fragmentation_spectrum", "fragmentation_peak", "fragmentation_delta", "fragmentation_delta2"),
    *_plain("max_sensitivity", "mean_sensitivity"),
    Measure("influence", lambda f, report: f.influences().tolist()),
    *_plain("total_influence", "degree", "no_linearity", "spectral_entropy", "certificate_complexity"),
    *_plain("frontier_size", "max_frontier_size"),
    Measure("minimal_gates", _method("minimal_gates"), five_inputs_only=True),
    Measure("npn_representant", _representative, five_inputs_only=True),
]

BY_NAME = {m.name: m for m in MEASURES}


def available(f: BooleanFunction) -> list[Measure]:
    """The measures that apply to f."""
    return [m for m in MEASURES if not m.five_inputs_only or f.n == 5]
