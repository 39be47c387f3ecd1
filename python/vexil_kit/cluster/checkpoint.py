"""A run's finished chunks kept on disk, so that a run stopped for any reason resumes where it stopped.

The directory holds the manifest (the function's digest, the measure and the chunks) and one
``.npz`` file per finished chunk; each file is written under a temporary name and renamed, so it
is either there whole or not at all.
"""

from __future__ import annotations

import contextlib
import fcntl
import hashlib
import json
import os
import tempfile
from collections.abc import Callable, Sequence
from pathlib import Path
from typing import IO, Any

import numpy as np
import numpy.typing as npt

from .._arguments import Table
from .plan import Chunk, Stage, tiles

FORMAT = "vexil_kit.cluster checkpoint 1"
MANIFEST = "manifest.json"
TEMP_PREFIX = ".partial-"
#: Held (flock) by the run using the directory, so that a second run is refused instead of
#: deleting the first one's files in flight.
LOCK = ".lock"


def digest(n: int, table: Table) -> str:
    """The SHA-256 of a function: n, then its packed table.

    >>> digest(1, np.array([False, True]))[:16]
    '16305a6b2292e931'
    """
    packed = np.packbits(table, bitorder="little").tobytes()
    return hashlib.sha256(n.to_bytes(2, "little") + packed).hexdigest()


def write_atomically(directory: Path, name: str, write: Callable[[IO[bytes]], object]) -> None:
    """Writes a file that either exists whole or not at all: a temporary name, then a rename."""
    handle = tempfile.NamedTemporaryFile(dir=directory, prefix=TEMP_PREFIX, delete=False)
    try:
        with handle:
            write(handle)
            handle.flush()
            os.fsync(handle.fileno())
        os.replace(handle.name, directory / name)
    except BaseException:
        with contextlib.suppress(OSError):
            os.unlink(handle.name)
        raise


class Checkpoint:
    """A directory holding the manifest (function, measure, chunks) and one file per finished chunk."""

    def __init__(self, path: str | os.PathLike[str], header: dict[str, Any], walks: Sequence[Stage]) -> None:
        self.path = Path(path)
        self.header = header
        self.plan: list[Chunk] | None = None
        self.path.mkdir(parents=True, exist_ok=True)
        self._lock: int | None = os.open(self.path / LOCK, os.O_RDWR | os.O_CREAT | os.O_CLOEXEC, 0o644)
        try:
            fcntl.flock(self._lock, fcntl.LOCK_EX | fcntl.LOCK_NB)
        except BlockingIOError:
            self.close()
            raise RuntimeError(
                f"another run is using the checkpoint at {self.path}: "
                "wait for it to finish, or choose another directory"
            ) from None
        try:
            self._open(walks)
        except BaseException:
            self.close()
            raise

    def close(self) -> None:
        """Releases the directory's lock (the lock file stays, empty)."""
        if self._lock is not None:
            os.close(self._lock)
            self._lock = None

    def __enter__(self) -> Checkpoint:
        return self

    def __exit__(self, *exc: object) -> None:
        self.close()

    def _open(self, walks: Sequence[Stage]) -> None:
        header = self.header
        manifest = self.path / MANIFEST
        if not manifest.exists():
            if any(not entry.name.startswith(TEMP_PREFIX) and entry.name != LOCK for entry in self.path.iterdir()):
                raise ValueError(f"{self.path} holds files but no checkpoint manifest: choose an empty directory")
            return
        try:
            stored = json.loads(manifest.read_text())
            plan = [Chunk(*map(int, chunk)) for chunk in stored["chunks"]]
            fields = {key: stored[key] for key in header}
        except (OSError, ValueError, KeyError, TypeError) as error:
            raise ValueError(f"{manifest} is not a readable checkpoint manifest: {error}") from error
        if fields != header:
            what = ", ".join(f"{key} {stored[key]!r}" for key in header if stored[key] != header[key])
            raise ValueError(f"the checkpoint at {self.path} belongs to another computation ({what})")
        if not tiles(plan, walks):
            raise ValueError(f"{manifest} lists chunks that do not cover the ranks")
        self.plan = plan
        # Left by a run killed while it wrote.
        for entry in self.path.glob(TEMP_PREFIX + "*"):
            with contextlib.suppress(OSError):
                entry.unlink()

    def start(self, plan: list[Chunk]) -> None:
        self.plan = plan
        manifest = dict(self.header, chunks=[list(chunk) for chunk in plan])
        write_atomically(self.path, MANIFEST, lambda handle: handle.write(json.dumps(manifest).encode()))

    @staticmethod
    def _name(index: int) -> str:
        return f"chunk-{index:06d}.npz"

    def load(self, index: int, chunk: Chunk, shapes: Sequence[int]) -> tuple[npt.NDArray[Any], ...] | None:
        """The stored arrays of a chunk, or None when it is missing (or unreadable: computed again)."""
        path = self.path / self._name(index)
        if not path.exists():
            return None
        try:
            with np.load(path, allow_pickle=False) as stored:
                if [int(x) for x in stored["chunk"]] != list(chunk):
                    return None
                arrays = tuple(stored[f"arr_{i}"] for i in range(len(shapes)))
        except Exception:  # noqa: BLE001 - whatever is wrong with the file, the chunk is computed again
            return None
        if [a.shape for a in arrays] != [(size,) for size in shapes]:
            return None
        return arrays

    def save(self, index: int, chunk: Chunk, arrays: tuple[npt.NDArray[Any], ...]) -> None:
        write_atomically(
            self.path,
            self._name(index),
            lambda handle: np.savez(handle, *arrays, chunk=np.array(chunk, dtype=np.uint64)),
        )
