"""The BooleanFunction value type: a truth table with the value protocol, the Boolean operators and
every builder and measure, each a thin method over the table-level function of its topic module.

This is the one module that makes BooleanFunction objects: the topic modules (builders, families,
variables, spectra, measures, anf, cryptographic, query_complexity, circuits) compute on NumPy
tables and ints and do not import it (``Circuit.to_function`` alone does, when called).
"""

from __future__ import annotations

from collections.abc import Callable, Iterable, Iterator, Mapping
from fractions import Fraction
from typing import Any

import numpy as np
import numpy.typing as npt

import vexil

from . import (
    _arguments,
    _tabulate,
    anf,
    builders,
    circuits,
    cryptographic,
    decision_trees,
    families,
    measures,
    predicates,
    query_complexity,
    spectra,
    transforms,
    two_level,
    variables,
)
from ._arguments import Table
from .canonical import NpnTransform
from .circuits import Circuit
from .decision_trees import DecisionTree
from .measures import EntanglementSet, EntropySets
from .poly_degrees import DegreeCertificate
from .progress import Progress
from .synthesis.search import Synthesis
from .two_level import Cube

_HEX_SHOWN = 64

#: A bit argument: a bool, a NumPy bool, or the integer 0 or 1.
Bit = bool | np.bool_ | int
Int64Array = npt.NDArray[np.int64]
Float64Array = npt.NDArray[np.float64]


def _restore(cls: type[BooleanFunction], n: int, packed: bytes) -> BooleanFunction:
    """Rebuild a pickled function from its packed table (little bit order), refusing a pickle whose
    n and length disagree instead of padding or cutting the table."""
    n = _arguments.num_vars(n)
    if not isinstance(packed, (bytes, bytearray)):
        raise TypeError(f"a pickled BooleanFunction holds bytes, not {type(packed).__name__}")
    if len(packed) != ((1 << n) + 7) // 8:
        raise ValueError(f"a pickled table of n = {n} has {((1 << n) + 7) // 8} bytes, not {len(packed)}")
    size = 1 << n
    if size % 8 and packed[-1] >> size:
        raise ValueError(f"a pickled table of n = {n} has bits set beyond its {size} entries")
    _tabulate.reserve(2 * size)
    bits = np.unpackbits(np.frombuffer(packed, dtype=np.uint8), count=size, bitorder="little")
    return cls._wrap(bits.view(np.bool_))


