"""Decision trees as objects: a shallowest tree of a truth table, and the least number of leaves.

``decision_tree`` builds a tree of depth D(f) from the core's dynamic programming over the 3**r
subcubes of the r variables f depends on: at each node the lowest variable whose two subtrees keep
the depth optimal. ``decision_tree_size`` is the least number of leaves of any tree computing f (of
any depth), by the same kind of programme over all 3**n subcubes, for n <= 10.

>>> table = np.array([0, 1, 0, 1, 0, 0, 1, 1], dtype=bool)   # x2 ? x1 : x0
>>> tree = decision_tree(table)
>>> tree
DecisionTree(n=3, depth=2, size=4)
>>> [tree.evaluate(x) for x in range(8)] == table.tolist()
True
>>> decision_tree_size(table)
4
"""

from __future__ import annotations

import json
from collections.abc import Iterable
from dataclasses import dataclass, field
from typing import Any

from . import _arguments, _native, display, registry
from ._arguments import Table
from .progress import Progress, reporter

#: The largest n of ``decision_tree_size`` (3**n subcubes).
DECISION_TREE_SIZE_MAX_VARS = 10

# Node codes in preorder: a variable read (its 0 branch follows, then its 1 branch), or a leaf.
_FALSE_LEAF = 64
_TRUE_LEAF = 65


@dataclass(frozen=True)
class DecisionTree:
    """A decision tree on n variables: each inner node reads one variable and goes to its 0 or its 1
    branch, each leaf is a constant.

    ``codes`` lists the nodes in preorder: a variable v (0 <= v < 64) for a node that reads it,
    followed by its 0 branch and then its 1 branch; 64 for a false leaf, 65 for a true one.

    >>> t = DecisionTree(2, (0, 64, 1, 64, 65))     # x0 & x1
    >>> t.depth, t.size, t.evaluate(0b11), t.evaluate([1, 0])
    (2, 3, True, False)
    >>> DecisionTree.from_json(t.to_json()) == t
    True
    """

    n: int
    codes: tuple[int, ...]
    # For each node: where its 1 branch starts (inner nodes), and the height of its subtree.
    _high: tuple[int, ...] = field(init=False, repr=False, compare=False)
    _height: tuple[int, ...] = field(init=False, repr=False, compare=False)

    def __post_init__(self) -> None:
        n = _arguments.num_vars(self.n)
        codes = tuple(int(c) for c in self.codes)
        count = len(codes)
        end = [0] * count
        high = [0] * count
        height = [0] * count
        for k in range(count - 1, -1, -1):
            code = codes[k]
            if code in (_FALSE_LEAF, _TRUE_LEAF):
                end[k] = k + 1
                continue
            if not 0 <= code < n:
                raise ValueError(f"node {k} reads x{code}, outside the {n} variables")
            if k + 1 >= count or end[k + 1] >= count:
                raise ValueError(f"node {k} lacks a branch")
            high[k] = end[k + 1]
            end[k] = end[high[k]]
            height[k] = 1 + max(height[k + 1], height[high[k]])
        if count == 0 or end[0] != count:
            raise ValueError("the codes are not one tree in preorder")
        object.__setattr__(self, "n", n)
        object.__setattr__(self, "codes", codes)
        object.__setattr__(self, "_high", tuple(high))
        object.__setattr__(self, "_height", tuple(height))

    @property
    def depth(self) -> int:
        """The number of variables read on the longest path."""
        return self._height[0]

    @property
    def size(self) -> int:
        """The number of leaves."""
        return sum(1 for c in self.codes if c >= _FALSE_LEAF)

    def evaluate(self, x: int | Iterable[Any]) -> bool:
        """The tree's value at input x: an int entry index, or a sequence of n bits (item v is variable v)."""
        index = _arguments.entry(x, self.n)
        if not 0 <= index < 1 << self.n:
            raise IndexError(f"entry {index} is outside [0, {1 << self.n})")
        k = 0
        while self.codes[k] < _FALSE_LEAF:
            k = self._high[k] if (index >> self.codes[k]) & 1 else k + 1
        return self.codes[k] == _TRUE_LEAF

    def _nested(self, k: int) -> dict[str, Any]:
        code = self.codes[k]
        if code >= _FALSE_LEAF:
            return {"value": int(code == _TRUE_LEAF)}
        return {"var": code, "0": self._nested(k + 1), "1": self._nested(self._high[k])}

    def to_json(self) -> str:
        """The tree as JSON: {"n": n, "tree": node}, a node {"var": v, "0": node, "1": node} or a leaf
        {"value": 0 or 1}."""
        return json.dumps({"n": self.n, "tree": self._nested(0)}, separators=(",", ":"))

    @classmethod
    def from_json(cls, text: str) -> DecisionTree:
        """The tree of ``to_json``'s text; ValueError when it is not one."""
        try:
            document = json.loads(text)
            codes: list[int] = []
            stack = [document["tree"]]
            while stack:
                node = stack.pop()
                if "value" in node:
                    codes.append(_TRUE_LEAF if node["value"] else _FALSE_LEAF)
                else:
                    codes.append(int(node["var"]))
                    stack.extend((node["1"], node["0"]))
            return cls(document["n"], tuple(codes))
        except (KeyError, TypeError, AttributeError, json.JSONDecodeError) as error:
            raise ValueError(f"not the JSON of a decision tree: {error}") from None

    def to_dot(self) -> str:
        """The tree in Graphviz's dot language: inner nodes read their variable, leaves are boxes,
        0 branches dashed."""
        lines = ["digraph decision_tree {"]
        for k, code in enumerate(self.codes):
            if code >= _FALSE_LEAF:
                lines.append(f'  n{k} [shape=box, label="{int(code == _TRUE_LEAF)}"];')
            else:
                lines.append(f'  n{k} [label="x{code}"];')
                lines.append(f'  n{k} -> n{k + 1} [label="0", style=dashed];')
                lines.append(f'  n{k} -> n{self._high[k]} [label="1"];')
        lines.append("}")
        return "\n".join(lines)

    _repr_html_ = display.decision_tree  # a notebook's drawing, bounded in cost

    def __repr__(self) -> str:
        return f"DecisionTree(n={self.n}, depth={self.depth}, size={self.size})"


