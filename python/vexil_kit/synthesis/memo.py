"""A bounded memo of the pure functions of small tables that the rewriting passes ask again and again."""

from __future__ import annotations

from collections.abc import Callable
from typing import Generic, TypeVar

V = TypeVar("V")


class Memo(Generic[V]):
    """``make(*key)`` for int keys, each computed once; forgotten all at once past ``limit`` keys."""

    def __init__(self, make: Callable[..., V], limit: int) -> None:
        self._make = make
        self._limit = limit
        self._known: dict[tuple[int, ...], V] = {}

    def __call__(self, *key: int) -> V:
        known = self._known.get(key)
        if known is None:
            if len(self._known) >= self._limit:
                self._known.clear()
            known = self._known[key] = self._make(*key)
        return known
