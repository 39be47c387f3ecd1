"""Running a measure's chunks on a Dask cluster: the task each worker runs, the client (given, or a
LocalCluster made for the call), the task keys, and the loop that feeds finished chunks to the
combiner and the checkpoint."""

from __future__ import annotations

import contextlib
import multiprocessing
import os
import re
import signal
import threading
import time
import warnings
from collections.abc import Callable, Iterator
from typing import Any

import numpy.typing as npt

import vexil

from .. import _arguments, _native
from .._dask_wait import finished
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


MAIN_GUARD = (
    "client=None starts worker processes that import the main script again: in a script, make the "
    'call under `if __name__ == "__main__":`'
)


def _started_since(before: set[int]) -> set[int]:
    """The descendants not in ``before`` that multiprocessing started (Dask's nannies and workers),
    with their own descendants: never a process another thread of the caller started."""
    new = _descendants() - before
    chosen: set[int] = set()
    for pid in new:
        try:
            with open(f"/proc/{pid}/cmdline", "rb") as cmdline:
                if b"multiprocessing" in cmdline.read():
                    chosen.add(pid)
        except OSError:
            continue
    return chosen | {pid for root in chosen for pid in _descendants(root)}


def _descendants(root: int | None = None) -> set[int]:
    """The ids of the descendants of ``root`` (this process by default), from /proc."""
    parents: dict[int, list[int]] = {}
    for entry in os.listdir("/proc") if os.path.isdir("/proc") else ():
        if not entry.isdigit():
            continue
        try:
            with open(f"/proc/{entry}/stat", "rb") as stat:
                fields = stat.read().rsplit(b")", 1)[1].split()
        except OSError:
            continue
        parents.setdefault(int(fields[1]), []).append(int(entry))
    found: set[int] = set()
    frontier = [os.getpid() if root is None else root]
    while frontier:
        for child in parents.get(frontier.pop(), []):
            if child not in found:
                found.add(child)
                frontier.append(child)
    return found


def _end(pids: set[int]) -> None:
    """Ends the processes ``pids`` (the cluster's leftovers): SIGTERM, then SIGKILL after a grace."""
    for signal_number, grace in ((signal.SIGTERM, 3.0), (signal.SIGKILL, 3.0)):
        for pid in pids:
            with contextlib.suppress(OSError):
                os.kill(pid, signal_number)
        deadline = time.monotonic() + grace
        while pids and time.monotonic() < deadline:
            pids = {pid for pid in pids if _alive(pid)}
            if pids:
                time.sleep(0.05)
        if not pids:
            return


def _alive(pid: int) -> bool:
    with contextlib.suppress(ChildProcessError, OSError):
        if os.waitpid(pid, os.WNOHANG)[0] == pid:
            return False
    try:
        with open(f"/proc/{pid}/stat", "rb") as stat:
            return stat.read().rsplit(b")", 1)[1].split()[0] != b"Z"
    except OSError:
        return False


@contextlib.contextmanager
def _interrupts_deferred() -> Iterator[None]:
    """Holds back Ctrl-C (on the main thread) until the block ends, then raises it."""
    if threading.current_thread() is not threading.main_thread():
        yield
        return
    received: list[int] = []
    previous = signal.signal(signal.SIGINT, lambda number, frame: received.append(number))
    try:
        yield
    finally:
        signal.signal(signal.SIGINT, previous)
    if received:
        raise KeyboardInterrupt


@contextlib.contextmanager
def client_for(client: Any) -> Iterator[Any]:
    """The given client, or one of a LocalCluster of single-threaded worker processes, one per
    processor, closed afterwards: every process it started has ended when the call returns or
    raises, Ctrl-C (even a second one, during the shutdown) included."""
    if client is not None:
        yield client
        return
    if getattr(multiprocessing.current_process(), "_inheriting", False):
        # A worker process importing a script that makes the call at its top level.
        raise SystemExit(MAIN_GUARD)
    from dask.distributed import Client, LocalCluster

    workers = len(os.sched_getaffinity(0)) if hasattr(os, "sched_getaffinity") else os.cpu_count() or 1
    before = _descendants()
    local = None
    try:
        with warnings.catch_warnings():
            # Without a dashboard the scheduler still serves its health page, on a free port when the
            # usual one is taken (another cluster): nothing to warn the caller about.
            warnings.filterwarnings("ignore", message="Port .* is already in use", category=UserWarning)
            try:
                local = LocalCluster(
                    n_workers=workers,
                    threads_per_worker=1,
                    processes=True,
                    dashboard_address=None,
                    env={"RAYON_NUM_THREADS": "1"},
                )
            except (KeyboardInterrupt, SystemExit):
                raise
            except Exception as error:  # noqa: BLE001 - reported in one line with the usual cause
                raise RuntimeError(f"the local Dask cluster did not start ({error}); {MAIN_GUARD}") from None
        made = Client(local)
        try:
            yield made
        finally:
            with _interrupts_deferred():
                made.close()
    finally:
        with _interrupts_deferred():
            try:
                if local is not None:
                    local.close()
            finally:
                _end(_started_since(before))


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
        chunks = _arguments.count(chunks, "chunks")
        if chunks < 1:
            raise ValueError(f"chunks must be at least 1, got {chunks}")
    walks = stages(function.n, measure, k)
    sha256 = digest(function.n, function.table)
    if checkpoint is None:
        return _run(function, measure, client, chunks, None, progress, walks, sha256, checkpoint)
    header = {"format": FORMAT, "measure": measure, "k": k, "n": function.n, "sha256": sha256}
    with Checkpoint(checkpoint, header, walks) as store:
        return _run(function, measure, client, chunks, store, progress, walks, sha256, checkpoint)


def _run(
    function: BooleanFunction,
    measure: str,
    client: Any,
    chunks: int | None,
    store: Checkpoint | None,
    progress: Progress,
    walks: list[Stage],
    sha256: str,
    checkpoint: str | os.PathLike[str] | None,
) -> Any:
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
        for future, arrays in finished(client, futures, with_results=True):
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
