"""Reading the FUNCTION argument of the command line."""

from __future__ import annotations

import sys

import vexil

from ..function import BooleanFunction

Vexil = vexil.Vexil


def _built_by_vexil(family):
    """A family that the core builds natively, as a BooleanFunction."""
    return lambda n: BooleanFunction.from_vexil(family(n))


FAMILIES = {
    "majority": BooleanFunction.majority,
    "parity": BooleanFunction.xor,
    "coprimes": _built_by_vexil(Vexil.coprimes),
    "primality": _built_by_vexil(Vexil.primality),
    "sum-is-prime": _built_by_vexil(Vexil.sum_is_prime),
    "clique": _built_by_vexil(Vexil.clique),
}

FORMS = (
    "FUNCTION is one of: a family with its size (majority:9, parity:6, coprimes:3, primality:12, "
    "sum-is-prime:4, clique:4); a hexadecimal table (0x69969669, entry 0 in the least significant bit, "
    "the number of digits fixes the size); a bit string listing the entries from entry 0 (01101001); "
    "number:NUMBER:VARS; @PATH or - for a file in the module's byte encoding."
)


class FunctionError(ValueError):
    """A FUNCTION argument that names no function."""


def _integer(text: str, what: str) -> int:
    try:
        value = int(text, 0)
    except ValueError:
        raise FunctionError(f"{what} must be a non-negative integer, not {text!r}") from None
    if value < 0:
        raise FunctionError(f"{what} must be a non-negative integer, not {text!r}")
    return value


def _power_of_two(count: int) -> bool:
    return count > 0 and count & (count - 1) == 0


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
            raise FunctionError(f"{spec!r} has {len(digits)} hex digits; the entries (4 per digit) must be a power of two")
        return spec, BooleanFunction.from_hex(digits, n=entries.bit_length() - 1)
    if spec and set(spec) <= {"0", "1"}:
        if not _power_of_two(len(spec)):
            raise FunctionError(f"the bit string has {len(spec)} entries; that must be a power of two")
        return spec, BooleanFunction([c == "1" for c in spec])
    name, _, rest = spec.partition(":")
    if name == "number":
        number, _, variables = rest.partition(":")
        if not variables:
            raise FunctionError("write number:NUMBER:VARS, for example number:105:3")
        return spec, BooleanFunction.from_vexil(Vexil.from_number(_integer(number, "NUMBER"), _integer(variables, "VARS")))
    if name in FAMILIES:
        if not rest:
            raise FunctionError(f"give the size: {name}:N")
        return spec, FAMILIES[name](_integer(rest, "the size"))
    raise FunctionError(f"cannot read {spec!r}. {FORMS}")


def _read_file(path: str) -> bytes:
    try:
        with open(path, "rb") as handle:
            return handle.read()
    except OSError as error:
        raise FunctionError(f"cannot read {path}: {error.strerror}") from None
