"""No dead end in the first hour: install lines that name packages which exist, the `sbox` command and
the plot kinds, a listing of the measures that is the registry's, progress and Ctrl-C in sweeps."""

import io
import json
import os
import re
import subprocess
import sys
from pathlib import Path

import numpy as np
import pytest
from command_line import run_cli
from conftest import needs_pandas

from vexil_kit import BooleanFunction as BF
from vexil_kit import VectorialFunction as VF
from vexil_kit.cli import measures as report_measures
from vexil_kit.cli import sbox as sbox_command
from vexil_kit.cli.main import main

ROOT = Path(__file__).resolve().parents[2]
PAGES = [ROOT / "README.md", *sorted((ROOT / "docs").glob("*.md"))]
SOURCES = sorted((ROOT / "python" / "vexil_kit").rglob("*.py"))

# -- install lines ------------------------------------------------------------------------------------


@pytest.mark.parametrize("path", PAGES + SOURCES, ids=lambda p: str(p.relative_to(ROOT)))
def test_no_page_or_message_installs_a_package_the_index_lacks_or_rebuilds(path):
    text = path.read_text()
    assert "vexil[" not in text, "the index has no package vexil: name the packages"
    for line in text.splitlines():
        if re.search(r"pip install [^`]*'\.\[", line):
            assert "--no-build-isolation" in line, f"an extra from the checkout rebuilds everything: {line}"


@pytest.mark.parametrize(
    "args, without, expected",
    [
        (("plot", "fragmentation", "parity:3", "-o", "{tmp}/s.png"), "matplotlib", "pip install matplotlib"),
        (
            ("sweep", "--functions", "random:3:4", "--measures", "weight", "-o", "{tmp}/x.csv"),
            "pandas",
            "pip install pandas pyarrow",
        ),
        (
            ("sweep", "--functions", "random:3:4", "--measures", "weight", "-o", "{tmp}/x.csv", "--scheduler", "a:1"),
            "distributed",
            "pip install 'dask[distributed]'",
        ),
    ],
)
def test_a_missing_package_is_named_in_a_line_that_installs_it(tmp_path, args, without, expected):
    if without == "distributed":
        pytest.importorskip("pandas")
    result = run_cli(*(a.replace("{tmp}", str(tmp_path)) for a in args), without=without)
    assert result.returncode == 2
    assert expected in result.stderr.decode(), result.stderr


@pytest.mark.parametrize("measure", ["entropy", "fragmentation_spectrum", "entanglement_sets"])
def test_the_cluster_without_dask_says_what_to_install(measure):
    code = (
        "import sys; sys.modules['dask'] = None; sys.modules['dask.distributed'] = None\n"
        "from vexil_kit import BooleanFunction, cluster\n"
        "try:\n"
        f"    cluster.{measure}(BooleanFunction.majority(3))\n"
        "except ImportError as error:\n    print('ImportError:', error)\n"
    )
    result = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, timeout=120)
    assert "ImportError: vexil_kit.cluster needs Dask: pip install 'dask[distributed]'" in result.stdout, (
        result.stdout + result.stderr
    )


# -- vexil sbox ----------------------------------------------------------------------------------------

BOXES = {"sbox:PRESENT": VF.named("PRESENT"), "sbox:[0,1,3,6,7,4,5,2]": VF([0, 1, 3, 6, 7, 4, 5, 2])}


def _read(path, form):
    if form == "npy":
        return np.load(path)
    if form == "json":
        return np.array(json.loads(Path(path).read_text()))
    return np.loadtxt(path, delimiter=",", dtype=np.int64, ndmin=2)


@pytest.mark.parametrize("form", sbox_command.FORMATS)
@pytest.mark.parametrize("table", sbox_command.tables())
@pytest.mark.parametrize("label", BOXES)
def test_sbox_writes_the_table_the_method_gives(tmp_path, capsys, label, table, form):
    output = tmp_path / f"t.{form}"
    assert main(["sbox", table, label, "--format", form, "-o", str(output)]) == 0
    assert capsys.readouterr().out == f"wrote {output}\n"
    expected = getattr(BOXES[label], table)()
    written = _read(output, form)
    assert written.shape == expected.shape and np.array_equal(written, expected)


