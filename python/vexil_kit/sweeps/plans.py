"""What a sweep computes: its measures read once into columns, each a measure's name or a callable."""

from __future__ import annotations

from collections.abc import Callable, Iterable
from typing import Any


def split_measures(
    measures: Iterable[Any] | str, check_name: Callable[[str], None], fixed: tuple[str, ...], noun: str
) -> tuple[tuple[str, ...], tuple[str | None, ...], tuple[Callable[[Any], Any] | None, ...]]:
    """The columns, names and callables of ``measures``: each a name (checked by ``check_name``, which raises
    ValueError for one that is no measure of the subject) or a ``(column name, callable)`` pair; a single
    name may be given as a str. ValueError for a column named twice or named as one of the ``fixed`` ones,
    TypeError for anything else, before any work."""
    columns: list[str] = []
    names: list[str | None] = []
    callables: list[Callable[[Any], Any] | None] = []
    for m in [measures] if isinstance(measures, str) else measures:
        if isinstance(m, str):
            check_name(m)
            columns.append(m)
            names.append(m)
            callables.append(None)
        elif isinstance(m, tuple) and len(m) == 2 and isinstance(m[0], str) and callable(m[1]):
            columns.append(m[0])
            names.append(None)
            callables.append(m[1])
        else:
            raise TypeError(f"a measure is a {noun} name or a (name, callable) pair, not {m!r}")
    for name in columns:
        if name in fixed:
            raise ValueError(f"the column {name!r} is always there; name the measure otherwise")
        if columns.count(name) > 1:
            raise ValueError(f"the measure {name!r} is named twice")
    return tuple(columns), tuple(names), tuple(callables)


class BatchInterrupted(KeyboardInterrupt):
    """Ctrl-C within a batch, carrying the columns of the rows finished before it (``done`` of them)."""

    def __init__(self, columns: dict[str, Any], done: int) -> None:
        super().__init__()
        self.columns = columns
        self.done = done
