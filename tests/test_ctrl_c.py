"""Ctrl-C stops a long computation promptly, in the module, the toolkit and the command line, and
the process still answers afterwards. Each case runs in a child process that gets a real SIGINT."""

import importlib.util
import json
import os
import random
import signal
import subprocess
import sys
import tempfile
import textwrap
import time
from dataclasses import dataclass

import pytest
from children import interrupt, interrupt_call
from conftest import needs_pandas

needs_dask = pytest.mark.skipif(importlib.util.find_spec("distributed") is None, reason="needs dask.distributed")


@dataclass
class Case:
    setup: str  # defines work(), the long call, and after(), what the process answers next
    after: str  # after()'s output
    command: list[str] | None = None  # a command run instead, ended with `status`
    status: int = 0
    delay: float = 0.5  # seconds into work() when the signal is sent
    within: float = 1.0  # seconds from the signal to KeyboardInterrupt
    calibrated: bool = False  # times work() first; the signal and the bound scale with it
    sweep: bool = False  # needs pandas


FRAGMENTATION = Case(
    """
    from vexil_kit import BooleanFunction
    f = BooleanFunction.random(21, seed=0)
    def work(): f.fragmentation_spectrum(progress=lambda done, total: None)
    def after(): return BooleanFunction.majority(3).entropy()
    """,
    "2.5",
    delay=1.0,
)

