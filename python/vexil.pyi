"""Type stubs for the vexil extension module."""

from collections.abc import Sequence
from typing import SupportsIndex, final, type_check_only

import numpy as np
import numpy.typing as npt

@final
@type_check_only
class EntanglementSet:
    """One balanced cut of the variables with the sum of its restriction counts.

    Records are made only by ``Vexil.entanglement_sets()``; the class is not a
    module attribute, cannot be instantiated (``TypeError: No constructor defined
    for EntanglementSet``) and its attributes are read-only.

    >>> r = Vexil.majority(3).entanglement_sets()[0]
    >>> r.set1, r.set2, r.entanglement
    ([0], [1, 2], 5)
    """

    @property
    def entanglement(self) -> int:
        """The cut's sum ``information(set1) + information(set2)``, an int.

        The smallest value over all cuts is ``Vexil.entanglement()``.

        >>> Vexil([False, False, False, True]).entanglement_sets()[0].entanglement
        4
        """
    @property
    def set1(self) -> list[int]:
        """The first side of the cut: ascending variable numbers, a new list per read.

        It has floor(n/2) variables; for even n it always holds variable 0. For
        n = 0 both sides are empty.

        >>> [r.set1 for r in Vexil.majority(4).entanglement_sets()]
        [[0, 1], [0, 2], [0, 3]]
        """
    @property
    def set2(self) -> list[int]:
        """The second side of the cut: the variables 0..n-1 not in ``set1``, ascending.

        It has ceil(n/2) variables; each read returns a new list.

        >>> [r.set2 for r in Vexil.majority(4).entanglement_sets()]
        [[2, 3], [1, 3], [1, 2]]
        """

@final
@type_check_only
class EntropySets:
    """One balanced cut of the variables with the sum of its restriction entropies.

    Records are made only by ``Vexil.entropy_sets()``; the class is not a module
    attribute, cannot be instantiated (``TypeError: No constructor defined for
    EntropySets``) and its attributes are read-only.

    >>> r = Vexil.majority(3).entropy_sets()[0]
    >>> r.set1, r.set2, r.entropy
    ([0], [1, 2], 2.5)
    """

    @property
    def entropy(self) -> float:
        """The cut's sum ``fragmentation_coefficient(set1) + fragmentation_coefficient(set2)``.

        In bits, computed in single precision and widened to a Python float; -0.0
        when both sides have a single restriction class. The smallest value over
        all cuts is ``Vexil.entropy()``.

        >>> Vexil([False, False, False, True]).entropy_sets()[0].entropy
        2.0
        """
    @property
    def set1(self) -> list[int]:
        """The first side of the cut: ascending variable numbers, a new list per read.

        It has floor(n/2) variables; for even n it always holds variable 0. For
        n = 0 both sides are empty.

        >>> [r.set1 for r in Vexil.majority(3).entropy_sets()]
        [[0], [1], [2]]
        """
    @property
    def set2(self) -> list[int]:
        """The second side of the cut: the variables 0..n-1 not in ``set1``, ascending.

        It has ceil(n/2) variables; each read returns a new list.

        >>> [r.set2 for r in Vexil.majority(3).entropy_sets()]
        [[1, 2], [0, 2], [0, 1]]
        """

