// Results to Python objects: the conversions both faces share. Each returns a
// new reference and throws ErrorSet with the interpreter's error pending when
// an object cannot be made.
#pragma once

#include "py.hpp"

#include <cstdint>
#include <span>
#include <utility>
#include <vector>

namespace vexil::py {

// A result the method already made as a Python object (new reference, or null
// with the error set).
struct Object {
    PyObject* object;
};

inline PyObject* to_python(bool value) { return Py_NewRef(value ? Py_True : Py_False); }
inline PyObject* to_python(std::uint64_t value) { return check(PyLong_FromUnsignedLongLong(value)); }
inline PyObject* to_python(std::uint32_t value) { return check(PyLong_FromUnsignedLong(value)); }
inline PyObject* to_python(int value) { return check(PyLong_FromLong(value)); }
inline PyObject* to_python(std::int64_t value) { return check(PyLong_FromLongLong(value)); }
inline PyObject* to_python(float value) { return check(PyFloat_FromDouble(static_cast<double>(value))); }
inline PyObject* to_python(double value) { return check(PyFloat_FromDouble(value)); }

// A list (or tuple) of convert(item) for every item, in order.
template <typename Sequence, typename Convert>
PyObject* list_of(const Sequence& items, Convert convert) {
    Ref list(check(PyList_New(static_cast<Py_ssize_t>(std::size(items)))));
    Py_ssize_t i = 0;
    for (const auto& item : items) {
        // PyList_SetItem steals the reference.
        PyList_SetItem(list.get(), i++, convert(item));
    }
    return list.release();
}

template <typename Sequence, typename Convert>
PyObject* tuple_of(const Sequence& items, Convert convert) {
    Ref tuple(check(PyTuple_New(static_cast<Py_ssize_t>(std::size(items)))));
    Py_ssize_t i = 0;
    for (const auto& item : items) PyTuple_SetItem(tuple.get(), i++, convert(item));
    return tuple.release();
}

// The values as a list of Python numbers.
template <typename T>
PyObject* to_python(const std::vector<T>& values) {
    return list_of(values, [](const T& value) { return to_python(value); });
}

// (first, second) as a tuple.
template <typename A, typename B>
PyObject* to_python(const std::pair<A, B>& value) {
    Ref first(to_python(value.first));
    Ref second(to_python(value.second));
    return check(PyTuple_Pack(2, first.get(), second.get()));
}

// high * 2^64 + low as a Python int.
PyObject* wide_to_python(std::uint64_t high, std::uint64_t low);

}  // namespace vexil::py
