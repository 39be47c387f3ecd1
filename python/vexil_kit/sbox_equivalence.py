"""Affine and linear equivalence of permutations of n bits (n <= 8), and invariants to compare S-boxes.

Two permutations f, g are affine equivalent when g(x) = B.f(A.x ^ a) ^ b for invertible n x n
matrices A, B over GF(2) and constants a, b. A matrix is given as n row ints: bit j of row i is the
entry (i, j), so (A.x) has bit i equal to the parity of rows[i] & x (``apply_matrix``); column j is
the image of the unit vector 1 << j.

The search follows the guess-and-determine idea of Biryukov, De Cannière, Braeken and Preneel
(EUROCRYPT 2003): g = B.f.A ties A on a point x to B on the point f(A.x), and B on y back to A on
g^-1(B.y); each new point of one map doubles the span where it is known and so fixes more points
of the other, and a guess is made only when this runs dry. Instead of their linear representatives,
the affine case is reduced to 2**n linear ones: g(x) ^ g(0) = B.(f(A.x ^ a) ^ f(a)), so for each
candidate a the two normalised maps must be linearly equivalent, and then b = g(0) ^ B.f(a).
Invariants of linear equivalence at a chosen base point (the counts of closed "squares"
h(x) ^ h(y) ^ h(x ^ y) ^ h(0) = 0 through each point, of h and of its inverse, and the sorted rows
and columns of the difference table) colour the points: they rule out most a before any search, and
inside a search a point may only go to a point of its own colour, and a guessed image must show the
same square counts, seen from every point already mapped, as the point it is the image of. When many
a survive (f has symmetries), the linear self-equivalences f = B'.f.A' ^ c found by one search of f
against itself group them: a and A'.a stand or fall together, so one a of each orbit is searched.

>>> f = (0, 1, 3, 6, 7, 4, 5, 2)           # x**3 over GF(8), in vexil's bit order
>>> g = tuple(f[x ^ 5] ^ 3 for x in range(8))
>>> A, a, B, b = affine_equivalent(f, g, 3)
>>> all(g[x] == apply_matrix(B, f[apply_matrix(A, x) ^ a]) ^ b for x in range(8))
True
"""

from __future__ import annotations

import time
from collections import Counter
from collections.abc import Sequence
from typing import Any

import numpy as np
import numpy.typing as npt

from . import _native, registry
from .progress import Progress, reporter
from .sbox_graph_maps import (
    INVERSE_TRY,
    KINDS,
    apply_matrix,
    inverse_table,
    is_permutation,
    read_maps,
    through_inverse,
)

__all__ = ["affine_equivalent", "apply_matrix", "invariants", "linear_equivalent"]

MAX_EQUIVALENCE_BITS = 8

Matrix = tuple[int, ...]
Words = npt.NDArray[np.uint32]
_Array = npt.NDArray[np.int64]
#: A table of ints: a sequence or an integer NumPy array.
Table = Sequence[int] | npt.NDArray[np.integer[Any]]


def _rows(table: Sequence[int], n: int) -> Matrix:
    """The row ints of the linear map whose table is ``table`` (column j = table[1 << j])."""
    return tuple(sum(((table[1 << j] >> i) & 1) << j for j in range(n)) for i in range(n))


def _permutation(table: Table, n: int, name: str) -> _Array:
    if isinstance(n, bool) or not isinstance(n, int) or not 1 <= n <= MAX_EQUIVALENCE_BITS:
        raise ValueError(f"equivalence is searched for 1 to {MAX_EQUIVALENCE_BITS} bits, not n = {n!r}")
    values = np.asarray(table)
    if values.shape != (1 << n,) or values.dtype.kind not in "iu" or sorted(values.tolist()) != list(range(1 << n)):
        raise ValueError(f"{name} must be a permutation of the {1 << n} values of {n} bits")
    return values.astype(np.int64)


def _inverse(f: _Array) -> _Array:
    inverse = np.empty_like(f)
    inverse[f] = np.arange(len(f), dtype=np.int64)
    return inverse


def _square_counts(h: _Array, ddt: _Array) -> _Array:
    """Entry [c, x]: the count over w of h(c) ^ h(c ^ x) ^ h(c ^ w) ^ h(c ^ x ^ w) = 0.

    With y = c ^ w that asks h(y) ^ h(y ^ x) = h(c) ^ h(c ^ x), so it is the difference table's
    entry at x and the difference that h itself shows at c.
    """
    points = np.arange(len(h), dtype=np.int64)
    return ddt[points[None, :], h[:, None] ^ h[points[:, None] ^ points[None, :]]]