@pytest.mark.parametrize("form", ["csv", "json"])
def test_sbox_without_an_output_writes_to_standard_output(capsys, form):
    assert main(["sbox", "ddt", "sbox:PRESENT", "--format", form]) == 0
    text = capsys.readouterr().out
    expected = VF.named("PRESENT").ddt()
    table = np.array(json.loads(text)) if form == "json" else np.loadtxt(io.StringIO(text), delimiter=",")
    assert np.array_equal(table, expected)


@pytest.mark.parametrize(
    "args, expected",
    [
        (["sbox", "dtt", "sbox:PRESENT"], "unknown S-box table 'dtt' (did you mean ddt?)"),
        (["sbox", "walsh", "sbox:PRESENT"], "(did you mean walsh_table?)"),
        (["sbox", "linearity", "sbox:PRESENT"], "'linearity' (a value, not a table: vexil report --only)"),
        (["sbox", "bct", "sbox:DES-S1"], "bct of sbox:DES-S1: permutations only"),
        (["sbox", "ddt", "sbox:PRESNT"], "PRESNT"),
        (["sbox", "ddt", "majority:3"], "is not an S-box; write sbox:NAME"),
    ],
)
def test_sbox_errors_name_the_mistake(capsys, args, expected):
    assert main(args) == 2
    err = capsys.readouterr().err.strip()
    assert err.startswith("vexil: error: ") and "\n" not in err and expected in err, err


# -- vexil plot, vexil --help ------------------------------------------------------------------------


@pytest.mark.parametrize("kind", ["fragmentation", "spectrum", "walsh"])
def test_plot_kinds_draw_their_figure(tmp_path, capsys, kind):
    pytest.importorskip("matplotlib")
    output = tmp_path / "figure.svg"
    assert main(["plot", kind, "majority:5", "-o", str(output)]) == 0
    assert output.read_text().lstrip().startswith(("<?xml", "<svg"))


def test_help_lists_every_command_and_the_sbox_form(capsys):
    with pytest.raises(SystemExit):
        main(["--help"])
    text = capsys.readouterr().out
    for command in ("report", "sweep", "plot", "circuit", "sbox"):
        assert f"vexil {command} " in text
    assert "sbox:NAME" in text and "fragmentation" in text and "walsh" in text


def test_the_cli_page_lists_the_measures_the_registry_reports():
    page = ROOT / "docs" / "cli.md"
    text = page.read_text()
    pattern = re.compile(r"(<!-- measures: begin -->\n)(.*?)(<!-- measures: end -->)", re.S)
    listed = pattern.search(text)
    assert listed is not None
    generated = report_measures.markdown() + "\n"
    if os.environ.get("VEXIL_WRITE_MEASURES") == "1":
        page.write_text(pattern.sub(lambda m: m.group(1) + generated + m.group(3), text))
        return
    assert listed.group(2) == generated
    names = re.findall(r"^\| `(\w+)` \|", listed.group(2), re.M)
    assert names == [m.name for m in report_measures.MEASURES]
    assert set(re.findall(r"^  (\w+) ", report_measures.listing(), re.M)) >= set(names)


# -- sweeps: progress and Ctrl-C ----------------------------------------------------------------------


@needs_pandas
@pytest.mark.parametrize("batch_size", [3, 64])
@pytest.mark.parametrize("kernel", [[], ["weight", "entropy"]])
def test_sweep_progress_never_counts_a_function_before_it_is_done(kernel, batch_size):
    from vexil_kit.sweeps import random_functions, sweep

    finished = []
    reported = []

    def probe(f):
        # Every function this measure has finished, at the moment the next one starts.
        assert all(done <= len(finished) for done, _ in reported), (reported[-1], len(finished))
        finished.append(f)
        return f.weight()

    frame = sweep(
        random_functions(4, 20, seed=3),
        [*kernel, ("probe", probe)],
        progress=lambda d, t: reported.append((d, t)),
        batch_size=batch_size,
    )
    assert frame["probe"].tolist() == [f.weight() for f in finished]
    assert reported[-1] == (20, 20)
    assert [d for d, _ in reported] == sorted(d for d, _ in reported)


