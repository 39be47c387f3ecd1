"""A sweep's table as a Parquet file, with what the sweep measured kept in the file's metadata."""

from __future__ import annotations

import json
from typing import Any

from .._files import atomic_output


def write_parquet(frame: Any, path: Any, metadata: dict[str, Any] | None = None) -> None:
    """Writes a sweep's DataFrame to a Parquet file (pyarrow), with ``metadata`` under the key ``vexil``;
    the file is written aside and renamed into place, so a failed write leaves an earlier file whole.

    >>> import pandas as pd, tempfile, os
    >>> from vexil_kit.sweeps import sweep
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
    with atomic_output(path) as temporary:
        pq.write_table(table, temporary)


def read_metadata(path: Any) -> dict[str, Any]:
    """The ``vexil`` metadata a sweep wrote into its Parquet file ({} when there is none).

    >>> import tempfile, os
    >>> from vexil_kit.sweeps import family, sweep
    >>> path = os.path.join(tempfile.mkdtemp(), "m.parquet")
    >>> frame = sweep(family("xor", [2, 3]), ["degree"], out=path)
    >>> read_metadata(path)["measures"], read_metadata(path)["functions"]
    (['degree'], 2)
    """
    import pyarrow.parquet as pq  # type: ignore[import-untyped, unused-ignore]

    metadata = pq.read_schema(path).metadata or {}
    text = metadata.get(b"vexil")
    return json.loads(text) if text else {}
