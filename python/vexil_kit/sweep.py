"""Sweeps: measures of many functions at once, as one pandas DataFrame (and a Parquet file).

``sweep(functions, measures)`` computes every measure of every function and returns one row per
function: the columns ``hex`` (``f.to_hex()``) and ``n``, then one column per measure, named as
the measure. A measure is the name of a BooleanFunction method that needs no argument
(``"entropy"``, ``"minimal_gates"``, ...) or a pair ``(column name, callable)`` applied to each
BooleanFunction. The values are those of the methods, bit for bit: the common measures of
functions of up to 12 variables are computed by one native batch kernel per run of functions
(the core's single-function kernels applied to every row of a batch on the worker pool, without
the interpreter lock), the others by calling the method on each function.

The functions are any iterable of BooleanFunction or ``vexil.Vexil`` objects, or a source built
here, which holds its functions as packed tables and hands them to the kernel without making
Python objects: ``five_input_classes()`` (the 616,126 NPN classes of five-variable functions),
``random_functions(n, count, seed)`` and ``family(name, ns)``.

With a Dask ``client`` the functions are cut into batches of packed tables, one task each; a
task computes all the measures of its batch and returns a small DataFrame, and the results are
put back in the order of the functions, so the table is the same as a local sweep's.
"""

from __future__ import annotations

import inspect
import json
import math
import operator
from collections.abc import Callable, Iterable, Iterator, Sequence
from dataclasses import dataclass
from typing import Any, Union

import numpy as np
import vexil

from . import _checks, _native
from .function import BooleanFunction
from .progress import Progress, reporter

# pandas is imported where a table is made, so that the sources work without it; it has no type
# information, so the tables are annotated Any.
#: A measure: a BooleanFunction method name, or a (column name, callable) pair.
Measure = Union[str, tuple[str, Callable[[BooleanFunction], Any]]]

#: Functions up to this many variables go through the batch kernel; larger ones are measured one
#: at a time by their methods, which spread each function over the worker pool themselves.
BATCH_MAX_VARS = 12
#: Functions per batch (a local call of the kernel, or a Dask task), fewer for large tables.
BATCH_FUNCTIONS = 65536
#: Table entries per batch: bounds the memory of a batch of large functions.
BATCH_ENTRIES = 1 << 22
#: Columns every sweep has, before the measures.
FIXED_COLUMNS = ("hex", "n")

_NATIVE = {name: (kind, max_vars) for name, kind, max_vars in _native.sweep_measure_table()}
# Computed in Python from the kernel's spectra, as the method does.
_FROM_SPECTRA = ("spectral_entropy",)


def _row_bytes(n: int) -> int:
    return 1 if n <= 3 else 1 << (n - 3)


def _pack(f: BooleanFunction) -> np.ndarray:
    return np.packbits(f.table, bitorder="little")


def _unpack(n: int, rows: np.ndarray) -> np.ndarray:
    """The bool tables of packed rows, one row each, read-only."""
    tables = np.unpackbits(rows, axis=1, count=1 << n, bitorder="little").view(np.bool_)
    tables.setflags(write=False)
    return tables


# -- sources ---------------------------------------------------------------------------------------


