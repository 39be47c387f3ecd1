"""Published S-boxes and power maps over GF(2**n), as plain tables of ints.

Every table here is in vexil's bit order: entry x is F(x), with x read as an integer whose bit v is
variable v, and F(x) an integer whose bit j is coordinate j. A standard's own table S[x], read as
integers, goes in unchanged; where a standard defines its map on bits or rows, the docstring of
``named`` says which bit is which.

>>> catalogue()[:3]
['AES', 'AES-inverse', 'Ascon']
>>> n, m, table = named("present")
>>> n, m, [hex(v) for v in table[:4]]
(4, 4, ['0xc', '0x5', '0x6', '0xb'])
>>> power_map(8, 254) == inverse_map(8)
True

The catalogue (name: n -> m bits, source):

==============  ======  ============================================================================
name            n -> m  source and bit order
==============  ======  ============================================================================
AES             8 -> 8  FIPS 197, S[x] as published (GF(2**8) inverse mod 0x11B, then the affine map)
AES-inverse     8 -> 8  FIPS 197, the inverse S-box
Ascon           5 -> 5  Ascon (NIST SP 800-232), S[x] with x = x0 x1 x2 x3 x4 and row x0 the
                        most significant bit, as the designers publish the table
DES-S1..S8      6 -> 4  FIPS 46-3; see ``des_entry`` for how the 6-bit integer picks row and column
GIFT            4 -> 4  GIFT (CHES 2017), GS[x]
Keccak-chi      5 -> 5  Keccak's chi on one row: bit i of x is a[i], b[i] = a[i] ^ (~a[i+1] & a[i+2])
KLEIN           4 -> 4  KLEIN (RFIDSec 2011), S[x]
Midori-Sb0/Sb1  4 -> 4  Midori (ASIACRYPT 2015), Sb0[x] and Sb1[x] (CRAFT's S-box is Sb0)
Noekeon         4 -> 4  Noekeon (NESSIE 2000), Gamma as a table S[x]
Piccolo         4 -> 4  Piccolo (CHES 2011), S[x]
PRESENT         4 -> 4  PRESENT (CHES 2007), S[x]
PRINCE          4 -> 4  PRINCE (ASIACRYPT 2012), S[x]
Rectangle       4 -> 4  RECTANGLE (2015), S[x]
Serpent-S0..S7  4 -> 4  Serpent (AES proposal), S_i[x]
SKINNY-4        4 -> 4  SKINNY (CRYPTO 2016), S4[x]
SKINNY-8        8 -> 8  SKINNY (CRYPTO 2016), S8 built from its four NOR/XOR rounds on bits x7..x0
TWINE           4 -> 4  TWINE (SAC 2012), S[x]
==============  ======  ============================================================================

The field polynomials of ``default_modulus`` (written as integers, bit k the coefficient of x**k):
AES's x**8 + x**4 + x**3 + x + 1 (0x11B, irreducible, not primitive) for n = 8; for every other n
from 1 to 20 the primitive trinomial or pentanomial of the usual tables:

==  ==========================  ========
n   polynomial                  integer
==  ==========================  ========
1   x + 1                       0x3
2   x^2 + x + 1                 0x7
3   x^3 + x + 1                 0xB
4   x^4 + x + 1                 0x13
5   x^5 + x^2 + 1               0x25
6   x^6 + x + 1                 0x43
7   x^7 + x + 1                 0x83
8   x^8 + x^4 + x^3 + x + 1     0x11B
9   x^9 + x^4 + 1               0x211
10  x^10 + x^3 + 1              0x409
11  x^11 + x^2 + 1              0x805
12  x^12 + x^6 + x^4 + x + 1    0x1053
13  x^13 + x^4 + x^3 + x + 1    0x201B
14  x^14 + x^10 + x^6 + x + 1   0x4443
15  x^15 + x + 1                0x8003
16  x^16 + x^12 + x^3 + x + 1   0x1100B
17  x^17 + x^3 + 1              0x20009
18  x^18 + x^7 + 1              0x40081
19  x^19 + x^5 + x^2 + x + 1    0x80027
20  x^20 + x^3 + 1              0x100009
==  ==========================  ========

A field element is the integer whose bit k is the coefficient of x**k (so 2 is the class of x).
"""

