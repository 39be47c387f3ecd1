"""One registry for every subject: each scalar measure's method, ``registry.evaluate`` and a sweep's
column give the same value, and ``MeasureInfo.excludes`` says where a measure applies exactly where
its method answers (variable limits, permutations only, the symmetric path of the polynomial degrees)."""

import math

import pytest

from vexil_kit import BooleanFunction as BF
from vexil_kit import VectorialFunction as VF
from vexil_kit import registry

FUNCTIONS = [
    BF.majority(5),
    BF.random(5, seed=3),
    BF.xor(4),
    BF.constant(3, True),
    BF.tribes(2, 3),
    BF.random(6, seed=11),
]
SBOXES = [
    VF.named("PRESENT"),
    VF.random(4, 3, seed=1),
    VF.random_permutation(5, seed=2),
    VF.power(5, 3),
    VF([0, 1, 3, 2]),
    VF.random(3, 4, seed=5),
]
ITEMS = {"function": FUNCTIONS, "vectorial": SBOXES}
SCALARS = [(info.subject, info.name) for info in registry.TABLE if info.scalar]


def same(a, b):
    """Equal values of the same type (bool apart from int), NaN equal to NaN."""
    if isinstance(a, bool) != isinstance(b, bool):
        return False
    if isinstance(a, float) and math.isnan(a):
        return isinstance(b, float) and math.isnan(b)
    return a == b


def method_value(x, name):
    try:
        return getattr(x, name)()
    except ValueError:
        return None


@pytest.mark.parametrize("subject, name", SCALARS)
def test_method_registry_and_sweep_give_one_value(subject, name):
    info = registry.find(subject, name)
    items = ITEMS[subject]
    expected = []
    for x in items:
        value = method_value(x, name)
        assert (value is not None) == info.applies(x), (x, info.excludes(x))
        if value is not None:
            evaluated = registry.evaluate(subject, name, x.table, m=getattr(x, "m", None))
            assert same(evaluated, value), (x, evaluated, value)
        expected.append(value)
    pytest.importorskip("pandas")
    import pandas as pd

    from vexil_kit.sweeps import sweep

    column = sweep(items, [name])[name].astype(object).tolist()
    for got, want in zip(column, expected, strict=True):
        if want is None:
            assert pd.isna(got)
        else:
            assert same(type(want)(got), want) and got == want


def test_the_registry_lists_every_subject_once_per_name():
    for subject in registry.SUBJECTS:
        table = registry.measures(subject)
        assert all(info.subject == subject for info in table.values())
        assert len(table) == sum(info.subject == subject for info in registry.TABLE)
    assert registry.MEASURES == registry.measures("function")
    from vexil_kit import vectorial

    assert vectorial.MEASURES == registry.measures("vectorial")
    assert vectorial.VectorialMeasureInfo is registry.MeasureInfo
    with pytest.raises(ValueError, match="subject"):
        registry.measures("matrix")


# Each measure with a variable limit of at most 12, just beyond it (a random function) and, for the
# polynomial degrees, far beyond it where the symmetric path or the essential variables answer.
LIMITED = [info for info in registry.MEASURES.values() if info.max_vars <= 12 and not info.parameters]


@pytest.mark.parametrize("info", LIMITED, ids=lambda info: info.name)
def test_a_limited_measure_applies_where_its_method_answers(info):
    beyond = [BF.random(info.max_vars + 1, seed=4)]
    if info.exact_vars:
        beyond.append(BF.random(info.max_vars - 1, seed=4))
    for f in beyond:
        assert not info.applies(f)
        assert method_value(f, info.name) is None  # ValueError, or None for the five-input class
    if info.symmetric_path:
        answered = [BF.disjunction(info.max_vars + 3), BF.majority(3).extend(info.max_vars + 2)]
        negated = BF.from_callable(info.max_vars + 2, lambda x: bin(x ^ 5).count("1") > 2)
        for f in [*answered, negated]:
            assert info.excludes(f) is None
            assert isinstance(getattr(f, info.name)(), int)


@pytest.mark.parametrize("name", [n for n, info in registry.measures("vectorial").items() if info.permutations_only])
def test_a_permutations_only_measure_applies_to_permutations(name):
    info = registry.find("vectorial", name)
    for box in SBOXES:
        assert info.applies(box) == box.is_permutation()
        if not info.applies(box):
            with pytest.raises(ValueError, match="permutations"):
                getattr(box, name)()
