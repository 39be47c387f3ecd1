"""`vexil sweep`: measures of many functions into a Parquet or CSV file."""

from __future__ import annotations

import sys
from typing import Any

from .. import families
from .._arguments import MAX_VARS
from .functions import FunctionError, family_variables, integer, size_text, suggestion
from .progress import ProgressDisplay

FORMS = (
    "FUNCTIONS is one of: five-input-classes (the 616,126 NPN classes of five-variable functions, "
    "one representative each); npn-classes:N (the NPN classes of N <= 4 variables, 222 at N = 4); "
    "random:N:COUNT[:SEED] (COUNT uniformly random functions of N variables); "
    "family:NAME:N1-N2 or family:NAME:N (the members of a one-argument family, e.g. family:majority:3-11; "
    "NAME is majority, xor, parity, conjunction, disjunction, inner-product, address, coprimes, primality, "
    "sum-is-prime or clique). S-boxes: random-permutations:N:COUNT[:SEED] (COUNT uniformly random "
    "permutations of N bits), catalogue-sboxes (every catalogued S-box) or affine-classes:N (the affine "
    "classes of permutations of N <= 4 bits, 302 at N = 4, with their class sizes), with the S-box measures of "
    "vexil report --list-measures."
)

# The families whose members take one argument, the size.
ONE_ARGUMENT_FAMILIES = tuple(name for name, family in families.FAMILIES.items() if len(family.arguments) == 1)


class SweepUnavailable(RuntimeError):
    """pandas or pyarrow is not installed."""


def _check_modules() -> None:
    try:
        import pandas  # type: ignore[import-untyped, unused-ignore]  # noqa: F401
        import pyarrow  # type: ignore[import-untyped, unused-ignore]  # noqa: F401
    except ImportError:
        raise SweepUnavailable("sweeps need pandas and pyarrow: pip install pandas pyarrow") from None


def parse_functions(text: str) -> Any:
    """The source a --functions argument names."""
    _check_modules()
    from ..sweeps import (
        affine_classes,
        catalogue_sboxes,
        family,
        five_input_classes,
        npn_classes,
        random_functions,
        random_permutations,
    )

    name, _, rest = text.partition(":")
    if name == "five-input-classes" and not rest:
        return five_input_classes()
    if name == "catalogue-sboxes" and not rest:
        return catalogue_sboxes()
    if name == "affine-classes" and rest:
        n = integer(rest, "N")
        if n > 4:
            raise FunctionError(f"affine-classes:N lists the classes of permutations of at most 4 bits, not {n}")
        return affine_classes(n)
    if name == "npn-classes" and rest:
        n = integer(rest, "N")
        if n > 4:
            raise FunctionError(f"npn-classes:N lists the classes of at most 4 variables, not {n}")
        return npn_classes(n)
    if name in ("random", "random-permutations"):
        parts = rest.split(":")
        if len(parts) not in (2, 3) or not all(parts):
            raise FunctionError(
                f"write {name}:N:COUNT or {name}:N:COUNT:SEED, for example {name}:6:1000:1, not {text!r}"
            )
        n = integer(parts[0], "N")
        count = integer(parts[1], "COUNT")
        seed = integer(parts[2], "SEED") if len(parts) == 3 else None
        return random_functions(n, count, seed) if name == "random" else random_permutations(n, count, seed)
    if name == "family":
        name_of_family, _, sizes = rest.partition(":")
        chosen = families.lookup(name_of_family)
        if chosen is None:
            hint = suggestion(name_of_family.replace("-", "_"), ONE_ARGUMENT_FAMILIES)
            choices = ", ".join(ONE_ARGUMENT_FAMILIES)
            raise FunctionError(f"unknown family {name_of_family!r}{hint}; sweeps take {choices}")
        if chosen.name not in ONE_ARGUMENT_FAMILIES:
            arguments = ":".join(chosen.arguments)
            raise FunctionError(
                f"{chosen.name} takes {len(chosen.arguments)} arguments ({chosen.name}:{arguments}); a sweep's "
                f"family:NAME:N1-N2 takes a family of one argument: {', '.join(ONE_ARGUMENT_FAMILIES)}"
            )
        if not sizes:
            raise FunctionError(f"write family:{name_of_family}:N1-N2 or family:{name_of_family}:N, not {text!r}")
        low_text, dash, high_text = sizes.partition("-")
        low = integer(low_text, "N1")
        high = integer(high_text, "N2") if dash else low
        if high < low:
            raise FunctionError(f"the sizes {sizes!r} are empty: N2 must be at least N1")
        _check_members(chosen.name, low, high)
        return family(chosen.name, range(low, high + 1))
    kinds = (
        "five-input-classes",
        "npn-classes",
        "random",
        "family",
        "random-permutations",
        "catalogue-sboxes",
        "affine-classes",
    )
    if name not in kinds:
        hint = suggestion(name, kinds)
        raise FunctionError(
            f"unknown kind of functions {name!r}{hint}: write five-input-classes, npn-classes:N, "
            "random:N:COUNT[:SEED], family:NAME:N1-N2, random-permutations:N:COUNT[:SEED], catalogue-sboxes or "
            "affine-classes:N "
            "(vexil sweep --help)"
        )
    if name in ("npn-classes", "affine-classes"):
        raise FunctionError(f"write {name}:N with N at most 4, not {text!r}")
    raise FunctionError(f"cannot read --functions {text!r}: {name} takes no arguments")


