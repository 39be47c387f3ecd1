"""The notebook displays: well-formed HTML naming the object's own values, and cheap for large objects."""

import html
import re
import shutil
import time
from html.parser import HTMLParser

import pytest

from vexil_kit import BooleanFunction as BF
from vexil_kit import VectorialFunction as VF
from vexil_kit import display
from vexil_kit.circuits import Circuit
from vexil_kit.decision_trees import DecisionTree, decision_tree

VOID = {"img", "br", "hr", "meta", "link", "input"}


class _Checker(HTMLParser):
    """Checks that every element is closed in order, and collects the text of the table cells."""

    def __init__(self):
        super().__init__(convert_charrefs=True)
        self.open: list[str] = []
        self.cells: list[str] = []
        self.images = 0

    def handle_starttag(self, tag, attrs):
        if tag == "img":
            self.images += 1
            assert dict(attrs)["src"].startswith("data:image/png;base64,")
        if tag not in VOID:
            self.open.append(tag)
        if tag == "td":
            self.cells.append("")

    def handle_startendtag(self, tag, attrs):
        self.handle_starttag(tag, attrs)
        if tag not in VOID:
            self.open.pop()

    def handle_endtag(self, tag):
        assert self.open and self.open[-1] == tag, (self.open, tag)
        self.open.pop()

    def handle_data(self, data):
        if self.open and self.open[-1] == "td":
            self.cells[-1] += data


def parse(text):
    checker = _Checker()
    checker.feed(text)
    checker.close()
    assert checker.open == [], checker.open
    cells = checker.cells
    return dict(zip(cells[::2], cells[1::2], strict=True)), checker


SMALL_FUNCTIONS = [BF.majority(3), BF.xor(4), BF.inner_product(6), BF.random(9, seed=1), BF.constant(2, 1)]


@pytest.mark.parametrize("f", SMALL_FUNCTIONS, ids=repr)
def test_a_function_shows_its_size_weight_degrees_and_nonlinearity(f):
    rows, _ = parse(f._repr_html_())
    assert rows["n"] == str(f.n)
    assert rows["weight"] == str(f.weight())
    assert rows["algebraic degree"] == str(f.algebraic_degree())
    assert rows["Fourier degree"] == str(f.fourier_degree())
    assert rows["nonlinearity"] == str(f.nonlinearity())
    assert rows["balanced"] == str(f.is_balanced())
    assert ("hex" in rows) == (f.n <= display.HEX_LIMIT)
    if f.n <= display.HEX_LIMIT:
        assert rows["hex"] == f.to_hex()


SBOXES = [VF.named("PRESENT"), VF.named("AES"), VF.named("DES-S1"), VF([0, 1, 3, 6, 7, 4, 5, 2])]


@pytest.mark.parametrize("box", SBOXES, ids=lambda b: f"{b.n}x{b.m}")
def test_an_sbox_shows_its_shape_uniformity_linearity_degree_and_heat_maps(box):
    rows, checker = parse(box._repr_html_())
    assert rows["(n, m)"] == f"({box.n}, {box.m})"
    assert rows["differential uniformity"] == str(box.differential_uniformity())
    assert rows["linearity"] == str(box.linearity())
    assert rows["algebraic degree"] == str(box.algebraic_degree())
    assert rows["permutation"] == str(box.is_permutation())
    try:
        import matplotlib  # noqa: F401

        assert checker.images == 1
    except ImportError:
        assert checker.images == 0


@pytest.mark.parametrize(
    "make, note, skipped",
    [
        (lambda: BF.random(24, seed=2), "measures", "weight"),
        (lambda: VF.random(16, 16, seed=2), "measures", "differential uniformity"),
        (lambda: Circuit(2, tuple((6, k, k + 1) for k in range(5000))), "drawing", "depth"),
        (lambda: DecisionTree(12, _deep_tree(12)), "drawing", None),
    ],
    ids=["function-24", "sbox-16", "circuit-5000", "tree-8191"],
)
def test_large_objects_show_their_sizes_only_and_fast(make, note, skipped):
    value = make()
    value._repr_html_()  # the first call may import modules
    started = time.perf_counter()
    text = value._repr_html_()
    assert time.perf_counter() - started < 0.5
    rows, checker = parse(text)
    assert checker.images == 0 and "<svg" not in text and "<pre>" not in text
    assert note in rows and skipped not in rows


def _deep_tree(n, v=0):
    """The preorder codes of the complete tree reading x0 .. x(n-1), leaves alternating (parity)."""
    if v == n:
        return (64,)
    return (v, *_deep_tree(n, v + 1), *_deep_tree(n, v + 1))


def _circuits():
    majority = BF.majority(3).minimal_circuit()
    half_adder = Circuit(2, ((6, 0, 1), (8, 0, 1)), outputs=((2, False), (3, False)))
    constant = Circuit(3, (), None, True)
    return [majority, half_adder, constant]


@pytest.mark.parametrize("c", _circuits(), ids=["majority", "half-adder", "constant"])
def test_a_circuit_shows_its_sizes_and_its_drawing_or_gates(c):
    text = c._repr_html_()
    rows, _ = parse(text)
    assert rows["inputs"] == str(c.inputs) and rows["gates"] == str(len(c.gates))
    assert rows["outputs"] == str(len(c.outputs)) and rows["depth"] == str(c.depth)
    if shutil.which("dot"):
        assert "<svg" in text
    else:
        listing = re.search(r"<pre>(.*?)</pre>", text, re.S)
        assert listing is not None and html.unescape(listing.group(1)) == c.to_text()


def test_a_synthesis_shows_its_bounds_and_its_circuit():
    s = VF.from_callable(lambda x: (x & 1) + (x >> 1), 2, 2).synthesize()
    rows, _ = parse(s._repr_html_())
    assert rows["gates found"] == str(s.upper_bound) and rows["lower bound"] == str(s.lower_bound)
    assert rows["optimal"] == "True" and rows["gates"] == str(len(s.circuit.gates))


def test_a_decision_tree_shows_its_depth_and_size():
    t = decision_tree(BF.majority(3).table)
    rows, _ = parse(t._repr_html_())
    assert rows["depth"] == str(t.depth) and rows["size"] == str(t.size) and rows["n"] == str(t.n)