def _ddt(f: _Array, m: int) -> _Array:
    """The difference table: entry [a, b] counts the x with f(x) ^ f(x ^ a) = b."""
    return np.asarray(_native.sbox_table("ddt", f.astype(np.uint32), m), dtype=np.int64)


def _line_colours(ddt: _Array, other: _Array, by_columns: bool) -> tuple[list[int], list[int]]:
    """Ids of the sorted rows (or columns) of two difference tables, one numbering for both."""
    ids: dict[bytes, int] = {}
    result = []
    for table in (ddt, other):
        lines = np.sort(table.T if by_columns else table, axis=1)
        result.append([ids.setdefault(line.tobytes(), len(ids)) for line in lines])
    return result[0], result[1]


class _Search:
    """Linear A, B with g = B.f.A by guess-and-determine, for f, g permutations of the same size.

    Points may only go to points of the same colour: ``colour_in`` for the inputs of A (f's side,
    g's side), ``colour_out`` for the inputs of B (f's outputs, g's outputs).
    """

    def __init__(
        self,
        f: list[int],
        g: list[int],
        colour_in: tuple[list[int], list[int]],
        colour_out: tuple[list[int], list[int]],
        squares: tuple[_Array, _Array],
        deadline: float | None = None,
    ) -> None:
        self.f, self.g = f, g
        self.deadline = deadline  # time.monotonic() past which the search raises TimeoutError
        self.squares_f, self.squares_g = squares
        self.f_inverse = [0] * len(f)
        self.g_inverse = [0] * len(g)
        for x, y in enumerate(f):
            self.f_inverse[y] = x
        for x, y in enumerate(g):
            self.g_inverse[y] = x
        self.colour_in_f, self.colour_in_g = colour_in
        self.colour_out_f, self.colour_out_g = colour_out
        classes: dict[int, list[int]] = {}
        for v, colour in enumerate(self.colour_in_f):
            classes.setdefault(colour, []).append(v)
        self.classes = classes
        # Guess first where the fewest images are possible.
        self.guess_order = sorted(range(1, len(f)), key=lambda x: len(classes.get(self.colour_in_g[x], ())))

    def run(self) -> tuple[list[int], list[int]] | None:
        """The first (A, B) of the search order, by the native search (the same order as ``_solve``)."""
        outcome, a, b = self._native(first_guesses=False)
        return None if a is None or b is None else (a, b)

    def maps_of_the_first_guess(self) -> list[list[int]]:
        """One solution A for each image of the first guessed point that has one."""
        maps: list[list[int]] = self._native(first_guesses=True)
        return maps

    def _native(self, first_guesses: bool) -> Any:
        """``vexil_kit._native.sbox_point_search`` on this search's tables; TimeoutError past the deadline."""
        seconds = 0.0
        if self.deadline is not None:
            seconds = self.deadline - time.monotonic()
            if seconds <= 0:
                raise TimeoutError("affine equivalence not decided within its time_limit")

        def words(values: Any) -> Words:
            return np.ascontiguousarray(np.asarray(values).ravel(), dtype=np.uint32)

        answer = _native.sbox_point_search(
            words(self.f),
            words(self.g),
            words(self.colour_in_f),
            words(self.colour_in_g),
            words(self.colour_out_f),
            words(self.colour_out_g),
            words(self.squares_f),
            words(self.squares_g),
            first_guesses,
            seconds,
        )
        if not first_guesses and answer[0] == "timed out":
            raise TimeoutError("affine equivalence not decided within its time_limit")
        return answer

    def python_run(self) -> tuple[list[int], list[int]] | None:
        """The same search in Python, kept as the reference the native one is tested against."""
        state = self._start()
        return None if state is None else self._solve(state)

    def _start(self) -> _State | None:
        if self.colour_in_f[0] != self.colour_in_g[0] or self.colour_out_f[0] != self.colour_out_g[0]:
            return None
        # Both maps are linear: 0 -> 0 starts the two spans, and each is followed like any new point.
        state = _State(len(self.f))
        state.a[0] = state.a_inverse[0] = state.b[0] = state.b_inverse[0] = 0
        state.a_domain.append(0)
        state.b_domain.append(0)
        state.queue_a.append(0)
        state.queue_b.append(0)
        return state

    def _candidates(self, state: _State) -> tuple[int, list[int]]:
        """The next point to guess and the images it may take."""
        x = next(point for point in self.guess_order if state.a[point] < 0)
        candidates = [v for v in self.classes.get(self.colour_in_g[x], ()) if state.a_inverse[v] < 0]
        if candidates:
            # The square counts seen from each point p already mapped must agree: A keeps them.
            known = state.a_domain
            images = [state.a[p] for p in known]
            agree = (self.squares_f[np.ix_(images, candidates)] == self.squares_g[known, x][:, None]).all(axis=0)
            candidates = [v for v, ok in zip(candidates, agree.tolist(), strict=True) if ok]
        return x, candidates

    def _solve(self, state: _State) -> tuple[list[int], list[int]] | None:
        if self.deadline is not None and time.monotonic() > self.deadline:
            raise TimeoutError("affine equivalence not decided within its time_limit")
        if not self._propagate(state):
            return None
        if len(state.a_domain) == len(self.f):
            return state.a, state.b
        x, candidates = self._candidates(state)
        for v in candidates:
            branch = state.copy()
            if self._extend_a(branch, x, v):
                found = self._solve(branch)
                if found is not None:
                    return found
        return None

    def _extend_a(self, state: _State, x: int, v: int) -> bool:
        """Set A(x) = v for x outside the known span and v outside its image: the span doubles."""
        return _extend(
            state.a, state.a_inverse, state.a_domain, state.queue_a, self.colour_in_g, self.colour_in_f, x, v
        )

    def _extend_b(self, state: _State, y: int, z: int) -> bool:
        """Set B(y) = z likewise, on the outputs."""
        return _extend(
            state.b, state.b_inverse, state.b_domain, state.queue_b, self.colour_out_f, self.colour_out_g, y, z
        )

    def _propagate(self, state: _State) -> bool:
        f, g, f_inverse, g_inverse = self.f, self.g, self.f_inverse, self.g_inverse
        a, b = state.a, state.b
        while state.queue_a or state.queue_b:
            while state.queue_a:
                x = state.queue_a.pop()
                y, z = f[a[x]], g[x]  # B(y) = z
                if b[y] >= 0:
                    if b[y] != z:
                        return False
                elif not self._extend_b(state, y, z):
                    return False
            while state.queue_b:
                y = state.queue_b.pop()
                x, w = g_inverse[b[y]], f_inverse[y]  # A(x) = w
                if a[x] >= 0:
                    if a[x] != w:
                        return False
                elif not self._extend_a(state, x, w):
                    return False
        return True


