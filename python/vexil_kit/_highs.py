"""HiGHS (through highspy) for the linear and integer programs of the toolkit: one way to make a
solver and one way to run it so that Ctrl-C stops it."""

from __future__ import annotations

import ctypes
import os
import signal
import sys
import threading
from typing import Any

_first_made = threading.Lock()
_made = False


def module() -> Any:
    """The highspy module (a dependency of the package)."""
    try:
        import highspy
    except ImportError as error:  # pragma: no cover - a declared dependency
        raise ImportError("this needs highspy (pip install highspy)") from error
    return highspy


def new_solver() -> Any:
    """A new highspy.Highs, quiet. HiGHS prints its banner on standard output when the first solver of
    a process is made; that one is made with the descriptor pointed away, so that a report's output
    (JSON lines on standard output) stays clean."""
    highspy = module()
    global _made
    with _first_made:
        if _made:
            h = highspy.Highs()
        else:
            _made = True
            h = _made_silently(highspy)
    h.setOptionValue("output_flag", False)
    h.setOptionValue("threads", 1)
    return h


def _refused_for_threads(h: Any, status: Any) -> bool:
    """Whether a solve was refused before it began because HiGHS's process-wide scheduler already runs
    with another thread count (another library's solve made it first): an error with no model status."""
    highspy = module()
    return bool(
        status == highspy.HighsStatus.kError
        and h.getModelStatus() == highspy.HighsModelStatus.kNotset
        and h.getOptionValue("threads") != 0
    )


def _made_silently(highspy: Any) -> Any:
    libc = ctypes.CDLL(None)
    if sys.stdout is not None:
        sys.stdout.flush()
    libc.fflush(None)
    try:
        saved = os.dup(1)
    except OSError:  # no standard output to keep clean
        return highspy.Highs()
    null = os.open(os.devnull, os.O_WRONLY)
    try:
        os.dup2(null, 1)
        return highspy.Highs()
    finally:
        libc.fflush(None)
        os.dup2(saved, 1)
        os.close(saved)
        os.close(null)


def run_interruptibly(h: Any) -> None:
    """Run h's solve on this thread with an interrupt callback: on the main thread, Ctrl-C meanwhile
    only sets a flag (the handler runs when HiGHS calls back into Python, every few iterations), the
    callback then stops the solve and KeyboardInterrupt is raised once HiGHS has returned. Not a
    solver thread: one cut off by the process's exit after a Ctrl-C aborts the process."""
    stop = threading.Event()

    def poll(event: Any) -> None:
        if stop.is_set():
            event.interrupt()

    previous = None
    # Only in place of Python's own handler: another one keeps its say (it runs in the callback).
    if (
        threading.current_thread() is threading.main_thread()
        and signal.getsignal(signal.SIGINT) is signal.default_int_handler
    ):
        previous = signal.signal(signal.SIGINT, lambda number, frame: stop.set())
    callbacks = (h.cbSimplexInterrupt, h.cbIpmInterrupt, h.cbMipInterrupt)
    for callback in callbacks:
        callback.subscribe(poll)
    try:
        status = h.run()
        if _refused_for_threads(h, status) and not stop.is_set():
            # One thread is asked for where the process is free to choose; where another solve has
            # already fixed the count, the solve runs with that count rather than not at all.
            h.setOptionValue("threads", 0)
            h.run()
    finally:
        for callback in callbacks:
            callback.unsubscribe(poll)
        if previous is not None:
            signal.signal(signal.SIGINT, previous)
    if stop.is_set():
        raise KeyboardInterrupt