class FunctionSource:
    """Functions held as packed truth tables, in runs of one n each, in a fixed order.

    Iterating gives BooleanFunction objects; ``len()`` is their number; ``sweep`` reads the packed
    runs directly. A row of n variables has max(1, 2**n / 8) bytes: entry x at bit x % 8 of byte
    x // 8 (``numpy.packbits(f.table, bitorder="little")``).

    >>> source = random_functions(3, 4, seed=1)
    >>> len(source), [f.n for f in source]
    (4, [3, 3, 3, 3])
    """

    def __init__(self, runs: Iterable[tuple[int, np.ndarray]], description: str = "functions", copy: bool = True):
        """``runs``: (n, rows) pairs, rows of shape (count, max(1, 2**n / 8)); copied unless ``copy`` is False
        (the source then holds the arrays given, and makes them read-only)."""
        self._runs: list[tuple[int, np.ndarray]] = []
        for n, rows in runs:
            n = operator.index(n)
            rows = np.array(rows, dtype=np.uint8, order="C", copy=True if copy else None)
            if n < 0 or rows.ndim != 2 or rows.shape[1] != _row_bytes(n):
                raise ValueError(f"a run of {n} variables needs rows of {_row_bytes(max(n, 0))} bytes")
            if n < 3:
                rows = rows & np.uint8((1 << (1 << n)) - 1)  # bits beyond the table are not part of it
            rows.setflags(write=False)
            if len(rows):
                self._runs.append((n, rows))
        self.description = description

    @property
    def runs(self) -> list[tuple[int, np.ndarray]]:
        """The (n, rows) runs: rows a read-only uint8 array of shape (count, row bytes)."""
        return list(self._runs)

    def __len__(self) -> int:
        return sum(len(rows) for _, rows in self._runs)

    def __iter__(self) -> Iterator[BooleanFunction]:
        for n, rows in self._runs:
            for start in range(0, len(rows), BATCH_FUNCTIONS):
                for table in _unpack(n, rows[start : start + BATCH_FUNCTIONS]):
                    yield BooleanFunction._wrap(table.copy())

    def __repr__(self) -> str:
        return f"<FunctionSource: {len(self):,} {self.description}>"

    def batches(self, functions: int = BATCH_FUNCTIONS) -> Iterator[tuple[int, np.ndarray]]:
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
        runs: list[tuple[int, np.ndarray]] = []
        current: list[np.ndarray] = []
        current_n = -1
        for item in functions:
            if isinstance(item, vexil.Vexil):
                item = BooleanFunction.from_vexil(item)
            elif not isinstance(item, BooleanFunction):
                raise TypeError(f"functions must be BooleanFunction or vexil.Vexil objects, not {type(item).__name__}")
            if item.n != current_n and current:
                runs.append((current_n, np.stack(current)))
                current = []
            current_n = item.n
            current.append(_pack(item))
        if current:
            runs.append((current_n, np.stack(current)))
        return cls(runs, description, copy=False)


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
    n = _checks.num_vars(n)
    count = _checks.count(count, "count")
    _native.ensure_working_set(min(count * _row_bytes(n), 1 << 63))
    rng = np.random.default_rng(seed)
    rows = rng.integers(0, 256, size=(count, _row_bytes(n)), dtype=np.uint8)
    return FunctionSource([(n, rows)], f"random functions of {n} variables", copy=False)


def _vexil_family(build: Callable[[int], vexil.Vexil]) -> Callable[[int], BooleanFunction]:
    return lambda n: BooleanFunction.from_vexil(build(n))


_FAMILIES: dict[str, Callable[..., BooleanFunction]] = {
    "majority": BooleanFunction.majority,
    "xor": BooleanFunction.xor,
    "conjunction": BooleanFunction.conjunction,
    "disjunction": BooleanFunction.disjunction,
    "threshold": BooleanFunction.threshold,
    "tribes": BooleanFunction.tribes,
    "inner_product": BooleanFunction.inner_product,
    "address": BooleanFunction.address,
    "dictator": BooleanFunction.dictator,
    "constant": BooleanFunction.constant,
    "parity": _vexil_family(vexil.Vexil.parity),
    "coprimes": _vexil_family(vexil.Vexil.coprimes),
    "primality": _vexil_family(vexil.Vexil.primality),
    "sum_is_prime": _vexil_family(vexil.Vexil.sum_is_prime),
    "clique": _vexil_family(vexil.Vexil.clique),
}

#: The family names ``family`` knows ("-" may stand for "_").
FAMILY_NAMES = tuple(sorted(_FAMILIES))


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
    key = name.replace("-", "_")
    if key not in _FAMILIES:
        raise ValueError(f"no family {name!r}; the families are {', '.join(FAMILY_NAMES)}")
    build = _FAMILIES[key]
    members = []
    for item in ns:
        arguments = tuple(item) if isinstance(item, (tuple, list)) else (item,)
        members.append(build(*arguments))
    label = f"members of {key}"
    return FunctionSource.of(members, label)


# -- measures --------------------------------------------------------------------------------------


@dataclass(frozen=True)
class _Plan:
    """What to compute: each measure as (column, method name or None, callable or None)."""

    columns: tuple[str, ...]
    methods: tuple[str | None, ...]
    callables: tuple[Callable[[BooleanFunction], Any] | None, ...]

    def batch_names(self, n: int) -> list[str]:
        """The method names the kernel computes for functions of n variables."""
        if n > BATCH_MAX_VARS:
            return []
        return [m for m in self.methods if m is not None and m in _NATIVE and n <= _NATIVE[m][1]]


