#include "numpy_out.hpp"

namespace vexil_kit {

PyObject* new_array(std::uint64_t count, const char* dtype, std::size_t width, Buffer& buffer, void*& memory) {
    Ref numpy(PyImport_ImportModule("numpy"));
    if (!numpy) return nullptr;
    Ref empty(PyObject_GetAttrString(numpy.get(), "empty"));
    if (!empty) return nullptr;
    Ref size(PyLong_FromUnsignedLongLong(count));
    if (!size) return nullptr;
    Ref array(PyObject_CallFunction(empty.get(), "Os", size.get(), dtype));
    if (!array) return nullptr;
    if (!buffer.acquire(array.get(), PyBUF_C_CONTIGUOUS | PyBUF_WRITABLE)) return nullptr;
    const Py_buffer& view = buffer.view();
    if (static_cast<std::uint64_t>(view.len) != count * width) {
        PyErr_SetString(PyExc_RuntimeError, "numpy.empty gave an array of an unexpected size");
        return nullptr;
    }
    memory = view.buf;
    return array.release();
}

}  // namespace vexil_kit