class BooleanFunction:
    """An immutable Boolean function of n >= 0 variables held as its truth table of 2**n entries.

    Entry x is f(x), where variable v is bit v of x (variable 0 is the least significant
    bit), as in ``vexil.Vexil``. The table is accepted as any 1-D sequence or array of
    bools or 0/1 ints whose length is a power of two; anything else (None, a number, a set,
    an iterator, bytes or bytearray, a masked array) raises ValueError naming the problem.
    A bool array is read by its bytes, any nonzero byte true. The table lives in immutable
    memory: ``f.table.setflags(write=True)`` raises, so no thread can change a function.
    Operations whose memory does not fit raise MemoryError with the sizes needed and available.
    Functions compare equal when they have the same n and table, hash accordingly, pickle,
    and convert with ``np.asarray`` to a 1-D bool array. The value is not an array: NumPy
    ufuncs refuse it (use ``np.asarray(f)`` or ``f.table``),
    and a NumPy operand of ``&``, ``|``, ``^`` or ``==`` defers to this class.

    >>> f = BooleanFunction([0, 1, 1, 0])     # x0 XOR x1
    >>> f.n, len(f), f[3], f(1), list(f)
    (2, 4, False, True, [False, True, True, False])
    >>> f
    BooleanFunction.from_hex('0x6', n=2)
    """

    __slots__ = ("_table", "_n", "_hash")
    _table: npt.NDArray[np.bool_]
    _n: int
    _hash: int | None

    # NumPy defers to the operators below (``np.True_ & f``, ``array == f``) instead of
    # treating the function as an array; ``np.asarray(f)`` gives the table for array work.
    __array_ufunc__ = None

    def __init__(self, table: Any) -> None:
        array = _arguments.table(table)
        object.__setattr__(self, "_table", array)
        object.__setattr__(self, "_n", _arguments.log2(array.shape[0]))
        object.__setattr__(self, "_hash", None)

    @classmethod
    def _wrap(cls, array: npt.ArrayLike) -> BooleanFunction:
        """A function over a frozen copy of ``array`` (1-D bool of 0/1 bytes, power-of-two length); no checks."""
        self = cls.__new__(cls)
        array = _arguments.frozen(array)
        object.__setattr__(self, "_table", array)
        object.__setattr__(self, "_n", _arguments.log2(array.shape[0]))
        object.__setattr__(self, "_hash", None)
        return self

    def __setattr__(self, name: str, value: Any) -> None:
        raise AttributeError(f"{type(self).__name__} is immutable")

    def __delattr__(self, name: str) -> None:
        raise AttributeError(f"{type(self).__name__} is immutable")

    # -- the value ------------------------------------------------------------------------------

    @property
    def n(self) -> int:
        """The number of variables; the table has 2**n entries.

        >>> BooleanFunction([True]).n, BooleanFunction.majority(3).n
        (0, 3)
        """
        return self._n

    @property
    def table(self) -> Table:
        """The truth table as a read-only 1-D NumPy bool array (shared, not copied).

        >>> BooleanFunction.conjunction(2).table
        array([False, False, False,  True])
        >>> BooleanFunction.conjunction(2).table.flags.writeable
        False
        """
        return self._table

    def __len__(self) -> int:
        return self._table.shape[0]

    def __getitem__(self, x: int) -> bool:
        x = _arguments.integer(x, "an entry index")
        if not 0 <= x < self._table.shape[0]:
            raise IndexError(f"entry {x} is outside [0, {self._table.shape[0]})")
        return bool(self._table[x])

    def __call__(self, x: int | Iterable[Bit]) -> bool:
        """f(x) for an int entry index x, or for a sequence of n bits (item v is variable v).

        >>> f = BooleanFunction.dictator(3, 2)
        >>> f(4), f([0, 0, 1]), f((1, 1, 0))
        (True, True, False)
        """
        return self[_arguments.entry(x, self._n)]

    def __iter__(self) -> Iterator[bool]:
        # What iterates is usually collected: a list holds a pointer per entry.
        _tabulate.reserve(8 * len(self) + _tabulate.CHUNK * 8)
        return self._entries()

    def _entries(self) -> Iterator[bool]:
        # A chunk at a time: no list of 2**n Python bools held at once.
        for start in range(0, len(self), _tabulate.CHUNK):
            yield from self._table[start : start + _tabulate.CHUNK].tolist()

    def __eq__(self, other: object) -> bool:
        if not isinstance(other, BooleanFunction):
            return NotImplemented
        if self._n != other._n:
            return False
        # Both tables are immutable bytes: compared in place, without a temporary of 2**n.
        mine, theirs = self._table.base, other._table.base
        if isinstance(mine, bytes) and isinstance(theirs, bytes):
            return mine == theirs
        step = _tabulate.CHUNK
        return all(
            np.array_equal(self._table[i : i + step], other._table[i : i + step]) for i in range(0, len(self), step)
        )

    def __hash__(self) -> int:
        value = self._hash
        if value is None:
            _tabulate.reserve(len(self) // 4 + 64)
            value = hash((self._n, np.packbits(self._table, bitorder="little").tobytes()))
            object.__setattr__(self, "_hash", value)
        return value

    def __repr__(self) -> str:
        size = len(self)
        if size // 4 <= _HEX_SHOWN:
            text = self.to_hex()
        else:
            # Only the shown digits are formatted: the top 4 * _HEX_SHOWN entries (the leading digits).
            top = self._table[size - 4 * _HEX_SHOWN :]
            text = builders.to_hex(top) + "…"
        return f"{type(self).__name__}.from_hex({text!r}, n={self._n})"

    def __reduce__(self) -> tuple[Any, ...]:
        _tabulate.reserve(len(self) // 4 + 64)
        packed = np.packbits(self._table, bitorder="little").tobytes()
        return (_restore, (type(self), self._n, packed))

    def __copy__(self) -> BooleanFunction:
        return self

    def __deepcopy__(self, memo: Any) -> BooleanFunction:
        return self

    def __array__(self, dtype: npt.DTypeLike | None = None, copy: bool | None = None) -> npt.NDArray[Any]:
        if dtype is None or np.dtype(dtype) == np.bool_:
            return self._table.copy() if copy else self._table
        if copy is False:
            raise ValueError("converting a BooleanFunction to another dtype needs a copy")
        return self._table.astype(dtype)

    def weight(self) -> int:
        """The number of true entries, as a Python int.

        >>> BooleanFunction.majority(3).weight(), BooleanFunction([True]).weight()
        (4, 1)
        """
        return int(np.count_nonzero(self._table))

    def is_balanced(self) -> bool:
        """Whether exactly half of the entries are true (never for n = 0).

        >>> BooleanFunction.xor(3).is_balanced(), BooleanFunction.conjunction(2).is_balanced()
        (True, False)
        """
        return 2 * self.weight() == self._table.shape[0]

    # -- the Boolean operators ------------------------------------------------------------------

    def _operand(self, other: object) -> Table | bool | None:
        """``other``'s table for a binary operator, or None when the type is not supported."""
        if isinstance(other, BooleanFunction):
            if other._n != self._n:
                raise ValueError(f"operands have {self._n} and {other._n} variables; they must match")
            return other._table
        if isinstance(other, (bool, np.bool_, int, np.integer)):
            return _arguments.bit(other, "a constant operand")
        return None

    def _combined(self, operation: Callable[..., Table], *operands: Any) -> BooleanFunction:
        # The result and its frozen copy.
        _tabulate.reserve(2 * len(self))
        return self._wrap(operation(self._table, *operands))

    def __invert__(self) -> BooleanFunction:
        return self._combined(np.logical_not)

    def __and__(self, other: object) -> BooleanFunction:
        table = self._operand(other)
        return NotImplemented if table is None else self._combined(np.logical_and, table)

    def __or__(self, other: object) -> BooleanFunction:
        table = self._operand(other)
        return NotImplemented if table is None else self._combined(np.logical_or, table)

    def __xor__(self, other: object) -> BooleanFunction:
        table = self._operand(other)
        return NotImplemented if table is None else self._combined(np.logical_xor, table)

    __rand__ = __and__
    __ror__ = __or__
    __rxor__ = __xor__

    # -- building and writing out ---------------------------------------------------------------
    @classmethod
    def from_vexil(cls, v: vexil.Vexil) -> BooleanFunction:
        """The function whose table is that of the ``vexil.Vexil`` object ``v`` (TypeError for other types).

        >>> BooleanFunction.from_vexil(vexil.Vexil.majority(3)) == BooleanFunction.majority(3)
        True
        """
        return cls._wrap(builders.from_vexil(v))

    def to_vexil(self) -> vexil.Vexil:
        """A new ``vexil.Vexil`` with the same truth table.

        >>> BooleanFunction.xor(2).to_vexil().repr()
        [False, True, True, False]
        """
        # The constructor reads any 1-D bool array in one copy; its stub names only sequences.
        table: Any = self._table
        return vexil.Vexil(table)

    @classmethod
    def from_hex(cls, text: str, n: int | None = None) -> BooleanFunction:
        """The function whose table is the hexadecimal integer sum of f(x) * 2**x ("0x" optional).

        Without n, the digit count fixes the size as on the command line: 4 entries per digit,
        which must make a power of two (so 1, 2, 4, 8, ... digits). With n, any digit count
        is accepted as long as the value fits 2**n entries; tables of fewer than 4 entries
        (n = 0 or 1) need n. ValueError for bad text or a value too large.

        >>> BooleanFunction.from_hex("0xe8") == BooleanFunction.majority(3)
        True
        >>> BooleanFunction.from_hex("1", n=0).table
        array([ True])
        """
        return cls._wrap(builders.from_hex(text, n))

    def to_hex(self) -> str:
        """The table as the hexadecimal integer sum of f(x) * 2**x, with "0x", most significant digit first.

        The text has 2**n / 4 digits (one digit for n < 2), so ``from_hex`` reads it back;
        for n < 2 pass n to ``from_hex``.

        >>> BooleanFunction.majority(3).to_hex()
        '0xe8'
        >>> BooleanFunction([0, 1]).to_hex()
        '0x2'
        """
        return builders.to_hex(self._table)

    @classmethod
    def from_int(cls, value: int, n: int) -> BooleanFunction:
        """The function of n variables with f(x) = bit x of ``value``; 0 <= value < 2**(2**n), any size.

        ValueError for a negative value or one with a bit set at 2**n or beyond.

        >>> BooleanFunction.from_int(14, 2) == BooleanFunction.disjunction(2)
        True
        >>> BooleanFunction.from_int(1, 0).table
        array([ True])
        """
        return cls._wrap(builders.from_int(value, n))

    def to_int(self) -> int:
        """The integer sum of f(x) * 2**x over all entries x (entry 0 is the least significant bit).

        >>> BooleanFunction([0, 1, 1, 1]).to_int()
        14
        """
        return builders.to_int(self._table)

    @classmethod
    def from_callable(cls, n: int, fn: Callable[[Any], Any], vectorized: bool = False) -> BooleanFunction:
        """The function of n variables with f(x) = fn(x).

        Per entry, ``fn`` gets each int x in [0, 2**n) and returns a bool or 0/1. With
        ``vectorized=True`` it is called once with the int64 array of all x and returns a
        bool (or 0/1) array of the same length. Other results raise ValueError.

        >>> BooleanFunction.from_callable(3, lambda x: x % 3 == 0).to_hex()
        '0x49'
        >>> BooleanFunction.from_callable(3, lambda x: x >= 4, vectorized=True) == BooleanFunction.dictator(3, 2)
        True
        """
        return cls._wrap(builders.from_callable(n, fn, vectorized))

    @classmethod
    def from_expression(cls, text: str, n: int | None = None) -> BooleanFunction:
        """The function given by a Boolean expression over variables ``x0``, ``x1``, ...

        The operators are ``~`` (not), ``&``, ``^``, ``|`` with Python's precedence (``~``
        binds tightest, then ``&``, then ``^``, then ``|``), parentheses and the constants
        0 and 1. n defaults to the largest variable index + 1 (0 with no variables); a given
        n must cover every variable. The text is parsed, never evaluated as Python; bad
        input raises ValueError with the position.

        >>> BooleanFunction.from_expression("x0 & x1 ^ ~x2").to_hex()
        '0x87'
        >>> BooleanFunction.from_expression("x0 | 1", n=2).weight()
        4
        """
        return cls._wrap(builders.from_expression(text, n))

    @classmethod
    def random(cls, n: int, seed: Any = None, balanced: bool = False) -> BooleanFunction:
        """A uniformly random function of n variables from ``numpy.random.default_rng(seed)``.

        With ``balanced=True`` it is uniform among the functions with exactly 2**(n-1) true
        entries (ValueError for n = 0). The same seed gives the same function.

        >>> BooleanFunction.random(4, seed=1) == BooleanFunction.random(4, seed=1)
        True
        >>> BooleanFunction.random(5, seed=2, balanced=True).weight()
        16
        """
        return cls._wrap(builders.random(n, seed, balanced))

    @classmethod
    def from_anf(cls, monomials: Iterable[int], n: int) -> BooleanFunction:
        """The function of n variables whose ANF is the XOR of ``monomials`` (int masks).

        Each mask m stands for the AND of the variables v with bit v of m set; 0 is the constant 1.
        The monomials are XORed, so a mask given twice cancels (``[1, 1]`` is the zero function) and
        their order does not matter. A mask outside [0, 2**n) raises ValueError, a non-integer
        TypeError. The empty list gives the zero function. The inverse of ``anf()``.

        >>> BooleanFunction.from_anf([1, 2], 2) == BooleanFunction.xor(2)
        True
        >>> BooleanFunction.from_anf([3, 0], 2).table     # x0 x1 ^ 1: NAND
        array([ True,  True,  True, False])
        >>> BooleanFunction.from_anf([5, 5], 3).weight()  # the repeated monomial cancels
        0
        """
        return cls._wrap(anf.from_anf(monomials, n))

    # -- families -------------------------------------------------------------------------------
    @classmethod
    def constant(cls, n: int, value: Bit) -> BooleanFunction:
        """The constant function of n variables with the given value (a bool or 0/1).

        >>> BooleanFunction.constant(2, 1).table
        array([ True,  True,  True,  True])
        """
        return cls._wrap(families.constant(n, value))

    @classmethod
    def dictator(cls, n: int, i: int) -> BooleanFunction:
        """The function x -> x_i of n variables; 0 <= i < n (ValueError otherwise).

        >>> BooleanFunction.dictator(2, 1).table
        array([False, False,  True,  True])
        """
        return cls._wrap(families.dictator(n, i))

    @classmethod
    def conjunction(cls, n: int) -> BooleanFunction:
        """The AND of n variables; for n = 0 the empty AND, true.

        >>> BooleanFunction.conjunction(3).weight(), BooleanFunction.conjunction(0)[0]
        (1, True)
        """
        return cls._wrap(families.conjunction(n))

    @classmethod
    def disjunction(cls, n: int) -> BooleanFunction:
        """The OR of n variables; for n = 0 the empty OR, false.

        >>> BooleanFunction.disjunction(3).weight(), BooleanFunction.disjunction(0)[0]
        (7, False)
        """
        return cls._wrap(families.disjunction(n))

    @classmethod
    def xor(cls, n: int) -> BooleanFunction:
        """The odd parity of n variables (true when an odd number are one); false for n = 0.

        The complement of ``vexil.Vexil.parity(n)``, which is even parity.

        >>> BooleanFunction.xor(2).table
        array([False,  True,  True, False])
        """
        return cls._wrap(families.xor(n))

    @classmethod
    def majority(cls, n: int) -> BooleanFunction:
        """True when more than n/2 of the n variables are one; a tie (even n) is false, n = 0 is false.

        The same table as ``vexil.Vexil.majority(n)``; equal to ``threshold(n, n // 2 + 1)``.

        >>> [x for x in range(8) if BooleanFunction.majority(3)[x]]
        [3, 5, 6, 7]
        """
        return cls._wrap(families.majority(n))

    @classmethod
    def threshold(cls, n: int, k: int) -> BooleanFunction:
        """True when at least k of the n variables are one; k >= 0 (k = 0: constant true, k > n: false).

        >>> BooleanFunction.threshold(3, 2) == BooleanFunction.majority(3)
        True
        >>> BooleanFunction.threshold(2, 3).weight()
        0
        """
        return cls._wrap(families.threshold(n, k))

    @classmethod
    def tribes(cls, width: int, count: int) -> BooleanFunction:
        """The OR of ``count`` ANDs, each over a block of ``width`` consecutive variables; n = width * count.

        Block j holds variables j*width .. j*width + width - 1. With count = 0 it is the
        empty OR (false, n = 0); with width = 0 and count >= 1 each empty AND is true.

        >>> BooleanFunction.tribes(2, 2) == BooleanFunction.from_expression("x0 & x1 | x2 & x3")
        True
        """
        return cls._wrap(families.tribes(width, count))

    @classmethod
    def inner_product(cls, n: int) -> BooleanFunction:
        """x0 x1 XOR x2 x3 XOR ... over n variables; n must be even (ValueError otherwise); false for n = 0.

        >>> BooleanFunction.inner_product(4) == BooleanFunction.from_expression("x0 & x1 ^ x2 & x3")
        True
        """
        return cls._wrap(families.inner_product(n))

    @classmethod
    def address(cls, k: int) -> BooleanFunction:
        """The address (multiplexer) function: k address bits select one of 2**k data bits.

        The address a is formed by variables 0..k-1; the result is variable k + a, so
        n = k + 2**k. For k = 0 it is the dictator of variable 0.

        >>> f = BooleanFunction.address(1)      # x1 if x0 == 0 else x2
        >>> f.n, f([1, 0, 1]), f([0, 0, 1])
        (3, True, False)
        """
        return cls._wrap(families.address(k))

    # -- operations on the variables ------------------------------------------------------------
    def restrict(self, assignment: Mapping[int, Bit]) -> BooleanFunction:
        """Fix some variables: ``{var: value}`` -> the function of the remaining variables.

        The remaining variables keep their order and are renumbered 0, 1, ... from the lowest.
        Keys must be distinct variables in [0, n) and values bools or 0/1 (ValueError
        otherwise); an empty mapping returns an equal function, fixing all n gives n = 0.
        A sequence of ``(var, value)`` pairs is read the same way, and a variable given twice
        in it raises ValueError.

        >>> f = BooleanFunction.from_expression("x0 & x2 | x1")
        >>> f.restrict({1: 0}) == BooleanFunction.from_expression("x0 & x1")
        True
        >>> f.restrict({0: 1, 1: 0, 2: 1})[0]
        True
        """
        return self._wrap(variables.restrict(self._table, assignment))

    def permute(self, perm: Iterable[int]) -> BooleanFunction:
        """Rename the variables: variable v of f becomes variable ``perm[v]`` of the result.

        ``perm`` must hold each of 0..n-1 exactly once (ValueError otherwise). So
        g = f.permute(p) satisfies g(y) = f(x) where bit p[v] of y equals bit v of x.

        >>> BooleanFunction.dictator(3, 0).permute([2, 0, 1]) == BooleanFunction.dictator(3, 2)
        True
        """
        return self._wrap(variables.permute(self._table, perm))

    def derivative(self, u: int) -> BooleanFunction:
        """The derivative in direction u: the function x -> f(x) XOR f(x XOR u).

        ``u`` is a mask in [0, 2**n) (ValueError otherwise); u = 0 gives the constant false.

        >>> f = BooleanFunction.conjunction(2)
        >>> f.derivative(1) == BooleanFunction.dictator(2, 1)
        True
        """
        return self._wrap(variables.derivative(self._table, u))

    def extend(self, m: int) -> BooleanFunction:
        """The same function seen as one of m >= n variables; variables n..m-1 are ignored.

        ValueError when m < n.

        >>> BooleanFunction.dictator(1, 0).extend(2) == BooleanFunction.dictator(2, 0)
        True
        """
        return self._wrap(variables.extend(self._table, m))

    # -- the Walsh spectrum and influences ------------------------------------------------------
    def walsh_spectrum(self) -> Int64Array:
        """The Walsh spectrum W(u) = sum over x of (-1)**(f(x) XOR u.x), false counting +1, exactly.

        A new read-only int64 array of 2**n entries, u = 0 .. 2**n - 1 (bit v of u is variable v).
        W(0) = 2**n - 2 * weight, and the squares sum to 4**n (Parseval).

        >>> BooleanFunction.majority(3).walsh_spectrum()
        array([ 0,  4,  4,  0,  4,  0,  0, -4])
        >>> BooleanFunction.constant(2, True).walsh_spectrum()
        array([-4,  0,  0,  0])
        """
        return spectra.walsh_spectrum(self._table)

    def fourier_coefficients(self) -> Float64Array:
        """The Fourier coefficients of (-1)**f, W(u) / 2**n, as float64 (exact for n <= 52).

        >>> BooleanFunction.xor(2).fourier_coefficients()
        array([0., 0., 0., 1.])
        >>> BooleanFunction.majority(3).fourier_coefficients()[[0, 1, 7]]
        array([ 0. ,  0.5, -0.5])
        """
        return spectra.fourier_coefficients(self._table)

    def influence_counts(self) -> Int64Array:
        """For each variable v, the number of inputs x with f(x) != f(x XOR 2**v), as int64.

        >>> BooleanFunction.majority(3).influence_counts()
        array([4, 4, 4])
        >>> BooleanFunction.dictator(3, 1).influence_counts()
        array([0, 8, 0])
        """
        return spectra.influence_counts(self._table)

    def influences(self) -> Float64Array:
        """The influence of each variable: the chance that flipping it changes f, as float64.

        Exactly the integer counts of ``influence_counts()`` divided by 2**n.

        >>> BooleanFunction.majority(3).influences()
        array([0.5, 0.5, 0.5])
        >>> BooleanFunction.conjunction(2).influences()
        array([0.5, 0.5])
        """
        return spectra.influences(self._table)

    def total_influence(self) -> float:
        """The sum of the influences (the mean sensitivity), correctly rounded to a float.

        The counts are summed as Python ints and divided once by 2**n. ``Vexil.total_influence()``
        gives the same within single-precision rounding.

        >>> BooleanFunction.majority(3).total_influence()
        1.5
        >>> BooleanFunction.xor(5).total_influence(), BooleanFunction.constant(4, False).total_influence()
        (5.0, 0.0)
        >>> f = BooleanFunction.majority(9)
        >>> abs(f.to_vexil().total_influence() - f.total_influence()) < 1e-3 * f.total_influence()
        True
        """
        return spectra.total_influence(self._table)

    def spectral_entropy(self) -> float:
        """The entropy in bits of the spectral distribution p(u) = W(u)**2 / 4**n.

        -sum of p log2 p over the u with W(u) != 0, evaluated in float64 from the exact coefficients
        as -2 * sum of q**2 log2 q with q = |W(u)| / 2**n (exact), relative error below 1e-12. It is 0
        for a function whose spectrum has one non-zero coefficient (constants, parities) and n for a
        bent function. ``Vexil.spectral_entropy()`` is the same in nats, in single precision.

        >>> BooleanFunction.xor(3).spectral_entropy(), BooleanFunction.inner_product(4).spectral_entropy()
        (0.0, 4.0)
        >>> BooleanFunction.majority(3).spectral_entropy()
        2.0
        >>> import math
        >>> f = BooleanFunction.majority(9)
        >>> abs(f.to_vexil().spectral_entropy() - f.spectral_entropy() * math.log(2)) < 1e-3 * f.spectral_entropy()
        True
        """
        return spectra.spectral_entropy(self._table)

    # -- the measures of vexil.Vexil ------------------------------------------------------------
    def entanglement(self, progress: Progress = False) -> int:
        """The smallest ``information(set1) + information(set2)`` over the balanced cuts of the variables.

        A balanced cut splits 0..n-1 into sides of n // 2 (``set1``) and n - n // 2 variables, each
        split once; ``information(S)`` counts the distinct restrictions left by fixing S. Constants
        give 2, and so does n = 0 (the one cut ((), ())). Walks C(n, n // 2) cuts (halved for even
        n) on the worker pool.

        >>> BooleanFunction.majority(3).entanglement()   # cut ((0,), (1, 2)): 2 + 3
        5
        """
        return measures.entanglement(self._table, progress)

    def entropy(self, progress: Progress = False) -> float:
        """The smallest restriction-entropy sum, in bits, over the balanced cuts of ``entanglement``.

        The value of a cut is ``fragmentation_coefficient(set1) + fragmentation_coefficient(set2)``;
        single precision widened to a float. Constants and n = 0 give -0.0.

        >>> BooleanFunction.majority(3).entropy()   # cut ((0,), (1, 2)): 1.0 + 1.5
        2.5
        """
        return measures.entropy(self._table, progress)

    def entanglement_sets(self, progress: Progress = False) -> list[EntanglementSet]:
        """Every balanced cut with its ``information(set1) + information(set2)``, as EntanglementSet tuples.

        In lexicographic order of ``set1``; for even n, ``set1`` holds variable 0. The minimum of
        the ``entanglement`` fields is ``entanglement()``. n = 0 gives the one cut ((), (), 2).

        >>> [tuple(r) for r in BooleanFunction.majority(4).entanglement_sets()]
        [((0, 1), (2, 3), 6), ((0, 2), (1, 3), 6), ((0, 3), (1, 2), 6)]
        """
        return measures.entanglement_sets(self._table, progress)

    def entropy_sets(self, progress: Progress = False) -> list[EntropySets]:
        """Every balanced cut with its restriction-entropy sum in bits, as EntropySets tuples.

        The cuts of ``entanglement_sets`` in the same order; the minimum of the ``entropy`` fields
        is ``entropy()``. n = 0 gives the one cut ((), (), -0.0).

        >>> BooleanFunction.majority(3).entropy_sets()[0]
        EntropySets(set1=(0,), set2=(1, 2), entropy=2.5)
        """
        return measures.entropy_sets(self._table, progress)

    def information(self, vars: Iterable[int]) -> int:
        """The number of distinct restrictions (functions of the other variables) left by fixing ``vars``.

        ``vars`` are distinct variables in [0, n) (ValueError otherwise), in any order; fixing them
        in all 2**len(vars) ways gives that many restrictions, of which this counts the distinct
        ones. ``[]`` gives 1.

        >>> f = BooleanFunction.dictator(2, 0)
        >>> f.information([0]), f.information([1]), f.information([])
        (2, 1, 1)
        """
        return measures.information(self._table, vars)

    def fragmentation_coefficient(self, vars: Iterable[int]) -> float:
        """The Shannon entropy in bits of the restrictions left by fixing ``vars`` in every way.

        Each of the 2**m assignments of the m variables is equally likely; the result is
        -sum p log2 p over the distinct restrictions, in single precision widened. ``vars`` as for
        ``information``; ``[]`` gives -0.0.

        >>> f = BooleanFunction.dictator(2, 0)
        >>> f.fragmentation_coefficient([0]), f.fragmentation_coefficient([1])
        (1.0, -0.0)
        """
        return measures.fragmentation_coefficient(self._table, vars)

    def fragmentation_k(self, k: int, progress: Progress = False) -> float:
        """The mean of ``fragmentation_coefficient(S)`` over the C(n, k) subsets S of k variables.

        Summed in single precision from -0.0 in lexicographic order of S and widened. ``k = 0``
        gives -0.0, ``k > n`` gives 0.0, ``k = n`` the entropy of the distribution of the values.

        >>> f = BooleanFunction.dictator(2, 0)
        >>> f.fragmentation_k(1), f.fragmentation_k(3)   # (1.0 + 0.0) / 2
        (0.5, 0.0)
        """
        return measures.fragmentation_k(self._table, k, progress)

    def fragmentation_spectrum(self, progress: Progress = False) -> list[float]:
        """``[fragmentation_k(k) for k in range(n + 1)]``, computed in one pass over all 2**n subsets.

        Entry 0 is -0.0; entry n is the entropy in bits of the distribution of the values. Also
        named ``restriction_signature`` and ``fragmentation_profile``. n = 0 gives [-0.0].

        >>> BooleanFunction.majority(3).fragmentation_spectrum()
        [-0.0, 1.0, 1.5, 1.0]
        """
        return measures.fragmentation_spectrum(self._table, progress)

    def restriction_signature(self, progress: Progress = False) -> list[float]:
        """Another name for ``fragmentation_spectrum``, one that ``vexil.Vexil`` uses too.

        >>> BooleanFunction.xor(3).restriction_signature()
        [-0.0, 1.0, 1.0, 1.0]
        """
        return self.fragmentation_spectrum(progress)

    def fragmentation_profile(self, progress: Progress = False) -> list[float]:
        """Another name for ``fragmentation_spectrum``, one that ``vexil.Vexil`` uses too.

        >>> BooleanFunction.conjunction(2).fragmentation_profile()[1]
        1.0
        """
        return self.fragmentation_spectrum(progress)

    def fragmentation_peak(self, progress: Progress = False) -> tuple[int, float]:
        """``(k, value)`` of the first largest entry of the fragmentation spectrum (ties: smallest k).

        n = 0 and constants give (0, -0.0).

        >>> BooleanFunction.majority(3).fragmentation_peak()
        (2, 1.5)
        """
        return measures.fragmentation_peak(self._table, progress)

    def fragmentation_delta(self, progress: Progress = False) -> list[float]:
        """The n first differences ``spectrum[k + 1] - spectrum[k]`` of the fragmentation spectrum.

        Single precision widened; n = 0 gives [].

        >>> BooleanFunction.majority(3).fragmentation_delta()
        [1.0, 0.5, -0.5]
        """
        return measures.fragmentation_delta(self._table, progress)

    def fragmentation_delta2(self, progress: Progress = False) -> list[float]:
        """The max(n - 1, 0) second differences of the fragmentation spectrum.

        Entry k is ``delta[k + 1] - delta[k]`` with ``delta = fragmentation_delta()``.

        >>> BooleanFunction.majority(3).fragmentation_delta2()
        [-0.5, -1.0]
        """
        return measures.fragmentation_delta2(self._table, progress)

    def equanimity_importance(self) -> float:
        """The share of the n * 2**(n-1) edges of the n-cube along which f changes.

        The mean over the variables of the chance that flipping it changes f, in single precision
        widened (mathematically ``total_influence() / n``). n = 0 has no edges and gives nan.

        >>> BooleanFunction.conjunction(2).equanimity_importance()
        0.5
        """
        return measures.equanimity_importance(self._table)

    def max_sensitivity(self) -> int:
        """The largest sensitivity s(x), the number of variables whose flip changes f(x), over all x.

        Constants and n = 0 give 0; ``xor(n)`` gives n.

        >>> BooleanFunction.majority(3).max_sensitivity()
        2
        """
        return measures.max_sensitivity(self._table)

    def mean_sensitivity(self) -> float:
        """The mean of s(x) over all inputs, in single precision widened.

        ``total_influence()`` is the same value, exact. n = 0 gives 0.0.

        >>> BooleanFunction.majority(3).mean_sensitivity()
        1.5
        """
        return measures.mean_sensitivity(self._table)

    def degree(self, progress: Progress = False) -> int:
        """Another name for ``fourier_degree``, the one ``vexil.Vexil`` uses.

        >>> BooleanFunction.conjunction(2).degree(), BooleanFunction.dictator(2, 0).degree()
        (2, 1)
        """
        return self.fourier_degree(progress)

    def no_linearity(self, progress: Progress = False) -> int:
        """Another name for ``nonlinearity``, the one ``vexil.Vexil`` uses.

        >>> BooleanFunction.conjunction(2).no_linearity(), BooleanFunction.majority(3).no_linearity()
        (1, 2)
        """
        return self.nonlinearity(progress)

    def frontier_size(self) -> int:
        """The number of cube edges (x, x XOR 2**v) joining a false input to a true one.

        Half the sum of the sensitivities; constants and n = 0 give 0.

        >>> BooleanFunction.majority(3).frontier_size()
        6
        """
        return measures.frontier_size(self._table)

    def max_frontier_size(self) -> int:
        """The bound n * min(#false, #true) on ``frontier_size``, exact.

        ``Vexil.max_frontier_size`` takes the product modulo 2**32; this is the exact integer,
        equal to it whenever the product fits. Reached by ``xor(n)``: n * 2**(n-1).

        >>> BooleanFunction.majority(3).max_frontier_size(), BooleanFunction.xor(4).max_frontier_size()
        (12, 32)
        """
        return measures.max_frontier_size(self._table)

    def npn_representant(self) -> BooleanFunction | None:
        """The representative of f's NPN class, for functions of five variables; None for other n.

        Packing the table into the word w = sum of f(k) << (31 - k), the representative is the
        function whose table is the bits (entry i = bit i) of the smallest word reached by
        permuting and negating inputs and negating the output; two functions are NPN-equivalent
        exactly when their representatives are equal. As ``Vexil.npn_representant``.

        >>> a = BooleanFunction.from_expression("x0 & x1", n=5).npn_representant()
        >>> b = BooleanFunction.from_expression("x3 | x4", n=5).npn_representant()
        >>> a == b, a.to_int()
        (True, 255)
        """
        table = measures.npn_representant(self._table)
        return None if table is None else self._wrap(table)

    # -- the algebraic normal form --------------------------------------------------------------
    def anf(self) -> list[int]:
        """The algebraic normal form: the monomials of f as a sorted list of int masks.

        f(x) is the XOR over the listed masks m of the AND of the variables in m, that is of
        ``x & m == m``. Mask 0 is the constant 1; the zero function gives ``[]`` and the constant 1
        ``[0]``, for any n. ``BooleanFunction.from_anf(f.anf(), f.n) == f``.

        >>> BooleanFunction.from_expression("x0 & x1 | x2").anf()   # x2 ^ x0 x1 ^ x0 x1 x2
        [3, 4, 7]
        >>> BooleanFunction.majority(3).anf()                      # x0 x1 ^ x0 x2 ^ x1 x2
        [3, 5, 6]
        """
        return anf.monomials(self._table)

    def algebraic_degree(self) -> int:
        """The algebraic degree: the most variables in one monomial of the ANF.

        -1 for the zero function, 0 for the constant 1 (also for n = 0), 1 for the non-constant affine
        functions (XORs of variables, and their complements), n when the AND of all variables is in the
        ANF (which happens exactly for odd weight). Read from the packed transform without building the
        list of ``anf()``.

        >>> BooleanFunction.xor(4).algebraic_degree(), BooleanFunction.conjunction(4).algebraic_degree()
        (1, 4)
        >>> BooleanFunction.inner_product(6).algebraic_degree(), BooleanFunction.constant(3, False).algebraic_degree()
        (2, -1)
        """
        return anf.algebraic_degree(self._table)

    def algebraic_immunity(self, progress: Progress = False) -> int:
        """The algebraic immunity: the least d such that f or f ^ 1 has a nonzero annihilator of degree <= d.

        g annihilates h when g & h is the zero function. The value is at most ceil(n/2) (the monomials of
        degree up to ceil(n/2) outnumber the points of the smaller of the two supports), and 0 exactly
        for the constants, whatever n (the constant 1 annihilates the zero function); every function of
        n = 0 variables is a constant. Non-constant affine functions have 1. The search is an
        elimination over GF(2) on about C(n, <= d) / 2 unknowns per degree d, so its cost grows about
        as 8**n (n = 16 takes seconds) and its memory about as 2**n * C(n, <= d) / 16 bytes; a working set
        the machine cannot hold raises MemoryError. Runs without the interpreter lock; Ctrl-C stops it.

        >>> BooleanFunction.majority(5).algebraic_immunity()     # majority reaches ceil(n/2)
        3
        >>> BooleanFunction.xor(6).algebraic_immunity(), BooleanFunction.constant(4, True).algebraic_immunity()
        (1, 0)
        """
        return anf.algebraic_immunity(self._table, progress)

    def annihilator(self, d: int, progress: Progress = False) -> BooleanFunction | None:
        """A nonzero annihilator of f of algebraic degree <= d, or None when there is none.

        An annihilator is a g with ``g & f`` the zero function, that is g(x) = 0 wherever f(x) = 1. Only
        f's own annihilators count (for those of ~f ask ``(~f).annihilator(d)``), so
        ``algebraic_immunity()`` is the least d at which f or ~f has one. d is an int; negative d gives
        None (only the zero function has degree < 0), and d > n is read as n. The zero function is
        annihilated by the constant 1 at every d >= 0; the constant 1 has no annihilator at all. Which
        annihilator comes back is fixed for a given f and d, not otherwise specified.

        >>> f = BooleanFunction.majority(3)
        >>> print(f.annihilator(1))                       # majority(3) has AI 2
        None
        >>> g = f.annihilator(2)
        >>> (g & f).weight(), g.weight() > 0, g.algebraic_degree() <= 2
        (0, True, True)
        """
        table = anf.annihilator(self._table, d, progress)
        return None if table is None else self._wrap(table)

    # -- cryptographic measures -----------------------------------------------------------------
    def fourier_degree(self, progress: Progress = False) -> int:
        """The Fourier degree: the largest popcount(u) with W(u) != 0; 0 for constants and n = 0.

        The degree of f as a real multilinear polynomial in ±1 variables, the same as
        ``vexil.Vexil.degree()``; at least the algebraic degree over GF(2). One pass over the table
        decides whether it is n (W(2**n - 1) != 0, as for almost every function); otherwise one
        transform.

        >>> BooleanFunction.majority(3).fourier_degree(), BooleanFunction.xor(4).fourier_degree()
        (3, 4)
        >>> BooleanFunction.dictator(5, 2).fourier_degree(), BooleanFunction.constant(3, True).fourier_degree()
        (1, 0)
        """
        return cryptographic.fourier_degree(self._table, progress)

    def nonlinearity(self, progress: Progress = False) -> int:
        """The Hamming distance from f to the nearest affine function: 2**(n-1) - max|W| / 2.

        An exact int; 0 for affine functions and for n = 0 (each of the two functions of no variables
        is a constant). Bent functions reach the largest value, 2**(n-1) - 2**(n/2 - 1). The same
        value as ``no_linearity()``.

        >>> BooleanFunction.majority(3).nonlinearity(), BooleanFunction.inner_product(6).nonlinearity()
        (2, 28)
        >>> BooleanFunction.xor(5).nonlinearity()
        0
        """
        return cryptographic.nonlinearity(self._table, progress)

    def is_bent(self, progress: Progress = False) -> bool:
        """Whether f is bent: n is even and |W(u)| = 2**(n/2) for every u (max|W| = 2**(n/2)).

        Odd n gives False without a transform, and so does a weight other than
        2**(n-1) ± 2**(n/2 - 1). For n = 0 the definition gives True: n is even and |W(0)| = 1 =
        2**0, so both functions of no variables count as (degenerate) bent functions.

        >>> BooleanFunction.inner_product(4).is_bent(), BooleanFunction.majority(4).is_bent()
        (True, False)
        >>> BooleanFunction([True]).is_bent(), BooleanFunction.xor(3).is_bent()
        (True, False)
        """
        return cryptographic.is_bent(self._table, progress)

    def correlation_immunity(self, progress: Progress = False) -> int:
        """The correlation-immunity order: the largest m with W(u) = 0 for every u of popcount 1..m.

        By the Xiao–Massey characterisation, f is then statistically independent of every set of
        at most m input variables, balanced or not. 0 when some single variable correlates with f (the
        usual case, decided by one pass over the table); n when every W(u) with u != 0 is zero, that is
        for constants (and n = 0). A balanced function of n >= 1 variables has order at most n - 1.

        >>> BooleanFunction.xor(4).correlation_immunity(), BooleanFunction.majority(3).correlation_immunity()
        (3, 0)
        >>> BooleanFunction.constant(3, False).correlation_immunity()
        3
        >>> BooleanFunction.from_expression("x0 & x1 ^ x2 ^ x3").correlation_immunity()   # balanced too
        1
        """
        return cryptographic.correlation_immunity(self._table, progress)

    def resiliency_order(self, progress: Progress = False) -> int:
        """The resiliency order: ``correlation_immunity()`` when f is balanced (W(0) = 0), else -1.

        -1 for every unbalanced function, constants and n = 0 included (one pass over the table
        decides); an m-resilient function stays balanced when any m inputs are fixed.

        >>> BooleanFunction.xor(3).resiliency_order(), BooleanFunction.majority(3).resiliency_order()
        (2, 0)
        >>> BooleanFunction.conjunction(2).resiliency_order()
        -1
        """
        return cryptographic.resiliency_order(self._table, progress)

    def autocorrelation(self, progress: Progress = False) -> Int64Array:
        """The autocorrelation r(a) = sum over x of (-1)**(f(x) XOR f(x XOR a)), exactly.

        A new read-only int64 array of 2**n entries, a = 0 .. 2**n - 1. r(0) = 2**n, each r(a) is in
        [-2**n, 2**n], and r(a) = 2**n - 2 * weight of the derivative of f in direction a; the
        values sum to W(0)**2. Computed as WHT(W**2) / 2**n. ValueError above 31 variables.

        >>> BooleanFunction.majority(3).autocorrelation()   # flipping every input flips the value
        array([ 8,  0,  0,  0,  0,  0,  0, -8])
        >>> BooleanFunction.from_expression("x0 & x1").autocorrelation()
        array([4, 0, 0, 0])
        >>> BooleanFunction.from_expression("x0 | x1 & x2").autocorrelation()
        array([ 8, -4,  4, -4,  4, -4,  4, -4])
        """
        return cryptographic.autocorrelation(self._table, progress)

    def absolute_indicator(self, progress: Progress = False) -> int:
        """The absolute indicator: the largest |r(a)| over a != 0; 0 for n = 0 (there is no such a).

        2**n exactly when f has a linear structure; 0 exactly for bent functions (n >= 1).
        ValueError above 31 variables.

        >>> BooleanFunction.from_expression("x0 | x1 & x2").absolute_indicator()
        4
        >>> BooleanFunction.inner_product(6).absolute_indicator(), BooleanFunction.xor(3).absolute_indicator()
        (0, 8)
        """
        return cryptographic.absolute_indicator(self._table, progress)

    def sum_of_squares_indicator(self, progress: Progress = False) -> int:
        """The sum-of-squares indicator: the sum over a of r(a)**2, as an exact Python int.

        Between 4**n (bent functions) and 8**n (affine functions), so it passes 2**63 from n = 21 on.
        Computed as (sum over u of W(u)**4) / 2**n, from one transform. ValueError above 31 variables.

        >>> BooleanFunction.inner_product(4).sum_of_squares_indicator()
        256
        >>> BooleanFunction.xor(4).sum_of_squares_indicator()
        4096
        >>> BooleanFunction.from_expression("x0 | x1 & x2").sum_of_squares_indicator()   # 8**2 + 7 * 4**2
        176
        """
        return cryptographic.sum_of_squares_indicator(self._table, progress)

    def linear_structures(self, progress: Progress = False) -> list[int]:
        """The linear structures of f: the a != 0 with |r(a)| = 2**n, ascending, as ints.

        a is a linear structure when f(x) XOR f(x XOR a) is the same for every x; with 0 they form
        a linear subspace. Affine functions have every a != 0; bent functions and n = 0 none.
        ValueError above 31 variables.

        >>> BooleanFunction.from_expression("x0 & x1 ^ x2").linear_structures()
        [4]
        >>> BooleanFunction.xor(2).linear_structures(), BooleanFunction.inner_product(4).linear_structures()
        ([1, 2, 3], [])
        >>> BooleanFunction.majority(3).linear_structures()   # self-dual: f(x ^ 7) = not f(x)
        [7]
        """
        return cryptographic.linear_structures(self._table, progress)

    def spectral_weights(self, progress: Progress = False) -> Float64Array:
        """The Fourier weight by level: for k = 0 .. n, the sum over popcount(u) = k of (W(u) / 2**n)**2.

        A float64 array of n + 1 entries that sum to 1 (Parseval); entry 0 is (W(0) / 2**n)**2 and
        entry k > 0 is the share of the variance of (-1)**f at degree k. Each entry is the exact
        integer sum of W(u)**2 divided once by 4**n, correctly rounded. ValueError above 31
        variables.

        >>> BooleanFunction.majority(3).spectral_weights()
        array([0.  , 0.75, 0.  , 0.25])
        >>> BooleanFunction.constant(2, True).spectral_weights()
        array([1., 0., 0.])
        """
        return cryptographic.spectral_weights(self._table, progress)

    def noise_stability(self, rho: float, progress: Progress = False) -> float:
        """The noise stability Stab_rho(f): the sum over u of rho**popcount(u) * (W(u) / 2**n)**2.

        The correlation E[(-1)**f(x) * (-1)**f(y)] when each bit of y equals that of x with
        probability (1 + rho) / 2, independently. ``rho`` is a real number in [-1, 1] (ValueError
        outside, TypeError when it is no real number). Evaluated exactly from the integer weights by
        level and rounded once: 1.0 at rho = 1 and (W(0) / 2**n)**2 at rho = 0. ValueError above 31
        variables.

        >>> BooleanFunction.majority(3).noise_stability(0.5)   # 0.75 * 0.5 + 0.25 * 0.125
        0.40625
        >>> BooleanFunction.xor(3).noise_stability(-1.0), BooleanFunction.xor(3).noise_stability(0.0)
        (-1.0, 0.0)
        """
        return cryptographic.noise_stability(self._table, rho, progress)

    # -- query complexity -----------------------------------------------------------------------
    def sensitivity(self) -> int:
        """Another name for ``max_sensitivity``: the largest number of variables whose flip changes f(x).

        >>> BooleanFunction.majority(3).sensitivity(), BooleanFunction.xor(4).sensitivity()
        (2, 4)
        """
        return self.max_sensitivity()

    def min_sensitivity(self) -> int:
        """The least s(x) over all inputs x.

        Constants and n = 0 give 0; ``xor(n)`` gives n (every input is sensitive to every variable).

        >>> BooleanFunction.majority(3).min_sensitivity(), BooleanFunction.xor(3).min_sensitivity()
        (0, 3)
        """
        return query_complexity.min_sensitivity(self._table)

    def average_sensitivity(self) -> float:
        """Another name for ``total_influence``: the mean of s(x) over the 2**n inputs, exact.

        ``mean_sensitivity()`` is the same in single precision.

        >>> BooleanFunction.majority(3).average_sensitivity(), BooleanFunction.conjunction(2).average_sensitivity()
        (1.5, 1.0)
        """
        return self.total_influence()

    def sensitivities(self) -> npt.NDArray[np.uint8]:
        """s(x) for every input x = 0 .. 2**n - 1, as a new read-only uint8 array of 2**n entries.

        Entry x counts the variables v with f(x) != f(x XOR 2**v). Summed, they give twice the
        number of edges of the cube along which f changes (the sum of ``influence_counts()``). n = 0
        gives ``array([0], dtype=uint8)``.

        >>> BooleanFunction.majority(3).sensitivities()
        array([0, 2, 2, 2, 2, 2, 2, 0], dtype=uint8)
        """
        return query_complexity.sensitivities(self._table)

    def block_sensitivity(self, progress: Progress = False) -> int:
        """The block sensitivity: the largest number of disjoint sensitive blocks at one input.

        A block is a non-empty set B of variables, sensitive at x when flipping all of B changes
        f(x); bs(x) is the largest number of pairwise disjoint sensitive blocks at x and the result
        the maximum over x. s <= bs <= C. Constants and n = 0 give 0, ``xor(n)`` gives n.

        Exponential: found from bounds (the largest sensitivity, C(x) of every input) and, for the
        inputs they leave open, a maximum packing of their minimal sensitive blocks, on the worker
        pool. Random functions of 14 variables take well under a second.

        >>> f = BooleanFunction.from_hex('0x1bd8', n=4)   # s(x) = 2 at every input
        >>> f.sensitivity(), f.block_sensitivity()
        (2, 3)
        """
        return query_complexity.block_sensitivity(self._table, progress)

    def certificate_complexity(self, value: Bit | None = None, progress: Progress = False) -> int:
        """The certificate complexity C(f), or with ``value`` = 0 or 1 the one-sided C0(f) or C1(f).

        A certificate of input x is a set S of variables such that every input agreeing with x on S
        has the value f(x); C(x) is the size of a smallest one (see ``certificate``). C(f) is the
        largest C(x) over all inputs, and equals ``vexil.Vexil.certificate_complexity()``. With a
        value (a bool or 0/1), the largest C(x) over the inputs with f(x) == value only, so that
        C(f) = max(C0, C1); a value that f never takes gives 0. Constants and n = 0 give 0.

        >>> f = BooleanFunction.conjunction(3)
        >>> f.certificate_complexity(), f.certificate_complexity(0), f.certificate_complexity(1)
        (3, 1, 3)
        """
        return query_complexity.certificate_complexity(self._table, value, progress)

    def certificate(self, x: int | Iterable[Bit]) -> dict[int, int]:
        """A smallest certificate of input x, as a dict {variable: bit} of the values x gives them.

        ``x`` is an int entry index or a sequence of n bits (item v is variable v), as for f(x).
        Every input y that agrees with x on the variables of the dict has f(y) == f(x), and no
        smaller set of variables does that: the dict has C(x) entries. Among the smallest sets, the
        one whose variables form the least bit mask (sum of 2**v); keys in increasing order. The
        empty dict for constants and n = 0.

        >>> BooleanFunction.conjunction(3).certificate(0b101)    # x1 = 0 forces false
        {1: 0}
        >>> BooleanFunction.majority(3).certificate([1, 1, 0])   # two ones force true
        {0: 1, 1: 1}
        """
        return query_complexity.certificate(self._table, x)

    def decision_tree_depth(self, progress: Progress = False) -> int:
        """The depth D(f) of a shallowest deterministic decision tree computing f.

        Each inner node of the tree reads one variable and branches on its value; each leaf is a
        constant; the depth counts the reads on the longest path. Constants and n = 0 give 0,
        ``xor(n)`` and ``majority(n)`` give n, ``address(k)`` gives k + 1. C <= D <= the number of
        variables f depends on.

        Exact, by dynamic programming over the 3**r subcubes of the r variables f depends on (3**r
        bytes of memory: 43 MB for r = 16, MemoryError when it cannot be had), on the worker pool.

        >>> BooleanFunction.address(1).decision_tree_depth(), BooleanFunction.xor(3).decision_tree_depth()
        (2, 3)
        """
        return query_complexity.decision_tree_depth(self._table, progress)

    # -- minimum circuits -----------------------------------------------------------------------
    def minimal_gates(self, basis: str | None = None) -> int:
        """The number of gates of a smallest circuit of two-input gates computing f, for n <= 5.

        With ``basis`` given ("B2", "AIG" or "XAG") the count comes from ``synthesize`` in that basis,
        for any n, without a time limit (Ctrl-C stops it); "B2" for n <= 5 is the database's answer.

        Gates may compute any of the 16 two-input functions, inputs and gates may feed any number
        of gates, and the output may be complemented for free, so constants, variables and their
        complements need 0 gates. The count is that of ``vexil.Vexil.minimal_gates`` (for n < 5, of
        the extension ``f.extend(5)``, which is the same). The first call in a process builds the
        gate database (a few seconds). ValueError for n > 5.

        >>> BooleanFunction.majority(3).minimal_gates(), BooleanFunction.xor(5).minimal_gates()
        (4, 4)
        >>> BooleanFunction.constant(0, True).minimal_gates()
        0
        >>> f = BooleanFunction.random(5, seed=7)
        >>> f.minimal_gates() == f.to_vexil().minimal_gates()
        True
        """
        if basis is None or (basis == "B2" and self._n <= circuits.MAX_CIRCUIT_VARS):
            return circuits.minimal_gates(self._table)
        return self._minimal(basis)[1]

    def minimal_circuit(self, basis: str | None = None) -> Circuit:
        """A smallest circuit of two-input gates computing f, as a ``Circuit`` on f's n <= 5 variables.

        With ``basis`` given ("B2", "AIG" or "XAG") the circuit comes from ``synthesize`` in that
        basis, for any n, without a time limit (Ctrl-C stops it).

        ``len()`` of the circuit is ``minimal_gates()``, its ``to_function()`` is f, and it reads
        only variables f depends on. Which of the smallest circuits comes back is fixed by the
        database. A constant function gives an empty circuit with output None (see ``Circuit``).
        ValueError for n > 5.

        >>> c = BooleanFunction.conjunction(3).minimal_circuit()
        >>> len(c), [op for op, a, b in c.gates], c.to_function() == BooleanFunction.conjunction(3)
        (2, [8, 8], True)
        >>> BooleanFunction.dictator(4, 2).minimal_circuit()
        Circuit(inputs=4, gates=(), output=2, output_negated=False)
        >>> BooleanFunction.constant(1, True).minimal_circuit()
        Circuit(inputs=1, gates=(), output=None, output_negated=True)
        """
        if basis is None or (basis == "B2" and self._n <= circuits.MAX_CIRCUIT_VARS):
            return circuits.minimal_circuit(self._table)
        return self._minimal(basis)[0]

    # -- peer libraries (vexil_kit.peers: each imported only when called) -----------------------------

    @classmethod
    def from_sage(cls, function: Any) -> BooleanFunction:
        """The function of a SageMath ``sage.crypto.boolean_function.BooleanFunction`` (or of what that
        class accepts), entry for entry: Sage orders its truth table as we do (variable v at bit v).
        ImportError naming ``passagemath-modules passagemath-brial`` without Sage.

        >>> f = BooleanFunction.from_sage(BooleanFunction.majority(3).to_sage())  # doctest: +SKIP
        >>> f == BooleanFunction.majority(3)  # doctest: +SKIP
        True
        """
        from . import peers

        return cls._wrap(peers.from_sage(function))

    def to_sage(self) -> Any:
        """A SageMath BooleanFunction with f's truth table (same entry order; see ``from_sage``).

        >>> BooleanFunction.conjunction(2).to_sage().truth_table(format="int")  # doctest: +SKIP
        (0, 0, 0, 1)
        """
        from . import peers

        return peers.to_sage(self._table)

    @classmethod
    def from_boofun(cls, function: Any) -> BooleanFunction:
        """The function of a boofun BooleanFunction, entry for entry (boofun orders its truth table as we
        do). ImportError naming ``boofun`` without it.

        >>> import boofun  # doctest: +SKIP
        >>> BooleanFunction.from_boofun(boofun.dictator(3, 0)) == BooleanFunction.dictator(3, 0)  # doctest: +SKIP
        True
        """
        from . import peers

        return cls._wrap(peers.from_boofun(function))

    def to_boofun(self) -> Any:
        """A boofun BooleanFunction with f's truth table (same entry order; see ``from_boofun``).

        >>> BooleanFunction.xor(3).to_boofun().n_vars  # doctest: +SKIP
        3
        """
        from . import peers

        return peers.to_boofun(self._table)

    # -- predicates (vexil_kit.predicates) -------------------------------------------------------------
    def is_symmetric(self) -> bool:
        """Whether f(x) depends only on the number of ones of x (f is invariant under every
        permutation of its variables). Functions of at most one variable are symmetric.

        >>> BooleanFunction.majority(5).is_symmetric(), BooleanFunction.dictator(2, 0).is_symmetric()
        (True, False)
        """
        return predicates.is_symmetric(self._table)

    def is_monotone(self) -> bool:
        """Whether f(x) <= f(y) whenever x <= y bitwise: no variable's rise makes f fall. Constants are
        monotone; so is every function of n = 0.

        >>> BooleanFunction.majority(3).is_monotone(), BooleanFunction.xor(2).is_monotone()
        (True, False)
        >>> (~BooleanFunction.conjunction(2)).is_monotone()
        False
        """
        return predicates.is_monotone(self._table)

    def is_unate(self) -> bool:
        """Whether f is, in each variable separately, non-decreasing or non-increasing (no variable is
        binate; see ``unate_polarities``). Monotone functions are unate.

        >>> BooleanFunction.from_expression("x0 & ~x1").is_unate(), BooleanFunction.xor(2).is_unate()
        (True, False)
        """
        return predicates.is_unate(self._table)

    def unate_polarities(self) -> list[int | None]:
        """For each variable v: 1 when f never falls as x_v rises (positive unate), -1 when it never
        rises (negative), 0 when f ignores v, None when it does both (binate).

        >>> BooleanFunction.from_expression("x0 & ~x1 | x2 ^ x3", n=5).unate_polarities()
        [1, -1, None, None, 0]
        """
        return predicates.unate_polarities(self._table)

    def is_self_dual(self) -> bool:
        """Whether f equals its dual, f(x XOR 1...1) = NOT f(x) for every x (``f == f.dual()``). A
        self-dual function is balanced; no function of n = 0 is self-dual.

        >>> BooleanFunction.majority(3).is_self_dual(), BooleanFunction.conjunction(2).is_self_dual()
        (True, False)
        """
        return predicates.is_self_dual(self._table)

    def is_affine(self) -> bool:
        """Whether f(x) = c XOR a.x for a bit c and a mask a: algebraic degree at most 1.

        >>> BooleanFunction.from_expression("x0 ^ x2 ^ 1").is_affine(), BooleanFunction.majority(3).is_affine()
        (True, False)
        """
        return predicates.is_affine(self._table)

    def is_linear(self) -> bool:
        """Whether f(x) = a.x for a mask a: affine with f(0) = 0 (the zero function included).

        >>> BooleanFunction.xor(3).is_linear(), (~BooleanFunction.xor(3)).is_linear()
        (True, False)
        """
        return predicates.is_linear(self._table)

    def plateaued_amplitude(self, progress: Progress = False) -> int:
        """The amplitude of a plateaued f: the value that every non-zero |W(u)| shares; 0 when f is not
        plateaued (no amplitude is 0: by Parseval some W(u) is not). A power of two 2**r with r >= n/2:
        2**(n/2) for bent functions, 2**n for affine ones, 1 for n = 0. One transform unless the
        weight or affinity settles it; takes ``progress``.

        >>> BooleanFunction.inner_product(4).plateaued_amplitude(), BooleanFunction.xor(3).plateaued_amplitude()
        (4, 8)
        >>> BooleanFunction.majority(3).plateaued_amplitude(), BooleanFunction.majority(5).plateaued_amplitude()
        (4, 0)
        """
        return predicates.plateaued_amplitude(self._table, progress)

    def is_plateaued(self, progress: Progress = False) -> bool:
        """Whether every non-zero |W(u)| is the same (``plateaued_amplitude() != 0``): bent, affine and
        partially bent functions are plateaued.

        >>> BooleanFunction.majority(3).is_plateaued(), BooleanFunction.majority(5).is_plateaued()
        (True, False)
        """
        return predicates.is_plateaued(self._table, progress)

    def essential_variables(self) -> list[int]:
        """The variables f depends on (v with f(x) != f(x XOR 2**v) for some x), ascending: the core's
        kernel that query measures use to project out the ignored variables.

        >>> BooleanFunction.from_expression("x0 & x2 | x2 & ~x2").essential_variables()
        [0, 2]
        >>> BooleanFunction.constant(3, True).essential_variables()
        []
        """
        return predicates.essential_variables(self._table)

    # -- criteria of cryptography (vexil_kit.predicates) ----------------------------------------------
    def propagation_criterion(self, progress: Progress = False) -> int:
        """The propagation-criterion degree: the largest k <= n such that f satisfies PC(k), that is the
        autocorrelation r(a) = 0 for every a with 1 <= popcount(a) <= k. n for bent functions, 0 when
        the strict avalanche criterion fails (decided in one pass) and for n = 0. Otherwise computed
        from ``autocorrelation()``, so ValueError above 31 variables; takes ``progress``.

        >>> BooleanFunction.inner_product(4).propagation_criterion()
        4
        >>> BooleanFunction.majority(3).propagation_criterion(), BooleanFunction.xor(3).propagation_criterion()
        (2, 0)
        """
        return predicates.propagation_criterion(self._table, progress)

    def strict_avalanche(self) -> bool:
        """Whether f satisfies the strict avalanche criterion (SAC, PC(1)): flipping any one input
        changes f at exactly half of the inputs. ``propagation_criterion() >= 1``; False for n = 0.

        >>> BooleanFunction.inner_product(2).strict_avalanche(), BooleanFunction.xor(3).strict_avalanche()
        (True, False)
        """
        return predicates.strict_avalanche(self._table)

    def walsh_spectrum_counts(self, signed: bool = False) -> dict[int, int]:
        """How many u have each value of |W(u)| (or of W(u) with ``signed``), as a dict in increasing
        value; the counts add up to 2**n.

        >>> BooleanFunction.majority(3).walsh_spectrum_counts()
        {0: 4, 4: 4}
        >>> BooleanFunction.majority(3).walsh_spectrum_counts(signed=True)
        {-4: 1, 0: 4, 4: 3}
        """
        return predicates.walsh_spectrum_counts(self._table, signed)

    def anf_text(self, parseable: bool = False) -> str:
        """The algebraic normal form as text: the monomials joined by " + ", each the product of its
        variables x0..x(n-1) joined by "*", the constant 1 as "1"; higher degrees first, then in
        increasing order of their variables; "0" for the zero function. With ``parseable`` the
        operators are "&" and " ^ ", which ``from_expression`` reads back.

        >>> BooleanFunction.from_expression("x0 & x1 | x2").anf_text()
        'x0*x1*x2 + x0*x1 + x2'
        >>> f = BooleanFunction.majority(3) ^ True
        >>> f.anf_text(), BooleanFunction.from_expression(f.anf_text(parseable=True), n=3) == f
        ('x0*x1 + x0*x2 + x1*x2 + 1', True)
        """
        return predicates.anf_text(self._table, parseable)

    def chow_parameters(self) -> list[int]:
        """The Chow parameters as exact ints: [W(0), W(1), W(2), W(4), ..., W(2**(n-1))], the Walsh
        coefficients of order 0 and 1 (``walsh_spectrum()``'s convention, false counting +1). Divided
        by 2**n they are the Fourier coefficients of (-1)**f of degree 0 and 1; W(0) = 2**n - 2 *
        weight. A threshold function is the only one with its Chow parameters.

        >>> BooleanFunction.majority(3).chow_parameters()
        [0, 4, 4, 4]
        >>> BooleanFunction.conjunction(2).chow_parameters()
        [2, 2, 2]
        """
        return predicates.chow_parameters(self._table)

    # -- transforms and constructions (vexil_kit.transforms) ------------------------------------------
    def _other(self, g: Any) -> Table:
        return g._table if isinstance(g, BooleanFunction) else _arguments.table(g)

    def dual(self) -> BooleanFunction:
        """The dual x -> NOT f(x XOR 1...1); ``f.dual().dual() == f``.

        >>> BooleanFunction.conjunction(3).dual() == BooleanFunction.disjunction(3)
        True
        """
        return self._wrap(transforms.dual(self._table))

    def shift(self, s: int) -> BooleanFunction:
        """The shift x -> f(x XOR s) by a mask s in [0, 2**n) (ValueError otherwise).

        >>> BooleanFunction.conjunction(2).shift(1) == BooleanFunction.from_expression("~x0 & x1")
        True
        """
        return self._wrap(transforms.shift(self._table, s))

    def concatenate(self, g: Any) -> BooleanFunction:
        """f || g: the function of n + 1 variables equal to f where the new top variable x_n is 0 and to g
        where it is 1 (its table is f's followed by g's). g is a BooleanFunction or a table of the same
        n (ValueError otherwise).

        >>> BooleanFunction.xor(2).concatenate(BooleanFunction.conjunction(2)).to_hex()
        '0x86'
        """
        return self._wrap(transforms.concatenate(self._table, self._other(g)))

    def direct_sum(self, g: Any) -> BooleanFunction:
        """f(x) XOR g(y) on n + m variables: x is variables 0..n-1, y (g's m variables) n..n+m-1. Its
        Walsh spectrum is the product W_f(u) W_g(v) at u + 2**n v.

        >>> BooleanFunction.xor(2).direct_sum(BooleanFunction.xor(3)) == BooleanFunction.xor(5)
        True
        """
        return self._wrap(transforms.direct_sum(self._table, self._other(g)))

    def compose(self, g: Any, i: int) -> BooleanFunction:
        """f with g, a function of its own m variables, in place of variable i: n - 1 + m variables,
        f's variables below i keeping their numbers, g's variables at i..i+m-1 and f's variables above
        i moved up to i+m..n+m-2.

        >>> f = BooleanFunction.from_expression("x0 | x1")
        >>> f.compose(BooleanFunction.conjunction(2), 0) == BooleanFunction.from_expression("x0 & x1 | x2")
        True
        """
        return self._wrap(transforms.compose(self._table, self._other(g), i))

    def block_compose(self, g: Any) -> BooleanFunction:
        """f(g(y_0), ..., g(y_{n-1})) on n*m variables, y_v being the variables v*m..v*m+m-1 (m the
        variables of g): the composition f o (g, ..., g) of query complexity.

        >>> xor, and_ = BooleanFunction.xor(2), BooleanFunction.conjunction(2)
        >>> xor.block_compose(and_) == BooleanFunction.from_expression("x0 & x1 ^ x2 & x3")
        True
        """
        return self._wrap(transforms.block_compose(self._table, self._other(g)))

    def project(self, vars: Iterable[int]) -> BooleanFunction:
        """The same function seen on the listed variables only: variable k of the result is vars[k].
        The list must hold every essential variable (ValueError otherwise, and for a repeated or
        out-of-range variable); ``f.project(f.essential_variables())`` drops the ignored ones.

        >>> f = BooleanFunction.from_expression("x3 & ~x1", n=5)
        >>> f.project([3, 1]) == BooleanFunction.from_expression("x0 & ~x1")
        True
        """
        return self._wrap(transforms.project(self._table, vars))

    @classmethod
    def maiorana_mcfarland(cls, pi: Iterable[int], h: Any) -> BooleanFunction:
        """The Maiorana–McFarland function f(x, y) = x . pi(y) XOR h(y) on 2k variables: x is variables
        0..k-1, y variables k..2k-1, ``pi`` lists pi(y) for y = 0..2**k-1 (a permutation of
        range(2**k), as ints) and ``h`` is a BooleanFunction or table of k variables. Always bent.

        >>> f = BooleanFunction.maiorana_mcfarland([0, 1, 3, 2], BooleanFunction.conjunction(2))
        >>> f.n, f.is_bent()
        (4, True)
        """
        table = h._table if isinstance(h, BooleanFunction) else _arguments.table(h)
        return cls._wrap(transforms.maiorana_mcfarland(pi, table))

    # -- two-level forms and decision trees as objects ----------------------------------------
    def _dont_care(self, dont_care: BooleanFunction | None) -> Table | None:
        """The table of a don't-care function of f's n, or None."""
        if dont_care is None:
            return None
        if not isinstance(dont_care, BooleanFunction):
            raise TypeError(f"dont_care is a BooleanFunction or None, not {type(dont_care).__name__}")
        if dont_care._n != self._n:
            raise ValueError(f"the don't-cares have {dont_care._n} variables and the function {self._n}")
        return dont_care._table

    def isop(self, dont_care: BooleanFunction | None = None) -> list[Cube]:
        """An irredundant sum of products of f, as a list of ``Cube`` (vexil_kit.two_level).

        Minato–Morreale's recursion on the packed table, in the core: every cube is a prime
        implicant, no cube can be dropped without losing an input of f, and the cubes together are
        exactly f, in the order the recursion finds them (it splits on the highest variable first).
        With ``dont_care`` (a function of the same n), the cubes cover every input of
        f & ~dont_care and lie inside f | dont_care. ``[]`` for false, ``[Cube(0, 0)]`` for true.
        Well under a second at n = 20.

        >>> [str(c) for c in BooleanFunction.majority(3).isop()]
        ['x1 & x2', 'x0 & x2', 'x0 & x1']
        >>> f = BooleanFunction.from_expression("x0 & x1 & ~x2")
        >>> [str(c) for c in f.isop(dont_care=BooleanFunction.from_expression("x0 & x1 & x2"))]
        ['x0 & x1']
        """
        return two_level.isop(self._table, self._dont_care(dont_care))

    def to_sop(self, minimum: bool = False) -> str:
        """f as a sum of products, an expression ``from_expression`` reads back to f ("0" or "1" for
        constants): the terms of ``isop()``, or with ``minimum=True`` of ``minimum_sop()`` (n <= 10).

        >>> BooleanFunction.majority(3).to_sop()
        'x1 & x2 | x0 & x2 | x0 & x1'
        >>> f = BooleanFunction.random(6, seed=1)
        >>> BooleanFunction.from_expression(f.to_sop(), n=6) == f
        True
        """
        cubes = two_level.minimum_sop(self._table) if minimum else two_level.isop(self._table)
        return two_level.sop_text(cubes)

    def to_pos(self, minimum: bool = False) -> str:
        """f as a product of sums, an expression ``from_expression`` reads back to f ("0" or "1" for
        constants): the complements of the terms of ``(~f).isop()`` (or of ``minimum_sop()`` with
        ``minimum=True``, n <= 10).

        >>> BooleanFunction.majority(3).to_pos()
        '(x1 | x2) & (x0 | x2) & (x0 | x1)'
        """
        complement = ~self._table
        cubes = two_level.minimum_sop(complement) if minimum else two_level.isop(complement)
        return two_level.pos_text(cubes)

    def prime_implicants(self, dont_care: BooleanFunction | None = None, progress: Progress = False) -> list[Cube]:
        """Every prime implicant of f (of f | dont_care with don't-cares), as ``Cube`` objects.

        A cube is an implicant when f is true on all of it, prime when no literal can be dropped
        from it keeping it one. Found in the core by one pass over the 3**n subcubes (3**n bytes),
        in increasing base-3 order of the subcube (digit v: 0 or 1 the value of v, 2 when v is
        free), for n <= 14; ValueError beyond.

        >>> [str(c) for c in BooleanFunction.from_expression("x0 & x1 | ~x0 & x2").prime_implicants()]
        ['x1 & x2', '~x0 & x2', 'x0 & x1']
        """
        return two_level.prime_implicants(self._table, self._dont_care(dont_care), progress)

    def minimum_sop(self, dont_care: BooleanFunction | None = None) -> list[Cube]:
        """An exact minimum sum of products of f, for n <= 10 (ValueError beyond), as ``Cube`` objects.

        The fewest terms and, among the sums with that many, the fewest literals. The terms are
        prime implicants (of f | dont_care), chosen by an exact set cover of the inputs of f (of
        f & ~dont_care) solved as an integer program with HiGHS (``highspy``); among the covers with
        the same numbers of terms and literals, the one HiGHS finds, the same for one HiGHS version.
        Never more terms than ``isop()``.

        >>> f = BooleanFunction.from_expression("x0 & x1 | ~x0 & x2 | x1 & x2")
        >>> [str(c) for c in f.minimum_sop()], len(f.isop())
        (['~x0 & x2', 'x0 & x1'], 2)
        """
        return two_level.minimum_sop(self._table, self._dont_care(dont_care))

    def decision_tree(self, progress: Progress = False) -> DecisionTree:
        """A shallowest decision tree computing f, as a ``DecisionTree`` (vexil_kit.decision_trees).

        Its depth is ``decision_tree_depth()``; it reads only variables f depends on, at each node
        the lowest variable that keeps the depth optimal (so not always a tree of fewest leaves:
        see ``decision_tree_size``). From the same dynamic programming over the 3**r subcubes of the
        r variables f depends on (3**r bytes); ``evaluate``, ``to_json`` and ``to_dot`` on the tree.

        >>> t = BooleanFunction.address(1).decision_tree()
        >>> t, t.evaluate(0b110)
        (DecisionTree(n=3, depth=2, size=4), True)
        """
        return decision_trees.decision_tree(self._table, progress)

    def decision_tree_size(self) -> int:
        """The least number of leaves of a decision tree computing f, of any depth, for n <= 10.

        Exact, by dynamic programming over the 3**n subcubes in the core (ValueError beyond 10
        variables). 1 for constants, 2**n for parity, n + 1 for the conjunction of n variables.

        >>> BooleanFunction.conjunction(4).decision_tree_size(), BooleanFunction.xor(4).decision_tree_size()
        (5, 16)
        """
        return decision_trees.decision_tree_size(self._table)

    # -- canonical forms, polynomial degrees, threshold functions (canonical.py, poly_degrees.py) ---------
    def npn_canonical(self) -> tuple[BooleanFunction, NpnTransform]:
        """The representative of f's NPN class and a transform taking f to it, for n <= 6.

        The representative is the member of the class with the smallest ``to_int()``; at five
        variables it is ``npn_representant()``, the gate database's. The transform T (an
        ``NpnTransform``) gives r(x) = f(y) XOR T.output_negation with
        y[T.permutation[i]] = x[i] XOR bit i of T.input_negation (``npn_transform(T)`` applies it).
        ValueError above six variables.

        >>> f = BooleanFunction.from_expression("x0 & ~x2", n=3)
        >>> r, t = f.npn_canonical()
        >>> r.to_int(), f.npn_transform(t) == r
        (3, True)
        """
        from . import canonical

        table, transform = canonical.npn_canonical(self._table)
        return self._wrap(table), transform

    def npn_transform(self, transform: NpnTransform) -> BooleanFunction:
        """f under an ``NpnTransform`` of its n variables (see ``npn_canonical``).

        >>> from vexil_kit.canonical import NpnTransform
        >>> BooleanFunction.dictator(2, 0).npn_transform(NpnTransform((1, 0), 0b10, False)).to_hex()
        '0x3'
        """
        from . import canonical

        return self._wrap(canonical.NpnTransform(*transform).apply(self._table))

    @staticmethod
    def npn_classes(n: int) -> list[BooleanFunction]:
        """One representative (``npn_canonical``'s) of every NPN class of n <= 4 variables, in
        increasing order of ``to_int()``: 1, 2, 4, 14, 222 classes for n = 0 ... 4.

        >>> [len(BooleanFunction.npn_classes(n)) for n in range(5)]
        [1, 2, 4, 14, 222]
        """
        from . import canonical

        return [BooleanFunction._wrap(t) for t in canonical.class_tables(n)]

    def approximate_degree(
        self, eps: float | Fraction = Fraction(1, 3), progress: Progress = False, *, time_limit: float | None = None
    ) -> int:
        """The least degree of a real polynomial p with |p(x) - F(x)| <= eps on every input, F = (-1)**f.

        0 < eps < 1 (1/3 by default; a float is taken at its exact value, 1/3 as the fraction). By
        linear programming with HiGHS, exact (``approximate_degree_certificate`` gives the evidence):
        general functions to n = 10, symmetric ones through their weights (``vexil_kit.poly_degrees``
        goes to 64 variables). ``progress`` (True for a bar, or a callable) hears (programs solved,
        programs planned); Ctrl-C stops it; a program running past ``time_limit`` seconds raises
        TimeoutError.

        >>> BooleanFunction.xor(3).approximate_degree(), BooleanFunction.conjunction(4).approximate_degree()
        (3, 2)
        """
        return self.approximate_degree_certificate(eps, progress, time_limit=time_limit).degree

    def approximate_degree_certificate(
        self, eps: float | Fraction = Fraction(1, 3), progress: Progress = False, *, time_limit: float | None = None
    ) -> DegreeCertificate:
        """``approximate_degree`` with its certificate: a polynomial of that degree within eps, and a
        dual solution that no polynomial of lower degree is; ``certificate.check(f.table)`` verifies them.

        >>> f = BooleanFunction.conjunction(3)
        >>> c = f.approximate_degree_certificate()
        >>> c.degree, c.symmetric, c.check(f.table)
        (2, True, True)
        """
        from . import poly_degrees

        return poly_degrees.approximate_degree_certificate(self._table, eps, time_limit, progress)

    def threshold_degree(self, progress: Progress = False, *, time_limit: float | None = None) -> int:
        """The least degree of a real polynomial with the sign of F = (-1)**f on every input (0 for constants).

        Exact: the number of sign changes along the weights for symmetric functions, by linear
        programming with HiGHS for the others (n <= 10).

        >>> BooleanFunction.majority(5).threshold_degree(), BooleanFunction.xor(4).threshold_degree()
        (1, 4)
        """
        return self.threshold_degree_certificate(progress, time_limit=time_limit).degree

    def threshold_degree_certificate(
        self, progress: Progress = False, *, time_limit: float | None = None
    ) -> DegreeCertificate:
        """``threshold_degree`` with its certificate (see ``approximate_degree_certificate``).

        >>> f = BooleanFunction.from_expression("x0 & x1 | x2 & x3")
        >>> c = f.threshold_degree_certificate()
        >>> c.degree, c.check(f.table)
        (2, True)
        """
        from . import poly_degrees

        return poly_degrees.threshold_degree_certificate(self._table, time_limit, progress)

    def is_threshold(self) -> bool:
        """Whether f(x) = [w . x >= t] for some real weights w and threshold t (n <= 12), by an exact LP
        test whose witness is checked on every input (``threshold_weights`` gives it).

        >>> BooleanFunction.majority(5).is_threshold(), BooleanFunction.xor(2).is_threshold()
        (True, False)
        """
        return self.threshold_weights() is not None

    def threshold_weights(self) -> tuple[tuple[int, ...], int] | None:
        """Integer weights w and threshold t with f(x) = [sum of w[i] * x_i >= t] (x_i bit i of x), checked
        on all 2**n inputs; None when f is no threshold function. n <= 12.

        >>> BooleanFunction.majority(3).threshold_weights()
        ((1, 1, 1), 2)
        """
        from . import poly_degrees

        return poly_degrees.threshold_weights(self._table)

    # -- exact synthesis (vexil_kit.synthesis: SAT search on CaDiCaL through python-sat) ------------

    def synthesize(
        self,
        basis: str = "B2",
        *,
        max_gates: int | None = None,
        time_limit: float | None = None,
        progress: Progress = False,
    ) -> Synthesis:
        """The smallest circuit computing f over ``basis``, by SAT search, with the bounds proven.

        ``basis`` is "B2" (every two-input gate), "AIG" (AND gates with free inverters) or "XAG"
        (AND and XOR gates with free inverters; sizes equal B2's, as every gate reading both
        operands is an AND or an XOR up to inverters). The search goes up from a lower bound
        (essential variables less one) until a circuit is found or the bound meets an upper
        bound from the five-input database; ``time_limit`` (seconds) stops it with the bounds so
        far, ``max_gates`` bounds the sizes tried, Ctrl-C stops it within a second, and
        ``progress`` reports the size being tried. See docs/circuits.md.

        >>> s = BooleanFunction.majority(3).synthesize("AIG")
        >>> s.upper_bound, s.optimal, s.circuit.to_function() == BooleanFunction.majority(3)
        (4, True, True)
        """
        from . import synthesis

        return synthesis.synthesize_tables(
            self._n, [self._table], basis, max_gates=max_gates, time_limit=time_limit, progress=progress
        )

    def multiplicative_complexity(self, time_limit: float | None = None, progress: Progress = False) -> int:
        """The least number of AND gates of a circuit of AND, XOR and NOT gates computing f, exact.

        At least the algebraic degree less one, and unchanged by affine changes of the inputs and
        by adding an affine function. Found by SAT search (see ``synthesize``); TimeoutError when
        ``time_limit`` seconds pass before it is proven.

        >>> BooleanFunction.conjunction(4).multiplicative_complexity()
        3
        >>> BooleanFunction.majority(3).multiplicative_complexity()
        1
        """
        from . import synthesis

        found = synthesis.synthesize_tables(self._n, [self._table], "MC", time_limit=time_limit, progress=progress)
        if not found.optimal or found.upper_bound is None:
            raise TimeoutError(
                f"multiplicative complexity not proven in {time_limit} s: between {found.lower_bound} "
                f"and {found.upper_bound if found.upper_bound is not None else 'unknown'}"
            )
        return found.upper_bound

    def _minimal(self, basis: str) -> tuple[Circuit, int]:
        """The circuit and size of a search without a time limit, which ends with a circuit found."""
        from . import synthesis

        found = synthesis.synthesize_tables(self._n, [self._table], basis)
        assert found.circuit is not None and found.upper_bound is not None
        return found.circuit, found.upper_bound


def family_member(family: families.Family, *arguments: int) -> BooleanFunction:
    """The member of a registered family (``families.lookup``) with these arguments."""
    return BooleanFunction._wrap(family.build(*arguments))
