"""`vexil report`: every measure of a function, one by one, as a table or as JSON lines.

Each measure is written as soon as it is done, so a long report can be followed, and a report cut
short can be resumed from its JSON lines. A measure that does not apply to the function, or that
fails, is shown as such and the others still run.
"""

from __future__ import annotations

import json
import math
import time
from dataclasses import dataclass
from typing import Any, TextIO

from ..function import BooleanFunction
from .measures import BY_NAME, MEASURES, Computation, Measure, find
from .progress import ProgressDisplay

OK = "ok"
NOT_APPLICABLE = "not applicable"
FAILED = "failed"


@dataclass
class Outcome:
    """What became of one measure: its value and time, why it does not apply, or why it failed."""

    name: str
    status: str
    value: Any = None
    seconds: float = 0.0
    message: str = ""

    def as_json(self) -> dict[str, Any]:
        line: dict[str, Any] = {"measure": self.name, "status": self.status}
        if self.status == OK:
            line.update(value=_json_value(self.value), seconds=self.seconds)
        elif self.status == NOT_APPLICABLE:
            line["reason"] = self.message
        else:
            line["error"] = self.message
        return line


class ResumeError(ValueError):
    """A --resume file that is not an earlier report of the same function."""


def select(only: str | None) -> list[Measure]:
    if not only:
        return list(MEASURES)
    names = [name.strip() for name in only.split(",") if name.strip()]
    unknown = [name for name in names if find(name) is None]
    if unknown:
        raise ValueError(f"unknown measure {unknown[0]!r}; `vexil report --list-measures` lists them")
    chosen = [m for m in (find(name) for name in names) if m is not None]
    # One computation per measure, however many of its names were given.
    return list(dict.fromkeys(chosen))


def header_line(label: str, f: BooleanFunction) -> dict[str, Any]:
    return {"function": label, "variables": f.n, "entries": len(f), "true_entries": f.weight()}


def earlier_outcomes(path: str, label: str, f: BooleanFunction) -> dict[str, Outcome]:
    """The measures an earlier ``--json`` report of f at ``path`` finished, by name."""
    try:
        with open(path, encoding="utf-8") as handle:
            lines = [line for line in handle.read().splitlines() if line.strip()]
    except OSError as error:
        raise ResumeError(f"cannot read {path}: {error.strerror}") from None
    try:
        records = [json.loads(line) for line in lines]
    except json.JSONDecodeError:
        # A run killed while writing leaves its last line cut: the lines before it stand.
        records = []
        for line in lines:
            try:
                records.append(json.loads(line))
            except json.JSONDecodeError:
                break
    if not records or records[0] != header_line(label, f):
        raise ResumeError(f"{path} is not a JSON report of {label} (its first line must describe the same function)")
    done = {}
    for record in records[1:]:
        if isinstance(record, dict) and record.get("status") == OK and record.get("measure") in BY_NAME:
            done[record["measure"]] = Outcome(
                record["measure"], OK, record.get("value"), float(record.get("seconds", 0.0))
            )
    return done


def _hint(error: BaseException) -> str:
    text = str(error) or type(error).__name__
    if isinstance(error, MemoryError):
        return f"{text}; run it where more memory is free, or on a smaller function"
    return text if isinstance(error, (ValueError, ArithmeticError)) else f"{type(error).__name__}: {text}"


def compute(measure: Measure, computation: Computation, display: ProgressDisplay) -> Outcome:
    reason = measure.excludes(computation.f)
    if reason is not None:
        return Outcome(measure.name, NOT_APPLICABLE, message=reason)
    started = time.perf_counter()
    try:
        with display.measure(measure.name) as report:
            value = measure.compute(computation, report if measure.reports else None)
    except (KeyboardInterrupt, SystemExit):
        raise
    except Exception as error:  # noqa: BLE001 - a failed measure is reported and the others go on
        return Outcome(measure.name, FAILED, message=_hint(error))
    return Outcome(measure.name, OK, value, time.perf_counter() - started)


def _format(value: Any) -> str:
    if isinstance(value, float):
        text = f"{value:.7g}"
        return text if any(c in text for c in ".eni") else text + ".0"
    if isinstance(value, (list, tuple)):
        inner = ", ".join(_format(v) for v in value)
        return f"[{inner}]" if isinstance(value, list) else f"({inner})"
    return str(value)


def _json_value(value: Any) -> Any:
    if isinstance(value, float) and math.isnan(value):
        return None  # NaN has no JSON form
    if isinstance(value, (list, tuple)):
        return [_json_value(v) for v in value]
    return value


#: Width of the value column; longer values are cut there with their length (JSON lines keep all).
VALUE_WIDTH = 40


def _cell(value: Any) -> str:
    text = _format(value)
    if len(text) <= VALUE_WIDTH:
        return text
    count = f" ({len(value)} values)" if isinstance(value, (list, tuple)) else ""
    return text[: VALUE_WIDTH - len(count) - 1] + "…" + count


def _row(outcome: Outcome, resumed: bool) -> str:
    if outcome.status == OK:
        when = "earlier run" if resumed else f"{outcome.seconds * 1e3:10.3f} ms"
        return f"{outcome.name:<24} {_cell(outcome.value):<{VALUE_WIDTH}} {when:>13}\n"
    return f"{outcome.name:<24} {outcome.status}: {outcome.message}\n"


def report(
    label: str,
    f: BooleanFunction,
    measures: list[Measure],
    as_json: bool,
    out: TextIO,
    display: ProgressDisplay,
    earlier: dict[str, Outcome] | None = None,
) -> list[Outcome]:
    """Writes the report line by line; returns the outcomes."""
    earlier = earlier or {}
    if as_json:
        out.write(json.dumps(header_line(label, f)) + "\n")
    else:
        out.write(f"{label}: {f.n} variables, {f.weight()} of {len(f)} entries true\n")
        out.write(f"{'measure':<24} {'value':<40} {'time':>13}\n")
    out.flush()
    computation = Computation(f)
    outcomes = []
    for measure in measures:
        resumed = measure.name in earlier
        outcome = earlier[measure.name] if resumed else compute(measure, computation, display)
        outcomes.append(outcome)
        out.write(json.dumps(outcome.as_json()) + "\n" if as_json else _row(outcome, resumed))
        out.flush()
    return outcomes
