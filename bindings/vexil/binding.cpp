#include "binding.hpp"

#include <string>
#include <vector>

namespace vexil::py {

namespace {

std::string full_name(const Signature& signature) { return std::string("Vexil.") + signature.method + "()"; }

std::string quoted_list(const std::vector<const char*>& names) {
    std::string text;
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (i > 0) text += names.size() == 2 ? " and " : (i + 1 == names.size() ? ", and " : ", ");
        text += std::string("'") + names[i] + "'";
    }
    return text;
}

}  // namespace

void bind_arguments(const Signature& signature, PyObject* args, PyObject* kwargs, PyObject** bound) {
    const std::size_t count = signature.count;
    for (std::size_t i = 0; i < count; ++i) bound[i] = nullptr;
    const Py_ssize_t given = args == nullptr ? 0 : PyTuple_Size(args);
    if (given < 0) throw ErrorSet{};
    if (static_cast<std::size_t>(given) > count) {
        raise(PyExc_TypeError, full_name(signature) + " takes " + std::to_string(count) + " positional arguments but " +
                                   std::to_string(given) + " " + (given == 1 ? "was" : "were") + " given");
    }
    for (Py_ssize_t i = 0; i < given; ++i) bound[i] = PyTuple_GetItem(args, i);
    if (kwargs != nullptr) {
        Py_ssize_t position = 0;
        PyObject* key = nullptr;
        PyObject* value = nullptr;
        while (PyDict_Next(kwargs, &position, &key, &value)) {
            Py_ssize_t length = 0;
            const char* name = PyUnicode_Check(key) ? PyUnicode_AsUTF8AndSize(key, &length) : nullptr;
            if (name == nullptr) {
                PyErr_Clear();
                raise(PyExc_TypeError, full_name(signature) + " keywords must be strings");
            }
            const std::string key_text(name, static_cast<std::size_t>(length));
            std::size_t index = 0;
            while (index < count && key_text != signature.params[index]) ++index;
            if (index == count) {
                raise(PyExc_TypeError, full_name(signature) + " got an unexpected keyword argument '" + key_text + "'");
            }
            if (bound[index] != nullptr) {
                raise(PyExc_TypeError, full_name(signature) + " got multiple values for argument '" + key_text + "'");
            }
            bound[index] = value;
        }
    }
    std::vector<const char*> missing;
    for (std::size_t i = 0; i < count; ++i) {
        if (bound[i] == nullptr) missing.push_back(signature.params[i]);
    }
    if (!missing.empty()) {
        raise(PyExc_TypeError, full_name(signature) + " missing " + std::to_string(missing.size()) +
                                   " required positional " + (missing.size() == 1 ? "argument" : "arguments") + ": " +
                                   quoted_list(missing));
    }
}

void prefix_argument_error(const char* name) {
    if (PyErr_Occurred() == nullptr || !PyErr_ExceptionMatches(PyExc_TypeError)) return;
    PyObject* type = nullptr;
    PyObject* value = nullptr;
    PyObject* traceback = nullptr;
    PyErr_Fetch(&type, &value, &traceback);
    PyErr_NormalizeException(&type, &value, &traceback);
    Ref owned_type(type), owned_value(value), owned_traceback(traceback);
    if (type != PyExc_TypeError || value == nullptr) {
        // A subclass of TypeError passes through unchanged.
        PyErr_Restore(owned_type.release(), owned_value.release(), owned_traceback.release());
        return;
    }
    Ref text(PyObject_Str(value));
    if (!text) return;
    Ref message(PyUnicode_FromFormat("argument '%s': %U", name, text.get()));
    if (!message) return;
    Ref replacement(PyObject_CallFunctionObjArgs(PyExc_TypeError, message.get(), nullptr));
    if (!replacement) return;
    if (PyObject* cause = PyException_GetCause(value)) PyException_SetCause(replacement.get(), cause);
    PyErr_SetObject(PyExc_TypeError, replacement.get());
}

}  // namespace vexil::py
