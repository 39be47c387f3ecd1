"""Objects survive heavy use: many short calls keep the process's memory flat."""

import os
import sys

import pytest
from conftest import Vexil, panic_type

PANIC = panic_type()

pytestmark = pytest.mark.skipif(
    not sys.platform.startswith("linux") or os.environ.get("VEXIL_SANITIZED") == "1",
    reason="reads /proc; sanitizer allocators keep freed memory in quarantine",
)


def resident_bytes():
    with open("/proc/self/statm") as statm:
        return int(statm.read().split()[1]) * os.sysconf("SC_PAGE_SIZE")


def short_calls(v, w, count):
    raw = v.encode()
    for i in range(count):
        v.eval(i & 15)
        v.size()
        w.information([0, 1])
        if i % 8 == 0:
            v.repr()
            Vexil.decode(raw)
            w.entropy_sets()
            v.table([1, 2])
            w.fragmentation_peak()
            v.minimal_gates()
        if i % 64 == 0:
            for bad in (lambda: v.eval(99), lambda: Vexil([True] * 3), lambda: v.eval("x")):
                try:
                    bad()
                except (IndexError, TypeError, PANIC):
                    pass


def test_a_million_calls_keep_memory_flat():
    v, w = Vexil.parity(4), Vexil.majority(5)
    short_calls(v, w, 50_000)  # warm every cache and free list first
    before = resident_bytes()
    short_calls(v, w, 1_000_000 // 3)
    grown = resident_bytes() - before
    assert grown < 1 << 20, f"resident memory grew by {grown} bytes"
