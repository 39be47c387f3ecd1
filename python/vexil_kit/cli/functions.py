"""Reading the FUNCTION argument of the command line."""

from __future__ import annotations

import difflib
import sys
from collections.abc import Iterable

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


def suggestion(word: str, choices: Iterable[str]) -> str:
    """The hint ' (did you mean X?)' with the choice nearest to ``word``, or '' when none is near."""
    close = difflib.get_close_matches(word, list(choices), n=1, cutoff=0.6)
    return f" (did you mean {close[0]}?)" if close else ""


def family_variables(name: str, values: list[int]) -> int:
    """The number of variables of a family's member with these arguments."""
    if name == "address":
        return values[0] + (1 << min(values[0], 64))
    if name == "clique":
        return values[0] * (values[0] + 1) // 2
    if name in ("coprimes", "sum_is_prime"):
        return 2 * values[0]
    if name == "tribes":
        return values[0] * values[1]
    return values[0]


def size_text(nbytes: int) -> str:
    for unit, scale in (("TiB", 1 << 40), ("GiB", 1 << 30), ("MiB", 1 << 20), ("KiB", 1 << 10)):
        if nbytes >= scale:
            return f"{nbytes / scale:.3g} {unit}"
    return f"{nbytes} bytes"


def _power_of_two(count: int) -> bool:
    return count > 0 and count & (count - 1) == 0


def _family(spec: str, family: families.Family, rest: str) -> BooleanFunction:
    name = spec.partition(":")[0]
    parts = rest.split(":") if rest else []
    if len(parts) != len(family.arguments):
        usage = ":".join([name, *family.arguments])
        count = len(family.arguments)
        raise FunctionError(
            f"{name} takes {count} argument{'s' if count > 1 else ''}, {usage}, not {len(parts)}: "
            f"for example {name}:{':'.join(['3'] * count)}"
        )
    values = [integer(part, what) for part, what in zip(parts, family.arguments, strict=True)]
    try:
        return family_member(family, *values)
    except MemoryError as error:
        variables = family_variables(family.name, values)
        sizes = f"{variables} variables, a table of 2**{variables} entries"
        if variables <= 64:
            sizes += f" ({size_text(1 << variables)} unpacked)"
        detail = str(error) or "not enough memory free"
        raise MemoryError(f"cannot build {spec} ({sizes}): {detail}; choose fewer variables") from None


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
        value, count = integer(number, "NUMBER"), integer(variables, "VARS")
        if count < 64 and value.bit_length() > 1 << count:
            raise FunctionError(
                f"NUMBER {value} needs {value.bit_length()} bits; a table of {count} variables has {1 << count}"
            )
        table = Vexil.from_number(value, count)
        return spec, BooleanFunction.from_vexil(table)
    family = families.lookup(name)
    if family is not None:
        return spec, _family(spec, family, rest)
    if name and all(c.isalnum() or c in "_-" for c in name):
        names = [*families.FAMILIES, *(n.replace("_", "-") for n in families.FAMILIES), "expr", "number"]
        hint = suggestion(name, names)
        if hint or ":" in spec:
            raise FunctionError(f"unknown family {name!r}{hint}; `vexil report --help` lists the forms of FUNCTION")
    if any(c in spec for c in "&|^~() "):
        raise FunctionError(f"{spec!r} looks like an expression: write expr:{spec!r}")
    raise FunctionError(
        f"cannot read {spec!r} as a function: write a family (majority:9), expr:EXPRESSION, a hex table (0x...), "
        "a bit string, number:NUMBER:VARS or @PATH; `vexil report --help` lists them"
    )


def _read_file(path: str) -> bytes:
    try:
        with open(path, "rb") as handle:
            return handle.read()
    except OSError as error:
        raise FunctionError(f"cannot read {path}: {error.strerror}") from None
