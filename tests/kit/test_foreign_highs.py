"""The toolkit's linear programs after another library's HiGHS solve in the same process.

HiGHS keeps one scheduler per process, fixed by the first solve; each case runs in a child, once after a
default-settings solve of another library's and once alone, and both must give the same value.
"""

import subprocess
import sys

import pytest

FOREIGN_SOLVE = """
import highspy
h = highspy.Highs()
h.setOptionValue("output_flag", False)
h.addVar(0, 1)
h.changeColCost(0, 1)
h.run()
assert h.getModelStatus() == highspy.HighsModelStatus.kOptimal
"""


def value_in_child(call, foreign):
    script = (FOREIGN_SOLVE if foreign else "") + f"\nfrom vexil_kit import BooleanFunction\nprint(repr({call}))\n"
    child = subprocess.run([sys.executable, "-c", script], capture_output=True, text=True, timeout=300)
    assert child.returncode == 0, child.stderr
    return child.stdout.splitlines()[-1]


@pytest.mark.parametrize(
    "call",
    [
        "BooleanFunction.random(4, seed=2).approximate_degree()",
        "BooleanFunction.majority(5).is_threshold()",
        "BooleanFunction.random(6, seed=3).threshold_degree()",
        "len(BooleanFunction.random(6, seed=2).minimum_sop())",
    ],
)
def test_a_foreign_default_solve_first_leaves_our_programs_working(call):
    assert value_in_child(call, foreign=True) == value_in_child(call, foreign=False)
