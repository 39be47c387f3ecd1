"""The BooleanFunction value type: a truth table with the value protocol (``_value.Value``), the
Boolean operators, the builders, the transforms and conversions, and every measure.

A measure is a method made by ``_value.on_table`` from the table-level function of its topic module
(spectra, measures, anf, cryptographic, query_complexity, predicates, decision_trees), which is
where it is documented; the scalar ones compute through ``registry.evaluate``. This is the one
module that makes BooleanFunction objects: the topic modules compute on NumPy tables and ints and do
not import it.
"""

from __future__ import annotations

import inspect
from collections.abc import Callable, Iterable, Iterator
from fractions import Fraction
from typing import Any, Concatenate, ParamSpec, cast, overload

import numpy as np
import numpy.typing as npt

import vexil

from . import (
    _arguments,
    _tabulate,
    anf,
    boolean_classes,
    builders,
    canonical,
    circuits,
    cryptographic,
    decision_trees,
    display,
    families,
    measures,
    peers,
    poly_degrees,
    predicates,
    query_complexity,
    spectra,
    synthesis,
    threshold,
    transforms,
    two_level,
    variables,
)
from ._arguments import Table
from ._value import Value, documented_by, forwarding, on_table
from .anf import monomials
from .canonical import NpnTransform
from .circuits import Circuit
from .poly_degrees import DegreeCertificate
from .progress import Progress
from .sbox_classes import AffineClass
from .synthesis.search import Synthesis
from .two_level import Cube

_HEX_SHOWN = 64

#: A bit argument: a bool, a NumPy bool, or the integer 0 or 1.
Bit = bool | np.bool_ | int

P = ParamSpec("P")


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


def built(fn: Callable[P, Table]) -> Callable[P, BooleanFunction]:
    """The class method ``BooleanFunction.NAME(*args) = BooleanFunction(fn(*args))`` of a table builder.

    Typed as the callable that ``BooleanFunction.NAME`` is, which is how checkers read the class
    attribute; at run time it is the class method (so a subclass builds its own instances).
    """

    def build(cls: type[BooleanFunction], /, *args: P.args, **kwargs: P.kwargs) -> BooleanFunction:
        return cls._wrap(fn(*args, **kwargs))

    signature = inspect.signature(fn)
    cls_parameter = inspect.Parameter("cls", inspect.Parameter.POSITIONAL_ONLY)
    signature = signature.replace(
        parameters=[cls_parameter, *signature.parameters.values()], return_annotation="BooleanFunction"
    )
    method: Any = classmethod(forwarding(build, fn, signature, "builder"))
    return cast("Callable[P, BooleanFunction]", method)


@overload
def derived(
    fn: Callable[Concatenate[Table, P], Table],
) -> Callable[Concatenate[BooleanFunction, P], BooleanFunction]: ...
@overload
def derived(
    fn: Callable[Concatenate[Table, P], Table | None],
) -> Callable[Concatenate[BooleanFunction, P], BooleanFunction | None]: ...
def derived(fn: Callable[Concatenate[Table, P], Table | None]) -> Callable[..., BooleanFunction | None]:
    """The method ``f.NAME(*args) = BooleanFunction(fn(f.table, *args))`` of a table transform (None for None)."""

    def method(self: BooleanFunction, /, *args: P.args, **kwargs: P.kwargs) -> BooleanFunction | None:
        table = fn(self._table, *args, **kwargs)
        return None if table is None else self._wrap(table)

    signature = inspect.signature(fn)
    first, *rest = signature.parameters.values()
    returns = "BooleanFunction" if signature.return_annotation == "Table" else "BooleanFunction | None"
    signature = signature.replace(
        parameters=[first.replace(name="self", annotation=inspect.Parameter.empty), *rest], return_annotation=returns
    )
    return forwarding(method, fn, signature, "derived")


