"""How `vexil circuit` writes a circuit: the format named by --format, else by the -o file's suffix,
else text; to the file atomically (a stopped run leaves no half-written file) or to standard output."""

from __future__ import annotations

import argparse
import os
import sys
from typing import Any

from .. import _files

FORMATS = ("text", "bench", "blif", "verilog", "aiger", "aig", "dot")

#: The format a file's suffix names when --format is not given.
SUFFIXES = {".bench": "bench", ".blif": "blif", ".v": "verilog", ".aag": "aiger", ".aig": "aig", ".dot": "dot"}


def render(circuit: Any, form: str) -> bytes:
    """The circuit's bytes in a format: text, bench, blif, verilog, aiger (ASCII), aig (binary) or dot."""
    written: Any = circuit.to_aiger(binary=True) if form == "aig" else getattr(circuit, f"to_{form}")()
    return written if isinstance(written, bytes) else (str(written).rstrip("\n") + "\n").encode()


def write(circuit: Any, args: argparse.Namespace) -> None:
    """The circuit to -o FILE, or to standard output."""
    form = args.format
    if form is None:
        form = SUFFIXES.get(os.path.splitext(args.output)[1].lower(), "text") if args.output else "text"
    data = render(circuit, form)
    if args.output:
        with _files.atomic_output(args.output) as temporary, open(temporary, "wb") as out:
            out.write(data)
    else:
        sys.stdout.buffer.write(data)
        sys.stdout.flush()
