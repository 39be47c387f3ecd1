"""Linear, affine, EA and CCZ equivalence of (n, m)-functions: the maps found satisfy their relation
on every input, and whether maps exist agrees with a brute force over every affine permutation of
F_2^(n+m) for n + m <= 4."""

import functools
import itertools
import random
import time

import numpy as np
import pytest
from children import interrupt_call
from reference import random_invertible_rows
from reference import rank_gf2 as rank

from vexil_kit import VectorialFunction, sbox_equivalence, sboxes
from vexil_kit.sboxes import apply_matrix

KINDS = ["linear", "affine", "ea", "ccz"]


@functools.cache
def invertible_matrices(bits):
    return np.array([rows for rows in itertools.product(range(1 << bits), repeat=bits) if rank(rows) == bits])


def brute_equivalent(kind, f, g):
    """Whether some affine permutation L.p ^ c of the kind's shape takes the graph of f onto that of g."""
    n, m = f.n, max(f.m, g.m)
    bits = n + m
    rows = invertible_matrices(bits)
    low = (1 << n) - 1
    if kind != "ccz":  # EA: the output half stays (no row of the input part reads an output bit)
        rows = rows[np.all(rows[:, :n] >> n == 0, axis=1)]
    if kind in ("affine", "linear"):  # and the input part never reaches the output part
        rows = rows[np.all(rows[:, n:] & low == 0, axis=1)]
    points = np.array([x | int(f(x)) << n for x in range(1 << n)])
    images = np.zeros((len(rows), len(points)), dtype=np.int64)
    for i in range(bits):
        parity = np.array([[(int(r) & int(p)).bit_count() & 1 for p in points] for r in rows[:, i]])
        images |= parity << i
    target = sum(1 << (x | int(g(x)) << n) for x in range(1 << n))
    for c in [0] if kind == "linear" else range(1 << bits):
        masks = np.bitwise_or.reduce(np.left_shift(1, images ^ c), axis=1)
        if np.any(masks == target):
            return True
    return False


def satisfies(kind, f, g, maps):
    """The relation the maps of ``kind`` promise, checked on every input."""
    n, m = f.n, max(f.m, g.m)
    if kind == "ccz":
        L, c = maps
        image = {apply_matrix(L, x | f(x) << n) ^ c for x in range(1 << n)}
        return len(L) == n + m and image == {x | g(x) << n for x in range(1 << n)}
    if kind == "linear":
        (A, B), a, b, C = maps, 0, 0, [0] * m
    elif kind == "affine":
        (A, a, B, b), C = maps, [0] * m
    else:
        A, a, B, b, C = maps
    assert len(A) == n and len(B) == m and len(C) == m
    assert rank(A) == n and rank(B) == m
    return all(g(x) == apply_matrix(B, f(apply_matrix(A, x) ^ a)) ^ apply_matrix(C, x) ^ b for x in range(1 << n))


def transform(kind, f, rng):
    """A random function of f's class under ``kind`` (for ccz, an EA transform or the inverse)."""
    n, m = f.n, f.m

    if kind == "ccz" and f.is_permutation() and rng.random() < 0.5:
        return f.inverse()
    A, B = random_invertible_rows(n, rng), random_invertible_rows(m, rng)
    a, b = (0, 0) if kind == "linear" else (rng.randrange(1 << n), rng.randrange(1 << m))
    C = [rng.randrange(1 << n) for _ in range(m)] if kind in ("ea", "ccz") else [0] * m
    table = [apply_matrix(B, f(apply_matrix(A, x) ^ a)) ^ apply_matrix(C, x) ^ b for x in range(1 << n)]
    return VectorialFunction(table, m)


def short(value):
    return f"n{value.n}m{value.m}" if isinstance(value, VectorialFunction) else str(value)


def search(kind, f, g, **options):
    return sbox_equivalence.equivalence(kind, f.table, g.table, f.n, max(f.m, g.m), **options)


SHAPES = [(1, 1), (2, 1), (1, 2), (2, 2), (3, 1), (1, 3)]
PAIRS = []
for seed, (n, m) in enumerate(SHAPES * 3):
    rng = random.Random(seed)
    f = VectorialFunction.random(n, m, seed=seed)
    PAIRS.append((f, transform(rng.choice(KINDS), f, rng)))
    PAIRS.append((f, VectorialFunction.random(n, m, seed=seed + 100)))