class BooleanFunction(Value[np.bool_]):
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

    __slots__ = ()
    _unpickle = _restore
    _repr_html_ = display.boolean_function  # a notebook's summary, bounded in cost

    def __init__(self, table: Any) -> None:
        array = _arguments.table(table)
        self._set(array, _arguments.log2(array.shape[0]))

    @classmethod
    def _wrap(cls, array: npt.ArrayLike) -> BooleanFunction:
        """A function over a frozen copy of ``array`` (1-D bool of 0/1 bytes, power-of-two length); no checks."""
        self = cls.__new__(cls)
        array = _arguments.frozen(array)
        self._set(array, _arguments.log2(array.shape[0]))
        return self

    # -- the value ------------------------------------------------------------------------------

    def _packed(self) -> bytes:
        _tabulate.reserve(len(self) // 4 + 64)
        return np.packbits(self._table, bitorder="little").tobytes()

    def _text(self, name: str) -> str:
        size = len(self)
        if size // 4 <= _HEX_SHOWN:
            text = self.to_hex()
        else:
            # Only the shown digits are formatted: the top 4 * _HEX_SHOWN entries (the leading digits).
            top = self._table[size - 4 * _HEX_SHOWN :]
            text = builders.to_hex(top) + "…"
        return f"{name}.from_hex({text!r}, n={self._n})"

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

    weight = on_table(measures.weight)
    is_balanced = on_table(measures.is_balanced)

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
    from_vexil = built(builders.from_vexil)

    @classmethod
    def from_circuit(cls, c: Circuit) -> BooleanFunction:
        """The function a circuit of one output computes, from ``c.tables()`` (ValueError for other
        numbers of outputs: ``VectorialFunction.from_circuit`` takes several).

        >>> BooleanFunction.from_circuit(Circuit(2, ((8, 0, 1),), 2, True)).to_hex()   # NAND
        '0x7'
        """
        if not isinstance(c, Circuit):
            raise TypeError(f"from_circuit takes a Circuit, not {type(c).__name__}")
        tables = c.tables()
        if len(tables) != 1:
            raise ValueError(f"from_circuit takes a circuit of one output; this one has {len(tables)}")
        return cls._wrap(tables[0])

    def to_vexil(self) -> vexil.Vexil:
        """A new ``vexil.Vexil`` with the same truth table.

        >>> BooleanFunction.xor(2).to_vexil().repr()
        [False, True, True, False]
        """
        # The constructor reads any 1-D bool array in one copy; its stub names only sequences.
        table: Any = self._table
        return vexil.Vexil(table)

    from_hex = built(builders.from_hex)
    to_hex = on_table(builders.to_hex)
    from_int = built(builders.from_int)
    to_int = on_table(builders.to_int)
    from_callable = built(builders.from_callable)
    from_expression = built(builders.from_expression)
    random = built(builders.random)
    from_anf = built(anf.from_anf)

    # -- families -------------------------------------------------------------------------------
    constant = built(families.constant)
    dictator = built(families.dictator)
    conjunction = built(families.conjunction)
    disjunction = built(families.disjunction)
    xor = built(families.xor)
    majority = built(families.majority)
    threshold = built(families.threshold)
    tribes = built(families.tribes)
    inner_product = built(families.inner_product)
    address = built(families.address)

    # -- operations on the variables ------------------------------------------------------------
    restrict = derived(variables.restrict)
    permute = derived(variables.permute)
    derivative = derived(variables.derivative)
    extend = derived(variables.extend)

    # -- the Walsh spectrum and influences ------------------------------------------------------
    walsh_spectrum = on_table(spectra.walsh_spectrum)
    fourier_coefficients = on_table(spectra.fourier_coefficients)
    influence_counts = on_table(spectra.influence_counts)
    influences = on_table(spectra.influences)
    total_influence = on_table(spectra.total_influence)
    spectral_entropy = on_table(spectra.spectral_entropy)

    # -- the measures of vexil.Vexil ------------------------------------------------------------
    entanglement = on_table(measures.entanglement)
    entropy = on_table(measures.entropy)
    entanglement_sets = on_table(measures.entanglement_sets)
    entropy_sets = on_table(measures.entropy_sets)
    information = on_table(measures.information)
    fragmentation_coefficient = on_table(measures.fragmentation_coefficient)
    fragmentation_k = on_table(measures.fragmentation_k)
    fragmentation_spectrum = on_table(measures.fragmentation_spectrum)
    restriction_signature = on_table(measures.fragmentation_spectrum)
    fragmentation_profile = on_table(measures.fragmentation_spectrum)
    fragmentation_peak = on_table(measures.fragmentation_peak)
    fragmentation_delta = on_table(measures.fragmentation_delta)
    fragmentation_delta2 = on_table(measures.fragmentation_delta2)
    equanimity_importance = on_table(measures.equanimity_importance)
    max_sensitivity = on_table(measures.max_sensitivity)
    mean_sensitivity = on_table(measures.mean_sensitivity)
    degree = on_table(cryptographic.fourier_degree)
    no_linearity = on_table(cryptographic.nonlinearity)
    frontier_size = on_table(measures.frontier_size)
    max_frontier_size = on_table(measures.max_frontier_size)

    npn_representant = derived(measures.npn_representant)

    # -- the algebraic normal form --------------------------------------------------------------
    algebraic_degree = on_table(anf.algebraic_degree)
    algebraic_immunity = on_table(anf.algebraic_immunity)

    annihilator = derived(anf.annihilator)
    anf = on_table(monomials)  # after the uses of the module anf in this class body

    # -- cryptographic measures -----------------------------------------------------------------
    fourier_degree = on_table(cryptographic.fourier_degree)
    nonlinearity = on_table(cryptographic.nonlinearity)
    is_bent = on_table(cryptographic.is_bent)
    correlation_immunity = on_table(cryptographic.correlation_immunity)
    resiliency_order = on_table(cryptographic.resiliency_order)
    autocorrelation = on_table(cryptographic.autocorrelation)
    absolute_indicator = on_table(cryptographic.absolute_indicator)
    sum_of_squares_indicator = on_table(cryptographic.sum_of_squares_indicator)
    linear_structures = on_table(cryptographic.linear_structures)
    spectral_weights = on_table(cryptographic.spectral_weights)
    noise_stability = on_table(cryptographic.noise_stability)

    # -- query complexity -----------------------------------------------------------------------
    sensitivity = on_table(measures.max_sensitivity)
    min_sensitivity = on_table(query_complexity.min_sensitivity)
    average_sensitivity = on_table(spectra.total_influence)
    sensitivities = on_table(query_complexity.sensitivities)
    block_sensitivity = on_table(query_complexity.block_sensitivity)
    certificate_complexity = on_table(query_complexity.certificate_complexity)
    certificate = on_table(query_complexity.certificate)
    decision_tree_depth = on_table(query_complexity.decision_tree_depth)

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
            return measures.minimal_gates(self._table)
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
        return cls._wrap(peers.from_sage(function))

    def to_sage(self) -> Any:
        """A SageMath BooleanFunction with f's truth table (same entry order; see ``from_sage``).

        >>> BooleanFunction.conjunction(2).to_sage().truth_table(format="int")  # doctest: +SKIP
        (0, 0, 0, 1)
        """
        return peers.to_sage(self._table)

    @classmethod
    def from_boofun(cls, function: Any) -> BooleanFunction:
        """The function of a boofun BooleanFunction, entry for entry (boofun orders its truth table as we
        do). ImportError naming ``boofun`` without it.

        >>> import boofun  # doctest: +SKIP
        >>> BooleanFunction.from_boofun(boofun.dictator(3, 0)) == BooleanFunction.dictator(3, 0)  # doctest: +SKIP
        True
        """
        return cls._wrap(peers.from_boofun(function))

    def to_boofun(self) -> Any:
        """A boofun BooleanFunction with f's truth table (same entry order; see ``from_boofun``).

        >>> BooleanFunction.xor(3).to_boofun().n_vars  # doctest: +SKIP
        3
        """
        return peers.to_boofun(self._table)

    # -- predicates (vexil_kit.predicates) -------------------------------------------------------------
    is_symmetric = on_table(predicates.is_symmetric)
    is_monotone = on_table(predicates.is_monotone)
    is_unate = on_table(predicates.is_unate)
    unate_polarities = on_table(predicates.unate_polarities)
    is_self_dual = on_table(predicates.is_self_dual)
    is_affine = on_table(predicates.is_affine)
    is_linear = on_table(predicates.is_linear)
    plateaued_amplitude = on_table(predicates.plateaued_amplitude)
    is_plateaued = on_table(predicates.is_plateaued)
    essential_variables = on_table(predicates.essential_variables)

    # -- criteria of cryptography (vexil_kit.predicates) ----------------------------------------------
    propagation_criterion = on_table(predicates.propagation_criterion)
    strict_avalanche = on_table(predicates.strict_avalanche)
    walsh_spectrum_counts = on_table(predicates.walsh_spectrum_counts)
    anf_text = on_table(predicates.anf_text)
    chow_parameters = on_table(predicates.chow_parameters)

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

    @documented_by(two_level.isop)
    def isop(self, dont_care: BooleanFunction | None = None) -> list[Cube]:
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

    @documented_by(two_level.prime_implicants)
    def prime_implicants(self, dont_care: BooleanFunction | None = None, progress: Progress = False) -> list[Cube]:
        return two_level.prime_implicants(self._table, self._dont_care(dont_care), progress)

    @documented_by(two_level.minimum_sop)
    def minimum_sop(self, dont_care: BooleanFunction | None = None) -> list[Cube]:
        return two_level.minimum_sop(self._table, self._dont_care(dont_care))

    decision_tree = on_table(decision_trees.decision_tree)
    decision_tree_size = on_table(decision_trees.decision_tree_size)

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
        table, transform = canonical.npn_canonical(self._table)
        return self._wrap(table), transform

    def npn_transform(self, transform: NpnTransform) -> BooleanFunction:
        """f under an ``NpnTransform`` of its n variables (see ``npn_canonical``).

        >>> from vexil_kit.canonical import NpnTransform
        >>> BooleanFunction.dictator(2, 0).npn_transform(NpnTransform((1, 0), 0b10, False)).to_hex()
        '0x3'
        """
        return self._wrap(canonical.NpnTransform(*transform).apply(self._table))

    @staticmethod
    def npn_classes(n: int) -> list[BooleanFunction]:
        """One representative (``npn_canonical``'s) of every NPN class of n <= 4 variables, in
        increasing order of ``to_int()``: 1, 2, 4, 14, 222 classes for n = 0 ... 4.

        >>> [len(BooleanFunction.npn_classes(n)) for n in range(5)]
        [1, 2, 4, 14, 222]
        """
        return [BooleanFunction._wrap(t) for t in canonical.class_tables(n)]

    def affine_class(self) -> AffineClass[BooleanFunction]:
        """f's class under f(A.x ^ a) ^ l(x) (A invertible, l affine), n <= 5: the least table of the class as
        ``representative``, its ``size`` and ``label`` (``vexil_kit.boolean_classes`` tells how).

        >>> BooleanFunction.from_expression("x0 & x1 ^ x2", n=3).affine_class().label
        'B3.2'
        """
        found = boolean_classes.boolean_class(self._table)
        return found.holding(self._wrap(np.array(found.representative)))

    @staticmethod
    def affine_classes(n: int) -> list[AffineClass[BooleanFunction]]:
        """Every affine class of functions of n <= 5 variables (see ``affine_class``): 1, 1, 2, 3, 8, 48 for n <= 5.

        >>> [c.size for c in BooleanFunction.affine_classes(3)]
        [16, 128, 112]
        """
        return [
            c.holding(BooleanFunction._wrap(np.array(c.representative))) for c in boolean_classes.boolean_classes(n)
        ]

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
        return poly_degrees.approximate_degree_certificate(self._table, eps, time_limit, progress)

    def threshold_degree(self, progress: Progress = False, *, time_limit: float | None = None) -> int:
        """The least degree of a real polynomial with the sign of F = (-1)**f on every input (0 for constants).

        The number of sign changes along the weights for symmetric functions, exactly; by linear
        programming with HiGHS for the others (n <= 10), whose lower bound is verified in exact
        arithmetic when the dual has at most 128 points (in practice n <= 8) and in floating point,
        to a relative 1e-9, beyond (``threshold_degree_certificate().exact_dual()`` says which).

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
        return threshold.threshold_weights(self._table)

    # -- exact synthesis (vexil_kit.synthesis: SAT search on CaDiCaL through python-sat) ------------

    def synthesize(
        self,
        basis: str = "B2",
        *,
        max_gates: int | None = None,
        time_limit: float | None = None,
        progress: Progress = False,
        max_depth: int | None = None,
    ) -> Synthesis:
        """The smallest circuit computing f over ``basis``, by SAT search, with the bounds proven.

        ``basis`` is "B2" (every two-input gate), "AIG" (AND gates with free inverters), "XAG" (AND
        and XOR gates with free inverters; sizes equal B2's), "MC" (XAG counting AND gates only), or
        "BGC" and "GC" (AND, OR, XOR, NOT, and for GC also NAND, NOR, XNOR; a NOT is a gate: bitslice
        gate complexity and gate complexity, docs/sbox-costs.md). A first
        circuit is built by decomposition, then the search goes up from a lower bound (essential
        variables less one) until a circuit is found or the bound meets the best circuit's size,
        probing sizes below that circuit as it goes; ``time_limit`` (seconds) stops it with the
        best circuit and the bounds so far, ``max_gates`` bounds the sizes tried, Ctrl-C stops it
        within a second (the KeyboardInterrupt carries the result so far as ``synthesis``), and
        ``progress`` reports the size being tried; ``max_depth`` bounds the depth. See docs/circuits.md.

        >>> s = BooleanFunction.majority(3).synthesize("AIG")
        >>> s.upper_bound, s.optimal, s.circuit.to_function() == BooleanFunction.majority(3)
        (4, True, True)
        """
        return synthesis.synthesize_tables(
            self._n, [self._table], basis, max_gates, time_limit, progress, max_depth=max_depth
        )

    def multiplicative_complexity(self, time_limit: float | None = None, progress: Progress = False) -> int:
        """The least number of AND gates of a circuit of AND, XOR and NOT gates computing f, exact.

        At least the algebraic degree less one, and unchanged by affine changes of the inputs and
        by adding an affine function. Found by SAT search (see ``synthesize``); past ``time_limit``
        seconds, ``vexil_kit.synthesis.Unfinished`` (a TimeoutError) saying "between L and U", with
        the bounds and the best circuit found as its ``lower_bound``, ``upper_bound`` and ``circuit``.

        >>> BooleanFunction.conjunction(4).multiplicative_complexity()
        3
        >>> BooleanFunction.majority(3).multiplicative_complexity()
        1
        """
        found = synthesis.synthesize_tables(self._n, [self._table], "MC", time_limit=time_limit, progress=progress)
        if not found.optimal or found.upper_bound is None:
            raise synthesis.Unfinished(
                f"multiplicative complexity not proven in {time_limit} s: between {found.lower_bound} "
                f"and {found.upper_bound if found.upper_bound is not None else 'unknown'}",
                found,
            )
        return found.upper_bound

    def _minimal(self, basis: str) -> tuple[Circuit, int]:
        """The circuit and size of a search without a time limit, which ends with a circuit found."""
        found = synthesis.synthesize_tables(self._n, [self._table], basis)
        assert found.circuit is not None and found.upper_bound is not None
        return found.circuit, found.upper_bound


def family_member(family: families.Family, *arguments: int) -> BooleanFunction:
    """The member of a registered family (``families.lookup``) with these arguments."""
    return BooleanFunction._wrap(family.build(*arguments))
