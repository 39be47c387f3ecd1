"""Two-level forms and decision trees against brute-force definitions: every ISOP is an irredundant
cover by primes, the prime implicants and minimum covers are those found by enumeration, every tree
computes f at the optimal depth, the least tree size is that of the plain recursion."""

import functools
import itertools
import os
import sys

import numpy as np
import pytest
from children import interrupt_call, run_limited
from reference import decision_tree_depth

from vexil_kit import BooleanFunction, _native, two_level
from vexil_kit.decision_trees import DecisionTree
from vexil_kit.two_level import Cube

SMALL = [BooleanFunction.from_int(v, n) for n in range(4) for v in range(1 << (1 << n))]
RANDOM = [BooleanFunction.random(n, seed=s) for n in range(4, 9) for s in range(3)]
FAMILIES = [
    BooleanFunction.majority(5),
    BooleanFunction.xor(6),
    BooleanFunction.tribes(2, 3),
    BooleanFunction.address(2),
    BooleanFunction.threshold(7, 2),
]


def cube_table(cube: Cube, n: int) -> np.ndarray:
    xs = np.arange(1 << n)
    return (xs & cube.mask) == cube.values


def cover(cubes, n: int) -> np.ndarray:
    table = np.zeros(1 << n, dtype=bool)
    for c in cubes:
        table |= cube_table(c, n)
    return table


def brute_primes(upper: np.ndarray, n: int) -> set[Cube]:
    """Every cube inside upper from which no literal can be dropped, by enumeration of all 3**n cubes."""
    cubes = []
    for digits in itertools.product((0, 1, 2), repeat=n):
        mask = sum(1 << v for v, d in enumerate(digits) if d != 2)
        values = sum(1 << v for v, d in enumerate(digits) if d == 1)
        cubes.append(Cube(mask, values))
    implicants = {c for c in cubes if upper[cube_table(c, n)].all()}
    return {
        c
        for c in implicants
        if not any(Cube(c.mask & ~(1 << v), c.values & ~(1 << v)) in implicants for v in c.variables())
    }


def with_dont_cares(f, seed):
    """f with a sparse random don't-care set (None for seed None)."""
    if seed is None:
        return None
    rng = np.random.default_rng(seed)
    return BooleanFunction(rng.random(len(f)) < 0.2)


def ids(f):
    return f"n{f.n}:{f.to_hex()[:12]}"


@pytest.mark.parametrize("dc_seed", [None, 7])
@pytest.mark.parametrize("f", SMALL[::5] + RANDOM + FAMILIES + [BooleanFunction.random(10, seed=4)], ids=ids)
def test_isop_is_an_irredundant_cover_by_primes(f, dc_seed):
    g = with_dont_cares(f, dc_seed)
    table = np.asarray(f)
    dc = np.zeros_like(table) if g is None else np.asarray(g)
    lower, upper = table & ~dc, table | dc
    cubes = f.isop(dont_care=g)
    covered = cover(cubes, f.n)
    assert (covered >= lower).all() and (covered <= upper).all()
    for k, c in enumerate(cubes):
        assert not (cover(cubes[:k] + cubes[k + 1 :], f.n) >= lower).all(), f"{c} can be dropped"
        for v in c.variables():
            wider = Cube(c.mask & ~(1 << v), c.values & ~(1 << v))
            assert not upper[cube_table(wider, f.n)].all(), f"{c} is not prime"


@pytest.mark.parametrize("dc_seed", [None, 3])
@pytest.mark.parametrize("f", SMALL + RANDOM[:9], ids=ids)
def test_prime_implicants_are_those_of_the_enumeration(f, dc_seed):
    g = with_dont_cares(f, dc_seed)
    upper = np.asarray(f) if g is None else np.asarray(f | g)
    primes = f.prime_implicants(dont_care=g)
    assert len(primes) == len(set(primes))
    assert set(primes) == brute_primes(upper, f.n)