PAIRS.append((VectorialFunction([0, 1, 3, 2]), VectorialFunction([0, 1, 2, 3])))
PAIRS.append((VectorialFunction([0, 0, 0, 1]), VectorialFunction([0, 1, 1, 1], 1)))


@pytest.mark.parametrize(("f", "g"), PAIRS, ids=short)
@pytest.mark.parametrize("kind", KINDS)
def test_maps_exist_exactly_when_the_brute_force_finds_some(kind, f, g):
    found = search(kind, f, g)
    assert (found is not None) == brute_equivalent(kind, f, g)
    if found is not None:
        assert satisfies(kind, f, g, found)


LARGER = [
    VectorialFunction.random(5, 5, seed=1),
    VectorialFunction.random(6, 4, seed=2),
    VectorialFunction.random_permutation(6, seed=3),
    VectorialFunction.power(6, 3),
    VectorialFunction.power(7, 3),
    VectorialFunction.named("PRESENT"),
    VectorialFunction.named("AES"),
]


@pytest.mark.parametrize("f", LARGER, ids=short)
@pytest.mark.parametrize("kind", KINDS)
def test_a_transformed_function_is_found_with_maps_that_hold(kind, f):
    g = transform(kind, f, random.Random(f.n * 31 + len(kind)))
    found = search(kind, f, g, time_limit=60)
    assert found is not None and satisfies(kind, f, g, found)
    # The method answers alike, through the permutations' own path for affine maps of permutations.
    method = getattr(f, f"{kind}_equivalent")(g)
    assert method is not None and satisfies(kind, f, g, method)


@pytest.mark.parametrize(
    ("kind", "f", "g"),
    [
        # Gold functions x**3 and x**5 over GF(2**5) and GF(2**7): CCZ-inequivalent.
        ("ccz", VectorialFunction.power(5, 3), VectorialFunction.power(5, 5)),
        ("ea", VectorialFunction.power(7, 3), VectorialFunction.power(7, 5)),
        ("affine", VectorialFunction.power(6, 3), VectorialFunction.power(6, 3) ^ VectorialFunction.power(6, 1)),
        # CCZ-equivalent to x**3, but not EA-equivalent: x**3 is quadratic, its inverse is not.
        ("ea", VectorialFunction.power(5, 3), VectorialFunction.power(5, 3).inverse()),
        # Equal spectra are not enough: AES and a random 8-bit permutation differ there already.
        ("affine", VectorialFunction.named("AES"), VectorialFunction.random_permutation(8, seed=1)),
        # A function and its image under an affine map, not linear: F(0) != 0 while G(0) = 0.
        ("linear", VectorialFunction.power(4, 7) ^ VectorialFunction.power(4, 0), VectorialFunction.power(4, 7)),
    ],
    ids=short,
)
def test_known_inequivalent_pairs_are_refuted(kind, f, g):
    assert search(kind, f, g, time_limit=60) is None


def test_the_inverse_of_x3_is_ccz_equivalent_to_it():
    f = VectorialFunction.power(5, 3)
    found = f.ccz_equivalent(f.inverse())
    assert found is not None and satisfies("ccz", f, f.inverse(), found)


def test_an_ea_image_of_the_inverse_is_found_ccz_equivalent():
    # x**5 over GF(2**7) has Walsh values 0 and 16 only, which starve the CCZ search's colours; the EA
    # search between the inverse and g keeps the two halves apart and settles it.
    f = VectorialFunction.power(7, 5)
    g = transform("ea", f.inverse(), random.Random(5))
    found = f.ccz_equivalent(g, time_limit=120)
    assert found is not None and satisfies("ccz", f, g, found)


@pytest.mark.parametrize("path", ["permutations", "native"])
def test_a_search_past_its_time_limit_raises_instead_of_answering(path):
    # x**13 and x**88 = its inverse over GF(2**7): almost bent permutations whose Walsh values are all
    # 0 or 16, which the search over the Walsh side takes long to settle (the permutations' own search
    # refutes them in well under a second).
    f, g = VectorialFunction.power(7, 13), VectorialFunction.power(7, 88)
    start = time.monotonic()
    with pytest.raises(TimeoutError, match="time_limit"):
        if path == "permutations":  # a search of well under a second: a limit it cannot meet
            f.affine_equivalent(g, time_limit=1e-3)
        else:
            search("affine", f, g, time_limit=0.3)
    assert time.monotonic() - start < 10


