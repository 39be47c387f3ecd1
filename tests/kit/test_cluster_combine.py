"""The client's side of a cluster run, without Dask: chunks combined in any order of arrival give
the single-machine values bit for bit, and the cuts are listed in the core's rank order."""

import itertools
import random
import struct

import numpy as np
import pytest

from vexil_kit import BooleanFunction as BF
from vexil_kit import _native
from vexil_kit.cluster import combine, plan, tasks


def bits(x):
    return struct.pack("<d", x)


def combined(f, measure, chunks, order_seed, k=0):
    """The value of ``measure`` from its chunks computed here and handed over in a shuffled order."""
    walks = plan.stages(f.n, measure, k)
    pieces = plan.split(walks, chunks)
    random.Random(order_seed).shuffle(pieces)
    combiner = combine.Combiner(measure, f.n, walks)
    for chunk in pieces:
        stage = walks[chunk.stage]
        arrays = tasks.chunk_task(f, stage.kind, stage.k, chunk.begin, chunk.end, measure in plan.MINIMA)
        combiner.add(chunk, arrays)
    return combiner.result()


@pytest.mark.parametrize("order_seed", range(4))
@pytest.mark.parametrize("chunks", [1, 3, 7, 40])
@pytest.mark.parametrize("n", [1, 4, 7, 9])
def test_fragmentation_means_do_not_depend_on_the_order_of_arrival(n, chunks, order_seed):
    f = BF.random(n, seed=100 * n + chunks)
    spectrum = combined(f, "fragmentation_spectrum", chunks, order_seed)
    assert [bits(v) for v in spectrum] == [bits(v) for v in f.fragmentation_spectrum()]
    k = n // 2
    assert bits(combined(f, "fragmentation_k", chunks, order_seed, k=k)) == bits(f.fragmentation_k(k))


@pytest.mark.parametrize("measure", ["entanglement", "entropy", "entanglement_sets", "entropy_sets"])
@pytest.mark.parametrize("n", [0, 3, 6, 8])
def test_cut_measures_from_shuffled_chunks(measure, n):
    f = BF.random(n, seed=n)
    assert combined(f, measure, 5, order_seed=n) == getattr(f, measure)()


@pytest.mark.parametrize("n", range(0, 11))
def test_cuts_come_in_the_core_rank_order(n):
    listed = list(combine.cuts(n))
    assert len(listed) == _native.balanced_cut_count(n)
    if n <= 8:
        assert listed == [(r.set1, r.set2) for r in BF.random(n, seed=n).entanglement_sets()]
    for set1, set2 in listed:
        assert sorted(set1 + set2) == list(range(n)) and len(set1) == n // 2


def test_a_missing_run_is_not_taken_for_a_result():
    total = combine.OrderedSum(5)
    total.add(2, np.ones(3, dtype=np.float32))
    with pytest.raises(RuntimeError):
        total.mean()


@pytest.mark.parametrize("chunks", [1, 2, 5, 13, 1000])
def test_split_tiles_every_stage(chunks):
    for n, measure in itertools.product([2, 5, 8], ["entropy", "fragmentation_spectrum"]):
        walks = plan.stages(n, measure, 0)
        pieces = plan.split(walks, chunks)
        assert plan.tiles(pieces, walks)
        # Each stage is cut into ceil(its work / the chunk size) runs: at most one extra per stage.
        assert len(pieces) <= chunks + len(walks)
