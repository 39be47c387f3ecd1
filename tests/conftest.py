import sys
from pathlib import Path

import pytest

import vexil

# The test folders (vexil/, kit/, cli/) import the helpers kept here (conftest, reference,
# children, kit_strategies) by name, whatever pytest's import mode.
HERE = str(Path(__file__).resolve().parent)
if HERE not in sys.path:
    sys.path.insert(0, HERE)

Vexil = vexil.Vexil


def panic_type():
    """The exception type raised when native code stops with a message."""
    try:
        Vexil([True, False, True])
    except BaseException as error:  # noqa: BLE001 - the panic type derives from BaseException
        return type(error)
    raise AssertionError("a table of 3 entries was accepted")


@pytest.fixture(scope="session")
def PanicException():
    return panic_type()


def table_of(bits: str):
    """A Vexil from a string of 0/1 entries, entry 0 first."""
    return Vexil([c == "1" for c in bits])


try:
    import pandas  # noqa: F401
    import pyarrow  # noqa: F401

    HAS_PANDAS = True
except ImportError:
    HAS_PANDAS = False
# A sweep's table is a pandas DataFrame written with pyarrow; without them the sources, the class
# list and the kernel's checks are still tested.
needs_pandas = pytest.mark.skipif(not HAS_PANDAS, reason="sweeps need pandas and pyarrow")


@pytest.fixture(scope="session")
def class_words():
    """The five-input NPN classes, one word each."""
    from vexil_kit import _native

    return _native.five_input_class_words()
