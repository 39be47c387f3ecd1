"""What a new user meets in the first hour: errors that name the mistake, resumes that take only the same
function's report, and values, times and progress shown plainly."""

import io
import json
import subprocess
import sys

import pytest
from command_line import run_cli

from vexil_kit import BooleanFunction as BF
from vexil_kit import families
from vexil_kit.cli import report
from vexil_kit.cli.main import main
from vexil_kit.cli.progress import ProgressDisplay


def error_of(capsys, *args):
    assert main(list(args)) == 2
    err = capsys.readouterr().err.strip()
    assert err.startswith("vexil: error: ") and "\n" not in err, err
    return err


# -- errors name the mistake --------------------------------------------------------------------------


@pytest.mark.parametrize(
    "args, expected",
    [
        (["report", "majorty:9"], "unknown family 'majorty' (did you mean majority?)"),
        (["report", "inner-prodct:6"], "(did you mean inner-product?)"),
        (["report", "x0 & x1"], "looks like an expression: write expr:'x0 & x1'"),
        (["report", "number:300:3"], "NUMBER 300 needs 9 bits; a table of 3 variables has 8"),
        (["report", "tribes:3"], "tribes takes 2 arguments, tribes:WIDTH:COUNT, not 1"),
        (["report", "majority:5", "--only", ""], "--only takes comma-separated measure names"),
        (["report", "majority:5", "--only", "entropy,"], "--only takes comma-separated measure names"),
        (["report", "majority:5", "--only", "entropi"], "unknown measure 'entropi' (did you mean entropy?)"),
        (["report", "majority:5", "--only", "nonlinearty"], "(did you mean nonlinearity?)"),
        (
            ["sweep", "--functions", "family:tribes:3-5", "--measures", "weight", "-o", "x.parquet"],
            "tribes takes 2 arguments (tribes:WIDTH:COUNT)",
        ),
        (
            ["sweep", "--functions", "family:majorty:3-5", "--measures", "weight", "-o", "x.parquet"],
            "unknown family 'majorty' (did you mean majority?)",
        ),
        (["sweep", "--functions", "randon:3:4", "--measures", "weight", "-o", "x.parquet"], "(did you mean random?)"),
        (
            ["sweep", "--functions", "random:3:4", "--measures", "entropi", "-o", "x.parquet"],
            "unknown measure 'entropi' (did you mean entropy?)",
        ),
        (
            ["sweep", "--functions", "random:3:4", "--measures", "", "-o", "x.parquet"],
            "--measures takes comma-separated measure names",
        ),
    ],
)
def test_errors_name_what_was_wrong_in_a_short_line(capsys, tmp_path, monkeypatch, args, expected):
    pytest.importorskip("pandas") if args[0] == "sweep" else None
    monkeypatch.chdir(tmp_path)
    err = error_of(capsys, *args)
    assert expected in err
    assert len(err) < 250, err


def test_numbers_that_fit_the_table_are_still_read(capsys):
    assert main(["report", "number:255:3", "--only", "weight"]) == 0
    assert "weight" in capsys.readouterr().out


def test_a_family_range_is_checked_whole_before_any_member_is_built(capsys, tmp_path, monkeypatch):
    pytest.importorskip("pandas")
    built = []
    original = families.FAMILIES["majority"]
    monkeypatch.setitem(
        families.FAMILIES, "majority", original._replace(build=lambda n: built.append(n) or original.build(n))
    )
    err = error_of(
        capsys,
        "sweep",
        "--functions",
        "family:majority:3-100",
        "--measures",
        "weight",
        "-o",
        str(tmp_path / "m.parquet"),
    )
    assert "majority:100 would have 100 variables" in err
    assert built == []


def test_a_build_that_runs_out_of_memory_names_the_size(capsys, monkeypatch):
    def no_memory(n):
        raise MemoryError()  # as an allocation that fails gives it: no text

    monkeypatch.setitem(families.FAMILIES, "clique", families.FAMILIES["clique"]._replace(build=no_memory))
    err = error_of(capsys, "report", "clique:9")
    assert "cannot build clique:9 (45 variables, a table of 2**45 entries (32 TiB unpacked))" in err
    assert ": ;" not in err


# -- resuming ------------------------------------------------------------------------------------------


def json_report(*args):
    result = run_cli("report", *args, "--json")
    assert result.returncode == 0, result.stderr
    return result.stdout.decode()


def test_a_resume_is_refused_for_another_function_with_the_same_sizes(tmp_path):
    path = tmp_path / "m5.jsonl"
    path.write_text(json_report("majority:5", "--only", "entropy"))
    # xor(5) has the label, variables, entries and weight a hand-edited header could copy; not the table.
    header = json.loads(path.read_text().splitlines()[0])
    assert header["sha256"] == report.fingerprint(BF.majority(5))
    result = run_cli("report", "xor:5", "--json", "--resume", str(path))
    assert result.returncode == 2
    assert f"{path} is a report of majority:5, not of xor:5" in result.stderr.decode()


