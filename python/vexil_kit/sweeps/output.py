"""A sweep's file, written batch by batch: Parquet (one row group a batch) or CSV, chosen by the extension.

Rows go to ``PATH.partial`` as they are computed. When the sweep ends the file is fsynced and renamed onto
``PATH``; when it fails or is interrupted, the rows done stay in ``PATH.partial`` (a complete file), and the
same sweep run again takes them from there and computes only the rest. A partial file is taken only when its
columns are those of the sweep and its ``hex`` column is that of the sweep's first functions.

Column types are fixed from the measures before anything is computed: integers as int64 (pandas' nullable
Int64 where some functions fall outside the measure's variable limit), reals as float64, booleans as bool,
lists of numbers as lists, and objects as text: functions as their ``to_hex()``, circuits as their
expression, pairs, records and value -> count dicts as JSON. Exact integers that may not fit in int64
(``sum_of_squares_indicator`` from 21 variables on) are stored as their decimal text. In CSV, lists are
JSON text as well.
"""

from __future__ import annotations

import contextlib
import csv
import json
import os
from collections.abc import Callable, Iterator, Sequence
from typing import Any

import numpy as np

from .. import registry
from .._files import check_folder
from ..circuits import Circuit
from ..decision_trees import DecisionTree
from ..function import BooleanFunction

FORMATS = {".parquet": "parquet", ".csv": "csv"}

#: Measures whose exact integer values may exceed int64, with the smallest n where they may.
WIDE_INTEGERS = {"sum_of_squares_indicator": 21}

#: Column kinds: the pandas dtype a column gets, or TEXT, INTEGERS and REALS (object columns of str and of lists).
TEXT = "text"
#: The element type of a list column: integers or reals.
INTEGERS = "list:int64"
REALS = "list:float64"


def file_format(path: Any) -> str:
    """The format of ``path`` from its extension, "parquet" or "csv"; ValueError for any other."""
    suffix = os.path.splitext(os.fspath(path))[1].lower()
    if suffix not in FORMATS:
        raise ValueError(f"cannot tell the format of {os.fspath(path)!r}: end it with .parquet or .csv")
    return FORMATS[suffix]


def check_path(path: Any) -> str:
    """The format of ``path``, after checking that it can be written (before any work)."""
    kind = file_format(path)
    check_folder(path)
    return kind


def column_kind(method: str | None, ns: Sequence[int]) -> str | None:
    """The stored kind of a measure's column for functions of the sizes ``ns``; None for a callable
    (taken from its first values)."""
    if method is None:
        return None
    info = registry.find("function", method)
    if info is None:
        return None
    return measure_kind(info, any(info.excludes(n) is not None for n in ns), ns)


def measure_kind(info: registry.MeasureInfo, some_excluded: bool, ns: Sequence[int] = ()) -> str:
    """The stored kind of a registry measure's column: nullable where it does not apply to some items
    (``some_excluded``), of functions of the sizes ``ns``."""
    if info.kind == "integer":
        if info.subject == "function" and info.name in WIDE_INTEGERS and ns and max(ns) >= WIDE_INTEGERS[info.name]:
            return TEXT
        return "Int64" if some_excluded else "int64"
    if info.kind == "real":
        return "float64"
    if info.kind == "boolean":
        return "boolean" if some_excluded else "bool"
    if info.kind == "integers":
        return INTEGERS
    if info.kind == "reals":
        return REALS
    return TEXT


def infer_kind(values: Any) -> str:
    """The stored kind of a callable's column, from its first batch's values."""
    if isinstance(values, np.ndarray) and values.dtype != object:
        return str(values.dtype)
    present = [v for v in values if v is not None]
    if present and all(isinstance(v, (bool, np.bool_)) for v in present):
        return "boolean"
    if present and all(isinstance(v, (int, np.integer)) and not isinstance(v, (bool, np.bool_)) for v in present):
        return "Int64" if all(-(1 << 63) <= int(v) < 1 << 63 for v in present) else TEXT
    if present and all(isinstance(v, (int, float, np.integer, np.floating)) for v in present):
        return "float64"
    if present and all(isinstance(v, (list, tuple, np.ndarray)) for v in present):
        flat = [x for v in present for x in v]
        if all(isinstance(x, (int, np.integer)) and not isinstance(x, (bool, np.bool_)) for x in flat):
            return INTEGERS
        if all(isinstance(x, (int, float, np.integer, np.floating)) and not isinstance(x, bool) for x in flat):
            return REALS
    return TEXT


