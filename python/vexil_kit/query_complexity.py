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

from . import _arguments, _native, registry
from ._arguments import Table
from .progress import Progress, reporter


def min_sensitivity(table: Table) -> int:
    """The least s(x) over all inputs x.

    Constants and n = 0 give 0; ``xor(n)`` gives n (every input is sensitive to every variable).

    >>> BooleanFunction.majority(3).min_sensitivity(), BooleanFunction.xor(3).min_sensitivity()
    (0, 3)
    """
    return int(registry.evaluate("function", "min_sensitivity", table))


def sensitivities(table: Table) -> npt.NDArray[np.uint8]:
    """s(x) for every input x = 0 .. 2**n - 1, as a new read-only uint8 array of 2**n entries.

    Entry x counts the variables v with f(x) != f(x XOR 2**v). Summed, they give twice the
    number of edges of the cube along which f changes (the sum of ``influence_counts()``). n = 0
    gives ``array([0], dtype=uint8)``.

    >>> BooleanFunction.majority(3).sensitivities()
    array([0, 2, 2, 2, 2, 2, 2, 0], dtype=uint8)
    """
    counts = _native.sensitivity_counts(table)
    counts.setflags(write=False)
    return counts


def block_sensitivity(table: Table, progress: Progress = False) -> int:
    """The block sensitivity: the largest number of disjoint sensitive blocks at one input.

    A block is a non-empty set B of variables, sensitive at x when flipping all of B changes
    f(x); bs(x) is the largest number of pairwise disjoint sensitive blocks at x and the result
    the maximum over x. s <= bs <= C. Constants and n = 0 give 0, ``xor(n)`` gives n.

    Exponential: found from bounds (the largest sensitivity, C(x) of every input) and, for the
    inputs they leave open, a maximum packing of their minimal sensitive blocks, on the worker
    pool. Random functions of 14 variables take well under a second.

    >>> f = BooleanFunction.from_hex('0x1bd8', n=4)   # s(x) = 2 at every input
    >>> f.sensitivity(), f.block_sensitivity()
    (2, 3)
    """
    return int(registry.evaluate("function", "block_sensitivity", table, progress=progress))


def certificate_complexity(table: Table, value: Any = None, progress: Progress = False) -> int:
    """The certificate complexity C(f), or with ``value`` = 0 or 1 the one-sided C0(f) or C1(f).

    A certificate of input x is a set S of variables such that every input agreeing with x on S
    has the value f(x); C(x) is the size of a smallest one (see ``certificate``). C(f) is the
    largest C(x) over all inputs, and equals ``vexil.Vexil.certificate_complexity()``. With a
    value (a bool or 0/1), the largest C(x) over the inputs with f(x) == value only, so that
    C(f) = max(C0, C1); a value that f never takes gives 0. Constants and n = 0 give 0.

    >>> f = BooleanFunction.conjunction(3)
    >>> f.certificate_complexity(), f.certificate_complexity(0), f.certificate_complexity(1)
    (3, 1, 3)
    """
    if value is None:
        return int(registry.evaluate("function", "certificate_complexity", table, progress=progress))
    chosen = _arguments.bit(value, "value")
    with reporter(progress, "certificate_complexity") as report:
        return _native.value_certificate_complexity(table, chosen, progress=report)


def certificate(table: Table, x: Any) -> dict[int, int]:
    """A smallest certificate of input x, as a dict {variable: bit} of the values x gives them.

    ``x`` is an int entry index or a sequence of n bits (item v is variable v), as for f(x).
    Every input y that agrees with x on the variables of the dict has f(y) == f(x), and no
    smaller set of variables does that: the dict has C(x) entries. Among the smallest sets, the
    one whose variables form the least bit mask (sum of 2**v); keys in increasing order. The
    empty dict for constants and n = 0.

    >>> BooleanFunction.conjunction(3).certificate(0b101)    # x1 = 0 forces false
    {1: 0}
    >>> BooleanFunction.majority(3).certificate([1, 1, 0])   # two ones force true
    {0: 1, 1: 1}
    """
    n = _arguments.log2(len(table))
    index = _arguments.entry(x, n)
    if not 0 <= index < len(table):
        raise IndexError(f"entry {index} is outside [0, {len(table)})")
    mask = _native.smallest_certificate(table, index)
    return {v: (index >> v) & 1 for v in range(n) if (mask >> v) & 1}


def decision_tree_depth(table: Table, progress: Progress = False) -> int:
    """The depth D(f) of a shallowest deterministic decision tree computing f.

    Each inner node of the tree reads one variable and branches on its value; each leaf is a
    constant; the depth counts the reads on the longest path. Constants and n = 0 give 0,
    ``xor(n)`` and ``majority(n)`` give n, ``address(k)`` gives k + 1. C <= D <= the number of
    variables f depends on.

    Exact, by dynamic programming over the 3**r subcubes of the r variables f depends on (3**r
    bytes of memory: 43 MB for r = 16, MemoryError when it cannot be had), on the worker pool.

    >>> BooleanFunction.address(1).decision_tree_depth(), BooleanFunction.xor(3).decision_tree_depth()
    (2, 3)
    """
    return int(registry.evaluate("function", "decision_tree_depth", table, progress=progress))
