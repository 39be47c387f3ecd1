"""The VectorialFunction value type: an (n, m)-function, or S-box, held as its table of 2**n output words.

Entry x of the table is F(x); bit v of x is variable v and bit j of F(x) is coordinate j, as for
``BooleanFunction`` (variable 0 and coordinate 0 are the least significant bits). The cryptographic
tables (DDT, Walsh table, LAT, BCT) and their summaries are computed by the native core without the
interpreter lock; the scalar summaries stream the rows of their table on the worker pool and never
hold it whole, so they reach n = 16 in a few MiB. The measures are named in the core's vectorial
registry (``MEASURES`` here), which sweeps and ``vexil report sbox:NAME`` read.
"""

from __future__ import annotations

import operator
from collections.abc import Callable, Iterable, Iterator, Sequence
from typing import Any

import numpy as np
import numpy.typing as npt

from . import _arguments, _native, _tabulate, circuits, display, registry, sbox_classes, sbox_equivalence, sboxes
from ._value import Value
from .function import BooleanFunction
from .progress import Progress, reporter
from .sbox_classes import AffineClass
from .synthesis import Synthesis, synthesize_tables

Words = npt.NDArray[np.uint32]

#: Bytes a Python int of an output word holds in a list: its slot and the int object.
_INT_BYTES = 40

#: Tables of at most this many entries print as a literal that round-trips.
_SHOWN = 256
_MAX_VARS = 30
_MAX_OUTPUTS = 32


#: One measure of a vectorial function: the registry's ``MeasureInfo`` (``subject`` "vectorial").
VectorialMeasureInfo = registry.MeasureInfo

#: Every measure of a vectorial function by name, in report order (``registry.measures("vectorial")``).
MEASURES: dict[str, VectorialMeasureInfo] = registry.measures("vectorial")


def _words(table: Any) -> Words:
    """A read-only uint32 copy of a 1-D table of 2**n non-negative ints below 2**32 (n <= 30)."""
    if isinstance(table, VectorialFunction):
        return table.table
    if isinstance(table, (str, bytes, bytearray)) or table is None or np.isscalar(table):
        raise ValueError(f"a table is a 1-D sequence or array of 2**n ints, not {type(table).__name__}")
    if isinstance(table, Iterator):
        table = list(table)  # an iterator (a generator, iter(...)) is read once, in order
    array = np.asarray(table)
    if array.ndim != 1:
        raise ValueError(f"the table must be 1-D, got {array.ndim} dimensions")
    if array.dtype.kind not in "iu" and not (array.dtype == object or len(array) == 0):
        raise ValueError(f"the table entries must be ints, got {array.dtype}")
    size = array.shape[0]
    if size == 0 or size & (size - 1):
        raise ValueError(f"the table length must be a power of two, got {size}")
    if size > 1 << _MAX_VARS:
        raise ValueError(f"at most 2**{_MAX_VARS} entries, got {size}")
    # The bytes the value keeps, and a uint32 copy first where the array is not one already.
    words_already = array.dtype == np.uint32 and array.flags.c_contiguous
    _native.ensure_working_set((4 if words_already else 8) * size)
    if array.dtype == object:
        try:
            values = [_arguments.integer(v, "a table entry") for v in array]
        except TypeError as error:  # a None, a float or a bool among ints: a bad table, as the others
            raise ValueError(f"the table entries must be ints: {error}") from None
        array = np.array(values if values else [0], dtype=object)
        low, high = min(values), max(values)
    else:
        low, high = int(array.min()), int(array.max())
    if low < 0 or high >> _MAX_OUTPUTS:
        raise ValueError(f"the table entries must lie in [0, 2**32), got {low if low < 0 else high}")
    words = np.ascontiguousarray(array, dtype=np.uint32)
    result: Words = np.frombuffer(words.tobytes(), dtype=np.uint32)
    return result


def _restore(cls: type[VectorialFunction], n: int, m: int, data: bytes) -> VectorialFunction:
    """Rebuild a pickled S-box from its little-endian words, refusing a length that disagrees with n."""
    n = _arguments.num_vars(n)
    if not isinstance(data, (bytes, bytearray)) or len(data) != 4 << n:
        raise ValueError(f"a pickled S-box of n = {n} holds {4 << n} bytes")
    return cls(np.frombuffer(data, dtype="<u4").astype(np.uint32), m)


