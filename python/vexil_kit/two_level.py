"""Two-level forms: sums of products (and products of sums) of a truth table.

A ``Cube`` is a product of literals, held as two ints: bit v of ``mask`` says that variable v
appears, bit v of ``values`` that it appears positive (``values`` lies inside ``mask``). An input x
lies in the cube when ``x & mask == values``; the empty cube (mask 0) is the constant true.

* ``isop``: an irredundant sum of products by the Minato–Morreale recursion over packed tables,
  in the compiled core: every cube is a prime implicant (of f, or of f | dont_care), no cube can be
  dropped, and together they cover f (at least f & ~dont_care). Fast: a second or less at n = 20.
* ``prime_implicants``: every prime implicant, in the core, by one pass over the 3**n subcubes
  (n <= 14).
* ``minimum_sop``: a sum of prime implicants with the fewest terms and, among those, the fewest
  literals, exact, by a set cover solved as an integer program with HiGHS (``highspy``), n <= 10.

The functions take truth tables (bool arrays); ``BooleanFunction``'s methods of the same names call
them, with don't-cares given as a second function.

>>> table = np.array([0, 1, 1, 1, 0, 0, 0, 1], dtype=bool)   # x0 & x1 | x0 & ~x2 | x1 & ~x2
>>> [str(c) for c in minimum_sop(table)]
['x1 & ~x2', 'x0 & ~x2', 'x0 & x1']
>>> sop_text(minimum_sop(table))
'x1 & ~x2 | x0 & ~x2 | x0 & x1'
"""

from __future__ import annotations

from typing import NamedTuple

import numpy as np
import numpy.typing as npt

from . import _arguments, _highs, _native
from ._arguments import Table
from .progress import Progress, reporter

#: The largest n of ``prime_implicants`` (3**n bytes of subcubes) and of ``minimum_sop``.
PRIME_IMPLICANTS_MAX_VARS = 14
MINIMUM_SOP_MAX_VARS = 10


class Cube(NamedTuple):
    """A product of literals: variable v appears when bit v of ``mask`` is set, positive when bit v
    of ``values`` is set too. ``str()`` gives it as an expression the expression parser reads.

    >>> c = Cube(mask=0b101, values=0b001)
    >>> str(c), c.literals, c.contains(0b011), c.contains(0b110)
    ('x0 & ~x2', 2, True, False)
    >>> str(Cube(0, 0))
    '1'
    """

    mask: int
    values: int

    @property
    def literals(self) -> int:
        """The number of literals."""
        return self.mask.bit_count()

    def variables(self) -> list[int]:
        """The variables that appear, in increasing order."""
        return [v for v in range(self.mask.bit_length()) if (self.mask >> v) & 1]

    def contains(self, x: int) -> bool:
        """Whether input x (an entry index) lies in the cube."""
        return x & self.mask == self.values

    def __str__(self) -> str:
        terms = [f"x{v}" if (self.values >> v) & 1 else f"~x{v}" for v in self.variables()]
        return " & ".join(terms) if terms else "1"

    def clause(self) -> str:
        """The complement of the cube as a disjunction of the negated literals ("0" for the empty cube)."""
        terms = [f"~x{v}" if (self.values >> v) & 1 else f"x{v}" for v in self.variables()]
        return " | ".join(terms) if terms else "0"


def _cubes(rows: npt.NDArray[np.uint64]) -> list[Cube]:
    return list(map(Cube._make, rows.tolist()))


def bounds(table: Table, dont_care: Table | None) -> tuple[Table, Table]:
    """(f & ~dont_care, f | dont_care): the inputs a cover must hold and those it may."""
    if dont_care is None:
        return table, table
    if len(dont_care) != len(table):
        raise ValueError(f"the don't-cares have {len(dont_care)} entries and the function {len(table)}")
    return table & ~dont_care, table | dont_care


