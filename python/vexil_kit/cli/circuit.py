"""`vexil circuit FUNCTION`: a smallest circuit of a function over a gate basis, by exact synthesis
(FUNCTION may also be an S-box, sbox:NAME or sbox:[...], whose coordinates share the circuit);
`vexil circuit improve FILE`: a circuit file made smaller (``circuit_improve``)."""

from __future__ import annotations

import argparse
import time
from typing import Any

from ..synthesis.search import Synthesis
from . import circuit_improve, functions, vectorial
from .circuit_output import FORMATS, write
from .progress import say


def add_parser(commands: Any) -> None:
    """Adds the `circuit` subcommand to the subparsers of the main parser."""
    cir = commands.add_parser(
        "circuit",
        help="a smallest circuit of a function or an S-box (exact synthesis; docs/circuits.md)",
        epilog=f"{functions.FORMS} An S-box is {vectorial.FORM}: one circuit computes all its coordinates.",
    )
    cir.add_argument("function", metavar="FUNCTION")
    cir.add_argument(
        "file", nargs="?", metavar="FILE", help="with FUNCTION improve: the bench, BLIF or AIGER file to improve"
    )
    cir.add_argument(
        "--basis",
        default="B2",
        choices=("B2", "AIG", "XAG", "MC", "BGC", "GC"),
        action=circuit_improve.ExplicitBasis,
        help="every two-input gate (B2), AND with inverters (AIG), AND and XOR with inverters (XAG), "
        "XAG counting AND gates only (MC: multiplicative complexity), or AND, OR, XOR and NOT, each NOT a "
        "gate (BGC: bitslice gate complexity), those and NAND, NOR, XNOR (GC: gate complexity); improve "
        "takes B2, AIG, XAG and MC, and keeps the circuit's own basis unless given",
    )
    cir.add_argument("--depth", action="store_true", help="improve: also lower the depth at equal size, never raise it")
    cir.add_argument(
        "--max-depth",
        type=int,
        metavar="D",
        help="the smallest circuit at most D gates deep (B2/XAG/AIG, up to six variables)",
    )
    cir.add_argument(
        "--time-limit", type=float, metavar="S", help="stop after S seconds with the best circuit and the bounds"
    )
    cir.add_argument(
        "--format",
        choices=FORMATS,
        help="how to write the circuit (default: from the -o file's suffix, .bench .blif .v .aag .aig .dot, else text)",
    )
    cir.add_argument("-o", "--output", metavar="FILE", help="write the circuit to FILE instead of standard output")


def summary(found: Synthesis, basis: str, why: str = "stopped") -> str:
    unit = "AND gates" if basis.startswith("MC") else "gates"
    if found.optimal:
        return f"{basis}: {found.upper_bound} {unit}, optimal ({found.seconds:.2f} s)"
    if found.upper_bound is None:
        return f"{basis}: at least {found.lower_bound} {unit}, none found ({why} after {found.seconds:.2f} s)"
    return (
        f"{basis}: between {found.lower_bound} and {found.upper_bound} {unit} (at least {found.lower_bound} "
        f"proven, the circuit written has {found.upper_bound}; {why} after {found.seconds:.2f} s)"
    )


def run(args: argparse.Namespace) -> int:
    """Searches, writes the best circuit, reports the bounds on standard error; 1 when no circuit was
    found, 130 on Ctrl-C (after writing the circuit found so far)."""
    if args.function == "improve":
        return circuit_improve.run(args)
    if args.file is not None:
        raise ValueError(f"vexil circuit FUNCTION takes no FILE ({args.file!r}); vexil circuit improve FILE does")
    if args.function.startswith(vectorial.PREFIX):
        f: Any = vectorial.parse(args.function)
    else:
        _, f = functions.parse_function(args.function)
    if args.time_limit is not None and not args.time_limit >= 0:
        raise ValueError(f"--time-limit takes a nonnegative number of seconds, not {args.time_limit}")
    started = time.monotonic()
    shown: list[int] = []
    label = args.basis if args.max_depth is None else f"{args.basis} within depth {args.max_depth}"

    def progress(size: int, bound: int) -> None:
        # A line per size tried, once the search has run a second: quick answers stay quiet.
        if (not shown or shown[-1] != size) and time.monotonic() - started >= 1.0:
            shown.append(size)
            say(f"  trying {size} gates" + (f" (a circuit of {bound} is known)" if bound else ""))

    try:
        found = f.synthesize(args.basis, time_limit=args.time_limit, progress=progress, max_depth=args.max_depth)
    except KeyboardInterrupt as error:
        # Ctrl-C: the bounds and the best circuit so far are still reported and written.
        partial = getattr(error, "synthesis", None)
        if partial is None:
            raise
        say(summary(partial, label, "interrupted"))
        if partial.circuit is not None:
            write(partial.circuit, args)
        return 130
    say(summary(found, label))
    if found.circuit is None:
        return 1
    write(found.circuit, args)
    return 0