class _State:
    """The partial maps A, B (and their inverses) on the spans known so far, and the points to follow."""

    __slots__ = ("a", "a_domain", "a_inverse", "b", "b_domain", "b_inverse", "queue_a", "queue_b")

    def __init__(self, size: int) -> None:
        self.a, self.a_inverse = [-1] * size, [-1] * size
        self.b, self.b_inverse = [-1] * size, [-1] * size
        self.a_domain: list[int] = []
        self.b_domain: list[int] = []
        self.queue_a: list[int] = []
        self.queue_b: list[int] = []

    def copy(self) -> _State:
        other = _State.__new__(_State)
        for name in _State.__slots__:
            setattr(other, name, list(getattr(self, name)))
        return other


def _colours(
    counts_f: _Array, counts_g: _Array, lines: tuple[list[int], list[int]]
) -> tuple[list[int], list[int]] | None:
    """Joint colour ids of (square count, difference-table line) per point, or None if the two
    multisets of colours differ (then no map between them keeps colours)."""
    ids: dict[tuple[int, int], int] = {}
    pair = [
        [ids.setdefault((int(c), line), len(ids)) for c, line in zip(counts, side, strict=True)]
        for counts, side in ((counts_f, lines[0]), (counts_g, lines[1]))
    ]
    if Counter(pair[0]) != Counter(pair[1]):
        return None
    return pair[0], pair[1]


def linear_equivalent(f: Table, g: Table, n: int) -> tuple[Matrix, Matrix] | None:
    """Invertible matrices (A, B) with g(x) = B.f(A.x) for permutations f, g of n bits, or None.

    >>> f = (0, 1, 3, 6, 7, 4, 5, 2)
    >>> A, B = linear_equivalent(f, f, 3)
    >>> all(f[x] == apply_matrix(B, f[apply_matrix(A, x)]) for x in range(8))
    True
    """
    f_array, g_array = _permutation(f, n, "f"), _permutation(g, n, "g")
    found = _linear_moved(f_array, g_array, _ddt(f_array, n), _ddt(g_array, n))
    return None if found is None else (_rows(found[0], n), _rows(found[1], n))


def _linear_moved(f: _Array, g: _Array, ddt_f: _Array, ddt_g: _Array) -> tuple[list[int], list[int]] | None:
    squares = _square_counts(f, ddt_f), _square_counts(g, ddt_g)
    counts_in = squares[0][0], squares[1][0]
    f_inverse, g_inverse = _inverse(f), _inverse(g)
    counts_out = _square_counts(f_inverse, ddt_f.T)[0], _square_counts(g_inverse, ddt_g.T)[0]
    colour_in = _colours(*counts_in, _line_colours(ddt_f, ddt_g, by_columns=False))
    colour_out = _colours(*counts_out, _line_colours(ddt_f, ddt_g, by_columns=True))
    if colour_in is None or colour_out is None:
        return None
    return _Search(f.tolist(), g.tolist(), colour_in, colour_out, squares).run()


