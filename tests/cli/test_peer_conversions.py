"""Conversions to and from SageMath's and boofun's Boolean functions: the same table, entry for entry, checked
against what each peer computes itself. Skipped where the peer is not installed."""

import subprocess
import sys

import pytest

from vexil_kit import BooleanFunction as BF

FUNCTIONS = [BF.conjunction(2), BF.dictator(3, 0), BF.majority(5), BF.random(6, seed=4), BF.inner_product(4)]


@pytest.mark.parametrize("f", FUNCTIONS, ids=lambda f: f.to_hex())
def test_sage_round_trip_and_its_own_measures_agree(f):
    pytest.importorskip("sage.crypto.boolean_function")
    s = f.to_sage()
    assert BF.from_sage(s) == f
    # Sage's view of the function: its hex string and its own nonlinearity and degree.
    assert "0x" + s.truth_table(format="hex").lstrip("0").lower().rjust(1, "0") == hex(f.to_int())
    assert s.nonlinearity() == f.nonlinearity()
    assert s.algebraic_degree() == f.algebraic_degree()


def test_sage_variable_zero_is_our_variable_zero():
    pytest.importorskip("sage.crypto.boolean_function")
    from sage.rings.polynomial.pbori.pbori import BooleanPolynomialRing

    x = BooleanPolynomialRing(3, "x").gens()
    assert BF.from_sage(x[0] * x[1] + x[2]) == BF.from_expression("x0 & x1 ^ x2", 3)


@pytest.mark.parametrize("f", FUNCTIONS, ids=lambda f: f.to_hex())
def test_boofun_round_trip_and_its_own_influences_agree(f):
    pytest.importorskip("boofun")
    b = f.to_boofun()
    assert BF.from_boofun(b) == f
    assert b.n_vars == f.n
    ours = f.influences().tolist()
    assert [float(v) for v in b.influences()] == pytest.approx([float(v) for v in ours])


def test_boofun_variable_zero_is_our_variable_zero():
    boofun = pytest.importorskip("boofun")
    assert BF.from_boofun(boofun.dictator(4, 0)) == BF.dictator(4, 0)


@pytest.mark.parametrize(
    "call, package", [("to_sage()", "passagemath-modules passagemath-brial"), ("to_boofun()", "boofun")]
)
def test_without_the_peer_the_error_names_the_package(call, package):
    module = "sage" if "sage" in call else "boofun"
    code = (
        f"import sys; sys.modules[{module!r}] = None\n"
        f"from vexil_kit import BooleanFunction\n"
        f"try:\n    BooleanFunction.majority(3).{call}\n"
        f"except ImportError as e:\n    print(e)\n"
    )
    result = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, timeout=120)
    assert f"pip install {package}" in result.stdout, result.stdout + result.stderr
