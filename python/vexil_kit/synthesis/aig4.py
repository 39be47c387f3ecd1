"""The proven smallest AND-inverter graphs of the four-input functions, one per NPN class.

``aig4.txt`` is written offline by ``tools/aig4/generate.py``, which proves each class's optimum
with this package's own SAT search. An AIG's size does not change under negating or permuting
inputs or negating the output (inverters are free), so a class's circuit serves every member once
its inputs are renamed and complemented.
"""

from __future__ import annotations

import itertools
import pathlib
from collections.abc import Sequence

import numpy as np

Gate = tuple[int, int, int]
Literal = tuple[int | None, bool]
Entry = tuple[int, list[Gate], Literal]  # (size, gates, output)

TABLE = pathlib.Path(__file__).with_name("aig4.txt")

_ROWS = np.arange(16, dtype=np.int64)
_WEIGHTS = np.int64(1) << _ROWS


def _transforms() -> list[tuple[tuple[int, ...], int, np.ndarray]]:
    """(perm, flips, rows): input i of the class's function reads variable perm[i] complemented
    when bit i of flips is set; rows[y] is the input row x that row y of the class's function reads."""
    found = []
    for perm in itertools.permutations(range(4)):
        for flips in range(16):
            x = np.zeros(16, dtype=np.int64)
            for i, p in enumerate(perm):
                x |= ((_ROWS >> i & 1) ^ (flips >> i & 1)) << p
            found.append((perm, flips, x))
    return found


_TRANSFORMS = _transforms()


def _word(bits: np.ndarray) -> int:
    return int(bits.astype(np.int64) @ _WEIGHTS)


def class_tables() -> list[int]:
    """The least table of each of the 222 NPN classes of four-input functions, in increasing order."""
    bits = (np.arange(1 << 16)[:, None] >> _ROWS & 1).astype(np.int64)
    least = np.full(1 << 16, 1 << 16, dtype=np.int64)
    for _, _, rows in _TRANSFORMS:
        image = bits[:, rows] @ _WEIGHTS
        least = np.minimum(least, np.minimum(image, 0xFFFF ^ image))
    return sorted(set(least.tolist()))


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
    f = np.asarray(bits, dtype=np.bool_).astype(np.int64)
    known = _known()
    for perm, flips, rows in _TRANSFORMS:
        word = _word(f[rows])
        for negated in (False, True):
            entry = known.get(word ^ (0xFFFF if negated else 0))
            if entry is not None:
                return _rename(entry, perm, flips, negated)
    return None


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