def affine_equivalent(
    f: Table, g: Table, n: int, progress: Progress = False, *, time_limit: float | None = None
) -> tuple[Matrix, int, Matrix, int] | None:
    """Affine maps (A, a, B, b) with g(x) = B.f(A.x ^ a) ^ b for permutations f, g of n <= 8 bits.

    A and B are row ints (see ``apply_matrix``); None when f and g are not affine equivalent.
    ValueError when f or g is not a permutation of n bits or n is outside 1..8. The spectra of
    ``invariants`` are compared first; then each candidate a whose invariants match is searched.
    Random permutations of 8 bits take a fraction of a second either way; so do power maps, whose
    many candidates a are grouped first into orbits of the self-equivalences of f found by one
    search, so that one a an orbit is searched.
    ``progress`` (True for a tqdm bar, or a callable taking ``(done, total)``) counts the candidates
    a; Ctrl-C stops the search, and so does ``time_limit`` (seconds) with TimeoutError.

    >>> from vexil_kit.sboxes import inverse_map, named
    >>> inverse, aes = inverse_map(8), named("AES")[2]
    >>> A, a, B, b = affine_equivalent(inverse, aes, 8)
    >>> all(aes[x] == apply_matrix(B, inverse[apply_matrix(A, x) ^ a]) ^ b for x in range(256))
    True
    >>> affine_equivalent(named("PRESENT")[2], named("GIFT")[2], 4) is None
    True
    """
    f_array, g_array = _permutation(f, n, "f"), _permutation(g, n, "g")
    deadline = None if time_limit is None else time.monotonic() + float(time_limit)
    if invariants(f_array, n, n) != invariants(g_array, n, n):
        return None
    ddt_f, ddt_g = _ddt(f_array, n), _ddt(g_array, n)
    f_inverse, g_inverse = _inverse(f_array), _inverse(g_array)
    size = 1 << n
    g_zero = g_array[0]
    squares_g = _square_counts(g_array, ddt_g)
    target_in = squares_g[0]
    target_out = _square_counts(g_inverse, ddt_g.T)[int(g_zero)]
    counts_in = _square_counts(f_array, ddt_f)
    counts_out = _square_counts(f_inverse, ddt_f.T)
    rows = _line_colours(ddt_f, ddt_g, by_columns=False)
    columns = _line_colours(ddt_f, ddt_g, by_columns=True)
    points = np.arange(size, dtype=np.int64)
    g_normal = g_array ^ g_zero
    candidates = []
    for a in range(size):
        colour_in = _colours(counts_in[a], target_in, rows)
        colour_out = _colours(counts_out[int(f_array[a])], target_out, columns)
        if colour_in is not None and colour_out is not None:
            candidates.append((a, colour_in, colour_out))
    # Many candidates mean f has symmetries: a and A'.a stand or fall together when f = B'.f.A' ^ c,
    # so a few linear self-equivalences of f, cheap to find, spare the search of most of them.
    many = len(candidates) >= _MANY
    orbit = _orbits(f_array, n, ddt_f, counts_in, counts_out, deadline) if many else list(range(size))
    failed: set[int] = set()
    with reporter(progress, "affine_equivalent") as report:
        for done, (a, colour_in, colour_out) in enumerate(candidates):
            if report is not None:
                report(done, len(candidates))
            if _root(orbit, a) in failed:
                continue
            f_normal = f_array[points ^ a] ^ f_array[a]
            # f's square counts seen from p ^ a are those of the translated f seen from p.
            squares = (counts_in[points ^ a], squares_g)
            found = _Search(f_normal.tolist(), g_normal.tolist(), colour_in, colour_out, squares, deadline).run()
            if found is not None:
                a_table, b_table = found
                b = int(g_zero) ^ b_table[int(f_array[a])]
                return _rows(a_table, n), a, _rows(b_table, n), b
            failed.add(_root(orbit, a))
        if report is not None:
            report(len(candidates), len(candidates))
    return None


_MANY = 16