from __future__ import annotations

import operator
import threading

import numpy as np
import numpy.typing as npt

from .sbox_equivalence import affine_equivalent, apply_matrix, invariants, linear_equivalent

__all__ = [
    "MAX_FIELD_DEGREE",
    "affine_equivalent",
    "apply_matrix",
    "catalogue",
    "default_modulus",
    "des_entry",
    "field_is_primitive",
    "gold",
    "inverse_map",
    "invariants",
    "kasami",
    "linear_equivalent",
    "named",
    "power_map",
    "power_table",
]

# -- tables transcribed from the standards ----------------------------------------------------------

_AES = bytes.fromhex(
    "637c777bf26b6fc53001672bfed7ab76ca82c97dfa5947f0add4a2af9ca472c0"
    "b7fd9326363ff7cc34a5e5f171d8311504c723c31896059a071280e2eb27b275"
    "09832c1a1b6e5aa0523bd6b329e32f8453d100ed20fcb15b6acbbe394a4c58cf"
    "d0efaafb434d338545f9027f503c9fa851a3408f929d38f5bcb6da2110fff3d2"
    "cd0c13ec5f974417c4a77e3d645d197360814fdc222a908846eeb814de5e0bdb"
    "e0323a0a4906245cc2d3ac629195e479e7c8376d8dd54ea96c56f4ea657aae08"
    "ba78252e1ca6b4c6e8dd741f4bbd8b8a703eb5664803f60e613557b986c11d9e"
    "e1f8981169d98e949b1e87e9ce5528df8ca1890dbfe6426841992d0fb054bb16"
)

_FOUR_BIT = {
    "PRESENT": "c56b90ad3ef84712",
    "GIFT": "1a4c6f392db7508e",
    "SKINNY-4": "c6901a2b385d4e7f",
    "PRINCE": "bf32ac916780e5d4",
    "Midori-Sb0": "cad3ebf789150246",
    "Midori-Sb1": "1053e2f7da9bc846",
    "Serpent-S0": "38f1a65bed42709c",
    "Serpent-S1": "fc27905a1be86d34",
    "Serpent-S2": "86793cafd1e40b52",
    "Serpent-S3": "0fb8c963d124a75e",
    "Serpent-S4": "1f83c0b6254a9e7d",
    "Serpent-S5": "f52b4a9c03e8d671",
    "Serpent-S6": "72c5846be91fd3a0",
    "Serpent-S7": "1df0e82b74ca9356",
    "Noekeon": "7a2c48f0591e3db6",
    "Rectangle": "65ca1e79b03d8f42",
    "Piccolo": "e4b238091a7f6c5d",
    "KLEIN": "74a91fb0c3268ed5",
    "TWINE": "c0fa2b9583d71e64",
}

_ASCON = (
    0x04, 0x0B, 0x1F, 0x14, 0x1A, 0x15, 0x09, 0x02, 0x1B, 0x05, 0x08, 0x12, 0x1D, 0x03, 0x06, 0x1C,
    0x1E, 0x13, 0x07, 0x0E, 0x00, 0x0D, 0x11, 0x18, 0x10, 0x0C, 0x01, 0x19, 0x16, 0x0A, 0x0F, 0x17,
)  # fmt: skip

