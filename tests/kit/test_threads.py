"""Long measures release the interpreter lock: other Python threads keep running while they compute."""

import itertools
import math
import threading
import time

import pytest

from vexil_kit import BooleanFunction as BF

F18, F24 = BF.random(18, seed=4), BF.random(24, seed=0)


@pytest.mark.parametrize(
    "call, calls",
    [
        pytest.param(lambda: F18.entanglement(progress=lambda done, total: None), 1, id="entanglement with progress"),
        pytest.param(lambda: int(F24.walsh_spectrum()[0]), 6, id="walsh_spectrum"),
    ],
)
def test_other_threads_run_while_a_measure_computes(call, calls):
    one_call = math.inf
    for _ in range(3):
        start = time.perf_counter()
        expected = call()
        one_call = min(one_call, time.perf_counter() - start)
    done = threading.Event()
    results = []

    def compute():
        for _ in range(calls):
            results.append(call())
        done.set()

    worker = threading.Thread(target=compute)
    ticks = [time.perf_counter()]
    worker.start()
    while not done.is_set():
        sum(range(200))  # Python work that needs the interpreter lock
        ticks.append(time.perf_counter())
    worker.join()
    assert results == [expected] * calls
    longest_pause = max(b - a for a, b in itertools.pairwise(ticks))
    # Holding the lock through a call would stall this loop for a whole call.
    assert longest_pause < max(0.5 * one_call, 0.05), (longest_pause, one_call)
    assert len(ticks) > 100
