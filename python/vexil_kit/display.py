"""Rich displays for notebooks: the ``_repr_html_`` of the value types, circuits, searches and trees.

Each display shows first what a researcher looks for (sizes, then a few measures) and stays cheap:
measures are computed only up to a size where they take milliseconds (``FUNCTION_LIMIT`` variables
for a Boolean function, ``SBOX_LIMIT`` inputs for an S-box, ``GATE_LIMIT`` gates for a circuit);
beyond it the display shows the sizes alone. The heat map of an S-box's DDT and LAT is drawn with
matplotlib when it is installed, and a circuit as SVG with Graphviz ``dot`` when that is on the
PATH; otherwise the display falls back to text.

The objects are read through their methods only, so this module imports none of the value types.

>>> from vexil_kit import BooleanFunction
>>> "<td>weight</td><td>4</td>" in BooleanFunction.majority(3)._repr_html_()
True
"""

from __future__ import annotations

import base64
import html
import io
import shutil
import subprocess
from collections.abc import Callable, Iterable
from typing import Any

#: Functions of at most this many variables show their measures (each at most a few milliseconds).
FUNCTION_LIMIT = 16
#: Functions of at most this many variables also show their table in hexadecimal.
HEX_LIMIT = 6
#: S-boxes of at most this many inputs show their measures (the DDT is 2**(2n) entries).
SBOX_LIMIT = 10
#: S-boxes of at most this many inputs get a DDT and LAT heat map.
HEATMAP_LIMIT = 8
#: Circuits of at most this many gates are drawn or listed gate by gate.
GATE_LIMIT = 200
#: Decision trees of at most this many nodes are drawn or listed.
NODE_LIMIT = 400
#: Seconds Graphviz may take to lay out a circuit before the listing is shown instead.
DOT_SECONDS = 5.0


def _rows(title: str, rows: Iterable[tuple[str, Any]], extra: str = "") -> str:
    cells = "".join(f"<tr><td>{html.escape(name)}</td><td>{html.escape(str(value))}</td></tr>" for name, value in rows)
    return (
        f'<div class="vexil"><strong>{html.escape(title)}</strong>'
        f'<table style="text-align:left"><tbody>{cells}</tbody></table>{extra}</div>'
    )


def _safely(rows: list[tuple[str, Any]], name: str, compute: Callable[[], Any]) -> None:
    """Adds ``name`` with its value, or with the error's class if it cannot be computed: a display never fails."""
    try:
        rows.append((name, compute()))
    except Exception as error:  # noqa: BLE001 - shown in place of the value
        rows.append((name, f"({type(error).__name__})"))


def _beyond(limit: int, what: str) -> tuple[str, str]:
    return ("measures", f"not computed above {limit} {what}; call the methods")


def boolean_function(f: Any) -> str:
    """A Boolean function: n, weight, degrees and nonlinearity; its table in hexadecimal when small."""
    n = f.n
    rows: list[tuple[str, Any]] = [("n", n), ("table", f"{1 << n:,} entries")]
    if n > FUNCTION_LIMIT:
        rows.append(_beyond(FUNCTION_LIMIT, "variables"))
        return _rows("BooleanFunction", rows)
    if n <= HEX_LIMIT:
        _safely(rows, "hex", f.to_hex)
    _safely(rows, "weight", f.weight)
    _safely(rows, "balanced", f.is_balanced)
    _safely(rows, "algebraic degree", f.algebraic_degree)
    _safely(rows, "Fourier degree", f.fourier_degree)
    _safely(rows, "nonlinearity", f.nonlinearity)
    _safely(rows, "essential variables", lambda: len(f.essential_variables()))
    return _rows("BooleanFunction", rows)


