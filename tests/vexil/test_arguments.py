import gc

import pytest
from conftest import Vexil, table_of


def message(call):
    with pytest.raises(BaseException) as caught:
        call()
    return type(caught.value), str(caught.value)


V4 = table_of("0110")


@pytest.mark.parametrize(
    "call, expected",
    [
        (lambda: Vexil([1, 0]), "argument 'repr': 'int' object cannot be converted to 'PyBool'"),
        (lambda: Vexil("10"), "argument 'repr': Can't extract `str` to `Vec`"),
        (lambda: Vexil(5), "argument 'repr': 'int' object cannot be converted to 'Sequence'"),
        (lambda: Vexil({True: 1}), "argument 'repr': 'dict' object cannot be converted to 'Sequence'"),
        (lambda: V4.eval(), "Vexil.eval() missing 1 required positional argument: 'i'"),
        (lambda: V4.eval(0, 1), "Vexil.eval() takes 1 positional arguments but 2 were given"),
        (lambda: Vexil.from_number(1, 2, 3), "Vexil.from_number() takes 2 positional arguments but 3 were given"),
        (lambda: V4.eval(x=0), "Vexil.eval() got an unexpected keyword argument 'x'"),
        (lambda: V4.eval(0, i=0), "Vexil.eval() got multiple values for argument 'i'"),
        (
            lambda: Vexil.from_number(),
            "Vexil.from_number() missing 2 required positional arguments: 'number' and 'num_vars'",
        ),
        (lambda: Vexil.from_number(1), "Vexil.from_number() missing 1 required positional argument: 'num_vars'"),
        (lambda: Vexil(), "Vexil.__new__() missing 1 required positional argument: 'repr'"),
        (lambda: Vexil(repr=[True], x=1), "Vexil.__new__() got an unexpected keyword argument 'x'"),
        (
            lambda: Vexil.decode(bytearray(b"\x01\x01")),
            "argument 'raw': 'bytearray' object cannot be converted to 'PyBytes'",
        ),
        (lambda: V4.table("01"), "argument 'vars': Can't extract `str` to `Vec`"),
        (lambda: V4.table([0.5]), "argument 'vars': 'float' object cannot be interpreted as an integer"),
        (lambda: V4.eval(1.0), "argument 'i': 'float' object cannot be interpreted as an integer"),
        (lambda: Vexil.majority("3"), "argument 'n': 'str' object cannot be interpreted as an integer"),
        (lambda: Vexil.from_number("x", 2), "argument 'number': 'str' object cannot be interpreted as an integer"),
        (
            lambda: Vexil.from_number(1, None),
            "argument 'num_vars': 'NoneType' object cannot be interpreted as an integer",
        ),
    ],
)
def test_type_errors_have_their_exact_messages(call, expected):
    assert message(call) == (TypeError, expected)


@pytest.mark.parametrize("call", [lambda: V4.eval(-1), lambda: V4.eval(2**64), lambda: V4.table([-1])])
def test_out_of_range_integers_raise_the_interpreters_overflow_error(call):
    kind, text = message(call)
    assert kind is OverflowError
    assert not text.startswith("argument")


def test_conversions_run_in_parameter_order():
    assert message(lambda: Vexil.from_number(-1, "x"))[0] is OverflowError
    assert message(lambda: Vexil.from_number("x", -1))[1].startswith("argument 'number'")


def test_keywords_work_for_every_parameter():
    assert Vexil.from_number(number=5, num_vars=3).repr() == Vexil.from_number(5, 3).repr()
    assert Vexil(repr=(True, False)).repr() == [True, False]
    assert V4.eval(i=1) is True
    assert Vexil.decode(raw=V4.encode()).repr() == V4.repr()


class Index:
    def __init__(self, value):
        self.value = value

    def __index__(self):
        return self.value


class BadIndex:
    def __index__(self):
        raise TypeError("no index here")


class BadIndexSubclassError:
    def __index__(self):
        raise KeyError("not a type error")


def test_index_protocol_is_used_and_its_failures_are_named():
    assert V4.eval(Index(2)) is True
    assert V4.table([Index(1)]).shape == (2, 2)
    assert message(lambda: V4.eval(BadIndex())) == (TypeError, "argument 'i': no index here")
    assert message(lambda: V4.eval(BadIndexSubclassError()))[0] is KeyError


def test_type_error_subclasses_pass_through_and_causes_are_kept():
    class Special(TypeError):
        pass

    class Raises:
        def __index__(self):
            raise Special("special")

    class Chained:
        def __index__(self):
            try:
                raise ValueError("root")
            except ValueError as root:
                raise TypeError("wrapped") from root

    assert message(lambda: V4.eval(Raises())) == (Special, "special")
    with pytest.raises(TypeError) as caught:
        V4.eval(Chained())
    assert str(caught.value) == "argument 'i': wrapped"
    assert isinstance(caught.value.__cause__, ValueError)


def test_tuples_and_generic_sequences_are_accepted():
    class Seq:
        def __len__(self):
            return 2

        def __getitem__(self, i):
            if i >= 2:
                raise IndexError
            return [True, False][i]

    assert Vexil((True, False)).repr() == [True, False]
    assert Vexil(Seq()).repr() == [True, False]
    assert V4.table((0,)).shape == (2, 2)


def test_no_argument_methods_refuse_arguments():
    with pytest.raises(TypeError):
        V4.size(1)
    with pytest.raises(TypeError):
        V4.repr(x=1)


def test_receiver_must_be_a_vexil():
    with pytest.raises(TypeError):
        Vexil.size(5)


def truthy_class(name, module):
    return type(name, (), {"__bool__": lambda self: True, "__module__": module})


def test_a_freed_numpy_bool_lookalike_does_not_admit_later_classes():
    # numpy's bool type is recognised by name and module and then remembered;
    # once a recognised type is freed, a new class may take its memory.
    lookalike = truthy_class("bool_", "numpy")
    assert Vexil([lookalike()]).repr() == [True]
    del lookalike
    gc.collect()
    for _ in range(100):
        plain = truthy_class("Plain", __name__)
        with pytest.raises(TypeError, match="'Plain' object cannot be converted to 'PyBool'"):
            Vexil([plain()])
