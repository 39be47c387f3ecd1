"""The smallest circuit of one function whose output is ready within a given depth.

Sizes are tried upward from the essential variables less one, each by one SAT question on the
levelled encoding of ``improve_depth`` (every input ready at level 0), over the essential variables
only. A circuit of depth D with one output reads at most 2**D - 1 gates (at most 2**t gates lie t
steps below the output), so when every size up to that is refuted no circuit of that depth exists
at all, and the search says so instead of climbing for ever. The sizes of the answers for D = 1, 2,
... tabulate the function's size/depth trade-off; with D at least the least size the answer is the
unbounded optimum.
"""

from __future__ import annotations

import numpy as np
import numpy.typing as npt

from .. import predicates, transforms
from .. import progress as progress_module
from ..circuit_parts import Gate, Output
from ..circuits import Circuit
from . import improve_depth, solving

#: More variables make the levelled encoding (no symmetry cuts) too large to be of use.
MAX_DEPTH_VARS = 6


class NoCircuitWithinDepth(ValueError):
    """No circuit of the basis computes the function within the depth asked for, whatever its size."""


#: (circuit or None, its size or None, the proven lower bound): what ``search`` makes a Synthesis of.
Found = tuple[Circuit | None, int | None, int]


def synthesize_within_depth(
    n: int,
    table: npt.NDArray[np.bool_],
    basis: str,
    depth: int,
    max_gates: int | None,
    deadline: float | None,
    progress: progress_module.Progress,
) -> Found:
    """The smallest circuit over ``basis`` ("B2", "XAG" or "AIG") computing the table of 2**n
    entries whose output comes at most ``depth`` gates after the inputs (see the module). A
    KeyboardInterrupt carries the lower bound so far as ``lower_bound``."""
    keep = predicates.essential_variables(table)
    m = len(keep)
    if m > MAX_DEPTH_VARS:
        raise ValueError(f"max_depth is searched for at most {MAX_DEPTH_VARS} essential variables, not {m}")
    reduced = int(sum(1 << int(x) for x in np.flatnonzero(transforms.project(table, keep))))
    easy = improve_depth.trivial(reduced, m)
    if easy is not None:
        return _circuit(n, keep, m, *easy), 0, 0
    lower = max(1, m - 1)
    if depth < 1 or (1 << depth) < m:
        raise NoCircuitWithinDepth(f"no circuit of depth {depth} reads all {m} essential variables")
    most = (1 << depth) - 1 if max_gates is None else min((1 << depth) - 1, max_gates)
    with progress_module.reporter(progress, f"synthesis ({basis}, depth <= {depth})") as report:
        for size in range(lower, most + 1):
            if report is not None:
                report(size, most)
            clauses, found, negate = improve_depth._encode(reduced, m, [0] * m, size, depth, basis == "AIG")
            try:
                answer, model = solving.solve(clauses, deadline)
            except KeyboardInterrupt as error:
                error.lower_bound = size  # type: ignore[attr-defined]
                raise
            if answer:
                return _circuit(n, keep, m, *improve_depth._decode(model, m, found, negate)), size, size
            if answer is None:
                return None, None, size
    if most == (1 << depth) - 1:
        raise NoCircuitWithinDepth(f"no circuit over {basis} computes the function within depth {depth}")
    return None, None, most + 1


def _circuit(n: int, keep: list[int], m: int, gates: list[Gate], output: Output) -> Circuit:
    """The circuit over the m kept variables put back on the n variables."""

    def node(k: int) -> int:
        return keep[k] if k < m else k - m + n

    out_node, negated = output
    return Circuit(
        n,
        tuple((op, node(a), node(b)) for op, a, b in gates),
        outputs=((None if out_node is None else node(out_node), negated),),
    )
