"""The exact information measures of one function, computed on a Dask cluster.

Each measure walks many cuts or subsets of the variables (C(n, n/2) of them, each a pass over
the 2**n entries), and each cut is independent of the others: the ranks are split into chunks,
every chunk is one Dask task that measures its cuts in the core (on the worker's own thread pool),
and the client combines the chunks exactly as the single-machine computation combines the cuts.
The results are bit-identical to ``BooleanFunction``'s and ``vexil.Vexil``'s methods of the same
names, whatever the chunks, the workers or the order in which the tasks finish.

The function's table travels to each worker once (``client.scatter(..., broadcast=True)``; the
function pickles as its packed table, 2**n / 8 bytes). The workers need ``vexil_kit`` installed.
A worker process computes each task on a pool of ``RAYON_NUM_THREADS`` threads (default: one per
processor), so set that variable to the cores each worker process owns; the ``LocalCluster`` made
for ``client=None`` has one single-threaded worker process per processor with the variable at 1.

``checkpoint=PATH`` keeps each finished chunk in the directory PATH, so that a run stopped for any
reason (the client or the workers killed, the machine rebooted) picks up where it stopped:
rerun the same call and only the missing chunks are computed. See docs/scale.md.

>>> from dask.distributed import Client
>>> from vexil_kit import cluster
>>> f = BooleanFunction.majority(5)
>>> with Client(processes=False, n_workers=1, threads_per_worker=2, dashboard_address=None) as client:
...     cluster.entropy(f, client=client) == f.entropy()
True
"""

from __future__ import annotations

import contextlib
import hashlib
import itertools
import json
import math
import operator
import os
import re
import tempfile
import warnings
from collections.abc import Iterator, Sequence
from pathlib import Path
from typing import Any, NamedTuple

import numpy as np
import vexil

from . import _native
from .function import BooleanFunction
from .measures import EntanglementSet, EntropySets
from .progress import Progress, reporter

__all__ = [
    "entanglement",
    "entropy",
    "entanglement_sets",
    "entropy_sets",
    "fragmentation_k",
    "fragmentation_spectrum",
]

_FORMAT = "vexil_kit.cluster checkpoint 1"
_MANIFEST = "manifest.json"
_TEMP_PREFIX = ".partial-"
# Tasks per worker thread by default: enough that the last ones leave little idle time at the
# end (half a task per worker on average)...
_TASKS_PER_THREAD = 32
# ...but no task under about 2**29 table entries read (tens of milliseconds), as Dask spends a few
# milliseconds on each task.
_MIN_TASK_ENTRIES = 1 << 29


# -- the work ------------------------------------------------------------------------------------


class _Stage(NamedTuple):
    """One walk: the balanced cuts (``kind`` "counts" or "entropies"), or the k-subsets ("subsets",
    or "pairs" when their complements are measured along)."""

    kind: str
    k: int
    ranks: int


class _Chunk(NamedTuple):
    stage: int
    begin: int
    end: int