def _check_no_arguments(name: str, method: Callable[..., Any]) -> None:
    try:
        parameters = list(inspect.signature(method).parameters.values())[1:]  # after self
    except (TypeError, ValueError):
        return
    positional = (inspect.Parameter.POSITIONAL_ONLY, inspect.Parameter.POSITIONAL_OR_KEYWORD)
    needed = [p.name for p in parameters if p.default is p.empty and p.kind in positional]
    if needed:
        raise ValueError(f"{name!r} needs {', '.join(needed)}; pass (name, lambda f: f.{name}(...)) instead")


def _plan(measures: Iterable[Measure] | str) -> _Plan:
    if isinstance(measures, str):
        measures = [measures]
    columns: list[str] = []
    methods: list[str | None] = []
    callables: list[Callable[[BooleanFunction], Any] | None] = []
    for m in measures:
        if isinstance(m, str):
            attribute = getattr(BooleanFunction, m, None) if not m.startswith("_") else None
            if attribute is None or not callable(attribute) or isinstance(attribute, (classmethod, staticmethod)):
                raise ValueError(f"{m!r} is not a measure: name a BooleanFunction method, or pass (name, callable)")
            if isinstance(BooleanFunction.__dict__.get(m), classmethod):
                raise ValueError(f"{m!r} builds functions; it is not a measure")
            _check_no_arguments(m, attribute)
            columns.append(m)
            methods.append(m)
            callables.append(None)
        elif isinstance(m, tuple) and len(m) == 2 and isinstance(m[0], str) and callable(m[1]):
            columns.append(m[0])
            methods.append(None)
            callables.append(m[1])
        else:
            raise TypeError(f"a measure is a method name or a (name, callable) pair, not {m!r}")
    for name in columns:
        if name in FIXED_COLUMNS:
            raise ValueError(f"the column {name!r} is always there; name the measure otherwise")
        if columns.count(name) > 1:
            raise ValueError(f"the measure {name!r} is named twice")
    return _Plan(tuple(columns), tuple(methods), tuple(callables))


def _hex_column(n: int, rows: np.ndarray) -> list[str]:
    """``to_hex()`` of each packed row."""
    if n < 3:
        return [f"0x{v:x}" for v in rows[:, 0].tolist()]
    width = 2 * rows.shape[1]
    text = np.ascontiguousarray(rows[:, ::-1]).tobytes().hex()
    return ["0x" + text[i : i + width] for i in range(0, len(text), width)]


def _spectral_entropy(n: int, rows: np.ndarray) -> np.ndarray:
    """``spectral_entropy()`` of each row, by the method's own NumPy expression on each spectrum.

    Rows with the same number k of non-zero coefficients are stacked as a (rows, k) array of those
    coefficients in order; summing along the contiguous last axis adds each row exactly as the
    method adds its 1-D array of k terms.
    """
    spectra = _native.sweep_spectra(rows.data, n).reshape(len(rows), 1 << n)
    nonzero = spectra != 0
    counts = nonzero.sum(axis=1)
    result = np.empty(len(rows), dtype=np.float64)
    for k in np.unique(counts).tolist():
        chosen = counts == k
        q = np.abs(spectra[chosen][nonzero[chosen]]).astype(np.float64).reshape(-1, k) / float(1 << n)
        result[chosen] = -2.0 * np.sum(q * q * np.log2(q), axis=1) + 0.0
    return result


def _value(f: BooleanFunction, method: str | None, function: Callable[[BooleanFunction], Any] | None) -> Any:
    """One measure of one function; None where the measure does not apply to it (ValueError)."""
    try:
        return getattr(f, method)() if method is not None else function(f)  # type: ignore[misc]
    except ValueError:
        return None


def _batch_columns(
    n: int, rows: np.ndarray, plan: _Plan, progress: Callable[[int], None] | None = None
) -> dict[str, Any]:
    """Every column of one batch, as arrays (kernel measures) or lists (the others)."""
    columns: dict[str, Any] = {"hex": _hex_column(n, rows), "n": np.full(len(rows), n, dtype=np.int64)}
    names = plan.batch_names(n)
    report = None if progress is None else (lambda done, total: progress(done))
    if names:
        arrays = _native.sweep_rows(rows.data, n, tuple(names), progress=report)
        for name, array in zip(names, arrays):
            columns[name] = array.astype(np.bool_) if _NATIVE[name][0] == "boolean" else array
    functions: list[BooleanFunction] | None = None
    for column, method, function in zip(plan.columns, plan.methods, plan.callables):
        if column in columns:
            continue
        if method in _FROM_SPECTRA and n <= BATCH_MAX_VARS:
            columns[column] = _spectral_entropy(n, rows)
            continue
        if functions is None:
            functions = [BooleanFunction._wrap(table) for table in _unpack(n, rows)]
        columns[column] = [_value(f, method, function) for f in functions]
    if progress is not None:
        progress(len(rows))
    return {name: columns[name] for name in (*FIXED_COLUMNS, *plan.columns)}


