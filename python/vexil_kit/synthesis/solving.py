"""One SAT call on CaDiCaL (python-sat) that stops at a deadline, on Ctrl-C and on a Cancel token.

python-sat runs CaDiCaL holding the interpreter lock and offers no interrupt for it, so the call is
made in slices of a conflict budget (CaDiCaL keeps what it learnt from one slice to the next):
between slices the deadline is checked, ``poll`` runs, and a Ctrl-C raises KeyboardInterrupt.
The budget is sized so that a slice takes about a tenth of a second.

On the main thread python-sat answers SIGINT by a longjmp out of CaDiCaL, wherever it is: inside
malloc (whose lock then stays held, and the next allocation hangs) or halfway through a change to
the solver (whose deletion then frees memory wrongly). So a slice asked from the main thread runs on
a helper thread, where python-sat installs no handler: Python's own handler notes the signal, and
the main thread raises KeyboardInterrupt once the slice has returned.
"""

from __future__ import annotations

import threading
import time
from collections.abc import Callable

from pysat.solvers import Solver  # type: ignore[import-untyped]

#: The CaDiCaL of python-sat with conflict budgets.
SOLVER = "cadical195"

_SLICE = 0.1


def solve(
    clauses: list[list[int]], deadline: float | None, poll: Callable[[], object] | None = None
) -> tuple[bool | None, list[int]]:
    """(True and a model, False, or None when stopped at ``deadline``, a ``time.monotonic`` value).

    ``poll`` is called between slices; an exception it raises (Cancelled) ends the call.
    """
    if deadline is not None and time.monotonic() >= deadline:
        return None, []
    with Solver(name=SOLVER, bootstrap_with=clauses) as solver:
        budget = 2000
        while True:
            solver.conf_budget(budget)
            began = time.monotonic()
            result = _slice(solver)
            now = time.monotonic()
            if result is not None:
                return result, list(solver.get_model() or []) if result else []
            spent = now - began
            # Aim the next slice at _SLICE seconds, changing the budget by at most 4x at once.
            budget = max(100, min(4 * budget, int(budget * _SLICE / max(spent, 1e-3))))
            if deadline is not None and now >= deadline:
                return None, []
            if poll is not None:
                poll()


def _slice(solver: Solver) -> bool | None:
    """One solve within the budget set, off the main thread (see the module's docstring)."""
    if threading.current_thread() is not threading.main_thread():
        return solver.solve_limited()
    outcome: list = []

    def run() -> None:
        try:
            outcome.append(solver.solve_limited())
        except BaseException as error:  # handed to the caller below
            outcome.append(error)

    helper = threading.Thread(target=run, name="vexil-sat-slice", daemon=True)
    try:
        helper.start()
    except RuntimeError:
        # No thread to be had: solve here, where a Ctrl-C comes back as python-sat's own error.
        return _on_this_thread(solver)
    try:
        helper.join()
    except BaseException:
        # A Ctrl-C while the slice runs: the solver is deleted only once the slice is over, and
        # the slice ends within its budget.
        while helper.is_alive():
            try:
                helper.join()
            except KeyboardInterrupt:
                pass
        raise
    if isinstance(outcome[0], BaseException):
        raise outcome[0]
    return outcome[0]


def _on_this_thread(solver: Solver) -> bool | None:
    try:
        return solver.solve_limited()
    except Exception as error:
        if "keyboard interrupt" in str(error).lower():
            raise KeyboardInterrupt from None
        raise
