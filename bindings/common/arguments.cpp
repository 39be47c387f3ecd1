#include "arguments.hpp"

namespace vexil::py {

int read_u64(PyObject* object, void* argument) {
    auto& target = *static_cast<U64Argument*>(argument);
    if (PyBool_Check(object)) {
        PyErr_Format(PyExc_TypeError, "%s must be an int, not bool", target.name);
        return 0;
    }
    Ref index(PyNumber_Index(object));
    if (!index) {
        if (PyErr_ExceptionMatches(PyExc_TypeError)) {
            PyErr_Clear();
            PyErr_Format(PyExc_TypeError, "%s must be an int, not %s", target.name, type_qualname(object).c_str());
        }
        return 0;
    }
    const unsigned long long value = PyLong_AsUnsignedLongLong(index.get());
    if (value == static_cast<unsigned long long>(-1) && PyErr_Occurred() != nullptr) {
        PyErr_Clear();
        PyErr_Format(PyExc_OverflowError, "%s must be an integer from 0 to 2**64 - 1, not %R", target.name,
                     index.get());
        return 0;
    }
    target.value = value;
    return 1;
}

}  // namespace vexil::py