def plain(value: Any) -> Any:
    """A value as JSON-ready data: functions as hex, circuits as expressions, arrays and tuples as lists."""
    if isinstance(value, BooleanFunction):
        return value.to_hex()
    if isinstance(value, Circuit):
        return value.to_expression()
    if isinstance(value, DecisionTree):
        return value.to_json()
    if isinstance(value, np.ndarray):
        return value.tolist()
    if isinstance(value, np.generic):
        return value.item()
    if isinstance(value, (list, tuple)):
        return [plain(v) for v in value]
    return value


def text(value: Any) -> str | None:
    """A value's text form: hex for functions, the expression for circuits, decimal for integers, JSON else."""
    if value is None:
        return None
    value = plain(value)
    return value if isinstance(value, str) else str(value) if isinstance(value, int) else json.dumps(value)


def stored(values: Any, kind: str) -> Any:
    """A column's values in its stored kind, for the file (and for a frame read back alike)."""
    import pandas as pd  # type: ignore[import-untyped, unused-ignore]

    if kind == TEXT:
        return pd.array([text(v) for v in _listed(values)], dtype=object)
    if kind in (INTEGERS, REALS):
        return pd.array([None if v is None else plain(v) for v in _listed(values)], dtype=object)
    if isinstance(values, np.ndarray) and str(values.dtype) == kind:
        return values
    try:
        return pd.array(_listed(values), dtype=kind)
    except (TypeError, ValueError, OverflowError) as error:
        raise ValueError(f"a value does not fit its column of {kind}: {error}") from None


def _listed(values: Any) -> list[Any]:
    return values.tolist() if isinstance(values, np.ndarray) else list(values)


