"""`vexil plot`: the fragmentation and Walsh spectra and the restriction table as figures for a paper.

The figures are those of ``vexil_kit.plot``, sized for one column (3.5 inches wide) with fonts that
stay readable there, and written as PNG, PDF or SVG by the suffix of the output name.
"""

from __future__ import annotations

import os
from typing import Any

import numpy as np

from .. import plot as figures
from .._files import atomic_output, check_folder
from ..function import BooleanFunction

FORMATS = (".png", ".pdf", ".svg")
#: Width of one column of a two-column paper, in inches.
COLUMN_WIDTH = figures.COLUMN_WIDTH
#: Rows or columns up to this many are labelled one by one, by their assignments.
LABELLED = figures.LABELLED
#: Above this many points a scatter becomes a hexagonal-bin density plot.
SCATTER_POINTS = figures.SCATTER_POINTS

variable_list = figures.variable_list


class PlotUnavailable(RuntimeError):
    """matplotlib (or, for scatter plots, pandas and pyarrow) is not installed."""


def check_output(path: str) -> None:
    """ValueError unless the output's suffix names a format the figures are written in."""
    suffix = os.path.splitext(path)[1].lower()
    if suffix not in FORMATS:
        raise ValueError(f"cannot tell the format of {path!r}: end it with {', '.join(FORMATS)}")
    check_folder(path)


def _save(figure: Any, output: str) -> None:
    """Writes the figure aside and renames it into place, so a failed write keeps an earlier figure."""
    with figures.style(), atomic_output(output) as temporary:
        figure.savefig(temporary, format=os.path.splitext(output)[1].lower()[1:])


def _layout(f: BooleanFunction, fixed: list[int], free: list[int]) -> np.ndarray:
    return figures.restriction_layout(f, fixed, free)


def _draw(make: Any, *arguments: Any) -> Any:
    try:
        return make(*arguments)
    except ImportError as error:
        raise PlotUnavailable(str(error)) from None


def spectrum(label: str, f: BooleanFunction, output: str) -> None:
    _save(_draw(figures.spectrum, f, label), output)


def walsh(label: str, f: BooleanFunction, output: str) -> None:
    _save(_draw(figures.walsh_spectrum, f, label), output)


def table(label: str, f: BooleanFunction, variables: list[int], output: str) -> None:
    _save(_draw(figures.restriction_table, f, variables, label), output)


def scatter(path: str, x: str, y: str, output: str) -> None:
    """Column ``y`` of a sweep's Parquet (or CSV) file against column ``x`` (see ``vexil_kit.plot.scatter``)."""
    _save(_draw(figures.scatter, path, x, y), output)
