"""The proven smallest AND-inverter graphs of the four-input functions, one per NPN class.

``aig4.txt`` is written offline by ``tools/aig4/generate.py``, which proves each class's optimum
with this package's own SAT search. An AIG's size does not change under negating or permuting
inputs or negating the output (inverters are free), so a class's circuit serves every member once
its inputs are renamed and complemented.
"""

from __future__ import annotations

import pathlib
from collections.abc import Sequence

import numpy as np

from .. import canonical

Gate = tuple[int, int, int]
Literal = tuple[int | None, bool]
Entry = tuple[int, list[Gate], Literal]  # (size, gates, output)

TABLE = pathlib.Path(__file__).with_name("aig4.txt")

_WEIGHTS = np.int64(1) << np.arange(16, dtype=np.int64)


def _word(bits: np.ndarray) -> int:
    return int(np.asarray(bits, dtype=np.int64) @ _WEIGHTS)


def class_tables() -> list[int]:
    """The least table of each of the 222 NPN classes of four-input functions, in increasing order."""
    return [_word(t) for t in canonical.class_tables(4)]


def read(path: pathlib.Path) -> dict[int, Entry]:
    """The classes in a file written by the generator: least table -> (size, gates, output)."""
    entries: dict[int, Entry] = {}
    for line in path.read_text().splitlines():
        fields = line.split()
        if not fields or fields[0].startswith("#"):
            continue
        gates: list[Gate] = []
        for field in fields[3:-1]:
            op, a, b = map(int, field.split(","))
            gates.append((op, a, b))
        node, negated = map(int, fields[-1].split(","))
        output = (None if node < 0 else node, bool(negated))
        entries[int(fields[0], 16)] = (int(fields[1]), gates, output)
    return entries


_loaded: dict[int, Entry] | None = None


def _known() -> dict[int, Entry]:
    global _loaded
    if _loaded is None:
        _loaded = read(TABLE) if TABLE.exists() else {}
    return _loaded


def lookup(bits: Sequence[bool] | np.ndarray) -> tuple[list[Gate], Literal] | None:
    """A smallest AIG (AND-type gates over inputs 0..3) of a 16-entry table, or None if unknown."""
    least, transform = canonical.npn_canonical(np.asarray(bits, dtype=np.bool_))
    entry = _known().get(_word(least))
    if entry is None:
        return None
    return _rename(entry, transform.permutation, transform.input_negation, transform.output_negation)


def _rename(entry: Entry, perm: tuple[int, ...], flips: int, negated: bool) -> tuple[list[Gate], Literal]:
    """The class's circuit on the function's own inputs: f(x) = c(y) ^ negated, y_i = x[perm[i]] ^ flip_i."""
    _, gates, (node, out_negated) = entry
    literals: list[Literal] = [(perm[i], bool(flips >> i & 1)) for i in range(4)]
    built: list[Gate] = []
    for op, a, b in gates:
        (na, pa), (nb, pb) = literals[a], literals[b]
        # The gate's table on its operands' own values, kept normal (0 on 0, 0) by a complement.
        table = [op >> (2 * (vb ^ pb) + (va ^ pa)) & 1 for vb in (0, 1) for va in (0, 1)]
        flip = table[0]
        new_op = sum((bit ^ flip) << row for row, bit in enumerate(table))
        assert na is not None and nb is not None
        built.append((new_op, na, nb))
        literals.append((3 + len(built), bool(flip)))
    if node is None:
        return built, (None, out_negated ^ negated)
    final, complemented = literals[node]
    return built, (final, complemented ^ out_negated ^ negated)
