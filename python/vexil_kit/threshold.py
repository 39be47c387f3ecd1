"""Linear threshold functions: integer weights w and a threshold t with f(x) = [w.x >= t], found by a linear
program and checked on every input in integers."""

from __future__ import annotations

import math
from typing import Any

import numpy as np
import numpy.typing as npt

from . import registry
from ._arguments import Table
from .poly_degrees import Undecided, solve_lp

#: The most variables ``threshold_weights`` takes.
MAX_THRESHOLD_VARS = 12


def threshold_weights(table: Table, time_limit: float | None = None) -> tuple[tuple[int, ...], int] | None:
    """Integer weights w and threshold t with f(x) = [sum_i w_i x_i >= t] on every input (x_i bit i of
    x), or None when f is no threshold function; n <= 12.

    The LP finds real w, theta with w.x - theta >= 1 where f is true and <= -1 where it is false,
    least in sum |w_i|; s * w rounded (s = 1, 2, ..., n + 1; at s > (n + 1) / 2 rounding cannot break
    the margin) and divided by the gcd of the weights is checked on all 2**n inputs in integers,
    the threshold being the least w.x where f is true."""
    arr = np.asarray(table, dtype=np.bool_)
    n = len(arr).bit_length() - 1
    if n > MAX_THRESHOLD_VARS:
        raise ValueError(f"is_threshold: functions of at most {MAX_THRESHOLD_VARS} variables; this one has {n}")
    x = np.arange(1 << n, dtype=np.int64)
    bits = ((x[:, None] >> np.arange(n)) & 1).astype(np.float64)
    # Columns: w (n), theta, u (n) with u_i >= |w_i|.
    inf = np.inf
    rows = [np.hstack([bits, -np.ones((1 << n, 1)), np.zeros((1 << n, n))])]
    row_lower = [np.where(arr, 1.0, -inf)]
    row_upper = [np.where(arr, inf, -1.0)]
    eye = np.eye(n)
    rows += [np.hstack([eye, np.zeros((n, 1)), eye]), np.hstack([-eye, np.zeros((n, 1)), eye])]
    row_lower += [np.zeros(n), np.zeros(n)]
    row_upper += [np.full(n, inf), np.full(n, inf)]
    cost = np.concatenate([np.zeros(n + 1), np.ones(n)])
    bounds = (np.full(2 * n + 1, -inf), np.full(2 * n + 1, inf))
    status, values, _ = solve_lp(
        cost, bounds, np.vstack(rows), (np.concatenate(row_lower), np.concatenate(row_upper)), time_limit
    )
    if status == "infeasible":
        return None
    weights = values[:n]
    for scale in range(1, n + 2):
        w = np.rint(weights * scale).astype(np.int64)
        g = math.gcd(*(int(v) for v in w)) if n else 0
        if g > 1:
            w //= g
        witness = _integer_witness(arr, bits.astype(np.int64), w)
        if witness is not None:
            return witness
    raise Undecided("threshold_weights: the LP's weights did not round to a witness")


def _integer_witness(
    arr: npt.NDArray[np.bool_], bits: npt.NDArray[np.int64], w: npt.NDArray[np.int64]
) -> tuple[tuple[int, ...], int] | None:
    sums = bits @ w
    true_sums, false_sums = sums[arr], sums[~arr]
    t = int(true_sums.min()) if true_sums.size else int(false_sums.max()) + 1
    if false_sums.size and int(false_sums.max()) >= t:
        return None
    return tuple(int(v) for v in w), t


@registry.implements("is_threshold")
def _is_threshold(table: Table, report: Any) -> bool:
    return threshold_weights(table) is not None
