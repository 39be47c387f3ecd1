"""The value classes: one value protocol for both, every scalar method computed by the registry's
evaluator, every forwarding method documented once (by the function it applies), circuits read back."""

import copy
import doctest
import functools
import inspect
import math
import pickle
from pathlib import Path

import numpy as np
import pytest

import vexil_kit
from vexil_kit import BooleanFunction as BF
from vexil_kit import Circuit, _native, _value, circuits, registry
from vexil_kit import VectorialFunction as VF

FUNCTIONS = [
    BF([True]),
    BF([False]),
    BF([False, True]),
    BF([True, True]),
    BF.majority(3),
    BF.inner_product(4),
    BF.random(5, seed=3),
    BF.random(6, seed=1),
]
SBOXES = [
    VF([0]),
    VF([1, 0]),
    VF([3, 0, 1, 2]),
    VF.named("PRESENT"),
    VF.random(4, 3, seed=1),
    VF.random_permutation(5, seed=2),
    VF.power(5, 3),
]


def vectorial_scalars():
    """The S-box measures with a scalar evaluator: the integer and boolean rows of the registry."""
    if hasattr(_native, "vectorial_registry"):
        return [row[0] for row in _native.vectorial_registry() if row[1] in ("integer", "boolean")]
    return [row[0] for row in _native.measure_registry() if row[1] == "vectorial" and row[9]]


SCALARS = [("function", name) for name, _, _ in _native.sweep_measure_table()] + [
    ("vectorial", name) for name in vectorial_scalars()
]
ITEMS = {"function": FUNCTIONS, "vectorial": SBOXES}


def outcome(call):
    """The value of a call with its type, or the type of the ValueError it raises."""
    try:
        value = call()
    except ValueError:
        return ValueError
    return type(value), "nan" if isinstance(value, float) and math.isnan(value) else value


@pytest.mark.parametrize("subject, name", SCALARS)
def test_a_scalar_method_gives_the_registrys_value(subject, name):
    for x in ITEMS[subject]:
        evaluated = functools.partial(registry.evaluate, subject, name, x.table, m=getattr(x, "m", None))
        assert outcome(getattr(x, name)) == outcome(evaluated), x


@pytest.mark.parametrize("subject, name", SCALARS)
def test_a_scalar_method_computes_through_the_evaluator(subject, name, monkeypatch):
    asked = []
    evaluate = registry.evaluate

    def recording(subject, name, table, **options):
        asked.append((subject, name))
        return evaluate(subject, name, table, **options)

    monkeypatch.setattr(registry, "evaluate", recording)
    getattr(ITEMS[subject][3], name)()
    assert (subject, name) in asked


def test_a_scalar_method_keeps_its_own_refusal_past_its_limit():
    with pytest.raises(ValueError, match="minimum circuits are known for at most 5 variables; this function has 6"):
        BF.xor(6).minimal_gates()
    with pytest.raises(ValueError, match="decision_tree_size takes functions of at most 10 variables; this one has 11"):
        BF.xor(11).decision_tree_size()


VALUES = [
    (BF.majority(3), BF.from_hex("0xe8", n=3), BF.xor(3)),
    (BF([True]), BF.constant(0, 1), BF([False])),
    (VF([0, 1, 3, 2]), VF([0, 1, 3, 2], m=2), VF([0, 1, 3, 2], m=3)),
    (VF.named("PRESENT"), VF(VF.named("PRESENT").table.tolist()), VF.named("PRESENT").inverse()),
]


@pytest.mark.parametrize("value, same, other", VALUES, ids=lambda v: type(v).__name__)
def test_both_classes_follow_one_value_protocol(value, same, other):
    assert value == same and hash(value) == hash(same)
    assert value != other and not (value == other)
    for back in (pickle.loads(pickle.dumps(value)), copy.copy(value), copy.deepcopy(value)):
        assert back == value and type(back) is type(value)
    assert np.asarray(value) is value.table and len(value) == len(value.table) == 2**value.n
    assert not value.table.flags.writeable
    with pytest.raises(AttributeError, match="immutable"):
        value.extra = 1
    with pytest.raises(ValueError, match=f"converting a {type(value).__name__}"):
        np.asarray(value, dtype=np.float64, copy=False)
    assert eval(repr(value), vars(vexil_kit)) == value


def test_a_function_and_an_sbox_of_one_table_differ():
    assert BF([False, True]) != VF([0, 1])


def forwarding_methods():
    for cls in (BF, VF):
        for name, attribute in vars(cls).items():
            function = getattr(attribute, "__func__", attribute)
            if _value.implementation(function) is not None:
                yield cls, name, function


@pytest.mark.parametrize("cls, name, method", list(forwarding_methods()), ids=lambda x: getattr(x, "__name__", ""))
def test_a_forwarding_method_is_documented_by_the_function_it_applies(cls, name, method):
    fn = _value.implementation(method)
    assert ">>>" in fn.__doc__
    assert method.__doc__.endswith(inspect.cleandoc(fn.__doc__))
    assert f"{fn.__module__}.{fn.__name__}" in method.__doc__.splitlines()[0]
    assert method.__qualname__ == f"{cls.__name__}.{name}"
    expected = list(inspect.signature(fn).parameters)
    if not isinstance(vars(cls)[name], classmethod):
        expected[0] = "self"  # the table's place
    assert list(inspect.signature(getattr(cls, name)).parameters) == expected


HALF_ADDER = Circuit(2, ((6, 0, 1), (8, 0, 1)), outputs=((2, False), (3, False)))


@pytest.mark.parametrize("f", FUNCTIONS[2:6], ids=repr)
def test_a_circuit_of_one_output_gives_back_its_function(f):
    c = f.minimal_circuit()
    assert BF.from_circuit(c) == f
    assert circuits.FUNCTION_OF(c) == f and type(circuits.FUNCTION_OF(c)) is BF


def test_a_circuit_of_several_outputs_gives_an_sbox():
    expected = VF.from_components([BF.xor(2), BF.conjunction(2)])
    assert VF.from_circuit(HALF_ADDER) == expected == circuits.FUNCTION_OF(HALF_ADDER)
    with pytest.raises(ValueError, match="one output; this one has 2"):
        BF.from_circuit(HALF_ADDER)
    with pytest.raises(TypeError, match="Circuit"):
        VF.from_circuit(expected)


PACKAGE = Path(vexil_kit.__file__).resolve().parent
LIMIT = 800


@pytest.mark.parametrize("path", sorted(PACKAGE.rglob("*.py")), ids=lambda p: str(p.relative_to(PACKAGE)))
def test_no_module_is_over_800_lines(path):
    assert len(path.read_text().splitlines()) <= LIMIT


@pytest.mark.parametrize("module", [_value, vexil_kit.vectorial], ids=lambda m: m.__name__)
def test_the_examples_of_the_base_and_the_sbox_class_run(module):
    result = doctest.testmod(module, raise_on_error=False, verbose=False)
    assert result.attempted > 0 and result.failed == 0
