"""The sweep itself: every measure of every function of a source, batch by batch, locally or as Dask
tasks, joined into one pandas DataFrame.

One runner for both subjects: a ``Job`` (``FunctionJob`` here, ``SboxJob`` in ``vectorial``) says
what the columns are and computes one batch; the runner cuts the source into batches, runs them here
or as Dask tasks, writes them to a file as they come (resuming a partial one) and joins the table.

For functions, the registry's scalar measures of functions of up to 12 variables are computed by one
native batch kernel per batch (the core's single-function kernels applied to every row on the worker
pool, without the interpreter lock), the others by the registry's evaluator or the BooleanFunction
method on each function.
"""

from __future__ import annotations

import inspect
import math
import operator
import sys
from collections.abc import Callable, Iterable, Sequence
from dataclasses import dataclass
from typing import Any, Protocol

import numpy as np
import numpy.typing as npt

from .. import _native, _tabulate, registry
from .._dask_wait import finished
from ..function import BooleanFunction
from ..progress import Progress, reporter
from .output import TEXT, SweepFile, column_kind
from .plans import BatchInterrupted, split_measures
from .sources import BATCH_FUNCTIONS, FunctionSource, Rows, unpack
from .vectorial import SboxJob, sbox_source

# pandas is imported where a table is made, so that the sources work without it; it has no type
# information, so the tables are annotated Any.
#: A measure: a BooleanFunction method name, or a (column name, callable) pair.
Measure = str | tuple[str, Callable[[BooleanFunction], Any]]

#: Functions up to this many variables go through the batch kernel; larger ones are measured one
#: at a time by their methods, which spread each function over the worker pool themselves.
BATCH_MAX_VARS = 12
#: Columns every sweep has, before the measures.
FIXED_COLUMNS = ("hex", "n")

_NATIVE = {name: (kind, max_vars) for name, kind, max_vars in _native.sweep_measure_table()}


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
        kernel = [(m, _kernel_name(m)) for m in self.methods if m is not None]
        return [m for m, k in kernel if k is not None and n <= _NATIVE[k][1]]


def _kernel_name(method: str) -> str | None:
    """The batch kernel's name for a measure given by any of its names, or None without a kernel."""
    name = registry.ALIASES.get(method, method)
    return name if name in _NATIVE else None


def _check_no_arguments(name: str, method: Callable[..., Any]) -> None:
    try:
        parameters = list(inspect.signature(method).parameters.values())[1:]  # after self
    except (TypeError, ValueError):
        return
    positional = (inspect.Parameter.POSITIONAL_ONLY, inspect.Parameter.POSITIONAL_OR_KEYWORD)
    needed = [p.name for p in parameters if p.default is p.empty and p.kind in positional]
    if needed:
        raise ValueError(f"{name!r} needs {', '.join(needed)}; pass (name, lambda f: f.{name}(...)) instead")


def _check_method(m: str) -> None:
    attribute = getattr(BooleanFunction, m, None) if not m.startswith("_") else None
    if attribute is None or not callable(attribute) or isinstance(attribute, (classmethod, staticmethod)):
        raise ValueError(f"{m!r} is not a measure: name a BooleanFunction method, or pass (name, callable)")
    if isinstance(BooleanFunction.__dict__.get(m), classmethod):
        raise ValueError(f"{m!r} builds functions; it is not a measure")
    _check_no_arguments(m, attribute)


def _plan(measures: Iterable[Measure] | str) -> _Plan:
    return _Plan(*split_measures(measures, _check_method, FIXED_COLUMNS, "method"))


def _hex_column(n: int, rows: Rows) -> list[str]:
    """``to_hex()`` of each packed row."""
    if n < 3:
        return [f"0x{v:x}" for v in rows[:, 0].tolist()]
    width = 2 * rows.shape[1]
    text = np.ascontiguousarray(rows[:, ::-1]).tobytes().hex()
    return ["0x" + text[i : i + width] for i in range(0, len(text), width)]


def _value(f: BooleanFunction, method: str | None, function: Callable[[BooleanFunction], Any] | None) -> Any:
    """One measure of one function, by the registry's evaluator for a scalar; None where the measure
    does not apply to it (ValueError)."""
    try:
        if method is None:
            return function(f)  # type: ignore[misc]
        info = registry.find("function", method)
        if info is not None and info.scalar and not info.parameters:
            return registry.evaluate("function", info.name, f.table)
        return getattr(f, method)()
    except ValueError:
        return None


