"""The registry of measures drives the toolkit, the sweep, the command line and the docs: each of
its names is a method of the right shape, each alias gives its measure's value, the docs name them."""

import inspect
from pathlib import Path

import pytest

from vexil_kit import BooleanFunction, _native, registry
from vexil_kit.cli import measures as report_measures

DOCS = Path(__file__).resolve().parents[2] / "docs" / "measures.md"
FUNCTIONS = [
    BooleanFunction.majority(5),
    BooleanFunction.random(7, seed=3),
    BooleanFunction.xor(4),
    BooleanFunction.constant(3, True),
    BooleanFunction.tribes(2, 3),
]


@pytest.mark.parametrize("name", registry.names())
def test_every_name_is_a_method_of_its_shape(name):
    info = registry.MEASURES[registry.canonical(name)]
    parameters = inspect.signature(getattr(BooleanFunction, name)).parameters
    required = [p for p in list(parameters)[1:] if parameters[p].default is inspect.Parameter.empty]
    assert tuple(required) == info.parameters
    if name in registry.MEASURES:
        assert ("progress" in parameters) == info.progress
    assert f"`{name}" in DOCS.read_text()


@pytest.mark.parametrize("alias, name", registry.ALIASES.items())
@pytest.mark.parametrize("f", FUNCTIONS, ids=repr)
def test_an_alias_gives_its_measures_value(alias, name, f):
    assert getattr(f, alias)() == getattr(f, name)()


def test_the_batch_kernel_and_the_report_follow_the_registry():
    kernel = {name for name, _, _ in _native.sweep_measure_table()}
    assert kernel <= set(registry.names())
    shown = [m.name for m in report_measures.MEASURES[2:]]
    assert shown == [name for name, info in registry.MEASURES.items() if not info.parameters]


VECTORIAL_DOCS = DOCS.parent / "vectorial.md"


@pytest.mark.parametrize("info", registry.measures("vectorial").values(), ids=lambda info: info.name)
def test_every_vectorial_measure_is_a_method_of_its_shape(info):
    from vexil_kit import VectorialFunction

    parameters = inspect.signature(getattr(VectorialFunction, info.name)).parameters
    required = [p for p in list(parameters)[1:] if parameters[p].default is inspect.Parameter.empty]
    assert tuple(required) == info.parameters
    assert ("progress" in parameters) == info.progress
    assert f"`{info.name}" in VECTORIAL_DOCS.read_text()


def test_the_core_lists_what_it_computes_and_python_the_rest():
    native = {(row[1], row[0]) for row in _native.measure_registry()}
    for info in registry.TABLE:
        assert ((info.subject, info.name) in native) == info.native
    assert len({(info.subject, info.name) for info in registry.TABLE}) == len(registry.TABLE)
