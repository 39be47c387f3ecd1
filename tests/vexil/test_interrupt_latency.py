"""Ctrl-C during a long family build, sent to a child process that runs the build."""

import select
import subprocess
import sys

import pytest

from conftest import interrupt_child

# The child stamps its answer with the system-wide monotonic clock, which the parent shares.
CHILD = """
import sys, time
from vexil import Vexil

build = getattr(Vexil, sys.argv[1])
n = int(sys.argv[2])
print("building", flush=True)
try:
    build(n)
except KeyboardInterrupt:
    print("interrupted", time.monotonic(), flush=True)
else:
    print("finished", flush=True)
"""

# Sizes whose build takes several seconds here (a few hundred MiB each), so that a
# slow answer shows as a late stamp or a finished build.
LONG_BUILDS = [("primality", 29), ("coprimes", 14)]


@pytest.mark.parametrize("family, n", LONG_BUILDS)
def test_a_long_family_build_answers_ctrl_c_within_a_second(family, n):
    child = subprocess.Popen(
        [sys.executable, "-c", CHILD, family, str(n)], stdout=subprocess.PIPE, stderr=subprocess.PIPE
    )
    ready, _, _ = select.select([child.stdout], [], [], 60)
    if not (ready and child.stdout.readline() == b"building\n"):
        child.kill()
        child.wait()
        pytest.fail("the child did not start building")
    sent, out, err = interrupt_child(child, 0.5)
    words = out.decode().split()
    assert words and words[0] == "interrupted", (out, err)
    latency = float(words[1]) - sent
    assert latency < 1.5, f"{family}({n}) took {latency:.2f} s to answer Ctrl-C"
    assert child.returncode == 0 and b"Traceback" not in err, err
