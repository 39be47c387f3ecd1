"""Variable-level operations on BooleanFunction: restriction, permutation, derivative, extension.

Each works on the table reshaped to one axis of length 2 per variable; in that C-ordered
view variable v is axis n - 1 - v.
"""

from __future__ import annotations

import operator

import numpy as np

from . import _checks


def _cube(f) -> np.ndarray:
    return f.table.reshape((2,) * f.n)


def restrict(self, assignment):
    """Fix some variables: ``{var: value}`` -> the function of the remaining variables.

    The remaining variables keep their order and are renumbered 0, 1, ... from the lowest.
    Keys must be distinct variables in [0, n) and values bools or 0/1 (ValueError
    otherwise); an empty mapping returns an equal function, fixing all n gives n = 0.

    >>> f = BooleanFunction.from_expression("x0 & x2 | x1")
    >>> f.restrict({1: 0}) == BooleanFunction.from_expression("x0 & x1")
    True
    >>> f.restrict({0: 1, 1: 0, 2: 1})[0]
    True
    """
    n = self.n
    index = [slice(None)] * n
    for var, value in dict(assignment).items():
        v = operator.index(var)
        if not 0 <= v < n:
            raise ValueError(f"variable {v} is outside [0, {n})")
        index[n - 1 - v] = int(_checks.bit(value, f"the value of variable {v}"))
    sub = _cube(self)[tuple(index)]
    return self._wrap(np.array(sub, dtype=np.bool_).reshape(-1))


def permute(self, perm):
    """Rename the variables: variable v of f becomes variable ``perm[v]`` of the result.

    ``perm`` must hold each of 0..n-1 exactly once (ValueError otherwise). So
    g = f.permute(p) satisfies g(y) = f(x) where bit p[v] of y equals bit v of x.

    >>> BooleanFunction.dictator(3, 0).permute([2, 0, 1]) == BooleanFunction.dictator(3, 2)
    True
    """
    n = self.n
    perm = [operator.index(p) for p in perm]
    if sorted(perm) != list(range(n)):
        raise ValueError(f"{perm} is not a permutation of range({n})")
    inverse = [0] * n
    for v, w in enumerate(perm):
        inverse[w] = v
    axes = [n - 1 - inverse[n - 1 - i] for i in range(n)]
    return self._wrap(np.transpose(_cube(self), axes).reshape(-1))


def derivative(self, u):
    """The derivative in direction u: the function x -> f(x) XOR f(x XOR u).

    ``u`` is a mask in [0, 2**n) (ValueError otherwise); u = 0 gives the constant false.

    >>> f = BooleanFunction.conjunction(2)
    >>> f.derivative(1) == BooleanFunction.dictator(2, 1)
    True
    """
    u = operator.index(u)
    if not 0 <= u < len(self):
        raise ValueError(f"direction {u} is outside [0, {len(self)})")
    axes = tuple(self.n - 1 - v for v in range(self.n) if u >> v & 1)
    shifted = np.flip(_cube(self), axes).reshape(-1) if axes else self.table
    return self._wrap(self.table ^ shifted)


def extend(self, m):
    """The same function seen as one of m >= n variables; variables n..m-1 are ignored.

    ValueError when m < n.

    >>> BooleanFunction.dictator(1, 0).extend(2) == BooleanFunction.dictator(2, 0)
    True
    """
    m = _checks.num_vars(m, "m")
    if m < self.n:
        raise ValueError(f"cannot extend a function of {self.n} variables to {m}")
    return self._wrap(np.tile(self.table, 1 << (m - self.n)))
