"""VectorialFunction: every measure against its brute-force definition, the relations between the
tables, the published values of AES and PRESENT, the value protocol, and Ctrl-C."""

import collections
import doctest
import inspect
import itertools
import json
import os
import pickle
from pathlib import Path

import numpy as np
import pytest
from children import interrupt_call
from reference import sbox_measures

from vexil_kit import BooleanFunction, VectorialFunction, vectorial
from vexil_kit.sweeps import vectorial as sweeps_vectorial
from vexil_kit.vectorial import MEASURES

DOCS = Path(__file__).resolve().parents[2] / "docs" / "vectorial.md"

# (n, m, permutation): m > n + 2 takes the sorting path of the DDT rows, m = 1 the single lane.
SHAPES = [
    (1, 1, True),
    (2, 3, False),
    (3, 3, True),
    (4, 2, False),
    (4, 4, True),
    (5, 5, True),
    (2, 12, False),
    (6, 6, True),
    (6, 1, False),
    (5, 7, False),
]


def _function(n, m, permutation, seed):
    if permutation:
        return VectorialFunction.random_permutation(n, seed=seed)
    return VectorialFunction.random(n, m, seed=seed)


CASES = [
    pytest.param(_function(n, m, p, seed), id=f"{n}x{m}{'perm' if p else ''}-{seed}")
    for n, m, p in SHAPES
    for seed in range(2)
]
CASES += [
    pytest.param(VectorialFunction.power(5, 3), id="cube-5"),
    pytest.param(VectorialFunction.named("PRESENT"), id="PRESENT"),
    pytest.param(VectorialFunction([5, 5, 5, 5], m=3), id="constant"),
    pytest.param(VectorialFunction([0, 1, 2, 3, 4, 5, 6, 7]), id="identity"),
]


# The measures some functions refuse, and why: permutations only, or n + m <= 12 (the ranks).
REFUSED = dict.fromkeys(["bct", "boomerang_uniformity", "cycle_type"], "permutations")
REFUSED |= dict.fromkeys(["gamma_rank", "delta_rank"], "n [+] m <= 12")


@pytest.mark.parametrize("F", CASES)
def test_every_measure_matches_its_definition(F):
    expected = sbox_measures(F.table.tolist(), F.m, F.is_permutation())
    assert set(expected) | set(REFUSED) == set(MEASURES)
    for name, info in MEASURES.items():
        if name not in expected:
            with pytest.raises(ValueError, match=REFUSED[name]):
                F.measure(name)
            continue
        value = F.measure(name, progress=lambda done, total: None)
        if info.kind == "table":
            assert value.shape == (1 << F.n, 1 << F.m), name
            np.testing.assert_array_equal(value, expected[name], err_msg=name)
        else:
            assert value == expected[name] and type(value) is type(expected[name]), (name, value, expected[name])


@pytest.mark.parametrize("name", MEASURES)
def test_every_registered_measure_is_a_method_of_its_shape(name):
    parameters = inspect.signature(getattr(VectorialFunction, name)).parameters
    assert list(parameters) == ["self", "progress"] if MEASURES[name].progress else ["self"], name
    assert f"`{name}()`" in DOCS.read_text(), f"docs/vectorial.md does not name {name}"


