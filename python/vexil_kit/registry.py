"""The registry of measures: every measure of every subject, named once.

A subject is ``"function"`` (a ``BooleanFunction``) or ``"vectorial"`` (a ``VectorialFunction``, an
S-box). The measures the native core computes are named in the core's one table
(``src/registry/registry.cpp``); the few the toolkit computes in Python (linear programs, the
spectral entropy) are named in ``_PYTHON_ROWS`` here; ``TABLE`` merges both, in report order. The
toolkit's methods, the sweeps, the command line's list and report and the checks of the
documentation all read it.

Each measure has one name per subject, its group, the kind of value it gives, the parameters it
takes beyond the function, where it applies (``excludes``: a variable limit, five variables exactly,
permutations only, or a limit that symmetric functions pass), whether it reports progress, its cost
in time and a one-line summary. A few measures of functions have other names as well (``degree``
is ``fourier_degree``); those are listed in ``ALIASES``. ``evaluate`` computes every scalar one.

>>> from vexil_kit import registry
>>> registry.MEASURES["nonlinearity"].group
'cryptographic'
>>> registry.canonical("no_linearity")
'nonlinearity'
>>> registry.measures("vectorial")["nonlinearity"].subject
'vectorial'
"""

from __future__ import annotations

import operator
from collections.abc import Callable
from dataclasses import dataclass
from typing import Any, TypeVar

from . import _native
from .progress import Progress, reporter, watching

#: The subjects, in the order ``TABLE`` lists them.
SUBJECTS = ("function", "vectorial")
#: The groups, in the order reports show them.
GROUPS = ("basic", "information", "spectral", "algebraic", "cryptographic", "query", "circuits")
#: Kinds of a single number, which ``evaluate`` computes and a sweep stores as one column.
SCALAR_KINDS = frozenset({"integer", "real", "boolean"})


@dataclass(frozen=True)
class MeasureInfo:
    """One measure of the registry."""

    name: str
    group: str
    #: "integer", "real", "boolean", "integers", "reals", "pair", "records", "function", "circuit",
    #: "text", "counts" (a dict value -> count) or "table" (a 2-D array).
    kind: str
    #: The parameters beyond the function, as the method names them (empty for none).
    parameters: tuple[str, ...]
    #: The largest number of variables it is defined for (64: no limit of its own).
    max_vars: int
    #: Whether it is defined at exactly ``max_vars`` variables only.
    exact_vars: bool
    #: Whether the method takes ``progress=``.
    progress: bool
    #: Time as a function of n, m, N = 2**n and M = 2**m.
    cost: str
    summary: str
    #: "function" (a BooleanFunction) or "vectorial" (a VectorialFunction).
    subject: str = "function"
    #: Whether it is defined for permutations only (vectorial functions with n = m, bijective).
    permutations_only: bool = False
    #: Whether ``evaluate`` computes it (a scalar with an evaluator, native or in Python).
    scalar: bool = False
    #: Whether the native core computes it (else the toolkit, in Python).
    native: bool = True
    #: Whether functions beyond ``max_vars`` variables are still answered when they are symmetric (up to
    #: negated inputs) or depend on at most ``max_vars`` variables (the polynomial degrees).
    symmetric_path: bool = False

    def excludes(self, subject: Any) -> str | None:
        """Why the measure does not apply, or None when it does.

        ``subject``: a number of variables n (the answer then holds for every function of n variables
        but those a symmetric path takes), a ``BooleanFunction`` or a ``VectorialFunction``.
        """
        if not hasattr(subject, "table"):
            return self._beyond(operator.index(subject))
        if self.subject == "vectorial":
            if self.permutations_only and not subject.is_permutation():
                return "permutations only"
            return self._beyond(subject.n)
        reason = self._beyond(subject.n)
        if reason is not None and self.symmetric_path and not self.exact_vars:
            wider = _BEYOND_LIMIT.get(self.name)
            return reason if wider is None else wider(self.max_vars, subject.table)
        return reason

    def applies(self, subject: Any) -> bool:
        """Whether the measure applies to ``subject`` (see ``excludes``)."""
        return self.excludes(subject) is None

    def _beyond(self, n: int) -> str | None:
        limit = _WORDS.get(self.max_vars, str(self.max_vars))
        noun = "functions" if self.subject == "function" else "S-boxes"
        if self.exact_vars and n != self.max_vars:
            return f"{limit}-variable {noun} only; this one has {n}"
        if n > self.max_vars:
            return f"{noun} of at most {limit} variables; this one has {n}"
        return None


_WORDS = {5: "five", 6: "six"}


def _python(name: str, group: str, kind: str, cost: str, summary: str, **options: Any) -> MeasureInfo:
    options.setdefault("scalar", kind in SCALAR_KINDS)
    max_vars = options.pop("max_vars", 64)
    progress = options.pop("progress", False)
    return MeasureInfo(name, group, kind, (), max_vars, False, progress, cost, summary, native=False, **options)


#: The measures the toolkit computes in Python, each after the measure it follows in report order.
_PYTHON_ROWS: tuple[tuple[str, MeasureInfo], ...] = (
    (
        "npn_canonical",
        _python(
            "approximate_degree",
            "query",
            "integer",
            "LPs of N rows",
            "the least degree of a real polynomial within eps (1/3) of f as +-1 on every input",
            max_vars=10,
            progress=True,
            symmetric_path=True,
        ),
    ),
    (
        "approximate_degree",
        _python(
            "threshold_degree",
            "query",
            "integer",
            "LPs of N rows",
            "the least degree of a real polynomial with the sign of f as +-1 on every input",
            max_vars=10,
            progress=True,
            symmetric_path=True,
        ),
    ),
    (
        "threshold_degree",
        _python(
            "is_threshold",
            "basic",
            "boolean",
            "LP of N rows",
            "whether f is a linear threshold function [w.x >= t]",
            max_vars=12,
        ),
    ),
    (
        "is_threshold",
        _python(
            "threshold_weights",
            "basic",
            "pair",
            "LP of N rows",
            "integer weights and threshold of f as a threshold function, or None",
            max_vars=12,
        ),
    ),
)


