"""Running a measure's chunks on a Dask cluster: the task each worker runs, the client (given, or a
LocalCluster made for the call), the task keys, and the loop that feeds finished chunks to the
combiner and the checkpoint."""

from __future__ import annotations

import contextlib
import operator
import os
import re
import warnings
from collections.abc import Callable, Iterator
from typing import Any

import numpy.typing as npt

import vexil

from .. import _native
from ..function import BooleanFunction
from ..progress import Progress, reporter
from .checkpoint import FORMAT, Checkpoint, digest
from .combine import Combiner
from .plan import MINIMA, Chunk, Stage, default_chunks, shapes, split, stages

Arrays = tuple[npt.NDArray[Any], ...]
_Report = Callable[[int, int], object] | None

#: The chunk index in a task key made here (tests follow the tasks of a run by it).
CHUNK_KEY = re.compile(r"^vexil-[a-z_]+-[0-9a-f]{16}-\d+-\d+-\d+-chunk(\d+)$")


def as_function(f: BooleanFunction | vexil.Vexil) -> BooleanFunction:
    """``f`` as a BooleanFunction (TypeError for other types)."""
    if isinstance(f, BooleanFunction):
        return f
    if isinstance(f, vexil.Vexil):
        return BooleanFunction.from_vexil(f)
    raise TypeError(f"expected a BooleanFunction or a vexil.Vexil, not {type(f).__name__}")


def chunk_task(function: BooleanFunction, kind: str, k: int, begin: int, end: int, reduce: bool) -> Arrays:
    """One chunk, on a worker: the values of ranks [begin, end) (with the complements for "pairs"),
    or, with ``reduce``, a one-entry array holding their minimum."""
    table: Any = function.table  # a buffer to the native functions
    if kind == "counts" or kind == "entropies":
        fill = _native.cut_counts_range if kind == "counts" else _native.cut_entropies_range
        values: npt.NDArray[Any] = fill(table, begin, end)
        return (values.min(keepdims=True),) if reduce else (values,)
    values, complements = _native.subset_entropies_range(table, k, begin, end, complements=kind == "pairs")
    return (values, complements) if kind == "pairs" else (values,)


@contextlib.contextmanager
def client_for(client: Any) -> Iterator[Any]:
    """The given client, or one of a LocalCluster of single-threaded worker processes, one per
    processor, closed afterwards."""
    if client is not None:
        yield client
        return
    from dask.distributed import Client, LocalCluster

    workers = len(os.sched_getaffinity(0)) if hasattr(os, "sched_getaffinity") else os.cpu_count() or 1
    with warnings.catch_warnings():
        # Without a dashboard the scheduler still serves its health page, on a free port when the
        # usual one is taken (another cluster): nothing to warn the caller about.
        warnings.filterwarnings("ignore", message="Port .* is already in use", category=UserWarning)
        local = LocalCluster(
            n_workers=workers,
            threads_per_worker=1,
            processes=True,
            dashboard_address=None,
            env={"RAYON_NUM_THREADS": "1"},
        )
    with local, Client(local) as made:
        yield made


def chunk_key(measure: str, sha256: str, index: int, chunk: Chunk) -> str:
    """The task key of a chunk: it names the function and the bounds, so that equal keys are equal
    work (Dask shares them).

    >>> bool(CHUNK_KEY.match(chunk_key("entropy", "ab" * 32, 7, Chunk(0, 10, 20))))
    True
    """
    return f"vexil-{measure}-{sha256[:16]}-{chunk.stage}-{chunk.begin}-{chunk.end}-chunk{index}"


def run(
    f: BooleanFunction | vexil.Vexil,
    measure: str,
    client: Any,
    chunks: int | None,
    checkpoint: str | os.PathLike[str] | None,
    progress: Progress,
    k: int = 0,
) -> Any:
    """The value of ``measure`` of ``f``, its chunks taken from the checkpoint or computed on the cluster."""
    function = as_function(f)
    if chunks is not None:
        chunks = operator.index(chunks)
        if chunks < 1:
            raise ValueError(f"chunks must be at least 1, got {chunks}")
    walks = stages(function.n, measure, k)
    sha256 = digest(function.n, function.table)
    store = None
    if checkpoint is not None:
        header = {"format": FORMAT, "measure": measure, "k": k, "n": function.n, "sha256": sha256}
        store = Checkpoint(checkpoint, header, walks)
    plan = store.plan if store is not None else None
    if plan is not None and chunks is not None and split(walks, chunks) != plan:
        raise ValueError(f"the checkpoint at {checkpoint} was made with {len(plan)} chunks: pass chunks=None to resume")
    combiner = Combiner(measure, function.n, walks)
    done: set[int] = set()
    if plan is not None and store is not None:
        for index, chunk in enumerate(plan):
            arrays = store.load(index, chunk, shapes(measure, walks[chunk.stage], chunk))
            if arrays is not None:
                combiner.add(chunk, arrays)
                done.add(index)
    if plan is None or len(done) < len(plan):
        with client_for(client) as active, reporter(progress, f"{measure} (chunks)") as report:
            if plan is None:
                threads = sum(active.nthreads().values()) or 1
                if chunks is None:
                    chunks = default_chunks(walks, function.n, threads)
                plan = split(walks, chunks)
                if store is not None:
                    store.start(plan)
            compute(active, function, measure, sha256, walks, plan, done, combiner, store, report)
    return combiner.result()


def compute(
    client: Any,
    function: BooleanFunction,
    measure: str,
    sha256: str,
    walks: list[Stage],
    plan: list[Chunk],
    done: set[int],
    combiner: Combiner,
    store: Checkpoint | None,
    report: _Report,
) -> None:
    """Submits the chunks of ``plan`` not in ``done`` and takes each as it finishes: stored, combined
    and added to ``done``."""
    from dask.distributed import as_completed

    reduce = measure in MINIMA
    if report is not None:
        report(len(done), len(plan))
    [shared] = client.scatter([function], broadcast=True, hash=False)
    futures = {}
    for index, chunk in enumerate(plan):
        if index in done:
            continue
        stage = walks[chunk.stage]
        future = client.submit(
            chunk_task,
            shared,
            stage.kind,
            stage.k,
            chunk.begin,
            chunk.end,
            reduce,
            key=chunk_key(measure, sha256, index, chunk),
        )
        futures[future] = index
    try:
        for future, arrays in as_completed(futures, with_results=True):
            index = futures[future]
            chunk = plan[index]
            if store is not None:
                store.save(index, chunk, arrays)
            combiner.add(chunk, arrays)
            done.add(index)
            if report is not None:
                report(len(done), len(plan))
    finally:
        # Stops what is left after a failure; finished futures are released with their references.
        unfinished = [future for future in futures if not future.done()]
        if unfinished:
            client.cancel(unfinished)