# FIPS 46-3: each S-box as four rows of sixteen entries (row 0 first).
_DES = (
    "e4d12fb83a6c5907" "0f74e2d1a6cb9538" "41e8d62bfc973a50" "fc8249175b3ea06d",
    "f18e6b34972dc05a" "3d47f28ec01a69b5" "0e7ba4d158c6932f" "d8a13f42b67c05e9",
    "a09e63f51dc7b428" "d709346a285ecbf1" "d6498f30b12c5ae7" "1ad069874fe3b52c",
    "7de3069a1285bc4f" "d8b56f03472c1ae9" "a690cb7df13e5284" "3f06a1d8945bc72e",
    "2c417ab6853fd0e9" "eb2c47d150fa3986" "421bad78f9c5630e" "b8c71e2d6f09a453",
    "c1af92680d34e75b" "af427c9561de0b38" "9ef528c3704a1db6" "432c95fabe17608d",
    "4b2ef08d3c975a61" "d0b7491ae35c2f86" "14bdc37eaf680592" "6bd814a7950fe23c",
    "d2846fb1a93e50c7" "1fd8a374c56b0e92" "7b419ce206adf358" "21e74a8dfc90356b",
)  # fmt: skip


def _hex_table(text: str) -> tuple[int, ...]:
    return tuple(int(c, 16) for c in text)


def des_entry(box: int, x: int) -> int:
    """The output of DES S-box ``box`` (1 to 8) on the 6-bit integer x, as in ``named("DES-S<box>")``.

    FIPS 46-3 numbers the six input bits b1 ... b6 from the left, so x = b1 b2 b3 b4 b5 b6 with b1
    the most significant bit (bit 5 of x, vexil's variable 5) and b6 bit 0. The row is the two-bit
    number b1 b6 and the column the four-bit number b2 b3 b4 b5; the 4-bit output is the table's
    entry, read as an integer (its first bit, the most significant, is bit 3).

    >>> des_entry(1, 0b011011)   # row 01, column 1101 of S1
    5
    """
    if not 1 <= box <= 8 or not 0 <= x < 64:
        raise ValueError(f"DES S-box {box} on {x}: the box is 1 to 8 and the input 0 to 63")
    row = ((x >> 4) & 2) | (x & 1)
    column = (x >> 1) & 15
    return int(_DES[box - 1][16 * row + column], 16)


def _keccak_chi() -> tuple[int, ...]:
    out = []
    for x in range(32):
        a = [(x >> i) & 1 for i in range(5)]
        out.append(sum((a[i] ^ ((1 ^ a[(i + 1) % 5]) & a[(i + 2) % 5])) << i for i in range(5)))
    return tuple(out)


def _skinny8() -> tuple[int, ...]:
    # Four rounds of x4 ^= NOR(x7, x6), x0 ^= NOR(x3, x2); between them the bit permutation that
    # makes (x7, ..., x0) into (x2, x1, x7, x6, x4, x0, x3, x5), after the last one x1 and x2 swap.
    order = (5, 3, 0, 4, 6, 7, 1, 2)  # new bit k takes old bit order[k]
    out = []
    for x in range(256):
        bits = [(x >> k) & 1 for k in range(8)]
        for rnd in range(4):
            bits[4] ^= 1 ^ (bits[7] | bits[6])
            bits[0] ^= 1 ^ (bits[3] | bits[2])
            if rnd < 3:
                bits = [bits[order[k]] for k in range(8)]
            else:
                bits[1], bits[2] = bits[2], bits[1]
        out.append(sum(b << k for k, b in enumerate(bits)))
    return tuple(out)


def _inverse_of(table: tuple[int, ...]) -> tuple[int, ...]:
    out = [0] * len(table)
    for x, y in enumerate(table):
        out[y] = x
    return tuple(out)


_BOXES: dict[str, tuple[int, int, tuple[int, ...]]] = {}


def _catalogue() -> dict[str, tuple[int, int, tuple[int, ...]]]:
    """The catalogue, built on first use."""
    if not _BOXES:
        _BOXES.update(_build_catalogue())  # the same values whichever thread gets here first
    return _BOXES


def _build_catalogue() -> dict[str, tuple[int, int, tuple[int, ...]]]:
    boxes: dict[str, tuple[int, int, tuple[int, ...]]] = {
        "AES": (8, 8, tuple(_AES)),
        "AES-inverse": (8, 8, _inverse_of(tuple(_AES))),
        "Ascon": (5, 5, _ASCON),
        "Keccak-chi": (5, 5, _keccak_chi()),
        "SKINNY-8": (8, 8, _skinny8()),
    }
    for name, text in _FOUR_BIT.items():
        boxes[name] = (4, 4, _hex_table(text))
    for box in range(1, 9):
        boxes[f"DES-S{box}"] = (6, 4, tuple(des_entry(box, x) for x in range(64)))
    return dict(sorted(boxes.items(), key=lambda item: _sort_key(item[0])))


