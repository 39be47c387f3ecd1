"""`vexil sweep`: measures of many functions into a Parquet file."""

from __future__ import annotations

import sys
from typing import Any

from .. import families
from .functions import FunctionError, integer
from .progress import ProgressDisplay

FORMS = (
    "FUNCTIONS is one of: five-input-classes (the 616,126 NPN classes of five-variable functions, "
    "one representative each); random:N:COUNT[:SEED] (COUNT uniformly random functions of N variables); "
    "family:NAME:N1-N2 or family:NAME:N (the members of a one-argument family, e.g. family:majority:3-11; "
    "NAME is majority, xor, parity, conjunction, disjunction, inner-product, address, coprimes, primality, "
    "sum-is-prime or clique)."
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
        raise SweepUnavailable(
            "sweeps need pandas and pyarrow: pip install 'vexil[cluster]' (or pip install pandas pyarrow)"
        ) from None


def parse_functions(text: str) -> Any:
    """The source a --functions argument names."""
    _check_modules()
    from ..sweeps import family, five_input_classes, random_functions

    name, _, rest = text.partition(":")
    if name == "five-input-classes" and not rest:
        return five_input_classes()
    if name == "random":
        parts = rest.split(":")
        if len(parts) not in (2, 3) or not all(parts):
            raise FunctionError(
                f"write random:N:COUNT or random:N:COUNT:SEED, for example random:6:1000:1, not {text!r}"
            )
        n = integer(parts[0], "N")
        count = integer(parts[1], "COUNT")
        seed = integer(parts[2], "SEED") if len(parts) == 3 else None
        return random_functions(n, count, seed)
    if name == "family":
        name_of_family, _, sizes = rest.partition(":")
        chosen = families.lookup(name_of_family)
        if chosen is None or chosen.name not in ONE_ARGUMENT_FAMILIES or not sizes:
            raise FunctionError(f"write family:NAME:N1-N2, for example family:majority:3-11, not {text!r}. {FORMS}")
        low_text, dash, high_text = sizes.partition("-")
        low = integer(low_text, "N1")
        high = integer(high_text, "N2") if dash else low
        if high < low:
            raise FunctionError(f"the sizes {sizes!r} are empty: N2 must be at least N1")
        return family(chosen.name, range(low, high + 1))
    raise FunctionError(f"cannot read --functions {text!r}. {FORMS}")


def parse_measures(text: str) -> list[str]:
    names = [part.strip() for part in text.split(",") if part.strip()]
    if not names:
        raise FunctionError("--measures takes comma-separated method names, e.g. entropy,minimal_gates")
    return names


def run(args: Any) -> int:
    """Runs `vexil sweep` with its parsed arguments; the exit status."""
    _check_modules()
    from ..sweeps import sweep

    source = parse_functions(args.functions)
    measures = parse_measures(args.measures)
    display = ProgressDisplay(sys.stderr)
    client = None
    if args.scheduler:
        try:
            from dask.distributed import Client  # type: ignore[import-untyped, unused-ignore]
        except ImportError:
            raise SweepUnavailable("--scheduler needs dask.distributed: pip install 'vexil[cluster]'") from None
        client = Client(args.scheduler)
    try:
        with display.measure(f"sweep of {len(source):,} functions") as report:
            frame = sweep(source, measures, client=client, out=args.output, progress=report)
    finally:
        if client is not None:
            client.close()
    print(f"wrote {args.output}: {len(frame):,} functions ({source.description}), {len(measures)} measures")
    return 0