def _native_rows() -> list[MeasureInfo]:
    rows = []
    for row in _native.measure_registry():
        name, subject, group, kind, parameters, max_vars, exact, permutations, progress, scalar, cost, summary = row
        params = tuple(p for p in parameters.split(",") if p)
        rows.append(
            MeasureInfo(
                name, group, kind, params, max_vars, exact, progress, cost, summary, subject, permutations, scalar
            )
        )
    return rows


def _merge(core: list[MeasureInfo], extra: tuple[tuple[str, MeasureInfo], ...]) -> tuple[MeasureInfo, ...]:
    """The core's rows with each Python row placed after the row it names (of its subject)."""
    following: dict[tuple[str, str], list[MeasureInfo]] = {}
    for after, info in extra:
        following.setdefault((info.subject, after), []).append(info)
    merged: list[MeasureInfo] = []

    def place(info: MeasureInfo) -> None:
        merged.append(info)
        for later in following.pop((info.subject, info.name), []):
            place(later)

    for info in core:
        place(info)
    if following:
        raise RuntimeError(f"Python measures placed after no measure: {sorted(following)}")
    return tuple(merged)


#: Every measure of every subject, in report order: the functions', then the vectorial ones.
TABLE: tuple[MeasureInfo, ...] = _merge(_native_rows(), _PYTHON_ROWS)


def measures(subject: str) -> dict[str, MeasureInfo]:
    """Every measure of ``subject`` ("function" or "vectorial") by name, in report order."""
    if subject not in SUBJECTS:
        raise ValueError(f"unknown subject {subject!r}; the subjects are {', '.join(SUBJECTS)}")
    return {info.name: info for info in TABLE if info.subject == subject}


#: Every measure of a function by name, in report order.
MEASURES: dict[str, MeasureInfo] = measures("function")
#: Other names of measures of functions: alias -> name.
ALIASES: dict[str, str] = dict(_native.measure_aliases())


def canonical(name: str) -> str:
    """The registry's name for ``name`` (itself, or the measure an alias names); KeyError otherwise."""
    name = ALIASES.get(name, name)
    if name not in MEASURES:
        raise KeyError(name)
    return name


def names() -> list[str]:
    """Every name a measure of functions answers to: the measures, then the aliases."""
    return [*MEASURES, *ALIASES]


def find(subject: str, name: str) -> MeasureInfo | None:
    """The measure of ``subject`` called ``name`` (or, for functions, an alias of it); None when there is none."""
    table = measures(subject)
    return table.get(ALIASES.get(name, name) if subject == "function" else name)


#: The evaluators of the scalar measures computed in Python, (table, progress callable or None) -> value,
#: each named by the module that computes it (``implements``).
_PYTHON_EVALUATORS: dict[str, Callable[[Any, Any], Any]] = {}
#: For the measures with a path past their variable limit: (limit, table) -> why it still does not apply, or None.
_BEYOND_LIMIT: dict[str, Callable[[int, Any], str | None]] = {}

_Evaluator = TypeVar("_Evaluator", bound=Callable[[Any, Any], Any])


def implements(
    name: str, *, beyond_limit: Callable[[int, Any], str | None] | None = None
) -> Callable[[_Evaluator], _Evaluator]:
    """Names the evaluator, ``(table, progress callable or None) -> value``, of a measure the toolkit computes
    in Python (a row of ``_PYTHON_ROWS``). The module that computes it registers it, so that this module
    imports none of those it lists. ``beyond_limit(limit, table)`` decides the measure's own path past its
    variable limit: why it still does not apply to that table, or None when it does."""
    if name not in {info.name for _, info in _PYTHON_ROWS}:
        raise ValueError(f"{name} is not a measure the toolkit computes in Python")

    def register(evaluator: _Evaluator) -> _Evaluator:
        _PYTHON_EVALUATORS[name] = evaluator
        if beyond_limit is not None:
            _BEYOND_LIMIT[name] = beyond_limit
        return evaluator

    return register


def evaluate(subject: str, name: str, table: Any, *, m: int | None = None, progress: Progress = False) -> Any:
    """The scalar measure ``name`` of a subject's table, computed by the registry's evaluator.

    ``subject`` is ``"function"`` (``table`` a bool truth table) or ``"vectorial"`` (``table`` the
    uint32 values of an S-box with ``m`` output bits). Every scalar method of the value classes, every
    sweep column and every report row computes its value here.
    """
    if progress is None or progress is False:
        # No bar to open and close: a small call skips the context managers, whose code is
        # most of what it runs cold after busy Python.
        return _evaluate(subject, name, table, m, watching(None))
    with reporter(progress, name) as report:
        return _evaluate(subject, name, table, m, report)


def _evaluate(subject: str, name: str, table: Any, m: int | None, report: Any) -> Any:
    if subject == "function":
        python = _PYTHON_EVALUATORS.get(name)
        if python is not None:
            return python(table, report)
        return _native.measure(name, table, progress=report)
    if subject == "vectorial":
        if m is None:
            raise ValueError("the measure of an S-box's table needs its output width m")
        return _native.sbox_measure(name, table, m, progress=report)
    raise ValueError(f"unknown subject {subject!r}")