def _heat_maps(box: Any) -> str:
    """The DDT and LAT side by side as an inline PNG, or '' without matplotlib."""
    try:
        import matplotlib

        matplotlib.use("Agg", force=False)
        from matplotlib.figure import Figure
    except ImportError:
        return ""
    figure = Figure(figsize=(5.0, 2.4), dpi=80)
    for k, (name, table) in enumerate((("DDT", box.ddt()), ("LAT", box.lat()))):
        axis = figure.add_subplot(1, 2, k + 1)
        axis.imshow(abs(table), cmap="viridis", interpolation="nearest", aspect="auto")
        axis.set_title(name, fontsize=9)
        axis.set_xlabel("b" if name == "LAT" else "output difference", fontsize=7)
        axis.set_ylabel("a" if name == "LAT" else "input difference", fontsize=7)
        axis.tick_params(labelsize=6)
    figure.tight_layout()
    buffer = io.BytesIO()
    figure.savefig(buffer, format="png")
    data = base64.b64encode(buffer.getvalue()).decode("ascii")
    return f'<img alt="DDT and LAT heat maps" src="data:image/png;base64,{data}"/>'


def vectorial_function(box: Any) -> str:
    """An S-box: (n, m), differential uniformity, linearity, degree; DDT and LAT heat maps when small."""
    n, m = box.n, box.m
    rows: list[tuple[str, Any]] = [("(n, m)", f"({n}, {m})"), ("table", f"{1 << n:,} entries")]
    if n > SBOX_LIMIT:
        rows.append(_beyond(SBOX_LIMIT, "inputs"))
        return _rows("VectorialFunction", rows)
    _safely(rows, "permutation", box.is_permutation)
    _safely(rows, "differential uniformity", box.differential_uniformity)
    _safely(rows, "linearity", box.linearity)
    _safely(rows, "nonlinearity", box.nonlinearity)
    _safely(rows, "algebraic degree", box.algebraic_degree)
    extra = ""
    if n <= HEATMAP_LIMIT:
        try:
            extra = _heat_maps(box)
        except Exception:  # noqa: BLE001 - a figure that cannot be drawn leaves the table
            extra = ""
    return _rows("VectorialFunction", rows, extra)


def _svg(dot_text: str) -> str:
    """The DOT graph as inline SVG through Graphviz, or '' when ``dot`` is missing or fails."""
    program = shutil.which("dot")
    if program is None:
        return ""
    try:
        done = subprocess.run(
            [program, "-Tsvg"], input=dot_text.encode(), capture_output=True, timeout=DOT_SECONDS, check=True
        )
    except (OSError, subprocess.SubprocessError):
        return ""
    text = done.stdout.decode("utf-8", "replace")
    start = text.find("<svg")
    return text[start:] if start >= 0 else ""


def _listing(text: str) -> str:
    return f"<pre>{html.escape(text)}</pre>"


def circuit(c: Any) -> str:
    """A circuit: inputs, outputs, gates, depth, basis; drawn as SVG with Graphviz, else its gates listed."""
    rows: list[tuple[str, Any]] = [("inputs", c.inputs), ("outputs", len(c.outputs)), ("gates", len(c.gates))]
    if len(c.gates) > GATE_LIMIT:
        rows.append(("drawing", f"not drawn above {GATE_LIMIT} gates"))
        return _rows("Circuit", rows)
    _safely(rows, "depth", lambda: c.depth)
    _safely(rows, "AND gates", lambda: c.and_count)
    _safely(rows, "basis", lambda: c.basis)
    return _rows("Circuit", rows, _svg(c.to_dot()) or _listing(c.to_text()))


def synthesis(s: Any) -> str:
    """A search's result: the bounds, whether they meet, the time; then the circuit found."""
    rows: list[tuple[str, Any]] = [
        ("gates found", "none" if s.upper_bound is None else s.upper_bound),
        ("lower bound", s.lower_bound),
        ("optimal", s.optimal),
        ("seconds", f"{s.seconds:.3g}"),
    ]
    extra = "" if s.circuit is None else circuit(s.circuit)
    return _rows("Synthesis", rows, extra)


def decision_tree(t: Any) -> str:
    """A decision tree: n, depth, size; drawn as SVG with Graphviz, else its nodes in preorder."""
    rows: list[tuple[str, Any]] = [("n", t.n), ("depth", t.depth), ("size", t.size), ("nodes", len(t.codes))]
    if len(t.codes) > NODE_LIMIT:
        rows.append(("drawing", f"not drawn above {NODE_LIMIT} nodes"))
        return _rows("DecisionTree", rows)
    return _rows("DecisionTree", rows, _svg(t.to_dot()) or _listing(repr(t.codes)))
