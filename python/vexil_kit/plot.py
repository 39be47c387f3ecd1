"""Figures of Boolean functions and of sweeps, as matplotlib figures: the fragmentation spectrum, the
restriction table, a scatter of two columns of a sweep, the Walsh spectrum and the influences.

Each function returns a ``matplotlib.figure.Figure`` made without pyplot (no window, no global figure
to close), sized for one column of a paper (3.5 inches) with fonts that stay readable there; save it
with ``figure.savefig(path)``. ``vexil plot`` draws its figures with these functions. matplotlib is
imported on the first call; without it the call raises ImportError naming the ``plot`` extra.

>>> figure = influences(BooleanFunction.majority(3))  # doctest: +SKIP
>>> figure.savefig("majority.png")  # doctest: +SKIP
"""

from __future__ import annotations

import contextlib
import os
from collections.abc import Callable, Iterable, Iterator
from typing import TYPE_CHECKING, Any

import numpy as np
import numpy.typing as npt

if TYPE_CHECKING:
    from .function import BooleanFunction

#: Width of one column of a two-column paper, in inches.
COLUMN_WIDTH = 3.5
#: Rows or columns up to this many are labelled one by one, by their assignments.
LABELLED = 16
#: Above this many points a scatter becomes a hexagonal-bin density plot.
SCATTER_POINTS = 10_000
#: Hexagons across the plot for continuous values.
HEXAGONS = 40
#: Integer columns spanning at most this many values get one row (column) of hexagons per value.
DISCRETE_SPAN = 60
#: Up to this many variables the Walsh spectrum chart has one bar per u; beyond, one per value.
WALSH_BARS_VARS = 8
#: The style every figure is drawn and saved in.
STYLE = {"font.size": 8, "axes.titlesize": 8, "legend.fontsize": 7, "savefig.dpi": 300}

MISSING_MATPLOTLIB = "plotting needs matplotlib: pip install matplotlib"


def _matplotlib() -> Any:
    try:
        import matplotlib  # type: ignore[import-not-found, unused-ignore]
        import matplotlib.figure  # type: ignore[import-not-found, unused-ignore]
    except ImportError:
        raise ImportError(MISSING_MATPLOTLIB) from None
    return matplotlib


@contextlib.contextmanager
def style() -> Iterator[None]:
    """matplotlib's settings for the figures here (font sizes, resolution) while it lasts."""
    with _matplotlib().rc_context(STYLE):
        yield


def _figure(height: float) -> Any:
    return _matplotlib().figure.Figure(figsize=(COLUMN_WIDTH, height), layout="constrained")


def _short(label: str, width: int = 40) -> str:
    return label if len(label) <= width else label[: width - 1] + "…"


def _differences(values: list[float]) -> list[float]:
    """values[k + 1] - values[k] in single precision, widened (as the report takes them)."""
    single = np.asarray(values, dtype=np.float32)
    return [float(d) for d in single[1:] - single[:-1]]


def variable_list(variables: list[int]) -> str:
    """``x0, x2, x5–x9``: the variables with runs of three or more shortened."""
    parts = []
    run: list[int] = []
    for v in sorted(variables) + [-2]:
        if run and v == run[-1] + 1:
            run.append(v)
            continue
        if len(run) >= 3:
            parts.append(f"x{run[0]}–x{run[-1]}")
        else:
            parts.extend(f"x{u}" for u in run)
        run = [v]
    return ", ".join(parts) or "none"