def _orbits(f: _Array, n: int, ddt: _Array, counts_in: _Array, counts_out: _Array, deadline: float | None) -> list[int]:
    """A union-find forest of the inputs: p and A'.p joined for the self-equivalences found."""
    f_zero = int(f[0])
    rows = _line_colours(ddt, ddt, by_columns=False)
    columns = _line_colours(ddt, ddt, by_columns=True)
    colour_in = _colours(counts_in[0], counts_in[0], rows)
    colour_out = _colours(counts_out[f_zero], counts_out[f_zero], columns)
    parent = list(range(1 << n))
    if colour_in is None or colour_out is None:  # not reached: f against itself
        return parent
    normal = (f ^ f_zero).tolist()
    search = _Search(normal, normal, colour_in, colour_out, (counts_in, counts_in), deadline)
    for table in search.maps_of_the_first_guess():
        for p, image in enumerate(table):
            first, second = _root(parent, p), _root(parent, image)
            if first != second:
                parent[first] = second
    return parent


def _root(parent: list[int], p: int) -> int:
    while parent[p] != p:
        parent[p] = parent[parent[p]]
        p = parent[p]
    return p


def invariants(table: Table, n: int, m: int) -> dict[str, dict[int, int]]:
    """Affine-equivalence invariants of an (n, m)-function, each as a value -> count dict.

    ``differential_spectrum``: the entries of the difference table over rows a != 0;
    ``walsh_spectrum``: |W(a, b)| over all a and b != 0 (W(a, b) = sum over x of
    (-1)**(b.F(x) ^ a.x)); ``degree_spectrum``: the algebraic degrees of the components b.F, b != 0
    (-1 for the zero component). Equal dicts are necessary for affine equivalence, not sufficient.

    >>> spectra = invariants((0, 1, 3, 6, 7, 4, 5, 2), 3, 3)
    >>> spectra["differential_spectrum"], spectra["degree_spectrum"]
    ({0: 28, 2: 28}, {2: 7})
    """
    if not (isinstance(n, int) and isinstance(m, int) and 1 <= n <= 24 and 1 <= m <= 24):
        raise ValueError(f"n and m must be ints from 1 to 24, not {n!r} and {m!r}")
    values = np.asarray(table)
    if values.shape != (1 << n,) or values.dtype.kind not in "iu" or (len(values) and not 0 <= values.min()):
        raise ValueError(f"the table must hold 2**{n} ints")
    if len(values) and values.max() >= 1 << m:
        raise ValueError(f"the table's values must fit in m = {m} bits")
    size, width = 1 << n, 1 << m
    # The sizes refused are those of the whole tables (2**n by 2**m), which bound the time too.
    _native.ensure_working_set(8 * size * width * 4)
    words = values.astype(np.uint32)
    return {
        "differential_spectrum": _sorted(_native.sbox_measure("differential_spectrum", words, m)),
        "walsh_spectrum": _sorted(_native.sbox_measure("walsh_spectrum_counts", words, m)),
        "degree_spectrum": _sorted(Counter(_component_degrees(words, n, m).tolist())),
    }


def _component_degrees(words: npt.NDArray[np.uint32], n: int, m: int) -> _Array:
    """The algebraic degree of each component b.F, b = 1 .. 2**m - 1 (-1 for a zero component).

    The ANF is linear in F: monomial u is in the ANF of b.F when b meets an odd number of the
    coordinates whose ANF holds u. So one Moebius transform per coordinate, then per weight, from
    the highest, each distinct set of coordinates holding a monomial of that weight marks the
    components still unmarked that it reaches.
    """
    holders = np.zeros(1 << n, dtype=np.uint32)  # bit j of holders[u]: u is in coordinate j's ANF
    for j in range(m):
        coordinate = ((words >> np.uint32(j)) & np.uint32(1)).astype(np.bool_)
        holders |= np.asarray(_native.moebius_transform(coordinate), dtype=np.uint32) << np.uint32(j)
    weights = np.array([0], dtype=np.int64)
    for _ in range(n):
        weights = np.concatenate([weights, weights + 1])
    b = np.arange(1, 1 << m, dtype=np.uint32)
    degrees = np.full(len(b), -1, dtype=np.int64)
    for w in range(n, -1, -1):
        for coordinates in np.unique(holders[(weights == w) & (holders != 0)]).tolist():
            degrees[(_parity(b & np.uint32(coordinates)) == 1) & (degrees < 0)] = w
    return degrees


def _parity(x: npt.NDArray[np.uint32]) -> npt.NDArray[np.uint32]:
    """The parity of each word's bits."""
    for shift in (16, 8, 4, 2, 1):
        x = x ^ (x >> np.uint32(shift))
    return x & np.uint32(1)


def _sorted(counts: Any) -> dict[int, int]:
    """A value -> count dict in increasing values."""
    return {int(k): int(counts[k]) for k in sorted(counts)}


