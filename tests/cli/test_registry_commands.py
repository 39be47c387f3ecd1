"""The command line reads the one registry for both subjects: a report row applies where the method
answers (the symmetric path beyond the variable limit), the listing names every measure of both
subjects, and `vexil sweep` sweeps S-boxes as it sweeps functions."""

import json

import pytest
from conftest import needs_pandas

from vexil_kit import BooleanFunction as BF
from vexil_kit import registry
from vexil_kit.cli.main import main


def report_lines(capsys, *arguments):
    assert main(["report", *arguments, "--json"]) == 0
    lines = [json.loads(line) for line in capsys.readouterr().out.splitlines()]
    return {line["measure"]: line for line in lines[1:]}


@pytest.mark.parametrize(
    "spec, f, name",
    [
        ("disjunction:20", BF.disjunction(20), "approximate_degree"),
        ("majority:13", BF.majority(13), "threshold_degree"),
    ],
)
def test_a_report_answers_where_the_method_does(capsys, spec, f, name):
    line = report_lines(capsys, spec, "--only", name)[name]
    assert line["status"] == "ok" and line["value"] == getattr(f, name)()


def test_a_report_refuses_where_the_method_does(capsys):
    f = BF.random(11, seed=1)
    line = report_lines(capsys, f.to_hex(), "--only", "approximate_degree,minimal_gates")
    assert {v["status"] for v in line.values()} == {"not applicable"}
    assert line["approximate_degree"]["reason"] == registry.MEASURES["approximate_degree"].excludes(f)
    with pytest.raises(ValueError):
        f.approximate_degree()


def test_the_listing_names_every_measure_of_both_subjects(capsys):
    with pytest.raises(SystemExit):
        main(["report", "--list-measures"])
    listed = {line.split()[0] for line in capsys.readouterr().out.splitlines() if line.startswith("  ")}
    for info in registry.TABLE:
        assert (info.name in listed) == (info.kind != "table" and not info.parameters), info.name


@needs_pandas
@pytest.mark.parametrize("suffix", [".parquet", ".csv"])
def test_the_sweep_command_sweeps_sboxes(tmp_path, capsys, suffix):
    import pandas as pd

    from vexil_kit.sweeps import random_permutations, sweep

    path = tmp_path / f"boxes{suffix}"
    names = "differential_uniformity,is_apn,cycle_type"
    assert main(["sweep", "--functions", "random-permutations:4:6:2", "--measures", names, "-o", str(path)]) == 0
    assert "6 S-boxes" in capsys.readouterr().out
    written = pd.read_parquet(path) if suffix == ".parquet" else pd.read_csv(path)
    expected = sweep(random_permutations(4, 6, seed=2), names.split(","), out=tmp_path / f"again{suffix}")
    pd.testing.assert_frame_equal(written, expected)
    assert main(["sweep", "--functions", "catalogue-sboxes", "--measures", "ddt", "-o", str(path)]) == 2
