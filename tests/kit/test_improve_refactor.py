"""Refactoring, factored forms and balancing of AND-inverter graphs: every result computes the tables
it stands for (row by row, from the definition of an AND), and the graphs never grow."""

import random

import pytest

from vexil_kit import Circuit
from vexil_kit.circuits import AND_OPS
from vexil_kit.synthesis import factoring, improve_balance, improve_refactor
from vexil_kit.synthesis.improve_graph import Window, depth, levels, rebuild


def run_program(program, k):
    """The table (an int of 2**k bits) of a program, each step an AND of two literals."""
    steps, out = program
    full = (1 << (1 << k)) - 1
    values = [sum(1 << x for x in range(1 << k) if x >> j & 1) for j in range(k)]

    def value(literal):
        index, negated = literal
        v = 0 if index is None else values[index]
        return v ^ (full if negated else 0)

    for x, y in steps:
        values.append(value(x) & value(y))
    return value(out)


def cover_table(cubes, k):
    return sum(
        1 << x for x in range(1 << k) if any(all((x >> (lit >> 1) & 1) != (lit & 1) for lit in cube) for cube in cubes)
    )


FUNCTIONS = [(k, seed) for k in range(1, 9) for seed in range(12)]


def random_table(k, seed):
    r = random.Random(seed * 31 + k)
    # Sparse, dense and balanced tables, so that covers have few and many cubes.
    density = (0.1, 0.5, 0.9)[seed % 3]
    return sum(1 << x for x in range(1 << k) if r.random() < density)


@pytest.mark.parametrize("k, seed", FUNCTIONS)
def test_factored_forms_compute_the_table_with_and_gates_only(k, seed):
    table = random_table(k, seed)
    full = (1 << (1 << k)) - 1
    assert cover_table(factoring.cover(table, k), k) == table
    for expr, negated in factoring.forms(table, k):
        program = improve_refactor.expression_program(expr, k)
        assert run_program(program, k) ^ (full if negated else 0) == table
        assert len(program[0]) == factoring.expression_ands(expr)


@pytest.mark.parametrize("seed", range(40))
def test_weak_division_splits_a_cover_into_quotient_times_divisor_plus_remainder(seed):
    r = random.Random(seed)
    lits = list(range(12))
    cubes = list({frozenset(r.sample(lits, r.randint(1, 4))) for _ in range(r.randint(2, 9))})
    divisor = list({frozenset(r.sample(lits, r.randint(1, 2))) for _ in range(r.randint(1, 3))})
    quotient, remainder = factoring.divide(cubes, divisor)
    products = {q | d for q in quotient for d in divisor}
    assert all(q.isdisjoint(d) or q | d in cubes for q in quotient for d in divisor)
    assert products | set(remainder) == set(cubes)
    assert products.isdisjoint(remainder)


@pytest.mark.parametrize("k, seed", [(k, s) for k in range(1, 8) for s in range(12)])
def test_every_replacement_program_computes_its_table(k, seed):
    table = random_table(k, seed)
    for program in improve_refactor._programs(table, k):
        assert run_program(program, k) == table


def random_aig(n, gates, seed, normal=True):
    """An AIG of random AND-type gates, each reading one of the last few nodes and any other; with
    ``normal`` folded and shared (ANDs and ORs only), else as drawn (every AND-type op, repeats)."""
    r = random.Random(seed)
    built = []
    for i in range(gates):
        built.append((r.choice(sorted(AND_OPS)), r.randrange(max(0, n + i - 6), n + i), r.randrange(n + i)))
    outputs = [(n + gates - 1 - j, r.random() < 0.5) for j in range(r.randint(1, 4))]
    return rebuild(n, built, outputs, aig=True) if normal else (built, outputs)


def tables(n, net):
    return Circuit(n, net[0], outputs=net[1]).tables().tolist()


AIGS = [(4 + seed % 9, 20 + 7 * seed, seed, seed % 4 != 3) for seed in range(24)]


