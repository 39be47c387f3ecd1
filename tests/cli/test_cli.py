"""The `vexil` command, run as a user runs it."""

import json
import os
import subprocess
import sys

import pytest
from command_line import run_cli
from conftest import Vexil

from vexil_kit import BooleanFunction as BF
from vexil_kit.cli import report

ENV = dict(os.environ)


def json_lines(stdout):
    """The header and the measure lines of a --json report, by measure name."""
    lines = [json.loads(line) for line in stdout.decode().splitlines()]
    return lines[0], {line["measure"]: line for line in lines[1:]}


def values_of(stdout):
    return {name: line["value"] for name, line in json_lines(stdout)[1].items() if line["status"] == "ok"}


def test_report_lists_measures_with_values_and_times():
    result = run_cli("report", "majority:3")
    assert result.returncode == 0, result.stderr
    lines = result.stdout.decode().splitlines()
    assert lines[0].startswith("majority:3: 3 variables, 4 of 8 entries true")
    rows = {line.split()[0]: line for line in lines[2:]}
    assert rows["entanglement"].split()[1] == "5"
    assert rows["mean_sensitivity"].split()[1] == "1.5"
    assert rows["minimal_gates"].split()[1] == "4"
    assert all(row.rstrip().endswith(("µs", "ms", " s")) for name, row in rows.items() if name != "npn_representant")
    assert rows["npn_representant"].split(None, 1)[1].startswith("not applicable: five-variable functions only")


@pytest.mark.parametrize(
    "spec, table",
    [
        ("0x69969669", [bool(0x69969669 >> i & 1) for i in range(32)]),
        ("0x8", [False, False, False, True]),
        ("01101001", [c == "1" for c in "01101001"]),
        ("number:105:3", Vexil.from_number(105, 3).repr()),
        ("parity:3", Vexil.parity(3).repr()),
        ("sum-is-prime:2", Vexil.sum_is_prime(2).repr()),
        ("xor:5", BF.xor(5).table.tolist()),
        ("tribes:3:4", BF.tribes(3, 4).table.tolist()),
        ("threshold:6:2", BF.threshold(6, 2).table.tolist()),
        ("inner-product:4", BF.inner_product(4).table.tolist()),
        ("address:2", BF.address(2).table.tolist()),
        ("dictator:3:1", BF.dictator(3, 1).table.tolist()),
        ("constant:2:1", [True] * 4),
        ("expr:x0 & x1 ^ ~x2", BF.from_expression("x0 & x1 ^ ~x2").table.tolist()),
        ("expr:(x3 | x1) & 1", BF.from_expression("(x3 | x1) & 1").table.tolist()),
    ],
)
def test_function_forms(spec, table):
    result = run_cli("report", spec, "--json", "--only", "size,frontier_size")
    assert result.returncode == 0, result.stderr
    values = values_of(result.stdout)
    expected = Vexil(table)
    assert values == {"size": expected.size(), "frontier_size": expected.frontier_size()}


def test_encoded_functions_from_files_and_standard_input(tmp_path):
    f = Vexil.majority(4)
    path = tmp_path / "f.bin"
    path.write_bytes(f.encode())
    for args, stdin in ((("@" + str(path),), None), (("-",), f.encode())):
        result = run_cli("report", *args, "--json", "--only", "max_frontier_size", stdin=stdin)
        assert result.returncode == 0, result.stderr
        assert values_of(result.stdout) == {"max_frontier_size": f.max_frontier_size()}


def test_five_input_functions_get_their_circuit_answers():
    result = run_cli("report", "0x69969669", "--json")
    values = values_of(result.stdout)
    assert values["minimal_gates"] == 4
    assert values["npn_representant"] == "0x69969669"


@pytest.mark.parametrize(
    "args",
    [
        ("report", "banana:3"),
        ("report", "0x123"),
        ("report", "011"),
        ("report", "majority:x"),
        ("report", "clique:11"),
        ("report", "@/nonexistent/file"),
        ("report", "parity:2", "--only", "nonsense"),
        ("report", "tribes:3"),
        ("report", "expr:x0 &"),
        ("report", "majority:3", "--resume", "/nonexistent/file"),
        ("plot", "spectrum", "parity:2", "-o", "x.jpg"),
        ("plot", "table", "parity:2", "--vars", "0,0", "-o", "x.png"),
    ],
)
def test_errors_are_one_line_and_status_2(args):
    result = run_cli(*args)
    assert result.returncode == 2
    err = result.stderr.decode()
    assert err.startswith("vexil: error: ") and err.count("\n") == 1 and "Traceback" not in err


def test_plot_without_matplotlib_says_how_to_install(tmp_path):
    result = run_cli("plot", "spectrum", "parity:3", "-o", str(tmp_path / "s.png"), without="matplotlib")
    assert result.returncode == 2
    assert b"pip install" in result.stderr


