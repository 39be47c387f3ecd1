"""`vexil circuit`: the circuit written computes the function; a time limit reports the bounds."""

import pytest

from vexil_kit import BooleanFunction, Circuit
from vexil_kit.cli.main import main


@pytest.mark.parametrize("basis, gates", [("B2", 4), ("XAG", 4), ("AIG", 4)])
def test_the_listing_has_the_optimum(capsys, basis, gates):
    assert main(["circuit", "majority:3", "--basis", basis]) == 0
    out, err = capsys.readouterr()
    lines = out.splitlines()
    assert lines[0] == "inputs x0 x1 x2" and len(lines) == gates + 2 and lines[-1].startswith("f = ")
    assert f"{gates} gates, optimal" in err
    assert main(["circuit", "majority:3", "--basis", basis, "--format", "bench"]) == 0
    read = Circuit.from_bench(capsys.readouterr().out)
    assert len(read) == gates and read.to_function() == BooleanFunction.majority(3)


def test_dot_output_to_a_file(tmp_path, capsys):
    target = tmp_path / "c.dot"
    assert main(["circuit", "0x8ff7", "--format", "dot", "-o", str(target)]) == 0
    assert target.read_text().startswith("digraph circuit {") and capsys.readouterr().out == ""


def test_a_time_limit_prints_the_bounds(capsys):
    # The AIG of a random five-input function is not proven in a tenth of a second.
    f = BooleanFunction.random(5, seed=2)
    assert main(["circuit", f.to_hex(), "--basis", "AIG", "--time-limit", "0.1"]) == 0
    err = capsys.readouterr().err
    assert "at least" in err and "stopped after" in err


@pytest.mark.parametrize("depth, status", [(3, 0), (2, 2)])
def test_a_depth_bound_is_kept_or_refused(tmp_path, capsys, depth, status):
    target = tmp_path / "m.bench"
    assert main(["circuit", "majority:3", "--basis", "AIG", "--max-depth", str(depth), "-o", str(target)]) == status
    if status == 0:
        written = Circuit.from_bench(target.read_text())
        assert written.depth <= depth and written.to_function() == BooleanFunction.majority(3)
        assert f"within depth {depth}: 4 gates, optimal" in capsys.readouterr().err
    else:
        assert "within depth 2" in capsys.readouterr().err and not target.exists()


@pytest.mark.parametrize(
    "sbox, options",
    [("sbox:PRESENT", ["--basis", "MC"]), ("sbox:[0,1,3,2,7,6,4,5]", []), ("sbox:[3,0,1,2]", ["--max-depth", "2"])],
)
def test_an_sbox_gets_one_circuit_for_all_its_coordinates(tmp_path, capsys, sbox, options):
    from vexil_kit.cli.vectorial import parse

    target = tmp_path / "s.bench"
    assert main(["circuit", sbox, *options, "-o", str(target)]) == 0
    written = Circuit.from_bench(target.read_text())
    assert written.to_function() == parse(sbox)
    assert "optimal" in capsys.readouterr().err