def _objects(values: list[Any]) -> np.ndarray:
    array = np.empty(len(values), dtype=object)
    array[:] = values
    return array


def _batch_frame(n: int, rows: np.ndarray, plan: _Plan) -> Any:
    """The DataFrame of one batch (the task a Dask worker runs): the kernel's arrays as they are,
    the other values as Python objects, for the gathering side to join as a local sweep does."""
    import pandas as pd  # type: ignore[import-untyped, unused-ignore]

    columns = _batch_columns(n, rows, plan)
    return pd.DataFrame({k: v if isinstance(v, np.ndarray) else _objects(v) for k, v in columns.items()})


def _join(parts: list[Any]) -> Any:
    """One column from its batches' parts, with one dtype: the kernel's int64, float64 and bool when
    every part has it; otherwise inferred from the values, with pandas' nullable Int64 and boolean
    where a measure did not apply to some functions (None) and NaN for missing floats."""
    import pandas as pd  # type: ignore[import-untyped, unused-ignore]

    arrays = [p for p in parts if isinstance(p, np.ndarray) and p.dtype != object]
    if len(arrays) == len(parts) and len({a.dtype for a in arrays}) == 1:
        return np.concatenate(arrays)
    values: list[Any] = []
    for p in parts:
        values.extend(p.tolist() if isinstance(p, np.ndarray) else p)
    present = [v for v in values if v is not None]
    if present and all(isinstance(v, (bool, np.bool_)) for v in present):
        return pd.array(values, dtype="boolean") if len(present) < len(values) else np.array(values, dtype=np.bool_)
    if present and all(isinstance(v, (int, np.integer)) and not isinstance(v, (bool, np.bool_)) for v in present):
        if len(present) < len(values):
            return pd.array(values, dtype="Int64")
        return np.array(values, dtype=np.int64) if all(-(1 << 63) <= v < 1 << 63 for v in present) else values
    if present and all(isinstance(v, (int, float, np.integer, np.floating)) for v in present):
        return np.array([math.nan if v is None else float(v) for v in values], dtype=np.float64)
    return _objects(values)


def _frame(columns: Sequence[str], batches: list[dict[str, Any]]) -> Any:
    import pandas as pd  # type: ignore[import-untyped, unused-ignore]

    data = {c: _join([b[c] for b in batches]) for c in columns}
    if not batches:
        data = {c: np.empty(0, dtype=np.int64 if c == "n" else object) for c in columns}
    return pd.DataFrame(data)


def _columns_of(frame: Any) -> dict[str, Any]:
    """A gathered batch DataFrame's columns, in the form _batch_columns gives them."""
    columns: dict[str, Any] = {}
    for name in frame.columns:
        values = frame[name].to_numpy()
        columns[name] = values if values.dtype != object else values.tolist()
    return columns


def write_parquet(frame: Any, path: Any, metadata: dict[str, Any] | None = None) -> None:
    """Writes a sweep's DataFrame to a Parquet file (pyarrow), with ``metadata`` under the key ``vexil``.

    >>> import pandas as pd, pyarrow.parquet as pq, tempfile, os
    >>> frame = sweep([BooleanFunction.majority(3)], ["weight"])
    >>> path = os.path.join(tempfile.mkdtemp(), "m.parquet")
    >>> write_parquet(frame, path, {"source": "majority"})
    >>> pd.read_parquet(path).equals(frame), read_metadata(path)["source"]
    (True, 'majority')
    """
    import pyarrow as pa  # type: ignore[import-untyped, unused-ignore]
    import pyarrow.parquet as pq  # type: ignore[import-untyped, unused-ignore]

    table = pa.Table.from_pandas(frame, preserve_index=False)
    if metadata is not None:
        table = table.replace_schema_metadata({**(table.schema.metadata or {}), b"vexil": json.dumps(metadata)})
    pq.write_table(table, path)


