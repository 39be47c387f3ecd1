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

The parts: ``plan`` (the walks of a measure cut into chunks), ``tasks`` (the tasks on the cluster),
``combine`` (the chunks put together as the core puts the cuts together) and ``checkpoint``.

>>> from dask.distributed import Client
>>> from vexil_kit import BooleanFunction, cluster
>>> f = BooleanFunction.majority(5)
>>> with Client(processes=False, n_workers=1, threads_per_worker=2, dashboard_address=None) as client:
...     cluster.entropy(f, client=client) == f.entropy()
True
"""

from __future__ import annotations

import os
from typing import Any

import vexil

from .. import _arguments
from ..function import BooleanFunction
from ..measures import EntanglementSet, EntropySets
from ..progress import Progress
from .tasks import as_function, run

__all__ = [
    "entanglement",
    "entropy",
    "entanglement_sets",
    "entropy_sets",
    "fragmentation_k",
    "fragmentation_spectrum",
]

_COMMON = """
    ``client``: a ``dask.distributed.Client``; None starts a ``LocalCluster`` of worker processes
    on this machine and closes it afterwards. ``chunks``: the number of tasks (default: 32 per
    worker thread, fewer when they would be shorter than some 2**29 table entries read).
    ``checkpoint``: a directory that keeps the finished chunks, so that the same call after a crash
    computes only the rest (ValueError for a directory of another function or measure).
    ``progress``: True for a tqdm bar over the chunks, or a callable taking ``(chunks done, chunks in
    all)``."""


#: What to install when Dask is missing: by name, so that the installed vexil is kept as it is.
MISSING_DASK = "vexil_kit.cluster needs Dask: pip install 'dask[distributed]'"


def _run(f: BooleanFunction | vexil.Vexil, measure: str, *arguments: Any, **keywords: Any) -> Any:
    """``tasks.run`` once Dask is known to be there; ImportError naming what to install otherwise."""
    try:
        import dask.distributed  # noqa: F401
    except ImportError as error:
        raise ImportError(f"{MISSING_DASK} ({error})") from None
    return run(f, measure, *arguments, **keywords)


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
    >>> from vexil_kit import BooleanFunction
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
    >>> from vexil_kit import BooleanFunction
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
    >>> from vexil_kit import BooleanFunction
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
    >>> from vexil_kit import BooleanFunction
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
    >>> from vexil_kit import BooleanFunction
    >>> with Client(processes=False, n_workers=1, threads_per_worker=2, dashboard_address=None) as client:
    ...     fragmentation_k(BooleanFunction.dictator(2, 0), 1, client=client)   # (1.0 + 0.0) / 2
    0.5
    """
    k = _arguments.count(k, "k")
    if k > as_function(f).n:
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
    >>> from vexil_kit import BooleanFunction
    >>> with Client(processes=False, n_workers=1, threads_per_worker=2, dashboard_address=None) as client:
    ...     fragmentation_spectrum(BooleanFunction.majority(3), client=client)
    [-0.0, 1.0, 1.5, 1.0]
    """
    return _run(f, "fragmentation_spectrum", client, chunks, checkpoint, progress)


for _measure in (entanglement, entropy, entanglement_sets, entropy_sets, fragmentation_k, fragmentation_spectrum):
    _measure.__doc__ = (_measure.__doc__ or "").replace("{common}", _COMMON.strip())
