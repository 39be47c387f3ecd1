"""`vexil sweep` and `vexil plot scatter`: measures of many functions to Parquet, and their figures."""

import numpy as np
import pytest
from command_line import run_cli
from conftest import needs_pandas

from vexil_kit import BooleanFunction as BF
from vexil_kit.sweep import random_functions, sweep

try:
    import pandas as pd
except ImportError:
    pd = None

NPN_CLASSES_5 = 616_126


@needs_pandas
@pytest.mark.parametrize(
    "spec, expected",
    [
        ("random:4:50:1", list(random_functions(4, 50, seed=1))),
        ("family:majority:3-7", [BF.majority(n) for n in range(3, 8)]),
        ("family:inner-product:4", [BF.inner_product(4)]),
        ("npn-classes:3", BF.npn_classes(3)),
    ],
)
def test_cli_sweep_writes_the_measures_of_the_functions(tmp_path, spec, expected):
    path = tmp_path / "out.parquet"
    result = run_cli("sweep", "--functions", spec, "--measures", "weight,entropy, minimal_gates", "-o", str(path))
    assert result.returncode == 0, result.stderr
    assert str(path) in result.stdout.decode()
    frame = pd.read_parquet(path)
    pd.testing.assert_frame_equal(frame, sweep(expected, ["weight", "entropy", "minimal_gates"]))


@needs_pandas
def test_cli_sweep_of_the_five_input_classes(tmp_path, class_words):
    path = tmp_path / "classes.parquet"
    result = run_cli(
        "sweep",
        "--functions",
        "five-input-classes",
        "--measures",
        "minimal_gates,entropy,fourier_degree,nonlinearity",
        "-o",
        str(path),
    )
    assert result.returncode == 0, result.stderr
    frame = pd.read_parquet(path)
    assert len(frame) == NPN_CLASSES_5
    assert frame.columns.tolist() == ["hex", "n", "minimal_gates", "entropy", "fourier_degree", "nonlinearity"]
    assert frame["hex"].iloc[-1] == f"0x{int(class_words[-1]):08x}"
    assert frame["minimal_gates"].max() == 12 and (frame["n"] == 5).all()


@needs_pandas
def test_cli_sweep_progress_is_plain_lines_off_a_terminal(tmp_path, capsys, monkeypatch):
    from vexil_kit.cli import progress
    from vexil_kit.cli.main import main

    monkeypatch.setattr(progress, "DELAY", 0.0)  # every report makes a line
    monkeypatch.setattr(progress, "LINE_INTERVAL", 0.0)
    out = str(tmp_path / "r.parquet")
    assert main(["sweep", "--functions", "random:5:3000:1", "--measures", "entropy", "-o", out]) == 0
    captured = capsys.readouterr()
    lines = captured.err.splitlines()
    assert lines and all("\r" not in line and line.startswith("  sweep of 3,000 functions: ") for line in lines)
    assert "100% done (3,000 of 3,000" in lines[-1]
    assert captured.out.startswith(f"wrote {out}: 3,000 functions")


@needs_pandas
@pytest.mark.parametrize(
    "args",
    [
        ("--functions", "random:4", "--measures", "weight"),
        ("--functions", "random:4:x", "--measures", "weight"),
        ("--functions", "family:nope:3-5", "--measures", "weight"),
        ("--functions", "family:majority:5-3", "--measures", "weight"),
        ("--functions", "five-input-classes:3", "--measures", "weight"),
        ("--functions", "npn-classes:5", "--measures", "weight"),
        ("--functions", "npn-classes", "--measures", "weight"),
        ("--functions", "bogus", "--measures", "weight"),
        ("--functions", "random:3:5", "--measures", "not_a_measure"),
        ("--functions", "random:3:5", "--measures", ","),
        ("--functions", "random:40:1000000000", "--measures", "weight"),
    ],
)
def test_cli_sweep_errors_are_one_line_and_status_2(tmp_path, capsys, args):
    from vexil_kit.cli.main import main

    assert main(["sweep", *args, "-o", str(tmp_path / "x.parquet")]) == 2
    captured = capsys.readouterr()
    lines = captured.err.strip().splitlines()
    assert len(lines) == 1 and lines[0].startswith("vexil: error:"), lines
    assert captured.out == "" and not (tmp_path / "x.parquet").exists()


