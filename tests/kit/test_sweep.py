"""Sweeps of measures over many functions: values, sources, the five-input classes, Parquet and Dask."""

import itertools
import json
import math

import numpy as np
import pytest
from conftest import Vexil, needs_pandas

from vexil_kit import BooleanFunction as BF
from vexil_kit import _native
from vexil_kit.sweep import (
    FunctionSource,
    family,
    five_input_classes,
    random_functions,
    read_metadata,
    sweep,
)

try:
    import pandas as pd
except ImportError:
    pd = None

# Every measure the batch kernel computes (spectral_entropy among them).
KERNEL_MEASURES = [name for name, _, _ in _native.sweep_measure_table()]
NPN_CLASSES_5 = 616_126


def all_functions(n):
    return [BF.from_int(v, n) for v in range(1 << (1 << n))]


def method_value(f, name):
    try:
        return getattr(f, name)()
    except ValueError:
        return None


def same(a, b):
    """Equal values, NaN equal to NaN, missing (None/NA) equal to None; bool never equal to an int."""
    missing_a = a is None or a is pd.NA
    if missing_a or b is None:
        return missing_a and b is None
    if isinstance(a, float) and math.isnan(a):
        return isinstance(b, float) and math.isnan(b)
    if isinstance(b, bool) != isinstance(a, bool):
        return False
    return a == b


def check_against_methods(functions, frame, names):
    assert frame.columns.tolist() == ["hex", "n", *names]
    assert frame["hex"].tolist() == [f.to_hex() for f in functions]
    assert frame["n"].tolist() == [f.n for f in functions]
    for name in names:
        got = frame[name].astype(object).tolist()
        for f, value in zip(functions, got, strict=True):
            assert same(value, method_value(f, name)), (name, f, value, method_value(f, name))


# -- values equal the methods -----------------------------------------------------------------------


@needs_pandas
def test_every_kernel_measure_equals_its_method_on_all_functions_of_up_to_3_variables():
    functions = [f for n in range(4) for f in all_functions(n)]
    check_against_methods(functions, sweep(functions, KERNEL_MEASURES), KERNEL_MEASURES)


@needs_pandas
@pytest.mark.parametrize("n", range(4, 11))
def test_every_kernel_measure_equals_its_method_on_random_functions(n):
    source = random_functions(n, 40 if n <= 7 else 8, seed=n)
    functions = list(source)
    check_against_methods(functions, sweep(source, KERNEL_MEASURES, batch_size=7), KERNEL_MEASURES)


@needs_pandas
def test_functions_beyond_the_batch_kernel_are_measured_by_their_methods():
    functions = [BF.random(13, seed=s) for s in range(2)] + [BF.majority(13), BF.xor(13)]
    names = ["weight", "degree", "total_influence", "spectral_entropy", "is_balanced", "minimal_gates"]
    frame = sweep(functions, names)
    check_against_methods(functions, frame, names)
    assert frame["minimal_gates"].isna().all()


@needs_pandas
def test_a_family_across_sizes_keeps_its_order_and_marks_inapplicable_values_missing():
    source = family("majority", range(1, 10))
    functions = [BF.majority(n) for n in range(1, 10)]
    names = ["minimal_gates", "entropy", "fourier_degree", "nonlinearity", "is_balanced", "npn_representant"]
    frame = sweep(source, names)
    check_against_methods(functions, frame, names)
    assert str(frame["minimal_gates"].dtype) == "Int64"
    # The median of three: (x & y) | (z & (x ^ y)), four gates.
    assert frame["minimal_gates"][2] == 4 and frame["minimal_gates"][5:].isna().all()
    assert frame["npn_representant"].notna().tolist() == [n == 5 for n in range(1, 10)]


@pytest.mark.parametrize(
    "name, ns, expected",
    [
        ("threshold", [(5, 2), (6, 6)], [BF.threshold(5, 2), BF.threshold(6, 6)]),
        ("inner-product", [2, 4], [BF.inner_product(2), BF.inner_product(4)]),
        ("parity", [3], [BF.from_vexil(Vexil.parity(3))]),
        ("sum_is_prime", [2], [BF.from_vexil(Vexil.sum_is_prime(2))]),
        ("tribes", [(2, 2)], [BF.tribes(2, 2)]),
    ],
)
def test_families_build_their_members(name, ns, expected):
    assert list(family(name, ns)) == expected


