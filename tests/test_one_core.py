"""Both faces in one process share one core: one worker pool, one five-input
database; each refuses a second interpreter. (Ctrl-C with both faces: test_ctrl_c.py.)"""

import json
import os
import subprocess
import sys
import textwrap

import pytest


def run_both_faces(body: str, first: str) -> dict:
    """Runs `body` in a fresh interpreter that imports both faces, `first` first;
    the body leaves its findings in a dict `found`, returned here."""
    other = "vexil_kit" if first == "vexil" else "vexil"
    script = (
        textwrap.dedent(
            f"""
        import json, os, time
        import {first}, {other}
        from vexil import Vexil
        from vexil_kit import BooleanFunction
        def threads(): return len(os.listdir("/proc/self/task"))
        def rss_mib():
            for line in open("/proc/self/status"):
                if line.startswith("VmRSS"): return int(line.split()[1]) / 1024
        found = {{}}
        """
        )
        + textwrap.dedent(body)
        + "\nprint(json.dumps(found))\n"
    )
    env = dict(os.environ, RAYON_NUM_THREADS="3", OPENBLAS_NUM_THREADS="1", OMP_NUM_THREADS="1")
    done = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True, env=env, timeout=300)
    assert done.returncode == 0, done.stderr
    return json.loads(done.stdout.strip().splitlines()[-1])


@pytest.mark.parametrize("first", ["vexil", "vexil_kit"])
def test_one_pool_and_one_database(first):
    found = run_both_faces(
        """
        before = threads()
        BooleanFunction.majority(14).entropy()  # large enough to wake the pool
        found["after_one"] = threads() - before
        Vexil.majority(14).entropy()
        found["after_both"] = threads() - before
        BooleanFunction.from_int(0x69969669, 5).minimal_gates()
        rss = rss_mib()
        found["gates"] = Vexil.from_number(0x69969669, 5).minimal_gates()
        found["rss_growth"] = rss_mib() - rss
        """,
        first,
    )
    # The pool of three has two workers beside the calling thread, started once.
    assert found["after_one"] == 2 and found["after_both"] == 2
    assert found["gates"] == 4
    # The second face finds the database the first one loaded (tens of MiB).
    assert found["rss_growth"] < 10


def test_second_interpreter_is_refused_by_both_faces():
    interpreters = pytest.importorskip("_xxsubinterpreters")
    found = run_both_faces(
        """
        import _xxsubinterpreters as interpreters
        import vexil_kit._native
        # Each extension loaded by itself, past the packages that would refuse first: CPython may hand a
        # second interpreter the module the first one made without calling its init.
        direct = "import importlib.util as u; u.module_from_spec(u.spec_from_file_location({!r}, {!r}))"
        for name, code in [
            ("vexil", "import vexil"),
            ("vexil_kit._native", "import vexil_kit._native"),
            ("vexil directly", direct.format("vexil", vexil.__file__)),
            ("_native directly", direct.format("vexil_kit._native", vexil_kit._native.__file__)),
        ]:
            sub = interpreters.create()
            try:
                interpreters.run_string(sub, code)
                found[name] = "imported"
            except interpreters.RunFailedError as error:
                found[name] = str(error)
            finally:
                interpreters.destroy(sub)
        """,
        "vexil",
    )
    del interpreters
    assert all("ImportError" in outcome for outcome in found.values()), found


def test_a_core_stop_is_a_vexil_error():
    import vexil_kit

    assert issubclass(vexil_kit.VexilError, RuntimeError) and vexil_kit.VexilError.__module__ == "vexil_kit"
