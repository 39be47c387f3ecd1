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


def interrupt_child(child, delay: float) -> tuple[float, bytes, bytes]:
    """Sends SIGINT to a running child after `delay` seconds and collects its output.

    Returns the monotonic time of the signal with the child's standard output and
    error; the child is killed if it is still running when this returns or fails."""
    import signal
    import time

    try:
        time.sleep(delay)
        sent = time.monotonic()
        child.send_signal(signal.SIGINT)
        out, err = child.communicate(timeout=120)
        return sent, out, err
    finally:
        if child.poll() is None:
            child.kill()
            child.wait()