def run_cli_closing(fds, *args):
    """Runs the command with the standard descriptors `fds` closed, as `N>&-` does in a shell."""
    closing = " ".join(f"{fd}>&-" for fd in fds)
    return subprocess.run(
        ["sh", "-c", f'exec "$0" -m vexil_kit.cli "$@" {closing}', sys.executable, *args],
        capture_output=True,
        env=ENV,
        timeout=120,
    )


@pytest.mark.parametrize("fds", [(1,), (1, 2)])
def test_a_report_with_standard_output_closed_ends_quietly_with_status_2(fds):
    result = run_cli_closing(fds, "report", "majority:12")
    assert (result.returncode, result.stderr) == (2, b"")


def test_with_standard_error_closed_an_error_still_ends_with_status_2():
    result = run_cli_closing((2,), "report", "nonsense:3")
    assert (result.returncode, result.stdout) == (2, b"")


def test_reading_a_closed_standard_input_is_an_error():
    result = run_cli_closing((0,), "report", "-")
    assert (result.returncode, result.stderr) == (2, b"vexil: error: standard input is closed\n")


@pytest.mark.parametrize("how", ["closed", "reader gone"])
def test_a_long_report_completes_when_standard_error_is_unusable(how):
    # Progress goes to standard error once a measure has run for a second.
    args = [sys.executable, "-m", "vexil_kit.cli", "report", "majority:20", "--only", "entropy"]
    if how == "closed":
        result = run_cli_closing((2,), *args[3:])
        status, out = result.returncode, result.stdout
    else:
        process = subprocess.Popen(args, env=ENV, stdout=subprocess.PIPE, stderr=subprocess.PIPE)
        process.stderr.close()
        out, _ = process.communicate(timeout=120)
        status = process.returncode
    assert status == 0
    row = out.decode().splitlines()[-1].split()
    assert row[0] == "entropy" and row[-1] in ("µs", "ms", "s")
    if row[-1] != "s":
        pytest.skip("the measure ended before progress is shown")


def test_a_long_measure_shows_plain_progress_lines_off_a_terminal():
    result = run_cli("report", "majority:19", "--only", "fragmentation_spectrum")
    assert result.returncode == 0, result.stderr
    err = result.stderr.decode()
    assert "\r" not in err
    lines = err.splitlines()
    assert lines, "a measure of over a second shows its progress"
    shares = [int(line.split("% done")[0].rsplit(" ", 1)[1]) for line in lines]
    assert all(line.startswith("  fragmentation_spectrum: ") and "steps/s" in line for line in lines), lines
    assert shares == sorted(shares) and shares[-1] <= 100


def test_a_long_measure_shows_a_bar_on_a_terminal():
    import pty

    controller, terminal = pty.openpty()
    try:
        process = subprocess.Popen(
            [sys.executable, "-m", "vexil_kit.cli", "report", "majority:19", "--only", "fragmentation_spectrum"],
            env=ENV,
            stdout=subprocess.PIPE,
            stderr=terminal,
        )
        os.close(terminal)
        shown = b""
        while True:
            try:
                chunk = os.read(controller, 4096)
            except OSError:  # the child closed its end
                break
            if not chunk:
                break
            shown += chunk
        out, _ = process.communicate(timeout=120)
    finally:
        os.close(controller)
    assert process.returncode == 0
    assert out.decode().splitlines()[-1].startswith("fragmentation_spectrum")
    assert b"fragmentation_spectrum:" in shown and b"%|" in shown and b"\r" in shown, shown[-300:]


def test_json_lines_stream_while_the_report_runs():
    process = subprocess.Popen(
        [
            sys.executable,
            "-m",
            "vexil_kit.cli",
            "report",
            "majority:20",
            "--json",
            "--only",
            "n_vars,fragmentation_spectrum",
        ],
        env=ENV,
        stdout=subprocess.PIPE,
        stderr=subprocess.DEVNULL,
    )
    try:
        header = json.loads(process.stdout.readline())
        first = json.loads(process.stdout.readline())
        running = process.poll() is None
        rest, _ = process.communicate(timeout=300)
    finally:
        if process.poll() is None:
            process.kill()
    assert header == {
        "function": "majority:20",
        "variables": 20,
        "entries": 2**20,
        "true_entries": BF.majority(20).weight(),
        "sha256": report.fingerprint(BF.majority(20)),
    }
    assert first["measure"] == "n_vars" and first["value"] == 20 and first["status"] == "ok"
    assert running, "the first measure's line arrives while the spectrum is computed"
    last = json.loads(rest)
    assert last["measure"] == "fragmentation_spectrum" and len(last["value"]) == 21


