"""Conversions to and from the Boolean functions of peer libraries: SageMath (``sage.crypto.boolean_function``,
installed as ``passagemath-modules passagemath-brial``) and boofun. Each peer is imported only when a
conversion is called.

Bit order: both peers list a truth table as we do, entry x = f(x) with variable v at bit v of x (Sage's
``BooleanFunction(x0).truth_table()`` is 0, 1, 0, 1, ...; boofun's ``dictator(n, 0)`` likewise), and Sage's
hexadecimal strings are the number sum f(x) 2**x as ``to_hex()`` writes it. The tables are therefore passed
entry for entry, without reordering; only the literature's most-significant-first words need reversing
(``docs/five-inputs.md``).
"""

from __future__ import annotations

import importlib
from types import ModuleType
from typing import Any

import numpy as np

from ._arguments import Table

SAGE_PACKAGES = "passagemath-modules passagemath-brial"
BOOFUN_PACKAGE = "boofun"


def _peer(module: str, packages: str) -> ModuleType:
    try:
        return importlib.import_module(module)
    except ImportError as error:
        raise ImportError(f"{module} is not installed ({error}); pip install {packages}") from None


def _bits(values: Any) -> Table:
    table = np.asarray(values)
    if table.ndim != 1 or not np.isin(table, (0, 1)).all():
        raise ValueError("a peer's truth table must be one row of 0 and 1 entries")
    if len(table) & (len(table) - 1) or not len(table):
        raise ValueError(f"a truth table has a power of two entries, not {len(table)}")
    return table.astype(np.bool_)


def sage_function() -> Any:
    """Sage's BooleanFunction class (ImportError naming the packages when Sage is not installed)."""
    return _peer("sage.crypto.boolean_function", SAGE_PACKAGES).BooleanFunction


def from_sage(function: Any) -> Table:
    """The table of a Sage BooleanFunction (or of anything Sage's BooleanFunction accepts: a Boolean
    polynomial, a list of bits, a hex string)."""
    cls = sage_function()
    if not isinstance(function, cls):
        function = cls(function)
    return _bits([int(b) for b in function.truth_table(format="int")])


def to_sage(table: Table) -> Any:
    """A Sage BooleanFunction with the same truth table."""
    return sage_function()([int(b) for b in table.tolist()])


def from_boofun(function: Any) -> Table:
    """The table of a boofun BooleanFunction."""
    _peer("boofun", BOOFUN_PACKAGE)
    return _bits(function.get_representation("truth_table"))


def to_boofun(table: Table) -> Any:
    """A boofun BooleanFunction with the same truth table."""
    boofun = _peer("boofun", BOOFUN_PACKAGE)
    return boofun.create(np.asarray(table, dtype=np.bool_).copy())
