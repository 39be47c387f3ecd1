#include "convert.hpp"

#include "memory_guard.hpp"
#include "panic.hpp"
#include "vexil_object.hpp"
#include "records.hpp"

#include <cstring>
#include <initializer_list>

namespace vexil::py {

namespace {

[[noreturn]] void cannot_convert(PyObject* object, const char* target) {
    raise(PyExc_TypeError, "'" + type_qualname(object) + "' object cannot be converted to '" + target + "'");
}

// Refuses `str` and non-sequences, as the sequence arguments require.
void require_sequence(PyObject* object) {
    if (PyUnicode_Check(object)) raise(PyExc_TypeError, "Can't extract `str` to `Vec`");
    if (!PySequence_Check(object)) cannot_convert(object, "Sequence");
}

// Room to reserve for a sequence: its length when it can be read and held.
std::size_t length_hint(PyObject* object) {
    Py_ssize_t length = PySequence_Size(object);
    if (length < 0) {
        PyErr_Clear();
        return 0;
    }
    // A length the machine cannot hold is not trusted: the items will tell.
    return static_cast<std::uint64_t>(length) <= (std::uint64_t{1} << 32) ? static_cast<std::size_t>(length) : 0;
}

// Calls item(object) for every item of a sequence in order.
template <typename Item>
void for_each_item(PyObject* sequence, Item item) {
    if (PyList_CheckExact(sequence)) {
        // The size is read again on every step, as iteration would: converting an
        // item may run Python code that changes the list.
        for (Py_ssize_t i = 0; i < PyList_Size(sequence); ++i) {
            PyObject* element = PyList_GetItem(sequence, i);
            Py_INCREF(element);
            Ref hold(element);
            item(element);
        }
        return;
    }
    if (PyTuple_CheckExact(sequence)) {
        const Py_ssize_t size = PyTuple_Size(sequence);
        for (Py_ssize_t i = 0; i < size; ++i) item(PyTuple_GetItem(sequence, i));
        return;
    }
    Ref iterator(check(PyObject_GetIter(sequence)));
    for (;;) {
        Ref element(PyIter_Next(iterator.get()));
        if (!element) {
            if (PyErr_Occurred() != nullptr) throw ErrorSet{};
            return;
        }
        item(element.get());
    }
}

// Whether `type` is numpy's type of one of the given names (checked by the
// type's module and name, so that numpy is never imported here).
bool is_numpy_type(PyTypeObject* type, std::initializer_list<const char*> names) {
    Ref name(PyType_GetName(type));
    if (!name) throw ErrorSet{};
    bool named = false;
    for (const char* candidate : names) named = named || PyUnicode_CompareWithASCIIString(name.get(), candidate) == 0;
    if (!named) return false;
    Ref module(PyObject_GetAttrString(reinterpret_cast<PyObject*>(type), "__module__"));
    if (!module) {
        PyErr_Clear();
        return false;
    }
    return PyUnicode_Check(module.get()) && PyUnicode_CompareWithASCIIString(module.get(), "numpy") == 0;
}

// The first type that passed a check, remembered so that the next lookup is a
// pointer comparison. It holds a reference that is never released: a freed
// type's address can be reused by an unrelated class, which must not match.
class KnownType {
public:
    bool matches(PyTypeObject* type) const { return type == known_; }
    void remember(PyTypeObject* type) {
        if (known_ != nullptr) return;
        Py_INCREF(reinterpret_cast<PyObject*>(type));
        known_ = type;
    }

private:
    PyTypeObject* known_ = nullptr;
};

// numpy's bool scalar type, remembered once seen.
bool is_numpy_bool_type(PyTypeObject* type) {
    static KnownType known;
    if (known.matches(type)) return true;
    if (!is_numpy_type(type, {"bool_", "bool"})) return false;
    known.remember(type);
    return true;
}

std::uint8_t to_truth_value(PyObject* object) {
    if (object == Py_True) return 1;
    if (object == Py_False) return 0;
    PyTypeObject* type = Py_TYPE(object);
    if (!is_numpy_bool_type(type)) cannot_convert(object, "PyBool");
    Ref method(PyObject_GetAttrString(reinterpret_cast<PyObject*>(type), "__bool__"));
    if (!method) {
        PyErr_Clear();
        raise(PyExc_TypeError,
              "object of type '" + type_qualname(object) + "' does not define a '__bool__' conversion");
    }
    Ref result(check(PyObject_CallFunctionObjArgs(method.get(), object, nullptr)));
    if (result.get() == Py_True) return 1;
    if (result.get() == Py_False) return 0;
    cannot_convert(result.get(), "PyBool");
}

bool is_numpy_array(PyObject* object) {
    static KnownType known;
    PyTypeObject* type = Py_TYPE(object);
    if (known.matches(type)) return true;
    if (!is_numpy_type(type, {"ndarray"})) return false;
    known.remember(type);
    return true;
}

// One-dimensional numpy arrays of dtype bool are copied in one pass; the
// values equal what item-by-item conversion of their numpy.bool items gives.
std::optional<TruthValues> numpy_bool_fast_path(PyObject* object) {
    if (!is_numpy_array(object)) return std::nullopt;
    Py_buffer view;
    if (PyObject_GetBuffer(object, &view, PyBUF_RECORDS_RO) != 0) {
        PyErr_Clear();
        return std::nullopt;
    }
    struct Release {
        Py_buffer* view;
        ~Release() { PyBuffer_Release(view); }
    } release{&view};
    if (view.ndim != 1 || view.itemsize != 1 || view.format == nullptr || std::strcmp(view.format, "?") != 0) {
        return std::nullopt;
    }
    const std::uint64_t count = static_cast<std::uint64_t>(view.shape[0]);
    ensure_allocatable(count);
    ensure_working_set(count);
    TruthValues result;
    result.values.resize(count);
    const auto* source = static_cast<const std::uint8_t*>(view.buf);
    const Py_ssize_t stride = view.strides[0];
    std::uint8_t* out = result.values.data();
    if (stride == 1) {
        for (std::uint64_t i = 0; i < count; ++i) out[i] = source[i] != 0;
    } else {
        for (std::uint64_t i = 0; i < count; ++i) out[i] = source[static_cast<Py_ssize_t>(i) * stride] != 0;
    }
    return result;
}

}  // namespace

std::uint64_t to_u64(PyObject* object) {
    Ref index;
    if (!PyLong_Check(object)) {
        index = Ref(check(PyNumber_Index(object)));
        object = index.get();
    }
    const unsigned long long value = PyLong_AsUnsignedLongLong(object);
    if (value == static_cast<unsigned long long>(-1) && PyErr_Occurred() != nullptr) throw ErrorSet{};
    return value;
}

VarList to_var_list(PyObject* object) {
    require_sequence(object);
    VarList result;
    result.reserve(length_hint(object));
    for_each_item(object, [&](PyObject* item) { result.push_back(to_u64(item)); });
    return result;
}

TruthValues to_truth_values(PyObject* object) {
    require_sequence(object);
    if (std::optional<TruthValues> fast = numpy_bool_fast_path(object)) return std::move(*fast);
    TruthValues result;
    const std::size_t expected = length_hint(object);
    ensure_working_set(expected);
    result.values.reserve(expected);
    for_each_item(object, [&](PyObject* item) { result.values.push_back(to_truth_value(item)); });
    return result;
}

ByteView to_byte_view(PyObject* object) {
    if (!PyBytes_Check(object)) cannot_convert(object, "PyBytes");
    char* data = nullptr;
    Py_ssize_t size = 0;
    if (PyBytes_AsStringAndSize(object, &data, &size) != 0) throw ErrorSet{};
    return ByteView{{reinterpret_cast<const std::uint8_t*>(data), static_cast<std::size_t>(size)}};
}

PyObject* to_python(const BoolList& values) {
    return list_of(values.entries, [](std::uint8_t v) { return to_python(v != 0); });
}

PyObject* to_python(const std::vector<EntanglementSet>& records) {
    return list_of(records, [](const EntanglementSet& r) { return new_entanglement_set(r); });
}

PyObject* to_python(const std::vector<EntropySets>& records) {
    return list_of(records, [](const EntropySets& r) { return new_entropy_sets(r); });
}

PyObject* to_python(FValue&& table) { return new_vexil(std::move(table)); }

PyObject* to_python(Object value) { return check(value.object); }

}  // namespace vexil::py
