#include "errors.hpp"

#include "panic.hpp"

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

const FailurePolicy vexil_failures{&raise_panic, nullptr};

PyObject* made(PyObject* object) {
    if (object != nullptr) return object;
    if (PyErr_ExceptionMatches(PyExc_MemoryError)) throw ErrorSet{};
    PyErr_Print();
    panic("Python API call failed");
}

}  // namespace vexil::py