def isop(table: Table, dont_care: Table | None = None) -> list[Cube]:
    """An irredundant sum of products of f, as a list of ``Cube`` (vexil_kit.two_level).

    Minato–Morreale's recursion on the packed table, in the core: every cube is a prime
    implicant, no cube can be dropped without losing an input of f, and the cubes together are
    exactly f, in the order the recursion finds them (it splits on the highest variable first).
    With ``dont_care`` (a function of the same n), the cubes cover every input of
    f & ~dont_care and lie inside f | dont_care. ``[]`` for false, ``[Cube(0, 0)]`` for true.
    Well under a second at n = 20.

    >>> [str(c) for c in BooleanFunction.majority(3).isop()]
    ['x1 & x2', 'x0 & x2', 'x0 & x1']
    >>> f = BooleanFunction.from_expression("x0 & x1 & ~x2")
    >>> [str(c) for c in f.isop(dont_care=BooleanFunction.from_expression("x0 & x1 & x2"))]
    ['x0 & x1']
    """
    lower, upper = bounds(table, dont_care)
    return _cubes(_native.isop(lower, upper))


def prime_implicants(table: Table, dont_care: Table | None = None, progress: Progress = False) -> list[Cube]:
    """Every prime implicant of f (of f | dont_care with don't-cares), as ``Cube`` objects.

    A cube is an implicant when f is true on all of it, prime when no literal can be dropped
    from it keeping it one. Found in the core by one pass over the 3**n subcubes (3**n bytes),
    in increasing base-3 order of the subcube (digit v: 0 or 1 the value of v, 2 when v is
    free), for n <= 14; ValueError beyond.

    >>> [str(c) for c in BooleanFunction.from_expression("x0 & x1 | ~x0 & x2").prime_implicants()]
    ['x1 & x2', '~x0 & x2', 'x0 & x1']
    """
    n = _arguments.log2(len(table))
    if n > PRIME_IMPLICANTS_MAX_VARS:
        raise ValueError(
            f"prime implicants take functions of at most {PRIME_IMPLICANTS_MAX_VARS} variables; this one has {n}"
        )
    _, upper = bounds(table, dont_care)
    with reporter(progress, "prime_implicants") as report:
        return _cubes(_native.prime_implicants(upper, progress=report))


def minimum_sop(table: Table, dont_care: Table | None = None) -> list[Cube]:
    """An exact minimum sum of products of f, for n <= 10 (ValueError beyond), as ``Cube`` objects.

    The fewest terms and, among the sums with that many, the fewest literals. The terms are
    prime implicants (of f | dont_care), chosen by an exact set cover of the inputs of f (of
    f & ~dont_care) solved as an integer program with HiGHS (``highspy``); among the covers with
    the same numbers of terms and literals, the one HiGHS finds, the same for one HiGHS version.
    Never more terms than ``isop()``.

    >>> f = BooleanFunction.from_expression("x0 & x1 | ~x0 & x2 | x1 & x2")
    >>> [str(c) for c in f.minimum_sop()], len(f.isop())
    (['~x0 & x2', 'x0 & x1'], 2)
    """
    n = _arguments.log2(len(table))
    if n > MINIMUM_SOP_MAX_VARS:
        raise ValueError(f"minimum_sop takes functions of at most {MINIMUM_SOP_MAX_VARS} variables; this one has {n}")
    lower, upper = bounds(table, dont_care)
    minterms = np.flatnonzero(lower).astype(np.uint64)
    if len(minterms) == 0:
        return []
    primes = _native.prime_implicants(upper)
    masks, values = primes[:, 0], primes[:, 1]
    covers = (minterms[None, :] & masks[:, None]) == values[:, None]  # prime x minterm
    literals = np.array([int(m).bit_count() for m in masks.tolist()], dtype=np.float64)
    # A term outweighs every possible sum of literals (at most n per term, at most 2**n terms),
    # so the fewest terms come first and the literals only decide between equal counts.
    term = float(n * (1 << n) + 1)
    chosen = _reduced_cover(covers, term + literals)
    return _cubes(primes[chosen])