def spectrum(f: BooleanFunction, label: str = "f") -> Any:
    """The fragmentation spectrum of f with its first and second differences and its peak."""
    with style():
        values = f.fragmentation_spectrum()
        delta = _differences(values)
        delta2 = _differences(delta)
        peak_k = max(range(len(values)), key=lambda i: (values[i], -i))
        figure = _figure(2.7)
        axis = figure.subplots()
        ks = list(range(len(values)))
        axis.plot(ks, values, marker="o", markersize=3, label="spectrum")
        if delta:
            axis.plot(
                [k + 0.5 for k in range(len(delta))],
                delta,
                marker="s",
                markersize=2.5,
                linestyle="--",
                label="1st difference",
            )
        if delta2:
            axis.plot(
                [k + 1 for k in range(len(delta2))],
                delta2,
                marker="^",
                markersize=2.5,
                linestyle=":",
                label="2nd difference",
            )
        axis.axhline(0, color="0.75", linewidth=0.6)
        low, high = min([0.0, *values, *delta, *delta2]), max([0.0, *values, *delta, *delta2])
        axis.set_ylim(low - 0.05 * (high - low or 1), high + 0.2 * (high - low or 1))  # room for the peak label
        # The peak as a line with its label along the top, clear of the curves.
        axis.axvline(peak_k, color="0.5", linewidth=0.6, linestyle=":")
        right_half = peak_k > len(values) / 2
        axis.annotate(
            f"peak k = {peak_k}",
            xy=(peak_k, 1.0),
            xycoords=("data", "axes fraction"),
            xytext=(-3 if right_half else 3, -3),
            textcoords="offset points",
            ha="right" if right_half else "left",
            va="top",
            fontsize=7,
            color="0.3",
        )
        axis.set_xlabel("k, number of fixed variables")
        axis.set_ylabel("entropy (bits)")
        axis.set_title(f"{_short(label)}: fragmentation spectrum")
        step = max(1, len(values) // 10)
        axis.set_xticks(ks[::step])
        figure.legend(loc="outside lower center", ncols=3, frameon=False)
    return figure


def restriction_layout(f: BooleanFunction, fixed: list[int], free: list[int]) -> npt.NDArray[np.bool_]:
    """The table with row r the restriction at assignment r of ``fixed`` (bit t to the t-th of them) and
    column c the assignment c of ``free``, likewise."""
    n = f.n
    # Axis t of the reshaped table is variable n-1-t; the last axis varies fastest.
    cube = f.table.reshape((2,) * n) if n else f.table.reshape(())
    order = [n - 1 - v for v in reversed(fixed)] + [n - 1 - v for v in reversed(free)]
    return np.ascontiguousarray(cube.transpose(order)).reshape(1 << len(fixed), 1 << len(free))


def _assignment_ticks(axis_set_ticks: Callable[[Any, list[str]], object], count: int, variables: list[int]) -> str:
    """Labels every row (column) by its assignment where they fit, else a few by number; the axis title."""
    if count <= LABELLED:
        width = len(variables)
        labels = ["".join(str(i >> t & 1) for t in range(width)) if width else "–" for i in range(count)]
        axis_set_ticks(range(count), labels)
        return " ".join(f"x{v}" for v in variables) if width else "none"
    positions = np.linspace(0, count - 1, 5).round().astype(int)
    axis_set_ticks(positions, [str(p) for p in positions])
    return f"{variable_list(variables)} as a number, x{variables[0]} lowest"


def restriction_table(f: BooleanFunction, vars: Iterable[int], label: str = "f") -> Any:
    """The restrictions of f when the variables ``vars`` are fixed, one row per assignment of them,
    one column per assignment of the others (black: true). ValueError unless ``vars`` are distinct
    variables of f."""
    variables = list(vars)
    fixed = sorted(set(variables))
    if len(fixed) != len(variables) or any(not 0 <= v < f.n for v in fixed):
        raise ValueError(f"--vars must list distinct variables of 0..{f.n - 1}, got {variables}")
    free = [v for v in range(f.n) if v not in fixed]
    with style():
        array = restriction_layout(f, fixed, free)
        rows, columns = array.shape
        height = min(4.5, max(1.6, 0.8 * COLUMN_WIDTH * rows / columns + 1.0))
        figure = _figure(height)
        axis = figure.subplots()
        axis.imshow(array, cmap="Greys", vmin=0, vmax=1, interpolation="nearest", aspect="auto")
        axis.set_ylabel("fixed " + _assignment_ticks(lambda p, t: axis.set_yticks(p, t, fontsize=6), rows, fixed))
        axis.set_xlabel(
            "free "
            + _assignment_ticks(
                lambda p, t: axis.set_xticks(p, t, fontsize=6, rotation=90 if len(free) > 2 else 0), columns, free
            )
        )
        axis.set_title(f"{_short(label)}: restrictions (black: true)")
    return figure


def _hexagon_grid(values: np.ndarray, default: int) -> tuple[int, tuple[float, float]]:
    """Hexagons along one axis and the axis extent. Integer data of a short range gets one hexagon
    per integer, with the extent at the lowest and highest value: hexbin then centres a row of
    hexagons on every value (instead of splitting a value between its two staggered lattices)."""
    low, high = float(values.min()), float(values.max())
    if high == low:
        return 1, (low - 0.5, high + 0.5)
    if np.array_equal(values, np.round(values)) and high - low <= DISCRETE_SPAN:
        return int(high - low), (low, high)
    return default, (low, high)


def _numeric_column(frame: Any, name: str, path: str) -> npt.NDArray[np.float64]:
    """The column as float64, NaN where a value is missing; ValueError unless it holds numbers."""
    try:
        return frame[name].to_numpy(dtype=np.float64, na_value=np.nan)
    except (TypeError, ValueError):
        raise ValueError(f"column {name!r} of {path} is not numeric") from None


def scatter(path: str, x: str, y: str) -> Any:
    """Column ``y`` of a sweep's Parquet (or CSV) file against column ``x``: points up to SCATTER_POINTS
    rows, a hexagonal-bin density (log colour scale) beyond; rows missing either value are left out.
    ValueError for a file that cannot be read or lacks the columns; ImportError without pandas and
    pyarrow (the ``sweep`` extra) or matplotlib."""
    try:
        import pandas as pd  # type: ignore[import-untyped, unused-ignore]
        import pyarrow.parquet as pq  # type: ignore[import-untyped, unused-ignore]
    except ImportError:
        raise ImportError("scatter plots read sweeps with pandas and pyarrow: pip install pandas pyarrow") from None
    if not os.path.isfile(path):
        raise ValueError(f"no such file: {path}")
    csv = path.lower().endswith(".csv")
    try:
        names = pd.read_csv(path, nrows=0).columns.tolist() if csv else pq.read_schema(path).names
    except (OSError, ValueError, UnicodeDecodeError) as error:  # pyarrow's and pandas' errors derive from these
        raise ValueError(f"cannot read {path} as {'CSV' if csv else 'Parquet'}: {error}") from None
    for name in (x, y):
        if name not in names:
            raise ValueError(f"{path} has no column {name!r}; its columns are {', '.join(names)}")
    wanted = list(dict.fromkeys((x, y)))
    frame = pd.read_csv(path, usecols=wanted) if csv else pq.read_table(path, columns=wanted).to_pandas()
    xs, ys = _numeric_column(frame, x, path), _numeric_column(frame, y, path)
    keep = ~(np.isnan(xs) | np.isnan(ys))
    xs, ys = xs[keep], ys[keep]
    if not len(xs):
        raise ValueError(f"no row of {path} has both {x!r} and {y!r}")
    with style():
        figure = _figure(2.8)
        axis = figure.subplots()
        if len(xs) > SCATTER_POINTS:
            nx, (x0, x1) = _hexagon_grid(xs, HEXAGONS)
            ny, (y0, y1) = _hexagon_grid(ys, int(HEXAGONS / np.sqrt(3)))
            cells = axis.hexbin(
                xs, ys, gridsize=(nx, ny), extent=(x0, x1, y0, y1), bins="log", mincnt=1, cmap="viridis", linewidths=0.1
            )
            figure.colorbar(cells, ax=axis, label="functions (log scale)")
        else:
            axis.scatter(xs, ys, s=6, alpha=0.6, linewidths=0)
        axis.set_xlabel(x)
        axis.set_ylabel(y)
        axis.set_title(f"{_short(os.path.basename(path))}: {len(xs):,} functions")
    return figure


def walsh_spectrum(f: BooleanFunction, label: str = "f", by_value: bool | None = None) -> Any:
    """The Walsh spectrum as a bar chart: one bar W(u) per u (u = 0 .. 2**n - 1), or, with ``by_value``,
    one bar per distinct value of W(u) whose height is how many u have it. ``by_value=None`` (the
    default) draws one bar per u up to WALSH_BARS_VARS variables and one per value beyond."""
    if by_value is None:
        by_value = f.n > WALSH_BARS_VARS
    with style():
        figure = _figure(2.4)
        axis = figure.subplots()
        if by_value:
            counts = f.walsh_spectrum_counts(signed=True)
            values = list(counts)
            axis.bar([str(v) for v in values], [counts[v] for v in values], color="C0")
            axis.set_xlabel("W(u)")
            axis.set_ylabel("number of u")
            if len(values) > LABELLED:
                axis.set_xticks(np.linspace(0, len(values) - 1, 5).round().astype(int))
            axis.set_title(f"{_short(label)}: Walsh spectrum values")
        else:
            w = f.walsh_spectrum()
            axis.bar(range(len(w)), w, width=0.8, color=["C3" if v < 0 else "C0" for v in w.tolist()])
            axis.axhline(0, color="0.5", linewidth=0.6)
            axis.set_xlabel("u")
            axis.set_ylabel("W(u)")
            axis.set_title(f"{_short(label)}: Walsh spectrum")
    return figure


def influences(f: BooleanFunction, label: str = "f") -> Any:
    """The influence of each variable (the chance that flipping it changes f) as one bar per variable."""
    values = f.influences()
    with style():
        figure = _figure(2.4)
        axis = figure.subplots()
        axis.bar([f"x{v}" for v in range(f.n)], values, color="C0")
        axis.set_ylim(0, 1)
        axis.set_xlabel("variable")
        axis.set_ylabel("influence")
        if f.n > LABELLED:
            axis.set_xticks(np.linspace(0, f.n - 1, 5).round().astype(int))
        axis.set_title(f"{_short(label)}: influences (total {f.total_influence():g})")
    return figure
