"""The chunks' arrays put together into a measure's value, exactly as the core puts the cuts together.

The minima do not depend on the order. The means of ``fragmentation_k`` and the spectrum are the
core's single-precision sums from -0.0 in rank order, divided in single precision by the count:
``OrderedSum`` carries the core's own sum (``_native.float32_sum_in_order``) over runs of ranks that
arrive in any order, and ``cuts`` lists the balanced cuts in the core's rank order, from the core.
"""

from __future__ import annotations

from collections.abc import Iterator, Sequence
from typing import Any

import numpy as np
import numpy.typing as npt

from .. import _native
from ..measures import EntanglementSet, EntropySets
from .plan import MINIMA, Chunk, Stage

Cut = tuple[tuple[int, ...], tuple[int, ...]]


class OrderedSum:
    """The single-precision sum, from -0.0 in rank order, of values that arrive as runs of ranks
    in any order: a run is added once every rank before it has been.

    >>> total = OrderedSum(3)
    >>> total.add(2, np.array([0.5], dtype=np.float32))   # waits for ranks 0 and 1
    >>> total.add(0, np.array([1.0, 1.5], dtype=np.float32))
    >>> total.mean()
    1.0
    """

    def __init__(self, ranks: int) -> None:
        self.ranks = ranks
        self.next = 0
        self.total = np.float32(-0.0)
        self.pending: dict[int, npt.NDArray[Any]] = {}

    def add(self, start: int, values: npt.NDArray[Any]) -> None:
        self.pending[start] = values
        while self.next in self.pending:
            run = self.pending.pop(self.next)
            if run.size:
                values = np.ascontiguousarray(run, dtype=np.float32)
                self.total = np.float32(_native.float32_sum_in_order(values, float(self.total)))
            self.next += run.size

    def mean(self) -> float:
        if self.next != self.ranks:
            raise RuntimeError("the cluster returned too few values")
        return _native.float32_mean(float(self.total), self.ranks)


def cuts(n: int) -> Iterator[Cut]:
    """The balanced cuts in rank order, as ``BooleanFunction.entanglement_sets`` lists them.

    >>> list(cuts(4))
    [((0, 1), (2, 3)), ((0, 2), (1, 3)), ((0, 3), (1, 2))]
    """
    yield from _native.balanced_cuts(n)


class Combiner:
    """Takes each chunk's arrays as they come and gives the measure's value at the end."""

    def __init__(self, measure: str, n: int, walks: Sequence[Stage]) -> None:
        self.measure = measure
        self.n = n
        self.stages = walks
        self.minimum: Any = None
        self.values: npt.NDArray[Any] | None = None
        self.low: list[OrderedSum] = []
        self.high: list[OrderedSum | None] = []
        if measure in ("entanglement_sets", "entropy_sets"):
            dtype = np.uint64 if measure == "entanglement_sets" else np.float32
            self.values = np.empty(walks[0].ranks, dtype=dtype)
        elif measure.startswith("fragmentation"):
            self.low = [OrderedSum(stage.ranks) for stage in walks]
            self.high = [OrderedSum(stage.ranks) if stage.kind == "pairs" else None for stage in walks]

    def add(self, chunk: Chunk, arrays: tuple[npt.NDArray[Any], ...]) -> None:
        if self.measure in MINIMA:
            best = arrays[0][0]
            if self.minimum is None or best < self.minimum:
                self.minimum = best
        elif self.values is not None:
            self.values[chunk.begin : chunk.end] = arrays[0]
        else:
            ranks = self.stages[chunk.stage].ranks
            self.low[chunk.stage].add(chunk.begin, arrays[0])
            high = self.high[chunk.stage]
            if high is not None:
                # The complements of ranks [begin, end) are the (n - k)-subsets of ranks
                # [C - end, C - begin), in their own order.
                high.add(ranks - chunk.end, arrays[1])

    def result(self) -> Any:
        if self.measure == "entanglement":
            return int(self.minimum)
        if self.measure == "entropy":
            return float(self.minimum)
        if self.values is not None:
            record = EntanglementSet if self.measure == "entanglement_sets" else EntropySets
            return [
                record(set1, set2, value)
                for (set1, set2), value in zip(cuts(self.n), self.values.tolist(), strict=True)
            ]
        if self.measure == "fragmentation_k":
            return self.low[0].mean()
        spectrum = [0.0] * (self.n + 1)
        for stage, low, high in zip(self.stages, self.low, self.high, strict=True):
            spectrum[stage.k] = low.mean()
            if high is not None:
                spectrum[self.n - stage.k] = high.mean()
        return spectrum