def _extend(
    mapping: list[int],
    inverse: list[int],
    domain: list[int],
    queue: list[int],
    colour_of_point: Sequence[int],
    colour_of_image: Sequence[int],
    x: int,
    v: int,
) -> bool:
    """Extends a linear map known on the span ``domain`` by x -> v (x outside the span, v outside its
    image): every s of the span gives s ^ x -> mapping[s] ^ v, refused where the colours differ."""
    if inverse[v] >= 0:
        return False
    new = []
    for s in domain:
        point, image = s ^ x, mapping[s] ^ v
        if colour_of_point[point] != colour_of_image[image]:
            return False
        mapping[point], inverse[image] = image, point
        new.append(point)
    domain.extend(new)
    queue.extend(new)
    return True


# -- Equivalences of (n, m)-functions, as maps of their graphs (the native search) ----------------------

#: The largest n + m the native search takes (both Walsh tables, 2**(n + m) words, are held).
MAX_GRAPH_BITS = 20


def spectra(table: Words, n: int, m: int, kind: str) -> dict[str, Any]:
    """Invariants of ``kind`` ("linear", "affine", "ea" or "ccz") of an (n, m)-function: equal values
    are necessary for the equivalence, so the searches compare them first.

    Every kind: the differential spectrum and the extended Walsh spectrum (CCZ invariants). Up to EA: the
    component degrees (those below 2 counted as 1, which an affine C can change; for affine maps those
    below 1 counted as 0, for linear ones exact) and the multisets of the sorted DDT rows and of the
    sorted |W| columns. Affine and linear: the sorted |W| rows too; linear: F(0) = 0 or not.
    """
    out: dict[str, Any] = {
        "differential_spectrum": _sorted(_native.sbox_measure("differential_spectrum", table, m)),
        "walsh_spectrum": _sorted(_native.sbox_measure("walsh_spectrum_counts", table, m)),
    }
    if kind == "ccz":
        return out
    degrees = _component_degrees(table, n, m)
    # A constant added (affine) makes a zero component constant; an affine C, any component of degree 1.
    floor = {"linear": -1, "affine": 0, "ea": 1}[kind]
    out["degrees"] = _sorted(Counter(np.maximum(degrees, floor).tolist()))
    ddt = np.sort(_native.sbox_table("ddt", table, m)[1:], axis=1)
    walsh = np.sort(np.abs(_native.sbox_table("walsh_table", table, m)), axis=0)
    out["ddt_rows"] = sorted(map(bytes, ddt.astype("<u4")))
    out["walsh_columns"] = sorted(map(bytes, walsh.T[1:].astype("<i4")))
    if kind != "ea":
        out["walsh_rows"] = sorted(map(bytes, np.sort(np.abs(_native.sbox_table("walsh_table", table, m)), axis=1)))
    if kind == "linear":
        out["zero_at_zero"] = int(table[0]) == 0
    return out


# -- CCZ invariants of the graph: the Gamma- and Delta-ranks, the spaces of Walsh zeroes ----------------

#: The largest n + m of the Gamma- and Delta-ranks (a 2**(n + m)-square bit matrix is reduced).
MAX_RANK_BITS = 12

#: How many spaces of Walsh zeroes are listed or counted, by default, before the search stops.
ZERO_SPACE_LIMIT = 10**6


def gamma_rank(table: Words, m: int, progress: Progress = False) -> int:
    """The Gamma-rank of an (n, m)-function F with n + m <= 12 (ValueError beyond, and for n > 6 as
    the registry lists it): the rank over GF(2) of the incidence matrix of the design developed from
    the graph G_F = {(x, F(x))} in F_2^(n+m), M[u][v] = [u ^ v in G_F] for every pair of points u, v
    (Edel and Pott, "A new almost perfect nonlinear function which is not quadratic", Adv. Math.
    Commun. 3(1), 2009; also Kaleyski, "Invariants for EA- and CCZ-equivalence of APN and AB
    functions", Cryptogr. Commun. 13, 2021). An affine permutation taking G_F onto G_G only permutes
    the rows and columns of M, so the rank is a CCZ invariant.

    >>> from vexil_kit import VectorialFunction
    >>> VectorialFunction.power(5, 3).gamma_rank()
    330
    """
    return int(registry.evaluate("vectorial", "gamma_rank", table, m=m, progress=progress))


def delta_rank(table: Words, m: int, progress: Progress = False) -> int:
    """The Delta-rank of an (n, m)-function F, n + m <= 12: the rank of the same incidence matrix for
    the set D_F = {(a, F(x) ^ F(x ^ a)) : a != 0} instead of the graph (Edel and Pott, 2009, as in
    ``gamma_rank``; they use it for APN functions, where each a gives 2**(n-1) points). D_F is the set
    of the sums of two distinct points of G_F, so a CCZ map carries it by its linear part: a CCZ
    invariant for every F, taken here as a set.

    >>> from vexil_kit import VectorialFunction
    >>> VectorialFunction.power(5, 3).delta_rank()
    42
    """
    return int(registry.evaluate("vectorial", "delta_rank", table, m=m, progress=progress))


