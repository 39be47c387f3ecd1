"""The work of one measure cut into chunks: the walks (stages) a measure makes over ranks of cuts
or subsets, and their split into runs of ranks of about equal cost, one Dask task each."""

from __future__ import annotations

import itertools
import math
from collections.abc import Sequence
from typing import NamedTuple

from .. import _native

# Tasks per worker thread by default: enough that the last ones leave little idle time at the
# end (half a task per worker on average)...
TASKS_PER_THREAD = 32
# ...but no task under about 2**29 table entries read (tens of milliseconds), as Dask spends a few
# milliseconds on each task.
MIN_TASK_ENTRIES = 1 << 29

#: The measures by the reduction the client makes of the chunks.
MINIMA = ("entanglement", "entropy")
RECORDS = ("entanglement_sets", "entropy_sets")


class Stage(NamedTuple):
    """One walk: the balanced cuts (``kind`` "counts" or "entropies"), or the k-subsets ("subsets",
    or "pairs" when their complements are measured along)."""

    kind: str
    k: int
    ranks: int


class Chunk(NamedTuple):
    """The ranks [begin, end) of stage ``stage``: one task."""

    stage: int
    begin: int
    end: int


def stages(n: int, measure: str, k: int) -> list[Stage]:
    """The walks ``measure`` makes over a function of n variables (k: that of ``fragmentation_k``).

    >>> stages(4, "entropy", 0), stages(3, "fragmentation_spectrum", 0)
    ([Stage(kind='entropies', k=0, ranks=3)], [Stage(kind='pairs', k=0, ranks=1), Stage(kind='pairs', k=1, ranks=3)])
    """
    cuts = _native.balanced_cut_count(n)
    if measure in ("entanglement", "entanglement_sets"):
        return [Stage("counts", 0, cuts)]
    if measure in ("entropy", "entropy_sets"):
        return [Stage("entropies", 0, cuts)]
    if measure == "fragmentation_k":
        return [Stage("subsets", k, math.comb(n, k))]
    # Sizes k and n - k share a walk, as in the single-machine spectrum.
    return [Stage("subsets" if 2 * j == n else "pairs", j, math.comb(n, j)) for j in range(n // 2 + 1)]


def weights(walks: Sequence[Stage]) -> list[int]:
    """The work of each stage in cuts (a subset with its complement counts as two)."""
    return [stage.ranks * (2 if stage.kind == "pairs" else 1) for stage in walks]


def default_chunks(walks: Sequence[Stage], n: int, threads: int) -> int:
    """The number of chunks for a cluster of ``threads`` worker threads."""
    return max(1, min(TASKS_PER_THREAD * threads, (sum(weights(walks)) << n) // MIN_TASK_ENTRIES))


def split(walks: Sequence[Stage], chunks: int) -> list[Chunk]:
    """About ``chunks`` pieces of equal work: each stage cut into nearly equal runs of ranks.

    >>> split([Stage("counts", 0, 10)], 3)
    [Chunk(stage=0, begin=0, end=3), Chunk(stage=0, begin=3, end=6), Chunk(stage=0, begin=6, end=10)]
    """
    work = weights(walks)
    size = max(1, -(-sum(work) // chunks))
    plan: list[Chunk] = []
    for index, (stage, weight) in enumerate(zip(walks, work, strict=True)):
        pieces = min(stage.ranks, max(1, -(-weight // size)))
        bounds = [stage.ranks * i // pieces for i in range(pieces + 1)]
        plan.extend(Chunk(index, a, b) for a, b in itertools.pairwise(bounds))
    return plan


def tiles(plan: Sequence[Chunk], walks: Sequence[Stage]) -> bool:
    """Whether the chunks tile every stage's ranks, each run non-empty, in order."""
    reached = [0] * len(walks)
    for chunk in plan:
        if not 0 <= chunk.stage < len(walks) or chunk.begin != reached[chunk.stage] or chunk.end <= chunk.begin:
            return False
        reached[chunk.stage] = chunk.end
    return reached == [stage.ranks for stage in walks]


def shapes(measure: str, stage: Stage, chunk: Chunk) -> list[int]:
    """The lengths of the arrays a chunk's task returns."""
    if measure in MINIMA:
        return [1]
    return [chunk.end - chunk.begin] * (2 if stage.kind == "pairs" else 1)