def read_metadata(path: Any) -> dict[str, Any]:
    """The ``vexil`` metadata a sweep wrote into its Parquet file ({} when there is none).

    >>> import tempfile, os
    >>> path = os.path.join(tempfile.mkdtemp(), "m.parquet")
    >>> frame = sweep(family("xor", [2, 3]), ["degree"], out=path)
    >>> read_metadata(path)["measures"], read_metadata(path)["functions"]
    (['degree'], 2)
    """
    import pyarrow.parquet as pq  # type: ignore[import-untyped, unused-ignore]

    metadata = pq.read_schema(path).metadata or {}
    text = metadata.get(b"vexil")
    return json.loads(text) if text else {}


def sweep(
    functions: Iterable[Any],
    measures: Iterable[Measure] | str,
    client: Any = None,
    out: Any = None,
    progress: Progress = False,
    batch_size: int = BATCH_FUNCTIONS,
) -> Any:
    """Every measure of every function, as a pandas DataFrame with one row per function.

    ``functions``: an iterable of BooleanFunction or vexil.Vexil objects, or a source
    (``five_input_classes()``, ``random_functions``, ``family``). ``measures``: method names of
    BooleanFunction that take no argument, or (column name, callable) pairs; a single name may be
    given as a str. The columns are ``hex`` (``to_hex()``), ``n``, then the measures in the order
    given, named as given; the rows follow the functions, indexed from 0.

    Each value is what the method returns for that function. Integer measures make int64
    columns, real ones float64, booleans bool; a measure that raises ValueError for some
    function (``minimal_gates`` beyond five variables) leaves it missing: pandas' NA in a
    nullable Int64 or boolean column, NaN in a float one, None otherwise. Other exceptions stop
    the sweep.

    ``out``: a path to also write the table to, as Parquet (pyarrow), with the source, the
    measures and the function count as metadata (see ``read_metadata``). ``client``: a
    ``dask.distributed.Client``; the batches of ``batch_size`` functions become tasks (custom
    callables travel to the workers pickled), and the result is the same table as without it.
    ``progress``: True for a tqdm bar, or a callable taking (done, total) in functions.

    >>> frame = sweep(family("majority", [3, 5]), ["weight", "entropy", "minimal_gates"])
    >>> frame.columns.tolist()
    ['hex', 'n', 'weight', 'entropy', 'minimal_gates']
    >>> frame[["n", "weight", "minimal_gates"]].values.tolist()
    [[3, 4, 4], [5, 16, 9]]
    >>> sweep([BooleanFunction.xor(2)], [("ones", lambda f: f.weight())])["ones"].tolist()
    [2]
    """
    batch_size = operator.index(batch_size)
    if batch_size < 1:
        raise ValueError(f"batch_size must be positive, got {batch_size}")
    plan = _plan(measures)
    source = FunctionSource.of(functions)
    total = len(source)
    batches = list(source.batches(batch_size))
    with reporter(progress, "sweep") as report:
        if client is None:
            parts = _local(batches, plan, total, report)
        else:
            parts = _distributed(client, batches, plan, total, report)
    frame = _frame((*FIXED_COLUMNS, *plan.columns), parts)
    if out is not None:
        write_parquet(frame, out, {"source": source.description, "measures": list(plan.columns), "functions": total})
    return frame


_Reporter = Callable[[int, int], object] | None


def _local(batches: list[tuple[int, np.ndarray]], plan: _Plan, total: int, report: _Reporter) -> list[dict[str, Any]]:
    parts = []
    done = 0
    for n, rows in batches:
        base = done

        def step(finished: int, base: int = base) -> None:
            if report is not None:
                report(base + finished, total)

        parts.append(_batch_columns(n, rows, plan, step if report is not None else None))
        done += len(rows)
    return parts


def _distributed(
    client: Any, batches: list[tuple[int, np.ndarray]], plan: _Plan, total: int, report: _Reporter
) -> list[dict[str, Any]]:
    futures = [client.submit(_batch_frame, n, rows, plan, pure=False) for n, rows in batches]
    if report is not None:
        from dask.distributed import as_completed  # type: ignore[import-untyped, unused-ignore]

        sizes = {future.key: len(rows) for future, (_, rows) in zip(futures, batches)}
        done = 0
        report(0, total)
        for future in as_completed(futures):
            done += sizes[future.key]
            report(done, total)
    return [_columns_of(frame) for frame in client.gather(futures)]
