"""One SAT call on CaDiCaL (python-sat) that stops at a deadline, on Ctrl-C and on a Cancel token.

python-sat runs CaDiCaL holding the interpreter lock and offers no interrupt for it, so the call is
made in slices of a conflict budget (CaDiCaL keeps what it learnt from one slice to the next),
sized so that a slice takes about a tenth of a second; between slices the deadline is checked.

On the main thread python-sat answers SIGINT by a longjmp out of CaDiCaL, wherever it is: inside
malloc (whose lock then stays held, and the next allocation hangs) or halfway through a change to
the solver (whose deletion then frees memory wrongly). So a call from the main thread hands the
whole solver, from its making to its deletion, to a thread of its own, where python-sat installs no
handler. The caller waits, running ``poll``, and a Ctrl-C raises KeyboardInterrupt there at once;
the solving thread is told to stop and ends after the slice under way. The solver is only ever
touched by its own thread, so no Ctrl-C can delete it under a running slice.

The thread is a bare ``_thread`` one and the caller waits on a bare lock: ``threading``'s Event and
Condition run Python code around their lock, and a KeyboardInterrupt raised there leaves the
Condition's lock released twice ("release unlocked lock"), as does one inside ``Thread.start``.
"""

from __future__ import annotations

import _thread
import threading
import time
from collections.abc import Callable

from pysat.solvers import Solver  # type: ignore[import-untyped]

#: The CaDiCaL of python-sat with conflict budgets.
SOLVER = "cadical195"

_SLICE = 0.1
#: Clauses handed to the solver at once (some tens of milliseconds).
_CHUNK = 50_000

Answer = tuple[bool | None, list[int]]


def solve(clauses: list[list[int]], deadline: float | None, poll: Callable[[], object] | None = None) -> Answer:
    """(True and a model, False, or None when stopped at ``deadline``, a ``time.monotonic`` value).

    ``poll`` is called about every tenth of a second; an exception it raises (Cancelled) ends the call.
    """
    if deadline is not None and time.monotonic() >= deadline:
        return None, []
    if threading.current_thread() is threading.main_thread():
        solving = _SolvingThread(clauses, deadline)
        try:
            if solving.started():
                while not solving.finished.acquire(timeout=_SLICE):
                    if poll is not None:
                        poll()
                return solving.answer()
        finally:
            solving.stopped = True
    # Off the main thread, or with no thread to be had: solved here, where on the main thread a
    # Ctrl-C comes back as python-sat's own error.
    return _in_slices(clauses, deadline, _polling(poll))


class _SolvingThread:
    def __init__(self, clauses: list[list[int]], deadline: float | None) -> None:
        self.clauses = clauses
        self.deadline = deadline
        self.stopped = False  # set by the caller: end after the slice under way
        self.outcome: Answer | BaseException | None = None
        self.finished = _thread.allocate_lock()  # held until the outcome is in
        self.finished.acquire()

    def started(self) -> bool:
        try:
            _thread.start_new_thread(self.run, ())
        except RuntimeError:  # the system refused a thread
            return False
        return True

    def answer(self) -> Answer:
        if isinstance(self.outcome, BaseException):
            raise self.outcome
        assert self.outcome is not None
        return self.outcome

    def run(self) -> None:
        try:
            self.outcome = _in_slices(self.clauses, self.deadline, lambda: self.stopped)
        except BaseException as error:  # raised again on the caller's thread
            self.outcome = error
        finally:
            self.finished.release()


def _polling(poll: Callable[[], object] | None) -> Callable[[], bool]:
    def between() -> bool:
        if poll is not None:
            poll()
        return False

    return between


def _in_slices(clauses: list[list[int]], deadline: float | None, stop: Callable[[], bool]) -> Answer:
    """The solve itself; ``stop`` is asked between slices (True: give up, answering None)."""
    with Solver(name=SOLVER) as solver:
        # The clauses go in by chunks, the deadline and ``stop`` asked between them: a large
        # formula takes seconds to hand over.
        for first in range(0, len(clauses), _CHUNK):
            if (deadline is not None and time.monotonic() >= deadline) or stop():
                return None, []
            solver.append_formula(clauses[first : first + _CHUNK])
        # Small at first: a slice holds the interpreter lock, so its length is how late a deadline
        # or a Ctrl-C can be answered, and a large formula's first conflicts are slow.
        budget = 200
        while True:
            solver.conf_budget(budget)
            began = time.monotonic()
            try:
                result = solver.solve_limited()
            except Exception as error:
                # python-sat turns a Ctrl-C in the main thread into its own error.
                if "keyboard interrupt" in str(error).lower():
                    raise KeyboardInterrupt from None
                raise
            now = time.monotonic()
            if result is not None:
                return result, list(solver.get_model() or []) if result else []
            spent = now - began
            # Aim the next slice at _SLICE seconds, changing the budget by at most 4x at once.
            budget = max(100, min(4 * budget, int(budget * _SLICE / max(spent, 1e-3))))
            if (deadline is not None and now >= deadline) or stop():
                return None, []
