"""One SAT call on CaDiCaL (python-sat) that stops at a deadline, on Ctrl-C and on a Cancel token.

python-sat runs CaDiCaL holding the interpreter lock and offers no interrupt for it, so the call is
made in slices of a conflict budget (CaDiCaL keeps what it learnt from one slice to the next):
between slices the deadline is checked, ``poll`` runs, and a Ctrl-C raises KeyboardInterrupt.
The budget is sized so that a slice takes about a tenth of a second.
"""

from __future__ import annotations

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
            if deadline is not None and now >= deadline:
                return None, []
            if poll is not None:
                poll()