def test_the_arguments_are_checked():
    f = VectorialFunction.power(4, 3)
    with pytest.raises(TypeError):
        f.ea_equivalent(f.table)
    with pytest.raises(ValueError, match="one n"):
        f.ccz_equivalent(VectorialFunction.power(5, 3))
    with pytest.raises(ValueError, match="n \\+ m"):
        VectorialFunction.random(11, 11, seed=0).ea_equivalent(VectorialFunction.random(11, 11, seed=1))
    with pytest.raises(ValueError, match="time_limit"):
        f.ccz_equivalent(f, time_limit=0)
    with pytest.raises(ValueError, match="kind"):
        sbox_equivalence.equivalence("cc", f.table, f.table, 4, 4)


def test_the_native_search_answers_ctrl_c():
    stopped = interrupt_call(
        """
        from vexil_kit import VectorialFunction, sbox_equivalence
        f, g = VectorialFunction.power(7, 13), VectorialFunction.power(7, 88)
        def work():
            sbox_equivalence.equivalence("affine", f.table, g.table, 7, 7)
        def after(): return f.ccz_equivalent(f) is not None
        """,
        delay=1.0,
    )
    assert stopped.interrupted, (stopped.lines, stopped.err)
    assert stopped.lines[1:] == ["True"], (stopped.lines, stopped.err)
    assert stopped.latency < 1.0, stopped.latency


def linear_image(f, seed):
    """B.f(A.x) for random invertible A, B."""
    n, rng = len(f).bit_length() - 1, random.Random(seed)
    A, B = random_invertible_rows(n, rng), random_invertible_rows(n, rng)
    return tuple(apply_matrix(B, f[apply_matrix(A, x)]) for x in range(1 << n))


POINT_CASES = [
    sboxes.power_map(5, 3),
    sboxes.inverse_map(6),
    sboxes.named("PRESENT")[2],
    tuple(random.Random(4).sample(range(64), 64)),
    sboxes.power_map(7, 13),
]


@pytest.mark.parametrize("f", POINT_CASES, ids=["gold5", "inverse6", "present", "random6", "kasami7"])
@pytest.mark.parametrize("image", ["itself", "linear image"])
def test_the_native_point_search_finds_what_the_python_search_finds(f, image):
    # The permutations' affine search keeps its answers: its native core follows the Python order.
    g = f if image == "itself" else linear_image(f, len(f))
    n = len(f).bit_length() - 1
    f_array, g_array = np.array(f, dtype=np.int64), np.array(g, dtype=np.int64)
    ddt_f, ddt_g = sbox_equivalence._ddt(f_array, n), sbox_equivalence._ddt(g_array, n)
    squares = sbox_equivalence._square_counts(f_array, ddt_f), sbox_equivalence._square_counts(g_array, ddt_g)
    inverse = sbox_equivalence._inverse
    outs = (
        sbox_equivalence._square_counts(inverse(f_array), ddt_f.T),
        sbox_equivalence._square_counts(inverse(g_array), ddt_g.T),
    )
    lines_in = sbox_equivalence._line_colours(ddt_f, ddt_g, by_columns=False)
    lines_out = sbox_equivalence._line_colours(ddt_f, ddt_g, by_columns=True)
    colour_in = sbox_equivalence._colours(squares[0][0], squares[1][0], lines_in)
    colour_out = sbox_equivalence._colours(outs[0][0], outs[1][0], lines_out)
    assert colour_in is not None and colour_out is not None
    search = sbox_equivalence._Search(list(f), list(g), colour_in, colour_out, squares)
    assert search.run() == search.python_run()
    assert search.maps_of_the_first_guess() == python_first_guesses(search)


def python_first_guesses(search):
    state = search._start()
    if state is None or not search._propagate(state):
        return []
    if len(state.a_domain) == len(search.f):
        return [state.a]
    x, candidates = search._candidates(state)
    maps = []
    for v in candidates:
        branch = state.copy()
        if search._extend_a(branch, x, v):
            found = search._solve(branch)
            if found is not None:
                maps.append(found[0])
    return maps


@pytest.mark.parametrize("kind", KINDS[1:])
def test_a_search_reports_its_progress(kind):
    calls = []
    f = VectorialFunction.named("AES")
    assert getattr(f, f"{kind}_equivalent")(VectorialFunction.inverse_map(8), progress=lambda *c: calls.append(c))
    assert calls and all(0 <= done <= total for done, total in calls)
