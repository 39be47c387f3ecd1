"""The examples in the docstrings of the vexil module's stubs (python/vexil.pyi) run and give what they show.

The stub file is not importable, so its docstrings are read with ast and run as doctests against
the compiled module, one docstring at a time.
"""

import ast
import doctest
from pathlib import Path

import numpy as np
import pytest

import vexil

STUBS = Path(__file__).resolve().parents[2] / "python" / "vexil.pyi"


def docstrings(path):
    """(qualified name, docstring, line) of the module, every class and every function in the file."""
    tree = ast.parse(path.read_text(), filename=str(path))
    found = []

    def visit(node, prefix):
        for child in ast.iter_child_nodes(node):
            if isinstance(child, (ast.ClassDef, ast.FunctionDef, ast.AsyncFunctionDef)):
                name = f"{prefix}{child.name}"
                text = ast.get_docstring(child, clean=False)
                if text:
                    found.append((name, text, child.body[0].lineno))
                visit(child, name + ".")

    module_doc = ast.get_docstring(tree, clean=False)
    if module_doc:
        found.append(("vexil", module_doc, 1))
    visit(tree, "")
    return found


EXAMPLES = [(name, text, line) for name, text, line in docstrings(STUBS) if ">>>" in text]


def test_the_stubs_have_examples():
    assert len(EXAMPLES) >= 20


@pytest.mark.parametrize("name, text, line", EXAMPLES, ids=[name for name, _, _ in EXAMPLES])
def test_stub_examples(name, text, line):
    globs = {"Vexil": vexil.Vexil, "vexil": vexil, "np": np}
    test = doctest.DocTestParser().get_doctest(text, globs, name, str(STUBS), line)
    runner = doctest.DocTestRunner()
    runner.run(test)
    result = runner.summarize(verbose=False)
    assert result.attempted > 0
    assert result.failed == 0, f"{result.failed} of the examples of {name} (line {line}) failed"
