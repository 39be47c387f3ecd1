"""Sweeps of S-boxes: the measures of the vectorial registry over many VectorialFunction objects.

A source of S-boxes (``random_permutations``, ``catalogue_sboxes``, or ``SboxSource.of`` a list) is
swept one S-box at a time: each measure is a native call without the interpreter lock that
streams its table on the worker pool, so an S-box is already as parallel as a batch would be.
"""

from __future__ import annotations

from collections.abc import Iterable, Iterator
from typing import Any

from .. import _arguments
from ..progress import Progress, reporter
from ..vectorial import MEASURES, VectorialFunction

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
    import numpy as np

    n = _arguments.num_vars(n)
    count = _arguments.count(count, "count")
    rng = np.random.default_rng(seed)
    return SboxSource(
        ((str(k), VectorialFunction(rng.permutation(1 << n).astype(np.uint32), n)) for k in range(count)),
        f"random permutations of {n} bits",
    )


def catalogue_sboxes() -> SboxSource:
    """Every S-box of the catalogue (``VectorialFunction.catalogue()``), named."""
    names = VectorialFunction.catalogue()
    return SboxSource(((name, VectorialFunction.named(name)) for name in names), "catalogued S-boxes")


def sweep_sboxes(source: SboxSource, measures: Iterable[Any] | str, progress: Progress = False) -> Any:
    """Every vectorial measure of every S-box, as a pandas DataFrame: ``name``, ``n``, ``m``, then the
    measures, one row per S-box. Measures that do not apply (permutations only) are missing (NA).

    Tables (``ddt``, ...) are refused: a sweep keeps scalars and value -> count dicts.
    """
    import pandas as pd  # type: ignore[import-untyped, unused-ignore]

    names = [measures] if isinstance(measures, str) else list(measures)
    for name in names:
        if not isinstance(name, str) or name not in MEASURES:
            raise ValueError(f"unknown vectorial measure {name!r}; vexil_kit.vectorial.MEASURES lists them")
        if MEASURES[name].kind == "table":
            raise ValueError(f"{name} is a table; a sweep takes scalar measures and spectra")
    rows = []
    with reporter(progress, "sweep") as report:
        for done, (label, box) in enumerate(source):
            row: dict[str, Any] = {"name": label, "n": box.n, "m": box.m}
            for name in names:
                if MEASURES[name].permutations_only and not box.is_permutation():
                    row[name] = None
                else:
                    row[name] = box.measure(name)
            rows.append(row)
            if report is not None:
                report(done + 1, len(source))
    frame = pd.DataFrame(rows, columns=[*SBOX_COLUMNS, *names])
    for name in names:
        kind = MEASURES[name].kind
        if kind in ("integer", "boolean"):
            frame[name] = frame[name].astype("Int64" if kind == "integer" else "boolean")
    return frame
