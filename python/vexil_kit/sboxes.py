"""TEMPORARY stand-in for the S-box catalogue (AES, PRESENT and power maps only), to be replaced at merge
by the catalogue module of the ``sboxdata`` branch, which has the same functions."""

from __future__ import annotations

_MODULI = {1: 0b11, 2: 0b111, 3: 0b1011, 4: 0b10011, 5: 0b100101, 6: 0b1000011, 7: 0b10000011, 8: 0x11B}


def default_modulus(n: int) -> int:
    """The polynomial of GF(2**n) that power maps use when none is given (bit k: coefficient of x**k)."""
    if n not in _MODULI:
        raise ValueError(f"no default modulus for n = {n}")
    return _MODULI[n]


def _multiply(a: int, b: int, n: int, modulus: int) -> int:
    product = 0
    while b:
        if b & 1:
            product ^= a
        b >>= 1
        a <<= 1
        if a >> n:
            a ^= modulus
    return product


def power_map(n: int, d: int, modulus: int | None = None) -> tuple[int, ...]:
    """x**d over GF(2**n), entry x the field element whose bit k is the coefficient of x**k."""
    modulus = default_modulus(n) if modulus is None else modulus
    table = []
    for x in range(1 << n):
        result, base, e = 1, x, d
        while e:
            if e & 1:
                result = _multiply(result, base, n, modulus)
            base = _multiply(base, base, n, modulus)
            e >>= 1
        table.append(result if d else 1)
    return tuple(table)


def inverse_map(n: int) -> tuple[int, ...]:
    return power_map(n, (1 << n) - 2)


def gold(n: int, i: int) -> tuple[int, ...]:
    return power_map(n, (1 << i) + 1)


def kasami(n: int, i: int) -> tuple[int, ...]:
    return power_map(n, (1 << (2 * i)) - (1 << i) + 1)


def _aes() -> tuple[int, ...]:
    inverse = inverse_map(8)
    out = []
    for x in range(256):
        b = inverse[x]
        rotations = b
        for k in range(1, 5):
            rotations ^= ((b << k) | (b >> (8 - k))) & 0xFF
        out.append(rotations ^ 0x63)
    return tuple(out)


_PRESENT = (0xC, 0x5, 0x6, 0xB, 0x9, 0x0, 0xA, 0xD, 0x3, 0xE, 0xF, 0x8, 0x4, 0x7, 0x1, 0x2)


def catalogue() -> list[str]:
    return ["AES", "PRESENT"]


def named(name: str) -> tuple[int, int, tuple[int, ...]]:
    if name == "AES":
        return 8, 8, _aes()
    if name == "PRESENT":
        return 4, 4, _PRESENT
    raise KeyError(f"no S-box named {name!r}; the catalogue has {', '.join(catalogue())}")


def affine_equivalent(
    f_table: tuple[int, ...], g_table: tuple[int, ...], n: int
) -> tuple[tuple[int, ...], int, tuple[int, ...], int] | None:
    raise NotImplementedError("affine equivalence comes with the S-box catalogue")