@needs_pandas
def test_sweep_progress_of_kernel_measures_reaches_a_batch_only_when_it_returns(monkeypatch):
    from vexil_kit.sweeps import random_functions, runner, sweep

    returned = []
    real = runner._native.sweep_rows

    def sweep_rows(*args, **kwargs):
        rows = real(*args, **kwargs)
        returned.append(len(rows[0]))
        return rows

    monkeypatch.setattr(runner._native, "sweep_rows", sweep_rows)
    reported = []
    sweep(
        random_functions(10, 300, seed=1),
        ["weight", "nonlinearity"],
        batch_size=100,
        progress=lambda d, t: reported.append((d, sum(returned))),
    )
    # Within a batch the kernel's finished share counts, but never the whole batch before it returns.
    assert all(done - finished < 100 for done, finished in reported), reported
    assert reported[-1][0] == 300


class _Stop:
    """A measure that is Ctrl-C at its ``at``-th call."""

    def __init__(self, at):
        self.at, self.calls = at, 0

    def __call__(self, f):
        self.calls += 1
        if self.calls == self.at:
            raise KeyboardInterrupt
        return f.weight()


@needs_pandas
@pytest.mark.parametrize("suffix", ["csv", "parquet"])
@pytest.mark.parametrize("at, batch_size", [(6, 1000), (1, 1000), (9, 4)])
def test_ctrl_c_in_a_batch_keeps_the_finished_rows_and_resumes(tmp_path, suffix, at, batch_size):
    pytest.importorskip("pyarrow")
    from vexil_kit.sweeps import random_functions, sweep

    out = tmp_path / f"s.{suffix}"
    source = random_functions(5, 20, seed=2)
    with pytest.raises(KeyboardInterrupt) as caught:
        sweep(source, ["weight", ("w", _Stop(at))], out=str(out), batch_size=batch_size)
    kept = at - 1
    notes = "\n".join(caught.value.__notes__)
    assert (f"{kept:,} rows are kept in {out}.partial" if kept else "nothing is kept") in notes, notes
    if kept:
        assert os.path.exists(f"{out}.partial")
    again = _Stop(0)
    frame = sweep(source, ["weight", ("w", again)], out=str(out), batch_size=batch_size)
    assert again.calls == 20 - kept
    assert frame["w"].tolist() == frame["weight"].tolist() == [f.weight() for f in source]


@needs_pandas
def test_ctrl_c_in_vexil_sweep_says_how_many_rows_were_kept_and_how_to_resume(tmp_path, capsys, monkeypatch):
    stop = _Stop(5)
    monkeypatch.setattr(BF, "stop_here", lambda f: stop(f), raising=False)
    out = tmp_path / "s.csv"
    args = ["sweep", "--functions", "random:4:12:1", "--measures", "weight,stop_here", "-o", str(out)]
    assert main(args) == 130
    err = capsys.readouterr().err
    assert "interrupted" in err and f"4 rows are kept in {out}.partial" in err
    assert "the same vexil sweep command resumes" in err
    assert main(args) == 0 and stop.calls == 5 + 8


# -- the vectorial API in the documentation ---------------------------------------------------------


@pytest.mark.parametrize(
    "page, name",
    [
        ("vectorial.md", "affine_equivalent("),
        ("vectorial.md", "VectorialFunction.gold("),
        ("vectorial.md", "VectorialFunction.kasami("),
        ("vectorial.md", "VectorialFunction.from_components("),
        ("vectorial.md", "VectorialFunction.inverse_map("),
        ("vectorial.md", ".synthesize("),
        ("circuits.md", ".synthesize("),
    ],
)
def test_the_vectorial_api_is_shown_in_a_block_the_suite_runs(page, name):
    from test_doc_blocks import blocks

    run = [b.text for b in blocks(ROOT / "docs" / page) if b.language == "python"]
    assert any(name in text and ">>>" in text for text in run), name


def test_help_of_affine_equivalent_says_how_rows_map_to_bits():
    import pydoc

    text = pydoc.render_doc(VF.affine_equivalent, renderer=pydoc.plaintext)
    assert "bit j of ``A[i]`` is the entry (i, j)" in text and "parity of ``A[i] & x``" in text
