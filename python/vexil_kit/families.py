"""Standard families of Boolean functions, built as whole tables with NumPy, a chunk of inputs at a time."""

from __future__ import annotations

import operator

import numpy as np

from . import _checks, _tables


def constant(cls, n, value):
    """The constant function of n variables with the given value (a bool or 0/1).

    >>> BooleanFunction.constant(2, 1).table
    array([ True,  True,  True,  True])
    """
    n = _checks.num_vars(n)
    value = _checks.bit(value, "value")
    _tables.reserve(1 << n)
    return cls._wrap(np.full(1 << n, value, dtype=np.bool_))


def dictator(cls, n, i):
    """The function x -> x_i of n variables; 0 <= i < n (ValueError otherwise).

    >>> BooleanFunction.dictator(2, 1).table
    array([False, False,  True,  True])
    """
    n = _checks.num_vars(n)
    i = operator.index(i)
    if not 0 <= i < n:
        raise ValueError(f"variable {i} is outside [0, {n})")
    return cls._wrap(_tables.tabulate(n, lambda xs: xs >> i & 1))


def conjunction(cls, n):
    """The AND of n variables; for n = 0 the empty AND, true.

    >>> BooleanFunction.conjunction(3).weight(), BooleanFunction.conjunction(0)[0]
    (1, True)
    """
    n = _checks.num_vars(n)
    _tables.reserve(1 << n)
    table = np.zeros(1 << n, dtype=np.bool_)
    table[-1] = True
    return cls._wrap(table)


def disjunction(cls, n):
    """The OR of n variables; for n = 0 the empty OR, false.

    >>> BooleanFunction.disjunction(3).weight(), BooleanFunction.disjunction(0)[0]
    (7, False)
    """
    n = _checks.num_vars(n)
    _tables.reserve(1 << n)
    table = np.ones(1 << n, dtype=np.bool_)
    table[0] = False
    return cls._wrap(table)


def xor(cls, n):
    """The odd parity of n variables (true when an odd number are one); false for n = 0.

    The complement of ``vexil.Vexil.parity(n)``, which is even parity.

    >>> BooleanFunction.xor(2).table
    array([False,  True,  True, False])
    """
    n = _checks.num_vars(n)
    return cls._wrap(_tables.tabulate(n, lambda xs: _tables.ones(xs, n) & 1))


def threshold(cls, n, k):
    """True when at least k of the n variables are one; k >= 0 (k = 0: constant true, k > n: false).

    >>> BooleanFunction.threshold(3, 2) == BooleanFunction.majority(3)
    True
    >>> BooleanFunction.threshold(2, 3).weight()
    0
    """
    n = _checks.num_vars(n)
    k = _checks.count(k, "k")
    return cls._wrap(_tables.tabulate(n, lambda xs: _tables.ones(xs, n) >= k))


def majority(cls, n):
    """True when more than n/2 of the n variables are one; a tie (even n) is false, n = 0 is false.

    The same table as ``vexil.Vexil.majority(n)``; equal to ``threshold(n, n // 2 + 1)``.

    >>> [x for x in range(8) if BooleanFunction.majority(3)[x]]
    [3, 5, 6, 7]
    """
    n = _checks.num_vars(n)
    return threshold(cls, n, n // 2 + 1)


def tribes(cls, width, count):
    """The OR of ``count`` ANDs, each over a block of ``width`` consecutive variables; n = width * count.

    Block j holds variables j*width .. j*width + width - 1. With count = 0 it is the
    empty OR (false, n = 0); with width = 0 and count >= 1 each empty AND is true.

    >>> BooleanFunction.tribes(2, 2) == BooleanFunction.from_expression("x0 & x1 | x2 & x3")
    True
    """
    width = _checks.count(width, "width")
    count = _checks.count(count, "count")
    n = _checks.num_vars(width * count, "width * count")
    block = (1 << width) - 1

    def rule(xs):
        # Each empty AND (width 0) is true; the empty OR (count 0) is false.
        values = np.full(xs.shape, width == 0 and count > 0, dtype=np.bool_)
        for j in range(count if width else 0):
            values |= (xs >> (j * width) & block) == block
        return values

    return cls._wrap(_tables.tabulate(n, rule))


def inner_product(cls, n):
    """x0 x1 XOR x2 x3 XOR ... over n variables; n must be even (ValueError otherwise); false for n = 0.

    >>> BooleanFunction.inner_product(4) == BooleanFunction.from_expression("x0 & x1 ^ x2 & x3")
    True
    """
    n = _checks.num_vars(n)
    if n % 2:
        raise ValueError(f"the inner product needs an even number of variables, got {n}")

    def rule(xs):
        values = np.zeros(xs.shape, dtype=np.bool_)
        for j in range(0, n, 2):
            values ^= (xs >> j & 3) == 3
        return values

    return cls._wrap(_tables.tabulate(n, rule))


def address(cls, k):
    """The address (multiplexer) function: k address bits select one of 2**k data bits.

    The address a is formed by variables 0..k-1; the result is variable k + a, so
    n = k + 2**k. For k = 0 it is the dictator of variable 0.

    >>> f = BooleanFunction.address(1)      # x1 if x0 == 0 else x2
    >>> f.n, f([1, 0, 1]), f([0, 0, 1])
    (3, True, False)
    """
    k = _checks.count(k, "k")
    if k > 5:
        raise ValueError(f"address({k}) would have {k + (1 << k)} variables; k must be at most 5")
    n = k + (1 << k)
    return cls._wrap(_tables.tabulate(n, lambda xs: xs >> (k + (xs & ((1 << k) - 1))) & 1))
