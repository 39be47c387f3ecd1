#include "numpy_array.hpp"

#include "panic.hpp"

namespace vexil::py {

namespace {

// Positions in NumPy's exported API table; fixed by NumPy's ABI.
constexpr int api_array_type = 2;
constexpr int api_array_new = 93;
constexpr int npy_bool = 0;

using ArrayNew = PyObject* (*)(PyTypeObject*, int, const Py_ssize_t*, int, const Py_ssize_t*, void*, int, int,
                               PyObject*);

void** numpy_api() {
    static void** api = nullptr;
    if (api != nullptr) return api;
    for (const char* name : {"numpy._core._multiarray_umath", "numpy.core._multiarray_umath"}) {
        Ref module(PyImport_ImportModule(name));
        if (!module) {
            PyErr_Clear();
            continue;
        }
        // The capsule stays referenced for the life of the process.
        PyObject* capsule = PyObject_GetAttrString(module.get(), "_ARRAY_API");
        if (capsule == nullptr) {
            PyErr_Clear();
            continue;
        }
        void* table = PyCapsule_GetPointer(capsule, nullptr);
        if (table == nullptr) {
            PyErr_Clear();
            Py_DECREF(capsule);
            continue;
        }
        api = static_cast<void**>(table);
        return api;
    }
    panic("Failed to access NumPy array API capsule");
}

}  // namespace

BoolArray new_bool_array(std::uint64_t rows, std::uint64_t cols) {
    void** api = numpy_api();
    auto* array_type = static_cast<PyTypeObject*>(api[api_array_type]);
    auto array_new = reinterpret_cast<ArrayNew>(api[api_array_new]);
    const Py_ssize_t dims[2] = {static_cast<Py_ssize_t>(rows), static_cast<Py_ssize_t>(cols)};
    PyObject* array = check(array_new(array_type, 2, dims, npy_bool, nullptr, nullptr, 0, 0, nullptr));
    Py_buffer view;
    if (PyObject_GetBuffer(array, &view, PyBUF_WRITABLE | PyBUF_C_CONTIGUOUS) != 0) {
        Py_DECREF(array);
        throw ErrorSet{};
    }
    return BoolArray(array, view);
}

}  // namespace vexil::py
