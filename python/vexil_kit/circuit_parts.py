"""The plain parts of a circuit, as ``Circuit`` holds them and the file formats read and write them."""

#: A gate: ``(op, a, b)``, op its 4-bit table with bit ``2 * B + A`` its value when node a is A and b is B.
Gate = tuple[int, int, int]
#: An output: ``(node or None, negated)``, None the constant 0.
Output = tuple[int | None, bool]
#: ``(inputs, gates, outputs)``.
Parts = tuple[int, tuple[Gate, ...], tuple[Output, ...]]
