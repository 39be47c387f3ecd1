"""`vexil circuit improve FILE`: every format read and written, the function kept, Ctrl-C writes the best so far."""

import os
import sys
from pathlib import Path

import numpy as np
import pytest
from children import interrupt
from test_improve import minterm_circuit

from vexil_kit import BooleanFunction, Circuit
from vexil_kit.cli.circuit_improve import read
from vexil_kit.cli.main import main

# A full adder written with a three-AND carry: seven gates in, five out (AIGER writes each XOR as three ANDs).
ADDER = Circuit(
    3, [(6, 0, 1), (6, 3, 2), (8, 0, 1), (8, 0, 2), (8, 1, 2), (14, 5, 6), (14, 8, 7)], outputs=[(4, False), (9, True)]
)

WRITERS = {
    ".bench": lambda c: c.to_bench(),
    ".blif": lambda c: c.to_blif(),
    ".aag": lambda c: c.to_aiger(),
    ".aig": lambda c: c.to_aiger(binary=True),
}


@pytest.mark.parametrize("into", [".bench", ".blif", ".aag", ".aig", ".v", ".txt"])
@pytest.mark.parametrize("source", list(WRITERS))
def test_each_format_in_and_out_keeps_the_function(tmp_path, capsys, source, into):
    path = tmp_path / f"adder{source}"
    written = WRITERS[source](ADDER)
    path.write_bytes(written if isinstance(written, bytes) else written.encode())
    target = tmp_path / f"better{into}"
    assert main(["circuit", "improve", str(path), "-o", str(target)]) == 0
    assert "->" in capsys.readouterr().err
    if into == ".v":
        assert target.read_text().startswith("module circuit")
        return
    if into == ".txt":  # no format of its own: the --format default, the listing
        assert target.read_text().startswith("inputs x0 x1 x2")
        return
    better = read(str(target))
    assert np.array_equal(better.tables(), ADDER.tables())
    assert better.size < ADDER.size or ".aag" in (source, into) or ".aig" in (source, into)


def test_the_basis_defaults_to_the_circuits_own(tmp_path, capsys):
    path = tmp_path / "adder.aag"
    path.write_text(ADDER.to_aiger())
    assert main(["circuit", "improve", str(path)]) == 0
    listing = capsys.readouterr().out
    assert "^" not in listing  # read as an AIG, kept one
    assert main(["circuit", "improve", str(path), "--basis", "XAG"]) == 0
    assert "^" in capsys.readouterr().out


@pytest.mark.parametrize(
    "argv",
    [["circuit", "improve"], ["circuit", "improve", "missing.bench"], ["circuit", "majority:3", "extra.bench"]],
)
def test_bad_command_lines_are_errors(argv, capsys):
    assert main(argv) == 2
    assert "vexil: error:" in capsys.readouterr().err


def test_ctrl_c_writes_the_best_circuit_and_exits_130(tmp_path):
    source = tmp_path / "large.bench"
    circuit = minterm_circuit(BooleanFunction.random(8, seed=3))
    source.write_text(circuit.to_bench())
    target = tmp_path / "out.bench"
    here = Path(__file__).resolve().parent
    code = (
        f"import sys; sys.path[:0] = [{str(here)!r}]\n"
        "from vexil_kit.cli.main import main\n"
        "print('ready', flush=True)\n"
        f"sys.exit(main(['circuit', 'improve', {str(source)!r}, '-o', {str(target)!r}]))\n"
    )
    stopped = interrupt([sys.executable, "-c", code], delay=1.5, env=dict(os.environ))
    assert stopped.status == 130, stopped.err
    assert "interrupted" in stopped.err
    better = read(str(target))
    assert np.array_equal(better.tables(), circuit.tables()) and better.size <= circuit.size
