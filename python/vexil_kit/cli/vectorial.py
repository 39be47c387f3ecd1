"""`vexil report sbox:...`: the measures of the vectorial registry for an S-box.

The S-box is a name of the catalogue (``sbox:AES``) or a table literal: its outputs F(0), F(1), ...
in brackets, decimal or with a 0x prefix, m the bit length of the largest (``sbox:[0,1,3,2]``), or
with ``/M`` after it for a wider m (``sbox:[0,1,3,2]/4``). Tables (DDT, LAT, ...) are not printed;
the scalar measures and the spectra are, one line each as they finish, or as JSON lines.
"""

from __future__ import annotations

import json
import time
from typing import TextIO

from ..vectorial import MEASURES, VectorialFunction
from .functions import FunctionError
from .progress import ProgressDisplay
from .report import FAILED, NOT_APPLICABLE, OK, Outcome, _hint, _row

PREFIX = "sbox:"
FORM = (
    "sbox:NAME (a catalogued S-box, e.g. sbox:AES) or sbox:[F(0),F(1),...] with an optional /M for the output "
    "width (sbox:[0x0,0x1,0x3,0x2]/4)"
)


def parse(text: str) -> VectorialFunction:
    """The S-box an ``sbox:`` argument names; FunctionError otherwise."""
    body = text[len(PREFIX) :].strip()
    if not body.startswith("["):
        try:
            return VectorialFunction.named(body)
        except KeyError as error:
            raise FunctionError(str(error.args[0]) if error.args else f"no S-box {body!r}") from None
    table, closed, width = body.partition("]")
    if not closed:
        raise FunctionError(f"{text!r} is not an S-box: the table has no closing ']'; write {FORM}")
    parts = [part.strip() for part in table[1:].split(",")]
    if "" in parts:
        raise FunctionError(f"{text!r} is not an S-box: an entry of the table is empty; write {FORM}")
    try:
        outputs = [int(part, 0) for part in parts]
        m = int(width[1:], 0) if width.startswith("/") else None
        if width and not width.startswith("/"):
            raise ValueError
        return VectorialFunction(outputs, m)
    except ValueError as error:
        detail = f": {error}" if str(error) else ""
        raise FunctionError(f"{text!r} is not an S-box; write {FORM}{detail}") from None


def select(only: str | None) -> list[str]:
    """The measures to report: every scalar and spectrum of the registry, or those named."""
    shown = [name for name, info in MEASURES.items() if info.kind != "table"]
    if only is None:
        return shown
    names = [name.strip() for name in only.split(",")]
    unknown = [name for name in names if name not in shown]
    if unknown:
        raise ValueError(f"unknown S-box measure {unknown[0]!r}; the S-box measures are {', '.join(shown)}")
    return list(dict.fromkeys(names))


def report(
    label: str, box: VectorialFunction, names: list[str], as_json: bool, out: TextIO, display: ProgressDisplay
) -> list[Outcome]:
    """Writes the report line by line; returns the outcomes."""
    if as_json:
        out.write(json.dumps({"sbox": label, "n": box.n, "m": box.m}) + "\n")
    else:
        out.write(f"{label}: an ({box.n}, {box.m})-function{', a permutation' if box.is_permutation() else ''}\n")
        out.write(f"{'measure':<24} {'value':<40} {'time':>13}\n")
    out.flush()
    outcomes = []
    for name in names:
        info = MEASURES[name]
        reason = info.excludes(box)
        if reason is not None:
            outcome = Outcome(name, NOT_APPLICABLE, message=reason)
        else:
            started = time.perf_counter()
            try:
                with display.measure(name) as progress:
                    value = box.measure(name, progress) if info.progress else box.measure(name)
                outcome = Outcome(name, OK, value, time.perf_counter() - started)
            except (KeyboardInterrupt, SystemExit):
                raise
            except Exception as error:  # noqa: BLE001 - a failed measure is reported and the others go on
                outcome = Outcome(name, FAILED, message=_hint(error))
        outcomes.append(outcome)
        out.write(json.dumps(outcome.as_json()) + "\n" if as_json else _row(outcome, False))
        out.flush()
    return outcomes