def _check_members(name: str, low: int, high: int) -> None:
    """Refuses a range whose largest member cannot be built, before any member is."""
    from .. import _native

    variables = family_variables(name, [high])
    if variables > MAX_VARS:
        raise FunctionError(f"{name}:{high} would have {variables} variables; at most {MAX_VARS}: choose a smaller N2")
    try:
        _native.ensure_working_set(1 << variables)
    except MemoryError:
        raise MemoryError(
            f"{name}:{high} has {variables} variables: its table takes {size_text(1 << variables)}, more than "
            f"the memory free; choose a smaller N2"
        ) from None


def parse_measures(text: str, subject: str = "function") -> list[str]:
    """The --measures names: each a measure of the registry (or an alias), or a BooleanFunction method;
    for S-boxes (``subject`` "vectorial"), a vectorial measure of the registry but a table."""
    from .. import registry
    from ..function import BooleanFunction

    parts = [part.strip() for part in text.split(",")]
    if not text.strip() or not all(parts):
        raise FunctionError(f"--measures takes comma-separated measure names, e.g. entropy,minimal_gates, not {text!r}")
    if subject == "vectorial":
        shown = [name for name, info in registry.measures("vectorial").items() if info.kind != "table"]
        for name in parts:
            if name not in shown:
                hint = suggestion(name, shown)
                raise FunctionError(f"unknown S-box measure {name!r}{hint}; the S-box measures are {', '.join(shown)}")
        return list(dict.fromkeys(parts))
    known = registry.names()
    for name in parts:
        if name not in known and not (not name.startswith("_") and callable(getattr(BooleanFunction, name, None))):
            hint = suggestion(name, known)
            raise FunctionError(f"unknown measure {name!r}{hint}; `vexil report --list-measures` lists them")
    return list(dict.fromkeys(parts))


def run(args: Any) -> int:
    """Runs `vexil sweep` with its parsed arguments; the exit status."""
    _check_modules()
    from ..sweeps import SboxSource, sweep
    from ..sweeps.output import check_path

    check_path(args.output)
    source = parse_functions(args.functions)
    measures: list[Any] = parse_measures(args.measures, "vectorial" if isinstance(source, SboxSource) else "function")
    columns = getattr(source, "columns", ())  # columns a source brings (an affine class's size)
    display = ProgressDisplay(sys.stderr)
    client = None
    if args.scheduler:
        try:
            from dask.distributed import Client  # type: ignore[import-untyped, unused-ignore]
        except ImportError:
            raise SweepUnavailable("--scheduler needs Dask: pip install 'dask[distributed]'") from None
        client = Client(args.scheduler)
    unit, units = ("S-box", "S-boxes") if isinstance(source, SboxSource) else ("function", "functions")
    try:
        with display.measure(f"sweep of {len(source):,} {units}", unit=unit) as report:
            frame = sweep(source, [*measures, *columns], client=client, out=args.output, progress=report)
    except KeyboardInterrupt as interrupt:
        interrupt.add_note("the same vexil sweep command resumes from the rows kept")
        raise
    finally:
        if client is not None:
            client.close()
    print(f"wrote {args.output}: {len(frame):,} {units} ({source.description}), {len(measures)} measures")
    return 0
