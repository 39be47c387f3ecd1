"""Runs a case in a child interpreter: Ctrl-C sent while it computes, and calls under a memory limit.

A child can be signalled, limited and killed without harming the test process; every wait has a
timeout, so that a hang fails its test instead of blocking the suite.
"""

import contextlib
import json
import os
import queue
import signal
import subprocess
import sys
import tempfile
import textwrap
import threading
import time
from dataclasses import dataclass

# The child stamps its answer with the system-wide monotonic clock, which the parent shares.
INTERRUPTED = """
import sys, time
{setup}
whole = float("inf")
for _ in range({calibrations}):  # the first call also faults the table and the allocator in
    start = time.monotonic()
    work()
    whole = min(whole, time.monotonic() - start)
print("whole", whole, flush=True)
print("computing", flush=True)
start = time.monotonic()
try:
    work()
except KeyboardInterrupt:
    print("interrupted", start, time.monotonic(), flush=True)
    print(after(), flush=True)
else:
    print("finished", flush=True)
"""


@dataclass
class Stopped:
    """What a child did with a Ctrl-C."""

    status: int
    lines: list[str]  # standard output from the signal on
    err: str
    latency: float  # seconds from the signal to the answer
    ran: float  # seconds of the interrupted call (the child's exit for a command)
    whole: float  # seconds of a whole call, where the case measured it
    left: list[int]  # processes of the child's session still there after it ended (new_session only)

    @property
    def interrupted(self) -> bool:
        return bool(self.lines) and self.lines[0].split()[0] == "interrupted"


def session_members(session: int) -> list[int]:
    """The processes of a session (a child started in a new session has its pid as the id)."""
    members = []
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                with open(f"/proc/{entry}/stat", "rb") as stat:
                    fields = stat.read().rsplit(b")", 1)[1].split()
            except OSError:
                continue
            if int(fields[3]) == session and fields[0] != b"Z":
                members.append(int(entry))
    return members


def ctrl_c(child, group):
    """SIGINT to the child, or to its whole process group as a terminal's Ctrl-C does."""
    if group:
        with contextlib.suppress(ProcessLookupError):
            os.killpg(child.pid, signal.SIGINT)
    else:
        child.send_signal(signal.SIGINT)


def _default_sigint():
    """A shell's background job starts with SIGINT ignored, and a child keeps that: Python then
    installs no KeyboardInterrupt handler, and the signal would go unseen. Ctrl-C's own default
    is restored in the child before it starts."""
    signal.signal(signal.SIGINT, signal.SIG_DFL)


def interrupt(argv, *, delay, ready=None, timeout=120.0, env=None, again=None, new_session=False) -> Stopped:
    """Starts `argv`, waits for its first line (and for `ready`, a line to wait for after it), sends
    SIGINT `delay` seconds later (a callable gets the whole-call time a case printed), and a second
    one `again` seconds after the first where given, and collects the rest of its output. With
    `new_session` the child leads a session of its own, the signals go to its whole process group
    (as a terminal's Ctrl-C), and the session's leftover processes are reported (then killed)."""
    lines: queue.Queue = queue.Queue()
    with tempfile.TemporaryFile() as err:
        child = subprocess.Popen(
            argv,
            stdout=subprocess.PIPE,
            stderr=err,
            env=env,
            start_new_session=new_session,
            preexec_fn=_default_sigint,
        )

        def read():
            for line in child.stdout:
                lines.put(line.decode())
            lines.put("")  # the end of its output

        reader = threading.Thread(target=read, daemon=True)
        reader.start()
        try:
            first = lines.get(timeout=timeout)
            whole = float(first.split()[1]) if first.startswith("whole ") else 0.0
            line = first
            while line and ready is not None and (line := lines.get(timeout=timeout)) != ready:
                pass
            assert line, f"the child ended before it started computing (status {child.wait()})"
            time.sleep(delay(whole) if callable(delay) else delay)
            sent = time.monotonic()
            ctrl_c(child, new_session)
            if again is not None:
                time.sleep(again)
                if child.poll() is None:
                    ctrl_c(child, new_session)
            child.wait(timeout=timeout)
            ended = time.monotonic()
            reader.join(timeout=timeout)
        finally:
            if child.poll() is None:
                child.kill()
                child.wait()
            left = session_members(child.pid) if new_session else []
            # A worker that saw its parent go may still be on its way out on a loaded machine.
            deadline = time.monotonic() + 10.0
            while left and time.monotonic() < deadline:
                time.sleep(0.1)
                left = session_members(child.pid)
            for pid in left:
                with contextlib.suppress(OSError):
                    os.kill(pid, signal.SIGKILL)
        err.seek(0)
        errors = err.read().decode(errors="replace")
    rest = [line for line in lines.queue if line]
    stamps = rest[0].split()[1:] if rest and rest[0].startswith("interrupted ") else []
    started, stopped = map(float, stamps) if stamps else (sent, ended)
    return Stopped(
        child.returncode, [line.rstrip("\n") for line in rest], errors, stopped - sent, stopped - started, whole, left
    )


def interrupt_call(setup: str, *, delay, calibrations=0, timeout=120.0, again=None, new_session=False) -> Stopped:
    """Runs `setup`, which defines work() and after(), in a child: work() is timed `calibrations`
    times, then interrupted (twice with `again`); after() shows the process still answers."""
    code = INTERRUPTED.format(setup=textwrap.dedent(setup), calibrations=calibrations)
    return interrupt(
        [sys.executable, "-c", code],
        delay=delay,
        ready="computing\n",
        timeout=timeout,
        again=again,
        new_session=new_session,
    )


LIMITED = """
import json, resource, sys
{setup}
if {room} is not None:
    # The room above what the interpreter, the modules and the setup already hold.
    held = int(open("/proc/self/statm").read().split()[0]) * resource.getpagesize()
    resource.setrlimit(resource.RLIMIT_AS, (held + ({room} << 20), resource.RLIM_INFINITY))
outcomes = {{}}
for name, call in calls.items():
    try:
        call()
        outcomes[name] = ["ok", ""]
    except (MemoryError, ValueError) as error:
        outcomes[name] = [type(error).__name__, str(error)]
outcomes["after"] = ["ok", str(after())]
print(json.dumps(outcomes))
"""


def run_limited(setup: str, room_mib: int | None, *, preexec_fn=None, timeout=120.0) -> dict[str, list[str]]:
    """Runs `setup`, which defines `calls` (a dict of names to callables) and after(), in a child
    whose address space is limited to `room_mib` MiB above what it holds once set up (None: no
    limit); returns each call's outcome as [kind, message], kind "ok", "MemoryError" or
    "ValueError", and after()'s value under "after"."""
    code = LIMITED.format(setup=textwrap.dedent(setup), room=room_mib)
    done = subprocess.run(
        [sys.executable, "-c", code],
        capture_output=True,
        text=True,
        timeout=timeout,
        preexec_fn=preexec_fn,
        env=dict(os.environ),
    )
    assert done.returncode == 0, f"child ended with {done.returncode} (killed?):\n{done.stderr[-2000:]}"
    return json.loads(done.stdout.strip().splitlines()[-1])
