"""Command-line entry point: `vexil report FUNCTION`, `vexil sweep`, `vexil plot fragmentation|walsh|table FUNCTION`,
`vexil plot scatter FILE X Y`, `vexil circuit FUNCTION`, `vexil circuit improve FILE`, `vexil sbox TABLE SBOX`,
`vexil --version`."""

from __future__ import annotations

import argparse
import importlib.metadata
import os
import sys
import textwrap
from typing import Any

from . import circuit as circuit_command
from . import functions, measures, plot, report, vectorial
from . import sbox as sbox_command
from . import sweep as sweep_command
from .progress import ProgressDisplay, say


def _version() -> str:
    try:
        return importlib.metadata.version("vexil")
    except importlib.metadata.PackageNotFoundError:
        return "(not installed as a distribution)"


class _ListMeasures(argparse.Action):
    """Prints the measures and exits, as --version does, without a FUNCTION."""

    def __init__(self, option_strings: list[str], dest: str, **kwargs: Any) -> None:
        super().__init__(option_strings, dest, nargs=0, default=argparse.SUPPRESS, **kwargs)

    def __call__(self, parser: argparse.ArgumentParser, *args: Any, **kwargs: Any) -> None:
        try:
            print(measures.listing(), flush=True)
        except BrokenPipeError:
            # Read by `| head`: the rest is not wanted, and the interpreter must not fail flushing it at exit.
            os.dup2(os.open(os.devnull, os.O_WRONLY), sys.stdout.fileno())
        parser.exit()


COMMANDS = """commands:
  vexil report FUNCTION|SBOX        every measure, one line each as it finishes (--only, --json)
  vexil sweep --functions ... -o F  measures of many functions into a Parquet or CSV file
  vexil plot KIND ...               figures: fragmentation (alias spectrum), walsh, table, scatter
  vexil circuit FUNCTION            a smallest circuit by exact synthesis
  vexil circuit improve FILE        a circuit file (bench, BLIF, AIGER) rewritten into a smaller one
  vexil sbox TABLE SBOX             a table of an S-box (ddt, lat, walsh_table, bct) as csv, npy or json"""


def _parser() -> argparse.ArgumentParser:
    parser = argparse.ArgumentParser(
        prog="vexil",
        description="Measures of Boolean functions and S-boxes.",
        epilog="\n\n".join(
            [textwrap.fill(functions.FORMS, 100), textwrap.fill("S-boxes: " + vectorial.FORM, 100), COMMANDS]
        ),
        formatter_class=argparse.RawDescriptionHelpFormatter,
    )
    parser.add_argument("--version", action="version", version=f"vexil {_version()}")
    commands = parser.add_subparsers(dest="command", required=True)

    rep = commands.add_parser(
        "report",
        help="print every measure of a function",
        epilog=functions.FORMS
        + "\n\nmeasures (--only NAMES):\n"
        + measures.listing()
        + "\n\nS-boxes: "
        + vectorial.FORM,
        formatter_class=argparse.RawDescriptionHelpFormatter,
    )
    rep.add_argument("function", metavar="FUNCTION")
    rep.add_argument(
        "--list-measures", action=_ListMeasures, help="list the measures by group, with what each is, and exit"
    )
    rep.add_argument(
        "--json",
        action="store_true",
        help="write JSON lines: one describing the function, then one per measure as it finishes (docs/cli.md)",
    )
    rep.add_argument("--only", metavar="NAMES", help="comma-separated measures to compute")
    rep.add_argument(
        "--resume",
        metavar="FILE",
        help="take the measures an earlier --json report of the same function in FILE finished, compute the rest",
    )

    plots = commands.add_parser("plot", help="draw a figure of a function")
    kinds = plots.add_subparsers(dest="kind", required=True)
    formats = ", ".join(plot.FORMATS)
    for kind, aliases, summary in (
        ("fragmentation", ["spectrum"], "the fragmentation spectrum with its differences"),
        ("walsh", [], "the Walsh spectrum of the function: W(u) for each u, or how many u share a value"),
    ):
        spec = kinds.add_parser(kind, aliases=aliases, help=summary, epilog=functions.FORMS)
        spec.add_argument("function", metavar="FUNCTION")
        spec.add_argument(
            "-o", "--output", required=True, help=f"figure to write; the suffix picks the format ({formats})"
        )
    tab = kinds.add_parser("table", help="the restriction table as an image", epilog=functions.FORMS)
    tab.add_argument("function", metavar="FUNCTION")
    tab.add_argument("--vars", required=True, help="comma-separated variables to fix (the rows), e.g. 0,1,2")
    tab.add_argument("-o", "--output", required=True, help=f"figure to write; the suffix picks the format ({formats})")
    sca = kinds.add_parser("scatter", help="two columns of a sweep's Parquet file against each other")
    sca.add_argument("file", metavar="FILE", help="a Parquet or CSV file written by vexil sweep")
    sca.add_argument("x", metavar="X", help="the column along the horizontal axis")
    sca.add_argument("y", metavar="Y", help="the column along the vertical axis")
    sca.add_argument("-o", "--output", required=True, help=f"figure to write; the suffix picks the format ({formats})")

    swe = commands.add_parser(
        "sweep", help="measures of many functions into a Parquet or CSV file", epilog=sweep_command.FORMS
    )
    swe.add_argument("--functions", required=True, metavar="FUNCTIONS", help="the functions to measure (see below)")
    swe.add_argument(
        "--measures",
        required=True,
        metavar="NAMES",
        help="comma-separated measures (vexil report --list-measures), e.g. minimal_gates,entropy,fourier_degree",
    )
    swe.add_argument(
        "-o",
        "--output",
        required=True,
        help="file to write, one row per function: .parquet or .csv; an interrupted sweep keeps its rows in "
        "OUTPUT.partial and the same command resumes from them",
    )
    swe.add_argument("--scheduler", metavar="ADDRESS", help="run the batches on this Dask scheduler")
    circuit_command.add_parser(commands)
    sbox_command.add_parser(commands)
    return parser