def _stages(n: int, measure: str, k: int) -> list[_Stage]:
    cuts = _native.balanced_cut_count(n)
    if measure in ("entanglement", "entanglement_sets"):
        return [_Stage("counts", 0, cuts)]
    if measure in ("entropy", "entropy_sets"):
        return [_Stage("entropies", 0, cuts)]
    if measure == "fragmentation_k":
        return [_Stage("subsets", k, math.comb(n, k))]
    # Sizes k and n - k share a walk, as in the single-machine spectrum.
    return [_Stage("subsets" if 2 * j == n else "pairs", j, math.comb(n, j)) for j in range(n // 2 + 1)]


def _weights(stages: Sequence[_Stage]) -> list[int]:
    """The work of each stage in cuts (a subset with its complement counts as two)."""
    return [stage.ranks * (2 if stage.kind == "pairs" else 1) for stage in stages]


def _default_chunks(stages: Sequence[_Stage], n: int, threads: int) -> int:
    return max(1, min(_TASKS_PER_THREAD * threads, (sum(_weights(stages)) << n) // _MIN_TASK_ENTRIES))


def _split(stages: Sequence[_Stage], chunks: int) -> list[_Chunk]:
    """About ``chunks`` pieces of equal work: each stage cut into nearly equal runs of ranks."""
    weights = _weights(stages)
    size = max(1, -(-sum(weights) // chunks))
    plan: list[_Chunk] = []
    for index, (stage, weight) in enumerate(zip(stages, weights)):
        pieces = min(stage.ranks, max(1, -(-weight // size)))
        bounds = [stage.ranks * i // pieces for i in range(pieces + 1)]
        plan.extend(_Chunk(index, a, b) for a, b in zip(bounds, bounds[1:]))
    return plan


def _chunk_task(
    function: BooleanFunction, kind: str, k: int, begin: int, end: int, reduce: bool
) -> tuple[np.ndarray, ...]:
    """One chunk, on a worker: the values of ranks [begin, end) (with the complements for "pairs"),
    or, with ``reduce``, a one-entry array holding their minimum."""
    table: Any = function.table  # a buffer to the native functions
    if kind == "counts" or kind == "entropies":
        fill = _native.cut_counts_range if kind == "counts" else _native.cut_entropies_range
        values = fill(table, begin, end)
        return (values.min(keepdims=True),) if reduce else (values,)
    values, complements = _native.subset_entropies_range(table, k, begin, end, complements=kind == "pairs")
    return (values, complements) if kind == "pairs" else (values,)


# -- combining -----------------------------------------------------------------------------------


class _OrderedSum:
    """The single-precision sum, from -0.0 in rank order, of values that arrive as runs of ranks
    in any order: a run is added once every rank before it has been."""

    def __init__(self, ranks: int) -> None:
        self.ranks = ranks
        self.next = 0
        self.total = np.float32(-0.0)
        self.pending: dict[int, np.ndarray] = {}

    def add(self, start: int, values: np.ndarray) -> None:
        self.pending[start] = values
        while self.next in self.pending:
            run = self.pending.pop(self.next)
            if run.size:
                # accumulate adds one value after the other (numpy's sum would pair them).
                carried = np.concatenate((np.array([self.total], dtype=np.float32), run.astype(np.float32)))
                self.total = np.add.accumulate(carried, dtype=np.float32)[-1]
            self.next += run.size

    def mean(self) -> float:
        if self.next != self.ranks:
            raise RuntimeError("the cluster returned too few values")
        return float(np.float32(self.total) / np.float32(self.ranks))


class _Combiner:
    """Takes each chunk's arrays as they come and gives the measure's value at the end."""

    def __init__(self, measure: str, n: int, stages: Sequence[_Stage]) -> None:
        self.measure = measure
        self.n = n
        self.stages = stages
        self.minimum: Any = None
        self.values: np.ndarray | None = None
        self.low: list[_OrderedSum] = []
        self.high: list[_OrderedSum | None] = []
        if measure in ("entanglement_sets", "entropy_sets"):
            dtype = np.uint64 if measure == "entanglement_sets" else np.float32
            self.values = np.empty(stages[0].ranks, dtype=dtype)
        elif measure.startswith("fragmentation"):
            self.low = [_OrderedSum(stage.ranks) for stage in stages]
            self.high = [_OrderedSum(stage.ranks) if stage.kind == "pairs" else None for stage in stages]

    def add(self, chunk: _Chunk, arrays: tuple[np.ndarray, ...]) -> None:
        if self.measure in ("entanglement", "entropy"):
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
            return [record(set1, set2, value) for (set1, set2), value in zip(_cuts(self.n), self.values.tolist())]
        if self.measure == "fragmentation_k":
            return self.low[0].mean()
        spectrum = [0.0] * (self.n + 1)
        for stage, low, high in zip(self.stages, self.low, self.high):
            spectrum[stage.k] = low.mean()
            if high is not None:
                spectrum[self.n - stage.k] = high.mean()
        return spectrum


def _cuts(n: int) -> Iterator[tuple[tuple[int, ...], tuple[int, ...]]]:
    """The balanced cuts in rank order, as ``BooleanFunction.entanglement_sets`` lists them."""
    if n == 0:
        yield (), ()
        return
    fixed, pool, size = ((), range(n), (n - 1) // 2) if n % 2 else ((0,), range(1, n), n // 2 - 1)
    for chosen in itertools.combinations(pool, size):
        set1 = fixed + chosen
        members = set(set1)
        yield set1, tuple(v for v in range(n) if v not in members)


# -- checkpoints ---------------------------------------------------------------------------------


def _digest(function: BooleanFunction) -> str:
    packed = np.packbits(function.table, bitorder="little").tobytes()
    return hashlib.sha256(function.n.to_bytes(2, "little") + packed).hexdigest()


def _write_atomically(directory: Path, name: str, write) -> None:
    """Writes a file that either exists whole or not at all: a temporary name, then a rename."""
    handle = tempfile.NamedTemporaryFile(dir=directory, prefix=_TEMP_PREFIX, delete=False)
    try:
        with handle:
            write(handle)
            handle.flush()
            os.fsync(handle.fileno())
        os.replace(handle.name, directory / name)
    except BaseException:
        with contextlib.suppress(OSError):
            os.unlink(handle.name)
        raise


def _valid_plan(plan: Sequence[_Chunk], stages: Sequence[_Stage]) -> bool:
    """Whether the chunks tile every stage's ranks, each run non-empty, in order."""
    reached = [0] * len(stages)
    for chunk in plan:
        if not 0 <= chunk.stage < len(stages) or chunk.begin != reached[chunk.stage] or chunk.end <= chunk.begin:
            return False
        reached[chunk.stage] = chunk.end
    return reached == [stage.ranks for stage in stages]


class _Checkpoint:
    """A directory holding the manifest (function, measure, chunks) and one file per finished chunk."""

    def __init__(self, path: str | os.PathLike[str], header: dict[str, Any], stages: Sequence[_Stage]) -> None:
        self.path = Path(path)
        self.header = header
        self.plan: list[_Chunk] | None = None
        self.path.mkdir(parents=True, exist_ok=True)
        manifest = self.path / _MANIFEST
        if not manifest.exists():
            if any(not entry.name.startswith(_TEMP_PREFIX) for entry in self.path.iterdir()):
                raise ValueError(f"{self.path} holds files but no checkpoint manifest: choose an empty directory")
            return
        try:
            stored = json.loads(manifest.read_text())
            plan = [_Chunk(*map(int, chunk)) for chunk in stored["chunks"]]
            fields = {key: stored[key] for key in header}
        except (OSError, ValueError, KeyError, TypeError) as error:
            raise ValueError(f"{manifest} is not a readable checkpoint manifest: {error}") from error
        if fields != header:
            what = ", ".join(f"{key} {stored[key]!r}" for key in header if stored[key] != header[key])
            raise ValueError(f"the checkpoint at {self.path} belongs to another computation ({what})")
        if not _valid_plan(plan, stages):
            raise ValueError(f"{manifest} lists chunks that do not cover the ranks")
        self.plan = plan
        # Left by a run killed while it wrote.
        for entry in self.path.glob(_TEMP_PREFIX + "*"):
            with contextlib.suppress(OSError):
                entry.unlink()

    def start(self, plan: list[_Chunk]) -> None:
        self.plan = plan
        manifest = dict(self.header, chunks=[list(chunk) for chunk in plan])
        _write_atomically(self.path, _MANIFEST, lambda handle: handle.write(json.dumps(manifest).encode()))

    @staticmethod
    def _name(index: int) -> str:
        return f"chunk-{index:06d}.npz"

    def load(self, index: int, chunk: _Chunk, shapes: Sequence[int]) -> tuple[np.ndarray, ...] | None:
        """The stored arrays of a chunk, or None when it is missing (or unreadable: computed again)."""
        path = self.path / self._name(index)
        if not path.exists():
            return None
        try:
            with np.load(path, allow_pickle=False) as stored:
                if [int(x) for x in stored["chunk"]] != list(chunk):
                    return None
                arrays = tuple(stored[f"arr_{i}"] for i in range(len(shapes)))
        except Exception:  # noqa: BLE001 - whatever is wrong with the file, the chunk is computed again
            return None
        if [a.shape for a in arrays] != [(size,) for size in shapes]:
            return None
        return arrays

    def save(self, index: int, chunk: _Chunk, arrays: tuple[np.ndarray, ...]) -> None:
        _write_atomically(
            self.path,
            self._name(index),
            lambda handle: np.savez(handle, *arrays, chunk=np.array(chunk, dtype=np.uint64)),
        )


# -- running -------------------------------------------------------------------------------------


def _as_function(f: BooleanFunction | vexil.Vexil) -> BooleanFunction:
    if isinstance(f, BooleanFunction):
        return f
    if isinstance(f, vexil.Vexil):
        return BooleanFunction.from_vexil(f)
    raise TypeError(f"expected a BooleanFunction or a vexil.Vexil, not {type(f).__name__}")


@contextlib.contextmanager
def _client_for(client: Any) -> Iterator[Any]:
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


def _chunk_key(measure: str, digest: str, index: int, chunk: _Chunk) -> str:
    # Names the function and the bounds, so that equal keys are equal work (Dask shares them).
    return f"vexil-{measure}-{digest[:16]}-{chunk.stage}-{chunk.begin}-{chunk.end}-chunk{index}"


# The chunk index in a task key made by this module (tests follow the tasks of a run by it).
_CHUNK_KEY = re.compile(r"^vexil-[a-z_]+-[0-9a-f]{16}-\d+-\d+-\d+-chunk(\d+)$")


def _shapes(measure: str, stage: _Stage, chunk: _Chunk) -> list[int]:
    if measure in ("entanglement", "entropy"):
        return [1]
    return [chunk.end - chunk.begin] * (2 if stage.kind == "pairs" else 1)


def _run(
    f: BooleanFunction | vexil.Vexil,
    measure: str,
    client: Any,
    chunks: int | None,
    checkpoint: str | os.PathLike[str] | None,
    progress: Progress,
    k: int = 0,
) -> Any:
    function = _as_function(f)
    if chunks is not None:
        chunks = operator.index(chunks)
        if chunks < 1:
            raise ValueError(f"chunks must be at least 1, got {chunks}")
    stages = _stages(function.n, measure, k)
    digest = _digest(function)
    store = None
    if checkpoint is not None:
        header = {"format": _FORMAT, "measure": measure, "k": k, "n": function.n, "sha256": digest}
        store = _Checkpoint(checkpoint, header, stages)
    plan = store.plan if store is not None else None
    if plan is not None and chunks is not None and _split(stages, chunks) != plan:
        raise ValueError(f"the checkpoint at {checkpoint} was made with {len(plan)} chunks: pass chunks=None to resume")
    combiner = _Combiner(measure, function.n, stages)
    done: set[int] = set()
    if plan is not None and store is not None:
        for index, chunk in enumerate(plan):
            arrays = store.load(index, chunk, _shapes(measure, stages[chunk.stage], chunk))
            if arrays is not None:
                combiner.add(chunk, arrays)
                done.add(index)
    if plan is None or len(done) < len(plan):
        with _client_for(client) as active, reporter(progress, f"{measure} (chunks)") as report:
            if plan is None:
                threads = sum(active.nthreads().values()) or 1
                if chunks is None:
                    chunks = _default_chunks(stages, function.n, threads)
                plan = _split(stages, chunks)
                if store is not None:
                    store.start(plan)
            _compute(active, function, measure, digest, stages, plan, done, combiner, store, report)
    return combiner.result()


def _compute(client, function, measure, digest, stages, plan, done, combiner, store, report) -> None:
    from dask.distributed import as_completed

    reduce = measure in ("entanglement", "entropy")
    if report is not None:
        report(len(done), len(plan))
    [shared] = client.scatter([function], broadcast=True, hash=False)
    futures = {}
    for index, chunk in enumerate(plan):
        if index in done:
            continue
        stage = stages[chunk.stage]
        future = client.submit(
            _chunk_task,
            shared,
            stage.kind,
            stage.k,
            chunk.begin,
            chunk.end,
            reduce,
            key=_chunk_key(measure, digest, index, chunk),
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


# -- the measures --------------------------------------------------------------------------------

_COMMON = """
    ``client``: a ``dask.distributed.Client``; None starts a ``LocalCluster`` of worker processes
    on this machine and closes it afterwards. ``chunks``: the number of tasks (default: 32 per
    worker thread, fewer when they would be shorter than some 2**29 table entries read). ``checkpoint``: a directory that keeps the finished chunks, so that the same
    call after a crash computes only the rest (ValueError for a directory of another function or
    measure). ``progress``: True for a tqdm bar over the chunks, or a callable taking
    ``(chunks done, chunks in all)``."""


def entanglement(
    f: BooleanFunction | vexil.Vexil,
    client: Any = None,
    chunks: int | None = None,
    checkpoint: str | os.PathLike[str] | None = None,
    progress: Progress = False,
) -> int:
    """``f.entanglement()`` on a cluster: the smallest restriction-count sum over the balanced cuts.

    The minimum of the chunks' minima; 2 for n = 0.
    {common}

    >>> from dask.distributed import Client
    >>> with Client(processes=False, n_workers=1, threads_per_worker=2, dashboard_address=None) as client:
    ...     entanglement(BooleanFunction.majority(3), client=client)
    5
    """
    return _run(f, "entanglement", client, chunks, checkpoint, progress)


def entropy(
    f: BooleanFunction | vexil.Vexil,
    client: Any = None,
    chunks: int | None = None,
    checkpoint: str | os.PathLike[str] | None = None,
    progress: Progress = False,
) -> float:
    """``f.entropy()`` on a cluster: the smallest restriction-entropy sum, in bits, over the
    balanced cuts.

    Each cut's sum is the single-precision one of the core; their minimum does not depend on the
    order, so any chunks give the same float. -0.0 for n = 0.
    {common}

    >>> from dask.distributed import Client
    >>> with Client(processes=False, n_workers=1, threads_per_worker=2, dashboard_address=None) as client:
    ...     entropy(BooleanFunction.majority(3), client=client, chunks=2)
    2.5
    """
    return _run(f, "entropy", client, chunks, checkpoint, progress)


def entanglement_sets(
    f: BooleanFunction | vexil.Vexil,
    client: Any = None,
    chunks: int | None = None,
    checkpoint: str | os.PathLike[str] | None = None,
    progress: Progress = False,
) -> list[EntanglementSet]:
    """``f.entanglement_sets()`` on a cluster: every balanced cut with its restriction-count sum.

    The same EntanglementSet records in the same order (the cuts' ranks); n = 0 gives the one
    cut ((), (), 2). The client holds all the values, one record per cut.
    {common}

    >>> from dask.distributed import Client
    >>> with Client(processes=False, n_workers=1, threads_per_worker=2, dashboard_address=None) as client:
    ...     [tuple(r) for r in entanglement_sets(BooleanFunction.majority(4), client=client)]
    [((0, 1), (2, 3), 6), ((0, 2), (1, 3), 6), ((0, 3), (1, 2), 6)]
    """
    return _run(f, "entanglement_sets", client, chunks, checkpoint, progress)


def entropy_sets(
    f: BooleanFunction | vexil.Vexil,
    client: Any = None,
    chunks: int | None = None,
    checkpoint: str | os.PathLike[str] | None = None,
    progress: Progress = False,
) -> list[EntropySets]:
    """``f.entropy_sets()`` on a cluster: every balanced cut with its restriction-entropy sum in bits.

    The same EntropySets records in the same order; n = 0 gives the one cut ((), (), -0.0).
    {common}

    >>> from dask.distributed import Client
    >>> with Client(processes=False, n_workers=1, threads_per_worker=2, dashboard_address=None) as client:
    ...     entropy_sets(BooleanFunction.majority(3), client=client)[0]
    EntropySets(set1=(0,), set2=(1, 2), entropy=2.5)
    """
    return _run(f, "entropy_sets", client, chunks, checkpoint, progress)


def fragmentation_k(
    f: BooleanFunction | vexil.Vexil,
    k: int,
    client: Any = None,
    chunks: int | None = None,
    checkpoint: str | os.PathLike[str] | None = None,
    progress: Progress = False,
) -> float:
    """``f.fragmentation_k(k)`` on a cluster: the mean restriction entropy over the k-subsets.

    The workers return each subset's single-precision entropy; the client adds them in
    lexicographic order of the subsets from -0.0, in single precision, one after the other, and
    divides by C(n, k), exactly as the core does. ``k = 0`` gives -0.0, ``k > n`` gives 0.0
    (without a cluster), a negative k raises ValueError.
    {common}

    >>> from dask.distributed import Client
    >>> with Client(processes=False, n_workers=1, threads_per_worker=2, dashboard_address=None) as client:
    ...     fragmentation_k(BooleanFunction.dictator(2, 0), 1, client=client)   # (1.0 + 0.0) / 2
    0.5
    """
    k = operator.index(k)
    if k < 0:
        raise ValueError(f"k must be non-negative, got {k}")
    if k > _as_function(f).n:
        return 0.0
    return _run(f, "fragmentation_k", client, chunks, checkpoint, progress, k=k)


def fragmentation_spectrum(
    f: BooleanFunction | vexil.Vexil,
    client: Any = None,
    chunks: int | None = None,
    checkpoint: str | os.PathLike[str] | None = None,
    progress: Progress = False,
) -> list[float]:
    """``f.fragmentation_spectrum()`` on a cluster: ``fragmentation_k(k)`` for k = 0..n.

    One walk per k <= n/2 measures the k-subsets and their complements, as the core does; all
    2**n subsets in all. n = 0 gives [-0.0].
    {common}

    >>> from dask.distributed import Client
    >>> with Client(processes=False, n_workers=1, threads_per_worker=2, dashboard_address=None) as client:
    ...     fragmentation_spectrum(BooleanFunction.majority(3), client=client)
    [-0.0, 1.0, 1.5, 1.0]
    """
    return _run(f, "fragmentation_spectrum", client, chunks, checkpoint, progress)


for _measure in (entanglement, entropy, entanglement_sets, entropy_sets, fragmentation_k, fragmentation_spectrum):
    _measure.__doc__ = (_measure.__doc__ or "").replace("{common}", _COMMON.strip())
