"""The docstring examples of vexil_kit run and give what they show."""

import doctest
import importlib
from pathlib import Path

import numpy as np
import pytest

import vexil
import vexil_kit

MODULES = [
    "vexil_kit",
    "vexil_kit.function",
    "vexil_kit.builders",
    "vexil_kit.families",
    "vexil_kit.variables",
    "vexil_kit.spectra",
    "vexil_kit.measures",
    "vexil_kit.circuits",
    "vexil_kit.anf",
    "vexil_kit.cryptographic",
    "vexil_kit.query_complexity",
    "vexil_kit.progress",
    "vexil_kit.sweeps.sources",
    "vexil_kit.sweeps.runner",
    "vexil_kit.sweeps.parquet",
    "vexil_kit.registry",
    "vexil_kit.predicates",
    "vexil_kit.transforms",
    "vexil_kit.two_level",
    "vexil_kit.decision_trees",
]

# Modules whose examples need the optional packages of the cluster extra.
NEEDS = {name: ["pandas", "pyarrow"] for name in ("vexil_kit.sweeps.runner", "vexil_kit.sweeps.parquet")}


@pytest.mark.parametrize("name", MODULES)
def test_docstring_examples(name):
    for package in NEEDS.get(name, []):
        pytest.importorskip(package)
    module = importlib.import_module(name)
    globs = {"BooleanFunction": vexil_kit.BooleanFunction, "vexil": vexil, "np": np}
    result = doctest.testmod(module, extraglobs=globs, raise_on_error=False, verbose=False)
    assert result.attempted > 0
    assert result.failed == 0


def test_every_public_name_is_documented():
    cls = vexil_kit.BooleanFunction
    names = [name for name in dir(cls) if not name.startswith("_")]
    assert len(names) >= 27
    for name in names:
        doc = getattr(cls, name).__doc__
        assert doc and ">>>" in doc, name


@pytest.mark.parametrize(
    "page, needs",
    [("toolkit.md", []), ("scale.md", ["pandas", "pyarrow"]), ("five-inputs.md", []), ("circuit-formats.md", [])],
)
def test_the_documentation_examples_run_as_shown(page, needs):
    for package in needs:
        pytest.importorskip(package)
    path = Path(__file__).resolve().parents[2] / "docs" / page
    result = doctest.testfile(str(path), module_relative=False, raise_on_error=False, verbose=False)
    assert result.attempted > 0
    assert result.failed == 0