@final
class Vexil:
    """A Boolean function of n variables held as its complete truth table.

    The table has N = 2**n entries, n >= 0. Entry x is the value at the assignment
    in which variable v equals bit v of x (variable 0 is the least significant
    bit); tables are listed from entry 0. Objects are immutable and compare by
    identity (compare ``repr()`` lists instead). Real-valued measures are computed
    in single precision and returned widened to a Python float; their sums start
    from -0.0, so an empty sum or a one-class entropy is -0.0 (equal to 0.0).
    A stop inside a computation raises ``vexil.PanicException``, which derives
    from ``BaseException``, not ``Exception``; a computation whose working memory
    cannot be had raises ``MemoryError``; Ctrl-C raises ``KeyboardInterrupt``.

    >>> f = Vexil([False, True, True, False])   # XOR of variables 0 and 1
    >>> f.n_vars(), f.size(), f.eval(1)
    (2, 4, True)
    """

    def __new__(cls, repr: Sequence[bool | np.bool_]) -> Vexil:
        """Build a function from its truth table, entry 0 first.

        ``repr`` is a sequence (list, tuple, one-dimensional NumPy bool array) of
        ``True``/``False`` or NumPy bools; entry x is the value where variable v
        equals bit v of x. Its length must be a power of two; length 1 gives a
        constant of zero variables. A str, a non-sequence or an item that is not a
        bool (the ints 0 and 1 included) raises ``TypeError("argument 'repr': ...")``;
        a length of 0 or one that is not a power of two raises
        ``vexil.PanicException("Invalid size")``.

        >>> Vexil((False, False, False, True)).repr()   # AND of variables 0 and 1
        [False, False, False, True]
        >>> Vexil([True, False, True])
        Traceback (most recent call last):
            ...
        vexil.PanicException: Invalid size
        """
    @staticmethod
    def from_number(number: SupportsIndex, num_vars: SupportsIndex) -> Vexil:
        """Build the function of ``num_vars`` variables whose entry i is bit i of ``number``.

        ``number`` is an unsigned 64-bit integer; entry i (0 <= i < 2**num_vars)
        takes bit ``i % 64`` of it, counted from the least significant bit, so from
        seven variables on the 64 bits repeat. ``num_vars = 0`` gives the constant
        holding bit 0. A negative argument or one of 2**64 or more raises
        ``OverflowError``; a non-integer ``TypeError("argument 'number': ...")`` (or
        ``'num_vars'``). ``num_vars >= 63`` raises
        ``vexil.PanicException("capacity overflow")``; a table too large for memory
        raises ``MemoryError``.

        >>> Vexil.from_number(6, 2).repr()
        [False, True, True, False]
        """
    def eval(self, i: SupportsIndex) -> bool:
        """Return entry ``i`` of the truth table.

        The entry is the value at the assignment in which variable v equals bit v
        of ``i``. ``i >= size()`` raises ``IndexError("Index out of range: <i>")``; a
        negative ``i`` raises ``OverflowError``, a non-integer ``TypeError``.

        >>> f = Vexil.majority(3)
        >>> f.eval(3), f.eval(4)
        (True, False)
        >>> f.eval(8)
        Traceback (most recent call last):
            ...
        IndexError: Index out of range: 8
        """
    def repr(self) -> list[bool]:
        """Return the truth table as a new list of N bools, entry 0 first.

        Entry x is the value where variable v equals bit v of x. Each call returns
        a fresh list; changing it does not change the function. (The built-in
        ``repr()`` of an object is Python's default text, not this list.)

        >>> Vexil.parity(2).repr()
        [True, False, False, True]
        """
    def size(self) -> int:
        """Return the number of truth-table entries, N = 2**n.

        A function of zero variables has size 1.

        >>> Vexil.majority(3).size(), Vexil([True]).size()
        (8, 1)
        """
    @classmethod
    def majority(cls, n: SupportsIndex) -> Vexil:
        """Build the majority function of ``n`` variables.

        Entry i is true when more than floor(n/2) bits of i are one; for even n a
        tie (exactly n/2 ones) is false. ``n = 0`` gives ``[False]``. ``n >= 63``
        raises ``vexil.PanicException("capacity overflow")``, a table too large for
        memory ``MemoryError``; a negative ``n`` ``OverflowError``.

        >>> [i for i, bit in enumerate(Vexil.majority(3).repr()) if bit]
        [3, 5, 6, 7]
        """
    @classmethod
    def parity(cls, n: SupportsIndex) -> Vexil:
        """Build the even-parity function of ``n`` variables.

        Entry i is true when an even number of bits of i are one (entry 0 is
        true), so this is the complement of the XOR of the variables. ``n = 0``
        gives ``[True]``. ``n >= 63`` raises
        ``vexil.PanicException("capacity overflow")``, a table too large for memory
        ``MemoryError``.

        >>> Vexil.parity(2).repr()
        [True, False, False, True]
        """
    @classmethod
    def coprimes(cls, n: SupportsIndex) -> Vexil:
        """Build the coprimality test of two ``n``-bit numbers, a function of 2n variables.

        With low = i mod 2**n (variables 0..n-1) and high = i // 2**n (variables
        n..2n-1), entry i is true when gcd(high, low) = 1, where gcd(x, 0) = x: a
        half of 0 is coprime only to 1, and gcd(0, 0) = 0 is false. ``n = 0``
        gives ``[False]``. ``n >= 32`` raises
        ``vexil.PanicException("capacity overflow")``, a table too large for memory
        ``MemoryError``.

        >>> Vexil.coprimes(1).repr()
        [False, True, True, True]
        """
    @classmethod
    def primality(cls, n: SupportsIndex) -> Vexil:
        """Build the primality test of an ``n``-bit number.

        Entry i is true when i is prime or i = 1 (this family counts 1 as prime);
        entry 0 is false. ``n = 0`` gives ``[False]``. ``n >= 63`` raises
        ``vexil.PanicException("capacity overflow")``, a table too large for memory
        ``MemoryError``.

        >>> [i for i, bit in enumerate(Vexil.primality(4).repr()) if bit]
        [1, 2, 3, 5, 7, 11, 13]
        """
    @classmethod
    def sum_is_prime(cls, n: SupportsIndex) -> Vexil:
        """Build the test "the sum of two ``n``-bit numbers is prime", of 2n variables.

        With low = i mod 2**n (variables 0..n-1) and high = i // 2**n (variables
        n..2n-1), entry i is true when high + low is prime; sums 0 and 1 are not
        prime. ``n = 0`` gives ``[False]``. ``n >= 32`` raises
        ``vexil.PanicException("capacity overflow")``, a table too large for memory
        ``MemoryError``.

        >>> Vexil.sum_is_prime(1).repr()   # sums 0, 1, 1, 2
        [False, False, False, True]
        """
    @classmethod
    def clique(cls, n: SupportsIndex) -> Vexil:
        """Build the test "a graph on ``n`` vertices has a clique of floor(n/2) vertices".

        The function has n(n+1)/2 variables. Variable u*(2n-u-1)/2 + (v-u-1) is
        the edge between vertices u < v (pairs numbered (0,1), (0,2), ...,
        (n-2,n-1)); the n highest variables are never read. For n <= 3 (a clique
        of at most one vertex) every entry is true. ``n >= 12`` raises
        ``vexil.PanicException("capacity overflow")``; n = 9..11 ask for 2**45 or more
        entries and raise ``MemoryError``.

        >>> f = Vexil.clique(4)                 # 6 edge bits, 4 unread bits
        >>> f.n_vars(), f.eval(0), f.eval(1)    # true when any edge is present
        (10, False, True)
        """
    def n_vars(self) -> int:
        """Return the number of variables n, where ``size() == 2**n``.

        A one-entry table (a constant) has n = 0.

        >>> Vexil.majority(3).n_vars(), Vexil([False]).n_vars()
        (3, 0)
        """
    def entanglement(self) -> int:
        """Return the smallest restriction-count sum over the balanced cuts of the variables.

        A balanced cut splits 0..n-1 into sides of floor(n/2) and ceil(n/2)
        variables (each split counted once); its value is
        ``information(set1) + information(set2)``, the numbers of distinct
        restrictions when either side is fixed. The result is the minimum over all
        cuts (see ``entanglement_sets``). A constant function gives 2; n = 0 has
        the one cut ([], []) and gives 2.

        >>> Vexil.majority(3).entanglement()   # e.g. cut ([0], [1, 2]): 2 + 3
        5
        """
    def entropy(self) -> float:
        """Return the smallest restriction-entropy sum over the balanced cuts, in bits.

        Over the cuts of ``entanglement`` (sides of floor(n/2) and ceil(n/2)
        variables), the value of a cut is ``fragmentation_coefficient(set1) +
        fragmentation_coefficient(set2)``; the result is the minimum (see
        ``entropy_sets``), single precision widened to a float. A constant
        function, and n = 0, give -0.0.

        >>> Vexil.majority(3).entropy()        # e.g. cut ([0], [1, 2]): 1.0 + 1.5
        2.5
        """
    def fragmentation_coefficient(self, vars: Sequence[SupportsIndex]) -> float:
        """Return the Shannon entropy, in bits, of the restrictions obtained by fixing ``vars``.

        Fixing the m listed variables in each of their 2**m equally likely
        assignments gives 2**m restrictions (functions of the other variables);
        the result is -sum p*log2(p) over their distinct values, computed in single
        precision and widened. The order of ``vars`` does not matter; a repeated
        variable changes the weights; a number of n or more fixes nothing and reads
        false. ``[]`` gives -0.0. A list whose 2**m assignments cannot be held
        raises ``MemoryError``; a negative number ``OverflowError``.

        >>> f = Vexil([False, True, False, True])   # variable 0 of two
        >>> f.fragmentation_coefficient([0]), f.fragmentation_coefficient([1])
        (1.0, -0.0)
        """
    def fragmentation_k(self, k: SupportsIndex) -> float:
        """Return the mean restriction entropy over all subsets of ``k`` variables.

        The mean, over the C(n, k) subsets S of size k, of
        ``fragmentation_coefficient(S)`` in bits, summed in single precision from
        -0.0 and widened. ``k = 0`` gives -0.0; ``k > n`` gives +0.0 (no error);
        ``k = n`` gives the entropy of the distribution of the function's values.
        A negative ``k`` raises ``OverflowError``.

        >>> f = Vexil([False, True, False, True])   # variable 0 of two
        >>> f.fragmentation_k(1), f.fragmentation_k(3)   # (1.0 + 0.0) / 2
        (0.5, 0.0)
        """
    def fragmentation_spectrum(self) -> list[float]:
        """Return ``[fragmentation_k(k) for k in range(n + 1)]``: n + 1 floats.

        Entry 0 is -0.0 (one restriction, the function itself); entry n is the
        entropy in bits of the distribution of the function's values. Also
        available as ``restriction_signature`` and ``fragmentation_profile``. A
        function of zero variables gives ``[-0.0]``.

        >>> [round(x, 4) for x in Vexil([False, False, False, True]).fragmentation_spectrum()]
        [-0.0, 1.0, 0.8113]
        """
    def restriction_signature(self) -> list[float]:
        """Return the fragmentation spectrum; another name for ``fragmentation_spectrum``.

        The list ``[fragmentation_k(k) for k in range(n + 1)]``: mean restriction
        entropies in bits for 0..n fixed variables, single precision widened to
        floats; ``[-0.0]`` for a function of zero variables.

        >>> Vexil.majority(3).restriction_signature()
        [-0.0, 1.0, 1.5, 1.0]
        """
    def fragmentation_profile(self) -> list[float]:
        """Return the fragmentation spectrum; another name for ``fragmentation_spectrum``.

        The list ``[fragmentation_k(k) for k in range(n + 1)]``: mean restriction
        entropies in bits for 0..n fixed variables, single precision widened to
        floats; ``[-0.0]`` for a function of zero variables.

        >>> Vexil.parity(3).fragmentation_profile()
        [-0.0, 1.0, 1.0, 1.0]
        """
    def fragmentation_peak(self) -> tuple[int, float]:
        """Return ``(k, value)`` for the first largest entry of the fragmentation spectrum.

        Ties keep the smallest k. A function of zero variables, or a constant one,
        gives ``(0, -0.0)``.

        >>> Vexil.majority(3).fragmentation_peak()
        (2, 1.5)
        """
    def fragmentation_delta(self) -> list[float]:
        """Return the first differences of the fragmentation spectrum: n floats.

        Entry k is ``spectrum[k + 1] - spectrum[k]``, in single precision widened
        to a float. A function of zero variables gives ``[]``.

        >>> Vexil.majority(3).fragmentation_delta()
        [1.0, 0.5, -0.5]
        """
    def fragmentation_delta2(self) -> list[float]:
        """Return the second differences of the fragmentation spectrum: max(n - 1, 0) floats.

        Entry k is ``delta[k + 1] - delta[k]`` with ``delta = fragmentation_delta()``,
        in single precision widened to a float. Functions of zero or one variable
        give ``[]``.

        >>> Vexil.majority(3).fragmentation_delta2()
        [-0.5, -1.0]
        """
    def equanimity_importance(self) -> float:
        """Return the fraction of the edges of the n-cube along which the function changes.

        The count of pairs (x, x + 2**v) with bit v of x clear and f(x) != f(x + 2**v),
        divided by n * 2**(n-1): the mean over the variables of the probability that
        flipping it at a uniformly random input changes f. Single precision widened
        to a float. A function of zero variables has no edges and gives ``nan``.

        >>> Vexil([False, False, False, True]).equanimity_importance()   # AND
        0.5
        """
    def entanglement_sets(self) -> list[EntanglementSet]:
        """List every balanced cut of the variables with its restriction-count sum.

        One ``EntanglementSet`` per split of 0..n-1 into sides of floor(n/2)
        (``set1``) and ceil(n/2) (``set2``) variables, each split once; for even n,
        ``set1`` holds variable 0. The order is lexicographic in ``set1``. The
        ``entanglement`` field is ``information(set1) + information(set2)``; its
        minimum is ``entanglement()``. A function of zero variables gives the one
        cut ([], []) with 2.

        >>> [(r.set1, r.set2, r.entanglement) for r in Vexil.majority(4).entanglement_sets()]
        [([0, 1], [2, 3], 6), ([0, 2], [1, 3], 6), ([0, 3], [1, 2], 6)]
        """
    def entropy_sets(self) -> list[EntropySets]:
        """List every balanced cut of the variables with its restriction-entropy sum.

        The cuts of ``entanglement_sets``, in the same order, as ``EntropySets``
        records whose ``entropy`` field is ``fragmentation_coefficient(set1) +
        fragmentation_coefficient(set2)`` in bits (single precision widened); its
        minimum is ``entropy()``. A function of zero variables gives the one cut
        ([], []) with -0.0.

        >>> [(r.set1, r.entropy) for r in Vexil([False, True]).entropy_sets()]
        [([], 1.0)]
        """
    def information(self, vars: Sequence[SupportsIndex]) -> int:
        """Return the number of distinct restrictions obtained by fixing ``vars``.

        Fixing the listed variables in all 2**m ways gives 2**m functions of the
        other variables; the result counts the distinct ones (at least 1). The
        order of ``vars`` and repeats do not change it; a number of n or more fixes
        nothing and reads false. ``[]`` gives 1. A list whose 2**m assignments
        cannot be held raises ``MemoryError``; a negative number ``OverflowError``.

        >>> f = Vexil([False, True, False, True])   # variable 0 of two
        >>> f.information([0]), f.information([1]), f.information([])
        (2, 1, 1)
        """
    def encode(self) -> bytes:
        r"""Return the table as bytes: a length prefix, then one byte (0 or 1) per entry.

        The prefix holds N, little-endian: one byte for N <= 250; 0xFB and 16 bits
        up to 65535; 0xFC and 32 bits up to 2**32 - 1; 0xFD and 64 bits beyond.
        Entries follow from entry 0. There is no header or checksum;
        ``Vexil.decode`` reads it back.

        >>> Vexil([False, True, True, False]).encode()
        b'\x04\x00\x01\x01\x00'
        >>> Vexil.parity(8).encode()[:3]   # N = 256
        b'\xfb\x00\x01'
        """
    @classmethod
    def decode(cls, raw: bytes) -> Vexil:
        """Build a function from the bytes written by ``encode``.

        Longer-than-needed prefixes are accepted and bytes after the last entry are
        ignored. ``raw`` must be ``bytes`` (else ``TypeError("argument 'raw': ...")``).
        An empty input, one that ends early, a first byte 0xFE or 0xFF, or an entry
        byte other than 0 or 1 raises ``ValueError("Unable to decode")``; a length
        that is not a power of two raises ``vexil.PanicException("Invalid size")``,
        one of 2**63 or more ``vexil.PanicException("capacity overflow")``.

        >>> Vexil.decode(bytes([4, 0, 1, 1, 0, 255])).repr()
        [False, True, True, False]
        >>> Vexil.decode(bytes([4, 0, 2, 1, 0]))
        Traceback (most recent call last):
            ...
        ValueError: Unable to decode
        """
    def minimal_gates(self) -> int | None:
        """Return the number of gates of a smallest circuit, for five-variable functions.

        For a table of 32 entries: the fewest gates, each any of the 16 two-input
        Boolean operations, of a circuit computing the function, 0 to 12; constants
        and single variables or their complements give 0. The answer is exact and
        comes from a built-in database of all five-input NPN classes, loaded on the
        first call. For any other size the result is ``None``.

        >>> Vexil.parity(5).minimal_gates(), Vexil.majority(2).minimal_gates()
        (4, None)
        """
    def frontier_size(self) -> int:
        """Return the number of cube edges joining a false input to a true one.

        Counts the pairs (x, x XOR 2**j) with f(x) false and f(x XOR 2**j) true,
        which is half the sum of the sensitivities s(x) (see ``max_sensitivity``).
        The frontier is built on the first call and kept in the object; later
        calls reuse it. A constant function (or n = 0) gives 0.

        >>> Vexil.majority(3).frontier_size()
        6
        """
    def max_frontier_size(self) -> int:
        """Return the bound n * min(#false entries, #true entries) on ``frontier_size``.

        No frontier is built; the product is taken modulo 2**32. A constant function (or n = 0)
        gives 0; parity of n variables reaches the bound, n * 2**(n-1).

        >>> Vexil.majority(3).max_frontier_size()   # 3 * min(4, 4)
        12
        """
    def table(self, vars: Sequence[SupportsIndex]) -> npt.NDArray[np.bool_]:
        """Lay the restrictions obtained by fixing ``vars`` out as a 2-D NumPy bool array.

        With k = len(vars) distinct variables below n (order does not matter),
        assignment i of the fixed variables (bit t to the t-th smallest) gives a
        restriction listing its values over assignments j of the others (bit t to
        the t-th smallest free variable). The restrictions, in order of i, form
        one sequence, read in rows of 2**k: shape (2**(n-k), 2**k), C order. For
        k = n - k, element (r, c) is f with ``vars`` at r and the rest at c. A
        repeated variable or one of n or more raises ``vexil.PanicException``
        ("... ShapeError/...").

        >>> f = Vexil([False, True, False, False])   # true only at entry 1
        >>> f.table([1]).tolist(), f.table([0]).tolist()
        ([[False, True], [False, False]], [[False, False], [True, False]])
        """
    def npn_representant(self) -> Vexil | None:
        """Return the representative of the function's NPN class, for five-variable functions.

        For a table of 32 entries, pack it into the word w = sum of entry k << (31 - k).
        Of all functions obtained by permuting and negating inputs and negating the
        output, take the smallest word c; the result is a new 32-entry ``Vexil``
        with entry i = bit i of c (itself a member of the class). Two functions are
        NPN-equivalent exactly when their representatives are equal. Other sizes
        give ``None``.

        >>> a = Vexil([i & 3 == 3 for i in range(32)]).npn_representant()   # x0 AND x1
        >>> b = Vexil([i & 24 != 0 for i in range(32)]).npn_representant()   # x3 OR x4
        >>> a.repr() == b.repr(), hex(sum(bit << i for i, bit in enumerate(a.repr())))
        (True, '0xff')
        """
    def max_sensitivity(self) -> int:
        """Return the largest sensitivity over all inputs.

        The sensitivity s(x) is the number of variables j with f(x) != f(x XOR 2**j).
        A constant function, and n = 0, give 0; parity of n variables gives n.

        >>> Vexil.majority(3).max_sensitivity()
        2
        """
    def mean_sensitivity(self) -> float:
        """Return the mean sensitivity over all inputs, sum of s(x) / N.

        s(x) is the number of variables whose flip changes f(x); computed in single
        precision and widened. Equals ``total_influence()`` up to rounding. n = 0
        gives 0.0.

        >>> Vexil.majority(3).mean_sensitivity()
        1.5
        """
    def spectral_entropy(self) -> float:
        """Return the entropy, in nats, of the squared normalised Walsh spectrum.

        With F(x) = +1 where f is true and -1 where false, W(k) = sum over x of
        F(x) * (-1)**popcount(k & x) and p(k) = (W(k) / N)**2, the result is
        -sum p(k) * ln p(k) over p(k) != 0, in single precision widened; it lies in
        [0, n ln 2]. A constant or a parity function, and n = 0, give -0.0.

        >>> round(Vexil([False, False, False, True]).spectral_entropy(), 4)   # ln 4
        1.3863
        """
    def degree(self) -> int:
        """Return the Fourier degree: the largest popcount(k) with W(k) != 0.

        W is the unscaled Walsh spectrum of the +1 (true) / -1 (false) table, see
        ``spectral_entropy``. Constants, and n = 0, give 0; parity of n variables
        gives n.

        >>> Vexil([False, False, False, True]).degree(), Vexil([False, True, False, True]).degree()
        (2, 1)
        """
    def no_linearity(self) -> int:
        """Return the non-linearity: the Hamming distance to the nearest affine function.

        Computed as 2**(n-1) - max_k |W(k)| / 2 from the Walsh spectrum of the
        +1 (true) / -1 (false) table (see ``spectral_entropy``). Affine functions
        (constants, parities, single variables) give 0; n = 0 gives 0.

        >>> Vexil([False, False, False, True]).no_linearity(), Vexil.majority(3).no_linearity()
        (1, 2)
        """
    def influence(self, var: SupportsIndex) -> float:
        """Return the influence of variable ``var``, the chance that flipping it changes f.

        The chance is over a uniformly random input. Computed as the sum of
        (W(k) / N)**2 over the k with bit ``var`` set, W being the Walsh spectrum
        of ``spectral_entropy``, in single precision widened to a float. A
        variable of n or more (64 and beyond included) gives -0.0, no error; a
        negative ``var`` raises ``OverflowError``.

        >>> f = Vexil.majority(3)
        >>> f.influence(0), f.influence(3)
        (0.5, -0.0)
        """
    def total_influence(self) -> float:
        """Return the total influence: the sum of popcount(k) * (W(k) / N)**2 over k >= 1.

        W is the Walsh spectrum of ``spectral_entropy``. Mathematically the sum of
        ``influence(v)`` over the variables and equal to ``mean_sensitivity()``;
        computed separately in single precision and widened. n = 0 gives -0.0.

        >>> Vexil.majority(3).total_influence(), Vexil.parity(4).total_influence()
        (1.5, 4.0)
        """
    def certificate_complexity(self) -> int:
        """Return the certificate complexity: the largest C(x) over all inputs x.

        A certificate for x is a set of variables whose values at x force f(x) on
        every input that agrees with x there; C(x) is the size of a smallest one
        (computed exactly). Constants, and n = 0, give 0; parity of n variables
        and a function with a single true entry give n.

        >>> Vexil([False, False, False, True]).certificate_complexity()   # AND
        2
        """
