#include "call.hpp"

#include <string_view>

namespace vexil_kit {

namespace {

using vexil::py::ErrorSet;
using vexil::py::raise;
using vexil::py::type_qualname;

std::string plural(std::size_t count, const char* word) {
    return std::to_string(count) + " " + word + (count == 1 ? "" : "s");
}

}  // namespace

std::unique_ptr<Buffer> hold_table(PyObject* object, TableView& view) {
    auto buffer = std::make_unique<Buffer>();
    const std::optional<TableView> table = read_table(object, *buffer);
    if (!table) throw ErrorSet{};
    view = *table;
    return buffer;
}

std::uint64_t read_count(PyObject* object, const char* name) {
    vexil::py::U64Argument count{name};
    if (vexil::py::read_u64(object, &count) == 0) throw ErrorSet{};
    return count.value;
}

std::uint64_t read_rank(PyObject* object, const char* name) {
    vexil::py::U64Argument rank{name};
    if (vexil::py::read_u64(object, &rank) != 0) return rank.value;
    if (PyErr_ExceptionMatches(PyExc_OverflowError)) {
        // Out of range is a bad bound of a range: the same words as a ValueError.
        PyObject* type = nullptr;
        PyObject* value = nullptr;
        PyObject* traceback = nullptr;
        PyErr_Fetch(&type, &value, &traceback);
        Ref owned_type(type), owned_value(value), owned_traceback(traceback);
        Ref text(value != nullptr ? PyObject_Str(value) : nullptr);
        if (text) PyErr_SetObject(PyExc_ValueError, text.get());
    }
    throw ErrorSet{};
}

std::unique_ptr<Buffer> hold_bytes(PyObject* object, std::span<const std::uint8_t>& bytes) {
    auto buffer = std::make_unique<Buffer>();
    if (!buffer->acquire(object, PyBUF_C_CONTIGUOUS)) throw ErrorSet{};
    bytes = {static_cast<const std::uint8_t*>(buffer->view().buf), static_cast<std::size_t>(buffer->view().len)};
    return buffer;
}

std::string read_text(PyObject* object, const char* name) {
    if (!PyUnicode_Check(object))
        raise(PyExc_TypeError, std::string(name) + " must be str, not " + type_qualname(object));
    Py_ssize_t length = 0;
    const char* text = PyUnicode_AsUTF8AndSize(object, &length);
    if (text == nullptr) throw ErrorSet{};
    return {text, static_cast<std::size_t>(length)};
}

std::vector<std::string> read_texts(PyObject* object, const char* name) {
    if (!PyTuple_Check(object)) {
        raise(PyExc_TypeError, std::string(name) + " must be a tuple of str, not " + type_qualname(object));
    }
    std::vector<std::string> texts;
    for (Py_ssize_t i = 0; i < PyTuple_Size(object); ++i) texts.push_back(read_text(PyTuple_GetItem(object, i), name));
    return texts;
}

bool read_truth(PyObject* object) {
    const int truth = PyObject_IsTrue(object);
    if (truth < 0) throw ErrorSet{};
    return truth != 0;
}

float read_real(PyObject* object, const char* name) {
    const double value = PyFloat_AsDouble(object);
    if (value == -1.0 && PyErr_Occurred() != nullptr) {
        if (PyErr_ExceptionMatches(PyExc_TypeError)) {
            PyErr_Clear();
            raise(PyExc_TypeError, std::string(name) + " must be a real number, not " + type_qualname(object));
        }
        throw ErrorSet{};
    }
    return static_cast<float>(value);
}

std::vector<std::uint64_t> read_variables(PyObject* object) {
    if (!PyTuple_Check(object)) raise(PyExc_TypeError, "vars must be a tuple, not " + type_qualname(object));
    std::vector<std::uint64_t> vars(static_cast<std::size_t>(PyTuple_Size(object)));
    for (std::size_t i = 0; i < vars.size(); ++i) {
        vars[i] = read_count(PyTuple_GetItem(object, static_cast<Py_ssize_t>(i)), "a variable");
    }
    return vars;
}

std::unique_ptr<Buffer> hold_float32_values(PyObject* object, std::span<const float>& values) {
    auto buffer = std::make_unique<Buffer>();
    if (!buffer->acquire(object, PyBUF_C_CONTIGUOUS | PyBUF_FORMAT)) throw ErrorSet{};
    const Py_buffer& view = buffer->view();
    const std::string_view format = view.format != nullptr ? view.format : "";
    if (view.ndim != 1 || view.itemsize != 4 || (format != "f" && format != "<f" && format != "=f")) {
        raise(PyExc_ValueError, "the values must be a 1-D float32 array");
    }
    values = std::span<const float>(static_cast<const float*>(view.buf), static_cast<std::size_t>(view.shape[0]));
    return buffer;
}

PyObject* read_progress(PyObject* object) {
    if (!check_progress(object)) throw ErrorSet{};
    return object == Py_None ? nullptr : object;
}

void bind_kit_arguments(const KitSignature& signature, PyObject* args, PyObject* kwargs, PyObject** bound) {
    const std::string function = std::string(signature.method) + "()";
    const std::size_t positional = signature.positional;
    for (std::size_t i = 0; i < signature.count; ++i) bound[i] = nullptr;
    Py_ssize_t position = 0;
    PyObject* key = nullptr;
    PyObject* value = nullptr;
    while (kwargs != nullptr && PyDict_Next(kwargs, &position, &key, &value)) {
        Py_ssize_t length = 0;
        const char* name = PyUnicode_Check(key) ? PyUnicode_AsUTF8AndSize(key, &length) : nullptr;
        if (name == nullptr) {
            PyErr_Clear();
            raise(PyExc_TypeError, function + " keywords must be strings");
        }
        const std::string_view key_text(name, static_cast<std::size_t>(length));
        std::size_t index = 0;
        while (index < signature.count && key_text != signature.names[index]) ++index;
        std::string message(function);
        if (index < positional) {
            message.append(" got a positional-only argument passed as a keyword argument: '").append(key_text);
            raise(PyExc_TypeError, message.append("'"));
        }
        if (index == signature.count) {
            message.append(" got an unexpected keyword argument '").append(key_text);
            raise(PyExc_TypeError, message.append("'"));
        }
        bound[index] = value;
    }
    const Py_ssize_t given = args == nullptr ? 0 : PyTuple_Size(args);
    if (given < 0) throw ErrorSet{};
    if (static_cast<std::size_t>(given) != positional) {
        raise(PyExc_TypeError, function + " takes " + plural(positional, "positional argument") + " but " +
                                   std::to_string(given) + " " + (given == 1 ? "was" : "were") + " given");
    }
    for (Py_ssize_t i = 0; i < given; ++i) bound[i] = PyTuple_GetItem(args, i);
}

}  // namespace vexil_kit
