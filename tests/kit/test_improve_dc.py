"""Don't-cares of windows: the smallest completion against every completion's proven optimum, and the
rows where a node is observable against flipping it in a simulation of the whole circuit."""

import random

import numpy as np
import pytest

from vexil_kit.circuits import AND_OPS
from vexil_kit.synthesis import aig4, improve_dc, improve_resub


def optimum(table):
    return len(aig4.lookup(np.array([table >> x & 1 for x in range(16)], dtype=np.bool_))[0])


@pytest.mark.parametrize("seed", range(8))
def test_the_smallest_completion_is_the_least_optimum_of_all_completions(seed):
    r = random.Random(seed)
    table = r.getrandbits(16)
    free = r.sample(range(16), 2 + seed % 5)
    care = 0xFFFF & ~sum(1 << x for x in free)
    size, chosen = improve_dc.smallest_completion(table, care)
    assert (chosen ^ table) & care == 0 and optimum(chosen) == size
    every = []
    for fill in range(1 << len(free)):
        completed = table & care | sum((fill >> j & 1) << x for j, x in enumerate(free))
        every.append(optimum(completed))
    assert size == min(every)
    gates, output = improve_dc.net_of(chosen, 4)
    assert len(gates) == size


def simulate(n, gates, outputs, x, flipped=None):
    value = [x >> v & 1 for v in range(n)]
    for i, (op, a, b) in enumerate(gates):
        bit = op >> (2 * value[b] + value[a]) & 1
        value.append(bit ^ (n + i == flipped))
    return [(0 if node is None else value[node]) ^ neg for node, neg in outputs]


@pytest.mark.parametrize("seed", range(6))
def test_observable_rows_are_where_flipping_the_node_changes_an_output(seed):
    r = random.Random(seed)
    n = 3 + seed % 4
    gates = []
    for i in range(14):
        a = r.randrange(n + i)
        gates.append((r.choice(sorted(AND_OPS)), a, r.randrange(n + i)))
    outputs = [(n + len(gates) - 1 - j, r.random() < 0.5) for j in range(1 + seed % 3)]
    tables = improve_resub.tables(n, gates)
    observe = improve_dc.Observability(n, gates, outputs, tables)
    for node in range(n, n + len(gates)):
        rows = observe.observable(node)
        expected = sum(
            1 << x
            for x in range(1 << n)
            if simulate(n, gates, outputs, x) != simulate(n, gates, outputs, x, flipped=node)
        )
        assert rows == expected
        leaves = r.sample(range(n + len(gates)), 2)
        reached = {
            sum((tables[leaf] >> x & 1) << j for j, leaf in enumerate(leaves)) for x in range(1 << n) if rows >> x & 1
        }
        assert observe.care(leaves, rows) == sum(1 << m for m in reached)