def brute_minimum(primes, lower, n):
    """The least (terms, literals) of a cover of lower by primes, over every subset."""
    for size in range(len(primes) + 1):
        best = [
            sum(c.literals for c in chosen)
            for chosen in itertools.combinations(primes, size)
            if (cover(chosen, n) >= lower).all()
        ]
        if best:
            return size, min(best)
    raise AssertionError("the primes do not cover f")


@pytest.mark.parametrize("dc_seed", [None, 11])
@pytest.mark.parametrize("f", SMALL[::3] + RANDOM[:3], ids=ids)
def test_minimum_sop_is_the_least_cover(f, dc_seed):
    g = with_dont_cares(f, dc_seed)
    lower = np.asarray(f) if g is None else np.asarray(f & ~g)
    chosen = f.minimum_sop(dont_care=g)
    primes = f.prime_implicants(dont_care=g)
    assert set(chosen) <= set(primes)
    assert (cover(chosen, f.n) >= lower).all()
    assert (len(chosen), sum(c.literals for c in chosen)) == brute_minimum(primes, lower, f.n)


@pytest.mark.parametrize("f", RANDOM + FAMILIES[:4], ids=ids)
def test_minimum_sop_never_has_more_terms_than_the_isop(f):
    chosen = f.minimum_sop()
    assert cover(chosen, f.n).tolist() == np.asarray(f).tolist()
    assert len(chosen) <= len(f.isop())


@pytest.mark.parametrize("minimum", [False, True])
@pytest.mark.parametrize("f", SMALL[::7] + RANDOM[::2] + FAMILIES, ids=ids)
def test_sop_and_pos_read_back(f, minimum):
    if minimum and f.n > 10:
        pytest.skip("minimum_sop takes at most 10 variables")
    assert BooleanFunction.from_expression(f.to_sop(minimum=minimum), n=f.n) == f
    assert BooleanFunction.from_expression(f.to_pos(minimum=minimum), n=f.n) == f


TREES = SMALL[::4] + RANDOM + FAMILIES + [BooleanFunction.random(12, seed=5), BooleanFunction.address(3)]


@pytest.mark.parametrize("f", TREES, ids=ids)
def test_decision_tree_computes_f_at_the_least_depth(f):
    tree = f.decision_tree()
    assert [tree.evaluate(x) for x in range(len(f))] == list(f)
    depth = decision_tree_depth(f) if f.n <= 6 else f.decision_tree_depth()
    assert tree.depth == depth
    table, xs = np.asarray(f), np.arange(len(f))
    essential = {v for v in range(f.n) if (table != table[xs ^ (1 << v)]).any()}
    assert {c for c in tree.codes if c < 64} <= essential
    assert DecisionTree.from_json(tree.to_json()) == tree
    assert tree.to_dot().count("shape=box") == tree.size
    if f.n <= 10:
        assert tree.size >= f.decision_tree_size()


@functools.cache
def least_leaves(table: bytes) -> int:
    """The least number of leaves over every first query, recursively."""
    if len(set(table)) <= 1:
        return 1
    n = (len(table) - 1).bit_length()
    halves = [
        (
            bytes(table[x] for x in range(len(table)) if not (x >> v) & 1),
            bytes(table[x] for x in range(len(table)) if (x >> v) & 1),
        )
        for v in range(n)
    ]
    return min(least_leaves(zero) + least_leaves(one) for zero, one in halves)


@pytest.mark.parametrize("f", SMALL + RANDOM[:6] + FAMILIES[:3], ids=ids)
def test_decision_tree_size_is_the_least_number_of_leaves(f):
    leaves = least_leaves(np.asarray(f).astype(np.uint8).tobytes())
    assert f.decision_tree_size() == leaves
    assert _native.measure("decision_tree_size", np.asarray(f)) == leaves  # the registry's evaluator, for sweeps


@pytest.mark.parametrize(
    "call, n",
    [
        (lambda f: f.prime_implicants(), 15),
        (lambda f: f.minimum_sop(), 11),
        (lambda f: f.decision_tree_size(), 11),
    ],
)
def test_the_exponential_forms_refuse_past_their_limits(call, n):
    call(BooleanFunction.random(n - 1, seed=1))
    with pytest.raises(ValueError, match=f"at most {n - 1} variables"):
        call(BooleanFunction.random(n, seed=1))


