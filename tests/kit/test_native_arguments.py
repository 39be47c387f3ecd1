"""Every integer argument of the toolkit's native layer is read exactly: no
wrap-around modulo 2**64, no bool taken for an int, the parameter named."""

import numpy as np
import pytest

from vexil_kit import _native

TABLE = np.array([0, 1, 1, 0, 1, 0, 0, 1] * 8, dtype=np.uint8)  # six variables

CALLS = {
    "k": lambda k: _native.fragmentation_k(TABLE, k),
    "d": lambda d: _native.annihilator(TABLE, d),
    "x": lambda x: _native.smallest_certificate(TABLE, x),
    "a variable": lambda v: _native.information(TABLE, (v,)),
    "n": lambda n: _native.sweep_spectra(b"", n),
    "bytes": lambda b: _native.ensure_working_set(b),
}


@pytest.mark.parametrize("name", CALLS)
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
def test_integer_arguments_are_exact(name, value, error, text):
    with pytest.raises(error) as caught:
        CALLS[name](value)
    assert str(caught.value).startswith(name) and text in str(caught.value)