CASES = {
    # Random tables of 2**24 entries: a second or more of cuts; the objects stay usable.
    "vexil entropy": Case(
        """
        import numpy as np
        import vexil
        small = vexil.Vexil((np.random.default_rng(1).random(2**12) < 0.5).tolist())
        before = small.entropy()
        big = vexil.Vexil((np.random.default_rng(2).random(2**24) < 0.5).tolist())
        def work(): big.entropy()
        def after():
            assert small.entropy() == before and small.entanglement_sets()[0].set1 == [0, 1, 2, 3, 4, 5]
            assert big.information([0]) == 2
            return "usable"
        """,
        "usable",
    ),
    # Family builds of several seconds (a few hundred MiB each).
    **{
        f"vexil {family}({n})": Case(
            f"""
            from vexil import Vexil
            def work(): Vexil.{family}({n})
            def after(): return Vexil.parity(3).n_vars()
            """,
            "3",
            within=1.5,
        )
        for family, n in [("primality", 29), ("coprimes", 14)]
    },
    "kit fragmentation_spectrum": FRAGMENTATION,
    # Both faces in one process: each call polls for itself, whichever face was imported last.
    "vexil with the toolkit imported after it": Case(
        """
        import vexil, vexil_kit
        f = vexil.Vexil.majority(22)
        def work(): f.entanglement()
        def after(): return vexil_kit.BooleanFunction.majority(3).entropy()
        """,
        "2.5",
    ),
    "kit with vexil imported after it": Case(
        """
        import vexil_kit, vexil
        f = vexil_kit.BooleanFunction.majority(22)
        def work(): f.entanglement()
        def after(): return vexil.Vexil.majority(3).entropy()
        """,
        "2.5",
    ),
    # s < bs: the bounds do not settle it, the packing search runs for ten seconds and more.
    "kit block_sensitivity": Case(
        """
        import numpy as np
        from vexil_kit import BooleanFunction
        spread = BooleanFunction.from_hex("0x1bd8", n=4)
        f = BooleanFunction.from_callable(
            20, lambda xs: np.any([spread.table[(xs >> (4 * j)) & 15] for j in range(5)], axis=0), vectorized=True)
        def work(): f.block_sensitivity()
        def after(): return BooleanFunction.majority(5).block_sensitivity()
        """,
        "3",
        delay=0.3,
    ),
    # 3**18 subcubes, a few seconds.
    "kit decision_tree_depth": Case(
        """
        from vexil_kit import BooleanFunction
        f = BooleanFunction.tribes(3, 6)
        def work(): f.decision_tree_depth()
        def after(): return BooleanFunction.majority(5).decision_tree_depth()
        """,
        "5",
        delay=0.3,
    ),
    # 3**20 cells (3.5 GB) to fill before the first subcube is solved; under the sanitizers, releasing
    # them (their shadow poisoned) has taken from one to five seconds; the normal build answers within one.
    "kit decision_tree_depth filling its table": Case(
        """
        from vexil_kit import BooleanFunction
        f = BooleanFunction.tribes(4, 5)
        def work(): f.decision_tree_depth()
        def after(): return BooleanFunction.majority(5).decision_tree_depth()
        """,
        "5",
        delay=0.2,
        within=10.0 if os.environ.get("VEXIL_SANITIZED") == "1" else 1.0,
    ),
    # Python-side loops over 2**n entries: a chunk at a time, so that the signal is heard between chunks.
    "kit anf, the list of monomials": Case(
        """
        from vexil_kit import BooleanFunction
        f = BooleanFunction.random(26, seed=0)
        def work(): f.anf()
        def after(): return BooleanFunction.majority(3).anf()
        """,
        "[3, 5, 6]",
        calibrated=True,
    ),
    "kit random balanced": Case(
        """
        from vexil_kit import BooleanFunction
        def work(): BooleanFunction.random(27, seed=0, balanced=True)
        def after(): return BooleanFunction.random(4, seed=0, balanced=True).weight()
        """,
        "8",
        calibrated=True,
    ),
    # A bent function of 26 variables: the transform of its plateau test runs (256 MiB of int32).
    "kit plateaued_amplitude": Case(
        """
        from vexil_kit import BooleanFunction
        f = BooleanFunction.maiorana_mcfarland(range(1 << 13), BooleanFunction.random(13, seed=2))
        def work(): f.plateaued_amplitude()
        def after(): return BooleanFunction.majority(3).plateaued_amplitude()
        """,
        "4",
        calibrated=True,
    ),
    # Single kernels without a progress callable: only their own poll can stop them.
    "native absolute_indicator": Case(
        """
        import numpy as np
        from vexil_kit import _native
        table = np.random.default_rng(0).integers(0, 2, 1 << 26, dtype=np.uint8).view(bool)
        def work(): _native.absolute_indicator(table)
        def after(): return _native.absolute_indicator(np.array([0, 1, 1, 1], dtype=bool))  # r = [4, 0, 0, 0]
        """,
        "0",
        calibrated=True,
    ),
    "native walsh_spectrum": Case(
        """
        import numpy as np
        from vexil_kit import _native
        table = np.ones(1 << 27, dtype=bool)
        def work(): _native.walsh_spectrum(table)
        def after(): return _native.walsh_spectrum(np.array([0, 1, 1, 0], dtype=bool)).tolist()
        """,
        "[0, 0, 0, 4]",
        calibrated=True,
    ),
    # S-box kernels over 2**14 and 2**24 inputs: the Walsh tables fault in 1 GiB of output, the
    # streamed measures run rows of 2**24 words, the cycle type walks cycles of millions of steps.
    **{
        f"kit vectorial {call}": Case(
            f"""
            from vexil_kit import VectorialFunction
            F = VectorialFunction.random_permutation({n}, seed=1)
            def work(): F.{call}()
            def after(): return VectorialFunction.named("PRESENT").linearity()
            """,
            "8",
            delay=delay,
        )
        for call, n, delay in [
            ("walsh_table", 14, 0.2),
            ("lat", 14, 0.2),
            ("boomerang_uniformity", 24, 0.5),
            ("differential_branch_number", 24, 0.5),
        ]
    },
    # Outputs of 32 bits on 2**24 inputs: each DDT row sorts 2**23 differences, which must poll.
    "kit vectorial sorted DDT rows": Case(
        """
        from vexil_kit import VectorialFunction
        F = VectorialFunction.random(24, 32, seed=1)
        def work(): F.differential_uniformity()
        def after(): return VectorialFunction.named("PRESENT").linearity()
        """,
        "8",
        delay=1.0,
    ),
    # One cycle through all 2**24 inputs in a random order, walked again and again: each walk must
    # poll inside its cycle.
    "kit vectorial cycle_type": Case(
        """
        import numpy as np
        from vexil_kit import VectorialFunction
        order = np.random.default_rng(1).permutation(1 << 24).astype(np.uint32)
        table = np.empty(1 << 24, dtype=np.uint32)
        table[order] = np.roll(order, -1)
        F = VectorialFunction(table)
        def work():
            for _ in range(50):
                F.cycle_type()
        def after(): return VectorialFunction.named("PRESENT").linearity()
        """,
        "8",
        delay=0.5,
    ),
    # Minutes of work on two cores; the batch in flight ends first.
    "kit sweep": Case(
        """
        from vexil_kit.sweep import sweep, random_functions
        source = random_functions(12, 100_000, seed=0)
        def work(): sweep(source, ["entanglement", "decision_tree_depth"])
        def after(): return len(sweep(random_functions(3, 4, seed=0), ["weight"]))
        """,
        "4",
        within=5.0,
        sweep=True,
    ),
    # A linear program of HiGHS (a general function of ten variables: tens of seconds), stopped through
    # its callback; the process then ends with no other solve (a solver left running would abort it).
    "kit approximate_degree": Case(
        """
        from vexil_kit import BooleanFunction
        f = BooleanFunction.random(10, seed=0)
        def work(): f.approximate_degree()
        def after(): return BooleanFunction.xor(3).npn_canonical()[0].to_hex()
        """,
        "0x69",
        delay=1.5,
    ),
    # The JSON header comes once the function is built, before the measure starts; the exit
    # includes the interpreter's shutdown.
    "command line report": Case(
        "",
        "",
        command=[sys.executable, "-m", "vexil_kit.cli", "report", "majority:26", "--json", "--only", "entropy"],
        status=130,
        within=2.0,
    ),
    # Exact synthesis: CaDiCaL runs in slices of a conflict budget, Ctrl-C is answered between them.
    "kit synthesis": Case(
        """
        from vexil_kit import BooleanFunction
        f = BooleanFunction.random(5, seed=2)
        def work(): f.minimal_gates("AIG")
        def after(): return BooleanFunction.majority(3).minimal_gates("AIG")
        """,
        "4",
        delay=2.0,
    ),
}


