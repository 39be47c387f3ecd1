"""The layers of vexil_kit: table-level topic modules under the one module that makes BooleanFunction
objects, typed builders, one registry of family names, and the sweep's two spellings."""

import ast
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
# The layers above the value type: they use BooleanFunction, never the other way round.
ABOVE = {"function.py", "__init__.py", "vectorial.py"}  # vectorial.py: the S-box value type, over BooleanFunction
ABOVE_DIRS = {"cli", "cluster", "sweeps"}
TOPIC_MODULES = sorted(path.name for path in PACKAGE.glob("*.py") if path.name not in ABOVE)


def module_level_imports(path):
    """The modules a file imports when it is imported (not in functions or under TYPE_CHECKING)."""
    tree = ast.parse(path.read_text())
    names = []
    for node in tree.body:
        if isinstance(node, ast.If) and "TYPE_CHECKING" in ast.unparse(node.test):
            continue
        for inner in ast.walk(node) if not isinstance(node, (ast.FunctionDef, ast.ClassDef)) else []:
            if isinstance(inner, ast.ImportFrom):
                base = "." * inner.level + (inner.module or "")
                names += [base] + [
                    f"{base}.{alias.name}" if inner.module else base + alias.name for alias in inner.names
                ]
            elif isinstance(inner, ast.Import):
                names += [alias.name for alias in inner.names]
    return names


@pytest.mark.parametrize("name", TOPIC_MODULES)
def test_topic_modules_do_not_import_the_function_type(name):
    imports = module_level_imports(PACKAGE / name)
    assert not [m for m in imports if m in (".function", "vexil_kit.function") or m.endswith(".function")], imports


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
        "import vexil_kit.sweep\nimport vexil_kit\nassert callable(vexil_kit.sweep) and vexil_kit.sweep.__name__ == 'sweep'",
        "from vexil_kit import sweep\nimport vexil_kit.sweeps as s\nassert sweep is s.sweep and s.read_metadata",
    ],
    ids=["module spelling first", "import statement", "package"],
)
def test_the_sweep_function_and_its_package_are_both_reachable(statements):
    # A fresh interpreter: which import comes first decides what the attribute holds.
    subprocess.run([sys.executable, "-c", statements], check=True)