def _sort_key(name: str) -> tuple[str, int]:
    # DES-S2 before DES-S10 would matter only past nine; alphabetical otherwise, case folded.
    stem = name.rstrip("0123456789")
    return stem.lower(), int(name[len(stem) :] or 0)


def catalogue() -> list[str]:
    """The names of the published S-boxes that ``named`` knows, sorted.

    >>> [name for name in catalogue() if name.startswith("Serpent")][:2]
    ['Serpent-S0', 'Serpent-S1']
    """
    return list(_catalogue())


def named(name: str) -> tuple[int, int, tuple[int, ...]]:
    """The published S-box ``name`` (case-insensitive) as (n, m, table), table[x] = F(x).

    Bit v of x is variable v and bit j of F(x) coordinate j. The standards' integer tables go in as
    published; in particular Ascon's x = x0 x1 x2 x3 x4 has its row x0 as bit 4 (variable 4) and
    row x4 as bit 0, as in the designers' table. Keccak-chi has a[i] as bit i. DES S-boxes map 6
    bits to 4; ``des_entry`` says how the input picks the row and column. Unknown names raise
    KeyError listing the known ones.

    >>> n, m, table = named("AES")
    >>> n, m, hex(table[0]), hex(table[0x53])
    (8, 8, '0x63', '0xed')
    >>> named("DES-S1")[:2], named("DES-S1")[2][0b011011]
    ((6, 4), 5)
    """
    boxes = _catalogue()
    if name in boxes:
        return boxes[name]
    folded = {key.lower(): key for key in boxes}
    key = folded.get(name.lower()) if isinstance(name, str) else None
    if key is None:
        raise KeyError(f"no S-box named {name!r}; the catalogue holds {', '.join(boxes)}")
    return boxes[key]


# -- GF(2**n) ------------------------------------------------------------------------------------------

MAX_FIELD_DEGREE = 20

_MODULI = (
    0x3, 0x7, 0xB, 0x13, 0x25, 0x43, 0x83, 0x11B, 0x211, 0x409,
    0x805, 0x1053, 0x201B, 0x4443, 0x8003, 0x1100B, 0x20009, 0x40081, 0x80027, 0x100009,
)  # fmt: skip


def _integer(value: object, what: str) -> int:
    """``value`` as an int (NumPy integers too), ValueError for anything else, bools included."""
    if isinstance(value, bool):
        raise ValueError(f"{what} must be an int, not {value!r}")
    try:
        return operator.index(value)  # type: ignore[arg-type]
    except TypeError:
        raise ValueError(f"{what} must be an int, not {value!r}") from None


def _check_degree(n: int) -> int:
    n = _integer(n, "the field degree n")
    if not 1 <= n <= MAX_FIELD_DEGREE:
        raise ValueError(f"the field degree n must be from 1 to {MAX_FIELD_DEGREE}, not {n}")
    return n


def default_modulus(n: int) -> int:
    """The polynomial of GF(2**n) used when none is given, as an integer (bit k: coefficient of x**k).

    AES's 0x11B for n = 8, the primitive polynomial of the module's table otherwise.

    >>> hex(default_modulus(8)), hex(default_modulus(4))
    ('0x11b', '0x13')
    """
    return _MODULI[_check_degree(n) - 1]


def _poly_mulmod(a: int, b: int, modulus: int) -> int:
    degree = modulus.bit_length() - 1
    result = 0
    while b:
        if b & 1:
            result ^= a
        b >>= 1
        a <<= 1
        if (a >> degree) & 1:
            a ^= modulus
    return result


