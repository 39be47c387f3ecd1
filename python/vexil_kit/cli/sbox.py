"""`vexil sbox TABLE SBOX`: one 2-D table of an S-box (DDT, LAT, ...) written as CSV, NumPy or JSON."""

from __future__ import annotations

import argparse
import io
import json
import sys
from typing import Any

import numpy as np

from .._files import atomic_output, check_folder
from ..vectorial import MEASURES
from . import vectorial
from .functions import FunctionError, suggestion

FORMATS = ("csv", "npy", "json")


def tables() -> list[str]:
    """The names of the S-box measures whose values are 2-D tables."""
    return [name for name, info in MEASURES.items() if info.kind == "table"]


def add_parser(commands: Any) -> None:
    """Adds the `sbox` subcommand to the subparsers of the main parser."""
    listing = "\n".join(f"  {name:<12} {MEASURES[name].summary}" for name in tables())
    box = commands.add_parser(
        "sbox",
        help="write a table of an S-box (ddt, lat, walsh_table, bct) as CSV, NumPy or JSON",
        epilog=f"tables:\n{listing}\n\nS-boxes: {vectorial.FORM}",
        formatter_class=argparse.RawDescriptionHelpFormatter,
    )
    box.add_argument("table", metavar="TABLE", help=f"the table: {', '.join(tables())}")
    box.add_argument("sbox", metavar="SBOX", help="sbox:NAME or sbox:[F(0),F(1),...]")
    box.add_argument("--format", default="csv", choices=FORMATS, help="how to write the table (default csv)")
    box.add_argument("-o", "--output", metavar="FILE", help="write to FILE instead of standard output")


def table_of(name: str, text: str) -> np.ndarray:
    """The table ``name`` of the S-box ``text``; ValueError naming the mistake otherwise."""
    known = tables()
    if name not in known:
        scalar = " (a value, not a table: vexil report --only)" if name in MEASURES else suggestion(name, known)
        raise ValueError(f"unknown S-box table {name!r}{scalar}; the tables are {', '.join(known)}")
    if not text.startswith(vectorial.PREFIX):
        raise FunctionError(f"{text!r} is not an S-box; write {vectorial.FORM}")
    box = vectorial.parse(text)
    reason = MEASURES[name].excludes(box)
    if reason is not None:
        raise ValueError(f"{name} of {text}: {reason}")
    return np.asarray(box.measure(name))


def encode(table: np.ndarray, form: str) -> bytes:
    """The table as the bytes of a file in ``form``: CSV rows, a .npy array or a JSON list of rows."""
    if form == "csv":
        return "".join(",".join(str(int(v)) for v in row) + "\n" for row in table).encode()
    if form == "json":
        return (json.dumps(table.tolist()) + "\n").encode()
    buffer = io.BytesIO()
    np.save(buffer, table)
    return buffer.getvalue()


def run(args: argparse.Namespace) -> int:
    if args.output is None and args.format == "npy" and sys.stdout.isatty():
        raise ValueError("npy is binary: write it to a file with -o FILE")
    if args.output is not None:
        check_folder(args.output)
    data = encode(table_of(args.table, args.sbox), args.format)
    if args.output is None:
        sys.stdout.buffer.write(data)
        sys.stdout.flush()
        return 0
    with atomic_output(args.output) as temporary, open(temporary, "wb") as file:
        file.write(data)
    print(f"wrote {args.output}")
    return 0
