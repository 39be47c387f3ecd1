"""Runs the `vexil` command as a user runs it, in a child process with a timeout."""

import os
import subprocess
import sys
import tempfile
from pathlib import Path


def run_cli(*args, stdin=None, timeout=180, without=None):
    """The finished command; `without` names a module whose import then fails, as if not installed."""
    env = dict(os.environ)
    with tempfile.TemporaryDirectory() as blocker:
        if without:
            (Path(blocker) / f"{without}.py").write_text("raise ImportError('blocked')\n")
            env["PYTHONPATH"] = os.pathsep.join([blocker, env.get("PYTHONPATH", "")])
        return subprocess.run(
            [sys.executable, "-m", "vexil_kit.cli", *args], input=stdin, capture_output=True, env=env, timeout=timeout
        )
