"""Hypothesis strategies shared by the vexil_kit tests."""

from hypothesis import strategies as st

from vexil_kit import BooleanFunction


@st.composite
def functions(draw, min_n=0, max_n=6):
    """A BooleanFunction of min_n to max_n variables with an arbitrary table."""
    n = draw(st.integers(min_n, max_n))
    return BooleanFunction(draw(st.lists(st.booleans(), min_size=1 << n, max_size=1 << n)))
