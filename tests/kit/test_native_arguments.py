"""Every integer argument of the toolkit's native layer is read exactly: no
wrap-around modulo 2**64, no bool taken for an int, the parameter named. Every
native function binds its arguments as its text signature says."""

import inspect

import numpy as np
import pytest

from vexil_kit import _native

TABLE = np.array([0, 1, 1, 0, 1, 0, 0, 1] * 8, dtype=np.uint8)  # six variables

# (parameter name, call): integer parameters that take a count.
COUNTS = [
    ("k", lambda k: _native.fragmentation_k(TABLE, k)),
    ("d", lambda d: _native.annihilator(TABLE, d)),
    ("x", lambda x: _native.smallest_certificate(TABLE, x)),
    ("a variable", lambda v: _native.information(TABLE, (v,))),
    ("n", lambda n: _native.sweep_spectra(b"", n)),
    ("bytes", lambda b: _native.ensure_working_set(b)),
    ("n", lambda n: _native.npn_class_words(n)),
    ("n", lambda n: _native.balanced_cuts(n)),
    ("count", lambda c: _native.float32_mean(1.0, c)),
]

# Integer parameters that bound a range: out of range is a ValueError there.
RANKS = [
    ("n", lambda n: _native.balanced_cut_count(n)),
    ("begin", lambda b: _native.cut_counts_range(TABLE, b, 1)),
    ("end", lambda e: _native.cut_entropies_range(TABLE, 0, e)),
    ("k", lambda k: _native.subset_entropies_range(TABLE, k, 0, 1)),
    ("begin", lambda b: _native.subset_entropies_range(TABLE, 1, b, 1)),
]


def _ids(calls):
    return [f"{name}-{i}" for i, (name, _) in enumerate(calls)]


@pytest.mark.parametrize("name, call", COUNTS, ids=_ids(COUNTS))
@pytest.mark.parametrize(
    "value, error, text",
    [
        (2**64, OverflowError, "from 0 to 2**64 - 1"),
        (2**64 + 3, OverflowError, "from 0 to 2**64 - 1"),
        (-1, OverflowError, "from 0 to 2**64 - 1"),
        (True, TypeError, "not bool"),
        (3.0, TypeError, "not float"),
    ],
)
def test_integer_arguments_are_exact(name, call, value, error, text):
    with pytest.raises(error) as caught:
        call(value)
    assert str(caught.value).startswith(name) and text in str(caught.value)


@pytest.mark.parametrize("name, call", RANKS, ids=_ids(RANKS))
@pytest.mark.parametrize(
    "value, error, text",
    [
        (2**64, ValueError, "from 0 to 2**64 - 1"),
        (-1, ValueError, "from 0 to 2**64 - 1"),
        (False, TypeError, "not bool"),
        (1.0, TypeError, "not float"),
    ],
)
def test_range_bounds_are_exact(name, call, value, error, text):
    with pytest.raises(error) as caught:
        call(value)
    assert str(caught.value).startswith(name) and text in str(caught.value)


def _signed_functions():
    for name, function in sorted(vars(_native).items()):
        if not callable(function) or isinstance(function, type):
            continue
        try:
            yield name, inspect.signature(function)
        except ValueError:
            continue


SIGNED = list(_signed_functions())


def _bad_bindings(signature):
    """Argument lists that no function of `signature` accepts, with what each breaks."""
    params = list(signature.parameters.values())
    positional = [p for p in params if p.kind is p.POSITIONAL_ONLY]
    keywords = [p for p in params if p.kind is p.KEYWORD_ONLY]
    required = len(positional)
    yield "one positional too many", [None] * (required + 1), {}
    if required > 0:
        yield "one positional too few", [None] * (required - 1), {}
        yield "a positional-only one by name", [None] * (required - 1), {positional[-1].name: None}
    yield "an unknown keyword", [None] * required, {"no_such_parameter": None}
    for keyword in keywords:
        yield f"{keyword.name} by position", [None] * (required + 1), {}


def test_every_native_function_has_a_text_signature():
    assert len(SIGNED) >= 59


@pytest.mark.parametrize("name, signature", SIGNED, ids=[name for name, _ in SIGNED])
def test_bindings_follow_the_text_signature(name, signature):
    # The binding refuses before any argument is converted: None, which no
    # table or count takes, never reaches a conversion (whose messages name it).
    for broken, args, kwargs in _bad_bindings(signature):
        with pytest.raises(TypeError) as caught:
            getattr(_native, name)(*args, **kwargs)
        assert "NoneType" not in str(caught.value), broken
        assert f"{name}()" in str(caught.value), broken
