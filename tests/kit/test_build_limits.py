"""Builders refuse tables that cannot be held, before allocating, with the sizes in the message."""

import math
import os
import subprocess
import sys

import pytest

from vexil_kit import BooleanFunction as BF


@pytest.mark.parametrize(
    "build",
    [
        lambda: BF.majority(40),
        lambda: BF.xor(41),
        lambda: BF.threshold(40, 3),
        lambda: BF.dictator(40, 1),
        lambda: BF.constant(40, True),
        lambda: BF.conjunction(40),
        lambda: BF.random(40, seed=0),
        lambda: BF.random(38, seed=0, balanced=True),
        lambda: BF.from_expression("x0 & x39"),
        lambda: BF.from_callable(40, lambda xs: xs & 1, vectorized=True),
        lambda: BF.tribes(5, 8),
        lambda: BF.inner_product(40),
    ],
)
def test_a_table_beyond_the_machine_raises_memory_error(build):
    with pytest.raises(MemoryError, match=r"needs 1\.0 TiB|needs [0-9.]+ TiB .* can be had"):
        build()


LIMITED_CHILD = """
import resource
from vexil_kit import BooleanFunction
with open("/proc/self/statm") as statm:
    size = int(statm.read().split()[0]) * resource.getpagesize()
# Room for a table of 2**26 entries and its chunks, not for one of 2**28.
resource.setrlimit(resource.RLIMIT_AS, (size + (160 << 20), resource.RLIM_INFINITY))
for build in (lambda: BooleanFunction.majority(28), lambda: BooleanFunction.random(28, seed=1),
              lambda: BooleanFunction.from_expression("x0 ^ x27")):
    try:
        build()
        print("built")
    except MemoryError as error:
        print("MemoryError", "can be had" in str(error))
print(BooleanFunction.majority(26).weight())
"""


@pytest.mark.skipif(
    os.environ.get("VEXIL_SANITIZED") == "1",
    reason="the sanitizers' allocator needs address space for redzones and quarantine beyond what is counted",
)
def test_builders_respect_an_address_space_limit():
    done = subprocess.run([sys.executable, "-c", LIMITED_CHILD], capture_output=True, timeout=120)
    assert done.returncode == 0, done.stderr
    lines = done.stdout.decode().splitlines()
    assert lines[:3] == ["MemoryError True"] * 3, (done.stdout, done.stderr)
    # Majority of 26 has a true entry for each x with more than 13 ones.
    assert lines[3:] == [str((2**26 - math.comb(26, 13)) // 2)]
