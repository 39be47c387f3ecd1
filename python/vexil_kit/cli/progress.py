"""Progress of a report's long measures on standard error, from the core's progress counter.

On a terminal a tqdm bar (share done, rate, time left) appears once a measure has run a second and
is cleared when it ends. Anywhere else (a file, a pipe, a CI log) plain lines are written instead,
the first after a second and then one every few seconds, never a carriage return.
"""

from __future__ import annotations

import contextlib
import shutil
import sys
import time
from collections.abc import Callable, Iterator
from typing import TextIO

#: Seconds a measure runs before its progress shows.
DELAY = 1.0
#: Seconds between plain lines.
LINE_INTERVAL = 5.0


def say(text: str) -> None:
    """Writes a line to standard error, unless it is closed."""
    try:
        if sys.stderr is not None:
            sys.stderr.write(text + "\n")
            sys.stderr.flush()
    except (OSError, ValueError):
        pass


def _duration(seconds: float) -> str:
    seconds = int(seconds + 0.5)
    if seconds < 60:
        return f"{seconds} s"
    if seconds < 3600:
        return f"{seconds // 60} min {seconds % 60:02d} s"
    return f"{seconds // 3600} h {seconds % 3600 // 60:02d} min"


class ProgressDisplay:
    """Shows the progress of one measure at a time on ``stream`` (None: nowhere)."""

    def __init__(self, stream: TextIO | None) -> None:
        self.stream = stream
        try:
            self.terminal = stream is not None and stream.isatty()
        except (OSError, ValueError):
            self.terminal = False

    def _write(self, text: str) -> None:
        # Progress is a courtesy: a stream that fails (closed pipe) is not used again.
        if self.stream is None:
            return
        try:
            self.stream.write(text)
            self.stream.flush()
        except (OSError, ValueError):
            self.stream = None

    @contextlib.contextmanager
    def measure(self, name: str, unit: str = "step") -> Iterator[Callable[[int, int], None]]:
        """The progress callable for the measure ``name`` while it runs, counting in ``unit``s."""
        if self.stream is None:
            yield lambda done, total: None
        elif self.terminal:
            with self._bar(name, unit) as report:
                yield report
        else:
            yield self._lines(name, unit)

    @contextlib.contextmanager
    def _bar(self, name: str, unit: str) -> Iterator[Callable[[int, int], None]]:
        from tqdm import tqdm  # type: ignore[import-untyped]

        # Whole counts with the unit's name ("57/64 steps"); a terminal that reports no size is taken as 80 by 24.
        size = shutil.get_terminal_size((80, 24))
        shown = tqdm(
            desc=f"  {name}",
            total=None,
            unit=f" {unit}s",
            unit_scale=False,
            bar_format="{desc}: {percentage:3.0f}%|{bar}| {n_fmt}/{total_fmt}{unit} [{elapsed}<{remaining}]",
            file=self.stream,
            leave=False,
            delay=DELAY,
            ncols=size.columns,
            nrows=size.lines,
        )

        def update(done: int, total: int) -> None:
            if total and shown.total != total:
                shown.total = total
                shown.n = done
                shown.refresh()  # the total is known: show it at once
            shown.update(done - shown.n)

        try:
            yield update
        finally:
            shown.close()

    def _lines(self, name: str, unit: str = "step") -> Callable[[int, int], None]:
        started = time.monotonic()
        next_line = started + DELAY

        def report(done: int, total: int) -> None:
            nonlocal next_line
            now = time.monotonic()
            if now < next_line or self.stream is None:
                return
            next_line = now + LINE_INTERVAL
            elapsed = now - started
            text = f"  {name}: {_duration(elapsed)} so far"
            if total:
                text += f", {100 * done / total:.0f}% done ({done:,} of {total:,} {unit}s)"
                if done:
                    rate = done / elapsed
                    text += f", {rate:,.0f} {unit}s/s, about {_duration((total - done) / rate)} left"
            self._write(text + "\n")

        return report
