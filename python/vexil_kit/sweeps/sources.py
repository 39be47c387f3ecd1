"""The functions a sweep measures, held as packed truth tables: any iterable of functions, the
five-input NPN classes, random functions and the members of a named family; and the affine classes
of small permutations, a source of S-boxes.

A source hands its packed runs to the batch kernel without making a Python object per function;
iterating over it gives BooleanFunction objects.
"""

from __future__ import annotations

import operator
from collections.abc import Callable, Iterable, Iterator, Sequence
from typing import Any

import numpy as np
import numpy.typing as npt

import vexil

from .. import _arguments, _native, builders, families
from .._arguments import Table
from ..function import BooleanFunction
from ..vectorial import VectorialFunction
from .vectorial import SboxSource

#: Functions per batch (a local call of the kernel, or a Dask task), fewer for large tables.
BATCH_FUNCTIONS = 65536
#: Table entries per batch: bounds the memory of a batch of large functions.
BATCH_ENTRIES = 1 << 22

#: Packed rows: one function a row, entry x at bit x % 8 of byte x // 8.
Rows = npt.NDArray[np.uint8]


def row_bytes(n: int) -> int:
    """The bytes of a packed row of n variables: max(1, 2**n / 8)."""
    return 1 if n <= 3 else 1 << (n - 3)


def unpack(n: int, rows: Rows) -> npt.NDArray[np.bool_]:
    """The bool tables of packed rows, one row each, read-only."""
    tables = np.unpackbits(rows, axis=1, count=1 << n, bitorder="little").view(np.bool_)
    tables.setflags(write=False)
    return tables


def _runs(tables: Iterable[Table]) -> list[tuple[int, Rows]]:
    """Consecutive tables of one n packed together, in order."""
    runs: list[tuple[int, Rows]] = []
    current: list[Rows] = []
    current_n = -1
    for table in tables:
        n = _arguments.log2(len(table))
        if n != current_n and current:
            runs.append((current_n, np.stack(current)))
            current = []
        current_n = n
        current.append(np.packbits(table, bitorder="little"))
    if current:
        runs.append((current_n, np.stack(current)))
    return runs


class FunctionSource:
    """Functions held as packed truth tables, in runs of one n each, in a fixed order.

    Iterating gives BooleanFunction objects; ``len()`` is their number; ``sweep`` reads the packed
    runs directly. A row of n variables has max(1, 2**n / 8) bytes: entry x at bit x % 8 of byte
    x // 8 (``numpy.packbits(f.table, bitorder="little")``).

    >>> source = random_functions(3, 4, seed=1)
    >>> len(source), [f.n for f in source]
    (4, [3, 3, 3, 3])
    """

    def __init__(self, runs: Iterable[tuple[int, Rows]], description: str = "functions", copy: bool = True) -> None:
        """``runs``: (n, rows) pairs, rows of shape (count, max(1, 2**n / 8)); copied unless ``copy`` is False
        (the source then holds the arrays given, and makes them read-only)."""
        self._runs: list[tuple[int, Rows]] = []
        for n, rows in runs:
            n = operator.index(n)
            rows = np.array(rows, dtype=np.uint8, order="C", copy=True if copy else None)
            if n < 0 or rows.ndim != 2 or rows.shape[1] != row_bytes(n):
                raise ValueError(f"a run of {n} variables needs rows of {row_bytes(max(n, 0))} bytes")
            if n < 3:
                rows = rows & np.uint8((1 << (1 << n)) - 1)  # bits beyond the table are not part of it
            rows.setflags(write=False)
            if len(rows):
                self._runs.append((n, rows))
        self.description = description

    @property
    def runs(self) -> list[tuple[int, Rows]]:
        """The (n, rows) runs: rows a read-only uint8 array of shape (count, row bytes)."""
        return list(self._runs)

    def __len__(self) -> int:
        return sum(len(rows) for _, rows in self._runs)

    def __iter__(self) -> Iterator[BooleanFunction]:
        for n, rows in self._runs:
            for start in range(0, len(rows), BATCH_FUNCTIONS):
                for table in unpack(n, rows[start : start + BATCH_FUNCTIONS]):
                    yield BooleanFunction(table)

    def __repr__(self) -> str:
        return f"<FunctionSource: {len(self):,} {self.description}>"

    def batches(self, functions: int = BATCH_FUNCTIONS) -> Iterator[tuple[int, Rows]]:
        """The runs cut into (n, rows) batches of at most ``functions`` rows and ``BATCH_ENTRIES`` entries."""
        for n, rows in self._runs:
            size = max(1, min(functions, BATCH_ENTRIES >> n))
            for start in range(0, len(rows), size):
                yield n, rows[start : start + size]

    @classmethod
    def of(cls, functions: Iterable[Any], description: str = "functions") -> FunctionSource:
        """The source of an iterable of BooleanFunction or vexil.Vexil objects (or a source: itself)."""
        if isinstance(functions, FunctionSource):
            return functions
        if isinstance(functions, (BooleanFunction, vexil.Vexil)):
            raise TypeError("sweep takes an iterable of functions; wrap a single function in a list")
        return cls(_runs(_table_of(item) for item in functions), description, copy=False)


