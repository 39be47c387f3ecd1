"""The registry of measures: every measure of a single function, named once in the core.

The toolkit's methods, the sweeps' batch kernel, the command line's list and report and the checks
of the documentation all read this one table. Each measure has one name, its group, the kind of
value it gives, the parameters it takes beyond the function, the largest number of variables it is
defined for, whether it reports progress, its cost in time and a one-line summary. A few measures
have other names as well (``degree`` is ``fourier_degree``); those are listed in ``ALIASES``.

>>> from vexil_kit import registry
>>> registry.MEASURES["nonlinearity"].group
'cryptographic'
>>> registry.canonical("no_linearity")
'nonlinearity'
"""

from __future__ import annotations

from dataclasses import dataclass
from typing import Any

from . import _native
from .progress import Progress, reporter

#: The groups, in the order reports show them.
GROUPS = ("basic", "information", "spectral", "algebraic", "cryptographic", "query", "circuits")


@dataclass(frozen=True)
class MeasureInfo:
    """One measure of the registry."""

    name: str
    group: str
    #: "integer", "real", "boolean", "integers", "reals", "pair", "records", "function" or "circuit".
    kind: str
    #: The parameters beyond the function, as the method names them (empty for none).
    parameters: tuple[str, ...]
    #: The largest number of variables it is defined for (64: no limit of its own).
    max_vars: int
    #: Whether it is defined at exactly ``max_vars`` variables only.
    exact_vars: bool
    #: Whether the method takes ``progress=``.
    progress: bool
    #: Time as a function of n and N = 2**n.
    cost: str
    summary: str

    def excludes(self, n: int) -> str | None:
        """Why the measure does not apply to functions of n variables, or None when it does."""
        limit = _WORDS.get(self.max_vars, str(self.max_vars))
        if self.exact_vars and n != self.max_vars:
            return f"{limit}-variable functions only; this one has {n}"
        if n > self.max_vars:
            return f"functions of at most {limit} variables; this one has {n}"
        return None


_WORDS = {5: "five", 6: "six"}


def _load() -> dict[str, MeasureInfo]:
    measures = {}
    for name, group, kind, parameters, max_vars, exact, progress, cost, summary in _native.measure_registry():
        params = tuple(p for p in parameters.split(",") if p)
        measures[name] = MeasureInfo(name, group, kind, params, max_vars, exact, progress, cost, summary)
    return measures


#: Every measure by name, in report order.
MEASURES: dict[str, MeasureInfo] = _load()
#: Other names of measures: alias -> name.
ALIASES: dict[str, str] = dict(_native.measure_aliases())


def canonical(name: str) -> str:
    """The registry's name for ``name`` (itself, or the measure an alias names); KeyError otherwise."""
    name = ALIASES.get(name, name)
    if name not in MEASURES:
        raise KeyError(name)
    return name


def names() -> list[str]:
    """Every name a measure answers to: the measures, then the aliases."""
    return [*MEASURES, *ALIASES]


def evaluate(subject: str, name: str, table: Any, *, m: int | None = None, progress: Progress = False) -> Any:
    """The scalar measure ``name`` of a subject's table, computed by the registry's evaluator.

    ``subject`` is ``"function"`` (``table`` a bool truth table) or ``"vectorial"`` (``table`` the
    uint32 values of an S-box with ``m`` output bits). Every scalar method of the value classes, every
    sweep column and every report row computes its value here.
    """
    with reporter(progress, name) as report:
        if subject == "function":
            return _native.measure(name, table, progress=report)
        if subject == "vectorial":
            if m is None:
                raise ValueError("a vectorial measure needs the S-box's output bits m")
            return _native.sbox_measure(name, table, m, progress=report)
    raise ValueError(f"unknown subject {subject!r}")