def test_every_permutation_of_3_bits():
    """The DDT, Walsh table and BCT of all 40,320 permutations of 3 bits, by broadcasting the definitions."""
    perms = np.array(list(itertools.permutations(range(8))), dtype=np.uint8)
    x = np.arange(8, dtype=np.uint8)
    parity = np.array([bin(v).count("1") & 1 for v in range(8)], dtype=np.int32)
    diffs = perms[:, None, :] ^ perms[:, x[:, None] ^ x[None, :]]  # [k, a, x]
    ddt = (diffs[..., None] == x).sum(axis=2, dtype=np.uint32)
    signs = 1 - 2 * parity[perms[:, :, None] & x]  # [k, x, b]
    walsh = np.einsum("ax,kxb->kab", 1 - 2 * parity[x[:, None] & x[None, :]], signs)
    inverse = np.argsort(perms, axis=1).astype(np.uint8)
    rows = np.arange(len(perms))[:, None, None, None]
    left = inverse[rows, perms[:, None, None, :] ^ x[None, None, :, None]]  # [k, a, b, x]
    right = inverse[rows, perms[:, x[:, None] ^ x[None, :]][:, :, None, :] ^ x[None, None, :, None]]
    bct = ((left ^ right) == x[None, :, None, None]).sum(axis=3, dtype=np.uint32)
    boxes = [VectorialFunction(p, m=3) for p in perms]
    np.testing.assert_array_equal(np.stack([F.ddt() for F in boxes]), ddt)
    np.testing.assert_array_equal(np.stack([F.walsh_table() for F in boxes]), walsh)
    np.testing.assert_array_equal(np.stack([F.bct() for F in boxes]), bct)


@pytest.mark.parametrize(
    "F",
    [
        VectorialFunction.random(7, 5, seed=3),
        VectorialFunction.random_permutation(9, seed=4),
        VectorialFunction.power(7, 5),
        VectorialFunction.named("AES"),
    ],
)
def test_relations_between_the_tables(F):
    walsh = F.walsh_table()
    ddt = F.ddt()
    # Parseval on every component; the DDT is the autocorrelation of the graph, read through the Walsh squares.
    assert ((walsh.astype(np.int64) ** 2).sum(axis=0) == 4**F.n).all()
    squares = walsh.astype(np.int64) ** 2
    recovered = _hadamard(_hadamard(squares, axis=0), axis=1) >> (F.n + F.m)
    np.testing.assert_array_equal(recovered, ddt)
    for b in (1, (1 << F.m) - 1, 1 << (F.m - 1)):
        np.testing.assert_array_equal(F.component(b).walsh_spectrum(), walsh[:, b])
    assert F.is_apn() == (F.differential_uniformity() == 2)
    assert F.nonlinearity() == min(F.component(b).nonlinearity() for b in range(1, 1 << F.m))
    assert F.min_degree() == min(F.component(b).algebraic_degree() for b in range(1, 1 << F.m))
    assert F.algebraic_degree() == max(c.algebraic_degree() for c in F.coordinates())
    assert VectorialFunction.from_components(F.coordinates()) == F
    if F.is_permutation():
        G = F.inverse()
        assert (F @ G).fixed_point_count() == len(F) and G.differential_uniformity() == F.differential_uniformity()
        np.testing.assert_array_equal(G.bct(), F.bct().T)  # the BCT of the inverse is the transpose


@pytest.mark.parametrize("seed", range(3))
def test_outputs_of_32_bits_are_counted_without_a_table_of_them(seed):
    F = VectorialFunction.random(7, 32, seed=seed) if seed else VectorialFunction([v << 20 for v in range(64)], m=32)
    t = F.table.tolist()
    rows = [collections.Counter(t[x] ^ t[x ^ a] for x in range(len(t))) for a in range(1, len(t))]
    spectrum = collections.Counter(c for row in rows for c in row.values())
    spectrum[0] = (len(t) - 1) * 2**32 - sum(len(row) for row in rows)
    assert F.differential_uniformity() == max(max(row.values()) for row in rows)
    assert F.differential_spectrum() == dict(sorted(spectrum.items()))
    assert F.differential_branch_number() == min(
        bin(a).count("1") + bin(b).count("1") for a, row in enumerate(rows, 1) for b in row
    )


def test_single_component_blocks_beyond_18_inputs():
    F = VectorialFunction.random(19, 2, seed=5)
    walsh = F.walsh_table()
    spectra = [F.component(b).walsh_spectrum() for b in range(4)]
    np.testing.assert_array_equal(walsh, np.stack(spectra, axis=1))
    assert F.linearity() == max(int(np.abs(w).max()) for w in spectra[1:])


def test_progress_reaches_its_total():
    reports = []
    VectorialFunction.random_permutation(10, seed=1).boomerang_uniformity(progress=lambda *r: reports.append(r))
    assert reports and reports[-1][0] == reports[-1][1] > 0


