"""Whole truth tables built in NumPy a chunk of inputs at a time, without running out of memory.

A table of 2**n entries takes 2**n bytes; the int64 inputs and temporaries of a NumPy rule take
eight times that and more. Rules are therefore evaluated over the inputs in chunks, and the memory
a build needs is checked before it allocates, so that a table too large raises MemoryError naming
the size needed and the size available instead of exhausting the machine.
"""

from __future__ import annotations

from collections.abc import Callable

import numpy as np
import numpy.typing as npt

from . import _native

#: Inputs evaluated at once: 8 MiB of int64, a few of them for a rule's temporaries.
CHUNK = 1 << 20

#: A rule's working memory per input of a chunk: the int64 inputs and a few temporaries.
_CHUNK_BYTES_PER_INPUT = 64


def reserve(nbytes: int) -> None:
    """MemoryError unless ``nbytes`` of working memory can be had now."""
    _native.ensure_working_set(nbytes)


def tabulate(n: int, rule: Callable[[npt.NDArray[np.int64]], npt.ArrayLike]) -> npt.NDArray[np.bool_]:
    """The bool table of 2**n entries whose entries x in each chunk are ``rule(xs)`` (xs the int64 inputs)."""
    size = 1 << n
    reserve(size + _CHUNK_BYTES_PER_INPUT * min(size, CHUNK))
    table = np.empty(size, dtype=np.bool_)
    for start in range(0, size, CHUNK):
        stop = min(size, start + CHUNK)
        table[start:stop] = rule(np.arange(start, stop, dtype=np.int64))
    return table


def ones(xs: npt.NDArray[np.int64], n: int) -> npt.NDArray[np.int64]:
    """The number of one bits among the low n bits of each input."""
    if hasattr(np, "bitwise_count"):
        return np.bitwise_count(xs).astype(np.int64)
    counts = np.zeros(xs.shape, dtype=np.int64)
    for v in range(n):
        counts += xs >> v & 1
    return counts
