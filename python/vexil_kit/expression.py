"""A recursive-descent parser for Boolean expressions, evaluated on whole truth tables.

Grammar (Python's precedence, lowest first)::

    or   := xor ("|" xor)*
    xor  := and ("^" and)*
    and  := not ("&" not)*
    not  := "~"* atom
    atom := "x" DIGITS | "0" | "1" | "(" or ")"

A tree is ("var", i), ("const", bool), ("not", tree) or (op, [trees]) with op in and/xor/or.
"""

from __future__ import annotations

import re
from typing import Any, NoReturn

import numpy as np
import numpy.typing as npt

from . import _tabulate

_TOKEN = re.compile(r"x([0-9]+)|[01~&|^()]")
#: A parsed expression (see above).
Tree = tuple[str, Any]

_BINARY = (("|", "or"), ("^", "xor"), ("&", "and"))


def _tokens(text: str) -> list[tuple[str, int, int]]:
    """(kind, value, position) for each token; kind is "var", a one-character symbol or "end"."""
    tokens = []
    i = 0
    while i < len(text):
        if text[i].isspace():
            i += 1
            continue
        match = _TOKEN.match(text, i)
        if match is None:
            raise ValueError(f"unexpected {text[i]!r} at position {i}")
        if match.group(1) is not None:
            tokens.append(("var", int(match.group(1)), i))
        else:
            tokens.append((match.group(0), 0, i))
        i = match.end()
    tokens.append(("end", 0, len(text)))
    return tokens


class _Parser:
    def __init__(self, text: str) -> None:
        self.tokens = _tokens(text)
        self.at = 0
        self.largest = -1

    def peek(self) -> str:
        return self.tokens[self.at][0]

    def fail(self, expected: str) -> NoReturn:
        kind, _, position = self.tokens[self.at]
        found = "the end" if kind == "end" else repr(kind if kind != "var" else f"x{self.tokens[self.at][1]}")
        raise ValueError(f"expected {expected} at position {position}, found {found}")

    def binary(self, level: int) -> Tree:
        if level == len(_BINARY):
            return self.negation()
        symbol, name = _BINARY[level]
        operands = [self.binary(level + 1)]
        while self.peek() == symbol:
            self.at += 1
            operands.append(self.binary(level + 1))
        return operands[0] if len(operands) == 1 else (name, operands)

    def negation(self) -> Tree:
        count = 0
        while self.peek() == "~":
            self.at += 1
            count += 1
        node = self.atom()
        return ("not", node) if count % 2 else node

    def atom(self) -> Tree:
        kind, value, _ = self.tokens[self.at]
        if kind == "var":
            self.at += 1
            self.largest = max(self.largest, value)
            return ("var", value)
        if kind in ("0", "1"):
            self.at += 1
            return ("const", kind == "1")
        if kind == "(":
            self.at += 1
            node = self.binary(0)
            if self.peek() != ")":
                self.fail("')'")
            self.at += 1
            return node
        self.fail("a variable, 0, 1, '~' or '('")


def parse(text: str) -> tuple[Tree, int]:
    """The tree of ``text`` and the largest variable index in it (-1 if none); ValueError if malformed."""
    if not isinstance(text, str):
        raise TypeError(f"expected a str, not {type(text).__name__}")
    parser = _Parser(text)
    try:
        tree = parser.binary(0)
    except RecursionError:
        raise ValueError("the expression is nested too deeply") from None
    if parser.peek() != "end":
        parser.fail("an operator or the end")
    return tree, parser.largest


def evaluate(tree: Tree, n: int) -> npt.NDArray[np.bool_]:
    """The bool table of length 2**n of a parsed tree (every variable index below n)."""
    try:
        return _tabulate.tabulate(n, lambda xs: _value(tree, xs))
    except RecursionError:
        raise ValueError("the expression is nested too deeply") from None


def _value(tree: Tree, xs: npt.NDArray[np.int64]) -> npt.NDArray[np.bool_]:
    kind, arg = tree
    if kind == "var":
        return (xs >> arg & 1).astype(np.bool_)
    if kind == "const":
        return np.full(xs.shape, arg, dtype=np.bool_)
    if kind == "not":
        return ~_value(arg, xs)
    values = [_value(node, xs) for node in arg]
    ufunc = {"and": np.logical_and, "xor": np.logical_xor, "or": np.logical_or}[kind]
    result: npt.NDArray[np.bool_] = ufunc.reduce(values)
    return result