def _poly_mod(a: int, modulus: int) -> int:
    degree = modulus.bit_length() - 1
    while a.bit_length() - 1 >= degree:
        a ^= modulus << (a.bit_length() - 1 - degree)
    return a


def _poly_gcd(a: int, b: int) -> int:
    while b:
        a, b = b, _poly_mod(a, b)
    return a


def _prime_factors(value: int) -> list[int]:
    factors, p = [], 2
    while p * p <= value:
        if value % p == 0:
            factors.append(p)
            while value % p == 0:
                value //= p
        p += 1
    return factors + ([value] if value > 1 else [])


def _x_to_power_of_two(k: int, modulus: int) -> int:
    """x**(2**k) modulo the polynomial, by k squarings."""
    value = _poly_mod(2, modulus)
    for _ in range(k):
        value = _poly_mulmod(value, value, modulus)
    return value


def _is_irreducible(modulus: int, n: int) -> bool:
    # Rabin: f of degree n divides x**(2**n) - x, and x**(2**(n/p)) - x is prime to f for each prime p | n.
    if modulus.bit_length() - 1 != n:
        return False
    if _x_to_power_of_two(n, modulus) != _poly_mod(2, modulus):
        return False
    return all(_poly_gcd(modulus, _x_to_power_of_two(n // p, modulus) ^ 2) == 1 for p in _prime_factors(n))


def _field_modulus(n: int, modulus: int | None) -> tuple[int, int]:
    """The checked (n, modulus)."""
    n = _check_degree(n)
    if modulus is None:
        return n, _MODULI[n - 1]
    modulus = _integer(modulus, "the modulus")
    if not _is_irreducible(modulus, n):
        raise ValueError(f"the modulus {modulus!r} is not an irreducible polynomial of degree {n} over GF(2)")
    return n, modulus


def _times_constant(values: npt.NDArray[np.int64], c: int, modulus: int, n: int) -> npt.NDArray[np.int64]:
    """values * c in GF(2**n), elementwise: the carry-less product, then reduced from the top bit down."""
    product = np.zeros_like(values)
    for j in range(n):
        if (c >> j) & 1:
            product ^= values << j
    for k in range(2 * n - 2, n - 1, -1):
        product ^= ((product >> k) & 1) * (modulus << (k - n))
    return product


# The tables of the fields used last, by (n, modulus): a few, as one of 20 bits holds 16 MiB.
_FIELDS: dict[tuple[int, int], tuple[npt.NDArray[np.int64], npt.NDArray[np.int64]]] = {}
_FIELDS_LOCK = threading.Lock()


def _exp_log(n: int, modulus: int) -> tuple[npt.NDArray[np.int64], npt.NDArray[np.int64]]:
    """Powers of a generator g (exp[k] = g**k, k < 2**n - 1) and their logarithms (log[0] unused)."""
    key = (n, modulus)
    with _FIELDS_LOCK:
        if key not in _FIELDS:
            if len(_FIELDS) >= 8:
                del _FIELDS[next(iter(_FIELDS))]
            _FIELDS[key] = _field_tables(n, modulus)
        return _FIELDS[key]


def _field_tables(n: int, modulus: int) -> tuple[npt.NDArray[np.int64], npt.NDArray[np.int64]]:
    order = (1 << n) - 1
    generator = 1 if n == 1 else next(g for g in range(2, 1 << n) if _is_generator(g, order, modulus))
    exp = np.ones(1, dtype=np.int64)
    step = generator  # g**(2**k) as the table doubles
    while len(exp) < order:
        exp = np.concatenate([exp, _times_constant(exp, step, modulus, n)])
        step = _poly_mulmod(step, step, modulus)
    exp = exp[:order]
    log = np.zeros(1 << n, dtype=np.int64)
    log[exp] = np.arange(order, dtype=np.int64)
    exp.flags.writeable = False
    log.flags.writeable = False
    return exp, log


def _field_power(x: int, d: int, modulus: int) -> int:
    result = 1
    while d:
        if d & 1:
            result = _poly_mulmod(result, x, modulus)
        x = _poly_mulmod(x, x, modulus)
        d >>= 1
    return result


def power_table(n: int, d: int, modulus: int | None = None) -> npt.NDArray[np.int64]:
    """``power_map`` as a read-only int64 NumPy array."""
    n, modulus = _field_modulus(n, modulus)
    d = _integer(d, "the exponent")
    order = (1 << n) - 1
    exp, log = _exp_log(n, modulus)
    if d == 0:
        table = np.ones(1 << n, dtype=np.int64)
    else:
        table = exp[(log * (d % order)) % order]
        table[0] = 0
    table.flags.writeable = False
    return table


def power_map(n: int, d: int, modulus: int | None = None) -> tuple[int, ...]:
    """The table of x -> x**d over GF(2**n) = GF(2)[x] / (modulus), n from 1 to 20.

    The modulus (default ``default_modulus(n)``) must be an irreducible polynomial of degree n;
    ValueError otherwise. For d > 0, 0**d = 0; d = 0 gives the constant 1. A negative d is taken in
    the multiplicative group (x**d = x**(d mod (2**n - 1))) with 0 -> 0, so ``power_map(n, -1)`` is
    ``inverse_map(n)``.

    >>> power_map(3, 3)        # x**3 over GF(8) = GF(2)[x] / (x**3 + x + 1)
    (0, 1, 3, 4, 5, 6, 7, 2)
    >>> power_map(2, 2, modulus=0b100)
    Traceback (most recent call last):
    ...
    ValueError: the modulus 4 is not an irreducible polynomial of degree 2 over GF(2)
    """
    return tuple(power_table(n, d, modulus).tolist())


def inverse_map(n: int, modulus: int | None = None) -> tuple[int, ...]:
    """The patched inverse x -> x**(2**n - 2) (0 -> 0); AES's S-box before its affine layer for n = 8.

    >>> inverse_map(8)[0x53] == 0xCA       # FIPS 197's example: {53} and {CA} are inverses
    True
    >>> inverse_map(1)                     # GF(2): 0 -> 0 and 1 -> 1
    (0, 1)
    """
    _check_degree(n)
    # x**-1 in the multiplicative group: for n = 1 the exponent 2**n - 2 is 0, which power_map
    # reads as the constant 1, where the inverse of GF(2) is the identity.
    return power_map(n, -1, modulus)


def gold(n: int, i: int, modulus: int | None = None) -> tuple[int, ...]:
    """The Gold map x -> x**(2**i + 1); APN exactly when gcd(i, n) = 1.

    >>> gold(3, 1) == power_map(3, 3)
    True
    """
    order, i = _order(n, i), int(i)
    # The exponent only matters modulo 2**n - 1 (and it is positive): a huge i costs nothing.
    return power_map(n, (pow(2, i, order) + 1) % order or order, modulus)


def kasami(n: int, i: int, modulus: int | None = None) -> tuple[int, ...]:
    """The Kasami map x -> x**(2**(2i) - 2**i + 1); APN when gcd(i, n) = 1.

    >>> kasami(5, 1) == power_map(5, 3)
    True
    """
    order, i = _order(n, i), int(i)
    return power_map(n, (pow(2, 2 * i, order) - pow(2, i, order) + 1) % order or order, modulus)


def _order(n: int, i: int) -> int:
    """2**n - 1, once n and the index i are checked."""
    if _integer(i, "the index i") < 1:
        raise ValueError(f"the index i must be positive, not {i!r}")
    return (1 << _check_degree(n)) - 1


def _is_generator(g: int, order: int, modulus: int) -> bool:
    return all(_field_power(g, order // p, modulus) != 1 for p in _prime_factors(order))


def field_is_primitive(n: int, modulus: int | None = None) -> bool:
    """Whether x generates the multiplicative group of GF(2**n) under this polynomial.

    >>> field_is_primitive(8), field_is_primitive(8, 0x11D)
    (False, True)
    """
    n, modulus = _field_modulus(n, modulus)
    order = (1 << n) - 1
    return n == 1 or _is_generator(2, order, modulus)
