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

from . import _arguments, _native, registry
from ._arguments import Table
from .circuits import MAX_CIRCUIT_VARS
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


# The registry's scalar measures, computed by its evaluator (the one of the sweeps' batch kernel).
_SCALAR = frozenset(name for name, _, _ in _native.sweep_measure_table())


def _run(name: str, table: Table, *args: Any, progress: Progress = False) -> Any:
    if name in _SCALAR and not args:
        return registry.evaluate("function", name, table, progress=progress)
    with reporter(progress, name) as report:
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


# -- counts -----------------------------------------------------------------------------------------


def weight(table: Table) -> int:
    """The number of true entries, as a Python int.

    >>> BooleanFunction.majority(3).weight(), BooleanFunction([True]).weight()
    (4, 1)
    """
    return int(_run("weight", table))


def is_balanced(table: Table) -> bool:
    """Whether exactly half of the entries are true (never for n = 0).

    >>> BooleanFunction.xor(3).is_balanced(), BooleanFunction.conjunction(2).is_balanced()
    (True, False)
    """
    return bool(_run("is_balanced", table))


def minimal_gates(table: Table) -> int:
    """The number of gates of a smallest circuit of two-input gates computing f, for n <= 5, from the
    gate database (``BooleanFunction.minimal_gates`` tells the circuits counted); ValueError for n > 5.

    >>> minimal_gates(BooleanFunction.majority(3).table), minimal_gates(np.ones(1, dtype=bool))
    (4, 0)
    """
    n = _arguments.log2(len(table))
    if n > MAX_CIRCUIT_VARS:
        raise ValueError(f"minimum circuits are known for at most {MAX_CIRCUIT_VARS} variables; this function has {n}")
    return int(registry.evaluate("function", "minimal_gates", table))


# -- information over balanced cuts ----------------------------------------------------------------


def entanglement(table: Table, progress: Progress = False) -> int:
    """The smallest ``information(set1) + information(set2)`` over the balanced cuts of the variables.

    A balanced cut splits 0..n-1 into sides of n // 2 (``set1``) and n - n // 2 variables, each
    split once; ``information(S)`` counts the distinct restrictions left by fixing S. Constants
    give 2, and so does n = 0 (the one cut ((), ())). Walks C(n, n // 2) cuts (halved for even
    n) on the worker pool.

    >>> BooleanFunction.majority(3).entanglement()   # cut ((0,), (1, 2)): 2 + 3
    5
    """
    return _run("entanglement", table, progress=progress)


def entropy(table: Table, progress: Progress = False) -> float:
    """The smallest restriction-entropy sum, in bits, over the balanced cuts of ``entanglement``.

    The value of a cut is ``fragmentation_coefficient(set1) + fragmentation_coefficient(set2)``;
    single precision widened to a float. Constants and n = 0 give -0.0.

    >>> BooleanFunction.majority(3).entropy()   # cut ((0,), (1, 2)): 1.0 + 1.5
    2.5
    """
    return _run("entropy", table, progress=progress)


def entanglement_sets(table: Table, progress: Progress = False) -> list[EntanglementSet]:
    """Every balanced cut with its ``information(set1) + information(set2)``, as EntanglementSet tuples.

    In lexicographic order of ``set1``; for even n, ``set1`` holds variable 0. The minimum of
    the ``entanglement`` fields is ``entanglement()``. n = 0 gives the one cut ((), (), 2).

    >>> [tuple(r) for r in BooleanFunction.majority(4).entanglement_sets()]
    [((0, 1), (2, 3), 6), ((0, 2), (1, 3), 6), ((0, 3), (1, 2), 6)]
    """
    return [EntanglementSet(*r) for r in _run("entanglement_sets", table, progress=progress)]


def entropy_sets(table: Table, progress: Progress = False) -> list[EntropySets]:
    """Every balanced cut with its restriction-entropy sum in bits, as EntropySets tuples.

    The cuts of ``entanglement_sets`` in the same order; the minimum of the ``entropy`` fields
    is ``entropy()``. n = 0 gives the one cut ((), (), -0.0).

    >>> BooleanFunction.majority(3).entropy_sets()[0]
    EntropySets(set1=(0,), set2=(1, 2), entropy=2.5)
    """
    return [EntropySets(*r) for r in _run("entropy_sets", table, progress=progress)]


def information(table: Table, vars: Iterable[Any]) -> int:
    """The number of distinct restrictions (functions of the other variables) left by fixing ``vars``.

    ``vars`` are distinct variables in [0, n) (ValueError otherwise), in any order; fixing them
    in all 2**len(vars) ways gives that many restrictions, of which this counts the distinct
    ones. ``[]`` gives 1.

    >>> f = BooleanFunction.dictator(2, 0)
    >>> f.information([0]), f.information([1]), f.information([])
    (2, 1, 1)
    """
    return _native.information(table, _variables(table, vars))


def fragmentation_coefficient(table: Table, vars: Iterable[Any]) -> float:
    """The Shannon entropy in bits of the restrictions left by fixing ``vars`` in every way.

    Each of the 2**m assignments of the m variables is equally likely; the result is
    -sum p log2 p over the distinct restrictions, in single precision widened. ``vars`` as for
    ``information``; ``[]`` gives -0.0.

    >>> f = BooleanFunction.dictator(2, 0)
    >>> f.fragmentation_coefficient([0]), f.fragmentation_coefficient([1])
    (1.0, -0.0)
    """
    return _native.fragmentation_coefficient(table, _variables(table, vars))


