"""`vexil report`: every measure of a function, one by one, with its time."""

from __future__ import annotations

import json
import signal
import sys
import time
from typing import Any, TextIO

import vexil

from vexil_cli.measures import BY_NAME, Measure, available


class _Progress:
    """Names the running measure on standard error once it has taken a second.

    The measures keep the interpreter busy, but they run the interpreter's signal handlers while they
    wait, so a SIGALRM handler can speak up during a long one.
    """

    def __init__(self, stream: TextIO | None):
        self.stream = stream
        self.name = ""
        self.started = 0.0
        self.enabled = stream is not None and hasattr(signal, "setitimer")

    def _write(self, text: str) -> bool:
        # Progress is a courtesy: a stream that fails (closed pipe) is not used again.
        if self.stream is None:
            return False
        try:
            self.stream.write(text)
            self.stream.flush()
            return True
        except (OSError, ValueError):
            self.stream = None
            return False

    def _tick(self, _signum: int, _frame: Any) -> None:
        elapsed = time.perf_counter() - self.started
        self.shown = self._write(f"\r  computing {self.name} ... {elapsed:.0f} s")

    def __enter__(self) -> "_Progress":
        if self.enabled:
            self.previous = signal.signal(signal.SIGALRM, self._tick)
        return self

    def __exit__(self, *exc: object) -> None:
        if self.enabled:
            signal.setitimer(signal.ITIMER_REAL, 0)
            signal.signal(signal.SIGALRM, self.previous)

    def run(self, measure: Measure, f: vexil.Vexil) -> tuple[Any, float]:
        self.name, self.shown = measure.name, False
        self.started = time.perf_counter()
        if self.enabled:
            signal.setitimer(signal.ITIMER_REAL, 1.0, 1.0)
        try:
            value = measure.compute(f)
        finally:
            if self.enabled:
                signal.setitimer(signal.ITIMER_REAL, 0)
            if self.shown:
                self._write("\r" + " " * 60 + "\r")
        return value, time.perf_counter() - self.started


def select(f: vexil.Vexil, only: str | None) -> list[Measure]:
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


def report(label: str, f: vexil.Vexil, measures: list[Measure], as_json: bool, out: TextIO) -> None:
    rows = []
    with _Progress(sys.stderr) as progress:
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


def header(label: str, f: vexil.Vexil, out: TextIO) -> None:
    raw = f.encode()
    trues = raw[len(raw) - f.size() :].count(1)
    out.write(f"{label}: {f.n_vars()} variables, {trues} of {f.size()} entries true\n")
    out.write(f"{'measure':<24} {'value':<40} {'time':>13}\n")
