"""A call whose working memory does not fit in what the process can get raises
MemoryError before it allocates, instead of being killed by the kernel.

Each case runs in a child interpreter under a limit: a memory cgroup (the
kernel's out-of-memory killer ends the child when the guard lets too much
through) and an address-space limit."""

import json
import os
import subprocess
import sys
import textwrap
import uuid
from pathlib import Path

import pytest

pytestmark = pytest.mark.skipif(not sys.platform.startswith("linux"), reason="Linux limits")

SANITIZED = os.environ.get("VEXIL_SANITIZED") == "1"

# parity(26) holds 64 MiB; under a limit of about 300 MiB, a call needing a few
# times the table must be refused while the small ones still run.
CHILD = """
import json, resource, sys, vexil
f = vexil.Vexil.parity(26)
f.max_sensitivity()
vexil.Vexil.parity(12).entropy()  # the worker pool is up
if sys.argv[1:] == ["--limit-address-space"]:
    # About 200 MiB above what the interpreter, the module, the pool and the table hold.
    held = int(open("/proc/self/statm").read().split()[0]) * resource.getpagesize()
    resource.setrlimit(resource.RLIMIT_AS, (held + 200 * 2**20, held + 200 * 2**20))
outcomes = {}
calls = {
    "no_linearity": lambda: f.no_linearity(),
    "spectral_entropy": lambda: f.spectral_entropy(),
    "repr": lambda: f.repr(),
    "table": lambda: f.table([0]),
    "entropy_sets": lambda: vexil.Vexil.parity(24).entropy_sets(),
    "max_sensitivity": lambda: f.max_sensitivity(),
    "small_walsh": lambda: vexil.Vexil.parity(20).no_linearity(),
    "encode": lambda: len(f.encode()),
}
for name, call in calls.items():
    try:
        call()
        outcomes[name] = "ok"
    except MemoryError as error:
        outcomes[name] = "MemoryError: " + str(error)
print(json.dumps(outcomes))
"""

REFUSED = ["no_linearity", "spectral_entropy", "repr", "table", "entropy_sets"]
ANSWERED = ["max_sensitivity", "small_walsh", "encode"]


def check_outcomes(done: subprocess.CompletedProcess) -> None:
    assert done.returncode == 0, f"child ended with {done.returncode} (killed?):\n{done.stderr[-2000:]}"
    outcomes = json.loads(done.stdout.strip().splitlines()[-1])
    for name in REFUSED:
        assert outcomes[name].startswith("MemoryError: the computation needs"), (name, outcomes[name])
    for name in ANSWERED:
        assert outcomes[name] == "ok", (name, outcomes[name])


def memory_cgroup_parent() -> tuple[Path, bool] | None:
    """The directory of this process's memory cgroup and whether it is cgroup v2."""
    try:
        membership = Path("/proc/self/cgroup").read_text().splitlines()
    except OSError:
        return None
    for line in membership:
        number, controllers, path = line.split(":", 2)
        if "memory" in controllers.split(","):
            directory = Path("/sys/fs/cgroup/memory") / path.lstrip("/")
            if (directory / "memory.limit_in_bytes").exists():
                return directory, False
        if number == "0" and controllers == "":
            for root in (Path("/sys/fs/cgroup"), Path("/sys/fs/cgroup/unified")):
                directory = root / path.lstrip("/")
                if (directory / "cgroup.controllers").exists() and "memory" in (
                    directory / "cgroup.subtree_control"
                ).read_text():
                    return directory, True
    return None


@pytest.fixture
def limited_cgroup():
    found = memory_cgroup_parent()
    if found is None or os.geteuid() != 0:
        pytest.skip("no memory cgroup this process may create")
    parent, v2 = found
    group = parent / f"vexil-test-{uuid.uuid4().hex[:8]}"
    try:
        group.mkdir()
        limit = 300 * 2**20
        (group / ("memory.max" if v2 else "memory.limit_in_bytes")).write_text(str(limit))
        if not v2 and (group / "memory.memsw.limit_in_bytes").exists():
            (group / "memory.memsw.limit_in_bytes").write_text(str(limit))
    except OSError as error:
        if group.exists():
            group.rmdir()
        pytest.skip(f"cannot set up a memory cgroup: {error}")
    yield group
    group.rmdir()


@pytest.mark.skipif(SANITIZED, reason="the sanitizers' shadow memory does not fit the limit")
def test_a_cgroup_limit_refuses_calls_that_do_not_fit(limited_cgroup):
    procs = limited_cgroup / "cgroup.procs"

    def enter():
        procs.write_text(str(os.getpid()))

    done = subprocess.run(
        [sys.executable, "-c", CHILD], capture_output=True, text=True, timeout=120, preexec_fn=enter
    )
    check_outcomes(done)


@pytest.mark.skipif(SANITIZED, reason="the sanitizers reserve terabytes of address space")
def test_an_address_space_limit_refuses_calls_that_do_not_fit():
    done = subprocess.run(
        [sys.executable, "-c", CHILD, "--limit-address-space"], capture_output=True, text=True, timeout=120
    )
    check_outcomes(done)
