"""A call whose working memory does not fit in what the process can get raises MemoryError before it
allocates, instead of being killed by the kernel, and the process still answers afterwards.

Each case runs in a child interpreter under an address-space limit; the module's case also runs in
a memory cgroup, where the kernel's out-of-memory killer ends the child if the guard lets too much
through."""

import math
import os
import resource
import sys
import uuid
from dataclasses import dataclass
from pathlib import Path

import pytest
from children import run_limited

pytestmark = pytest.mark.skipif(not sys.platform.startswith("linux"), reason="Linux limits")

SANITIZED = os.environ.get("VEXIL_SANITIZED") == "1"


@dataclass
class Case:
    setup: str  # defines `calls`, a dict of names to callables, and after()
    room_mib: int | None  # address space above what the set-up child holds; None: no limit
    outcomes: dict[str, tuple[str, str]]  # name: (kind, words its message holds)
    after: str  # after()'s value
    sanitized: bool = True  # whether it runs under the sanitizers


REFUSED = ("MemoryError", "the computation needs")

# parity(26) holds 64 MiB; a call needing a few times the table must be refused while the small
# ones still run.
MODULE = Case(
    """
    import vexil
    f = vexil.Vexil.parity(26)
    f.max_sensitivity()
    vexil.Vexil.parity(12).entropy()  # the worker pool is up
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
    def after(): return f.max_sensitivity()
    """,
    200,
    {
        **dict.fromkeys(["no_linearity", "spectral_entropy", "repr", "table", "entropy_sets"], REFUSED),
        **dict.fromkeys(["max_sensitivity", "small_walsh", "encode"], ("ok", "")),
    },
    "26",
    # The sanitizers reserve terabytes of address space.
    sanitized=False,
)

