"""HiGHS (through highspy) for the linear and integer programs of the toolkit: one way to make a
solver and one way to run it so that Ctrl-C stops it; the linear programs of the polynomial degrees."""

from __future__ import annotations

import ctypes
import os
import signal
import sys
import threading
from typing import Any

import numpy as np
import numpy.typing as npt

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


# -- the linear programs of the polynomial degrees and of the threshold test ----------------------


def solve_lp(
    cost: npt.NDArray[np.float64],
    col_bounds: tuple[npt.NDArray[np.float64], npt.NDArray[np.float64]],
    matrix: npt.NDArray[np.float64],
    row_bounds: tuple[npt.NDArray[np.float64], npt.NDArray[np.float64]],
    time_limit: float | None = None,
) -> tuple[str, npt.NDArray[np.float64], npt.NDArray[np.float64]]:
    """Minimise cost @ v subject to the bounds on v and on matrix @ v (a dense matrix) with HiGHS:
    Ctrl-C stops the solve and raises KeyboardInterrupt within a second (``_highs.run_interruptibly``),
    and a run past ``time_limit`` seconds raises TimeoutError. Returns ("optimal" or "infeasible", the
    column values, the row duals)."""
    highspy = module()
    h = new_solver()
    rows, cols = matrix.shape
    nonzero = matrix != 0
    starts = np.zeros(cols + 1, dtype=np.int32)
    starts[1:] = np.cumsum(nonzero.sum(axis=0))
    index = np.nonzero(nonzero.T)
    lp = highspy.HighsLp()
    lp.num_col_ = cols
    lp.num_row_ = rows
    lp.col_cost_ = np.ascontiguousarray(cost, dtype=np.float64)
    lp.col_lower_ = np.ascontiguousarray(col_bounds[0], dtype=np.float64)
    lp.col_upper_ = np.ascontiguousarray(col_bounds[1], dtype=np.float64)
    lp.row_lower_ = np.ascontiguousarray(row_bounds[0], dtype=np.float64)
    lp.row_upper_ = np.ascontiguousarray(row_bounds[1], dtype=np.float64)
    lp.a_matrix_.format_ = highspy.MatrixFormat.kColwise
    lp.a_matrix_.start_ = starts
    lp.a_matrix_.index_ = index[1].astype(np.int32)
    lp.a_matrix_.value_ = np.ascontiguousarray(matrix.T[nonzero.T], dtype=np.float64)
    h.passModel(lp)
    if time_limit is not None:
        h.setOptionValue("time_limit", float(time_limit))
    run_interruptibly(h)
    status = h.getModelStatus()
    # Both programs here are bounded below (by 0), so "unbounded or infeasible" is infeasible.
    if status in (highspy.HighsModelStatus.kInfeasible, highspy.HighsModelStatus.kUnboundedOrInfeasible):
        return "infeasible", np.zeros(cols), np.zeros(rows)
    if status == highspy.HighsModelStatus.kTimeLimit:
        raise TimeoutError(f"the linear program ran past the {time_limit:.3g} s left of its time limit")
    if status != highspy.HighsModelStatus.kOptimal:
        raise ArithmeticError(f"HiGHS ended with {h.modelStatusToString(status)}")
    solution = h.getSolution()
    return "optimal", np.array(solution.col_value), np.array(solution.row_dual)


def _least_last(
    columns: int,
) -> tuple[npt.NDArray[np.float64], tuple[npt.NDArray[np.float64], npt.NDArray[np.float64]]]:
    """The cost and bounds of a program that minimises its last column, t >= 0, the others free."""
    cost = np.zeros(columns)
    cost[-1] = 1.0
    lower = np.full(columns, -np.inf)
    lower[-1] = 0.0
    return cost, (lower, np.full(columns, np.inf))


def _unit_dual(psi: npt.NDArray[np.float64], signs: npt.NDArray[np.float64]) -> npt.NDArray[np.float64]:
    """The dual signed so that psi . signs >= 0 and scaled to l1 norm 1 (left zero when it is zero)."""
    if psi @ signs < 0:
        psi = -psi
    total = np.abs(psi).sum()
    return psi / total if total > 0 else psi


def minimax(
    basis: npt.NDArray[np.float64], signs: npt.NDArray[np.float64], time_limit: float | None
) -> tuple[float, npt.NDArray[np.float64], npt.NDArray[np.float64]]:
    """min over a of max_x |basis[x] @ a - signs[x]|: the error, a, and the dual psi (l1 norm 1,
    orthogonal to the basis, sum psi * signs = the error)."""
    points, width = basis.shape
    ones = np.ones((points, 1))
    matrix = np.vstack([np.hstack([basis, -ones]), np.hstack([basis, ones])])
    inf = np.inf
    cost, bounds = _least_last(width + 1)
    row_lower = np.concatenate([np.full(points, -inf), signs])
    row_upper = np.concatenate([signs, np.full(points, inf)])
    _, values, duals = solve_lp(cost, bounds, matrix, (row_lower, row_upper), time_limit)
    return float(values[-1]), values[:-1], _unit_dual(duals[:points] + duals[points:], signs)


def minimax_by_complement(
    basis: npt.NDArray[np.float64],
    high: npt.NDArray[np.float64],
    signs: npt.NDArray[np.float64],
    time_limit: float | None,
) -> tuple[float, npt.NDArray[np.float64], npt.NDArray[np.float64]]:
    """``minimax`` over the characters (``basis``) written through the others (``high``, the characters
    of higher degree, which span the rest): p = F + e lies in the span of ``basis`` exactly when
    high.T @ e = -high.T @ F, and |e(x)| <= t are two rows of two entries each. Where ``basis`` has
    most of the characters, the program is that much sparser (a tenth of the entries at n = 10,
    degree 7). The coefficients of p are its Walsh coefficients; the duals of the rows |e(x)| <= t
    are psi, orthogonal to ``basis`` (the columns e are free, so psi is in the span of ``high``)."""
    points, rest = high.shape
    eye = np.eye(points)
    column = np.ones((points, 1))
    matrix = np.vstack([np.hstack([high.T, np.zeros((rest, 1))]), np.hstack([eye, -column]), np.hstack([eye, column])])
    inf = np.inf
    cost, bounds = _least_last(points + 1)
    target = -high.T @ signs
    row_lower = np.concatenate([target, np.full(points, -inf), np.zeros(points)])
    row_upper = np.concatenate([target, np.zeros(points), np.full(points, inf)])
    _, values, duals = solve_lp(cost, bounds, matrix, (row_lower, row_upper), time_limit)
    psi = _unit_dual(duals[rest : rest + points] + duals[rest + points :], signs)
    coefficients = basis.T @ (values[:points] + signs) / points
    return float(values[-1]), coefficients, psi
