"""Builders refuse tables that cannot be held, before allocating, with the sizes in the message."""

import pytest

from vexil_kit import BooleanFunction as BF


@pytest.mark.parametrize(
    "build",
    [
        lambda: BF.majority(40),
        lambda: BF.xor(41),
        lambda: BF.threshold(40, 3),
        lambda: BF.dictator(40, 1),
        lambda: BF.constant(40, True),
        lambda: BF.conjunction(40),
        lambda: BF.random(40, seed=0),
        lambda: BF.random(40, seed=0, balanced=True),
        lambda: BF.from_expression("x0 & x39"),
        lambda: BF.from_callable(40, lambda xs: xs & 1, vectorized=True),
        lambda: BF.tribes(5, 8),
        lambda: BF.inner_product(40),
    ],
)
def test_a_table_beyond_the_machine_raises_memory_error(build):
    with pytest.raises(MemoryError, match=r"needs 1\.0 TiB|needs [0-9.]+ TiB .* can be had"):
        build()
