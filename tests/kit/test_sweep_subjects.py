"""One sweep runner for every subject: functions and S-boxes take the same arguments (``out`` to
Parquet or CSV with a partial file resumed, ``client``, ``batch_size``, ``progress``) and give the
same table whichever way they are run."""

from dataclasses import dataclass

import numpy as np
import pytest
from conftest import needs_pandas

from vexil_kit.sweeps import random_functions, random_permutations, sweep

try:
    import pandas as pd
except ImportError:
    pd = None


@dataclass(frozen=True)
class Subject:
    """A subject's source (by seed), a registry measure of it, a cheap custom measure and its columns."""

    source: object
    measure: str
    custom: object
    fixed: tuple

    def items(self, seed=3, count=30):
        return self.source(seed, count)


SUBJECTS = {
    "function": Subject(
        lambda seed, count: random_functions(4, count, seed=seed), "entropy", lambda f: f.weight(), ("hex", "n")
    ),
    "vectorial": Subject(
        lambda seed, count: random_permutations(4, count, seed=seed),
        "differential_uniformity",
        lambda box: box.fixed_point_count(),
        ("name", "n", "m"),
    ),
}
subjects = pytest.mark.parametrize("subject", SUBJECTS.values(), ids=SUBJECTS.keys())


def interrupting(after, custom):
    """``custom`` that raises KeyboardInterrupt on its item number ``after`` (0-based), counting calls."""
    calls = []

    def measure(x):
        calls.append(x)
        if len(calls) == after + 1:
            raise KeyboardInterrupt
        return custom(x)

    return measure, calls


def read(path):
    return pd.read_parquet(path) if ".parquet" in str(path) else pd.read_csv(path)


@needs_pandas
@subjects
@pytest.mark.parametrize("suffix", [".parquet", ".csv"])
def test_a_sweep_to_a_file_writes_it_and_returns_its_table(tmp_path, subject, suffix):
    source = subject.items()
    path = tmp_path / f"x{suffix}"
    frame = sweep(source, [subject.measure, ("c", subject.custom)], out=path)
    assert path.exists() and not (tmp_path / f"x{suffix}.partial").exists()
    assert frame.columns.tolist() == [*subject.fixed, subject.measure, "c"]
    pd.testing.assert_frame_equal(frame, read(path))
    whole = sweep(source, [subject.measure, ("c", subject.custom)])
    for column in frame.columns:
        assert frame[column].astype(str).tolist() == whole[column].astype(str).tolist()


@needs_pandas
@subjects
@pytest.mark.parametrize("name", ["x.txt", "x", "missing/x.parquet"])
def test_an_output_of_another_kind_is_refused_before_any_work(tmp_path, subject, name):
    measured = []
    with pytest.raises((ValueError, OSError)):
        sweep(subject.items(), [("c", lambda x: measured.append(x) or 1)], out=tmp_path / name)
    assert measured == []


@needs_pandas
@subjects
@pytest.mark.parametrize("suffix", [".parquet", ".csv"])
def test_an_interrupted_sweep_keeps_its_rows_and_the_rerun_computes_the_rest(tmp_path, subject, suffix):
    path = tmp_path / f"s{suffix}"
    measure, _ = interrupting(23, subject.custom)
    with pytest.raises(KeyboardInterrupt):
        sweep(subject.items(), [subject.measure, ("c", measure)], out=path, batch_size=10)
    partial = tmp_path / f"s{suffix}.partial"
    # The whole batches done and the finished items of the batch under way.
    kept = 23
    assert len(read(partial)) == kept and not path.exists()
    measure, calls = interrupting(-1, subject.custom)
    frame = sweep(subject.items(), [subject.measure, ("c", measure)], out=path, batch_size=10)
    assert len(calls) == 30 - kept and not partial.exists()
    whole = sweep(subject.items(), [subject.measure, ("c", subject.custom)])
    for column in frame.columns:
        assert frame[column].astype(str).tolist() == whole[column].astype(str).tolist()


@needs_pandas
@subjects
def test_a_partial_file_of_other_items_is_not_taken(tmp_path, subject):
    path = tmp_path / "s.parquet"
    measure, _ = interrupting(15, subject.custom)
    with pytest.raises(KeyboardInterrupt):
        sweep(subject.items(seed=1), [("c", measure)], out=path, batch_size=10)
    measure, calls = interrupting(-1, subject.custom)
    frame = sweep(subject.items(seed=2), [("c", measure)], out=path, batch_size=10)
    assert len(calls) == 30
    items = subject.items(seed=2)
    boxes = [x[1] if isinstance(x, tuple) else x for x in items]  # an S-box source gives (name, S-box)
    assert frame["c"].tolist() == [subject.custom(x) for x in boxes]


@needs_pandas
@subjects
def test_batches_and_progress_do_not_change_the_table(subject):
    source = subject.items(count=25)
    reports = []
    whole = sweep(source, [subject.measure])
    cut = sweep(source, [subject.measure], batch_size=7, progress=lambda done, total: reports.append((done, total)))
    pd.testing.assert_frame_equal(cut, whole)
    assert reports[-1] == (25, 25) and [d for d, _ in reports] == sorted(d for d, _ in reports)
    with pytest.raises(ValueError, match="batch_size"):
        sweep(source, [subject.measure], batch_size=0)


@needs_pandas
def test_sbox_measures_are_checked_before_any_work():
    source = random_permutations(3, 2, seed=1)
    for measures, error in [(["ddt"], "table"), (["nope"], "unknown"), (["name"], "unknown"), ([3], None)]:
        with pytest.raises(TypeError if error is None else ValueError, match=error):
            sweep(source, measures)


@needs_pandas
@subjects
def test_a_local_dask_client_gives_the_local_table(tmp_path, subject):
    distributed = pytest.importorskip("dask.distributed")
    source = subject.items(count=40)
    names = [subject.measure, ("c", subject.custom)]
    local = sweep(source, names, batch_size=9)
    with (
        distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None) as cluster,
        distributed.Client(cluster) as client,
    ):
        remote = sweep(source, names, client=client, batch_size=9)
        written = sweep(source, names, client=client, batch_size=9, out=tmp_path / "remote.parquet")
    pd.testing.assert_frame_equal(remote, local)
    pd.testing.assert_frame_equal(written, sweep(source, names, batch_size=9, out=tmp_path / "local.parquet"))
    assert np.array_equal(written["c"].to_numpy(), local["c"].to_numpy())