@needs_pandas
def test_vexil_objects_and_mixed_sizes_are_taken_in_order():
    functions = [BF.majority(3), BF.xor(5), BF.conjunction(3), BF.from_int(1, 0), BF.dictator(2, 1)]
    given = [functions[0], functions[1].to_vexil(), functions[2], functions[3], functions[4].to_vexil()]
    source = FunctionSource.of(given)
    assert list(source) == functions
    assert [n for n, _ in source.runs] == [3, 5, 3, 0, 2]
    check_against_methods(functions, sweep(given, ["weight", "entanglement"]), ["weight", "entanglement"])


def test_a_source_keeps_its_own_copy_of_the_rows_and_checks_their_shape():
    rows = np.zeros((3, 4), dtype=np.uint8)
    source = FunctionSource([(5, rows)])
    rows[0, 0] = 1
    assert rows.flags.writeable and [f.weight() for f in source] == [0, 0, 0]
    with pytest.raises(ValueError):
        FunctionSource([(6, rows)])
    with pytest.raises(ValueError):
        FunctionSource([(5, rows.reshape(-1))])
    # Bits beyond a table of fewer than 8 entries are not part of it.
    tiny = FunctionSource([(1, np.array([[0xFE]], dtype=np.uint8))])
    assert list(tiny) == [BF([False, True])]
    if pd is not None:
        assert sweep(tiny, ["weight"])[["hex", "weight"]].values.tolist() == [["0x2", 1]]


@needs_pandas
def test_custom_measures_get_each_function():
    functions = list(random_functions(5, 30, seed=3))
    frame = sweep(functions, [("ones", lambda f: int(f.table.sum())), "weight", ("last", lambda f: f[len(f) - 1])])
    assert frame["ones"].tolist() == frame["weight"].tolist() == [f.weight() for f in functions]
    assert frame["last"].dtype == np.bool_ and frame["last"].tolist() == [f[31] for f in functions]


def test_random_functions_repeat_with_their_seed_and_cover_the_table():
    a, b, c = (list(random_functions(7, 50, seed=s)) for s in (4, 4, 5))
    assert a == b and a != c
    assert all(f.n == 7 for f in a)
    # Every entry takes both values somewhere: no bit of the packed rows is left out.
    tables = np.array([f.table for f in a])
    assert tables.any(axis=0).all() and (~tables).any(axis=0).all()
    # Tables of fewer than 8 entries use only their own bits of the byte.
    assert all(f.weight() <= 2 for f in random_functions(1, 100, seed=0))


@pytest.mark.parametrize(
    "measures, error",
    [
        (["no_such_measure"], ValueError),
        (["n"], ValueError),  # a property, not a method
        (["majority"], ValueError),  # a builder
        (["restrict"], ValueError),  # needs arguments
        (["weight", "weight"], ValueError),
        ([("hex", BF.weight)], ValueError),
        ([("x", 3)], TypeError),
        ([42], TypeError),
    ],
)
def test_bad_measures_are_refused_before_any_work(measures, error):
    with pytest.raises(error):
        sweep([BF.majority(3)], measures)


def test_bad_function_collections_are_refused():
    with pytest.raises(TypeError):
        sweep(BF.majority(3), ["weight"])
    with pytest.raises(TypeError):
        sweep([BF.majority(3), "0xe8"], ["weight"])
    with pytest.raises(ValueError):
        sweep([BF.majority(3)], ["weight"], batch_size=0)
    with pytest.raises(ValueError):
        family("no-such-family", [3])
    with pytest.raises(ValueError):
        random_functions(63, 1)
    with pytest.raises(ValueError):
        random_functions(4, -1)
    with pytest.raises(MemoryError):
        random_functions(40, 10**9)


def test_the_kernel_checks_its_arguments():
    rows = np.zeros((4, 4), dtype=np.uint8)
    with pytest.raises(ValueError, match="whole number"):
        _native.sweep_rows(rows.reshape(-1)[:15], 5, ("weight",))
    with pytest.raises(ValueError, match="no batch kernel"):
        _native.sweep_rows(rows, 5, ("restrict",))
    with pytest.raises(ValueError, match="up to 5 variables"):
        _native.sweep_rows(np.zeros((2, 8), dtype=np.uint8), 6, ("minimal_gates",))
    with pytest.raises(ValueError):
        _native.sweep_rows(rows, 64, ("weight",))
    with pytest.raises(TypeError):
        _native.sweep_rows(rows, 5, ("weight",), progress=3)
    (weights,) = _native.sweep_rows(np.array([[0xFF, 0, 0, 0x80]], dtype=np.uint8), 5, ("weight",))
    assert weights.tolist() == [9]


