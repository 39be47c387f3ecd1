"""The measures of ``vexil.Vexil`` on BooleanFunction: the same core functions and the same values.

Each runs in the compiled module ``vexil_kit._native`` without the interpreter lock: other Python
threads go on meanwhile, and Ctrl-C on the main thread stops the computation with
KeyboardInterrupt within a fraction of a second. The long ones take ``progress``: True shows a
tqdm bar (fraction done, rate, time left) on standard error; a callable receives ``(done, total)``
about ten times a second (see ``vexil_kit.progress``).

Values are those of the ``Vexil`` method of the same name on the same table, bit for bit: the
entropies are single-precision sums (in bits) widened to floats, summed in the same order.
Where this class offers an exact counterpart (``influences``, ``total_influence``,
``spectral_entropy``), ``Vexil``'s single-precision version is not repeated here. Variable lists
are checked: each variable once, in [0, n) (``Vexil`` reads others as fixing nothing).

The functions here take the truth table (a bool array); ``BooleanFunction``'s methods of the same
names call them.

>>> table = np.array([0, 0, 0, 1, 0, 1, 1, 1], dtype=bool)   # majority of three
>>> entanglement(table), fragmentation_spectrum(table), information(table, [0])
(5, [-0.0, 1.0, 1.5, 1.0], 2)
"""

from __future__ import annotations

from collections.abc import Iterable
from typing import Any, NamedTuple

import numpy as np

from . import _arguments, _native
from ._arguments import Table
from .progress import Progress, reporter


class EntanglementSet(NamedTuple):
    """A balanced cut of the variables with its restriction-count sum (see ``entanglement_sets``)."""

    set1: tuple[int, ...]
    set2: tuple[int, ...]
    entanglement: int


class EntropySets(NamedTuple):
    """A balanced cut of the variables with its restriction-entropy sum in bits (see ``entropy_sets``)."""

    set1: tuple[int, ...]
    set2: tuple[int, ...]
    entropy: float


# The registry's scalar measures, computed by its evaluators (those of the sweeps' batch kernel).
_SCALAR = frozenset(name for name, _, _ in _native.sweep_measure_table())


def _run(name: str, table: Table, *args: Any, progress: Progress = False) -> Any:
    with reporter(progress, name) as report:
        if name in _SCALAR and not args:
            return _native.measure(name, table, progress=report)
        return getattr(_native, name)(table, *args, progress=report)


def _variables(table: Table, vars: Iterable[Any]) -> tuple[int, ...]:
    n = _arguments.log2(len(table))
    chosen = tuple(_arguments.integers(vars, "vars", "a variable"))
    for v in chosen:
        if not 0 <= v < n:
            raise ValueError(f"variable {v} is outside [0, {n})")
    if len(set(chosen)) != len(chosen):
        raise ValueError(f"variables must be distinct, got {list(chosen)}")
    return chosen


# -- information over balanced cuts ----------------------------------------------------------------


def entanglement(table: Table, progress: Progress = False) -> int:
    """The smallest ``information(set1) + information(set2)`` over the balanced cuts of the variables."""
    return _run("entanglement", table, progress=progress)


def entropy(table: Table, progress: Progress = False) -> float:
    """The smallest restriction-entropy sum, in bits, over the balanced cuts of ``entanglement``."""
    return _run("entropy", table, progress=progress)


def entanglement_sets(table: Table, progress: Progress = False) -> list[EntanglementSet]:
    """Every balanced cut with its ``information(set1) + information(set2)``, as EntanglementSet tuples."""
    return [EntanglementSet(*r) for r in _run("entanglement_sets", table, progress=progress)]


def entropy_sets(table: Table, progress: Progress = False) -> list[EntropySets]:
    """Every balanced cut with its restriction-entropy sum in bits, as EntropySets tuples."""
    return [EntropySets(*r) for r in _run("entropy_sets", table, progress=progress)]


def information(table: Table, vars: Iterable[Any]) -> int:
    """The number of distinct restrictions (functions of the other variables) left by fixing ``vars``."""
    return _native.information(table, _variables(table, vars))


def fragmentation_coefficient(table: Table, vars: Iterable[Any]) -> float:
    """The Shannon entropy in bits of the restrictions left by fixing ``vars`` in every way."""
    return _native.fragmentation_coefficient(table, _variables(table, vars))


# -- the fragmentation family ----------------------------------------------------------------------


def fragmentation_k(table: Table, k: int, progress: Progress = False) -> float:
    """The mean of ``fragmentation_coefficient(S)`` over the C(n, k) subsets S of k variables."""
    k = _arguments.count(k, "k")
    if k > _arguments.log2(len(table)):
        return 0.0  # no subset of k variables; also keeps k below the native 64-bit limit
    return _run("fragmentation_k", table, k, progress=progress)


def fragmentation_spectrum(table: Table, progress: Progress = False) -> list[float]:
    """``[fragmentation_k(k) for k in range(n + 1)]``, computed in one pass over all 2**n subsets."""
    return _run("fragmentation_spectrum", table, progress=progress)


def fragmentation_peak(table: Table, progress: Progress = False) -> tuple[int, float]:
    """``(k, value)`` of the first largest entry of the fragmentation spectrum (ties: smallest k)."""
    return _run("fragmentation_peak", table, progress=progress)


def fragmentation_delta(table: Table, progress: Progress = False) -> list[float]:
    """The n first differences ``spectrum[k + 1] - spectrum[k]`` of the fragmentation spectrum."""
    return _run("fragmentation_delta", table, progress=progress)


def fragmentation_delta2(table: Table, progress: Progress = False) -> list[float]:
    """The max(n - 1, 0) second differences of the fragmentation spectrum."""
    return _run("fragmentation_delta2", table, progress=progress)


def equanimity_importance(table: Table) -> float:
    """The share of the n * 2**(n-1) edges of the n-cube along which f changes."""
    return _run("equanimity_importance", table)


# -- sensitivity, spectrum, certificates, frontier -------------------------------------------------


def max_sensitivity(table: Table) -> int:
    """The largest sensitivity s(x), the number of variables whose flip changes f(x), over all x."""
    return _run("max_sensitivity", table)


def mean_sensitivity(table: Table) -> float:
    """The mean of s(x) over all inputs, in single precision widened."""
    return _run("mean_sensitivity", table)


def frontier_size(table: Table) -> int:
    """The number of cube edges (x, x XOR 2**v) joining a false input to a true one."""
    return _run("frontier_size", table)


def max_frontier_size(table: Table) -> int:
    """The bound n * min(#false, #true) on ``frontier_size``, exact."""
    return _run("max_frontier_size", table)


def npn_representant(table: Table) -> Table | None:
    """The representative of f's NPN class, for functions of five variables; None for other n."""
    entries = _native.npn_representant(table)
    if entries is None:
        return None
    return np.frombuffer(entries, dtype=np.uint8).astype(np.bool_)
