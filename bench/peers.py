"""What the peer benchmarks share: the peers, imported when present, and the timer.

The peers (SageMath's BooleanFunction from passagemath, boofun) live in a benchmark-only
environment; a script run without them reports them missing and skips their lines.
"""

import time
import warnings

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


def best_of(fn, repeat=5, fresh=None):
    """Best time of fn(), or of fn(fresh()) with a new object per run built outside the timer
    (the peers cache results on the object)."""
    best = float("inf")
    for _ in range(repeat):
        arg = fresh() if fresh else None
        start = time.perf_counter()
        fn(arg) if fresh else fn()
        best = min(best, time.perf_counter() - start)
    return best
