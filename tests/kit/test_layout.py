"""The layers of vexil_kit: table-level topic modules under the one module that makes BooleanFunction
objects, typed builders, one registry of family names, and the sweep's two spellings."""

import ast
import os
import subprocess
import sys
import typing
from pathlib import Path

import pytest

import vexil
import vexil_kit
from vexil_kit import BooleanFunction, families, function, sweeps
from vexil_kit.cli.functions import parse_function

PACKAGE = Path(vexil_kit.__file__).resolve().parent
ROOT = Path(__file__).resolve().parents[2]

# The layers (no cycle, table-level modules under the value types, the command line on top) are
# import-linter's contracts in pyproject.toml, checked by .ci/run. Here: the imports of the
# package's own modules made inside functions, each with its reason; every other one is at the top.
DEFERRED = {
    ("synthesis/search.py", "vexil_kit.synthesis.solving"): "python-sat is loaded on the first search",
    ("synthesis/stacking.py", "vexil_kit.synthesis.solving"): "python-sat is loaded on the first search",
}
# Still inside functions in modules under rework, where each is bound for the top.
REWORKED = {
    ("function.py", "vexil_kit.peers"),
    ("function.py", "vexil_kit.canonical"),
    ("function.py", "vexil_kit.poly_degrees"),
    ("function.py", "vexil_kit.synthesis"),
    ("cli/measures.py", "vexil_kit.cli.functions"),
    ("cli/sweep.py", "vexil_kit._native"),
    ("cli/sweep.py", "vexil_kit.function"),
    ("cli/sweep.py", "vexil_kit.registry"),
    ("cli/sweep.py", "vexil_kit.sweeps"),
    ("cli/sweep.py", "vexil_kit.sweeps.output"),
    ("sweeps/output.py", "vexil_kit._files"),
    ("sweeps/sources.py", "vexil_kit.canonical"),
}


def own_imports_in_functions(source, module):
    """(imported module, line) for each import of a vexil_kit module inside a function of ``source``,
    the text of the module named ``module`` (a package's being its ``__init__``)."""
    package = module.split(".")[:-1]
    found = []
    for scope in ast.walk(ast.parse(source)):
        if not isinstance(scope, (ast.FunctionDef, ast.AsyncFunctionDef)):
            continue
        for node in ast.walk(scope):
            if isinstance(node, ast.Import):
                found += [(alias.name, node.lineno) for alias in node.names]
            elif isinstance(node, ast.ImportFrom):
                base = ".".join(package[: len(package) - node.level + 1])
                if node.module is None:  # from . import a, b: the modules a and b of the package
                    found += [(f"{base}.{alias.name}", node.lineno) for alias in node.names]
                else:
                    found.append((f"{base}.{node.module}" if node.level else node.module, node.lineno))
    return sorted({(name, line) for name, line in found if name.split(".")[0] == "vexil_kit"})


MODULES = {path.relative_to(PACKAGE).as_posix(): path for path in sorted(PACKAGE.rglob("*.py"))}


def scanned(name):
    return own_imports_in_functions(
        MODULES[name].read_text(), "vexil_kit." + name.removesuffix(".py").replace("/", ".")
    )


@pytest.mark.parametrize("name", MODULES)
def test_own_modules_are_imported_at_the_top(name):
    allowed = set(DEFERRED) | REWORKED
    assert [(module, line) for module, line in scanned(name) if (name, module) not in allowed] == []


def test_every_deferred_import_is_still_there():
    assert set(DEFERRED) <= {(name, module) for name in MODULES for module, _ in scanned(name)}


@pytest.mark.parametrize(
    ("source", "expected"),
    [
        ("def f():\n    from . import solving\n", [("vexil_kit.synthesis.solving", 2)]),
        ("def f():\n    from .. import circuits, variables\n", [("vexil_kit.circuits", 2), ("vexil_kit.variables", 2)]),
        ("def f():\n    from ..function import BooleanFunction\n", [("vexil_kit.function", 2)]),
        ("async def f():\n    import vexil_kit.sweeps, os\n", [("vexil_kit.sweeps", 2)]),
        (
            "class C:\n    def m(self):\n        if x:\n            from .aig4 import f\n",
            [("vexil_kit.synthesis.aig4", 4)],
        ),
        ("from . import solving\nimport numpy\ndef f():\n    import numpy as np\n", []),
    ],
)
def test_the_scan_sees_own_imports_inside_functions_only(source, expected):
    assert own_imports_in_functions(source, "vexil_kit.synthesis.search") == expected


def test_the_import_contracts_hold():
    # Where import-linter is installed: the contracts of pyproject.toml on the package under test.
    pytest.importorskip("importlinter")
    env = {**os.environ, "PYTHONPATH": str(PACKAGE.parent)}
    command = "import sys; from importlinter.cli import lint_imports_command; sys.argv[1:] = ['--no-cache']; "
    command += "lint_imports_command()"
    result = subprocess.run([sys.executable, "-c", command], cwd=ROOT, env=env, capture_output=True, text=True)
    assert result.returncode == 0, result.stdout + result.stderr