def test_a_measure_that_does_not_apply_does_not_stop_the_others():
    result = run_cli("report", "parity:2", "--json", "--only", "npn_representant,entanglement,minimal_gates")
    assert result.returncode == 0, result.stderr
    lines = json_lines(result.stdout)[1]
    assert lines["npn_representant"]["status"] == "not applicable"
    assert "five-variable" in lines["npn_representant"]["reason"]
    assert lines["entanglement"] == {**lines["entanglement"], "status": "ok", "value": Vexil.parity(2).entanglement()}
    assert lines["minimal_gates"]["value"] == 1


def test_a_failed_measure_is_reported_and_the_others_still_run(monkeypatch, capsys):
    from vexil_kit.cli import main, measures

    def fail(computation, report):
        raise MemoryError("the computation needs 64.0 GiB of working memory; 1.0 GiB can be had")

    monkeypatch.setitem(measures.BY_NAME, "entropy", measures.Measure("entropy", fail))
    status = main(["report", "majority:5", "--json", "--only", "n_vars,entropy,degree"])
    captured = capsys.readouterr()
    lines = json_lines(captured.out.encode())[1]
    assert status == 1
    assert lines["entropy"]["status"] == "failed"
    assert "needs 64.0 GiB" in lines["entropy"]["error"] and "can be had" in lines["entropy"]["error"]
    # degree is an alias: the line carries the measure's own name.
    assert lines["n_vars"]["value"] == 5 and lines["fourier_degree"]["value"] == Vexil.majority(5).degree()
    assert captured.err == "vexil: 1 of 3 measures failed (entropy); the others are reported\n"


def test_a_resumed_report_computes_only_what_is_missing(tmp_path):
    earlier = tmp_path / "earlier.jsonl"
    first = run_cli("report", "majority:9", "--json", "--only", "n_vars,entropy,degree")
    lines = first.stdout.decode().splitlines()
    # Killed while writing the third line: the header, one measure and a cut line remain.
    earlier.write_text("\n".join(lines[:2]) + "\n" + lines[2][:10])
    resumed = run_cli("report", "majority:9", "--json", "--only", "n_vars,entropy,degree", "--resume", str(earlier))
    assert resumed.returncode == 0, resumed.stderr
    assert resumed.stdout.decode().splitlines()[:2] == lines[:2]  # n_vars taken over, its time included
    assert values_of(resumed.stdout) == values_of(first.stdout)
    other = run_cli("report", "majority:7", "--json", "--resume", str(earlier))
    assert other.returncode == 2 and b"is a report of majority:9, not of majority:7" in other.stderr


def test_the_version_is_that_of_the_distribution():
    import importlib.metadata

    result = run_cli("--version")
    assert result.returncode == 0
    assert result.stdout.decode().strip() == f"vexil {importlib.metadata.version('vexil')}"


def test_a_table_too_large_says_how_much_memory_it_needs():
    result = run_cli("report", "majority:40")
    assert result.returncode == 2
    err = result.stderr.decode()
    assert (
        err.startswith(
            "vexil: error: cannot build majority:40 (40 variables, a table of 2**40 entries (1 TiB "
            "unpacked)): the computation needs 1.0 TiB"
        )
        and "can be had" in err
    )


@pytest.mark.parametrize("suffix", [".png", ".pdf", ".svg"])
@pytest.mark.parametrize(
    "figure", [("spectrum", "majority:6"), ("table", "majority:6", "--vars", "0"), ("table", "xor:4", "--vars", "0,2")]
)
def test_figures_are_written_in_each_format(tmp_path, suffix, figure):
    pytest.importorskip("matplotlib")
    out = tmp_path / f"figure{suffix}"
    result = run_cli("plot", *figure, "-o", str(out))
    assert result.returncode == 0, result.stderr
    data = out.read_bytes()
    if suffix == ".png":
        import matplotlib.image

        assert matplotlib.image.imread(str(out)).shape[2] in (3, 4)
    elif suffix == ".pdf":
        assert data.startswith(b"%PDF-") and data.rstrip().endswith(b"%%EOF")
    else:
        import xml.etree.ElementTree as ElementTree

        assert ElementTree.fromstring(data).tag.endswith("svg")


def test_the_table_figure_lays_restrictions_out_by_assignment():
    from vexil_kit.cli.plot import _layout

    f = BF.from_expression("x0 & x1 ^ x2 | x3")
    table = _layout(f, [0, 1], [2, 3])
    for r in range(4):
        for c in range(4):
            assert table[r, c] == f(r | c << 2)
    assert _layout(f, [2], [0, 1, 3]).shape == (2, 8)


def test_the_list_of_measures_read_by_head_ends_quietly():
    result = subprocess.run(
        f"{sys.executable} -m vexil_kit.cli report --list-measures | head -1",
        shell=True,
        capture_output=True,
        timeout=120,
    )
    assert result.stdout.decode() == "basic:\n"
    assert result.stderr.decode() == ""
