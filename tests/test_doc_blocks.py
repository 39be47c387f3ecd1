"""The code blocks of the documentation run and give what they show.

Python blocks of one page run in order in one child interpreter, in a fresh folder, sharing their names
as a reader's session would; a block with ``>>>`` prompts is checked as a doctest. Shell blocks run their
``vexil`` lines through the installed command: a ``$ vexil ...`` line followed by a ``vexil: error`` line
must fail with that message, every other line must succeed. A block that cannot run here (a cluster, a
synopsis, hours of work) says so on the line before its fence: ``<!-- not run: the reason -->``.
"""

import json
import os
import re
import subprocess
import sys
import textwrap
from dataclasses import dataclass
from pathlib import Path

import pytest

# The pages tour sweeps and their files throughout: they run where the sweep extra is installed.
pytest.importorskip("pandas")
pytest.importorskip("pyarrow")

ROOT = Path(__file__).resolve().parent.parent
PAGES = sorted([ROOT / "README.md", *(ROOT / "docs").glob("*.md")])
NOT_RUN = re.compile(r"<!--\s*not run:\s*\S.*-->")


@dataclass
class Block:
    page: Path
    line: int  # of the opening fence
    language: str
    text: str

    @property
    def where(self) -> str:
        return f"{self.page.relative_to(ROOT)}:{self.line}"


def blocks(page: Path) -> list[Block]:
    """The fenced blocks of a page that are to run (those not marked as not run)."""
    found = []
    lines = page.read_text().splitlines()
    k = 0
    while k < len(lines):
        fence = re.match(r"^```(\w*)\s*$", lines[k])
        if fence is None:
            k += 1
            continue
        end = next((j for j in range(k + 1, len(lines)) if lines[j].startswith("```")), len(lines))
        before = next((lines[j] for j in range(k - 1, -1, -1) if lines[j].strip()), "")
        if not NOT_RUN.search(before):
            found.append(Block(page, k + 1, fence.group(1), "\n".join(lines[k + 1 : end]) + "\n"))
        k = end + 1
    return found


def page_ids(pages):
    return [str(p.relative_to(ROOT)) for p in pages]


PYTHON_PAGES = [p for p in PAGES if any(b.language == "python" for b in blocks(p))]

# Runs the blocks given as JSON in order, in one namespace; prints the failures and exits 1 if any.
PYTHON_RUNNER = textwrap.dedent(
    """
    import doctest, json, sys, traceback
    blocks = json.loads(sys.stdin.read())
    namespace = {"__name__": "__main__"}
    flags = doctest.ELLIPSIS | doctest.NORMALIZE_WHITESPACE
    failures = []
    for where, text in blocks:
        if ">>>" in text:
            test = doctest.DocTestParser().get_doctest(text, namespace, where, where, 0)
            runner = doctest.DocTestRunner(optionflags=flags)
            report = []
            runner.run(test, out=report.append, clear_globs=False)
            namespace.update(test.globs)  # a doctest runs in a copy of the names it is given
            if runner.failures:
                failures.append(where + "\\n" + "".join(report))
        else:
            try:
                exec(compile(text, where, "exec"), namespace)
            except Exception:
                failures.append(where + "\\n" + traceback.format_exc())
    print("\\n\\n".join(failures))
    sys.exit(1 if failures else 0)
    """
)


@pytest.mark.parametrize("page", PYTHON_PAGES, ids=page_ids(PYTHON_PAGES))
def test_python_blocks_run(page, tmp_path):
    chosen = [(b.where, b.text) for b in blocks(page) if b.language == "python"]
    child = subprocess.run(
        [sys.executable, "-c", PYTHON_RUNNER],
        input=json.dumps(chosen),
        capture_output=True,
        text=True,
        cwd=tmp_path,
        timeout=600,
    )
    assert child.returncode == 0, child.stdout + child.stderr


@dataclass
class Command:
    where: str
    line: str
    error: str | None  # the error line the page shows after it, if any


def commands(block: Block) -> list[Command]:
    """The ``vexil`` lines of a shell block, each with the error the page shows for it."""
    lines = block.text.splitlines()
    found = []
    for k, line in enumerate(lines):
        text = line[2:] if line.startswith("$ ") else line
        if not text.startswith("vexil "):
            continue
        shown = lines[k + 1] if line.startswith("$ ") and k + 1 < len(lines) else ""
        command = re.split(r"\s{2,}#", text)[0].strip()
        found.append(Command(f"{block.where}+{k + 1}", command, shown if shown.startswith("vexil: error") else None))
    return found


SHELL_PAGES = [p for p in PAGES if any(b.language in ("sh", "bash") and commands(b) for b in blocks(p))]


@pytest.mark.parametrize("page", SHELL_PAGES, ids=page_ids(SHELL_PAGES))
def test_shell_blocks_run(page, tmp_path):
    shims = tmp_path / "bin"
    shims.mkdir()
    (shims / "vexil").write_text(f'#!/bin/sh\nexec "{sys.executable}" -m vexil_kit.cli "$@"\n')
    (shims / "vexil").chmod(0o755)
    env = dict(os.environ, PATH=f"{shims}{os.pathsep}{os.environ.get('PATH', '')}")
    work = tmp_path / "work"
    work.mkdir()
    failures = []
    for block in blocks(page):
        if block.language not in ("sh", "bash"):
            continue
        for command in commands(block):
            done = subprocess.run(
                ["bash", "-c", command.line], capture_output=True, text=True, cwd=work, env=env, timeout=600
            )
            if command.error is None and done.returncode != 0:
                failures.append(f"{command.where}: {command.line}\n{done.stderr}")
            elif command.error is not None and (done.returncode == 0 or command.error not in done.stderr):
                failures.append(f"{command.where}: {command.line}\nshown: {command.error}\ngot: {done.stderr}")
    assert not failures, "\n\n".join(failures)
