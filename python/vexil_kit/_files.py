"""Writing output files so that a crash or a failed write never leaves a good earlier file destroyed."""

from __future__ import annotations

import contextlib
import os
import tempfile
from collections.abc import Iterator


def _fsync_folder(folder: str) -> None:
    # The rename is durable only once the folder's entry is on disk.
    try:
        fd = os.open(folder, os.O_RDONLY)
    except OSError:
        return
    try:
        os.fsync(fd)
    except OSError:
        pass
    finally:
        os.close(fd)


def _mode(target: str) -> int:
    """The permissions the file gets: those of the file it replaces, else what open() would give."""
    try:
        return os.stat(target).st_mode & 0o7777
    except OSError:
        umask = os.umask(0)
        os.umask(umask)
        return 0o666 & ~umask


@contextlib.contextmanager
def atomic_output(path: str | os.PathLike[str], suffix: str = "") -> Iterator[str]:
    """A temporary path in the folder of ``path`` to write to; on leaving without an exception it is
    fsynced and renamed onto ``path``, otherwise removed, and ``path`` keeps what it held.

    ``suffix`` ends the temporary name (some writers pick the format from it).

    >>> import os, tempfile
    >>> folder = tempfile.mkdtemp()
    >>> target = os.path.join(folder, "a.txt")
    >>> with atomic_output(target) as temporary:
    ...     _ = open(temporary, "w").write("done")
    >>> open(target).read(), os.listdir(folder)
    ('done', ['a.txt'])
    """
    target = os.fspath(path)
    folder = os.path.dirname(os.path.abspath(target))
    check_folder(target)
    fd, temporary = tempfile.mkstemp(prefix=f".{os.path.basename(target)}.", suffix=suffix + ".tmp", dir=folder)
    os.close(fd)
    os.chmod(temporary, _mode(target))
    try:
        yield temporary
        with open(temporary, "rb+") as handle:
            os.fsync(handle.fileno())
        os.replace(temporary, target)
    except BaseException:
        with contextlib.suppress(OSError):
            os.unlink(temporary)
        raise
    _fsync_folder(folder)


def check_folder(path: str | os.PathLike[str]) -> None:
    """Raises OSError with a plain message when ``path`` cannot be written: its folder is missing or
    not writable, or it is a folder itself. Called before long work, so that it fails at once."""
    target = os.fspath(path)
    folder = os.path.dirname(os.path.abspath(target))
    if not os.path.isdir(folder):
        raise OSError(f"cannot write {target}: the folder {folder} does not exist")
    if os.path.isdir(target):
        raise OSError(f"cannot write {target}: it is a folder")
    if not os.access(folder, os.W_OK | os.X_OK):
        raise OSError(f"cannot write {target}: the folder {folder} is not writable")
