#include "py.hpp"

#include <cstdint>

namespace vexil::py {

std::string type_qualname(PyObject* object) {
    Ref name(PyType_GetQualName(Py_TYPE(object)));
    if (!name) {
        PyErr_Clear();
        return "?";
    }
    Py_ssize_t length = 0;
    const char* text = PyUnicode_AsUTF8AndSize(name.get(), &length);
    if (text == nullptr) {
        PyErr_Clear();
        return "?";
    }
    return std::string(text, static_cast<std::size_t>(length));
}

bool first_interpreter_only(const char* module) {
    // One per extension module, which links this file once.
    static std::int64_t first_interpreter = -1;
    PyInterpreterState* interpreter = PyInterpreterState_Get();
    const std::int64_t id = interpreter == nullptr ? -1 : PyInterpreterState_GetID(interpreter);
    if (id == -1) return false;
    if (first_interpreter == -1) first_interpreter = id;
    if (id == first_interpreter) return true;
    PyErr_Format(PyExc_ImportError,
                 "%s does not support sub-interpreters: it can be imported in one interpreter per process", module);
    return false;
}

}  // namespace vexil::py