class VectorialFunction(Value[np.uint32]):
    """An immutable (n, m)-function, or S-box: F from n bits to m bits, held as its 2**n output words.

    Entry x of ``table`` is F(x), a read-only uint32 array; bit v of x is variable v and bit j of F(x) is
    coordinate j (the least significant bits first, as for ``BooleanFunction``). The table is given as a
    sequence, an array or an iterator of ints; anything else, or an entry that is no int, is a
    ValueError. ``m`` is given or
    inferred as the bit length of the largest output (at least 1); 1 <= m <= 32 and n <= 30. S-boxes
    compare equal when n, m and the tables agree, hash accordingly, pickle, and convert with
    ``np.asarray``. Measures run natively without the interpreter lock, answer Ctrl-C within a second,
    take ``progress=`` where long, and refuse memory they cannot get with MemoryError.

    >>> F = VectorialFunction([0, 1, 3, 6, 7, 4, 5, 2])
    >>> F.n, F.m, F(3), F([1, 1, 0]), len(F)
    (3, 3, 6, 6, 8)
    >>> F.differential_uniformity(), F.linearity(), F.is_apn()
    (2, 4, True)
    >>> F
    VectorialFunction([0, 1, 3, 6, 7, 4, 5, 2], m=3)
    """

    __slots__ = ("_m",)
    _m: int
    _unpickle = _restore
    _repr_html_ = display.vectorial_function  # a notebook's summary, bounded in cost

    def __init__(self, table: Any, m: int | None = None) -> None:
        words = _words(table)
        top = int(words.max())
        if m is None:
            m = max(1, top.bit_length())
        else:
            m = _arguments.integer(m, "m")
            if not 1 <= m <= _MAX_OUTPUTS:
                raise ValueError(f"m must be 1 to {_MAX_OUTPUTS} output bits, not {m}")
            if top >> m:
                raise ValueError(f"output {top} does not fit in m = {m} bits")
        self._set(words, _arguments.log2(len(words)))
        object.__setattr__(self, "_m", m)

    # -- the value ------------------------------------------------------------------------------

    def _header(self) -> tuple[int, ...]:
        return (self._n, self._m)

    def _packed(self) -> bytes:
        # The table lives in bytes of its own (see _words): those, without a copy, where they are little-endian.
        held = self._table.base
        if isinstance(held, bytes) and len(held) == self._table.nbytes and self._table.dtype == np.dtype("<u4"):
            return held
        _tabulate.reserve(8 * len(self))
        return self._table.astype("<u4").tobytes()

    def _text(self, name: str) -> str:
        if len(self) <= _SHOWN:
            return f"{name}({self._table.tolist()}, m={self._m})"
        head = ", ".join(str(v) for v in self._table[:8].tolist())
        return f"<{name} n={self._n} m={self._m} [{head}, ...]>"

    @property
    def m(self) -> int:
        """The number of output bits (coordinates)."""
        return self._m

    def __getitem__(self, x: int) -> int:
        x = _arguments.integer(x, "an entry index")
        if not 0 <= x < len(self):
            raise IndexError(f"entry {x} is outside [0, {len(self)})")
        return int(self._table[x])

    def __call__(self, x: int | Iterable[Any]) -> int:
        """F(x) for an int x, or for a sequence of n bits (item v is variable v)."""
        return self[_arguments.entry(x, self._n)]

    def __iter__(self) -> Iterator[int]:
        # What iterates is usually collected: a list holds a slot and an int per entry.
        _tabulate.reserve(_INT_BYTES * len(self) + 8 * _tabulate.CHUNK)
        return self._entries()

    def _entries(self) -> Iterator[int]:
        # A chunk at a time: no second list of 2**n ints held at once.
        for start in range(0, len(self), _tabulate.CHUNK):
            yield from self._table[start : start + _tabulate.CHUNK].tolist()

    @classmethod
    def _of_words(cls, words: npt.ArrayLike, m: int) -> VectorialFunction:
        return cls(np.asarray(words, dtype=np.uint32), m)

    # -- builders -------------------------------------------------------------------------------

    @classmethod
    def from_components(cls, fs: Sequence[BooleanFunction]) -> VectorialFunction:
        """The S-box whose coordinate j is ``fs[j]`` (coordinate 0 first); all of one n.

        >>> F = VectorialFunction.from_components([BooleanFunction.xor(2), BooleanFunction.conjunction(2)])
        >>> F.table.tolist()   # a half adder: sum in bit 0, carry in bit 1
        [0, 1, 1, 2]
        """
        fs = list(fs)
        if not 1 <= len(fs) <= _MAX_OUTPUTS:
            raise ValueError(f"from_components takes 1 to {_MAX_OUTPUTS} functions, got {len(fs)}")
        if not all(isinstance(f, BooleanFunction) for f in fs):
            raise TypeError("from_components takes BooleanFunction objects")
        if len({f.n for f in fs}) != 1:
            raise ValueError("the components must all have the same number of variables")
        # The words, a shifted coordinate, and the copy the value keeps.
        _tabulate.reserve(12 * len(fs[0]) + 8 * _tabulate.CHUNK)
        words = np.zeros(len(fs[0]), dtype=np.uint32)
        for j, f in enumerate(fs):
            for start in range(0, len(words), _tabulate.CHUNK):
                part = f.table[start : start + _tabulate.CHUNK]
                words[start : start + _tabulate.CHUNK] |= part.astype(np.uint32) << np.uint32(j)
        return cls._of_words(words, len(fs))

    @classmethod
    def from_circuit(cls, c: circuits.Circuit) -> VectorialFunction:
        """The S-box a circuit computes: coordinate j is output j (1 to 32 outputs), from ``c.tables()``.

        >>> half_adder = circuits.Circuit(2, ((6, 0, 1), (8, 0, 1)), outputs=((2, False), (3, False)))
        >>> VectorialFunction.from_circuit(half_adder).table.tolist()
        [0, 1, 1, 2]
        """
        if not isinstance(c, circuits.Circuit):
            raise TypeError(f"from_circuit takes a Circuit, not {type(c).__name__}")
        return cls.from_components([BooleanFunction(t) for t in c.tables()])

    @classmethod
    def from_callable(cls, fn: Callable[[int], int], n: int, m: int) -> VectorialFunction:
        """The S-box with F(x) = fn(x) for x = 0 .. 2**n - 1 (ints below 2**m).

        >>> VectorialFunction.from_callable(lambda x: (3 * x) % 8, 3, 3).table.tolist()
        [0, 3, 6, 1, 4, 7, 2, 5]
        """
        n = _arguments.num_vars(n)
        size = 1 << n
        if size <= _tabulate.CHUNK:
            return cls([operator.index(fn(x)) for x in range(size)], m)
        # A chunk of Python ints at a time into the words, instead of a list of 2**n of them.
        _tabulate.reserve(8 * size + _INT_BYTES * _tabulate.CHUNK)
        words = np.empty(size, dtype=np.uint32)
        low, high = 0, 0
        for start in range(0, size, _tabulate.CHUNK):
            values = [operator.index(fn(x)) for x in range(start, start + _tabulate.CHUNK)]
            low, high = min(low, min(values)), max(high, max(values))
            if low >= 0 and not high >> _MAX_OUTPUTS:
                words[start : start + _tabulate.CHUNK] = values
        if low < 0 or high >> _MAX_OUTPUTS:
            raise ValueError(f"the table entries must lie in [0, 2**32), got {low if low < 0 else high}")
        return cls(words, m)

    @classmethod
    def random(cls, n: int, m: int, seed: Any = None) -> VectorialFunction:
        """A uniformly random (n, m)-function from ``numpy.random.default_rng(seed)``.

        >>> VectorialFunction.random(4, 2, seed=1) == VectorialFunction.random(4, 2, seed=1)
        True
        """
        n = _arguments.num_vars(n)
        m = _arguments.integer(m, "m")
        if not 1 <= m <= _MAX_OUTPUTS or n > _MAX_VARS:
            raise ValueError(f"random takes n <= {_MAX_VARS} and 1 <= m <= {_MAX_OUTPUTS}, not ({n}, {m})")
        # The words and the copy the value keeps; drawn a chunk at a time (the same stream as at once).
        _tabulate.reserve((8 << n) + 8 * _tabulate.CHUNK)
        rng = np.random.default_rng(seed)
        words = np.empty(1 << n, dtype=np.uint32)
        for start in range(0, 1 << n, _tabulate.CHUNK):
            stop = min(1 << n, start + _tabulate.CHUNK)
            words[start:stop] = rng.integers(0, 1 << m, size=stop - start, dtype=np.uint64)
        return cls._of_words(words, m)

    @classmethod
    def random_permutation(cls, n: int, seed: Any = None) -> VectorialFunction:
        """A uniformly random permutation of n bits from ``numpy.random.default_rng(seed)`` (n >= 1).

        >>> VectorialFunction.random_permutation(8, seed=3).is_permutation()
        True
        """
        n = _arguments.num_vars(n)
        if not 1 <= n <= _MAX_VARS:
            raise ValueError(f"random_permutation takes 1 <= n <= {_MAX_VARS}, not {n}")
        _native.ensure_working_set(16 << n)
        return cls._of_words(np.random.default_rng(seed).permutation(1 << n).astype(np.uint32), n)

    @classmethod
    def named(cls, name: str) -> VectorialFunction:
        """A published S-box of the catalogue by name (``catalogue()`` lists them); KeyError otherwise.

        Tables are transcribed from the standards as S[x] with x read as an integer.

        >>> aes = VectorialFunction.named("AES")
        >>> aes.n, aes.m, hex(aes(0)), hex(aes(0x53))
        (8, 8, '0x63', '0xed')
        """
        n, m, table = sboxes.named(name)
        return cls(np.asarray(table, dtype=np.uint32), m)

    @staticmethod
    def catalogue() -> list[str]:
        """The names ``named`` accepts."""
        return list(sboxes.catalogue())

    @classmethod
    def power(cls, n: int, d: int, modulus: int | None = None) -> VectorialFunction:
        """x**d over GF(2**n), whose element with bit k set has the coefficient of X**k.

        The field is GF(2)[X] / (modulus), bit k of ``modulus`` the coefficient of X**k; by default
        the polynomial of ``sboxes.default_modulus(n)`` (0x11B, the one of AES, for n = 8).

        >>> VectorialFunction.power(5, 3).is_apn()    # the cube map is APN
        True
        """
        return cls(np.asarray(sboxes.power_map(n, d, modulus), dtype=np.uint32), n)

    @classmethod
    def inverse_map(cls, n: int) -> VectorialFunction:
        """The patched inverse x**(2**n - 2) over GF(2**n) (0 goes to 0)."""
        return cls(np.asarray(sboxes.inverse_map(n), dtype=np.uint32), n)

    @classmethod
    def gold(cls, n: int, i: int) -> VectorialFunction:
        """The Gold map x**(2**i + 1) over GF(2**n) (APN when gcd(i, n) = 1)."""
        return cls(np.asarray(sboxes.gold(n, i), dtype=np.uint32), n)

    @classmethod
    def kasami(cls, n: int, i: int) -> VectorialFunction:
        """The Kasami map x**(2**(2i) - 2**i + 1) over GF(2**n) (APN when gcd(i, n) = 1)."""
        return cls(np.asarray(sboxes.kasami(n, i), dtype=np.uint32), n)

    # -- algebra --------------------------------------------------------------------------------

    def coordinate(self, j: int) -> BooleanFunction:
        """Coordinate j: the Boolean function x -> bit j of F(x).

        >>> VectorialFunction([0, 1, 1, 2]).coordinate(1) == BooleanFunction.conjunction(2)
        True
        """
        j = _arguments.integer(j, "a coordinate")
        if not 0 <= j < self._m:
            raise ValueError(f"coordinate {j} is outside [0, {self._m})")
        return BooleanFunction(self._bits(j))

    def _bits(self, j: int) -> npt.NDArray[np.bool_]:
        """Bit j of every word, a chunk at a time: the bool table and its copy, no uint32 temporary of 2**n."""
        _tabulate.reserve(2 * len(self) + 12 * _tabulate.CHUNK)
        bits = np.empty(len(self), dtype=np.bool_)
        for start in range(0, len(self), _tabulate.CHUNK):
            part = self._table[start : start + _tabulate.CHUNK]
            bits[start : start + _tabulate.CHUNK] = (part >> np.uint32(j)) & np.uint32(1)
        return bits

    def coordinates(self) -> list[BooleanFunction]:
        """Every coordinate, coordinate 0 first."""
        _tabulate.reserve((self._m + 1) * len(self) + 12 * _tabulate.CHUNK)
        return [self.coordinate(j) for j in range(self._m)]

    def component(self, b: int) -> BooleanFunction:
        """The component b.F: x -> parity(b & F(x)), for 0 <= b < 2**m.

        Its Walsh spectrum is column b of ``walsh_table()``.

        >>> VectorialFunction([0, 1, 1, 2]).component(3) == BooleanFunction.disjunction(2)
        True
        """
        b = _arguments.integer(b, "a component mask")
        if not 0 <= b < 1 << self._m:
            raise ValueError(f"component {b} is outside [0, 2**{self._m})")
        _native.ensure_working_set(5 * len(self))
        masked = self._table & np.uint32(b)
        parity = np.zeros(len(self), dtype=np.uint32)
        for j in range(self._m):
            parity ^= masked >> np.uint32(j)
        return BooleanFunction((parity & np.uint32(1)).astype(np.bool_))

    def anf(self) -> list[list[int]]:
        """The algebraic normal form of each coordinate (coordinate 0 first), as in ``BooleanFunction.anf``.

        The monomials of every coordinate are counted first, so that lists that would not fit raise
        MemoryError, naming their size, before any is made.
        """
        # The bits of a coordinate, its coefficients and their int64 masks, one coordinate at a time.
        _tabulate.reserve(10 * len(self) + 12 * _tabulate.CHUNK)
        try:  # every monomial present, at worst; counted only where that does not fit
            _tabulate.reserve(_INT_BYTES * self._m * len(self) + 10 * len(self))
        except MemoryError:
            counts = [int(np.count_nonzero(_native.moebius_transform(self._bits(j)))) for j in range(self._m)]
            _tabulate.reserve(_INT_BYTES * sum(counts) + 10 * len(self))
        result: list[list[int]] = []
        for j in range(self._m):
            masks = np.flatnonzero(_native.moebius_transform(self._bits(j)))
            # Converted a chunk at a time, so that Ctrl-C is heard.
            monomials: list[int] = []
            for start in range(0, len(masks), _tabulate.CHUNK):
                monomials.extend(masks[start : start + _tabulate.CHUNK].tolist())
            result.append(monomials)
        return result

    def inverse(self) -> VectorialFunction:
        """The inverse permutation; ValueError when F is not a permutation.

        >>> F = VectorialFunction([2, 0, 3, 1])
        >>> F.inverse().table.tolist(), (F @ F.inverse()).table.tolist()
        ([1, 3, 0, 2], [0, 1, 2, 3])
        """
        if not self.is_permutation():
            raise ValueError("only a permutation has an inverse")
        _native.ensure_working_set(12 * len(self))
        inverse = np.empty(len(self), dtype=np.uint32)
        inverse[self._table] = np.arange(len(self), dtype=np.uint32)
        return type(self)._of_words(inverse, self._m)

    def __matmul__(self, other: VectorialFunction) -> VectorialFunction:
        """F @ G is F after G: x -> F(G(x)); needs G.m <= F.n."""
        if not isinstance(other, VectorialFunction):
            return NotImplemented
        if other._m > self._n:
            raise ValueError(f"F @ G needs G's {other._m} output bits to fit F's {self._n} input bits")
        _native.ensure_working_set(4 * len(other))
        return type(self)._of_words(self._table[other._table], self._m)

    def __xor__(self, other: VectorialFunction) -> VectorialFunction:
        """The pointwise XOR of two S-boxes of one n; m is the larger of the two."""
        if not isinstance(other, VectorialFunction):
            return NotImplemented
        if other._n != self._n:
            raise ValueError(f"F ^ G needs one n, not {self._n} and {other._n}")
        # The XOR and the copy the value keeps.
        _tabulate.reserve(8 * len(self))
        return type(self)._of_words(self._table ^ other._table, max(self._m, other._m))

    # -- tables ---------------------------------------------------------------------------------

    def _table_of(self, name: str, progress: Progress) -> npt.NDArray[Any]:
        with reporter(progress, name) as report:
            result: npt.NDArray[Any] = _native.sbox_table(name, self._table, self._m, progress=report)
        return result

    def _measure(self, name: str, progress: Progress = False) -> Any:
        """A scalar measure, by the registry's evaluator."""
        return registry.evaluate("vectorial", name, self._table, m=self._m, progress=progress)

    def _counts(self, name: str, progress: Progress = False) -> dict[int, int]:
        """A value -> count measure, by its native kernel."""
        with reporter(progress, name) as report:
            counts: Any = _native.sbox_measure(name, self._table, self._m, progress=report)
        return dict(counts)

    def ddt(self, progress: Progress = False) -> npt.NDArray[np.uint32]:
        """The difference distribution table: entry [a, b] = #{x : F(x) ^ F(x ^ a) = b}, 2**n x 2**m uint32.

        >>> VectorialFunction.named("PRESENT").ddt()[1].tolist()
        [0, 0, 0, 4, 0, 0, 0, 4, 0, 4, 0, 0, 0, 4, 0, 0]
        """
        return self._table_of("ddt", progress)

    def walsh_table(self, progress: Progress = False) -> npt.NDArray[np.int32]:
        """Entry [a, b] = sum over x of (-1)**(b.F(x) ^ a.x), 2**n x 2**m int32; column b is the Walsh
        spectrum of the component b.F."""
        return self._table_of("walsh_table", progress)

    def lat(self, progress: Progress = False) -> npt.NDArray[np.int32]:
        """The linear approximation table, SageMath's convention: W / 2, that is
        #{x : a.x = b.F(x)} - 2**(n-1); needs n >= 1.

        >>> int(VectorialFunction.named("AES").lat()[1:, 1:].max())
        16
        """
        return self._table_of("lat", progress)

    def bct(self, progress: Progress = False) -> npt.NDArray[np.uint32]:
        """The boomerang connectivity table of a permutation (ValueError otherwise): entry [a, b] =
        #{x : F^-1(F(x) ^ b) ^ F^-1(F(x ^ a) ^ b) = a}, 2**n x 2**n uint32."""
        return self._table_of("bct", progress)

    def dlct(self, progress: Progress = False) -> npt.NDArray[np.int32]:
        """The differential-linear connectivity table (Bar-On, Dunkelman, Keller, Weizman, EUROCRYPT 2019):
        entry [a, b] = #{x : b.(F(x) ^ F(x ^ a)) = 0} - 2**(n-1), 2**n x 2**m int32, row a the Walsh
        transform of DDT row a, halved (the autocorrelation of b.F at a, halved); needs n >= 1.

        >>> VectorialFunction.named("PRESENT").dlct()[1, 1:4].tolist()
        [-8, 0, 0]
        """
        return self._table_of("dlct", progress)

    def walsh_zero_spaces(
        self, progress: Progress = False, *, limit: int = sbox_equivalence.ZERO_SPACE_LIMIT
    ) -> list[list[int]]:
        """The n-dimensional linear spaces inside the Walsh zeroes, each as its reduced echelon basis of
        words a | b << n; ValueError past ``limit`` of them (see ``sbox_equivalence.walsh_zero_spaces``)."""
        return sbox_equivalence.walsh_zero_spaces(self._table, self._m, progress, limit=limit)

    def thickness_spectrum(
        self, progress: Progress = False, *, limit: int = sbox_equivalence.ZERO_SPACE_LIMIT
    ) -> dict[int, int]:
        """Thickness -> number of the ``walsh_zero_spaces`` with it, an EA invariant; ValueError past
        ``limit`` spaces (see ``sbox_equivalence.thickness_spectrum``)."""
        return sbox_equivalence.thickness_spectrum(self._table, self._m, progress, limit=limit)

    def gamma_rank(self, progress: Progress = False) -> int:
        """The GF(2) rank of the incidence matrix of the translates of the graph, a CCZ invariant (Edel and
        Pott, 2009), n + m <= 12 (see ``sbox_equivalence.gamma_rank``)."""
        return sbox_equivalence.gamma_rank(self._table, self._m, progress)

    def delta_rank(self, progress: Progress = False) -> int:
        """The same rank for the set {(a, F(x) ^ F(x ^ a)) : a != 0}, a CCZ invariant, n + m <= 12 (see
        ``sbox_equivalence.delta_rank``)."""
        return sbox_equivalence.delta_rank(self._table, self._m, progress)

    def ortho_derivative(self) -> VectorialFunction:
        """The ortho-derivative of a quadratic APN function (n = m, algebraic degree 2, differential
        uniformity 2; ValueError otherwise): pi(a), for a != 0, is the one nonzero b orthogonal to every
        F(x) ^ F(x ^ a) ^ F(a) ^ F(0) (a hyperplane), and pi(0) = 0 (Canteaut, Couvreur, Perrin, 2022).
        EA-equivalent quadratic APN functions have linear equivalent ortho-derivatives.

        >>> pi = VectorialFunction.power(6, 3).ortho_derivative()
        >>> pi(0), pi.n, pi.differential_spectrum()
        (0, 6, {0: 2205, 2: 1764, 8: 63})
        """
        return VectorialFunction(_native.sbox_ortho_derivative(self._table, self._m), self._m)

    # -- measures -------------------------------------------------------------------------------

    def differential_uniformity(self, progress: Progress = False) -> int:
        """The largest DDT entry over a != 0, streamed row by row (0 for n = 0).

        >>> VectorialFunction.named("AES").differential_uniformity()
        4
        """
        return int(self._measure("differential_uniformity", progress))

    def is_apn(self, progress: Progress = False) -> bool:
        """Whether F is almost perfect nonlinear: differential uniformity 2."""
        return bool(self._measure("is_apn", progress))

    def differential_spectrum(self, progress: Progress = False) -> dict[int, int]:
        """DDT value -> number of entries holding it, over a != 0 and every b (zeros included).

        >>> VectorialFunction.named("PRESENT").differential_spectrum()
        {0: 144, 2: 72, 4: 24}
        """
        return self._counts("differential_spectrum", progress)

    def differential_branch_number(self, progress: Progress = False) -> int:
        """min of wt(a) + wt(b) over a != 0 with DDT[a, b] != 0 (for a permutation: over x != y of
        wt(x ^ y) + wt(F(x) ^ F(y))); ValueError for n = 0, which has no a != 0 to take the least over."""
        return int(self._measure("differential_branch_number", progress))

    def linearity(self, progress: Progress = False) -> int:
        """The largest |W(a, b)| over b != 0 and every a, streamed over blocks of components.

        >>> VectorialFunction.named("AES").linearity()
        32
        """
        return int(self._measure("linearity", progress))

    def nonlinearity(self, progress: Progress = False) -> int:
        """2**(n-1) - linearity / 2: the least Hamming distance of a nonzero component to an affine function.

        >>> VectorialFunction.named("AES").nonlinearity()
        112
        """
        return int(self._measure("nonlinearity", progress))

    def walsh_spectrum_counts(self, progress: Progress = False) -> dict[int, int]:
        """The extended Walsh spectrum: |W(a, b)| -> number of entries, over b != 0 and every a.

        >>> VectorialFunction.named("PRESENT").walsh_spectrum_counts()
        {0: 108, 4: 96, 8: 36}
        """
        return self._counts("walsh_spectrum_counts", progress)

    def extended_walsh_spectrum(self, progress: Progress = False) -> dict[int, int]:
        """The extended Walsh spectrum, |W(a, b)| -> count over b != 0 and every a: ``walsh_spectrum_counts``
        under the name of the literature, a CCZ invariant."""
        return self._counts("walsh_spectrum_counts", progress)

    def linear_branch_number(self, progress: Progress = False) -> int:
        """min of wt(a) + wt(b) over b != 0 with W(a, b) != 0."""
        return int(self._measure("linear_branch_number", progress))

    def boomerang_uniformity(self, progress: Progress = False) -> int:
        """The largest BCT entry over a != 0 and b != 0, streamed row by row; ValueError unless F is a
        permutation.

        >>> VectorialFunction.named("AES").boomerang_uniformity()
        6
        """
        return int(self._measure("boomerang_uniformity", progress))

    def algebraic_degree(self) -> int:
        """The largest algebraic degree of a coordinate (-1 when F is zero).

        >>> VectorialFunction.named("AES").algebraic_degree()
        7
        """
        return int(self._measure("algebraic_degree"))

    def min_degree(self) -> int:
        """The smallest algebraic degree of a nonzero component b.F (-1 when one of them is zero).

        >>> VectorialFunction.named("PRESENT").min_degree()
        2
        """
        return int(self._measure("min_degree"))

    def is_permutation(self) -> bool:
        """Whether F is a bijection (n = m and no output repeats)."""
        return bool(self._measure("is_permutation"))

    def is_balanced(self) -> bool:
        """Whether every m-bit output is taken 2**(n-m) times (False when m > n)."""
        return bool(self._measure("is_balanced"))

    def fixed_point_count(self) -> int:
        """The number of x with F(x) = x."""
        return int(self._measure("fixed_point_count"))

    def fixed_points(self) -> list[int]:
        """The x with F(x) = x, ascending.

        >>> VectorialFunction([0, 2, 1, 3]).fixed_points()
        [0, 3]
        """
        # A chunk at a time: no arange and mask of 2**n entries; counted first, then listed.
        _tabulate.reserve(13 * _tabulate.CHUNK)
        starts = range(0, len(self), _tabulate.CHUNK)
        count = sum(int(np.count_nonzero(self._fixed_in(start))) for start in starts)
        _tabulate.reserve(_INT_BYTES * count + 8 * _tabulate.CHUNK)
        found: list[int] = []
        for start in starts:
            found.extend((start + np.flatnonzero(self._fixed_in(start))).tolist())
        return found

    def _fixed_in(self, start: int) -> npt.NDArray[np.bool_]:
        """Whether F(x) = x, for the chunk of inputs from ``start``."""
        part = self._table[start : start + _tabulate.CHUNK]
        return part == np.arange(start, start + len(part), dtype=np.uint32)

    def cycle_type(self) -> dict[int, int]:
        """Cycle length -> number of cycles of a permutation (ValueError otherwise).

        >>> VectorialFunction([1, 2, 0, 3]).cycle_type()
        {1: 1, 3: 1}
        """
        return self._counts("cycle_type")

    def synthesize(
        self,
        basis: str = "B2",
        *,
        max_gates: int | None = None,
        time_limit: float | None = None,
        progress: Progress = False,
        max_depth: int | None = None,
    ) -> Synthesis:
        """The smallest circuit computing every coordinate of F over ``basis``, with the bounds proven.

        As ``BooleanFunction.synthesize``, for m outputs at once: the outputs may share gates, and
        an output may be an input, a constant or a complemented node. Output j of the circuit is
        coordinate j, so ``circuit.to_function()`` gives F back; ``max_depth`` bounds every output's
        depth. See docs/circuits.md.

        >>> half_adder = VectorialFunction.from_callable(lambda x: (x & 1) + (x >> 1), 2, 2)
        >>> s = half_adder.synthesize()
        >>> s.upper_bound, s.optimal, s.circuit.to_function() == half_adder
        (2, True, True)
        """
        _tabulate.reserve((self._m + 1) * len(self) + 12 * _tabulate.CHUNK)
        tables = [self._bits(j) for j in range(self._m)]
        return synthesize_tables(
            self._n, tables, basis, max_gates=max_gates, time_limit=time_limit, progress=progress, max_depth=max_depth
        )

    def _equivalence(self, kind: str, other: Any, time_limit: float | None, progress: Progress) -> Any:
        """The maps of ``sbox_equivalence.equivalence`` taking F to ``other``, or None."""
        if not isinstance(other, VectorialFunction):
            raise TypeError(f"{kind}_equivalent compares two VectorialFunction objects")
        if self._n != other._n:
            raise ValueError(f"{kind}_equivalent compares two functions of one n, not {self._n} and {other._n}")
        m = max(self._m, other._m)
        return sbox_equivalence.equivalence(
            kind, self._table, other._table, self._n, m, time_limit=time_limit, progress=progress
        )

    def affine_equivalent(
        self, other: VectorialFunction, *, time_limit: float | None = None, progress: Progress = False
    ) -> tuple[tuple[int, ...], int, tuple[int, ...], int] | None:
        """Affine maps (A, a, B, b) with other(x) = B.F(A.x ^ a) ^ b for every x, or None when there are none.

        F and ``other`` are (n, m)-functions of one n (ValueError otherwise; m is the larger of theirs). A is
        n x n and B m x m over GF(2), each a tuple of row ints: bit j of ``A[i]`` is the entry (i, j),
        so bit i of A.x is the parity of ``A[i] & x``, and column j (the image of ``1 << j``) is
        bit j of every row. a and b are ints. ``vexil_kit.sboxes.apply_matrix(A, x)`` computes A.x.
        Two permutations of n <= 8 bits are searched as always (``sboxes.affine_equivalent``); other
        functions, with n + m <= 20, by the exact search of ``sbox_equivalence.equivalence``. The maps are
        checked on every input; None is a proof (an invariant differs, or the search is exhaustive);
        ``time_limit`` (seconds) raises TimeoutError instead of deciding late; ``progress`` reports.

        >>> from vexil_kit.sboxes import apply_matrix
        >>> F = VectorialFunction.power(3, 3)
        >>> G = VectorialFunction.from_callable(lambda x: F(x ^ 5) ^ 3, 3, 3)
        >>> A, a, B, b = F.affine_equivalent(G)
        >>> all(G(x) == apply_matrix(B, F(apply_matrix(A, x) ^ a)) ^ b for x in range(8))
        True
        >>> len(A), all(0 <= row < 8 for row in A)
        (3, True)
        """
        if not isinstance(other, VectorialFunction):
            raise TypeError("affine_equivalent compares two VectorialFunction objects")
        both = self.is_permutation() and other.is_permutation() and self._n == other._n
        if both and self._n <= sbox_equivalence.MAX_EQUIVALENCE_BITS:
            f, g = tuple(self._table.tolist()), tuple(other._table.tolist())
            return sboxes.affine_equivalent(f, g, self._n, progress=progress, time_limit=time_limit)
        return self._equivalence("affine", other, time_limit, progress)

    def linear_equivalent(
        self, other: VectorialFunction, *, time_limit: float | None = None, progress: Progress = False
    ) -> tuple[tuple[int, ...], tuple[int, ...]] | None:
        """Linear maps (A, B) with other(x) = B.F(A.x) for every x, or None: as ``affine_equivalent``
        (same rows, same proofs), by the exact search of ``sbox_equivalence.equivalence``.

        >>> F = VectorialFunction.named("PRESENT")
        >>> A, B = F.linear_equivalent(F)
        >>> len(A), len(B)
        (4, 4)
        """
        return self._equivalence("linear", other, time_limit, progress)

    def ea_equivalent(
        self, other: VectorialFunction, *, time_limit: float | None = None, progress: Progress = False
    ) -> tuple[tuple[int, ...], int, tuple[int, ...], int, tuple[int, ...]] | None:
        """Extended-affine maps (A, a, B, b, C) with other(x) = B.F(A.x ^ a) ^ C.x ^ b for every x (A, B
        invertible, C any m x n matrix: the added C.x ^ b is the affine function of the definition), or
        None. Rows as in ``affine_equivalent``; see ``sbox_equivalence.equivalence`` for the search.

        >>> F = VectorialFunction.power(5, 3)
        >>> G = VectorialFunction.from_callable(lambda x: F(x ^ 1) ^ (x & 7), 5, 5)
        >>> F.ea_equivalent(G) is not None, F.ea_equivalent(VectorialFunction.power(5, 7)) is None
        (True, True)
        """
        return self._equivalence("ea", other, time_limit, progress)

    def ccz_equivalent(
        self, other: VectorialFunction, *, time_limit: float | None = None, progress: Progress = False
    ) -> tuple[tuple[int, ...], int] | None:
        """An affine permutation (L, c) of F_2^(n+m) taking the graph of F onto that of ``other``:
        {x | other(x) << n} = {L.(x | F(x) << n) ^ c}, or None. L is n + m row ints over the bits of a
        point (input x in the low n bits, output above), as in ``affine_equivalent``. CCZ-equivalence
        keeps the differential and extended Walsh spectra, not the degree: x**3 and its inverse are
        CCZ-equivalent. See ``sbox_equivalence.equivalence`` for the search.

        >>> F = VectorialFunction.power(5, 3)
        >>> L, c = F.ccz_equivalent(F.inverse())
        >>> len(L)
        10
        """
        return self._equivalence("ccz", other, time_limit, progress)

    def affine_class(self) -> AffineClass[VectorialFunction]:
        """The class of F, a permutation of n <= 4 bits, under B.F.A (A, B affine permutations): the least
        table of the class as ``representative``, its ``size``, ``label`` and, for the 16 optimal 4-bit
        classes, Leander and Poschmann's ``name`` G0 ... G15 (``vexil_kit.sbox_classes`` tells how).

        >>> VectorialFunction.named("present").affine_class().name
        'G1'
        """
        if not self.is_permutation():
            raise ValueError("affine_class is defined for permutations only")
        found = sbox_classes.permutation_class(self._table, self._n)
        return found.holding(VectorialFunction(found.representative, self._n))

    @staticmethod
    def affine_classes(n: int) -> list[AffineClass[VectorialFunction]]:
        """Every affine class of permutations of n <= 4 bits (see ``affine_class``): 1, 1, 1, 4, 302 for n = 0 ... 4.

        >>> [c.label for c in VectorialFunction.affine_classes(3)]
        ['P3.0', 'P3.1', 'P3.2', 'P3.3']
        """
        return [c.holding(VectorialFunction(c.representative, n)) for c in sbox_classes.permutation_classes(n)]

    def measure(self, name: str, progress: Progress = False) -> Any:
        """The measure ``name`` of the registry's vectorial measures (``MEASURES``), as its method gives it:
        a scalar by the registry's evaluator, the others by their method."""
        info = MEASURES.get(name)
        if info is None:
            raise ValueError(f"unknown vectorial measure {name!r}; vexil_kit.vectorial.MEASURES lists them")
        if info.scalar:
            return registry.evaluate("vectorial", name, self.table, m=self.m, progress=progress)
        method = getattr(self, name)
        return method(progress=progress) if info.progress else method()


def _function_of(c: circuits.Circuit) -> BooleanFunction | VectorialFunction:
    """What ``Circuit.to_function`` gives: a BooleanFunction for one output, a VectorialFunction for several."""
    if len(c.outputs) == 1:
        return BooleanFunction.from_circuit(c)
    return VectorialFunction.from_circuit(c)


# Circuit.to_function calls this hook: circuits.py, which the value classes import, cannot import them.
circuits.FUNCTION_OF = _function_of
