#include "errors.hpp"

namespace vexil::py {

namespace {

const char panic_doc[] =
    "Raised when the native code stops with a message.\n\n"
    "Like SystemExit, it derives from BaseException, so that it usually propagates to the top\n"
    "and ends the interpreter; the message is its single argument.";

PyObject* panic_type() {
    static PyObject* type = nullptr;
    if (type == nullptr) {
        type = PyErr_NewExceptionWithDoc("vexil.PanicException", panic_doc, PyExc_BaseException, nullptr);
    }
    return type;
}

bool interrupt_requested() { return PyErr_CheckSignals() != 0; }

}  // namespace

void raise_panic(const char* message) {
    PyObject* type = panic_type();
    if (type == nullptr) return;  // creating the type failed and set an error
    PyObject* text = PyUnicode_FromString(message);
    if (text == nullptr) return;
    PyObject* args = PyTuple_Pack(1, text);
    Py_DECREF(text);
    if (args == nullptr) return;
    PyErr_SetObject(type, args);
    Py_DECREF(args);
}

void install_interrupt_poll() { set_interrupt_poll(&interrupt_requested); }

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

}  // namespace vexil::py
