"""The worker pool under process situations: fork, re-entry from signal handlers,
other threads, refused threads, and any number of workers.

Each scenario runs in a child interpreter with a timeout, so that a hang fails
the test instead of the suite."""

import json
import os
import subprocess
import sys
import tempfile
import textwrap

import pytest

SANITIZED = os.environ.get("VEXIL_SANITIZED") == "1"
TIMEOUT = 240 if SANITIZED else 60

BIG = 17 if SANITIZED else 18  # variables of a function whose loops run for a while

# A random function of n variables and the pooled measures of it, printed as
# one JSON line with floats spelled exactly.

MEASURES = f"""
BIG = {BIG}
import json, random, vexil
V = vexil.Vexil

def random_function(n, seed):
    rng = random.Random(seed)
    return V([rng.random() < 0.5 for _ in range(1 << n)])

def exact(value):
    if isinstance(value, float):
        return value.hex()
    if isinstance(value, (list, tuple)):
        return [exact(v) for v in value]
    if hasattr(value, "set1"):
        last = value.entanglement if hasattr(value, "entanglement") else value.entropy
        return [list(value.set1), list(value.set2), exact(last)]
    return value

def pooled_measures(f):
    n = f.n_vars()
    return {{
        "entanglement": f.entanglement(),
        "entropy": exact(f.entropy()),
        "entanglement_sets": exact(f.entanglement_sets()),
        "entropy_sets": exact(f.entropy_sets()),
        "fragmentation_k": [exact(f.fragmentation_k(k)) for k in (1, n // 2, n - 1)],
        "fragmentation_spectrum": exact(f.fragmentation_spectrum()),
        "certificate_complexity": f.certificate_complexity(),
    }}
"""


def run_child(body: str, env: dict | None = None, preexec_fn=None, timeout: float = TIMEOUT) -> str:
    """Runs MEASURES + body as a script in a fresh interpreter; returns its standard output."""
    child_env = dict(os.environ)
    child_env.update(env or {})
    with tempfile.TemporaryDirectory() as folder:
        # A file, not -c: multiprocessing's spawned children import the script.
        script = os.path.join(folder, "child.py")
        with open(script, "w") as out:
            out.write(MEASURES + textwrap.dedent(body))
        return _run_script(script, child_env, preexec_fn, timeout)


def _run_script(script: str, env: dict, preexec_fn, timeout: float) -> str:
    try:
        done = subprocess.run(
            [sys.executable, script],
            env=env,
            capture_output=True,
            text=True,
            timeout=timeout,
            preexec_fn=preexec_fn,
        )
    except subprocess.TimeoutExpired:
        pytest.fail(f"the child did not finish within {timeout} s (hang)")
    assert done.returncode == 0, f"child ended with {done.returncode}:\n{done.stderr[-3000:]}"
    return done.stdout


def last_json(output: str):
    return json.loads(output.strip().splitlines()[-1])


def test_results_are_identical_for_any_number_of_workers():
    body = """
    out = {n: pooled_measures(random_function(n, seed=n)) for n in (10, 11, 12)}
    out["certificate_small"] = [random_function(n, seed=n).certificate_complexity() for n in (4, 6, 9)]
    print(json.dumps(out))
    """
    results = {workers: last_json(run_child(body, env={"RAYON_NUM_THREADS": str(workers)})) for workers in (1, 2, 7)}
    assert results[1] == results[2] == results[7]


FORK_BODY = """
import os
f = random_function(12, seed=5)
before = pooled_measures(f)
pid = os.fork()
if pid == 0:
    try:
        same = pooled_measures(f) == before and pooled_measures(random_function(11, seed=6)) is not None
        os._exit(0 if same else 3)
    except BaseException:
        os._exit(4)
_, status = os.waitpid(pid, 0)
print(json.dumps({"child_status": os.waitstatus_to_exitcode(status), "parent_same": pooled_measures(f) == before}))
"""


def test_a_forked_child_computes_with_its_own_pool():
    result = last_json(run_child(FORK_BODY))
    assert result == {"child_status": 0, "parent_same": True}


@pytest.mark.parametrize("method", ["fork", "forkserver", "spawn"])
def test_multiprocessing_workers_compute_after_the_parent_used_the_pool(method):
    body = f"""
    import multiprocessing as mp

    def job(seed):
        f = random_function(12, seed)
        return f.entanglement(), f.certificate_complexity(), f.entropy().hex()

    if __name__ == "__main__":
        seeds = [1, 2, 3, 4]
        expected = [job(s) for s in seeds]   # the pool runs in the parent first
        with mp.get_context("{method}").Pool(2) as workers:
            got = workers.map(job, seeds)
        print(json.dumps(got == expected))
    """
    assert last_json(run_child(body)) is True


def test_a_fork_while_a_loop_runs_fails_the_loop_in_the_child_instead_of_hanging():
    # The timer's handler forks while the main thread is inside a long pooled
    # loop; the child returns from the handler into that loop, whose chunks on
    # the parent's workers are gone.
    body = """
    import os, signal, vexil
    f = random_function(BIG, seed=1)
    children = []

    def fork_now(*_):
        if children:
            return
        pid = os.fork()
        if pid == 0:
            children.append(0)
        else:
            children.append(pid)

    signal.signal(signal.SIGALRM, fork_now)
    signal.setitimer(signal.ITIMER_REAL, 0.05)
    try:
        value = f.entanglement()
        outcome = "value"
    except BaseException as error:
        outcome = type(error).__name__
    if children == [0]:
        os._exit(10 if outcome == "value" else 11 if outcome == "PanicException" else 12)
    signal.setitimer(signal.ITIMER_REAL, 0)
    status = os.waitstatus_to_exitcode(os.waitpid(children[0], 0)[1]) if children else None
    expected = value == random_function(BIG, seed=1).entanglement()
    print(json.dumps({"parent": outcome, "child": status, "expected": expected}))
    """
    result = last_json(run_child(body))
    assert result["parent"] == "value" and result["expected"] is True
    # The child either finished on its own (no worker held a chunk) or failed the loop.
    assert result["child"] in (10, 11), result


