import importlib
import sys

import pytest
from conftest import Vexil

import vexil

# Registration order and text signature of every method.
EXPECTED_SIGNATURES = [
    ("from_number", "(number, num_vars)"),
    ("eval", "($self, i)"),
    ("repr", "($self)"),
    ("size", "($self)"),
    ("majority", "($cls, n)"),
    ("parity", "($cls, n)"),
    ("coprimes", "($cls, n)"),
    ("primality", "($cls, n)"),
    ("sum_is_prime", "($cls, n)"),
    ("clique", "($cls, n)"),
    ("n_vars", "($self)"),
    ("entanglement", "($self)"),
    ("entropy", "($self)"),
    ("fragmentation_coefficient", "($self, vars)"),
    ("fragmentation_k", "($self, k)"),
    ("fragmentation_spectrum", "($self)"),
    ("restriction_signature", "($self)"),
    ("fragmentation_profile", "($self)"),
    ("fragmentation_peak", "($self)"),
    ("fragmentation_delta", "($self)"),
    ("fragmentation_delta2", "($self)"),
    ("equanimity_importance", "($self)"),
    ("entanglement_sets", "($self)"),
    ("entropy_sets", "($self)"),
    ("information", "($self, vars)"),
    ("encode", "($self)"),
    ("decode", "($cls, raw)"),
    ("minimal_gates", "($self)"),
    ("frontier_size", "($self)"),
    ("max_frontier_size", "($self)"),
    ("table", "($self, vars)"),
    ("npn_representant", "($self)"),
    ("max_sensitivity", "($self)"),
    ("mean_sensitivity", "($self)"),
    ("spectral_entropy", "($self)"),
    ("degree", "($self)"),
    ("no_linearity", "($self)"),
    ("influence", "($self, var)"),
    ("total_influence", "($self)"),
    ("certificate_complexity", "($self)"),
]


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


def test_forty_methods_in_registration_order():
    registered = [name for name in vars(Vexil) if not name.startswith("__")]
    assert registered == [name for name, _ in EXPECTED_SIGNATURES]


@pytest.mark.parametrize("name, signature", EXPECTED_SIGNATURES)
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


@pytest.mark.parametrize("method, name", [("entanglement_sets", "EntanglementSet"), ("entropy_sets", "EntropySets")])
def test_record_classes(method, name):
    record = getattr(Vexil.majority(3), method)()[0]
    kind = type(record)
    assert kind.__name__ == name and kind.__module__ == "builtins"
    assert not hasattr(vexil, name)
    with pytest.raises(TypeError) as caught:
        kind()
    assert str(caught.value) == "No constructor defined for " + name
    with pytest.raises(AttributeError):
        record.set1 = [1]
    first = record.set1
    first.append(99)
    assert record.set1 == [0] and record.set1 is not record.set1


def test_exclusive_borrow_conflicts_with_a_running_call():
    v = Vexil.parity(3)

    class Reenter:
        def __index__(self):
            v.frontier_size()
            return 0

    with pytest.raises(RuntimeError) as caught:
        v.table([Reenter()])
    assert str(caught.value) == "Already borrowed"
    assert v.frontier_size() == 12 and v.table([0]).shape == (4, 2)


def test_frontier_cache_survives_repeated_calls():
    v = Vexil.majority(3)
    assert [v.frontier_size() for _ in range(3)] == [6, 6, 6]
    assert v.max_frontier_size() == 12