@pytest.mark.parametrize(
    "case", [pytest.param(case, id=name, marks=needs_pandas if case.sweep else ()) for name, case in CASES.items()]
)
def test_ctrl_c_raises_keyboard_interrupt_promptly(case):

    def delay(whole):
        if not case.calibrated:
            return case.delay
        if whole < 0.3:
            pytest.skip(f"a whole call takes only {whole:.2f} s here, too short to tell a prompt answer")
        return 0.3 * whole  # well inside the call

    if case.command:
        stopped = interrupt(case.command, delay=case.delay)
    else:
        stopped = interrupt_call(case.setup, delay=delay, calibrations=2 if case.calibrated else 0)
        assert stopped.interrupted, (stopped.lines, stopped.err)
        assert stopped.lines[1:] == [case.after], (stopped.lines, stopped.err)
    assert stopped.status == case.status and "Traceback" not in stopped.err, stopped.err
    if case.calibrated:
        # Without the poll the call would run to its end, about 0.7 * whole after the signal.
        assert stopped.latency < 0.25 * stopped.whole + 0.1, (stopped.latency, stopped.whole)
        assert stopped.ran < 0.75 * stopped.whole + 0.1, (stopped.ran, stopped.whole)
    else:
        assert stopped.latency < case.within, stopped.latency


CLUSTER = """
from vexil_kit import BooleanFunction, cluster
f = BooleanFunction.random(24, seed=0)
def work(): cluster.entanglement(f, chunks=64)
def after(): return "answers"
"""


@needs_dask
@pytest.mark.parametrize(
    "delay, again",
    [(0.3, None), (1.5, None), (8.0, None), (8.0, 0.2)],
    ids=["while the cluster starts", "while the workers start", "while computing", "a second during the shutdown"],
)
def test_ctrl_c_in_a_cluster_call_leaves_no_process(delay, again):
    # The LocalCluster's nannies and workers start within seconds; the cuts run for minutes.
    stopped = interrupt_call(CLUSTER, delay=delay, again=again, new_session=True, timeout=180.0)
    assert stopped.interrupted, (stopped.lines, stopped.err[-3000:])
    assert stopped.lines[1:] == ["answers"], (stopped.lines, stopped.err[-3000:])
    assert stopped.left == [], stopped.left


