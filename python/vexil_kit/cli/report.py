"""`vexil report`: every measure of a function, one by one, with its time."""

from __future__ import annotations

import json
import sys
import time
from typing import Any, TextIO

from ..function import BooleanFunction
from .measures import BY_NAME, Measure, available


class _Progress:
    """Shows the running measure on standard error once it has taken a second: its share done and
    the time so far, from the core's progress counter (for the measures that report)."""

    def __init__(self, stream: TextIO | None):
        self.stream = stream
        self.name = ""
        self.started = 0.0
        self.shown = False

    def _write(self, text: str) -> None:
        # Progress is a courtesy: a stream that fails (closed pipe) is not used again.
        if self.stream is None:
            return
        try:
            self.stream.write(text)
            self.stream.flush()
        except (OSError, ValueError):
            self.stream = None

    def _report(self, done: int, total: int) -> None:
        elapsed = time.perf_counter() - self.started
        if elapsed < 1.0 or self.stream is None:
            return
        share = f" {100 * done / total:3.0f}%" if total else ""
        self.shown = True
        self._write(f"\r  computing {self.name} ...{share} {elapsed:.0f} s")

    def run(self, measure: Measure, f: BooleanFunction) -> tuple[Any, float]:
        self.name, self.shown = measure.name, False
        self.started = time.perf_counter()
        try:
            value = measure.compute(f, self._report)
        finally:
            if self.shown:
                self._write("\r" + " " * 60 + "\r")
        return value, time.perf_counter() - self.started


def select(f: BooleanFunction, only: str | None) -> list[Measure]:
    if not only:
        return available(f)
    names = [name.strip() for name in only.split(",") if name.strip()]
    unknown = [name for name in names if name not in BY_NAME]
    if unknown:
        raise ValueError(f"unknown measure {unknown[0]!r}; choose from {', '.join(BY_NAME)}")
    offered = {m.name for m in available(f)}
    missing = [name for name in names if name not in offered]
    if missing:
        raise ValueError(f"{missing[0]!r} does not apply to this function")
    return [BY_NAME[name] for name in names]


def _format(value: Any) -> str:
    if isinstance(value, float):
        text = f"{value:.7g}"
        return text if any(c in text for c in ".eni") else text + ".0"
    if isinstance(value, (list, tuple)):
        inner = ", ".join(_format(v) for v in value)
        return f"[{inner}]" if isinstance(value, list) else f"({inner})"
    return str(value)


def _json_value(value: Any) -> Any:
    if isinstance(value, float) and value != value:
        return None  # NaN has no JSON form
    if isinstance(value, (list, tuple)):
        return [_json_value(v) for v in value]
    return value


def report(label: str, f: BooleanFunction, measures: list[Measure], as_json: bool, out: TextIO) -> None:
    rows = []
    progress = _Progress(sys.stderr)
    for measure in measures:
        value, seconds = progress.run(measure, f)
        rows.append((measure.name, value, seconds))
        if not as_json:
            out.write(f"{measure.name:<24} {_format(value):<40} {seconds * 1e3:10.3f} ms\n")
            out.flush()
    if as_json:
        document = {
            "function": label,
            "measures": [{"name": n, "value": _json_value(v), "seconds": s} for n, v, s in rows],
        }
        out.write(json.dumps(document, indent=2) + "\n")


def header(label: str, f: BooleanFunction, out: TextIO) -> None:
    out.write(f"{label}: {f.n} variables, {f.weight()} of {len(f)} entries true\n")
    out.write(f"{'measure':<24} {'value':<40} {'time':>13}\n")
