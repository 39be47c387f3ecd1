"""What the value classes share: the value protocol of an immutable table, and the methods that apply a
documented table-level function to the value's table.

``Value`` holds a read-only 1-D NumPy table of 2**n entries and gives it the protocol of a value:
immutability, ``n``, ``table``, ``len``, ``==`` and ``hash`` (same header and same entries), pickling,
``copy`` (the object itself), ``np.asarray`` (the table, without a copy) and ``repr``. A subclass
says what its header is (``(n,)``, or ``(n, m)`` for an S-box), how its table packs into bytes for
hashing and pickling, which module-level function unpickles it, and how it prints.

``on_table(fn)`` makes a method of a table-level function: ``f.name(*args)`` is ``fn(f.table, *args)``.
The function is the one documented implementation (the method's help shows its text); the method is
typed by it, so a checker sees ``f.nonlinearity()`` as ``cryptographic.nonlinearity(table)`` less the
table.
"""

from __future__ import annotations

import inspect
from collections.abc import Callable
from typing import Any, ClassVar, Concatenate, Generic, ParamSpec, TypeVar

import numpy as np
import numpy.typing as npt

from . import _tabulate

D = TypeVar("D", bound=np.generic)
P = ParamSpec("P")
R = TypeVar("R")
M = TypeVar("M", bound=Callable[..., Any])


class Value(Generic[D]):
    """An immutable table of 2**n entries with the value protocol (see the module)."""

    __slots__ = ("_table", "_n", "_hash")
    _table: npt.NDArray[D]
    _n: int
    _hash: int | None

    #: The class whose instances compare, hash and convert alike: the first subclass of Value.
    _family: ClassVar[type[Value[Any]]]

    # NumPy defers to the value's operators (``np.True_ & f``, ``array == f``) instead of treating it as
    # an array; ``np.asarray(f)`` gives the table for array work.
    __array_ufunc__ = None

    def __init_subclass__(cls, **kwargs: Any) -> None:
        super().__init_subclass__(**kwargs)
        if Value in cls.__bases__:
            cls._family = cls
        # The methods made by on_table and built take the name and place they are given in the class.
        for name, attribute in vars(cls).items():
            function = getattr(attribute, "__func__", attribute)
            if getattr(function, "__qualname__", None) == _UNPLACED:
                function.__name__ = name
                function.__qualname__ = f"{cls.__qualname__}.{name}"
                function.__module__ = cls.__module__
                function.__doc__ = _forward_doc(cls.__name__, name, function._implementation, function._kind)

    def _set(self, table: npt.NDArray[D], n: int) -> None:
        object.__setattr__(self, "_table", table)
        object.__setattr__(self, "_n", n)
        object.__setattr__(self, "_hash", None)

    def __setattr__(self, name: str, value: Any) -> None:
        raise AttributeError(f"{type(self).__name__} is immutable")

    def __delattr__(self, name: str) -> None:
        raise AttributeError(f"{type(self).__name__} is immutable")

    # -- what a subclass says -------------------------------------------------------------------

    def _header(self) -> tuple[int, ...]:
        """The sizes beside the table that make the value: (n,) here."""
        return (self._n,)

    def _packed(self) -> bytes:
        """The table as the bytes that ``hash`` and pickling read."""
        raise NotImplementedError

    #: The module-level function that rebuilds a value from ``(cls, *header, packed)``.
    _unpickle: ClassVar[Callable[..., Any]]

    def _text(self, name: str) -> str:
        """The repr of the value when its class is called ``name``."""
        raise NotImplementedError

    # -- the protocol ---------------------------------------------------------------------------

    @property
    def n(self) -> int:
        """The number of variables (input bits); the table has 2**n entries.

        >>> from vexil_kit import BooleanFunction, VectorialFunction
        >>> BooleanFunction([True]).n, BooleanFunction.majority(3).n, VectorialFunction([3, 0, 1, 2]).n
        (0, 3, 2)
        """
        return self._n

    @property
    def table(self) -> npt.NDArray[D]:
        """The table as a read-only 1-D NumPy array (shared, not copied): the bool entries of a
        ``BooleanFunction``, the uint32 output words of a ``VectorialFunction``.

        >>> from vexil_kit import BooleanFunction, VectorialFunction
        >>> BooleanFunction.conjunction(2).table
        array([False, False, False,  True])
        >>> VectorialFunction([3, 0, 1, 2]).table
        array([3, 0, 1, 2], dtype=uint32)
        >>> BooleanFunction.conjunction(2).table.flags.writeable
        False
        """
        return self._table

    def __len__(self) -> int:
        return self._table.shape[0]

    def __eq__(self, other: object) -> bool:
        if not isinstance(other, self._family):
            return NotImplemented
        if self._header() != other._header():
            return False
        # Immutable tables are compared as the bytes they live in, without a temporary of 2**n.
        mine, theirs = self._table.base, other._table.base
        if isinstance(mine, bytes) and isinstance(theirs, bytes) and len(mine) == self._table.nbytes:
            return mine == theirs
        step = _tabulate.CHUNK
        return all(
            np.array_equal(self._table[i : i + step], other._table[i : i + step]) for i in range(0, len(self), step)
        )

    def __hash__(self) -> int:
        value = self._hash
        if value is None:
            value = hash((self._header(), self._packed()))
            object.__setattr__(self, "_hash", value)
        return value

    def __repr__(self) -> str:
        return self._text(type(self).__name__)

    def __reduce__(self) -> tuple[Any, ...]:
        packed = self._packed()
        # The pickler copies the bytes into its output (and a file's buffer).
        _tabulate.reserve(2 * len(packed))
        return (type(self)._unpickle, (type(self), *self._header(), packed))

    def __copy__(self) -> Any:
        return self

    def __deepcopy__(self, memo: Any) -> Any:
        return self

    def __array__(self, dtype: npt.DTypeLike | None = None, copy: bool | None = None) -> npt.NDArray[Any]:
        if dtype is None or np.dtype(dtype) == self._table.dtype:
            if copy:
                _tabulate.reserve(self._table.nbytes)
            return self._table.copy() if copy else self._table
        if copy is False:
            raise ValueError(f"converting a {self._family.__name__} to another dtype needs a copy")
        _tabulate.reserve(len(self) * np.dtype(dtype).itemsize)
        return self._table.astype(dtype)


