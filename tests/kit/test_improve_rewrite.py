"""Rewriting in place on an incremental AND-inverter graph: after every rewrite the graph's counts
agree with a recount from scratch, every output keeps its table and the AND count never rises."""

import random

import pytest

from vexil_kit import Circuit
from vexil_kit.circuits import AND_OPS
from vexil_kit.synthesis import aig4, improve_rewrite
from vexil_kit.synthesis.aig_incremental import Aig
from vexil_kit.synthesis.improve_graph import rebuild


def random_aig(n, gates, seed, normal=True):
    """Random AND-type gates reading one of the last few nodes and any other: folded and shared
    with ``normal``, else as drawn (every AND-type op, repeated operands, gates nothing reads)."""
    r = random.Random(seed)
    built = [
        (r.choice(sorted(AND_OPS)), r.randrange(max(0, n + i - 6), n + i), r.randrange(n + i)) for i in range(gates)
    ]
    outputs = [(n + gates - 1 - j, r.random() < 0.5) for j in range(r.randint(1, 4))]
    outputs.append((r.randrange(n + gates), False))
    return rebuild(n, built, outputs, aig=True) if normal else (built, outputs)


def tables(n, net):
    return Circuit(n, net[0], outputs=net[1]).tables().tolist()


def recount(aig):
    """Readers of every live node, hashed ANDs and output references counted from scratch."""
    refs = [0] * len(aig.f0)
    live = [v for v in range(len(aig.f0)) if aig.is_and(v) and not aig.dead[v]]
    for v in live:
        refs[aig.f0[v] >> 1] += 1
        refs[aig.f1[v] >> 1] += 1
        assert aig.strash[(aig.f0[v], aig.f1[v])] == v
        assert aig.f0[v] < aig.f1[v] and not aig.dead[aig.f0[v] >> 1] and not aig.dead[aig.f1[v] >> 1]
        assert aig.fanouts[aig.f0[v] >> 1] >= {v} and aig.fanouts[aig.f1[v] >> 1] >= {v}
    for out in aig.outputs:
        refs[out >> 1] += 1
    assert len(live) == aig.size()
    for v in range(len(aig.f0)):
        if not aig.dead[v]:
            assert refs[v] == aig.refs[v]
            assert not aig.is_and(v) or refs[v] > 0  # nothing unread is kept


AIGS = [(4 + seed % 9, 15 + 6 * seed, seed, seed % 4 != 3) for seed in range(24)]


@pytest.mark.parametrize("n, gates, seed, normal", AIGS)
@pytest.mark.parametrize("zero_gain", [False, True])
def test_each_rewrite_keeps_the_counts_the_outputs_and_never_grows(n, gates, seed, normal, zero_gain):
    net = random_aig(n, gates, seed, normal)
    before = tables(n, net)
    aig = Aig(n, *net)
    recount(aig)
    assert tables(n, aig.net()) == before
    rewriter = improve_rewrite._Rewriter(aig, zero_gain)
    size = aig.size()
    for v in range(n + 1, len(aig.f0)):
        if aig.dead[v] or aig.refs[v] == 0:
            continue
        rewriter.consider(v)
        recount(aig)
        assert aig.size() <= size
        size = aig.size()
        result = aig.net()
        assert len(result[0]) == size
        assert tables(n, result) == before


@pytest.mark.parametrize("n, gates, seed, normal", AIGS[::3])
def test_the_rewriting_stage_keeps_the_outputs_and_shrinks_or_declines(n, gates, seed, normal):
    net = random_aig(n, gates, seed, normal)
    step = improve_rewrite.rewrite(n, net, None)
    if step is not None:
        assert len(step[0][0]) < len(net[0])
        assert tables(n, step[0]) == tables(n, net)


def run_program(program, k):
    """The table of a program of ANDs over k leaves, row by row."""
    steps, out = program
    full = (1 << (1 << k)) - 1
    values = [sum(1 << x for x in range(1 << k) if x >> j & 1) for j in range(k)]

    def value(lit):
        return (0 if lit[0] is None else values[lit[0]]) ^ (full if lit[1] else 0)

    for x, y in steps:
        values.append(value(x) & value(y))
    return value(out)


@pytest.mark.parametrize("seed", range(40))
def test_every_renamed_optimum_computes_its_table_in_the_proven_size(seed):
    r = random.Random(seed)
    k = 2 + seed % 3
    table = r.getrandbits(1 << k)
    spread = sum(1 << x for x in range(16) if table >> (x & ((1 << k) - 1)) & 1)
    proven = aig4.lookup([bool(spread >> x & 1) for x in range(16)])
    found = improve_rewrite._optima(table, k)
    assert found and len({tuple(map(frozenset, steps)) for steps, _ in found}) == len(found)
    for program in found:
        assert run_program(program, k) == table
        assert len(program[0]) == len(proven[0])


@pytest.mark.parametrize("n, gates, seed, normal", AIGS[::2])
def test_factored_forms_joined_by_shared_pairs_compute_the_cut_tables(n, gates, seed, normal):
    aig = Aig(n, *random_aig(n, gates, seed, normal))
    rewriter = improve_rewrite._Rewriter(aig, True)
    for root in range(n + 1, len(aig.f0)):
        if aig.dead[root]:
            continue
        for leaves in rewriter.cuts(root):
            table = rewriter.table(root, leaves)
            if table is None:  # a cone too large to take
                continue
            k = len(leaves)
            table &= (1 << (1 << k)) - 1
            freed = rewriter.cone(root, leaves)
            for expr, negated in improve_rewrite._forms(table, k):
                found = rewriter.associate(expr, negated, root, leaves, freed, 99)
                if found is not None:
                    assert run_program(found[0], k) == table
                    assert found[1] <= len(found[0][0])


def test_a_replacement_whose_readers_repeat_ands_merges_them_up_the_graph():
    # S' = ((a & b) & c) & e, and S = ((a & m) & c) & e with m = b & (a | b), so that a & m is a & b:
    # once a & m reads as a & b, the ANDs above it repeat those of S' and merge into them.
    n = 4
    a, b, c, e = 2, 4, 6, 8
    aig = Aig(n, [], [])
    first = aig.conjoin(aig.conjoin(aig.conjoin(a, b), c), e)
    x = aig.conjoin(a, aig.conjoin(b, aig.conjoin(a ^ 1, b ^ 1) ^ 1))
    second = aig.conjoin(aig.conjoin(x, c), e)
    aig.outputs += [first, second]
    aig.refs[first >> 1] += 1
    aig.refs[second >> 1] += 1
    recount(aig)
    before = tables(n, aig.net())
    assert aig.size() == 8
    aig.replace(x >> 1, aig.conjoin(a, b))
    recount(aig)
    assert aig.size() == 3 and aig.outputs[0] == aig.outputs[1]
    assert tables(n, aig.net()) == before
