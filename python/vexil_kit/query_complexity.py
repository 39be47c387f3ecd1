"""Query complexity: sensitivity, block sensitivity, certificates and decision trees.

With s(x) = #{v : f(x) != f(x XOR 2**v)} the number of variables whose flip changes f at x,
the measures here are the classical complexity measures of a function read one variable at a
time, all exact and computed in the compiled module ``vexil_kit._native`` without the
interpreter lock (Ctrl-C on the main thread stops the long ones with KeyboardInterrupt). For
every function s <= bs <= C <= D (sensitivity, block sensitivity, certificate complexity,
decision-tree depth). The exponential ones take ``progress`` (see ``vexil_kit.progress``).

The functions here take the truth table (a bool array); ``BooleanFunction``'s methods of the same
names call them.

>>> table = np.array([0, 0, 0, 0, 0, 0, 0, 1], dtype=bool)   # AND of three
>>> min_sensitivity(table), certificate(table, 0b101), decision_tree_depth(table)
(0, {1: 0}, 3)
"""

from __future__ import annotations

from typing import Any

import numpy as np
import numpy.typing as npt

from . import _arguments, _native
from ._arguments import Table
from .progress import Progress, reporter


def min_sensitivity(table: Table) -> int:
    """The least s(x) over all inputs x."""
    return _native.sensitivity_summary(table)[0]


def sensitivities(table: Table) -> npt.NDArray[np.uint8]:
    """s(x) for every input x = 0 .. 2**n - 1, as a new read-only uint8 array of 2**n entries."""
    counts = _native.sensitivity_counts(table)
    counts.setflags(write=False)
    return counts


def block_sensitivity(table: Table, progress: Progress = False) -> int:
    """The block sensitivity: the largest number of disjoint sensitive blocks at one input."""
    with reporter(progress, "block_sensitivity") as report:
        return _native.block_sensitivity(table, progress=report)


def certificate_complexity(table: Table, value: Any = None, progress: Progress = False) -> int:
    """The certificate complexity C(f), or with ``value`` = 0 or 1 the one-sided C0(f) or C1(f)."""
    if value is None:
        with reporter(progress, "certificate_complexity") as report:
            return int(_native.measure("certificate_complexity", table, progress=report))
    chosen = _arguments.bit(value, "value")
    with reporter(progress, "certificate_complexity") as report:
        return _native.value_certificate_complexity(table, chosen, progress=report)


def certificate(table: Table, x: Any) -> dict[int, int]:
    """A smallest certificate of input x, as a dict {variable: bit} of the values x gives them."""
    n = _arguments.log2(len(table))
    index = _arguments.entry(x, n)
    if not 0 <= index < len(table):
        raise IndexError(f"entry {index} is outside [0, {len(table)})")
    mask = _native.smallest_certificate(table, index)
    return {v: (index >> v) & 1 for v in range(n) if (mask >> v) & 1}


def decision_tree_depth(table: Table, progress: Progress = False) -> int:
    """The depth D(f) of a shallowest deterministic decision tree computing f."""
    with reporter(progress, "decision_tree_depth") as report:
        return _native.decision_tree_depth(table, progress=report)
