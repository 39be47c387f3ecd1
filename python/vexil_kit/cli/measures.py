"""The measures a report computes: every measure of the registry that needs no argument, in the
registry's order and under its names, each computed by the BooleanFunction method of that name (the
S-box measures of ``vexil report sbox:...``, ``SBOX_MEASURES``, are the registry's vectorial ones but
the tables). Whether a measure applies to a function is the registry's ``MeasureInfo.excludes``.

The fragmentation spectrum is computed once per report: its peak and differences are taken from it
in single precision, as the core takes them, so the values are those of the methods.
"""

from __future__ import annotations

from collections.abc import Callable
from dataclasses import dataclass
from typing import Any

import numpy as np

from .. import registry
from ..function import BooleanFunction
from ..registry import MeasureInfo
from ..sweeps.output import plain

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
    group: str = "basic"
    summary: str = ""


def differences(values: list[float]) -> list[float]:
    """values[k + 1] - values[k] in single precision, widened."""
    single = np.asarray(values, dtype=np.float32)
    return [float(d) for d in single[1:] - single[:-1]]


def peak(spectrum: list[float]) -> tuple[int, float]:
    """The first largest entry (ties: the smallest k)."""
    k = max(range(len(spectrum)), key=lambda i: (spectrum[i], -i))
    return k, spectrum[k]


# Measures read off the fragmentation spectrum, which a report computes once.
_FROM_SPECTRUM: dict[str, Callable[[list[float]], Any]] = {
    "fragmentation_spectrum": lambda s: s,
    "fragmentation_peak": peak,
    "fragmentation_delta": differences,
    "fragmentation_delta2": lambda s: differences(differences(s)),
}


def _of(info: MeasureInfo) -> Measure:
    if info.name in _FROM_SPECTRUM:
        read = _FROM_SPECTRUM[info.name]

        def compute(c: Computation, report: Report) -> Any:
            return read(c.spectrum(report))

    else:
        method = getattr(BooleanFunction, info.name)

        def compute(c: Computation, report: Report) -> Any:
            return plain(method(c.f, progress=report) if info.progress else method(c.f))

    return Measure(info.name, compute, info.excludes, info.progress, group=info.group, summary=info.summary)


MEASURES = [
    Measure("n_vars", lambda c, report: c.f.n, summary="the number of variables"),
    Measure("size", lambda c, report: len(c.f), summary="the number of entries, 2**n"),
    *(_of(info) for info in registry.MEASURES.values() if not info.parameters),
]

BY_NAME = {m.name: m for m in MEASURES}

#: The measures ``vexil report sbox:...`` computes: the registry's vectorial measures but the tables.
SBOX_MEASURES = {name: info for name, info in registry.measures("vectorial").items() if info.kind != "table"}


def find(name: str) -> Measure | None:
    """The report's measure called ``name`` or an alias of it; None when there is none."""
    return BY_NAME.get(registry.ALIASES.get(name, name))


def nearest(name: str) -> str:
    """The hint ' (did you mean X?)' with the measure or alias nearest to an unknown ``name``, or ''."""
    from .functions import suggestion

    return suggestion(name, [*BY_NAME, *registry.ALIASES])


def listing() -> str:
    """The report's measures by group with their one-line summaries, and the aliases."""
    lines = []
    for group in registry.GROUPS:
        members = [m for m in MEASURES if m.group == group]
        lines.append(f"{group}:")
        lines.extend(f"  {m.name:<26} {m.summary}" for m in members)
    aliases = ", ".join(f"{alias} = {name}" for alias, name in registry.ALIASES.items())
    lines.append(f"aliases: {aliases}")
    lines.append("S-boxes (vexil report sbox:...):")
    lines.extend(f"  {info.name:<26} {info.summary}" for info in SBOX_MEASURES.values())
    return "\n".join(lines)


def markdown() -> str:
    """The measures as docs/cli.md lists them: a table of each report measure with its group and summary,
    in report order, then the S-box measures (checked against the page by the tests)."""
    lines = ["| measure | group | what it is |", "|---|---|---|"]
    lines.extend(f"| `{m.name}` | {m.group} | {m.summary} |" for m in MEASURES)
    aliases = ", ".join(f"`{alias}` = `{name}`" for alias, name in registry.ALIASES.items())
    lines.append("")
    lines.append(f"Aliases: {aliases}.")
    lines.append("")
    lines.append("For S-boxes (`vexil report sbox:...`): " + ", ".join(f"`{name}`" for name in SBOX_MEASURES) + ".")
    return "\n".join(lines)
