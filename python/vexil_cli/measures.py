"""The measures a report computes, in the order it shows them."""

from __future__ import annotations

from dataclasses import dataclass
from typing import Any, Callable

import vexil


@dataclass(frozen=True)
class Measure:
    name: str
    compute: Callable[[vexil.Vexil], Any]
    five_inputs_only: bool = False


def _method(name: str) -> Callable[[vexil.Vexil], Any]:
    return lambda f: getattr(f, name)()


def _influences(f: vexil.Vexil) -> list[float]:
    return [f.influence(v) for v in range(f.n_vars())]


def _representative(f: vexil.Vexil) -> str | None:
    r = f.npn_representant()
    if r is None:
        return None
    # The representative holds bit i of the canonical word at entry i.
    word = sum(1 << i for i, bit in enumerate(r.repr()) if bit)
    return f"0x{word:08X}"


MEASURES = [
    Measure("n_vars", _method("n_vars")),
    Measure("size", _method("size")),
    Measure("entanglement", _method("entanglement")),
    Measure("entropy", _method("entropy")),
    Measure("equanimity_importance", _method("equanimity_importance")),
    Measure("fragmentation_spectrum", _method("fragmentation_spectrum")),
    Measure("fragmentation_peak", _method("fragmentation_peak")),
    Measure("fragmentation_delta", _method("fragmentation_delta")),
    Measure("fragmentation_delta2", _method("fragmentation_delta2")),
    Measure("max_sensitivity", _method("max_sensitivity")),
    Measure("mean_sensitivity", _method("mean_sensitivity")),
    Measure("influence", _influences),
    Measure("total_influence", _method("total_influence")),
    Measure("degree", _method("degree")),
    Measure("no_linearity", _method("no_linearity")),
    Measure("spectral_entropy", _method("spectral_entropy")),
    Measure("certificate_complexity", _method("certificate_complexity")),
    Measure("frontier_size", _method("frontier_size")),
    Measure("max_frontier_size", _method("max_frontier_size")),
    Measure("minimal_gates", _method("minimal_gates"), five_inputs_only=True),
    Measure("npn_representant", _representative, five_inputs_only=True),
]

BY_NAME = {m.name: m for m in MEASURES}


def available(f: vexil.Vexil) -> list[Measure]:
    """The measures this build of the module offers for f."""
    chosen = []
    for m in MEASURES:
        if not hasattr(vexil.Vexil, m.name):
            continue
        if m.five_inputs_only and f.n_vars() != 5:
            continue
        chosen.append(m)
    return chosen
