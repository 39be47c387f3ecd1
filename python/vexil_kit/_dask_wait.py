"""Waiting on Dask futures without waiting forever for a cluster that has lost its workers.

A task submitted to a scheduler with no workers stays pending: Dask neither runs nor fails it, so a
sweep or a cluster measure whose workers were all killed (a batch job ended, a node rebooted) would
wait forever. The waits here poll the futures, and raise ``WorkersLostError`` once the cluster has
had no worker for ``distributed.scheduler.no-workers-timeout`` (Dask's own setting, when set) or,
left unset, for 60 s after it had workers during this wait. With the setting unset, a cluster that
has not yet had a worker is waited for (a batch queue may take hours to start one); Ctrl-C still
stops the wait.
"""

from __future__ import annotations

import queue
import time
from collections.abc import Iterable, Iterator
from concurrent.futures import CancelledError
from typing import Any

__all__ = ["WorkersLostError", "finished"]

#: Seconds between two looks at the cluster while nothing finishes.
POLL = 0.5
#: Seconds without a worker, after having had some, that end a wait when Dask's setting is unset.
DEFAULT_TIMEOUT = 60.0


class WorkersLostError(RuntimeError):
    """The cluster has had no worker for longer than the timeout while tasks were pending."""


class _Watch:
    """How long the cluster has had no worker, and whether that is long enough to give up."""

    def __init__(self, client: Any) -> None:
        import dask.config
        from dask.utils import parse_timedelta

        self.client = client
        configured = dask.config.get("distributed.scheduler.no-workers-timeout", None)
        self.configured = configured is not None
        self.limit = float(parse_timedelta(configured, "s")) if self.configured else DEFAULT_TIMEOUT
        self.had_workers = bool(client.nthreads())
        self.empty_since: float | None = None

    def check(self, pending: int) -> None:
        if self.client.nthreads():
            self.had_workers = True
            self.empty_since = None
            return
        now = time.monotonic()
        if self.empty_since is None:
            self.empty_since = now
        if (self.configured or self.had_workers) and now - self.empty_since >= self.limit:
            raise WorkersLostError(
                f"the cluster has had no worker for {self.limit:g} s with {pending} tasks pending; "
                "start workers and run the call again"
            )


def finished(client: Any, futures: Iterable[Any], *, with_results: bool = False) -> Iterator[Any]:
    """The futures as they finish (with their results when ``with_results``), like
    ``dask.distributed.as_completed``, raising ``WorkersLostError`` when the cluster loses its workers."""
    ready: queue.SimpleQueue[Any] = queue.SimpleQueue()
    pending = set(futures)
    for future in pending:
        # Called on a thread of Dask's when the future ends (at once when it already has).
        future.add_done_callback(ready.put)
    watch = _Watch(client)
    while pending:
        try:
            future = ready.get(timeout=POLL)
        except queue.Empty:
            watch.check(len(pending))
            continue
        if future not in pending:  # a future given twice is reported once
            continue
        pending.discard(future)
        if not with_results:
            yield future
            continue
        try:
            value = future.result()
        except CancelledError as error:
            # A result held only by a worker that left meanwhile is forgotten, not recomputed.
            if client.nthreads():
                raise
            raise WorkersLostError(
                f"the cluster lost its workers with {len(pending) + 1} tasks unfinished; "
                "start workers and run the call again"
            ) from error
        yield future, value
