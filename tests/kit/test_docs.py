"""The docstring examples of vexil_kit run and give what they show."""

import doctest
import importlib
import re
from pathlib import Path

import numpy as np
import pytest

import vexil
import vexil_kit

PACKAGE = Path(vexil_kit.__file__).resolve().parent
# Every module with examples; the cluster's start Dask clusters and run in CI on their own.
MODULES = sorted(
    ".".join(("vexil_kit", *path.relative_to(PACKAGE).with_suffix("").parts)).removesuffix(".__init__")
    for path in PACKAGE.rglob("*.py")
    if re.search(r">>> (?!.*doctest: \+SKIP)", path.read_text()) and path.relative_to(PACKAGE).parts[0] != "cluster"
)

# Modules whose examples need the optional packages of the cluster extra.
NEEDS = {name: ["pandas", "pyarrow"] for name in MODULES if name.startswith("vexil_kit.sweeps.")}


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