# -- the fragmentation family ----------------------------------------------------------------------


def fragmentation_k(table: Table, k: int, progress: Progress = False) -> float:
    """The mean of ``fragmentation_coefficient(S)`` over the C(n, k) subsets S of k variables.

    Summed in single precision from -0.0 in lexicographic order of S and widened. ``k = 0``
    gives -0.0, ``k > n`` gives 0.0, ``k = n`` the entropy of the distribution of the values.

    >>> f = BooleanFunction.dictator(2, 0)
    >>> f.fragmentation_k(1), f.fragmentation_k(3)   # (1.0 + 0.0) / 2
    (0.5, 0.0)
    """
    k = _arguments.count(k, "k")
    if k > _arguments.log2(len(table)):
        return 0.0  # no subset of k variables; also keeps k below the native 64-bit limit
    return _run("fragmentation_k", table, k, progress=progress)


def fragmentation_spectrum(table: Table, progress: Progress = False) -> list[float]:
    """``[fragmentation_k(k) for k in range(n + 1)]``, computed in one pass over all 2**n subsets.

    Entry 0 is -0.0; entry n is the entropy in bits of the distribution of the values. Also
    named ``restriction_signature`` and ``fragmentation_profile``. n = 0 gives [-0.0].

    >>> BooleanFunction.majority(3).fragmentation_spectrum()
    [-0.0, 1.0, 1.5, 1.0]
    """
    return _run("fragmentation_spectrum", table, progress=progress)


def fragmentation_peak(table: Table, progress: Progress = False) -> tuple[int, float]:
    """``(k, value)`` of the first largest entry of the fragmentation spectrum (ties: smallest k).

    n = 0 and constants give (0, -0.0).

    >>> BooleanFunction.majority(3).fragmentation_peak()
    (2, 1.5)
    """
    return _run("fragmentation_peak", table, progress=progress)


def fragmentation_delta(table: Table, progress: Progress = False) -> list[float]:
    """The n first differences ``spectrum[k + 1] - spectrum[k]`` of the fragmentation spectrum.

    Single precision widened; n = 0 gives [].

    >>> BooleanFunction.majority(3).fragmentation_delta()
    [1.0, 0.5, -0.5]
    """
    return _run("fragmentation_delta", table, progress=progress)


def fragmentation_delta2(table: Table, progress: Progress = False) -> list[float]:
    """The max(n - 1, 0) second differences of the fragmentation spectrum.

    Entry k is ``delta[k + 1] - delta[k]`` with ``delta = fragmentation_delta()``.

    >>> BooleanFunction.majority(3).fragmentation_delta2()
    [-0.5, -1.0]
    """
    return _run("fragmentation_delta2", table, progress=progress)


def equanimity_importance(table: Table) -> float:
    """The share of the n * 2**(n-1) edges of the n-cube along which f changes.

    The mean over the variables of the chance that flipping it changes f, in single precision
    widened (mathematically ``total_influence() / n``). n = 0 has no edges and gives nan.

    >>> BooleanFunction.conjunction(2).equanimity_importance()
    0.5
    """
    return _run("equanimity_importance", table)


# -- sensitivity, spectrum, certificates, frontier -------------------------------------------------


def max_sensitivity(table: Table) -> int:
    """The largest sensitivity s(x), the number of variables whose flip changes f(x), over all x.

    Constants and n = 0 give 0; ``xor(n)`` gives n.

    >>> BooleanFunction.majority(3).max_sensitivity()
    2
    """
    return _run("max_sensitivity", table)


def mean_sensitivity(table: Table) -> float:
    """The mean of s(x) over all inputs, in single precision widened.

    ``total_influence()`` is the same value, exact. n = 0 gives 0.0.

    >>> BooleanFunction.majority(3).mean_sensitivity()
    1.5
    """
    return _run("mean_sensitivity", table)


def frontier_size(table: Table) -> int:
    """The number of cube edges (x, x XOR 2**v) joining a false input to a true one.

    Half the sum of the sensitivities; constants and n = 0 give 0.

    >>> BooleanFunction.majority(3).frontier_size()
    6
    """
    return _run("frontier_size", table)


def max_frontier_size(table: Table) -> int:
    """The bound n * min(#false, #true) on ``frontier_size``, exact.

    ``Vexil.max_frontier_size`` takes the product modulo 2**32; this is the exact integer,
    equal to it whenever the product fits. Reached by ``xor(n)``: n * 2**(n-1).

    >>> BooleanFunction.majority(3).max_frontier_size(), BooleanFunction.xor(4).max_frontier_size()
    (12, 32)
    """
    return _run("max_frontier_size", table)


def npn_representant(table: Table) -> Table | None:
    """The representative of f's NPN class, for functions of five variables; None for other n.

    Packing the table into the word w = sum of f(k) << (31 - k), the representative is the
    function whose table is the bits (entry i = bit i) of the smallest word reached by
    permuting and negating inputs and negating the output; two functions are NPN-equivalent
    exactly when their representatives are equal. As ``Vexil.npn_representant``.

    >>> a = BooleanFunction.from_expression("x0 & x1", n=5).npn_representant()
    >>> b = BooleanFunction.from_expression("x3 | x4", n=5).npn_representant()
    >>> a == b, a.to_int()
    (True, 255)
    """
    entries = _native.npn_representant(table)
    if entries is None:
        return None
    return np.frombuffer(entries, dtype=np.uint8).astype(np.bool_)
