"""NPN canonical forms of tables of at most six variables.

Two functions are NPN-equivalent when one becomes the other by permuting and negating inputs and
negating the output. The representative of a class is its member with the smallest table read as
a number (``to_int()``, entry x the bit of weight 2**x). At five variables this is the
representative the gate database keys its classes by (``npn_representant``); the database's
canonisation computes it there, and a walk over all 2**(n+1) n! transforms does elsewhere.
"""

from __future__ import annotations

from typing import NamedTuple

import numpy as np
import numpy.typing as npt

from . import _arguments, _native
from ._arguments import Table

#: The most variables ``npn_canonical`` takes.
MAX_VARS = 6
#: The most variables ``class_tables`` takes.
MAX_CLASS_VARS = 4


class NpnTransform(NamedTuple):
    """A transform r = T(f) of functions of n variables:

        r(x) = f(y) XOR output_negation,  where y[permutation[i]] = x[i] XOR bit i of input_negation,

    that is variable i of r is variable ``permutation[i]`` of f, negated when bit i of
    ``input_negation`` is set.
    """

    permutation: tuple[int, ...]
    input_negation: int
    output_negation: bool

    def apply(self, table: npt.ArrayLike) -> Table:
        """The table of T(f) for the table of f (its length 2**len(permutation))."""
        table = np.asarray(table, dtype=np.bool_)
        n = len(self.permutation)
        if sorted(self.permutation) != list(range(n)) or not 0 <= self.input_negation < 1 << n:
            raise ValueError(f"not a transform of {n} variables: {self!r}")
        if table.shape != (1 << n,):
            raise ValueError(f"a transform of {n} variables applies to tables of {1 << n} entries")
        x = np.arange(1 << n, dtype=np.int64)
        y = np.zeros_like(x)
        for i, p in enumerate(self.permutation):
            y |= (((x >> i) ^ (self.input_negation >> i)) & 1) << p
        out = table[y] ^ bool(self.output_negation)
        out.setflags(write=False)
        return out


def _table_of_word(word: int, n: int) -> Table:
    table = np.array([(word >> x) & 1 for x in range(1 << n)], dtype=np.bool_)
    table.setflags(write=False)
    return table


def npn_canonical(table: Table) -> tuple[Table, NpnTransform]:
    """The representative of f's class and a transform taking f to it; n <= 6 (ValueError above)."""
    n = _arguments.log2(len(table))
    if n > MAX_VARS:
        raise ValueError(f"npn_canonical: functions of at most {MAX_VARS} variables; this one has {n}")
    word, perm, mask, output = _native.npn_canonical(table)
    return _table_of_word(word, n), NpnTransform(perm, mask, output)


def class_tables(n: int) -> list[Table]:
    """The representatives of all NPN classes of n <= 4 variables, in increasing order of ``to_int()``."""
    n = _arguments.num_vars(n)
    if n > MAX_CLASS_VARS:
        raise ValueError(f"npn classes are listed for at most {MAX_CLASS_VARS} variables, not {n}")
    return [_table_of_word(word, n) for word in _native.npn_class_words(n)]
