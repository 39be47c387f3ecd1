"""Reading the FUNCTION argument of the command line."""

from __future__ import annotations

import sys

import vexil

from .. import families
from ..function import BooleanFunction, family_member

Vexil = vexil.Vexil

FORMS = (
    "FUNCTION is one of: a family with its arguments (majority:9, parity:6 (even parity), xor:5 (odd parity), "
    "conjunction:4, disjunction:4, threshold:5:3, tribes:3:4, inner-product:6, address:2, dictator:4:1, "
    "constant:3:1, coprimes:3, primality:12, sum-is-prime:4, clique:4); an expression, expr:'x0 & x1 ^ ~x2' "
    "(operators ~ & ^ |, parentheses, 0 and 1); a hexadecimal table, 0x69969669: the number sum of f(x) * 2**x, "
    "so entry 0 is the least significant bit, and the number of digits fixes the size (4 entries a digit); "
    "a bit string listing the entries from entry 0 (01101001); number:NUMBER:VARS (entry x is bit x of NUMBER, "
    "the same convention); @PATH or - for a file in the module's byte encoding."
)


class FunctionError(ValueError):
    """A FUNCTION argument that names no function."""


def integer(text: str, what: str) -> int:
    """A non-negative integer argument (decimal, or with a 0x, 0o or 0b prefix)."""
    try:
        value = int(text, 0)
    except ValueError:
        raise FunctionError(f"{what} must be a non-negative integer, not {text!r}") from None
    if value < 0:
        raise FunctionError(f"{what} must be a non-negative integer, not {text!r}")
    return value


def _power_of_two(count: int) -> bool:
    return count > 0 and count & (count - 1) == 0


def _family(spec: str, family: families.Family, rest: str) -> BooleanFunction:
    name = spec.partition(":")[0]
    parts = rest.split(":") if rest else []
    if len(parts) != len(family.arguments):
        usage = ":".join([name, *family.arguments])
        raise FunctionError(f"write {usage}, for example {name}:{':'.join(['3'] * len(family.arguments))}")
    values = [integer(part, what) for part, what in zip(parts, family.arguments, strict=True)]
    try:
        return family_member(family, *values)
    except MemoryError as error:
        raise MemoryError(f"cannot build {spec}: {error}; choose fewer variables") from None


def parse_function(spec: str) -> tuple[str, BooleanFunction]:
    """The function a FUNCTION argument names, with a short label for it."""
    if spec == "-" or spec.startswith("@"):
        if spec == "-" and sys.stdin is None:
            raise FunctionError("standard input is closed")
        data = sys.stdin.buffer.read() if spec == "-" else _read_file(spec[1:])
        return ("standard input" if spec == "-" else spec[1:]), BooleanFunction.from_vexil(Vexil.decode(data))
    if spec.lower().startswith("0x"):
        digits = spec[2:]
        if not digits or any(c not in "0123456789abcdefABCDEF" for c in digits):
            raise FunctionError(f"{spec!r} is not a hexadecimal table")
        entries = 4 * len(digits)
        if not _power_of_two(entries):
            raise FunctionError(
                f"{spec!r} has {len(digits)} hex digits; the entries (4 per digit) must be a power of two"
            )
        return spec, BooleanFunction.from_hex(digits, n=entries.bit_length() - 1)
    if spec and set(spec) <= {"0", "1"}:
        if not _power_of_two(len(spec)):
            raise FunctionError(f"the bit string has {len(spec)} entries; that must be a power of two")
        return spec, BooleanFunction([c == "1" for c in spec])
    name, _, rest = spec.partition(":")
    if name == "expr":
        if not rest.strip():
            raise FunctionError("write expr:EXPRESSION, for example expr:'x0 & x1 ^ x2'")
        return spec, BooleanFunction.from_expression(rest)
    if name == "number":
        number, _, variables = rest.partition(":")
        if not variables:
            raise FunctionError("write number:NUMBER:VARS, for example number:105:3")
        table = Vexil.from_number(integer(number, "NUMBER"), integer(variables, "VARS"))
        return spec, BooleanFunction.from_vexil(table)
    family = families.lookup(name)
    if family is not None:
        return spec, _family(spec, family, rest)
    raise FunctionError(f"cannot read {spec!r}. {FORMS}")


def _read_file(path: str) -> bytes:
    try:
        with open(path, "rb") as handle:
            return handle.read()
    except OSError as error:
        raise FunctionError(f"cannot read {path}: {error.strerror}") from None