def _table_of(item: Any) -> Table:
    if isinstance(item, vexil.Vexil):
        return builders.from_vexil(item)
    if not isinstance(item, BooleanFunction):
        raise TypeError(f"functions must be BooleanFunction or vexil.Vexil objects, not {type(item).__name__}")
    return item.table


def five_input_classes() -> FunctionSource:
    """The 616,126 NPN classes of five-variable functions, one representative each, from the gate database.

    Two functions are NPN-equivalent when one becomes the other by permuting and complementing
    inputs and complementing the output. Each class is represented by its member with the
    smallest table as a number (``to_int()``), which is the function ``npn_representant()``
    returns for every member, and the classes come in increasing order of it. Such a member has
    f(0) = f(31) = False. The database keys each class by that number (its canonical word), once:
    a function and its complement share a class and one key, and the two classes the database
    builds in rather than stores (the constant False, and a single variable) are included, so
    the count is that of the NPN classes, 616,126. The first call builds the gate database (well
    under a second).

    >>> classes = five_input_classes()
    >>> len(classes)
    616126
    >>> first = next(iter(classes))
    >>> first.n, first.to_int(), first.npn_representant() == first
    (5, 0, True)
    """
    words = _native.five_input_class_words()
    rows = words.astype("<u4").view(np.uint8).reshape(-1, 4)
    return FunctionSource([(5, rows)], "five-input NPN classes", copy=False)


def random_functions(n: int, count: int, seed: int | None = None) -> FunctionSource:
    """``count`` uniformly random functions of n variables from ``numpy.random.default_rng(seed)``.

    The same seed gives the same functions, in the same order (not those of
    ``BooleanFunction.random``, which draws one entry at a time); seed None draws fresh ones.

    >>> a, b = random_functions(6, 3, seed=5), random_functions(6, 3, seed=5)
    >>> list(a) == list(b), len(a)
    (True, 3)
    """
    n = _arguments.num_vars(n)
    count = _arguments.count(count, "count")
    _native.ensure_working_set(min(count * row_bytes(n), 1 << 63))
    rng = np.random.default_rng(seed)
    rows = rng.integers(0, 256, size=(count, row_bytes(n)), dtype=np.uint8)
    return FunctionSource([(n, rows)], f"random functions of {n} variables", copy=False)


#: The family names ``family`` knows ("-" may stand for "_").
FAMILY_NAMES = families.FAMILY_NAMES


def family(name: str, ns: Iterable[int | Sequence[int]]) -> FunctionSource:
    """The members of a family of functions, one per item of ``ns``, in that order.

    ``name`` is a family builder of BooleanFunction (majority, xor, conjunction, disjunction,
    threshold, tribes, inner_product, address, dictator, constant) or one that vexil.Vexil
    builds (parity (even), coprimes, primality, sum_is_prime, clique); "-" may stand for "_".
    Each item of ``ns`` is the builder's argument, or a tuple of its arguments for the families
    that take several (``family("threshold", [(5, 2), (7, 3)])``).

    >>> [f.to_hex() for f in family("majority", range(1, 4))]
    ['0x2', '0x8', '0xe8']
    """
    chosen = families.lookup(name)
    if chosen is None:
        raise ValueError(f"no family {name!r}; the families are {', '.join(FAMILY_NAMES)}")
    tables = []
    for item in ns:
        arguments = tuple(item) if isinstance(item, (tuple, list)) else (item,)
        tables.append(chosen.build(*arguments))
    return FunctionSource(_runs(tables), f"members of {chosen.name}", copy=False)


def npn_classes(n: int) -> FunctionSource:
    """The NPN classes of n <= 4 variables, one representative each (``BooleanFunction.npn_canonical``'s:
    the member with the smallest ``to_int()``), in increasing order of it: 1, 2, 4, 14, 222 classes.

    >>> len(npn_classes(4)), [f.to_int() for f in npn_classes(2)]
    (222, [0, 1, 3, 6])
    """
    from .. import canonical

    tables = canonical.class_tables(n)
    rows = np.stack([np.packbits(t, bitorder="little") for t in tables])
    return FunctionSource([(n, rows)], f"NPN classes of {n} variables", copy=False)


def affine_class_size(box: VectorialFunction) -> int:
    """The number of permutations affine equivalent to ``box`` (n <= 4): the ``class_size`` column of a
    sweep of ``affine_classes``, a module-level function so that Dask workers can run it."""
    return box.affine_class().size


class AffineClassSource(SboxSource):
    """The affine classes of n-bit permutations, one canonical representative each, named by label.

    ``columns`` are the (name, callable) columns that belong to every sweep of it, the class size:
    ``sweep(source, [*measures, *source.columns])``; ``vexil sweep`` adds them itself.
    """

    columns: tuple[tuple[str, Callable[[VectorialFunction], Any]], ...] = (("class_size", affine_class_size),)


def affine_classes(n: int) -> AffineClassSource:
    """The affine classes of permutations of n <= 4 bits (302 for n = 4), one representative each
    (``VectorialFunction.affine_classes``), named by their labels, in increasing order of the canonical table.

    >>> source = affine_classes(3)
    >>> len(source), [name for name, _ in source][:2]
    (4, ['P3.0', 'P3.1'])
    """
    return AffineClassSource(
        ((c.label, c.representative) for c in VectorialFunction.affine_classes(n)),
        f"affine classes of permutations of {n} bits",
    )
