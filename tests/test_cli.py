"""The `vexil` command, run as a user runs it."""

import json
import os
import signal
import subprocess
import sys
import time

import pytest

from conftest import Vexil

ENV = dict(os.environ)


def run_cli(*args, stdin=None):
    return subprocess.run(
        [sys.executable, "-m", "vexil_kit.cli", *args], input=stdin, capture_output=True, env=ENV, timeout=120
    )


def test_report_lists_measures_with_values_and_times():
    result = run_cli("report", "majority:3")
    assert result.returncode == 0, result.stderr
    lines = result.stdout.decode().splitlines()
    assert lines[0].startswith("majority:3: 3 variables, 4 of 8 entries true")
    rows = {line.split()[0]: line for line in lines[2:]}
    assert rows["entanglement"].split()[1] == "5"
    assert rows["mean_sensitivity"].split()[1] == "1.5"
    assert all(row.rstrip().endswith("ms") for row in rows.values())
    assert "minimal_gates" not in rows


@pytest.mark.parametrize(
    "spec, table",
    [
        ("0x69969669", [bool(0x69969669 >> i & 1) for i in range(32)]),
        ("0x8", [False, False, False, True]),
        ("01101001", [c == "1" for c in "01101001"]),
        ("number:105:3", Vexil.from_number(105, 3).repr()),
        ("parity:3", Vexil.parity(3).repr()),
        ("sum-is-prime:2", Vexil.sum_is_prime(2).repr()),
    ],
)
def test_function_forms(spec, table):
    result = run_cli("report", spec, "--json", "--only", "size,frontier_size")
    assert result.returncode == 0, result.stderr
    values = {m["name"]: m["value"] for m in json.loads(result.stdout)["measures"]}
    expected = Vexil(table)
    assert values == {"size": expected.size(), "frontier_size": expected.frontier_size()}


def test_encoded_functions_from_files_and_standard_input(tmp_path):
    f = Vexil.majority(4)
    path = tmp_path / "f.bin"
    path.write_bytes(f.encode())
    for args, stdin in ((("@" + str(path),), None), (("-",), f.encode())):
        result = run_cli("report", *args, "--json", "--only", "max_frontier_size", stdin=stdin)
        assert result.returncode == 0, result.stderr
        assert json.loads(result.stdout)["measures"][0]["value"] == f.max_frontier_size()


def test_five_input_functions_get_their_circuit_answers():
    result = run_cli("report", "0x69969669", "--json")
    values = {m["name"]: m["value"] for m in json.loads(result.stdout)["measures"]}
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
        ("report", "parity:2", "--only", "minimal_gates"),
        ("plot", "table", "parity:2", "--vars", "0,0", "-o", "x.png"),
    ],
)
def test_errors_are_one_line_and_status_2(args):
    result = run_cli(*args)
    assert result.returncode == 2
    err = result.stderr.decode()
    assert err.startswith("vexil: error: ") and err.count("\n") == 1 and "Traceback" not in err


def test_ctrl_c_exits_130_without_traceback():
    process = subprocess.Popen(
        [sys.executable, "-m", "vexil_kit.cli", "report", "majority:26", "--only", "entropy"],
        env=ENV,
        stdout=subprocess.PIPE,
        stderr=subprocess.PIPE,
    )
    time.sleep(3)
    process.send_signal(signal.SIGINT)
    _, err = process.communicate(timeout=30)
    assert process.returncode == 130
    assert b"Traceback" not in err


def test_plot_spectrum_writes_a_figure(tmp_path):
    pytest.importorskip("matplotlib")
    out = tmp_path / "s.png"
    result = run_cli("plot", "spectrum", "majority:5", "-o", str(out))
    assert result.returncode == 0, result.stderr
    assert out.read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"


def test_plot_without_matplotlib_says_how_to_install(tmp_path):
    blocker = tmp_path / "block"
    blocker.mkdir()
    (blocker / "matplotlib.py").write_text("raise ImportError('blocked')\n")
    env = dict(ENV, PYTHONPATH=os.pathsep.join([str(blocker), ENV.get("PYTHONPATH", "")]))
    result = subprocess.run(
        [sys.executable, "-m", "vexil_kit.cli", "plot", "spectrum", "parity:3", "-o", str(tmp_path / "s.png")],
        capture_output=True,
        env=env,
        timeout=60,
    )
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
    assert row[0] == "entropy" and row[-1] == "ms"
    if float(row[-2]) < 1000:
        pytest.skip("the measure ended before progress is shown")


def test_a_long_measure_shows_its_share_done():
    result = run_cli("report", "majority:18", "--only", "fragmentation_spectrum")
    assert result.returncode == 0, result.stderr
    shown = [part for part in result.stderr.decode().split("\r") if part.strip()]
    assert shown, "a measure of over a second shows its progress"
    shares = [int(part.split("...")[1].split("%")[0]) for part in shown]
    assert all(part.startswith("  computing fragmentation_spectrum ...") for part in shown), shown
    assert shares == sorted(shares) and 0 <= shares[0] and shares[-1] <= 100