class SweepFile:
    """The file of one sweep: the rows already in ``PATH.partial``, and a writer for the rest."""

    def __init__(
        self, path: Any, columns: Sequence[str], description: str, total: int, key: str = "hex", fixed: int = 2
    ) -> None:
        """``key``: the column that tells the items apart (checked on resuming); ``fixed``: how many
        columns come before the measures."""
        self.path = os.fspath(path)
        self.format = check_path(self.path)
        self.partial = self.path + ".partial"
        self.columns = list(columns)
        self.key = key
        self.metadata = {"source": description, "measures": self.columns[fixed:], "functions": total}
        self.kinds: dict[str, str] | None = None
        self.written = 0

    # -- resuming ----------------------------------------------------------------------------------

    def earlier_rows(self, first_keys: Callable[[int], list[str]]) -> Any:
        """The rows a partial file of this same sweep holds (a DataFrame), or None.

        ``first_keys(k)``: the key column (``hex``, or an S-box's ``name``) of the sweep's first k items,
        to check the file is this sweep's; a Parquet file's source must be the sweep's as well.
        """
        if not os.path.exists(self.partial):
            return None
        try:
            frame = self._read(self.partial)
        except Exception:  # noqa: BLE001 - an unreadable partial file is started afresh
            return None
        if frame.columns.tolist() != self.columns or frame[self.key].astype(str).tolist() != first_keys(len(frame)):
            return None
        if self.format == "parquet" and self._source(self.partial) != self.metadata["source"]:
            return None
        return frame

    @staticmethod
    def _source(path: str) -> Any:
        import pyarrow.parquet as pq  # type: ignore[import-untyped, unused-ignore]

        metadata = pq.read_schema(path).metadata or {}
        return json.loads(metadata.get(b"vexil", b"{}")).get("source")

    def _read(self, path: str) -> Any:
        import pandas as pd  # type: ignore[import-untyped, unused-ignore]

        if self.format == "parquet":
            return pd.read_parquet(path)
        return pd.read_csv(path, dtype=str, keep_default_na=False)

    def read(self) -> Any:
        """The finished file as a DataFrame."""
        if self.format == "parquet":
            import pandas as pd  # type: ignore[import-untyped, unused-ignore]

            return pd.read_parquet(self.path)
        return self._read_csv(self.path)

    def _read_csv(self, path: str) -> Any:
        import pandas as pd  # type: ignore[import-untyped, unused-ignore]

        return pd.read_csv(path, keep_default_na=False, na_values=[""])

    # -- writing -----------------------------------------------------------------------------------

    @contextlib.contextmanager
    def writer(self, kinds: dict[str, str | None], earlier: Any) -> Iterator[Callable[[dict[str, Any]], None]]:
        """Yields ``write(columns)`` for each batch in order. When the block ends the file is fsynced and
        renamed onto PATH; when it fails, the rows done are kept in PATH.partial (an earlier PATH.partial
        stays when no row was done) and the error gets a note saying so."""
        from .._files import atomic_output

        self.kinds = {k: v for k, v in kinds.items() if v is not None}
        state: dict[str, Any] = {"writer": None, "handle": None}
        error: BaseException | None = None
        with atomic_output(self.partial) as temporary:
            try:
                if earlier is not None and len(earlier):
                    self._copy_earlier(temporary, earlier, state)
                yield lambda columns: self._write(temporary, columns, state)
                if state["writer"] is None:  # no functions: the file still has its columns
                    self._write(temporary, {name: [] for name in self.columns}, state)
            except BaseException as caught:  # noqa: B036 - Ctrl-C keeps the rows done as well
                error = caught
            finally:
                self._close(state)
            if error is not None and not self.written:
                raise error
        if error is not None:
            error.add_note(
                f"{self.written:,} rows are kept in {self.partial}; the same sweep run again computes only the rest"
            )
            raise error
        os.replace(self.partial, self.path)

    def _copy_earlier(self, temporary: str, earlier: Any, state: dict[str, Any]) -> None:
        columns = {name: earlier[name].tolist() for name in self.columns}
        if self.format == "csv":
            columns = {name: [None if v == "" else v for v in values] for name, values in columns.items()}
        self._write(temporary, columns, state, raw=self.format == "csv")

    def _frame(self, columns: dict[str, Any], raw: bool) -> Any:
        import pandas as pd  # type: ignore[import-untyped, unused-ignore]

        assert self.kinds is not None
        data = {}
        for name in self.columns:
            values = columns[name]
            if name not in self.kinds:
                self.kinds[name] = infer_kind(values)
            kind = self.kinds[name]
            if raw:
                data[name] = pd.array(_listed(values), dtype=object)
            elif self.format == "csv" and kind in (INTEGERS, REALS):
                data[name] = stored(values, TEXT)
            else:
                data[name] = stored(values, kind)
        return pd.DataFrame(data)

    def _write(self, temporary: str, columns: dict[str, Any], state: dict[str, Any], raw: bool = False) -> None:
        frame = self._frame(columns, raw)
        if self.format == "parquet":
            import pyarrow as pa  # type: ignore[import-untyped, unused-ignore]
            import pyarrow.parquet as pq  # type: ignore[import-untyped, unused-ignore]

            if state["writer"] is None:
                # pandas' types for the typed columns; the object columns' types come from their kinds, not
                # from a first batch that may hold no value.
                inferred = pa.Schema.from_pandas(frame, preserve_index=False)
                arrow = {TEXT: pa.string(), INTEGERS: pa.list_(pa.int64()), REALS: pa.list_(pa.float64())}
                kinds = self.kinds or {}
                fields = [
                    pa.field(field.name, arrow[kinds[field.name]]) if kinds.get(field.name, "") in arrow else field
                    for field in inferred
                ]
                metadata = {**(inferred.metadata or {}), b"vexil": json.dumps(self.metadata)}
                schema = pa.schema(fields, metadata=metadata)
                state["schema"] = schema
                state["writer"] = pq.ParquetWriter(temporary, schema)
            table = pa.Table.from_pandas(frame, schema=state["schema"], preserve_index=False)
            state["writer"].write_table(table)
        else:
            if state["handle"] is None:
                handle = open(temporary, "w", newline="", encoding="utf-8")  # noqa: SIM115 - closed by _close
                state["handle"] = handle
                state["writer"] = csv.writer(handle)
                state["writer"].writerow(self.columns)
            missing = pd_na()
            cells = [["" if v is None or v is missing else v for v in frame[c].tolist()] for c in self.columns]
            state["writer"].writerows(zip(*cells, strict=True))
            state["handle"].flush()
        self.written += len(frame)

    def _close(self, state: dict[str, Any]) -> None:
        if self.format == "parquet":
            if state["writer"] is not None:
                state["writer"].close()
                state["writer"] = None
        elif state["handle"] is not None:
            state["handle"].close()
            state["handle"] = None


def pd_na() -> Any:
    import pandas as pd  # type: ignore[import-untyped, unused-ignore]

    return pd.NA