@pytest.mark.parametrize("n, gates, seed, normal", AIGS)
@pytest.mark.parametrize("zero_gain", [False, True])
def test_refactoring_keeps_the_outputs_and_never_grows(n, gates, seed, normal, zero_gain):
    net = random_aig(n, gates, seed, normal)
    before = tables(n, net)
    for _ in range(4):
        step = improve_refactor.refactor(n, net, None, max_leaves=4 + seed % 7, zero_gain=zero_gain)
        if step is None:
            break
        assert len(step[0][0]) <= len(net[0]) and (zero_gain or len(step[0][0]) < len(net[0]))
        assert tables(n, step[0]) == before
        net = step[0]


@pytest.mark.parametrize("n, gates, seed, normal", AIGS)
def test_balancing_keeps_the_outputs_and_lowers_size_depth_or_levels(n, gates, seed, normal):
    net = random_aig(n, gates, seed, normal)
    step = improve_balance.balance(n, net, None)
    if step is not None:
        new, old = step[0], net
        assert tables(n, new) == tables(n, old)
        assert (len(new[0]), depth(n, *new), sum(levels(n, new[0]))) < (
            len(old[0]),
            depth(n, *old),
            sum(levels(n, old[0])),
        )
        assert len(new[0]) <= len(old[0])


def chain(n):
    """x0 & x1 & ... as a chain, x0 | x1 | ... as another, and their AND: three chains to balance."""
    gates = [(8, 0, 1)] + [(8, n + i, i + 2) for i in range(n - 2)]
    gates += [(14, 0, 1)] + [(14, 2 * n - 1 + i, i + 2) for i in range(n - 2)]
    gates.append((8, 2 * n - 2, 3 * n - 3))
    return rebuild(n, gates, [(len(gates) + n - 1, False)], aig=True)


@pytest.mark.parametrize("n", [4, 7, 16])
def test_balanced_chains_reach_the_logarithmic_depth(n):
    net = chain(n)
    step = improve_balance.balance(n, net, None)
    assert step is not None
    assert tables(n, step[0]) == tables(n, net)
    # Both trees of n leaves in ceil(log2 n) levels, and their AND one more.
    assert depth(n, *step[0]) == (n - 1).bit_length() + 1


@pytest.mark.parametrize("n, gates, seed, normal", AIGS[:12])
@pytest.mark.parametrize("limit", [3, 6, 10])
def test_reconvergent_cuts_are_cuts_within_the_limit(n, gates, seed, normal, limit):
    net = random_aig(n, gates, seed, normal)
    level = [0] * n
    for _, a, b in net[0]:
        level.append(max(level[a], level[b]) + 1)
    for root in range(n, n + len(net[0])):
        leaves = improve_refactor.reconvergent_cut(n, net[0], root, limit, level)
        assert 1 <= len(leaves) <= max(limit, 2)
        Window(n, net[0], root, leaves)  # raises when some path from an input misses the leaves


def test_improve_refactors_a_sum_of_products_of_many_inputs():
    # An OR of ANDs of 26 inputs whose cubes share a common literal pair: beyond every four-leaf
    # window, beyond the tables of whole circuits (16 inputs) and checked by SAT (over 24).
    n, pairs = 26, 12
    gates = []

    def and_(a, b):
        gates.append((8, a, b))
        return n + len(gates) - 1

    terms = [and_(and_(0, 1), and_(2 + 2 * j, 3 + 2 * j)) for j in range(pairs)]
    out = terms[0]
    for term in terms[1:]:
        gates.append((14, out, term))
        out = n + len(gates) - 1
    circuit = Circuit(n, gates, outputs=[(out, False)])
    better, summary = circuit.improve("AIG", time_limit=30)
    assert summary.verified == "SAT"
    # Its factored form (x0 & x1) & OR of the pairs: one AND for x0 & x1, one a pair, the ORs
    # between them and the AND of the two.
    assert better.size <= 1 + pairs + (pairs - 1) + 1