def _zero_space_limit(limit: int) -> int:
    if isinstance(limit, bool) or not isinstance(limit, int) or limit < 0:
        raise ValueError(f"limit must be a non-negative int, not {limit!r}")
    return limit


def walsh_zero_spaces(
    table: Words, m: int, progress: Progress = False, *, limit: int = ZERO_SPACE_LIMIT
) -> list[list[int]]:
    """The n-dimensional linear spaces inside the Walsh zeroes {(a, b) : W(a, b) = 0} u {(0, 0)}, each as
    its reduced echelon basis of words u = a | b << n (ascending; each vector's highest bit is set in no
    other). The space {(a, 0)} is always one. Their number grows fast with n and is huge for functions
    with many zeroes (affine ones: over 10**6 at n = 5): past ``limit`` spaces the search stops with a
    ValueError naming where it stopped, and a MemoryError comes before a list that cannot fit is made.
    The search answers Ctrl-C.

    >>> from vexil_kit import VectorialFunction
    >>> [0b01, 0b10] in VectorialFunction([0, 1, 3, 2]).walsh_zero_spaces()
    True
    """
    with reporter(progress, "walsh_zero_spaces") as report:
        spaces: list[list[int]] = _native.sbox_walsh_zero_spaces(table, m, _zero_space_limit(limit), progress=report)
    return spaces


def thickness_spectrum(
    table: Words, m: int, progress: Progress = False, *, limit: int = ZERO_SPACE_LIMIT
) -> dict[int, int]:
    """Thickness -> number of the ``walsh_zero_spaces`` with it, the thickness of a space being the rank
    of its projection on the output masks b (Canteaut and Perrin, "On CCZ-equivalence, extended-affine
    equivalence, and function twisting", Finite Fields Appl. 56, 2019; the definition of sboxU). An EA
    invariant: the spaces of thickness 0 (the trivial one, {(a, 0)}) and above tell the EA classes of a
    CCZ class apart. The spaces are counted, not kept; past ``limit`` of them, a ValueError.

    >>> from vexil_kit import VectorialFunction
    >>> VectorialFunction.power(3, 3).thickness_spectrum()
    {0: 1, 1: 7, 2: 14, 3: 8}
    """
    with reporter(progress, "thickness_spectrum") as report:
        counts: dict[int, int] = _native.sbox_thickness_spectrum(table, m, _zero_space_limit(limit), progress=report)
    return counts


def _ranks_differ(f: Words, g: Words, n: int, m: int) -> bool:
    """Whether the Gamma- or the Delta-rank tells f and g apart (n <= 6, n + m <= 12)."""
    return any(_native.sbox_measure(name, f, m) != _native.sbox_measure(name, g, m) for name in _RANKS)


_RANKS = ("gamma_rank", "delta_rank")
#: Seconds of CCZ search before the ranks are compared.
_FIRST_TRY = 0.25


