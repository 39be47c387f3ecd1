"""Inputs and uses a careless or hostile caller tries: each is refused with an error that names what is
wrong, or handled as documented, and never corrupts a function."""

import concurrent.futures
import copy
import math
import pickle
import re
import threading
import time
import tracemalloc

import numpy as np
import pytest

from vexil_kit import BooleanFunction as BF
from vexil_kit import Cancel, Cancelled
from vexil_kit.circuits import MAX_EXPRESSION, Circuit
from vexil_kit.function import _restore

F = BF.random(6, seed=1)


@pytest.mark.parametrize(
    "call, name",
    [
        (lambda: BF.majority(True), "n"),
        (lambda: BF.constant(True, 1), "n"),
        (lambda: BF.threshold(3, True), "k"),
        (lambda: BF.tribes(True, 2), "width"),
        (lambda: BF.dictator(3, True), "i"),
        (lambda: BF.from_int(True, 0), "value"),
        (lambda: BF.from_anf([np.True_], 2), "monomial"),
        (lambda: F.annihilator(True), "d"),
        (lambda: F.fragmentation_k(True), "k"),
        (lambda: F.derivative(True), "u"),
        (lambda: F.extend(True), "m"),
        (lambda: F.permute([True, 0, 2, 3, 4, 5]), "permutation"),
        (lambda: F.restrict({True: 0}), "variable"),
        (lambda: F.information([True]), "variable"),
        (lambda: F[True], "entry index"),
        (lambda: F(True), "x"),
    ],
)
def test_a_bool_is_refused_where_an_integer_is_expected(call, name):
    with pytest.raises(TypeError, match=f"{name}.* must be an int.*bool|{name} must be an integer, not bool"):
        call()


@pytest.mark.parametrize(
    "call, words",
    [
        (lambda: F.certificate(3.0), "x must be an int entry index or a sequence of 6 bits, not float"),
        (lambda: F(None), "x must be an int entry index or a sequence of 6 bits, not NoneType"),
        (lambda: F.derivative("1"), "u must be an integer, not str"),
        (lambda: BF.from_int(1.0, 1), "value must be an integer, not float"),
        (lambda: F.information(3), "vars must be an iterable of integers, not int"),
        (lambda: F.fragmentation_coefficient(None), "vars must be an iterable of integers, not NoneType"),
        (lambda: F.permute(5), "perm must be an iterable of integers, not int"),
        (lambda: BF.from_anf(3, 2), "monomials must be an iterable of int masks, not int"),
        (lambda: F.fragmentation_k(2.0), "k must be an integer, not float"),
    ],
)
def test_type_errors_name_the_parameter_and_the_type(call, words):
    with pytest.raises(TypeError, match=words):
        call()


@pytest.mark.parametrize("k", [7, 2**63, 2**64 + 3, 2**200])
def test_fragmentation_k_beyond_n_is_positive_zero(k):
    value = F.fragmentation_k(k)
    assert value == 0.0 and math.copysign(1.0, value) == 1.0


@pytest.mark.parametrize(
    "table, words",
    [
        (None, "not NoneType"),
        ({0, 1}, "set"),
        (iter([0, 1]), "iterator"),
        ((x for x in [0, 1]), "iterator"),
        (b"\x00\x01", "bytes"),
        (bytearray(b"\x00\x01"), "bytearray"),
        (np.ma.array([0, 1], mask=[False, True]), "masked"),
        ({0: 1, 1: 0}, "dict"),
    ],
)
def test_a_table_of_the_wrong_kind_is_refused_by_name(table, words):
    with pytest.raises(ValueError, match=words):
        BF(table)


@pytest.mark.parametrize("raw", [[0, 255, 255, 0], [0, 2, 128, 0], [0, 1, 1, 0]])
def test_bool_bytes_other_than_0_and_1_are_read_as_true_once(raw):
    f = BF(np.frombuffer(bytes(raw), dtype=bool))
    assert f.table.view(np.uint8).tolist() == [0, 1, 1, 0]
    assert f == BF.xor(2) and hash(f) == hash(BF.xor(2))
    assert f.restrict({0: 1}).table.view(np.uint8).tolist() == [1, 0]
    assert f.nonlinearity() == 0 and f.weight() == 2


@pytest.mark.parametrize(
    "make",
    [
        lambda: BF([0, 1, 1, 1]),
        lambda: BF(np.array([True, False])),
        lambda: ~BF.xor(3),
        lambda: BF.xor(3) & BF.majority(3),
        lambda: BF.from_int(14, 2),
        lambda: BF.random(5, seed=0),
        lambda: BF.random(5, seed=0, balanced=True),
        lambda: BF.majority(5),
        lambda: BF.constant(3, 1),
        lambda: BF.majority(5).restrict({0: 1}),
        lambda: BF.majority(5).permute([4, 3, 2, 1, 0]),
        lambda: BF.majority(3).extend(5),
        lambda: BF.from_anf([3], 2),
        lambda: pickle.loads(pickle.dumps(BF.majority(5))),
    ],
)
def test_a_table_cannot_be_made_writable(make):
    f = make()
    with pytest.raises(ValueError, match="WRITEABLE"):
        f.table.setflags(write=True)
    view = np.asarray(f)
    assert np.shares_memory(view, f.table) and not view.flags.writeable