def _hadamard(values, axis):
    values = np.moveaxis(values.copy(), axis, 0)
    h = 1
    while h < len(values):
        for base in range(0, len(values), 2 * h):
            a, b = values[base : base + h].copy(), values[base + h : base + 2 * h].copy()
            values[base : base + h], values[base + h : base + 2 * h] = a + b, a - b
        h *= 2
    return np.moveaxis(values, 0, axis)


# Published: AES (FIPS 197; Nyberg's inverse map), PRESENT (Bogdanov et al., CHES 2007), the
# boomerang uniformity 6 of AES (Cid et al., Eurocrypt 2018).
PUBLISHED = {
    "AES": dict(
        differential_uniformity=4,
        linearity=32,
        nonlinearity=112,
        algebraic_degree=7,
        boomerang_uniformity=6,
        is_permutation=True,
        fixed_point_count=0,
    ),
    "PRESENT": dict(
        differential_uniformity=4,
        linearity=8,
        nonlinearity=4,
        algebraic_degree=3,
        differential_branch_number=3,
        fixed_point_count=0,
    ),
}


@pytest.mark.parametrize("name", PUBLISHED)
def test_published_values(name):
    F = VectorialFunction.named(name)
    assert {key: F.measure(key) for key in PUBLISHED[name]} == PUBLISHED[name]


def test_value_protocol():
    F = VectorialFunction.named("PRESENT")
    assert eval(repr(F)) == F and hash(eval(repr(F))) == hash(F)
    assert pickle.loads(pickle.dumps(F)) == F
    assert F != VectorialFunction(F.table, m=5) and F != VectorialFunction(F.table[:8] & 7)
    assert np.asarray(F) is F.table and not F.table.flags.writeable
    assert [F(x) for x in range(16)] == list(F) == [F(list(map(int, f"{x:04b}"[::-1]))) for x in range(16)]
    with pytest.raises(AttributeError):
        F._m = 3
    big = VectorialFunction.random_permutation(10, seed=0)
    assert repr(big).startswith("<VectorialFunction n=10 m=10") and pickle.loads(pickle.dumps(big)) == big


@pytest.mark.parametrize(
    ("build", "error"),
    [
        (lambda: VectorialFunction([0, 1, 2]), ValueError),
        (lambda: VectorialFunction([0, -1]), ValueError),
        (lambda: VectorialFunction([0, 1 << 32]), ValueError),
        (lambda: VectorialFunction([0, 4], m=2), ValueError),
        (lambda: VectorialFunction([[0, 1]]), ValueError),
        (lambda: VectorialFunction([0.5, 1.0]), ValueError),
        (lambda: VectorialFunction([0, 1, 1, 0]).inverse(), ValueError),
        (lambda: VectorialFunction([0, 1, 1, 0]).bct(), ValueError),
        (lambda: VectorialFunction([0, 1]) @ VectorialFunction([0, 3]), ValueError),
        (lambda: VectorialFunction([0]).lat(), ValueError),
        (lambda: VectorialFunction.named("no such box"), KeyError),
        (lambda: VectorialFunction.random(31, 1), ValueError),
    ],
)
def test_refusals(build, error):
    with pytest.raises(error):
        build()


CTRL_C = """
from vexil_kit import VectorialFunction
F = VectorialFunction.random_permutation(17, seed=0)
def work(): F.linearity()
def after(): return VectorialFunction.named("PRESENT").differential_uniformity()
"""


def test_ctrl_c_stops_a_streamed_measure():
    stopped = interrupt_call(CTRL_C, delay=1.0)
    assert stopped.interrupted, (stopped.lines, stopped.err)
    assert stopped.lines[1:] == ["4"] and stopped.latency < 1.0, (stopped.lines, stopped.latency)


def test_memory_is_checked_before_a_table():
    F = VectorialFunction.random(20, 20, seed=0)  # a DDT of 2**40 words
    with pytest.raises(MemoryError, match="\\d"):
        F.ddt()


