import pytest
from conftest import Vexil, table_of


@pytest.mark.parametrize(
    "entries, prefix",
    [
        (1, b"\x01"),
        (128, b"\x80"),
        (256, b"\xfb\x00\x01"),
        (32768, b"\xfb\x00\x80"),
        (65536, b"\xfc\x00\x00\x01\x00"),
    ],
)
def test_prefix_widths(entries, prefix):
    v = Vexil.parity(entries.bit_length() - 1)
    raw = v.encode()
    assert raw[: len(prefix)] == prefix
    assert len(raw) == len(prefix) + entries
    assert list(raw[len(prefix) :]) == [int(x) for x in v.repr()]
    assert Vexil.decode(raw).repr() == v.repr()


def test_worked_encodings():
    assert table_of("0110").encode() == bytes([4, 0, 1, 1, 0])
    assert table_of("1").encode() == bytes([1, 1])
    assert Vexil.decode(bytes([1, 1])).size() == 1


@pytest.mark.parametrize(
    "raw",
    [bytes([4, 0, 1, 1, 0, 0xFF]), bytes([0xFB, 4, 0, 0, 1, 1, 0]), bytes([0xFC, 4, 0, 0, 0, 0, 1, 1, 0])],
)
def test_lenient_inputs_decode(raw):
    assert Vexil.decode(raw).repr() == [False, True, True, False]


@pytest.mark.parametrize(
    "raw",
    [
        b"",
        bytes([4, 0, 1, 1]),
        bytes([4, 0, 2, 1, 0]),
        bytes([0xFE, 0]),
        bytes([0xFF]),
        bytes([0xFB, 4]),
        bytes([0xFD, 1, 0, 0, 0]),
        bytes([0xFD]) + (2**40).to_bytes(8, "little") + b"\x00" * 16,
    ],
)
def test_malformed_inputs(raw):
    with pytest.raises(ValueError, match=r"^Unable to decode$"):
        Vexil.decode(raw)


@pytest.mark.parametrize("raw", [bytes([0]), bytes([3, 0, 1, 1])])
def test_lengths_that_are_not_powers_of_two(raw, PanicException):
    with pytest.raises(PanicException) as caught:
        Vexil.decode(raw)
    assert caught.value.args == ("Invalid size",)


def test_huge_claimed_length_is_a_capacity_overflow(PanicException):
    with pytest.raises(PanicException) as caught:
        Vexil.decode(bytes([0xFD]) + (2**63).to_bytes(8, "little"))
    assert caught.value.args == ("capacity overflow",)


def test_bytes_subclasses_are_read():
    class Raw(bytes):
        pass

    assert Vexil.decode(Raw(bytes([2, 1, 0]))).repr() == [True, False]