@needs_pandas
def test_an_empty_sweep_has_the_columns_and_no_rows():
    frame = sweep([], ["weight", ("c", BF.weight)])
    assert frame.columns.tolist() == ["hex", "n", "weight", "c"] and len(frame) == 0


# -- the five-input classes -------------------------------------------------------------------------


def test_the_class_list_has_every_npn_class_once(class_words):
    assert class_words.dtype == np.uint32 and len(class_words) == NPN_CLASSES_5
    assert (np.diff(class_words.astype(np.int64)) > 0).all()  # sorted, so distinct
    # Classes of functions that depend on at most k variables are the NPN classes of k variables:
    # 1, 2, 4, 14, 222, 616126 (OEIS A000370), counted here from the tables.
    words = class_words.astype(np.uint64)
    lanes = [0x55555555, 0x33333333, 0x0F0F0F0F, 0x00FF00FF, 0x0000FFFF]
    depends = sum(
        (((words ^ (words >> np.uint64(1 << v))) & np.uint64(m)) != 0).astype(int) for v, m in enumerate(lanes)
    )
    assert np.cumsum(np.bincount(depends, minlength=6)).tolist() == [1, 2, 4, 14, 222, NPN_CLASSES_5]


def test_each_class_function_is_its_own_representative(class_words):
    classes = five_input_classes()
    assert len(classes) == NPN_CLASSES_5
    # The source's functions are the words read with entry x at bit x.
    assert [f.to_int() for f in itertools.islice(classes, 500)] == class_words[:500].tolist()
    rng = np.random.default_rng(0)
    chosen = rng.choice(NPN_CLASSES_5, 2000, replace=False).tolist() + [0, 1, NPN_CLASSES_5 - 1]
    for i in chosen:
        f = BF.from_int(int(class_words[i]), 5)
        assert f.npn_representant() == f


def npn_orbit_minimum(f):
    """The smallest to_int() over the 2 * 5! * 2**5 NPN transforms of a five-variable f."""
    x = np.arange(32)
    bits = (x[:, None] >> np.arange(5)) & 1
    maps = []
    for perm in itertools.permutations(range(5)):
        moved = (bits[:, list(perm)] << np.arange(5)).sum(axis=1)
        maps.extend(moved ^ flips for flips in range(32))
    tables = f.table[np.array(maps)]
    tables = np.concatenate([tables, ~tables])
    return int(np.packbits(tables, axis=1, bitorder="little").view("<u4").min())


def test_the_representative_is_the_member_with_the_smallest_table(class_words):
    listed = set(class_words.tolist())
    for f in [*random_functions(5, 12, seed=21), BF.majority(5), BF.xor(5), BF.inner_product(4).extend(5)]:
        smallest = npn_orbit_minimum(f)
        assert smallest in listed and f.npn_representant().to_int() == smallest


def test_every_five_variable_function_falls_in_a_listed_class(class_words):
    listed = set(class_words.tolist())
    for f in random_functions(5, 3000, seed=11):
        assert f.npn_representant().to_int() in listed


@needs_pandas
def test_minimal_gates_over_all_classes_agree_with_vexil_on_a_sample(class_words):
    frame = sweep(five_input_classes(), ["minimal_gates"])
    gates = frame["minimal_gates"].to_numpy()
    # Classes by gate count, as found by Knuth (TAOCP 7.1.2). The first three follow from the model:
    # the constant and a variable cost nothing; one gate makes the AND and the XOR class; two gates
    # make x&y&z, (x|y)&z, (x^y)&z, (x&y)^z and x^y^z.
    assert np.bincount(gates).tolist() == [2, 2, 5, 20, 93, 389, 1988, 11382, 60713, 221541, 293455, 26535, 1]
    rng = np.random.default_rng(1)
    for i in rng.choice(NPN_CLASSES_5, 300, replace=False).tolist():
        table = [bool(int(class_words[i]) >> x & 1) for x in range(32)]
        assert gates[i] == Vexil(table).minimal_gates()


# -- Parquet and Dask --------------------------------------------------------------------------------