def on_table(fn: Callable[Concatenate[Any, P], R]) -> Callable[Concatenate[Any, P], R]:
    """The method ``f.NAME(*args, **kwargs) = fn(f.table, *args, **kwargs)`` of a table-level function.

    Its name is the one it is given in the class body (an alias may give another name than ``fn``'s);
    its signature is ``fn``'s with ``self`` for the table; its help is ``fn``'s, after a line naming it.
    """

    def method(self: Any, /, *args: P.args, **kwargs: P.kwargs) -> R:
        return fn(self._table, *args, **kwargs)

    signature = inspect.signature(fn)
    first, *rest = signature.parameters.values()
    return forwarding(
        method,
        fn,
        signature.replace(parameters=[first.replace(name="self", annotation=inspect.Parameter.empty), *rest]),
        "measure",
    )


#: The qualified name of a forwarding method until its class places it.
_UNPLACED = "<forwarding>"


def forwarding(
    method: Callable[P, R], fn: Callable[..., Any], signature: inspect.Signature, kind: str
) -> Callable[P, R]:
    """``method``, marked as applying ``fn`` with that signature: ``Value`` names it and writes its help
    when the class is made. ``kind``: "measure" (``fn`` of the table), "builder" (a value of the table
    ``fn`` builds) or "derived" (a value of the table ``fn`` makes of the value's table)."""
    method.__signature__ = signature  # type: ignore[attr-defined]
    method.__qualname__ = _UNPLACED
    method._implementation = fn  # type: ignore[attr-defined]
    method._kind = kind  # type: ignore[attr-defined]
    return method


def documented_by(fn: Callable[..., Any]) -> Callable[[M], M]:
    """Marks a method written out (it converts its arguments before applying ``fn`` to the table) as
    documented by ``fn``: ``Value`` names it and writes its help as for ``on_table``."""

    def mark(method: M) -> M:
        method.__qualname__ = _UNPLACED
        method._implementation = fn  # type: ignore[attr-defined]
        method._kind = "measure"  # type: ignore[attr-defined]
        return method

    return mark


def implementation(method: Any) -> Callable[..., Any] | None:
    """The table-level function that a forwarding method applies, or None for other methods."""
    return getattr(getattr(method, "__func__", method), "_implementation", None)


def _forward_doc(owner: str, name: str, fn: Callable[..., Any], kind: str) -> str:
    """The help of a forwarding method: a line naming ``fn``, then ``fn``'s own help."""
    where = f"``{fn.__module__}.{fn.__name__}``"
    if kind == "builder":
        line = f"``{owner}.{name}(...)`` is the {owner} whose table {where} builds, documented there:"
    elif kind == "derived":
        line = f"``f.{name}(...)`` is the {owner} whose table {where} makes of ``f.table``, documented there:"
    elif name == fn.__name__:
        line = f"``f.{name}(...)`` is {where} of ``f.table``, documented there:"
    else:
        line = f"``f.{name}(...)`` is {where} of ``f.table`` under another name, documented there:"
    return f"{line}\n\n{inspect.cleandoc(fn.__doc__ or '')}"