def _variables(text: str) -> list[int]:
    try:
        return [int(part) for part in text.split(",") if part.strip()]
    except ValueError:
        raise functions.FunctionError(f"--vars takes comma-separated variable numbers, not {text!r}") from None


class _OutputClosed(Exception):
    """Standard output is closed: a report has nowhere to go."""


def _report(args: argparse.Namespace) -> int:
    if sys.stdout is None:
        raise _OutputClosed
    if args.function.startswith(vectorial.PREFIX):  # an S-box: the measures of the vectorial registry
        return _report_sbox(args)
    measures = report.select(args.only)
    if args.resume:
        report.check_not_output(args.resume, sys.stdout)
    label, f = functions.parse_function(args.function)
    earlier = report.earlier_outcomes(args.resume, label, f) if args.resume else {}
    display = ProgressDisplay(sys.stderr)
    outcomes = report.report(label, f, measures, args.json, sys.stdout, display, earlier)
    failed = [o for o in outcomes if o.status == report.FAILED]
    if failed:
        names = ", ".join(o.name for o in failed)
        say(f"vexil: {len(failed)} of {len(outcomes)} measures failed ({names}); the others are reported")
        return 1
    return 0


def _report_sbox(args: argparse.Namespace) -> int:
    if args.resume:
        raise ValueError("--resume is for reports of Boolean functions, not of S-boxes")
    names = vectorial.select(args.only)
    box = vectorial.parse(args.function)
    outcomes = vectorial.report(args.function, box, names, args.json, sys.stdout, ProgressDisplay(sys.stderr))
    return 1 if any(o.status == report.FAILED for o in outcomes) else 0


def _run(args: argparse.Namespace) -> int:
    if args.command == "report":
        return _report(args)
    if args.command == "sweep":
        return sweep_command.run(args)
    if args.command == "circuit":
        return circuit_command.run(args)
    if args.command == "sbox":
        return sbox_command.run(args)
    plot.check_output(args.output)
    if args.kind == "scatter":
        plot.scatter(args.file, args.x, args.y, args.output)
        print(f"wrote {args.output}")
        return 0
    label, f = functions.parse_function(args.function)
    if args.kind in ("fragmentation", "spectrum"):
        plot.spectrum(label, f, args.output)
    elif args.kind == "walsh":
        plot.walsh(label, f, args.output)
    else:
        plot.table(label, f, _variables(args.vars), args.output)
    print(f"wrote {args.output}")
    return 0


def _take_closed_descriptors() -> None:
    """Opens the null device on any of descriptors 0, 1, 2 that is closed.

    The interpreter then leaves sys.stdin, sys.stdout or sys.stderr as None; holding the number keeps a file
    opened later from getting it, and with it what native code writes to standard error.
    """
    for fd in (0, 1, 2):
        try:
            os.fstat(fd)
        except OSError:
            os.open(os.devnull, os.O_RDWR)  # the lowest free number: fd


def main(argv: list[str] | None = None) -> int:
    _take_closed_descriptors()
    args = _parser().parse_args(argv)
    try:
        status = _run(args)
    except KeyboardInterrupt as interrupt:
        say("\n".join(["interrupted", *getattr(interrupt, "__notes__", [])]))
        return 130
    except _OutputClosed:
        # As for a closed pipe, nothing to say; the status tells that nothing was written.
        return 2
    except BrokenPipeError:
        # The reader went away (| head): stop quietly, as other filters do.
        os.dup2(os.open(os.devnull, os.O_WRONLY), sys.stdout.fileno())
        return 0
    except (
        ValueError,
        TypeError,
        OverflowError,
        MemoryError,
        OSError,
        plot.PlotUnavailable,
        sweep_command.SweepUnavailable,
    ) as error:
        text = str(error) or type(error).__name__
        say("\n".join([f"vexil: error: {text}", *getattr(error, "__notes__", [])]))
        return 2
    except BaseException as error:  # the module's PanicException derives from BaseException
        if isinstance(error, (SystemExit, GeneratorExit)):
            raise
        say(f"vexil: error: {error.args[0] if error.args else type(error).__name__}")
        return 2
    return status
