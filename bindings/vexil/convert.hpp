// Conversion of arguments from Python and of results to Python.
#pragma once

#include "errors.hpp"
#include "to_python.hpp"

#include "fvalue.hpp"
#include "metrics/cut_records.hpp"

#include <cstdint>
#include <optional>
#include <span>
#include <type_traits>
#include <utility>
#include <vector>

namespace vexil::py {

// Native argument types a method may declare.
struct TruthValues {  // `repr`: a sequence of booleans
    std::vector<std::uint8_t> values;
};
using VarList = std::vector<std::uint64_t>;  // `vars`: a sequence of ints
struct ByteView {                            // `raw`: a bytes object, read in place
    std::span<const std::uint8_t> bytes;
};

// Each throws ErrorSet with the interpreter's error (or the conversion
// error of the argument rules) pending.
std::uint64_t to_u64(PyObject* object);
VarList to_var_list(PyObject* object);
TruthValues to_truth_values(PyObject* object);
ByteView to_byte_view(PyObject* object);

template <typename T>
T from_python(PyObject* object);
template <>
inline std::uint64_t from_python<std::uint64_t>(PyObject* object) {
    return to_u64(object);
}
template <>
inline VarList from_python<VarList>(PyObject* object) {
    return to_var_list(object);
}
template <>
inline TruthValues from_python<TruthValues>(PyObject* object) {
    return to_truth_values(object);
}
template <>
inline ByteView from_python<ByteView>(PyObject* object) {
    return to_byte_view(object);
}

// A view of entries to hand back as a list of bools.
struct BoolList {
    std::span<const std::uint8_t> entries;
};

// Result conversion beyond the shared one (numbers, lists, pairs): every
// result is a new Python object.
PyObject* to_python(const BoolList& values);
PyObject* to_python(const std::vector<EntanglementSet>& records);
PyObject* to_python(const std::vector<EntropySets>& records);
PyObject* to_python(FValue&& table);
PyObject* to_python(Object value);

template <typename T>
PyObject* to_python(std::optional<T>&& value) {
    if (!value) Py_RETURN_NONE;
    return to_python(std::move(*value));
}

// A method's result as a Python object; a failure to make it is reported as
// made() reports it, except for an object the method made itself.
template <typename R>
PyObject* result_to_python(R&& value) {
    if constexpr (std::is_same_v<std::decay_t<R>, Object>) {
        return check(value.object);
    } else {
        return made_by([&] { return to_python(std::forward<R>(value)); });
    }
}

}  // namespace vexil::py
