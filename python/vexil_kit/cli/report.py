"""`vexil report`: every measure of a function, one by one, as a table or as JSON lines.

Each measure is written as soon as it is done, so a long report can be followed, and a report cut
short can be resumed from its JSON lines. A measure that does not apply to the function, or that
fails, is shown as such and the others still run.
"""

from __future__ import annotations

import hashlib
import json
import math
import os
import time
from dataclasses import dataclass
from typing import Any, TextIO

import numpy as np

from .. import registry
from ..function import BooleanFunction
from .measures import BY_NAME, MEASURES, Computation, Measure, find, nearest
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
    if only is None:
        return list(MEASURES)
    names = [name.strip() for name in only.split(",")]
    if not only.strip() or not all(names):
        raise ValueError(f"--only takes comma-separated measure names, e.g. entropy,degree, not {only!r}")
    unknown = [name for name in names if find(name) is None]
    if unknown:
        hint = nearest(unknown[0])
        raise ValueError(f"unknown measure {unknown[0]!r}{hint}; `vexil report --list-measures` lists them")
    chosen = [m for m in (find(name) for name in names) if m is not None]
    # One computation per measure, however many of its names were given.
    return list(dict.fromkeys(chosen))


def fingerprint(f: BooleanFunction) -> str:
    """sha256 of the packed table (entry x at bit x % 8 of byte x // 8), in hex: tells functions apart."""
    return hashlib.sha256(np.packbits(f.table, bitorder="little").tobytes()).hexdigest()


def header_line(label: str, f: BooleanFunction) -> dict[str, Any]:
    return {
        "function": label,
        "variables": f.n,
        "entries": len(f),
        "true_entries": f.weight(),
        "sha256": fingerprint(f),
    }


def check_not_output(path: str, output: TextIO) -> None:
    """Refuses to resume from the file this same command writes its report to (`> FILE` or `>> FILE`):
    the shell has already emptied it, or would mix two reports in it."""
    try:
        written = os.fstat(output.fileno())
        read = os.stat(path)
    except (OSError, ValueError, AttributeError):
        return
    if (written.st_dev, written.st_ino) == (read.st_dev, read.st_ino):
        raise ResumeError(
            f"{path} is where this command writes its report: --resume reads an earlier report, so write the new "
            "one to another file"
        )


#: The Python types a resumed value of each kind of measure may have (after JSON).
def _valid(kind: str, value: Any) -> bool:
    def number(v: Any) -> bool:
        return isinstance(v, (int, float)) and not isinstance(v, bool) or v is None  # None: NaN in JSON

    def integer(v: Any) -> bool:
        return isinstance(v, int) and not isinstance(v, bool)

    if kind == "integer":
        return integer(value)
    if kind == "real":
        return number(value)
    if kind == "boolean":
        return isinstance(value, bool)
    if kind == "integers":
        return isinstance(value, list) and all(integer(v) for v in value)
    if kind == "reals":
        return isinstance(value, list) and all(number(v) for v in value)
    if kind == "pair":
        return isinstance(value, list) and len(value) == 2 and all(number(v) for v in value)
    if kind == "records":
        return isinstance(value, list) and all(isinstance(v, list) for v in value)
    if kind == "function":
        return isinstance(value, str) and value.startswith("0x")
    if kind == "circuit":
        return isinstance(value, str)
    if kind == "text":
        return isinstance(value, str)
    if kind == "counts":  # JSON keys are strings
        return isinstance(value, dict) and all(integer(v) for v in value.values())
    return False


def _kind(name: str) -> str:
    info = registry.MEASURES.get(name)
    return info.kind if info is not None else "integer"  # n_vars and size


def earlier_outcomes(path: str, label: str, f: BooleanFunction) -> dict[str, Outcome]:
    """The measures an earlier ``--json`` report of f at ``path`` finished, by name; a value that is not of
    its measure's kind is left out, to be computed again."""
    try:
        with open(path, encoding="utf-8") as handle:
            lines = [line for line in handle.read().splitlines() if line.strip()]
    except OSError as error:
        raise ResumeError(f"cannot read {path}: {error.strerror}") from None
    except UnicodeDecodeError:
        raise ResumeError(f"{path} is not a JSON report (it is not text)") from None
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
    if not records or not isinstance(records[0], dict) or "sha256" not in records[0]:
        raise ResumeError(f"{path} is not a JSON report of vexil report --json (its first line describes the function)")
    if records[0].get("sha256") != fingerprint(f):
        other = records[0].get("function", "another function")
        raise ResumeError(f"{path} is a report of {other}, not of {label}: their tables differ")
    done = {}
    for record in records[1:]:
        if not (isinstance(record, dict) and record.get("status") == OK and record.get("measure") in BY_NAME):
            continue
        name, value, seconds = record["measure"], record.get("value"), record.get("seconds", 0.0)
        if _valid(_kind(name), value) and isinstance(seconds, (int, float)):
            done[name] = Outcome(name, OK, value, float(seconds))
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
        text = f"{value + 0.0:.7g}"  # + 0.0 shows -0.0 as 0.0
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


def duration(seconds: float) -> str:
    """A measure's time in the unit that suits it: µs below a millisecond, ms below a second, else s."""
    if seconds < 1e-3:
        return f"{seconds * 1e6:.0f} µs"
    if seconds < 1.0:
        return f"{seconds * 1e3:.3g} ms"
    if seconds < 100.0:
        return f"{seconds:.3g} s"
    return f"{seconds:,.0f} s"


def _row(outcome: Outcome, resumed: bool) -> str:
    if outcome.status == OK:
        when = "earlier run" if resumed else duration(outcome.seconds)
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
