import importlib
import sys

import pytest

import vexil
from conftest import Vexil

EXPECTED_SIGNATURES = {
    "from_number": "(number, num_vars)",
    "eval": "($self, i)",
    "repr": "($self)",
    "size": "($self)",
    "majority": "($cls, n)",
    "parity": "($cls, n)",
    "coprimes": "($cls, n)",
    "primality": "($cls, n)",
    "sum_is_prime": "($cls, n)",
    "clique": "($cls, n)",
    "n_vars": "($self)",
    "encode": "($self)",
    "decode": "($cls, raw)",
    "table": "($self, vars)",
}


def test_module_exposes_only_the_class():
    assert [name for name in dir(vexil) if not name.startswith("_")] == ["Vexil"]
    assert vexil.__doc__ == ""
    assert importlib.import_module("vexil") is sys.modules["vexil"] is vexil


def test_class_identity():
    assert Vexil.__module__ == "builtins"
    assert Vexil.__name__ == "Vexil"
    assert Vexil.__text_signature__ == "(repr)"
    with pytest.raises(TypeError):

        class Derived(Vexil):  # noqa: F841
            pass


@pytest.mark.parametrize("name, signature", sorted(EXPECTED_SIGNATURES.items()))
def test_text_signatures(name, signature):
    method = getattr(Vexil, name)
    assert method.__text_signature__ == signature
    assert method.__doc__ is None


def test_objects_have_no_dict_and_compare_by_identity():
    a, b = Vexil([True]), Vexil([True])
    assert a != b and a == a
    assert hash(a) != hash(b) or a is not b
    with pytest.raises(AttributeError):
        a.extra = 1


def test_panic_exception_is_a_base_exception(PanicException):
    assert issubclass(PanicException, BaseException)
    assert not issubclass(PanicException, Exception)
    assert PanicException.__name__ == "PanicException"
    assert "BaseException" in PanicException.__doc__
    assert not hasattr(vexil, "PanicException")


def test_numpy_is_needed_only_by_table():
    import subprocess
    import textwrap

    script = textwrap.dedent(
        """
        import sys
        sys.modules["numpy"] = None  # any import of numpy now fails
        import vexil
        v = vexil.Vexil.parity(3)
        assert v.repr()[0] is True and vexil.Vexil.decode(v.encode()).size() == 8
        try:
            v.table([0])
        except BaseException as error:
            print(type(error).__name__, error.args[0])
        """
    )
    result = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True, check=True)
    kind, _, text = result.stdout.strip().partition(" ")
    assert kind == "PanicException"
    assert text.startswith("Failed to access NumPy array API capsule")
