#include "numpy_out.hpp"

namespace vexil::py {

namespace {

// numpy.empty, looked up on first use and kept (NumPy is never unloaded);
// null with the error set.
PyObject* numpy_empty() {
    static PyObject* empty = nullptr;
    if (empty != nullptr) return empty;
    Ref numpy(PyImport_ImportModule("numpy"));
    if (!numpy) return nullptr;
    empty = PyObject_GetAttrString(numpy.get(), "empty");
    return empty;
}

}  // namespace

PyObject* new_array(std::initializer_list<std::uint64_t> shape, const char* dtype, std::size_t width, Buffer& buffer,
                    void*& memory) {
    PyObject* empty = numpy_empty();
    if (empty == nullptr) return nullptr;
    Ref dims(PyTuple_New(static_cast<Py_ssize_t>(shape.size())));
    if (!dims) return nullptr;
    Py_ssize_t axis = 0;
    std::uint64_t count = 1;
    for (const std::uint64_t extent : shape) {
        PyObject* size = PyLong_FromUnsignedLongLong(extent);
        if (size == nullptr) return nullptr;
        PyTuple_SetItem(dims.get(), axis++, size);  // steals the int
        count *= extent;
    }
    Ref array(PyObject_CallFunction(empty, "Os", dims.get(), dtype));
    if (!array) return nullptr;
    if (!buffer.acquire(array.get(), PyBUF_C_CONTIGUOUS | PyBUF_WRITABLE)) return nullptr;
    if (static_cast<std::uint64_t>(buffer.view().len) != count * width) {
        PyErr_SetString(PyExc_RuntimeError, "numpy.empty gave an array of an unexpected size");
        return nullptr;
    }
    memory = buffer.view().buf;
    return array.release();
}

NewArray::NewArray(std::initializer_list<std::uint64_t> shape, const char* dtype, std::size_t width) {
    void* memory = nullptr;
    array_ = Ref(check(new_array(shape, dtype, width, buffer_, memory)));
    for (const std::uint64_t extent : shape) count_ *= extent;
}

}  // namespace vexil::py
