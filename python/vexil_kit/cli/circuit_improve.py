"""`vexil circuit improve FILE`: a circuit file rewritten window by window into a smaller one.

The file is read as bench, BLIF or AIGER (by its suffix, else by its first line), improved by
``Circuit.improve`` and written to ``-o`` (the format from its suffix, else ``--format``) or to
standard output. On Ctrl-C the best circuit checked so far is written all the same, and the
command ends with status 130.
"""

from __future__ import annotations

import argparse
import os
from typing import Any

from .. import _files
from ..circuits import Circuit
from ..synthesis.improve import Interrupted
from .circuit_output import write
from .progress import say


class ExplicitBasis(argparse.Action):
    """Stores --basis and notes that it was given (improve's default is the circuit's own basis)."""

    def __call__(
        self, parser: argparse.ArgumentParser, namespace: argparse.Namespace, values: Any, option: Any = None
    ) -> None:
        setattr(namespace, self.dest, values)
        namespace.basis_given = True


def read(path: str) -> Circuit:
    """The circuit in a bench, BLIF or AIGER file."""
    with open(path, "rb") as handle:
        data = handle.read()
    suffix = os.path.splitext(path)[1].lower()
    head = data.lstrip()[:3]
    if suffix in (".aag", ".aig") or head in (b"aag", b"aig"):
        return Circuit.from_aiger(data)
    text = data.decode("utf-8", errors="replace")
    if suffix == ".blif" or (suffix != ".bench" and (".model" in text or ".names" in text)):
        return Circuit.from_blif(text)
    return Circuit.from_bench(text)


def run(args: argparse.Namespace) -> int:
    """Improves the circuit in args.file; the summary goes to standard error."""
    if args.file is None:
        raise ValueError("vexil circuit improve FILE: give the circuit file to improve (bench, BLIF or AIGER)")
    if args.time_limit is not None and not args.time_limit >= 0:
        raise ValueError(f"--time-limit takes a nonnegative number of seconds, not {args.time_limit}")
    circuit = read(args.file)
    if args.output:
        _files.check_folder(args.output)
    basis = args.basis if getattr(args, "basis_given", False) else None
    try:
        better, summary = circuit.improve(basis, time_limit=args.time_limit, depth=args.depth)
    except Interrupted as stop:
        write(stop.improvement.circuit, args)
        say(str(stop.improvement.summary))
        raise
    say(str(summary))
    write(better, args)
    return 0
