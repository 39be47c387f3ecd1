"""What the benchmarks share: the peers, imported when present; the timers; the lines they print;
the quick mode; and the reference definitions of the measures, which the tests use too.

The peers (SageMath's BooleanFunction from passagemath, boofun) live in a benchmark-only
environment; a script run without them reports them missing and skips their lines.
"""

import argparse
import importlib.metadata
import os
import sys
import time
import warnings
from pathlib import Path

# The definitions the tests check the library against, so that a benchmark checks its values the same way.
sys.path.insert(0, str(Path(__file__).resolve().parent.parent / "tests"))
import reference  # noqa: E402,F401

try:
    import sage.all__sagemath_modules  # noqa: F401  (loads what Sage's matrices need)
    from sage.crypto.boolean_function import BooleanFunction as SageFunction
except ImportError:
    SageFunction = None
try:
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")  # boofun warns at import when matplotlib is absent
        import boofun
except ImportError:
    boofun = None

#: Set by --quick: every timing runs once.
QUICK = False

SAGE_AND_BOOFUN = ["numpy", "passagemath-modules", "passagemath-brial", "boofun", "numba"]


def arguments(parser: argparse.ArgumentParser, quick: dict) -> argparse.Namespace:
    """The parsed command line, with --quick: the `quick` defaults (the smallest sizes) and one run a
    timing, for a smoke run; options given explicitly still win."""
    global QUICK
    parser.add_argument("--quick", action="store_true", help="smallest sizes, one run a timing, for a smoke run")
    if "--quick" in sys.argv[1:]:
        parser.set_defaults(**quick)
    args = parser.parse_args()
    QUICK = args.quick
    return args


def sizes(text: str) -> list[int]:
    """The sizes of a comma-separated option."""
    return [int(s) for s in text.split(",") if s]


def timed(fn, repeat=1, fresh=None, enough=float("inf")):
    """(best time, value) of fn(), or of fn(fresh()) with a new object per run built outside the timer
    (the peers cache results on the object); runs stop once one takes `enough` seconds."""
    best, value = float("inf"), None
    for _ in range(1 if QUICK else repeat):
        arg = fresh() if fresh else None
        start = time.perf_counter()
        value = fn(arg) if fresh else fn()
        best = min(best, time.perf_counter() - start)
        if best > enough:
            break
    return best, value


def best_of(fn, repeat=5, fresh=None):
    """Best time of fn() (see `timed`)."""
    return timed(fn, repeat, fresh)[0]


def versions(names=SAGE_AND_BOOFUN, label="peers", machine=False):
    """One line of the installed versions of `names` (and of the machine's processors and load)."""
    found = []
    for name in names:
        try:
            found.append(f"{name} {importlib.metadata.version(name)}")
        except importlib.metadata.PackageNotFoundError:
            found.append(f"{name} missing")
    where = f"; {os.cpu_count()} logical processors, load {os.getloadavg()[0]:.1f}" if machine else ""
    print(f"{label}: " + ", ".join(found) + where)


def check(label, agrees):
    if not agrees:
        raise SystemExit(f"{label}: values disagree")


def verdict(met: bool, target: str) -> str:
    return f"(target {target}: {'met' if met else 'MISSED'})"


def report(label, ours, peer, peer_time, target=None, width=54, limit=None):
    """A line of our time against a peer's, with the speed-up (peer / ours) and the verdict against
    `target` (a least speed-up); a peer cut off at `limit` seconds gives a lower bound."""
    if peer_time is None:
        speedup = limit / ours
        shown = f"{peer:7} > {limit * 1e3:9.0f} ms   speed-up >= {speedup:6.1f}x"
        judged = f"(target >= {target:g}x: {'met' if speedup >= target else 'unknown'}; peer cut off)"
    else:
        speedup = peer_time / ours
        shown = f"{peer:7} {peer_time * 1e3:11.3f} ms   speed-up {speedup:8.1f}x"
        judged = verdict(speedup >= target, f">= {target:g}x") if target else "(no target)"
    print(f"{label:{width}} ours {ours * 1e3:10.3f} ms   {shown}   {judged}", flush=True)