# Ctrl-C at random moments, a hundred times over: each stop must leave the SAT solver and the
# allocator sound (a stop inside the solver, or a solver deleted under a running slice, aborts or
# hangs the process). Signals between searches are dropped, so that only the searches see them.
PESTERED = """
import signal, sys, time
from vexil_kit import BooleanFunction
armed = False
def on_sigint(signum, frame):
    if armed:
        raise KeyboardInterrupt
signal.signal(signal.SIGINT, on_sigint)
f = BooleanFunction.random(5, seed=2)
stopped = 0
print("ready", flush=True)
end = time.monotonic() + 5.0  # a second past the signals
while time.monotonic() < end:
    armed = True
    try:
        f.synthesize("AIG", time_limit=0.5)
        armed = False
    except KeyboardInterrupt:
        armed = False
        stopped += 1
print(stopped, BooleanFunction.majority(3).minimal_gates("AIG"), flush=True)
"""


def test_ctrl_c_at_any_moment_of_a_circuit_search():
    with tempfile.TemporaryFile("w+") as err:  # not a pipe, which a chatty child could fill
        child = subprocess.Popen([sys.executable, "-c", PESTERED], stdout=subprocess.PIPE, stderr=err, text=True)
        try:
            assert child.stdout.readline() == "ready\n"
            rng = random.Random(0)
            end = time.monotonic() + 4.0
            while time.monotonic() < end and child.poll() is None:
                time.sleep(rng.random() * 0.04)
                child.send_signal(signal.SIGINT)
            out, _ = child.communicate(timeout=120)
        finally:
            child.kill()
        err.seek(0)
        assert child.returncode == 0, err.read()[-3000:]
    stopped, after = map(int, out.split())
    assert stopped >= 10 and after == 4, out


# A timer whose handler is Ctrl-C's own, sent at moments swept from mid-call to well past its end.
# Each try stamps the timer's latest expiry and, from C (extend() appends each item as map() yields
# it, before any bytecode runs), the moment the native call (work, no Python frame of its own)
# returned: it must raise every Ctrl-C that came before that, and the process must see every one.
AT_ANY_MOMENT = """
import json, operator, signal, time
{setup}
signal.signal(signal.SIGALRM, signal.default_int_handler)
def timed():
    start = time.monotonic()
    work()
    return time.monotonic() - start
whole = min(timed() for _ in range(3))
tries = []
for i in range({tries}):
    delay = whole * (0.6 + 1.2 * i / {tries})
    marks = []
    seen = False
    expiry = time.monotonic() + delay  # before the timer's: only for a call that raised
    try:
        try:
            signal.setitimer(signal.ITIMER_REAL, delay)
            expiry = time.monotonic() + delay  # at or after the timer's
            marks.extend(map(operator.call, [work, time.monotonic]))
        except KeyboardInterrupt:
            seen = True
        while time.monotonic() < expiry + 0.05:  # a Ctrl-C after the return comes here
            pass
    except KeyboardInterrupt:
        seen = True
    tries.append([expiry, marks[1] if len(marks) == 2 else None, seen])
print(json.dumps(tries))
"""


@pytest.mark.parametrize(
    "setup",
    [
        """
        import random, vexil
        rng = random.Random(8)
        work = vexil.Vexil([rng.random() < 0.5 for _ in range(1 << 16)]).entropy_sets
        """,
        """
        import functools
        import numpy as np
        from vexil_kit import _native
        table = np.random.default_rng(0).integers(0, 2, 1 << 22, dtype=np.uint8).view(bool)
        work = functools.partial(_native.absolute_indicator, table)
        """,
    ],
    ids=["vexil, the lock held", "kit, the lock released"],
)
def test_ctrl_c_at_any_moment_is_raised_by_the_call_it_came_during(setup):
    code = AT_ANY_MOMENT.format(setup=textwrap.dedent(setup), tries=80)
    done = subprocess.run([sys.executable, "-c", code], capture_output=True, text=True, timeout=120)
    assert done.returncode == 0, done.stderr[-3000:]
    tries = json.loads(done.stdout.splitlines()[-1])
    assert all(seen for *_, seen in tries), tries
    returns = [(expiry, returned) for expiry, returned, _ in tries if returned is not None]
    # A Ctrl-C may reach the handler a little after its timer expired: 2 ms of grace.
    kept = [(expiry, returned) for expiry, returned in returns if expiry < returned - 0.002]
    assert kept == [], f"{len(kept)} of {len(tries)} calls returned a result after a Ctrl-C came"
    assert 0 < len(returns) < len(tries), "the sweep must straddle the end of the call"
