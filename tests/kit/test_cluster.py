"""vexil_kit.cluster: the range kernels against the definitions, the cluster's results bit for bit
against vexil.Vexil, workers killed mid-run, and checkpoints resumed after a crash."""

import doctest
import itertools
import math
import subprocess
import sys
import textwrap
import time
from pathlib import Path

import numpy as np
import pytest
import reference
from hypothesis import given, settings
from hypothesis import strategies as st
from kit_strategies import functions

import vexil
from vexil_kit import BooleanFunction as BF
from vexil_kit import EntanglementSet, EntropySets, _native

distributed = pytest.importorskip("dask.distributed")
from vexil_kit import cluster  # noqa: E402 - needs dask

# A second cluster serves its health page on a free port, with a warning.
pytestmark = pytest.mark.filterwarnings("ignore:Port .* is already in use:UserWarning")


@pytest.fixture(scope="module")
def client():
    with (
        distributed.LocalCluster(
            n_workers=2,
            threads_per_worker=1,
            processes=True,
            dashboard_address=None,
            env={"RAYON_NUM_THREADS": "1"},
        ) as local,
        distributed.Client(local) as made,
    ):
        yield made


def bits(values):
    """Floats as their single-precision bit patterns (-0.0 differs from 0.0)."""
    return np.asarray(values, dtype=np.float32).view(np.uint32).tolist()


def restrictions(f, fixed):
    """(number of distinct restrictions, entropy in bits of their distribution)."""
    counts = reference.restriction_counts(f, fixed)
    return len(counts), reference.shannon_entropy(counts)