def test_cli_sweep_without_pandas_says_how_to_install(tmp_path):
    result = run_cli(
        "sweep",
        "--functions",
        "random:3:4",
        "--measures",
        "weight",
        "-o",
        str(tmp_path / "x.parquet"),
        without="pandas",
    )
    assert result.returncode == 2
    expected = "sweeps need pandas and pyarrow: pip install pandas pyarrow"
    assert result.stderr.decode().strip() == "vexil: error: " + expected


@pytest.fixture(scope="module")
def sweep_files(tmp_path_factory):
    folder = tmp_path_factory.mktemp("scatter")
    small = folder / "small.parquet"
    large = folder / "large.parquet"
    sweep(random_functions(5, 300, seed=2), ["entropy", "minimal_gates"], out=small)
    sweep(random_functions(4, 12_000, seed=3), ["entropy", "total_influence", "weight"], out=large)
    return small, large


@needs_pandas
@pytest.mark.parametrize("suffix, which", [(".png", 0), (".pdf", 0), (".svg", 0), (".png", 1)])
def test_cli_scatter_writes_a_figure_in_each_format(tmp_path, sweep_files, suffix, which):
    pytest.importorskip("matplotlib")
    out = tmp_path / f"fig{suffix}"
    x, y = ("entropy", "minimal_gates") if which == 0 else ("entropy", "total_influence")
    args = ("plot", "scatter", str(sweep_files[which]), x, y, "-o", str(out))
    if which == 1:  # once as a user runs it
        result = run_cli(*args)
        assert result.returncode == 0, result.stderr
    else:
        from vexil_kit.cli.main import main

        assert main(list(args)) == 0
    data = out.read_bytes()
    assert data.startswith({".png": b"\x89PNG", ".pdf": b"%PDF", ".svg": b"<?xml"}[suffix])
    if suffix == ".png":
        import matplotlib.image

        assert matplotlib.image.imread(str(out)).shape[2] in (3, 4)


@needs_pandas
@pytest.mark.parametrize("rows, hexbin", [(300, False), (12_000, True)])
def test_scatter_turns_into_a_density_for_many_points(tmp_path, sweep_files, monkeypatch, rows, hexbin):
    pytest.importorskip("matplotlib")
    import matplotlib.axes

    from vexil_kit.cli import plot

    drawn = []

    def recording(kind):
        original = getattr(matplotlib.axes.Axes, kind)

        def draw(self, x, y, *args, **kwargs):
            drawn.append((kind, len(x)))
            return original(self, x, y, *args, **kwargs)

        return draw

    for kind in ("hexbin", "scatter"):
        monkeypatch.setattr(matplotlib.axes.Axes, kind, recording(kind))
    path = sweep_files[1] if hexbin else sweep_files[0]
    plot.scatter(str(path), "entropy", "n", str(tmp_path / "f.png"))
    assert drawn == [("hexbin" if hexbin else "scatter", rows)]


@needs_pandas
def test_a_density_centres_hexagons_on_the_values_of_an_integer_column(tmp_path, sweep_files, monkeypatch):
    pytest.importorskip("matplotlib")
    import matplotlib.axes

    from vexil_kit.cli import plot

    cells = []
    original = matplotlib.axes.Axes.hexbin
    monkeypatch.setattr(
        matplotlib.axes.Axes, "hexbin", lambda self, *a, **k: cells.append(original(self, *a, **k)) or cells[-1]
    )
    plot.scatter(str(sweep_files[1]), "entropy", "weight", str(tmp_path / "f.png"))
    centres = cells[0].get_offsets()
    counts = cells[0].get_array()
    weights = pd.read_parquet(sweep_files[1])["weight"]
    # Every weight sits on its own row of hexagons, which together hold every function.
    assert np.allclose(centres[:, 1], np.round(centres[:, 1]))
    assert set(np.round(centres[:, 1]).astype(int).tolist()) == set(weights.tolist())
    assert counts.sum() == len(weights)


@needs_pandas
@pytest.mark.parametrize(
    "x, y, message",
    [("entropy", "nope", "no column 'nope'"), ("hex", "entropy", "not numeric")],
)
def test_cli_scatter_errors_name_the_problem(tmp_path, sweep_files, capsys, x, y, message):
    pytest.importorskip("matplotlib")
    from vexil_kit.cli.main import main

    assert main(["plot", "scatter", str(sweep_files[0]), x, y, "-o", str(tmp_path / "f.png")]) == 2
    assert message in capsys.readouterr().err
    assert main(["plot", "scatter", str(tmp_path / "none.parquet"), "a", "b", "-o", str(tmp_path / "f.png")]) == 2
    assert "no such file" in capsys.readouterr().err
    assert not (tmp_path / "f.png").exists()