def test_every_module_has_its_place_in_the_contracts():
    # A module left out of both the layers and the table-level list would escape the contracts' checks.
    import tomllib

    contracts = tomllib.loads((ROOT / "pyproject.toml").read_text())["tool"]["importlinter"]["contracts"]
    placed = set()
    for contract in contracts:
        for layer in contract.get("layers", []):
            placed.update(f"vexil_kit.{name.strip()}" for name in layer.split("|"))
        placed.update(contract.get("source_modules", []))
    modules = {
        "vexil_kit." + (p.stem if p.parent == PACKAGE else p.parent.name) for p in PACKAGE.glob("*/__init__.py")
    } | {f"vexil_kit.{p.stem}" for p in PACKAGE.glob("*.py") if p.stem != "__init__"}
    assert modules - placed == set()


@pytest.mark.parametrize(
    "path", sorted(p for p in PACKAGE.rglob("*.py") if p.name != "function.py"), ids=lambda p: p.name
)
def test_only_the_function_module_uses_the_trusted_constructor(path):
    assert "_wrap" not in path.read_text()


BUILDERS = [
    "from_vexil", "from_hex", "from_int", "from_callable", "from_expression", "random", "from_anf",
    "constant", "dictator", "conjunction", "disjunction", "xor", "majority", "threshold", "tribes",
    "inner_product", "address", "from_sage", "from_boofun",
    "maiorana_mcfarland", "from_circuit",
]  # fmt: skip


@pytest.mark.parametrize("name", BUILDERS)
def test_builders_are_class_methods_typed_to_return_the_function_type(name):
    assert isinstance(BooleanFunction.__dict__[name], classmethod)
    hints = typing.get_type_hints(getattr(BooleanFunction, name), vars(function))
    assert hints["return"] is BooleanFunction


def test_every_public_class_method_is_listed():
    listed = {name for name, value in vars(BooleanFunction).items() if isinstance(value, classmethod)}
    assert listed - {"_wrap"} == set(BUILDERS)


# -- the family registry -----------------------------------------------------------------------------

EXPECTED = {
    "majority": (lambda n: BooleanFunction.majority(n), (5,)),
    "parity": (lambda n: BooleanFunction.from_vexil(vexil.Vexil.parity(n)), (4,)),
    "xor": (lambda n: BooleanFunction.xor(n), (3,)),
    "conjunction": (lambda n: BooleanFunction.conjunction(n), (3,)),
    "disjunction": (lambda n: BooleanFunction.disjunction(n), (3,)),
    "threshold": (lambda n, k: BooleanFunction.threshold(n, k), (5, 2)),
    "tribes": (lambda w, c: BooleanFunction.tribes(w, c), (2, 3)),
    "inner_product": (lambda n: BooleanFunction.inner_product(n), (4,)),
    "address": (lambda k: BooleanFunction.address(k), (2,)),
    "dictator": (lambda n, i: BooleanFunction.dictator(n, i), (4, 1)),
    "constant": (lambda n, v: BooleanFunction.constant(n, v), (3, 1)),
    "coprimes": (lambda n: BooleanFunction.from_vexil(vexil.Vexil.coprimes(n)), (2,)),
    "primality": (lambda n: BooleanFunction.from_vexil(vexil.Vexil.primality(n)), (5,)),
    "sum_is_prime": (lambda n: BooleanFunction.from_vexil(vexil.Vexil.sum_is_prime(n)), (2,)),
    "clique": (lambda n: BooleanFunction.from_vexil(vexil.Vexil.clique(n)), (3,)),
}


def test_the_registry_holds_every_family_once():
    assert set(families.FAMILIES) == set(EXPECTED)


@pytest.mark.parametrize("spelling", ["hyphen", "underscore"])
@pytest.mark.parametrize("name", sorted(EXPECTED))
def test_sweeps_and_the_command_line_build_the_same_member_under_either_spelling(name, spelling):
    build, arguments = EXPECTED[name]
    written = name.replace("_", "-") if spelling == "hyphen" else name
    expected = build(*arguments)
    label, from_cli = parse_function(":".join([written, *map(str, arguments)]))
    [from_sweeps] = list(sweeps.family(written, [arguments]))
    assert from_cli == expected
    assert from_sweeps == expected
    assert len(families.lookup(written).arguments) == len(arguments)


@pytest.mark.parametrize("name", ["no-such-family", "inner product", "majority_"])
def test_unknown_family_names_are_refused_by_both(name):
    assert families.lookup(name) is None
    with pytest.raises(ValueError, match="no family"):
        sweeps.family(name, [3])
    with pytest.raises(ValueError):
        parse_function(f"{name}:3")


# -- the sweep's spellings ----------------------------------------------------------------------------


@pytest.mark.parametrize(
    "statements",
    [
        "from vexil_kit.sweep import read_metadata, sweep\nimport vexil_kit\nassert vexil_kit.sweep is sweep",
        "import vexil_kit.sweep\nimport vexil_kit\n"
        "assert callable(vexil_kit.sweep) and vexil_kit.sweep.__name__ == 'sweep'",
        "from vexil_kit import sweep\nimport vexil_kit.sweeps as s\nassert sweep is s.sweep and s.read_metadata",
    ],
    ids=["module spelling first", "import statement", "package"],
)
def test_the_sweep_function_and_its_package_are_both_reachable(statements):
    # A fresh interpreter: which import comes first decides what the attribute holds.
    subprocess.run([sys.executable, "-c", statements], check=True)