def test_a_signal_handler_may_run_a_pooled_measure_during_one():
    body = """
    import signal
    small = random_function(12, seed=2)
    expected = pooled_measures(small)
    seen = []

    def handler(*_):
        # One at a time: the handler's own loops poll for signals too.
        signal.setitimer(signal.ITIMER_REAL, 0)
        seen.append(pooled_measures(small))
        if len(seen) < 5:
            signal.setitimer(signal.ITIMER_REAL, 0.05)

    signal.signal(signal.SIGALRM, handler)
    signal.setitimer(signal.ITIMER_REAL, 0.02)
    big = random_function(BIG, seed=3)
    value = big.entanglement()
    signal.setitimer(signal.ITIMER_REAL, 0)
    print(json.dumps({"handled": len(seen), "same": all(s == expected for s in seen)}))
    """
    result = last_json(run_child(body))
    assert result["handled"] > 0 and result["same"] is True


@pytest.mark.parametrize("handler", ["sleep", "print"])
def test_a_second_thread_runs_pooled_measures_while_a_handler_waits(handler):
    # The main thread's loop runs a handler that lets the interpreter switch
    # threads; the other thread then starts its own pooled loop.
    body = f"""
    import signal, sys, threading, time
    small = random_function(12, seed=2)
    expected = pooled_measures(small)
    actions = {{"sleep": lambda: time.sleep(0.01), "print": lambda: print(".", end="", file=sys.stderr, flush=True)}}
    signal.signal(signal.SIGALRM, lambda *_: actions["{handler}"]())
    signal.setitimer(signal.ITIMER_REAL, 0.03, 0.03)
    stop = threading.Event()
    other = []

    def loop():
        while True:  # at least once, however the threads are scheduled
            other.append(pooled_measures(small) == expected)
            if stop.is_set():
                break

    thread = threading.Thread(target=loop)
    thread.start()
    big = random_function(BIG - 1, seed=4)
    first = [big.entanglement() for _ in range(3)]
    stop.set()
    thread.join()
    signal.setitimer(signal.ITIMER_REAL, 0)
    print(json.dumps({{"other": len(other), "other_same": all(other), "main_same": len(set(first)) == 1}}))
    """
    result = last_json(run_child(body))
    assert result["other"] > 0 and result["other_same"] and result["main_same"]


def test_threads_share_the_pool_and_get_lone_call_results():
    body = """
    import threading
    functions = [random_function(n, seed=n) for n in (10, 11, 12, 13)]
    expected = [pooled_measures(f) for f in functions]
    failures = []

    def worker(index):
        for round in range(3):
            for i, f in enumerate(functions):
                if pooled_measures(f) != expected[i]:
                    failures.append((index, i))

    threads = [threading.Thread(target=worker, args=(i,)) for i in range(4)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    print(json.dumps(failures))
    """
    assert last_json(run_child(body)) == []


def test_a_stopped_loop_leaves_the_pool_usable():
    # interrupt_main() does nothing while SIGINT is ignored, as it is in a background job of a
    # shell and in every process started from one: the child restores Ctrl-C's handler. The
    # function is built first, so that the timer stops the pooled loops rather than the build.
    body = """
    import signal, _thread
    signal.signal(signal.SIGINT, signal.default_int_handler)
    small = random_function(12, seed=7)
    expected = pooled_measures(small)
    big = random_function(22, seed=8)
    signal.signal(signal.SIGALRM, lambda *_: _thread.interrupt_main())
    signal.setitimer(signal.ITIMER_REAL, 0.2)
    try:
        big.entropy_sets()
        stopped = False
    except KeyboardInterrupt:
        stopped = True
    print(json.dumps({"stopped": stopped, "same": pooled_measures(small) == expected}))
    """
    assert last_json(run_child(body)) == {"stopped": True, "same": True}


def _limit_address_space():
    import resource

    resource.setrlimit(resource.RLIMIT_AS, (1_000_000_000, 1_000_000_000))


@pytest.mark.skipif(SANITIZED or not sys.platform.startswith("linux"), reason="the sanitizers reserve terabytes")
def test_threads_refused_by_the_system_leave_the_work_to_the_caller():
    reference = last_json(run_child("print(json.dumps(pooled_measures(random_function(12, seed=9))))"))
    body = """
    import os
    result = pooled_measures(random_function(12, seed=9))
    print(json.dumps({"threads": len(os.listdir("/proc/self/task")), "result": result}))
    """
    # Each worker reserves its stack and an allocator arena: far fewer than
    # 4096 fit in a gigabyte of address space.
    out = last_json(run_child(body, env={"RAYON_NUM_THREADS": "4096"}, preexec_fn=_limit_address_space))
    assert out["threads"] < 4096, "the limit refused no thread; the test proves nothing"
    assert out["result"] == reference