@pytest.mark.parametrize(
    "measure, bad",
    [
        ("entropy", "high"),
        ("weight", 2.5),
        ("is_balanced", 1),
        ("fragmentation_spectrum", [0.5, "x"]),
        ("npn_representant", 7),
        ("fragmentation_peak", [1]),
    ],
)
def test_resumed_values_of_the_wrong_kind_are_computed_again(tmp_path, measure, bad):
    f = BF.majority(5)
    lines = [report.header_line("majority:5", f), {"measure": measure, "status": "ok", "value": bad, "seconds": 1.0}]
    path = tmp_path / "r.jsonl"
    path.write_text("".join(json.dumps(line) + "\n" for line in lines))
    assert report.earlier_outcomes(str(path), "majority:5", f) == {}
    lines[1]["value"] = json.loads(json.dumps(report.Outcome(measure, "ok", _value(f, measure)).as_json()))["value"]
    path.write_text("".join(json.dumps(line) + "\n" for line in lines))
    assert list(report.earlier_outcomes(str(path), "majority:5", f)) == [measure]


def _value(f, measure):
    from vexil_kit.cli.measures import BY_NAME, Computation

    return BY_NAME[measure].compute(Computation(f), None)


@pytest.mark.parametrize("mode", ["w", "a"])
def test_resume_refuses_the_file_the_command_writes_to(tmp_path, mode):
    path = tmp_path / "m5.jsonl"
    good = json_report("majority:5", "--only", "entropy")
    path.write_text(good)
    with open(path, mode) as out:
        result = subprocess.run(
            [sys.executable, "-m", "vexil_kit.cli", "report", "majority:5", "--json", "--resume", str(path)],
            stdout=out,
            stderr=subprocess.PIPE,
            timeout=120,
        )
    assert result.returncode == 2
    assert f"{path} is where this command writes its report" in result.stderr.decode()
    if mode == "a":
        assert path.read_text() == good  # nothing appended: one header still


def test_resume_from_a_binary_file_names_the_file(capsys):
    err = error_of(capsys, "report", "majority:3", "--resume", sys.executable)
    assert sys.executable in err and "codec" not in err


def test_a_measure_named_twice_is_computed_once(capsys):
    assert main(["report", "majority:5", "--json", "--only", "entropy,entropy,weight,weight"]) == 0
    lines = [json.loads(line) for line in capsys.readouterr().out.splitlines()[1:]]
    assert [line["measure"] for line in lines] == ["entropy", "weight"]


# -- presentation --------------------------------------------------------------------------------------


@pytest.mark.parametrize(
    "seconds, shown",
    [(4.2e-7, "0 µs"), (4.2e-5, "42 µs"), (0.0123, "12.3 ms"), (0.5, "500 ms"), (2.25, "2.25 s"), (1234.0, "1,234 s")],
)
def test_times_are_shown_in_the_unit_that_suits_them(seconds, shown):
    assert report.duration(seconds) == shown


def test_negative_zero_is_shown_as_zero_and_kept_in_json():
    shown = report._row(report.Outcome("x", report.OK, [-0.0, 1.5, -0.0], 0.001), False)
    assert "[0.0, 1.5, 0.0]" in shown and "-0.0" not in shown
    assert json.dumps(report.Outcome("x", report.OK, -0.0).as_json()["value"]) == "-0.0"


class Terminal(io.StringIO):
    def isatty(self):
        return True


@pytest.mark.parametrize("terminal", [True, False])
def test_progress_counts_whole_units_by_name(monkeypatch, terminal):
    from vexil_kit.cli import progress

    monkeypatch.setattr(progress, "DELAY", 0.0)
    monkeypatch.setattr(progress, "LINE_INTERVAL", 0.0)
    stream = Terminal() if terminal else io.StringIO()
    display = ProgressDisplay(stream)
    with display.measure("sweep", unit="function") as update:
        update(57, 64)
    text = stream.getvalue()
    assert ("57/64 functions" if terminal else "57 of 64 functions") in text, text
    assert "57.0" not in text


@pytest.mark.parametrize("spec", ["majority:5", "0xFEE8E880", "0xfee8e880"])
def test_hex_is_read_in_either_case_and_written_as_to_hex_writes_it(capsys, spec):
    assert main(["report", spec, "--json", "--only", "npn_representant"]) == 0
    value = json.loads(capsys.readouterr().out.splitlines()[1])["value"]
    expected = BF.majority(5).npn_representant().to_hex()
    assert value == expected == expected.lower()