@needs_pandas
def test_parquet_round_trip_keeps_values_dtypes_and_metadata(tmp_path):
    path = tmp_path / "sweep.parquet"
    names = ["minimal_gates", "entropy", "is_balanced", "weight", ("name", lambda f: f"f{f.n}")]
    frame = sweep(family("xor", range(0, 8)), names, out=path)
    back = pd.read_parquet(path)
    pd.testing.assert_frame_equal(back, frame)
    assert str(back["minimal_gates"].dtype) == "Int64" and back["is_balanced"].dtype == np.bool_
    meta = read_metadata(path)
    assert meta == {
        "source": "members of xor",
        "measures": ["minimal_gates", "entropy", "is_balanced", "weight", "name"],
        "functions": 8,
    }


@needs_pandas
def test_a_dask_cluster_of_two_processes_gives_the_local_table(tmp_path):
    distributed = pytest.importorskip("dask.distributed")
    functions = list(random_functions(6, 200, seed=8)) + [BF.majority(7), BF.majority(9)]
    names = [
        "entropy",
        "minimal_gates",
        "spectral_entropy",
        "certificate_complexity",
        ("odd", lambda f: f.weight() % 2 == 1),
    ]
    local = sweep(functions, names, batch_size=37)
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=":0") as cluster:
        with distributed.Client(cluster) as client:
            reports = []
            remote = sweep(functions, names, client=client, batch_size=37, progress=lambda d, t: reports.append(d))
            # Written to a file, the batches land in the order of the functions.
            written = sweep(functions, names, client=client, batch_size=37, out=tmp_path / "remote.parquet")
    pd.testing.assert_frame_equal(remote, local)
    assert reports[-1] == len(functions)
    pd.testing.assert_frame_equal(written, sweep(functions, names, batch_size=37, out=tmp_path / "local.parquet"))


# -- the file: types fixed first, rows kept as they are done -----------------------------------------


@needs_pandas
@pytest.mark.parametrize("suffix", [".parquet", ".csv"])
def test_object_measures_are_stored_as_their_text(tmp_path, suffix):
    functions = [BF.majority(5), BF.xor(5), BF.conjunction(4)]
    names = ["npn_representant", "minimal_circuit", "entanglement_sets", "fragmentation_peak", "weight"]
    frame = sweep(functions, names, out=tmp_path / f"s{suffix}")
    assert frame["npn_representant"].tolist()[:2] == [f.npn_representant().to_hex() for f in functions[:2]]
    assert frame["minimal_circuit"].tolist()[:2] == [f.minimal_circuit().to_expression() for f in functions[:2]]
    peak = functions[2].fragmentation_peak()
    assert json.loads(frame["fragmentation_peak"].iloc[2]) == [peak[0], peak[1]]
    sets = json.loads(frame["entanglement_sets"].iloc[0])
    assert len(sets) == len(functions[0].entanglement_sets())
    assert frame["weight"].tolist() == [16, 16, 1]


@needs_pandas
@pytest.mark.parametrize("path", ["s.txt", "s", "missing/s.parquet", "."])
def test_an_unwritable_output_is_refused_before_any_function_is_measured(tmp_path, path):
    measured = []
    with pytest.raises((ValueError, OSError)):
        sweep(random_functions(3, 10, seed=1), [("x", lambda f: measured.append(f) or 1)], out=tmp_path / path)
    assert measured == []


def interrupting(after):
    """A measure that raises KeyboardInterrupt on its function number ``after`` (0-based), counting calls."""
    calls = []

    def measure(f):
        calls.append(f)
        if len(calls) == after + 1:
            raise KeyboardInterrupt
        return f.weight()

    return measure, calls


@needs_pandas
@pytest.mark.parametrize("suffix", [".parquet", ".csv"])
def test_an_interrupted_sweep_keeps_its_rows_and_the_rerun_computes_the_rest(tmp_path, suffix):
    source = random_functions(4, 50, seed=3)
    path = tmp_path / f"s{suffix}"
    path.write_text("a good earlier file")
    measure, _ = interrupting(23)
    with pytest.raises(KeyboardInterrupt) as caught:
        sweep(source, ["entropy", ("w", measure)], out=path, batch_size=10)
    # The two whole batches and the three functions of the third finished before Ctrl-C.
    assert "23 rows are kept in" in caught.value.__notes__[0]
    assert path.read_text() == "a good earlier file"
    partial = tmp_path / f"s{suffix}.partial"
    assert len(pd.read_parquet(partial) if suffix == ".parquet" else pd.read_csv(partial)) == 23
    measure, calls = interrupting(-1)
    frame = sweep(source, ["entropy", ("w", measure)], out=path, batch_size=10)
    assert len(calls) == 27 and not partial.exists()
    whole = sweep(source, ["entropy", ("w", lambda f: f.weight())])
    assert frame["hex"].tolist() == whole["hex"].tolist()
    assert frame["w"].tolist() == whole["w"].tolist()
    np.testing.assert_array_equal(frame["entropy"].to_numpy(), whole["entropy"].to_numpy())