def some_ranges(total, rng):
    """A split of [0, total) into runs: the whole, and a few random cuts, empty runs included."""
    points = sorted(set([0, total]) | set(rng.integers(0, total + 1, size=3).tolist()))
    return list(itertools.pairwise(points)) + [(total // 2, total // 2)]


def all_small_functions():
    return [BF.from_int(value, n) for n in range(4) for value in range(1 << (1 << n))]


# -- the range kernels ---------------------------------------------------------------------------


def check_cut_ranges(f, rng):
    cuts = reference.balanced_cuts(f.n)
    total = _native.balanced_cut_count(f.n)
    assert total == len(cuts)
    counts = _native.cut_counts_range(f.table, 0, total)
    entropies = _native.cut_entropies_range(f.table, 0, total)
    assert counts.dtype == np.uint64 and entropies.dtype == np.float32
    for i, (set1, set2) in enumerate(cuts):
        (c1, e1), (c2, e2) = restrictions(f, set1), restrictions(f, set2)
        assert counts[i] == c1 + c2
        assert entropies[i] == pytest.approx(e1 + e2, rel=1e-6, abs=1e-6)
        # Bit for bit the single-precision sum of the two sides.
        assert bits(entropies[i]) == bits(
            np.float32(f.fragmentation_coefficient(set1)) + np.float32(f.fragmentation_coefficient(set2))
        )
    for a, b in some_ranges(total, rng):
        assert _native.cut_counts_range(f.table, a, b).tolist() == counts[a:b].tolist()
        assert bits(_native.cut_entropies_range(f.table, a, b)) == bits(entropies[a:b])


def check_subset_ranges(f, k, rng):
    subsets = list(itertools.combinations(range(f.n), k))
    complements = list(itertools.combinations(range(f.n), f.n - k))
    total = len(subsets)
    values, outside = _native.subset_entropies_range(f.table, k, 0, total, complements=True)
    assert bits(values) == bits([f.fragmentation_coefficient(s) for s in subsets])
    assert bits(outside) == bits([f.fragmentation_coefficient(s) for s in complements])
    for s, v in zip(subsets[:8], values[:8], strict=True):
        assert v == pytest.approx(restrictions(f, s)[1], rel=1e-6, abs=1e-6)
    for a, b in some_ranges(total, rng):
        alone, none = _native.subset_entropies_range(f.table, k, a, b)
        paired, theirs = _native.subset_entropies_range(f.table, k, a, b, complements=True)
        assert none.size == 0
        assert bits(alone) == bits(paired) == bits(values[a:b])
        # The complements of ranks [a, b) are ranks [C - b, C - a) of the other size.
        assert bits(theirs) == bits(outside[total - b : total - a])


@pytest.mark.parametrize("n", range(4))
def test_range_kernels_follow_the_definitions_on_every_small_function(n):
    rng = np.random.default_rng(n)
    for f in (g for g in all_small_functions() if g.n == n):
        check_cut_ranges(f, rng)
        for k in range(n + 1):
            check_subset_ranges(f, k, rng)


@settings(max_examples=25, deadline=None)
@given(functions(4, 10), st.integers(0, 2**32 - 1))
def test_range_kernels_follow_the_definitions_on_random_functions(f, seed):
    rng = np.random.default_rng(seed)
    check_cut_ranges(f, rng)
    check_subset_ranges(f, int(rng.integers(0, f.n + 1)), rng)


@pytest.mark.parametrize("n", [12, 15])
def test_pooled_ranges_equal_the_whole_walks(n):
    # From ten variables a range is shared out on the pool, each worker moving its tables between
    # pieces: any range still gives the values of the whole walk.
    f = BF.random(n, seed=n)
    total = _native.balanced_cut_count(n)
    whole = [r.entanglement for r in f.entanglement_sets()]
    entropies = bits([r.entropy for r in f.entropy_sets()])
    rng = np.random.default_rng(n)
    for a, b in some_ranges(total, rng):
        assert _native.cut_counts_range(f.table, a, b).tolist() == whole[a:b]
        assert bits(_native.cut_entropies_range(f.table, a, b)) == entropies[a:b]
    k = n // 2 - 1
    subsets = math.comb(n, k)
    values, outside = _native.subset_entropies_range(f.table, k, 0, subsets, complements=True)
    a, b = subsets // 3, subsets - 7
    part, theirs = _native.subset_entropies_range(f.table, k, a, b, complements=True)
    assert bits(part) == bits(values[a:b]) and bits(theirs) == bits(outside[subsets - b : subsets - a])
    assert np.float32(values.astype(np.float64).mean()) == pytest.approx(f.fragmentation_k(k), rel=1e-5)


@pytest.mark.parametrize(
    "call, error",
    [
        (lambda t: _native.cut_counts_range(t, 3, 2), ValueError),
        (lambda t: _native.cut_counts_range(t, 0, 11), ValueError),  # C(5, 2) = 10 cuts
        (lambda t: _native.cut_entropies_range(t, -1, 2), ValueError),
        (lambda t: _native.cut_entropies_range(t, 0, 2**64), ValueError),
        (lambda t: _native.cut_entropies_range(t, 0.0, 2), TypeError),
        (lambda t: _native.subset_entropies_range(t, 6, 0, 1), ValueError),
        (lambda t: _native.subset_entropies_range(t, 2, 0, 11), ValueError),
        (lambda t: _native.subset_entropies_range(t[:3], 1, 0, 1), ValueError),
        (lambda t: _native.cut_counts_range(t, 0, 1, progress=3), TypeError),
        (lambda t: _native.balanced_cut_count(65), ValueError),
    ],
)
def test_range_arguments_are_checked(call, error):
    with pytest.raises(error):
        call(BF.random(5, seed=1).table)


# -- the cluster ---------------------------------------------------------------------------------


def vexil_value(f, name, *args):
    value = getattr(vexil.Vexil(f.table), name)(*args)
    if name == "entanglement_sets":
        return [(tuple(r.set1), tuple(r.set2), r.entanglement) for r in value]
    if name == "entropy_sets":
        return [(tuple(r.set1), tuple(r.set2), r.entropy) for r in value]
    return value


def exactly(value):
    """A value with its floats as bit patterns, so that == compares them bit for bit."""
    if isinstance(value, float):
        return ("float", bits(value))
    if isinstance(value, (list, tuple)):
        return [exactly(v) for v in value]
    return value


MEASURES = [
    ("entanglement", ()),
    ("entropy", ()),
    ("entanglement_sets", ()),
    ("entropy_sets", ()),
    ("fragmentation_k", (4,)),
    ("fragmentation_spectrum", ()),
]


@pytest.mark.parametrize("chunks", [None, 7])
@pytest.mark.parametrize("n", [10, 11, 14])
@pytest.mark.parametrize("name, args", MEASURES, ids=[m for m, _ in MEASURES])
def test_cluster_equals_vexil_bit_for_bit(client, name, args, n, chunks):
    f = BF.random(n, seed=100 + n)
    ours = getattr(cluster, name)(f, *args, client=client, chunks=chunks)
    if name.endswith("_sets"):
        record = EntanglementSet if name == "entanglement_sets" else EntropySets
        assert all(type(r) is record for r in ours)
        ours = [tuple(r) for r in ours]
    assert exactly(ours) == exactly(vexil_value(f, name, *args))


@pytest.mark.parametrize("chunks", [1, 3, 40, 120])
def test_any_chunking_gives_the_same_bits(client, chunks):
    # The mean sums thousands of values: an order other than the ranks' (numpy's pairwise sum,
    # chunks summed apart) would change the last bits.
    f = BF.random(13, seed=7)
    assert exactly(cluster.fragmentation_spectrum(f, client=client, chunks=chunks)) == exactly(
        f.fragmentation_spectrum()
    )
    assert exactly(cluster.fragmentation_k(f, 6, client=client, chunks=chunks)) == exactly(f.fragmentation_k(6))


@pytest.mark.parametrize("n", [0, 1, 3])
def test_small_and_constant_functions(client, n):
    for f in [BF.random(n, seed=n), BF([False] * (1 << n)), BF([True] * (1 << n))]:
        for name, args in MEASURES:
            args = tuple(min(a, n) for a in args)
            ours = getattr(cluster, name)(f, *args, client=client, chunks=3)
            if name.endswith("_sets"):
                ours = [tuple(r) for r in ours]
            assert exactly(ours) == exactly(vexil_value(f, name, *args)), name


def test_arguments(client):
    f = BF.random(6, seed=2)
    assert cluster.entropy(f.to_vexil(), client=client) == f.entropy()
    assert cluster.fragmentation_k(f, 7, client=client) == 0.0
    with pytest.raises(TypeError):
        cluster.entropy(f.table, client=client)
    with pytest.raises(ValueError):
        cluster.entropy(f, client=client, chunks=0)
    with pytest.raises(ValueError):
        cluster.fragmentation_k(f, -1, client=client)


def test_progress_reports_chunks(client):
    reports = []
    f = BF.random(12, seed=4)
    cluster.entropy_sets(f, client=client, chunks=9, progress=lambda done, total: reports.append((done, total)))
    assert reports[0] == (0, 9) and reports[-1] == (9, 9)
    assert [done for done, _ in reports] == list(range(10))


def test_a_local_cluster_is_made_when_no_client_is_given():
    f = BF.random(11, seed=5)
    assert exactly(cluster.fragmentation_spectrum(f)) == exactly(f.fragmentation_spectrum())


# -- checkpoints ---------------------------------------------------------------------------------


def computed_chunks(client, run):
    """run() with the chunk indices of the tasks the cluster executed meanwhile."""
    with distributed.get_task_stream(client) as stream:
        result = run()
    indices = set()
    for task in stream.data:
        match = cluster.tasks.CHUNK_KEY.match(str(task["key"]))
        if match:
            indices.add(int(match.group(1)))
    return result, indices


def chunk_files(directory):
    return sorted(p.name for p in Path(directory).glob("chunk-*.npz"))


def test_a_checkpoint_resumes_with_the_missing_chunks_only(client, tmp_path):
    f = BF.random(12, seed=8)
    path = tmp_path / "run"
    first, computed = computed_chunks(
        client, lambda: cluster.entropy_sets(f, client=client, chunks=10, checkpoint=path)
    )
    assert computed == set(range(10)) and len(chunk_files(path)) == 10
    # Two chunks lost, one cut short: only those three are computed again.
    (path / "chunk-000002.npz").unlink()
    (path / "chunk-000007.npz").unlink()
    damaged = path / "chunk-000005.npz"
    damaged.write_bytes(damaged.read_bytes()[:40])
    again, computed = computed_chunks(client, lambda: cluster.entropy_sets(f, client=client, checkpoint=path))
    assert computed == {2, 5, 7}
    assert exactly([tuple(r) for r in again]) == exactly([tuple(r) for r in first])
    assert exactly([tuple(r) for r in first]) == exactly(vexil_value(f, "entropy_sets"))
    # Complete: nothing to compute, not even a cluster to start.
    done, computed = computed_chunks(client, lambda: cluster.entropy_sets(f, client=None, checkpoint=path))
    assert computed == set() and exactly([tuple(r) for r in done]) == exactly([tuple(r) for r in first])


def test_a_checkpoint_of_another_computation_is_refused(client, tmp_path):
    f = BF.random(9, seed=9)
    path = tmp_path / "run"
    cluster.fragmentation_k(f, 3, client=client, chunks=4, checkpoint=path)
    for other in [
        lambda: cluster.fragmentation_k(~f, 3, client=client, checkpoint=path),
        lambda: cluster.fragmentation_k(f, 4, client=client, checkpoint=path),
        lambda: cluster.fragmentation_spectrum(f, client=client, checkpoint=path),
        lambda: cluster.fragmentation_k(f, 3, client=client, chunks=5, checkpoint=path),
    ]:
        with pytest.raises(ValueError):
            other()
    stray = tmp_path / "stray"
    stray.mkdir()
    (stray / "notes.txt").write_text("mine")
    with pytest.raises(ValueError):
        cluster.entropy(f, client=client, checkpoint=stray)
    assert cluster.fragmentation_k(f, 3, client=client, chunks=4, checkpoint=path) == f.fragmentation_k(3)


def run_child(script, *args, timeout=180):
    """Runs a Python script in a child process (a hang fails the test instead of blocking it)."""
    return subprocess.run(
        [sys.executable, "-c", textwrap.dedent(script), *map(str, args)],
        capture_output=True,
        text=True,
        timeout=timeout,
    )


CRASHING_CLIENT = """
    import os, signal, sys
    from dask.distributed import Client
    from vexil_kit import BooleanFunction, cluster

    address, path = sys.argv[1], sys.argv[2]

    def progress(done, total):
        if done == 3:  # three chunks saved: the client dies without a word
            os.kill(os.getpid(), signal.SIGKILL)

    with Client(address) as client:
        cluster.entropy_sets(BooleanFunction.random(13, seed=10), client=client, chunks=12,
                             checkpoint=path, progress=progress)
"""


def test_a_checkpointed_run_killed_midway_resumes(client, tmp_path):
    path = tmp_path / "run"
    clients = len(client.run_on_scheduler(lambda dask_scheduler: list(dask_scheduler.clients)))
    child = run_child(CRASHING_CLIENT, client.scheduler_info()["address"], path)
    assert child.returncode == -9, child.stderr
    saved = {int(name[6:12]) for name in chunk_files(path)}
    assert 3 <= len(saved) < 12
    # Once the scheduler has dropped the dead client, it has released that client's tasks too,
    # so the resumed run's tasks are computed here rather than taken over.
    deadline = time.monotonic() + 30
    while len(client.run_on_scheduler(lambda dask_scheduler: list(dask_scheduler.clients))) > clients:
        assert time.monotonic() < deadline
        time.sleep(0.1)
    f = BF.random(13, seed=10)
    result, computed = computed_chunks(client, lambda: cluster.entropy_sets(f, client=client, checkpoint=path))
    assert computed == set(range(12)) - saved
    assert exactly([tuple(r) for r in result]) == exactly(vexil_value(f, "entropy_sets"))


KILLING_A_WORKER = """
    import os, signal, sys
    import numpy as np
    from dask.distributed import Client
    from vexil_kit import BooleanFunction, cluster

    address = sys.argv[1]
    killed = []
    with Client(address) as client:
        before = client.run(os.getpid)
        victim = sorted(before.values())[0]

        def progress(done, total):
            if done == 1 and not killed:
                os.kill(victim, signal.SIGKILL)
                killed.append(done)

        f = BooleanFunction.random(17, seed=11)
        values = cluster.entropy_sets(f, client=client, chunks=24, progress=progress)
        client.wait_for_workers(2, timeout=60)
        after = client.run(os.getpid)
    assert killed and victim not in after.values(), (before, after)
    expected = np.array([r.entropy for r in f.entropy_sets()], dtype=np.float32)
    got = np.array([r.entropy for r in values], dtype=np.float32)
    print("same" if got.tobytes() == expected.tobytes() else "different")
"""


def test_a_worker_killed_midway_still_gives_the_exact_result(client):
    child = run_child(KILLING_A_WORKER, client.scheduler_info()["address"])
    assert child.returncode == 0, child.stderr
    assert child.stdout.strip() == "same"


def test_docstring_examples():
    import vexil_kit

    result = doctest.testmod(cluster, extraglobs={"BooleanFunction": vexil_kit.BooleanFunction}, verbose=False)
    assert result.attempted >= 7 and result.failed == 0


@pytest.mark.parametrize("measure", ["entropy", "fragmentation_spectrum"])
def test_a_second_run_on_a_checkpoint_in_use_is_refused_and_leaves_its_files(client, tmp_path, measure):
    f = BF.random(9, seed=4)
    path = tmp_path / "run"
    walks = cluster.plan.stages(f.n, measure, 0)
    header = {
        "format": cluster.checkpoint.FORMAT,
        "measure": measure,
        "k": 0,
        "n": f.n,
        "sha256": cluster.checkpoint.digest(f.n, f.table),
    }
    with cluster.checkpoint.Checkpoint(path, header, walks):
        in_flight = path / (cluster.checkpoint.TEMP_PREFIX + "first")
        in_flight.write_bytes(b"being written")
        with pytest.raises(RuntimeError, match="another run is using the checkpoint"):
            getattr(cluster, measure)(f, client=client, checkpoint=path)
        assert in_flight.read_bytes() == b"being written"
    in_flight.unlink()
    assert getattr(cluster, measure)(f, client=client, checkpoint=path) == getattr(f, measure)()


NO_MAIN_GUARD = """
from vexil_kit import BooleanFunction, cluster
print(cluster.entanglement(BooleanFunction.majority(6)))
"""


def test_a_script_without_the_main_guard_is_told_in_a_line(tmp_path):
    script = tmp_path / "unguarded.py"
    script.write_text(NO_MAIN_GUARD)
    done = subprocess.run([sys.executable, str(script)], capture_output=True, text=True, timeout=180, cwd=tmp_path)
    assert done.returncode != 0
    assert 'if __name__ == "__main__":' in done.stderr.splitlines()[-1], done.stderr[-2000:]
    assert len(done.stderr.splitlines()) < 60, done.stderr[-2000:]


LOSING_THE_WORKERS = """
    import sys
    import dask
    from dask.distributed import Client, LocalCluster
    from vexil_kit import BooleanFunction, _dask_wait, cluster, sweep

    call, workers = sys.argv[1], int(sys.argv[2])
    _dask_wait.DEFAULT_TIMEOUT = 1.0  # the default wait for workers once some were seen
    with LocalCluster(n_workers=workers, threads_per_worker=1, processes=False, dashboard_address=None) as local:
        if not workers:
            # Set for the client only (the scheduler has started): a remote scheduler's own setting may differ.
            dask.config.set({"distributed.scheduler.no-workers-timeout": "1s"})
        with Client(local) as client:
            async def remove_workers(dask_scheduler):
                for address in list(dask_scheduler.workers):
                    await dask_scheduler.remove_worker(address, stimulus_id="lost", close=True)

            def progress(done, total):
                if done > 0 and client.nthreads():
                    client.run_on_scheduler(remove_workers)  # every worker leaves once results come in

            try:
                if call == "sweep":
                    functions = [BooleanFunction.random(12, seed=s) for s in range(300)]
                    sweep(functions, ["entropy"], client=client, batch_size=1, progress=progress)
                else:
                    f = BooleanFunction.random(14, seed=1)
                    cluster.entropy_sets(f, client=client, chunks=40, progress=progress)
            except (_dask_wait.WorkersLostError, TimeoutError) as error:  # Dask's own when scatter finds none
                print("lost:", error)
            else:
                print("finished")
"""


@pytest.mark.parametrize("workers", [1, 0], ids=["workers-leave", "no-worker-ever"])
@pytest.mark.parametrize("call", ["sweep", "cluster"])
def test_a_cluster_without_workers_ends_the_wait_with_an_error(call, workers):
    child = run_child(LOSING_THE_WORKERS, call, workers, timeout=150)
    assert child.stdout.startswith("lost:") and "worker" in child.stdout, child.stdout + child.stderr[-3000:]