def _reduced_cover(covers: npt.NDArray[np.bool_], costs: npt.NDArray[np.float64]) -> list[int]:
    """The rows of a least-cost cover (rows of ``covers`` are the sets, columns the elements), after
    the classical reductions, each of which keeps some least-cost cover: a set that alone holds an
    element is taken; an element whose sets include all those of another one is dropped (covering
    the other covers it); a set whose elements lie inside those of another set no dearer is dropped
    (ties: the later one). What remains, often nothing, goes to HiGHS."""
    taken: list[int] = []
    rows = np.arange(covers.shape[0])
    while covers.shape[1] > 0:
        holders = covers.sum(axis=0)
        essential = np.unique(np.argmax(covers[:, holders == 1], axis=0))
        if len(essential):
            taken.extend(rows[essential].tolist())
            covered = covers[essential].any(axis=0)
            keep = np.ones(len(rows), dtype=bool)
            keep[essential] = False
            covers, rows, costs = covers[keep][:, ~covered], rows[keep], costs[keep]
            continue
        # Elements: e is dropped when the sets of some other d all hold e (ties: the later one).
        inside = _inclusions(covers.T)  # [d, e]: the sets of d all hold e
        np.fill_diagonal(inside, False)
        same = inside & inside.T
        redundant = (inside & ~same).any(axis=0) | np.triu(same, 1).any(axis=0)
        # Sets: s is dropped when another set t, no dearer, holds every element of s.
        sizes = covers.sum(axis=1)
        within = _inclusions(covers) & (costs[None, :] <= costs[:, None])  # [s, t]: s inside t, t no dearer
        np.fill_diagonal(within, False)
        equal = within & within.T
        dominated = (within & ~equal).any(axis=1) | np.tril(equal, -1).any(axis=1) | (sizes == 0)
        if not redundant.any() and not dominated.any():
            taken.extend(rows[_set_cover(covers, costs)].tolist())
            break
        covers, rows, costs = covers[~dominated][:, ~redundant], rows[~dominated], costs[~dominated]
    return sorted(taken)


def _inclusions(rows: npt.NDArray[np.bool_]) -> npt.NDArray[np.bool_]:
    """[a, b]: row a of the bool matrix lies inside row b, for every pair, on the rows packed 64
    columns a word (no BLAS, whose threads stall on a busy machine)."""
    packed = np.packbits(rows, axis=1, bitorder="little")
    padded = np.zeros((rows.shape[0], -(-packed.shape[1] // 8) * 8), dtype=np.uint8)
    padded[:, : packed.shape[1]] = packed
    words = padded.view(np.uint64)
    outside = np.zeros((rows.shape[0], rows.shape[0]), dtype=bool)
    for w in range(words.shape[1]):
        outside |= (words[:, None, w] & ~words[None, :, w]) != 0
    return ~outside


def _set_cover(covers: npt.NDArray[np.bool_], costs: npt.NDArray[np.float64]) -> list[int]:
    """The rows of a least-cost cover: rows of ``covers`` are the sets, columns the elements; exact,
    by HiGHS's branch and bound with no gap allowed (the costs are integers). Among covers of the
    same cost, the one HiGHS finds (the same for one HiGHS version)."""
    highspy = _highs.module()
    sets, elements = covers.shape
    h = _highs.new_solver()
    h.setOptionValue("mip_rel_gap", 0.0)
    h.setOptionValue("mip_abs_gap", 0.5)
    columns = np.arange(sets, dtype=np.int32)
    h.addVars(sets, np.zeros(sets), np.ones(sets))
    h.changeColsCost(sets, columns, costs)
    h.changeColsIntegrality(sets, columns, np.full(sets, highspy.HighsVarType.kInteger))
    # One row per element: the sets holding it, at least one of them.
    element, member = np.nonzero(covers.T)
    starts = np.searchsorted(element, np.arange(elements)).astype(np.int32)
    h.addRows(
        elements,
        np.ones(elements),
        np.full(elements, highspy.kHighsInf),
        len(member),
        starts,
        member.astype(np.int32),
        np.ones(len(member)),
    )
    _highs.run_interruptibly(h)
    status = h.getModelStatus()
    if status != highspy.HighsModelStatus.kOptimal:
        raise RuntimeError(f"HiGHS did not solve the set cover: {h.modelStatusToString(status)}")
    solution = np.asarray(h.getSolution().col_value)
    return [int(k) for k in np.flatnonzero(solution > 0.5)]


def sop_text(cubes: list[Cube]) -> str:
    """The sum of products as an expression: "0" for no cube, "1" for the empty one."""
    return " | ".join(str(c) for c in cubes) if cubes else "0"


def pos_text(cubes: list[Cube]) -> str:
    """The product of the complements of the cubes of a sum of products of ~f: f as a product of
    sums, "1" for no cube, "0" for the empty one."""
    if not cubes:
        return "1"
    clauses = [c.clause() for c in cubes]
    if len(clauses) == 1:
        return clauses[0]
    return " & ".join(f"({clause})" if " " in clause else clause for clause in clauses)