CASES = {
    "vexil calls": MODULE,
    # Room for a table of 2**26 entries and its chunks, not for one of 2**28.
    "kit builders": Case(
        """
        from vexil_kit import BooleanFunction
        calls = {
            "majority": lambda: BooleanFunction.majority(28),
            "random": lambda: BooleanFunction.random(28, seed=1),
            "from_expression": lambda: BooleanFunction.from_expression("x0 ^ x27"),
        }
        def after(): return BooleanFunction.majority(26).weight()
        """,
        160,
        dict.fromkeys(["majority", "random", "from_expression"], ("MemoryError", "can be had")),
        # Majority of 26 has a true entry for each x with more than 13 ones.
        str((2**26 - math.comb(26, 13)) // 2),
        # The sanitizers' allocator needs address space for redzones and quarantine beyond what is counted.
        sanitized=False,
    ),
    # 256 MiB of address space never touched; the coefficients would take 1 GiB.
    "native spectra": Case(
        """
        import numpy as np
        from vexil_kit import _native
        table = np.zeros(1 << 28, dtype=bool)
        names = ["max_abs_walsh", "walsh_weight_sums", "absolute_indicator"]
        calls = {name: (lambda name=name: getattr(_native, name)(table)) for name in names}
        def after(): return _native.max_abs_walsh(np.array([0, 1, 1, 1], dtype=bool))
        """,
        400,
        dict.fromkeys(["max_abs_walsh", "walsh_weight_sums", "absolute_indicator"], ("MemoryError", "")),
        "2",
    ),
    # The packed form of 2**30 entries takes 128 MiB.
    "native influence_counts": Case(
        """
        import numpy as np
        from vexil_kit import _native
        table = np.zeros(1 << 30, dtype=bool)
        calls = {"influence_counts": lambda: _native.influence_counts(table)}
        def after(): return _native.influence_counts(np.array([0, 1, 1, 1], dtype=bool)).tolist()
        """,
        48,
        {"influence_counts": ("MemoryError", "the computation needs 128.0 MiB")},
        "[2, 2]",
    ),
    # An S-box of 2**24 words (64 MiB) held: what copies or converts it whole must be refused, with
    # the sizes, while what works a chunk at a time still runs.
    "kit vectorial": Case(
        """
        import pickle
        import numpy as np
        from vexil_kit import BooleanFunction, VectorialFunction as V
        F = V.random_permutation(24, seed=1)
        identity = V(np.arange(1 << 22, dtype=np.uint32))
        calls = {
            "xor": lambda: F ^ F,
            "pickle": lambda: pickle.dumps(F),
            "list": lambda: list(F),
            "asarray int64": lambda: np.asarray(F, np.int64),
            "coordinates": lambda: F.coordinates(),
            "anf": lambda: F.anf(),
            "from_components": lambda: V.from_components([BooleanFunction.constant(24, 1)] * 8),
            "synthesize": lambda: F.synthesize(),
            "random": lambda: V.random(27, 27),
            "from_callable": lambda: V.from_callable(int, 26, 26),
            "fixed_points of the identity": lambda: identity.fixed_points(),
            "hash": lambda: hash(F),
            "coordinate": lambda: F.coordinate(3).weight(),
            "fixed_points": lambda: F.fixed_points(),
            "cycle_type": lambda: F.cycle_type(),
        }
        def after(): return F.coordinate(0).weight()
        """,
        100,
        {
            **dict.fromkeys(
                [
                    "xor",
                    "pickle",
                    "list",
                    "asarray int64",
                    "coordinates",
                    "anf",
                    "from_components",
                    "synthesize",
                    "random",
                    "from_callable",
                    "fixed_points of the identity",
                ],
                REFUSED,
            ),
            **dict.fromkeys(["hash", "coordinate", "fixed_points", "cycle_type"], ("ok", "")),
        },
        str(2**23),
        sanitized=False,
    ),
    # The lists of monomials are counted before any is made: 22 coordinates of 2**21 monomials each.
    "kit vectorial anf": Case(
        """
        from vexil_kit import VectorialFunction as V
        F = V.random(22, 22, seed=1)
        calls = {"anf": lambda: F.anf(), "small": lambda: V.random(10, 10, seed=1).anf()}
        def after(): return len(V.random(8, 3, seed=1).anf())
        """,
        400,
        # The whole estimate (22 lists of about 2**21 ints), not one list's.
        {"anf": ("MemoryError", "GiB of working memory"), "small": ("ok", "")},
        "3",
        sanitized=False,
    ),
    # A sweep's table held in memory: 10**4 Walsh spectra of 2**12 int64 each, 320 MiB and more.
    "sweep walsh_spectrum": Case(
        """
        from vexil_kit.sweeps import sweep, random_functions
        calls = {
            "sweep": lambda: sweep(random_functions(12, 10_000, seed=0), ["walsh_spectrum"]),
            "small": lambda: sweep(random_functions(12, 100, seed=0), ["walsh_spectrum", "weight"]),
        }
        def after(): return len(sweep(random_functions(3, 4, seed=0), ["weight"]))
        """,
        200,
        {"sweep": ("MemoryError", "out="), "small": ("ok", "")},
        "4",
        sanitized=False,
    ),
    # Address space only: each call reads the 4 GiB table once, and refuses it first.
    "more than 31 variables": Case(
        """
        import numpy as np
        from vexil_kit import _native
        table = np.zeros(1 << 32, dtype=bool)
        names = ["autocorrelation", "walsh_weight_sums"]
        calls = {name: (lambda name=name: getattr(_native, name)(table)) for name in names}
        def after(): return _native.autocorrelation(np.array([0, 1], dtype=bool)).tolist()
        """,
        None,
        dict.fromkeys(["autocorrelation", "walsh_weight_sums"], ("ValueError", "31 variables")),
        "[2, -2]",
    ),
}


def check(case, outcomes):
    for name, (kind, words) in case.outcomes.items():
        assert outcomes[name][0] == kind and words in outcomes[name][1], (name, outcomes[name])
    assert outcomes["after"] == ["ok", case.after]


@pytest.mark.parametrize("case", CASES.values(), ids=CASES.keys())
def test_calls_that_do_not_fit_raise_before_allocating(case):
    if SANITIZED and not case.sanitized:
        pytest.skip("the sanitizers need address space beyond what the limit counts")
    if case.room_mib is None and resource.getrlimit(resource.RLIMIT_AS)[0] != resource.RLIM_INFINITY:
        pytest.skip("the address space is limited")
    check(case, run_limited(case.setup, case.room_mib))


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
def limited_cgroup(request):
    found = memory_cgroup_parent()
    if found is None or os.geteuid() != 0:
        pytest.skip("no memory cgroup this process may create")
    parent, v2 = found
    group = parent / f"vexil-test-{uuid.uuid4().hex[:8]}"
    try:
        group.mkdir()
        limit = getattr(request, "param", 300 * 2**20)
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

    check(MODULE, run_limited(MODULE.setup, None, preexec_fn=enter))


# The toolkit's NumPy-side work in a 700 MiB cgroup: a table of 2**28 entries (256 MiB) fits, with
# its frozen copy while it is made; what needs another 512 MiB and more must be refused, not killed.
KIT_HELD = """
import numpy as np
from vexil_kit import BooleanFunction as BF
f = BF.constant(28, 1)
def after(): return f.weight()
"""

KIT_GROUPS = {
    "builders": [
        "BF.from_int(1, 28)",
        "BF.from_hex('1', 28)",
        "BF.random(28, seed=1)",
        "BF.random(28, seed=1, balanced=True)",
        "BF.constant(28, 0)",
        "BF.majority(29)",
    ],
    "operators": ["~f", "f & True", "f ^ f", "f.permute(list(range(27, -1, -1)))", "f.derivative(3)", "f.extend(29)"],
    "conversions": ["list(f)", "BF(f.table)", "BF(np.asarray(f))", "BF(f.table.view(np.uint8))"],
    "spectra": [
        "f.walsh_spectrum()",
        "f.fourier_coefficients()",
        "f.autocorrelation()",
        "f.spectral_entropy()",
        "f.anf()",
    ],
}


@pytest.mark.skipif(SANITIZED, reason="the sanitizers' shadow memory does not fit the limit")
@pytest.mark.parametrize("limited_cgroup", [700 * 2**20], indirect=True, ids=["700 MiB"])
@pytest.mark.parametrize("group", KIT_GROUPS.values(), ids=KIT_GROUPS.keys())
def test_a_cgroup_limit_refuses_kit_operations_with_sizes(limited_cgroup, group):
    procs = limited_cgroup / "cgroup.procs"

    def enter():
        procs.write_text(str(os.getpid()))

    setup = KIT_HELD + "import pickle\ncalls = {" + ", ".join(f"{call!r}: lambda: {call}" for call in group) + "}\n"
    outcomes = run_limited(setup, None, preexec_fn=enter)
    for call in group:
        kind, message = outcomes[call]
        assert kind == "MemoryError" and "needs" in message and "can be had" in message, (call, outcomes[call])
    assert outcomes["after"] == ["ok", str(2**28)]


# An S-box of 2**25 words (128 MiB) and 350 MiB more held in a 700 MiB cgroup: a copy, a conversion
# or a list of it, or a new S-box of 2**26 and more, must raise MemoryError with the sizes instead of
# being killed.
VECTORIAL_HELD = """
import pickle
import numpy as np
from vexil_kit import VectorialFunction as V
F = V(np.arange(1 << 25, dtype=np.uint32))
held = np.ones(350 << 20, dtype=np.uint8)
def after(): return F.fixed_point_count()
"""

VECTORIAL_CALLS = [
    "F ^ F",
    "pickle.dumps(F)",
    "list(F)",
    "np.asarray(F, np.int64)",
    "F.coordinates()",
    "F.anf()",
    "F.fixed_points()",
    "V.random(27, 27)",
    "V.from_callable(int, 26, 26)",
]


@pytest.mark.skipif(SANITIZED, reason="the sanitizers' shadow memory does not fit the limit")
@pytest.mark.parametrize("limited_cgroup", [700 * 2**20], indirect=True, ids=["700 MiB"])
def test_a_cgroup_limit_refuses_vectorial_operations_with_sizes(limited_cgroup):
    procs = limited_cgroup / "cgroup.procs"

    def enter():
        procs.write_text(str(os.getpid()))

    setup = VECTORIAL_HELD + "calls = {" + ", ".join(f"{call!r}: lambda: {call}" for call in VECTORIAL_CALLS) + "}\n"
    outcomes = run_limited(setup, None, preexec_fn=enter, timeout=300.0)
    for call in VECTORIAL_CALLS:
        kind, message = outcomes[call]
        assert kind == "MemoryError" and "needs" in message and "can be had" in message, (call, outcomes[call])
    assert outcomes["after"] == ["ok", str(2**25)]
