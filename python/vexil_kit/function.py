"""The BooleanFunction value type: a truth table with the value protocol and the Boolean operators."""

from __future__ import annotations

import operator

import numpy as np
import numpy.typing as npt

from . import _checks, algebra, algebraic, builders, circuits, cryptographic, families, measures, query, spectra

_HEX_SHOWN = 64


def _restore(cls, n, packed):
    """Rebuild a pickled function from its packed table (little bit order)."""
    bits = np.unpackbits(np.frombuffer(packed, dtype=np.uint8), count=1 << n, bitorder="little")
    return cls._wrap(bits.astype(np.bool_))


class BooleanFunction:
    """An immutable Boolean function of n >= 0 variables held as its truth table of 2**n entries.

    Entry x is f(x), where variable v is bit v of x (variable 0 is the least significant
    bit), as in ``vexil.Vexil``. The table is accepted as any 1-D sequence or array of
    bools or 0/1 ints whose length is a power of two; anything else raises ValueError
    naming the problem. Functions compare equal when they have the same n and table,
    hash accordingly, pickle, and convert with ``np.asarray`` to a 1-D bool array. The
    value is not an array: NumPy ufuncs refuse it (use ``np.asarray(f)`` or ``f.table``),
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

    def __init__(self, table):
        array = _checks.table(table)
        object.__setattr__(self, "_table", array)
        object.__setattr__(self, "_n", _checks.log2(array.shape[0]))
        object.__setattr__(self, "_hash", None)

    @classmethod
    def _wrap(cls, array: np.ndarray) -> BooleanFunction:
        """A function owning ``array`` (1-D bool, power-of-two length), made read-only; no checks."""
        self = cls.__new__(cls)
        array = np.ascontiguousarray(array, dtype=np.bool_)
        array.setflags(write=False)
        object.__setattr__(self, "_table", array)
        object.__setattr__(self, "_n", _checks.log2(array.shape[0]))
        object.__setattr__(self, "_hash", None)
        return self

    def __setattr__(self, name, value):
        raise AttributeError(f"{type(self).__name__} is immutable")

    def __delattr__(self, name):
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
    def table(self) -> np.ndarray:
        """The truth table as a read-only 1-D NumPy bool array (shared, not copied).

        >>> BooleanFunction.conjunction(2).table
        array([False, False, False,  True])
        >>> BooleanFunction.conjunction(2).table.flags.writeable
        False
        """
        return self._table

    def __len__(self) -> int:
        return self._table.shape[0]

    def __getitem__(self, x) -> bool:
        x = operator.index(x)
        if not 0 <= x < self._table.shape[0]:
            raise IndexError(f"entry {x} is outside [0, {self._table.shape[0]})")
        return bool(self._table[x])

    def __call__(self, x) -> bool:
        """f(x) for an int entry index x, or for a sequence of n bits (item v is variable v).

        >>> f = BooleanFunction.dictator(3, 2)
        >>> f(4), f([0, 0, 1]), f((1, 1, 0))
        (True, True, False)
        """
        try:
            index = operator.index(x)
        except TypeError:
            bits = [_checks.bit(b, "an assignment bit") for b in x]
            if len(bits) != self._n:
                raise ValueError(f"an assignment needs {self._n} bits, got {len(bits)}") from None
            index = sum(1 << v for v, b in enumerate(bits) if b)
        return self[index]

    def __iter__(self):
        return iter(self._table.tolist())

    def __eq__(self, other):
        if not isinstance(other, BooleanFunction):
            return NotImplemented
        return self._n == other._n and bool(np.array_equal(self._table, other._table))

    def __hash__(self) -> int:
        value = self._hash
        if value is None:
            value = hash((self._n, np.packbits(self._table, bitorder="little").tobytes()))
            object.__setattr__(self, "_hash", value)
        return value

    def __repr__(self) -> str:
        text = self.to_hex()
        if len(text) - 2 > _HEX_SHOWN:
            text = text[: 2 + _HEX_SHOWN] + "…"
        return f"{type(self).__name__}.from_hex({text!r}, n={self._n})"

    def __reduce__(self):
        packed = np.packbits(self._table, bitorder="little").tobytes()
        return (_restore, (type(self), self._n, packed))

    def __copy__(self):
        return self

    def __deepcopy__(self, memo):
        return self

    def __array__(self, dtype=None, copy=None):
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

    def _operand(self, other):
        """``other``'s table for a binary operator, or None when the type is not supported."""
        if isinstance(other, BooleanFunction):
            if other._n != self._n:
                raise ValueError(f"operands have {self._n} and {other._n} variables; they must match")
            return other._table
        if isinstance(other, (bool, np.bool_, int, np.integer)):
            return _checks.bit(other, "a constant operand")
        return None

    def __invert__(self) -> BooleanFunction:
        return self._wrap(~self._table)

    def __and__(self, other):
        table = self._operand(other)
        return NotImplemented if table is None else self._wrap(self._table & table)

    def __or__(self, other):
        table = self._operand(other)
        return NotImplemented if table is None else self._wrap(self._table | table)

    def __xor__(self, other):
        table = self._operand(other)
        return NotImplemented if table is None else self._wrap(self._table ^ table)

    __rand__ = __and__
    __ror__ = __or__
    __rxor__ = __xor__

    # -- the other groups, defined in their own modules -----------------------------------------

    restrict = algebra.restrict
    permute = algebra.permute
    derivative = algebra.derivative
    extend = algebra.extend

    walsh_spectrum = spectra.walsh_spectrum
    fourier_coefficients = spectra.fourier_coefficients
    influence_counts = spectra.influence_counts
    influences = spectra.influences
    total_influence = spectra.total_influence
    spectral_entropy = spectra.spectral_entropy

    entanglement = measures.entanglement
    entropy = measures.entropy
    entanglement_sets = measures.entanglement_sets
    entropy_sets = measures.entropy_sets
    information = measures.information
    fragmentation_coefficient = measures.fragmentation_coefficient
    fragmentation_k = measures.fragmentation_k
    fragmentation_spectrum = measures.fragmentation_spectrum
    restriction_signature = measures.restriction_signature
    fragmentation_profile = measures.fragmentation_profile
    fragmentation_peak = measures.fragmentation_peak
    fragmentation_delta = measures.fragmentation_delta
    fragmentation_delta2 = measures.fragmentation_delta2
    equanimity_importance = measures.equanimity_importance
    max_sensitivity = measures.max_sensitivity
    mean_sensitivity = measures.mean_sensitivity
    degree = measures.degree
    no_linearity = measures.no_linearity
    frontier_size = measures.frontier_size
    max_frontier_size = measures.max_frontier_size
    npn_representant = measures.npn_representant

    anf = algebraic.anf
    from_anf = classmethod(algebraic.from_anf)
    algebraic_degree = algebraic.algebraic_degree
    algebraic_immunity = algebraic.algebraic_immunity
    annihilator = algebraic.annihilator

    fourier_degree = cryptographic.fourier_degree
    nonlinearity = cryptographic.nonlinearity
    is_bent = cryptographic.is_bent
    correlation_immunity = cryptographic.correlation_immunity
    resiliency_order = cryptographic.resiliency_order
    autocorrelation = cryptographic.autocorrelation
    absolute_indicator = cryptographic.absolute_indicator
    sum_of_squares_indicator = cryptographic.sum_of_squares_indicator
    linear_structures = cryptographic.linear_structures
    spectral_weights = cryptographic.spectral_weights
    noise_stability = cryptographic.noise_stability

    sensitivity = query.sensitivity
    min_sensitivity = query.min_sensitivity
    average_sensitivity = query.average_sensitivity
    sensitivities = query.sensitivities
    block_sensitivity = query.block_sensitivity
    certificate_complexity = query.certificate_complexity
    certificate = query.certificate
    decision_tree_depth = query.decision_tree_depth

    minimal_gates = circuits.minimal_gates
    minimal_circuit = circuits.minimal_circuit

    from_vexil = classmethod(builders.from_vexil)
    to_vexil = builders.to_vexil
    from_hex = classmethod(builders.from_hex)
    to_hex = builders.to_hex
    from_int = classmethod(builders.from_int)
    to_int = builders.to_int
    from_callable = classmethod(builders.from_callable)
    from_expression = classmethod(builders.from_expression)
    random = classmethod(builders.random)

    constant = classmethod(families.constant)
    dictator = classmethod(families.dictator)
    conjunction = classmethod(families.conjunction)
    disjunction = classmethod(families.disjunction)
    xor = classmethod(families.xor)
    majority = classmethod(families.majority)
    threshold = classmethod(families.threshold)
    tribes = classmethod(families.tribes)
    inner_product = classmethod(families.inner_product)
    address = classmethod(families.address)