def decision_tree(table: Table, progress: Progress = False) -> DecisionTree:
    """A shallowest decision tree computing f, as a ``DecisionTree`` (vexil_kit.decision_trees).

    Its depth is ``decision_tree_depth()``; it reads only variables f depends on, at each node
    the lowest variable that keeps the depth optimal (so not always a tree of fewest leaves:
    see ``decision_tree_size``). From the same dynamic programming over the 3**r subcubes of the
    r variables f depends on (3**r bytes); ``evaluate``, ``to_json`` and ``to_dot`` on the tree.

    >>> t = BooleanFunction.address(1).decision_tree()
    >>> t, t.evaluate(0b110)
    (DecisionTree(n=3, depth=2, size=4), True)
    """
    n = _arguments.log2(len(table))
    with reporter(progress, "decision_tree") as report:
        codes = _native.decision_tree(table, progress=report)
    return DecisionTree(n, tuple(codes.tolist()))


def decision_tree_size(table: Table) -> int:
    """The least number of leaves of a decision tree computing f, of any depth, for n <= 10.

    Exact, by dynamic programming over the 3**n subcubes in the core (ValueError beyond 10
    variables). 1 for constants, 2**n for parity, n + 1 for the conjunction of n variables.

    >>> BooleanFunction.conjunction(4).decision_tree_size(), BooleanFunction.xor(4).decision_tree_size()
    (5, 16)
    """
    n = _arguments.log2(len(table))
    if n > DECISION_TREE_SIZE_MAX_VARS:
        raise ValueError(
            f"decision_tree_size takes functions of at most {DECISION_TREE_SIZE_MAX_VARS} variables; this one has {n}"
        )
    return int(registry.evaluate("function", "decision_tree_size", table))