def equivalence(
    kind: str, f: Words, g: Words, n: int, m: int, *, time_limit: float | None = None, progress: Progress = False
) -> tuple[Any, ...] | None:
    """The maps of the equivalence ``kind`` ("linear", "affine", "ea", "ccz") taking the (n, m)-function
    f to g, each checked on every input, or None when a spectrum of ``spectra`` differs or the
    exhaustive search finds none. TimeoutError when the search outlasts ``time_limit`` seconds.

    Matrices are tuples of row ints (bit j of row i is the entry (i, j): bit i of A.x is the parity
    of ``A[i] & x``, see ``apply_matrix``); constants are ints. The answers, for every x:

    - linear: (A, B) with g(x) = B.f(A.x);
    - affine: (A, a, B, b) with g(x) = B.f(A.x ^ a) ^ b;
    - ea: (A, a, B, b, C) with g(x) = B.f(A.x ^ a) ^ C.x ^ b (C an m x n matrix);
    - ccz: (L, c) with {x | g(x) << n} = {L.(x | f(x) << n) ^ c}: L is n + m rows over the bits of
      a point of the graph, the input in its low n bits and the output above them.

    The search (``src/vectorial/equivalence.cpp``) is exact: with M the transpose of the linear part
    of a map of the graphs, |W_g(u)| = |W_f(M.u)| for every u = a | b << n, so M is searched among the
    linear permutations of F_2^(n+m) that keep the Walsh values (and, short of CCZ, the halves of
    F_2^(n+m) an EA or affine map keeps), vector by vector, each candidate checked on all the span it
    adds, the colours first refined by how many vectors of a small class lie at each distance. Each
    complete M is checked on every point of the graph with every translation. Two quadratic APN
    functions are searched through their ortho-derivatives instead (see ``ortho_derivative``). For CCZ
    with n <= 6 and n + m <= 12, a search still running after a quarter of a second first compares the
    Gamma- and Delta-ranks (``gamma_rank``), which tell apart some pairs the spectra do not. A CCZ
    search from a permutation takes turns with the EA search from its inverse (``through_inverse``).
    """
    name = KINDS.get(kind)
    if name is None:
        raise ValueError(f"kind is one of {sorted(KINDS)}, not {kind!r}")
    if n + m > MAX_GRAPH_BITS:
        raise ValueError(f"the equivalence search takes n + m <= {MAX_GRAPH_BITS}, not {n} + {m}")
    seconds = 0.0 if time_limit is None else float(time_limit)
    if time_limit is not None and not seconds > 0:
        raise ValueError(f"time_limit must be a positive number of seconds, not {time_limit!r}")
    if spectra(f, n, m, kind) != spectra(g, n, m, kind):
        return None
    # CCZ and EA coincide for quadratic APN functions (Yoshiara 2012), and EA-equivalent ones have linear
    # equivalent ortho-derivatives (pi_g = B^-T pi_f A), whose spectra must then agree.
    pi_f, pi_g = _ortho_derivative(f, m), _ortho_derivative(g, m)
    if pi_f is not None and pi_g is not None and spectra(pi_f, n, m, "ccz") != spectra(pi_g, n, m, "ccz"):
        return None
    start = time.monotonic()
    if kind == "ccz" and n + m <= MAX_RANK_BITS and n <= MAX_RANK_BITS // 2 and not np.array_equal(f, g):
        # The ranks cost up to a quarter of a second (n + m = 12), more than the search of most equivalent
        # pairs: a short search goes first, and only one that runs past it is refuted by the ranks if it can.
        outcome, rows, c = _native.sbox_equivalence(name, f, m, g, min(seconds or _FIRST_TRY, _FIRST_TRY))
        if outcome != "timed out":
            return None if rows is None or c is None else read_maps(kind, f, g, n, m, rows, c)
        if _ranks_differ(f, g, n, m):
            return None
        if seconds:
            seconds = max(seconds - (time.monotonic() - start), 1e-3)
    if kind == "ea" and spectra(f, n, m, "affine") == spectra(g, n, m, "affine"):
        # An affine map is an EA map with C = 0, and its searches keep more of the structure: a short
        # try first often finds maps the EA search would take longer over (a "none" here decides nothing).
        budget = min(seconds or 2.0, 2.0)
        permutations = n == m <= MAX_EQUIVALENCE_BITS and is_permutation(f) and is_permutation(g)
        found: tuple[Any, ...] | None = None
        if permutations:
            try:
                found = affine_equivalent(f, g, n, progress, time_limit=budget)
            except TimeoutError:
                found = None
        else:
            outcome, rows, c = _native.sbox_equivalence("affine", f, m, g, budget)
            if rows is not None and c is not None:
                found = read_maps("affine", f, g, n, m, rows, c)
        if found is not None:
            A, a, B, b = found
            return A, a, B, b, (0,) * m
        if seconds:
            seconds = max(seconds - (time.monotonic() - start), 1e-3)
    inverse = inverse_table(f) if kind == "ccz" and n == m and is_permutation(f) else None
    deadline = time.monotonic() + seconds if seconds else None
    budget = INVERSE_TRY
    with reporter(progress, f"{kind}_equivalent") as report:
        while True:
            if inverse is not None:
                # Both searches are exact, but only the CCZ one can refute: they take turns, with budgets
                # growing fourfold, so the quicker one answers at most about five times later than alone.
                found = through_inverse(f, inverse, g, n, _within(budget, deadline), report)
                if found is not None:
                    return found
            left = seconds if inverse is None else _within(budget, deadline)
            outcome, rows, c = _native.sbox_equivalence(name, f, m, g, left, progress=report)
            if outcome != "timed out":
                return None if rows is None or c is None else read_maps(kind, f, g, n, m, rows, c)
            if inverse is None or (deadline is not None and time.monotonic() >= deadline):
                raise TimeoutError(f"{kind} equivalence not decided within time_limit = {time_limit} s")
            budget *= 4


def _within(budget: float, deadline: float | None) -> float:
    """``budget`` seconds, or what is left before ``deadline`` when that is less (never 0: no limit)."""
    if deadline is None:
        return budget
    return max(min(budget, deadline - time.monotonic()), 1e-3)


def _ortho_derivative(table: Words, m: int) -> Words | None:
    """The ortho-derivative of a quadratic APN function, None for the others."""
    try:
        pi: Words = _native.sbox_ortho_derivative(table, m)
    except ValueError:
        return None
    return pi
