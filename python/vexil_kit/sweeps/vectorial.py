"""Sweeps of S-boxes: their sources, and the job the one sweep runner (``runner.sweep``) runs for them.

A source of S-boxes (``random_permutations``, ``catalogue_sboxes``, or ``SboxSource.of`` a list) goes
through the same runner as functions, with the same arguments (``out``, ``client``, ``batch_size``,
``progress``); ``SboxJob`` computes a batch, one S-box at a time: each measure is a native call without
the interpreter lock that streams its table on the worker pool, so an S-box is already as parallel as
a batch would be.
"""

from __future__ import annotations

from collections.abc import Callable, Iterable, Iterator
from dataclasses import dataclass
from typing import Any

import numpy as np

from .. import _arguments, registry
from ..vectorial import VectorialFunction
from .output import TEXT, measure_kind
from .plans import BatchInterrupted, split_measures

#: The columns before the measures.
SBOX_COLUMNS = ("name", "n", "m")


class SboxSource:
    """S-boxes to sweep, each with a name, in a fixed order.

    >>> source = SboxSource.of([VectorialFunction([1, 0, 3, 2])])
    >>> len(source), [name for name, _ in source]
    (1, ['0'])
    """

    def __init__(self, items: Iterable[tuple[str, VectorialFunction]], description: str = "S-boxes") -> None:
        self._items = [(str(name), box) for name, box in items]
        if not all(isinstance(box, VectorialFunction) for _, box in self._items):
            raise TypeError("an S-box source holds VectorialFunction objects")
        self.description = description

    @classmethod
    def of(cls, boxes: Iterable[VectorialFunction]) -> SboxSource:
        """A source of the S-boxes given, named by their position."""
        return cls(((str(k), box) for k, box in enumerate(boxes)))

    def __len__(self) -> int:
        return len(self._items)

    def __iter__(self) -> Iterator[tuple[str, VectorialFunction]]:
        return iter(self._items)

    def __repr__(self) -> str:
        return f"<SboxSource: {len(self):,} {self.description}>"


def random_permutations(n: int, count: int, seed: int | None = None) -> SboxSource:
    """``count`` uniformly random permutations of n bits, from ``numpy.random.default_rng(seed)`` in turn.

    >>> [box.n for _, box in random_permutations(4, 2, seed=1)]
    [4, 4]
    """
    n = _arguments.num_vars(n)
    count = _arguments.count(count, "count")
    rng = np.random.default_rng(seed)
    return SboxSource(
        ((str(k), VectorialFunction(rng.permutation(1 << n).astype(np.uint32), n)) for k in range(count)),
        f"random permutations of {n} bits" + ("" if seed is None else f" (seed {seed})"),
    )


def catalogue_sboxes() -> SboxSource:
    """Every S-box of the catalogue (``VectorialFunction.catalogue()``), named."""
    names = VectorialFunction.catalogue()
    return SboxSource(((name, VectorialFunction.named(name)) for name in names), "catalogued S-boxes")


def sbox_source(items: Any) -> SboxSource | None:
    """The S-boxes a sweep is given (a source, or a list or tuple of VectorialFunction), or None for
    functions."""
    if isinstance(items, SboxSource):
        return items
    if isinstance(items, (list, tuple)) and items and all(isinstance(box, VectorialFunction) for box in items):
        return SboxSource.of(items)
    return None


#: A batch of S-boxes: (name, S-box) pairs.
SboxBatch = list[tuple[str, VectorialFunction]]


@dataclass(frozen=True)
class SboxJob:
    """The sweep of S-boxes (see ``runner.Job``): batches of named S-boxes, keyed by ``name``; each
    scalar measure by the registry's evaluator, each spectrum by its method. A measure's native call
    streams its table on the worker pool, so one S-box at a time is already as parallel as a batch."""

    columns_of_measures: tuple[str, ...]
    #: The registry's measure of each column, or None for a callable.
    measures: tuple[str | None, ...]
    callables: tuple[Callable[[VectorialFunction], Any] | None, ...]
    fixed: tuple[str, ...] = SBOX_COLUMNS
    key: str = "name"

    @classmethod
    def of(cls, measures: Iterable[Any] | str) -> SboxJob:
        """The job of ``measures``: names of the registry's vectorial measures (no tables), or
        (column name, callable) pairs; ValueError or TypeError before any work otherwise."""
        table = registry.measures("vectorial")

        def check(m: str) -> None:
            if m not in table:
                raise ValueError(f"unknown vectorial measure {m!r}; registry.measures('vectorial') lists them")
            if table[m].kind == "table":
                raise ValueError(f"{m} is a table; a sweep takes scalar measures and spectra")

        return cls(*split_measures(measures, check, SBOX_COLUMNS, "measure"))

    @property
    def columns(self) -> tuple[str, ...]:
        return (*self.fixed, *self.columns_of_measures)

    def batches(self, source: SboxSource, size: int) -> list[SboxBatch]:
        items = list(source)
        return [items[start : start + size] for start in range(0, len(items), size)]

    def size(self, batch: SboxBatch) -> int:
        return len(batch)

    def rest(self, batch: SboxBatch, count: int) -> SboxBatch:
        return batch[count:]

    def keys(self, batch: SboxBatch, count: int) -> list[str]:
        return [label for label, _ in batch[:count]]

    def compute(self, batch: SboxBatch, progress: Callable[[int], None] | None = None) -> dict[str, Any]:
        columns: dict[str, Any] = {
            "name": [label for label, _ in batch],
            "n": np.array([box.n for _, box in batch], dtype=np.int64),
            "m": np.array([box.m for _, box in batch], dtype=np.int64),
        }
        values: list[list[Any]] = [[] for _ in self.columns_of_measures]
        table = registry.measures("vectorial")
        for done, (_, box) in enumerate(batch):
            try:
                row = [
                    _value(box, table[name] if name is not None else None, function)
                    for name, function in zip(self.measures, self.callables, strict=True)
                ]
            except KeyboardInterrupt:
                finished = {key: column[:done] for key, column in columns.items()}
                finished.update(zip(self.columns_of_measures, values, strict=True))
                raise BatchInterrupted(finished, done) from None
            for found, value in zip(values, row, strict=True):
                found.append(value)
            if progress is not None:
                progress(done + 1)
        for column, name, found in zip(self.columns_of_measures, self.measures, values, strict=True):
            kind = table[name].kind if name is not None else None
            if kind in _ARRAYS and None not in found:
                found = np.array(found, dtype=_ARRAYS[kind])  # type: ignore[assignment]
            columns[column] = found
        return columns

    def kinds(self, source: SboxSource) -> dict[str, str | None]:
        table = registry.measures("vectorial")
        kinds: dict[str, str | None] = {"name": TEXT, "n": "int64", "m": "int64"}
        for column, name in zip(self.columns_of_measures, self.measures, strict=True):
            info = table[name] if name is not None else None
            kinds[column] = None if info is None else measure_kind(info, info.permutations_only)
        return kinds


#: The NumPy types of scalar columns every S-box has a value in.
_ARRAYS = {"integer": "int64", "boolean": "bool", "real": "float64"}


def _value(
    box: VectorialFunction, info: registry.MeasureInfo | None, function: Callable[[VectorialFunction], Any] | None
) -> Any:
    """One measure of one S-box; None where it does not apply (permutations only, or ValueError)."""
    try:
        if info is None:
            return function(box)  # type: ignore[misc]
        if not info.applies(box):
            return None
        if info.scalar:
            return registry.evaluate("vectorial", info.name, box.table, m=box.m)
        return box.measure(info.name)
    except ValueError:
        return None