def _batch_columns(n: int, rows: Rows, plan: _Plan, progress: Callable[[int], None] | None = None) -> dict[str, Any]:
    """Every column of one batch, as arrays (kernel measures) or lists (the others).

    ``progress`` is told the functions finished: never a function before all its columns are done.
    The kernel's share counts only when no per-function measure follows it, and stops short of the
    batch until the kernel returns; the per-function measures count one function at a time. Ctrl-C
    among those raises ``BatchInterrupted`` with the rows finished so far.
    """
    count = len(rows)
    columns: dict[str, Any] = {"hex": _hex_column(n, rows), "n": np.full(count, n, dtype=np.int64)}
    names = plan.batch_names(n)
    others = [
        (column, method, function)
        for column, method, function in zip(plan.columns, plan.methods, plan.callables, strict=True)
        if column not in names
    ]

    def kernel_share(done: int, total: int) -> None:
        if progress is not None and total > 0:
            progress(min(count - 1, count * done // total))

    if names:
        kernels = tuple(_kernel_name(name) or name for name in names)
        report = kernel_share if progress is not None and not others and count > 0 else None
        arrays = _native.sweep_rows(rows.data, n, kernels, progress=report)
        for name, kernel, array in zip(names, kernels, arrays, strict=True):
            columns[name] = array.astype(np.bool_) if _NATIVE[kernel][0] == "boolean" else array
    order = (*FIXED_COLUMNS, *plan.columns)
    if others:
        values: list[list[Any]] = [[] for _ in others]
        for k, table in enumerate(unpack(n, rows)):
            f = BooleanFunction(table)
            try:
                row = [_value(f, method, function) for _, method, function in others]
            except KeyboardInterrupt:
                for (column, _, _), done in zip(others, values, strict=True):
                    columns[column] = done
                raise BatchInterrupted({name: columns[name][:k] for name in order}, k) from None
            for done, value in zip(values, row, strict=True):
                done.append(value)
            if progress is not None:
                progress(k + 1)
        for (column, _, _), done in zip(others, values, strict=True):
            columns[column] = done
    if progress is not None:
        progress(count)
    return {name: columns[name] for name in order}


def _objects(values: list[Any]) -> npt.NDArray[np.object_]:
    array = np.empty(len(values), dtype=object)
    array[:] = values
    return array


def _batch_frame(job: Job, batch: Any) -> Any:
    """The DataFrame of one batch (the task a Dask worker runs): the kernel's arrays as they are,
    the other values as Python objects, for the gathering side to join as a local sweep does."""
    import pandas as pd  # type: ignore[import-untyped, unused-ignore]

    columns = job.compute(batch)
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


@dataclass(frozen=True)
class FunctionJob:
    """The sweep of Boolean functions: batches of packed rows (n, rows), keyed by ``hex``."""

    plan: _Plan
    fixed: tuple[str, ...] = FIXED_COLUMNS
    key: str = "hex"

    @property
    def columns(self) -> tuple[str, ...]:
        return (*self.fixed, *self.plan.columns)

    def batches(self, source: FunctionSource, size: int) -> list[tuple[int, Rows]]:
        return list(source.batches(size))

    def size(self, batch: tuple[int, Rows]) -> int:
        return len(batch[1])

    def rest(self, batch: tuple[int, Rows], count: int) -> tuple[int, Rows]:
        return batch[0], batch[1][count:]

    def keys(self, batch: tuple[int, Rows], count: int) -> list[str]:
        return _hex_column(batch[0], batch[1][:count])

    def compute(self, batch: tuple[int, Rows], progress: Callable[[int], None] | None = None) -> dict[str, Any]:
        return _batch_columns(batch[0], batch[1], self.plan, progress)

    def kinds(self, source: FunctionSource) -> dict[str, str | None]:
        ns = sorted({n for n, _ in source.runs})
        kinds: dict[str, str | None] = {"hex": TEXT, "n": "int64"}
        kinds.update({c: column_kind(m, ns) for c, m in zip(self.plan.columns, self.plan.methods, strict=True)})
        return kinds


class Job(Protocol):
    """What the runner needs of a subject's sweep (``FunctionJob``, ``SboxJob``): its columns, its
    batches and how to compute one (in this process or on a Dask worker, to which it travels pickled)."""

    @property
    def columns(self) -> tuple[str, ...]: ...

    @property
    def fixed(self) -> tuple[str, ...]:
        """The columns before the measures."""
        ...

    @property
    def key(self) -> str:
        """The column that tells the items apart, checked when a partial file is resumed."""
        ...

    def batches(self, source: Any, size: int) -> list[Any]: ...

    def size(self, batch: Any) -> int: ...

    def rest(self, batch: Any, count: int) -> Any: ...

    def keys(self, batch: Any, count: int) -> list[str]: ...

    def compute(self, batch: Any, progress: Callable[[int], None] | None = None) -> dict[str, Any]: ...

    def kinds(self, source: Any) -> dict[str, str | None]: ...


def _job(functions: Iterable[Any], measures: Iterable[Any] | str) -> tuple[Job, Any]:
    """The sweep of the subject of ``functions`` and its source."""
    boxes = sbox_source(functions)
    if boxes is not None:
        return SboxJob.of(measures), boxes
    plan = _plan(measures)
    return FunctionJob(plan), FunctionSource.of(functions)


def sweep(
    functions: Iterable[Any],
    measures: Iterable[Measure] | str,
    client: Any = None,
    out: Any = None,
    progress: Progress = False,
    batch_size: int = BATCH_FUNCTIONS,
) -> Any:
    """Every measure of every function (or S-box), as a pandas DataFrame with one row per function.

    ``functions``: an iterable of BooleanFunction or vexil.Vexil objects, or a source
    (``five_input_classes()``, ``random_functions``, ``family``); or S-boxes: a source of them
    (``random_permutations``, ``catalogue_sboxes``, ``SboxSource``) or a list of VectorialFunction.
    ``measures``: method names that take no argument (of BooleanFunction, or for S-boxes the measures
    of ``registry.measures("vectorial")`` but the tables), or (column name, callable) pairs; a single
    name may be given as a str. The columns are ``hex`` (``to_hex()``), ``n`` (for S-boxes ``name``,
    ``n``, ``m``), then the measures in the order given, named as given; the rows follow the
    functions, indexed from 0.

    Each value is what the method returns for that function. Integer measures make int64
    columns, real ones float64, booleans bool; a measure that raises ValueError for some
    function (``minimal_gates`` beyond five variables), or that does not apply to an S-box
    (permutations only), leaves it missing: pandas' NA in a nullable Int64 or boolean column, NaN in
    a float one, None otherwise. Other exceptions stop the sweep.

    ``out``: a file to write the table to, ``.parquet`` (with the source, the measures and the function
    count as metadata, see ``read_metadata``) or ``.csv``; any other extension, a missing folder or a
    measure without a column type is refused before anything is computed. Rows are written batch by
    batch to ``out + ".partial"``, which is renamed onto ``out`` at the end: a sweep that fails or is
    interrupted keeps the rows done there, and the same sweep run again computes only the rest.
    Objects are stored as text (functions as hex, circuits as expressions, pairs, records and counts
    as JSON), as are exact integers beyond int64. With ``out`` the table returned is the file's, read
    back. ``client``: a ``dask.distributed.Client``; the batches of ``batch_size`` functions become
    tasks (custom callables travel to the workers pickled), and the result is the same table as
    without it. ``progress``: True for a tqdm bar, or a callable taking (done, total) in functions.

    >>> from vexil_kit.sweeps import family
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
    job, source = _job(functions, measures)
    columns = job.columns
    # Named before any measure is computed; the arguments are checked first, which needs neither.
    _require("pandas", "pyarrow" if out is not None else None)
    total = len(source)
    target = None
    if out is not None:
        target = SweepFile(out, columns, source.description, total, key=job.key, fixed=len(job.fixed))
    batches = job.batches(source, batch_size)
    if target is None and isinstance(job, FunctionJob):
        _reserve_table(job.plan, source, total)
    if target is None:
        with reporter(progress, "sweep") as report:
            if client is None:
                parts = _local(job, batches, total, report)
            else:
                parts = _distributed(client, job, batches, total, report)
        return _frame(columns, parts)
    earlier = target.earlier_rows(lambda k: _first_keys(job, batches, k))
    done = 0 if earlier is None else len(earlier)
    kinds = job.kinds(source)
    try:
        with target.writer(kinds, earlier) as write, reporter(progress, "sweep") as report:
            remaining = _skip(job, batches, done)
            if client is None:
                _local(job, remaining, total, report, write, done)
            else:
                _distributed(client, job, remaining, total, report, write, done)
    except KeyboardInterrupt as interrupt:
        # The writer names the rows it kept; before the first function is done there are none to name.
        if not getattr(interrupt, "__notes__", None):
            interrupt.add_note(f"no function of the {total:,} was finished: nothing is kept in {target.partial}")
        raise
    return target.read()


def _value_bytes(value: Any) -> int:
    """Memory a measure's value holds in an object column: the object, the buffer of an array view,
    the items of a list, tuple or dict (from the first thousand)."""
    size = sys.getsizeof(value)
    if isinstance(value, np.ndarray):
        return size + (value.nbytes if value.base is not None else 0)
    if isinstance(value, dict):
        value = [item for pair in list(value.items())[:1000] for item in pair] * max(1, len(value) // 1000)
    if isinstance(value, (list, tuple)):
        head = value[:1000]
        return size + sum(_value_bytes(item) for item in head) * len(value) // max(1, len(head))
    return size


#: What a value of a custom callable is taken to hold: a slot and a small object (it is not called ahead).
_CALLABLE_BYTES = 64


def _reserve_table(plan: _Plan, source: FunctionSource, total: int) -> None:
    """MemoryError, with the sizes, unless the in-memory table of the sweep fits. Its bytes per row
    are estimated for each n: 8 for a scalar column, for the other methods the value of the first
    function of that n (a Walsh spectrum of 12 inputs is 32 KiB), twice over for the batches' parts
    and the joined frame."""
    needed = 0
    for n, rows in source.runs:
        if len(rows) == 0:
            continue
        per_row = 8 + sys.getsizeof("0x" + "0" * max(1, (1 << n) // 4)) + 8  # hex and n
        sample: BooleanFunction | None = None
        for method in plan.methods:
            info = registry.find("function", method) if method is not None else None
            if method is None:
                per_row += _CALLABLE_BYTES
            elif info is not None and info.scalar:
                per_row += 8
            else:
                if sample is None:
                    sample = BooleanFunction(unpack(n, rows[:1])[0])
                per_row += 8 + _value_bytes(_value(sample, method, None))
        needed += 2 * per_row * len(rows)
    try:
        _tabulate.reserve(needed)
    except MemoryError as error:
        raise MemoryError(
            f"the sweep's table of {total} rows needs about {needed / 2**20:.1f} MiB in memory ({error}); "
            "write it to a file with out="
        ) from None


def _require(*modules: str | None) -> None:
    """ImportError naming the extra to install when a module the sweep needs is missing, before any work."""
    import importlib.util

    for module in modules:
        if module is not None and importlib.util.find_spec(module) is None:
            raise ImportError(f"sweeps need pandas and pyarrow ({module} is missing): pip install pandas pyarrow")


def _first_keys(job: Job, batches: list[Any], count: int) -> list[str]:
    """The key (hex, or name) of the first ``count`` items of the batches."""
    found: list[str] = []
    for batch in batches:
        if len(found) >= count:
            break
        found.extend(job.keys(batch, count - len(found)))
    return found


def _skip(job: Job, batches: list[Any], count: int) -> list[Any]:
    """The batches after their first ``count`` items."""
    rest = []
    for batch in batches:
        size = job.size(batch)
        if count >= size:
            count -= size
            continue
        rest.append(job.rest(batch, count))
        count = 0
    return rest


_Reporter = Callable[[int, int], object] | None


_Writer = Callable[[dict[str, Any]], None] | None


def _local(
    job: Job,
    batches: list[Any],
    total: int,
    report: _Reporter,
    write: _Writer = None,
    done: int = 0,
) -> list[dict[str, Any]]:
    """The batches' columns; with ``write``, each batch is written as it is done and not kept."""
    parts = []
    for batch in batches:
        base = done

        def step(finished: int, base: int = base) -> None:
            if report is not None:
                report(base + finished, total)

        try:
            columns = job.compute(batch, step if report is not None else None)
        except BatchInterrupted as interrupted:
            if write is not None and interrupted.done > 0:
                write(interrupted.columns)
            raise
        if write is None:
            parts.append(columns)
        else:
            write(columns)
        done += job.size(batch)
    return parts


def _distributed(
    client: Any,
    job: Job,
    batches: list[Any],
    total: int,
    report: _Reporter,
    write: _Writer = None,
    done: int = 0,
) -> list[dict[str, Any]]:
    futures = [client.submit(_batch_frame, job, batch, pure=False) for batch in batches]
    if report is not None:
        report(done, total)
    # Written in the order of the functions, each batch as soon as those before it are.
    position = {future.key: i for i, future in enumerate(futures)}
    arrived: set[int] = set()
    written = 0
    for future in finished(client, futures):
        if write is None:
            done += job.size(batches[position[future.key]])
            if report is not None:
                report(done, total)
            continue
        arrived.add(position[future.key])
        while written in arrived:
            write(_columns_of(futures[written].result()))
            futures[written].release()
            done += job.size(batches[written])
            written += 1
            if report is not None:
                report(done, total)
    if write is not None:
        return []
    return [_columns_of(frame) for frame in client.gather(futures)]