BEGIN, END = "<!-- catalogue table: begin -->\n", "<!-- catalogue table: end -->\n"


def catalogue_table():
    """The catalogue table of docs/vectorial.md, as the code computes it."""
    lines = ["| S-box | n | m | δ | L | β | degree |", "|---|---|---|---|---|---|---|"]
    for name in VectorialFunction.catalogue():
        F = VectorialFunction.named(name)
        beta = F.boomerang_uniformity() if F.is_permutation() else "–"
        lines.append(
            f"| {name} | {F.n} | {F.m} | {F.differential_uniformity()} | {F.linearity()} | {beta} | "
            f"{F.algebraic_degree()} |"
        )
    return "\n".join(lines) + "\n"


def test_the_documentation_runs_and_its_catalogue_table_is_true():
    for module in (vectorial, sweeps_vectorial):
        result = doctest.testmod(module, extraglobs={"BooleanFunction": BooleanFunction}, raise_on_error=False)
        assert result.attempted > 0 and result.failed == 0, module.__name__
    pytest.importorskip("pandas")
    result = doctest.testfile(str(DOCS), module_relative=False, raise_on_error=False)
    assert result.attempted > 0 and result.failed == 0
    text = DOCS.read_text()
    head, rest = text.split(BEGIN)
    _, tail = rest.split(END)
    if os.environ.get("VEXIL_WRITE_CATALOGUE"):
        DOCS.write_text(head + BEGIN + catalogue_table() + END + tail)
    assert rest.split(END)[0] == catalogue_table()


@pytest.mark.parametrize(
    ("argument", "box"),
    [
        ("sbox:PRESENT", VectorialFunction.named("PRESENT")),
        ("sbox:[0x0,1,3,6,7,4,5,2]", VectorialFunction([0, 1, 3, 6, 7, 4, 5, 2])),
        ("sbox:[3,0,1,1]/4", VectorialFunction([3, 0, 1, 1], m=4)),
    ],
)
def test_the_command_line_reports_the_methods_values(argument, box, capsys):
    from vexil_kit.cli.main import main

    status = main(["report", argument, "--json"])
    lines = [json.loads(line) for line in capsys.readouterr().out.splitlines()]
    assert status == 0 and lines[0] == {"sbox": argument, "n": box.n, "m": box.m}
    for line in lines[1:]:
        info = MEASURES[line["measure"]]
        if info.permutations_only and not box.is_permutation():
            assert line["status"] == "not applicable"
        else:
            expected = box.measure(line["measure"])
            assert line["value"] == (json.loads(json.dumps(expected)) if isinstance(expected, dict) else expected)
    assert len(lines) - 1 == sum(info.kind != "table" for info in MEASURES.values())


@pytest.mark.parametrize("argument", ["sbox:NOPE", "sbox:[0,1,2]", "sbox:[0,x]", "sbox:[0,5]/2", "sbox:[0,1]2"])
def test_the_command_line_refuses_what_is_no_sbox(argument, capsys):
    from vexil_kit.cli.main import main

    assert main(["report", argument]) == 2 and "vexil: error:" in capsys.readouterr().err


def test_a_sweep_of_sboxes_gives_the_methods_values():
    pd = pytest.importorskip("pandas")
    from vexil_kit.sweeps import catalogue_sboxes, random_permutations, sweep

    names = ["differential_uniformity", "linearity", "boomerang_uniformity", "differential_spectrum"]
    for source in (catalogue_sboxes(), random_permutations(5, 3, seed=2)):
        frame = sweep(source, names)
        assert len(frame) == len(source)
        for (label, box), row in zip(source, frame.itertuples(index=False), strict=True):
            assert (row.name, row.n, row.m) == (label, box.n, box.m)
            for name in names:
                if MEASURES[name].permutations_only and not box.is_permutation():
                    assert pd.isna(getattr(row, name))  # the DES boxes, six bits to four
                else:
                    assert getattr(row, name) == box.measure(name)
    with pytest.raises(ValueError, match="table"):
        sweep(catalogue_sboxes(), ["ddt"])