@pytest.mark.parametrize(
    "n, packed, words",
    [
        (3, b"\x01\x02", "has 1 bytes, not 2"),
        (4, b"\x01", "has 2 bytes, not 1"),
        (2, b"\xff", "bits set beyond"),
        (2, "\x01", "holds bytes"),
        (True, b"\x01", "n must be an integer"),
    ],
)
def test_a_crafted_pickle_is_refused(n, packed, words):
    class Crafted:
        def __reduce__(self):
            return (_restore, (BF, n, packed))

    with pytest.raises((ValueError, TypeError), match=words):
        pickle.loads(pickle.dumps(Crafted()))


@pytest.mark.parametrize("assignment", [[(0, 1), (0, 0)], [(2, 0), (1, 1), (2, 0)], [(np.int64(1), 0), (1, 1)]])
def test_a_variable_assigned_twice_is_refused(assignment):
    with pytest.raises(ValueError, match="assigned twice"):
        BF.majority(3).restrict(assignment)


@pytest.mark.parametrize("text", ["x\u0661", "x1\u0661 & x0", "x\uff11", "x0 | x\u00b2"])
def test_variables_with_other_digits_are_refused(text):
    with pytest.raises(ValueError, match="position"):
        BF.from_expression(text)


@pytest.mark.parametrize("n", [0, 2, 8, 9, 10, 14, 22])
def test_repr_formats_only_the_digits_shown(n):
    f = BF.random(n, seed=n)
    whole = f.to_hex()
    shown = whole if len(whole) - 2 <= 64 else whole[:66] + "…"
    tracemalloc.start()
    try:
        text = repr(f)
        peak = tracemalloc.get_traced_memory()[1]
    finally:
        tracemalloc.stop()
    assert text == f"BooleanFunction.from_hex({shown!r}, n={n})"
    assert peak < 64 * 1024  # the whole table in hex would take 2**n / 4 characters


def shared_chain(gates):
    """x0 ^ x1, then gates each reading the previous gate twice: every node is shared."""
    return Circuit(
        2, ((6, 0, 1),) + tuple((14, 2 + i, 2 + i) if i % 2 else (8, 2 + i, 2 + i) for i in range(gates)), 2 + gates
    )


@pytest.mark.parametrize("gates", [22, 40, 200])
def test_a_shared_circuit_refuses_an_expression_too_long_and_names_its_gates(gates):
    c = shared_chain(gates)
    start = time.perf_counter()
    with pytest.raises(ValueError, match="to_bindings"):
        c.to_expression()
    assert time.perf_counter() - start < 0.5
    text = c.to_bindings()
    assert len(text) < 40 * (gates + 1)
    assert len(text.split("\n")) == gates + 1  # a line per shared gate, then the output


@pytest.mark.parametrize("gates", [1, 5, 12])
def test_bindings_substituted_give_the_function(gates):
    c = shared_chain(gates)
    *lines, last = c.to_bindings().split("\n")
    names = {}

    def substituted(body):
        return re.sub(r"\bg\d+\b", lambda m: f"({names[m.group(0)]})", body)

    for line in lines:
        name, body = line.split(" = ")
        names[name] = substituted(body)
    assert BF.from_expression(substituted(last), n=2) == c.to_function() == BF.xor(2)


@pytest.mark.parametrize("gates", [1, 3, 6])
def test_small_shared_circuits_bind_to_their_expression(gates):
    c = shared_chain(gates)
    assert len(c.to_expression()) < MAX_EXPRESSION
    assert BF.from_expression(c.to_expression(), n=2) == c.to_function() == BF.xor(2)


def long_measure(token):
    f = BF.random(22, seed=0)
    with token:
        return f.entanglement()


@pytest.mark.parametrize("when", [0.0, 0.3])
def test_a_cancel_token_stops_a_measure_on_another_thread(when):
    token = Cancel()
    if not when:
        token.cancel()
    with concurrent.futures.ThreadPoolExecutor(1) as pool:
        future = pool.submit(long_measure, token)
        time.sleep(when)
        sent = time.monotonic()
        token.cancel()
        with pytest.raises(Cancelled):
            future.result(timeout=30)
        assert time.monotonic() - sent < 1.0
    assert token.cancelled
    # Other threads and tokens are untouched.
    assert BF.majority(5).entanglement() == 7
    with Cancel():
        assert BF.majority(5).entanglement() == 7


def test_a_token_is_seen_by_its_own_thread_only():
    token = Cancel()
    token.cancel()
    results = []

    def other():
        results.append(BF.majority(5).entropy())

    with token:
        thread = threading.Thread(target=other)
        thread.start()
        thread.join()
    assert results == [BF.majority(5).entropy()]


@pytest.mark.parametrize("f", [BF.majority(5), BF.random(10, seed=2)])
def test_copies_and_equality_of_frozen_tables(f):
    g = BF(f.table.copy())
    assert g == f and copy.deepcopy(f) is f and not (g != f) and g != ~f