@needs_pandas
def test_a_partial_file_of_other_functions_is_not_taken(tmp_path):
    path = tmp_path / "s.parquet"
    measure, _ = interrupting(15)
    with pytest.raises(KeyboardInterrupt):
        sweep(random_functions(4, 30, seed=1), [("w", measure)], out=path, batch_size=10)
    measure, calls = interrupting(-1)
    frame = sweep(random_functions(4, 30, seed=2), [("w", measure)], out=path, batch_size=10)
    assert len(calls) == 30
    assert frame["hex"].tolist() == [f.to_hex() for f in random_functions(4, 30, seed=2)]


@needs_pandas
def test_integers_beyond_int64_are_stored_as_their_digits(tmp_path):
    from vexil_kit.sweeps.output import column_kind

    assert column_kind("sum_of_squares_indicator", [20]) == "int64"
    assert column_kind("sum_of_squares_indicator", [5, 21]) == "text"
    f = BF.xor(21)  # its autocorrelation is +-2**21 everywhere: the sum of squares is 2**63
    frame = sweep([f], ["sum_of_squares_indicator"], out=tmp_path / "w.parquet")
    assert int(frame["sum_of_squares_indicator"].iloc[0]) == f.sum_of_squares_indicator() == 1 << 63


def test_atomic_output_keeps_the_earlier_file_when_the_write_fails(tmp_path):
    from vexil_kit._files import atomic_output

    path = tmp_path / "f.txt"
    path.write_text("earlier")
    with pytest.raises(RuntimeError):
        with atomic_output(path) as temporary:
            with open(temporary, "w") as handle:
                handle.write("half")
            raise RuntimeError("the writer failed")
    assert path.read_text() == "earlier"
    assert sorted(p.name for p in tmp_path.iterdir()) == ["f.txt"]


@needs_pandas
@pytest.mark.parametrize("suffix", [".parquet", ".csv"])
def test_a_first_batch_without_values_does_not_fix_the_column_types(tmp_path, suffix):
    # majority(7) comes first and is beyond every five-variable measure: its batch holds only missing values.
    names = ["npn_representant", "minimal_circuit", "minimal_gates", "fragmentation_spectrum"]
    frame = sweep(family("majority", [7, 5]), names, out=tmp_path / f"m{suffix}")
    assert frame["npn_representant"].isna().tolist() == [True, False]
    assert frame["npn_representant"].iloc[1] == BF.majority(5).npn_representant().to_hex()
    assert frame["minimal_gates"].iloc[1] == 9
    spectrum = frame["fragmentation_spectrum"].iloc[1]
    spectrum = json.loads(spectrum) if suffix == ".csv" else spectrum.tolist()
    assert spectrum == BF.majority(5).fragmentation_spectrum()


@needs_pandas
@pytest.mark.parametrize("missing", ["pandas", "pyarrow"])
def test_a_missing_module_is_named_before_any_function_is_measured(tmp_path, missing):
    import subprocess
    import sys

    code = (
        f"import sys; sys.modules[{missing!r}] = None\n"
        "import importlib.util; real = importlib.util.find_spec\n"
        f"importlib.util.find_spec = lambda name, *a: None if name == {missing!r} else real(name, *a)\n"
        "from vexil_kit import BooleanFunction\nfrom vexil_kit.sweeps import sweep\n"
        "calls = []\n"
        "try:\n"
        f"    sweep([BooleanFunction.majority(3)], [('x', calls.append)], out={str(tmp_path / 's.parquet')!r})\n"
        "except ImportError as error:\n    print(error, len(calls))\n"
    )
    result = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, timeout=120)
    assert f"({missing} is missing): pip install pandas pyarrow 0" in result.stdout, result.stdout + result.stderr
