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


def _plain(*names: str) -> list[Measure]:
    """Measures that are a method of the same name without arguments."""
    return [Measure(name, _method(name)) for name in names]


MEASURES = [
    *_plain("n_vars", "size", "entanglement", "entropy", "equanimity_importance"),
    *_plain("fragmentation_spectrum", "fragmentation_peak", "fragmentation_delta", "fragmentation_delta2"),
    *_plain("max_sensitivity", "mean_sensitivity"),
    Measure("influence", _influences),
    *_plain("total_influence", "degree", "no_linearity", "spectral_entropy", "certificate_complexity"),
    *_plain("frontier_size", "max_frontier_size"),
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
