"""Progress of long native computations: a tqdm bar, or any callable, fed by the core's counter.

The core counts its work in units of its own (one balanced cut, one subset of variables, one
block of inputs) and, while a computation runs, hands ``(done, total)`` to the reporter about ten
times a second, on the thread that started it, and once more at the end. ``total`` may still grow
while the first loops of a computation start; it is fixed once the work is planned.
"""

from __future__ import annotations

import contextlib
import shutil
import sys
import threading
from collections.abc import Callable, Iterator
from types import TracebackType
from typing import TextIO

#: What a ``progress`` argument may be: False or None (no reports), True (a tqdm bar on standard
#: error), or a callable taking ``(done, total)``.
Progress = bool | None | Callable[[int, int], object]


class Cancelled(Exception):
    """Raised by a computation stopped through its ``Cancel`` token."""


class Cancel:
    """A token that stops the long computations of another thread, where Ctrl-C cannot reach.

    Every measure that takes ``progress=`` and runs inside ``with token:`` on some thread polls the
    token from its native loop about ten times a second; ``token.cancel()``, from any thread, makes
    it raise ``Cancelled`` within a fraction of a second, leaving the function and the process as
    they were. A token once cancelled stays so: calls made inside it afterwards raise at once.
    Quick linear-time calls (``walsh_spectrum``, ``weight``, ...) do not poll.

    >>> import concurrent.futures
    >>> from vexil_kit import BooleanFunction
    >>> token = Cancel()
    >>> def work():
    ...     with token:
    ...         return BooleanFunction.majority(5).entanglement()
    >>> with concurrent.futures.ThreadPoolExecutor() as pool:
    ...     pool.submit(work).result()
    7
    >>> token.cancel()
    >>> with concurrent.futures.ThreadPoolExecutor() as pool:
    ...     pool.submit(work).exception().__class__.__name__
    'Cancelled'
    """

    def __init__(self) -> None:
        self._event = threading.Event()

    def cancel(self) -> None:
        """Stops the computations running inside the token, now and later."""
        self._event.set()

    @property
    def cancelled(self) -> bool:
        """Whether ``cancel()`` was called."""
        return self._event.is_set()

    def check(self) -> None:
        """Raises Cancelled when the token was cancelled."""
        if self._event.is_set():
            raise Cancelled("the computation was cancelled through its Cancel token")

    def __enter__(self) -> Cancel:
        _active.__dict__.setdefault("tokens", []).append(self)
        return self

    def __exit__(
        self, kind: type[BaseException] | None, error: BaseException | None, trace: TracebackType | None
    ) -> None:
        _active.tokens.remove(self)


_active = threading.local()


def watching(report: Callable[[int, int], object] | None) -> Callable[[int, int], object] | None:
    """``report`` wrapped to raise Cancelled once a token active on this thread is cancelled."""
    tokens = list(getattr(_active, "tokens", ()))
    if not tokens:
        return report
    for token in tokens:
        token.check()

    def watched(done: int, total: int) -> object:
        for token in tokens:
            token.check()
        return None if report is None else report(done, total)

    return watched


@contextlib.contextmanager
def reporter(progress: Progress, description: str) -> Iterator[Callable[[int, int], object] | None]:
    """The callable the native call reports to for ``progress``, closing a bar it opened at the end.

    A callable is passed through; True opens a tqdm bar named ``description``, which shows the
    final counts before it closes. Inside ``with token:`` of a ``Cancel`` the callable also
    watches the token, which the native loop polls on any thread.
    """
    with _reporter(progress, description) as report:
        yield watching(report)


@contextlib.contextmanager
def _reporter(progress: Progress, description: str) -> Iterator[Callable[[int, int], object] | None]:
    if progress is None or progress is False:
        yield None
        return
    if progress is not True:
        if not callable(progress):
            raise TypeError(
                f"progress must be a bool or a callable taking (done, total), not {type(progress).__name__}"
            )
        yield progress
        return
    with bar(description) as update:
        yield update


@contextlib.contextmanager
def bar(
    description: str, stream: TextIO | None = None, delay: float = 0.0, widget: bool = True
) -> Iterator[Callable[[int, int], None]]:
    """A tqdm bar for (done, total) reports on ``stream`` (standard error by default), shown after
    ``delay`` seconds and cleared at the end; a notebook widget where one can be shown unless
    ``widget`` is False.

    Without a delay the bar shows the final counts before it closes, however short the computation.
    """
    if widget:
        from tqdm.auto import tqdm  # type: ignore[import-untyped]
    else:
        from tqdm import tqdm  # type: ignore[import-untyped]

    # A terminal that reports no size (a bare pseudo-terminal) is taken as 80 by 24: tqdm would
    # otherwise hide the bar, as if it were below the last row.
    size = shutil.get_terminal_size((80, 24))
    shown = tqdm(
        desc=description,
        total=None,
        unit="step",
        unit_scale=True,
        file=stream or sys.stderr,
        leave=False,
        delay=delay,
        ncols=size.columns,
        nrows=size.lines,
    )

    def update(done: int, total: int) -> None:
        if total and shown.total != total:
            shown.total = total
        shown.update(done - shown.n)

    try:
        yield update
        if not delay:
            shown.refresh()
    finally:
        shown.close()