@pytest.mark.parametrize(
    "text",
    [
        '{"n": 2}',
        '{"n": 2, "tree": {"var": 5, "0": {"value": 0}, "1": {"value": 1}}}',
        '{"n": 2, "tree": {"var": 0, "0": {"value": 1}}}',
        "[",
        '{"n": 1, "tree": 3}',
    ],
)
def test_from_json_refuses_what_is_no_tree(text):
    with pytest.raises(ValueError):
        DecisionTree.from_json(text)


@pytest.mark.parametrize("seed", range(12))
def test_the_reduced_set_cover_is_the_cheapest(seed):
    # Random instances; the reductions leave a cyclic core for HiGHS in most of them.
    rng = np.random.default_rng(seed)
    covers = rng.random((11, 9)) < 0.3
    covers[rng.integers(0, 11, 9), np.arange(9)] = True
    costs = rng.integers(1, 4, 11).astype(float)
    chosen = two_level._reduced_cover(covers, costs)
    assert covers[chosen].any(axis=0).all()
    best = min(
        costs[list(s)].sum()
        for k in range(12)
        for s in itertools.combinations(range(11), k)
        if covers[list(s)].any(axis=0).all()
    )
    assert costs[chosen].sum() == best


CTRL_C = {
    # A random set cover that HiGHS takes minutes over: Ctrl-C reaches the solver thread.
    "set cover": """
        import numpy as np
        from vexil_kit import two_level, BooleanFunction
        rng = np.random.default_rng(0)
        covers = rng.random((400, 120)) < 0.06
        covers[np.arange(400) % 400, np.arange(400) % 120] = True
        def work(): two_level._set_cover(covers, np.ones(400))
        def after(): return len(BooleanFunction.majority(3).minimum_sop())
        """,
    # 3**18 subcubes and then the tree read from them.
    "decision tree": """
        from vexil_kit import BooleanFunction
        f = BooleanFunction.tribes(3, 6)
        def work(): f.decision_tree()
        def after(): return len(BooleanFunction.majority(3).minimum_sop())
        """,
}


@pytest.mark.parametrize("setup", CTRL_C.values(), ids=CTRL_C.keys())
def test_ctrl_c_stops_promptly(setup):
    stopped = interrupt_call(setup, delay=0.5)
    assert stopped.interrupted, (stopped.lines, stopped.err)
    assert stopped.lines[1:] == ["3"]
    # Under the sanitizers, releasing the gigabytes of subcubes takes seconds of its own.
    assert stopped.latency < (10.0 if os.environ.get("VEXIL_SANITIZED") == "1" else 1.0)


@pytest.mark.parametrize(
    "call, error",
    [
        (lambda: BooleanFunction.xor(3).isop(dont_care=BooleanFunction.xor(4)), ValueError),
        (lambda: BooleanFunction.xor(3).minimum_sop(dont_care=np.zeros(8, dtype=bool)), TypeError),
        (lambda: DecisionTree(2, (0, 64)), ValueError),
        (lambda: DecisionTree(2, (64, 65)), ValueError),
    ],
)
def test_bad_arguments_are_refused(call, error):
    with pytest.raises(error):
        call()


@pytest.mark.skipif(not sys.platform.startswith("linux"), reason="Linux limits")
def test_a_list_of_cubes_past_memory_is_refused():
    # Parity of 24 variables has 2**23 cubes, about 1.5 GB as Python objects: refused in 256 MiB.
    outcomes = run_limited(
        """
        from vexil_kit import BooleanFunction
        f = BooleanFunction.xor(24)
        calls = {"isop": f.isop, "to_sop": f.to_sop, "small": lambda: BooleanFunction.xor(12).isop()}
        def after(): return len(BooleanFunction.xor(4).isop())
        """,
        256,
    )
    assert outcomes["isop"][0] == outcomes["to_sop"][0] == "MemoryError", outcomes
    assert outcomes["small"][0] == "ok" and outcomes["after"] == ["ok", "8"]
