// Two-dimensional NumPy bool arrays, made through NumPy's C interface.
//
// NumPy is looked up on first use only; without it the call stops with
// "Failed to access NumPy array API capsule".
#pragma once

#include "py.hpp"

#include <cstdint>

namespace vexil::py {

// A new C-ordered bool array and its writable data while the view is held.
class BoolArray {
public:
    BoolArray(PyObject* array, Py_buffer view)
        : array_(array), view_(view), data(static_cast<std::uint8_t*>(view.buf)) {}
    BoolArray(const BoolArray&) = delete;
    BoolArray& operator=(const BoolArray&) = delete;
    ~BoolArray() {
        PyBuffer_Release(&view_);
        Py_XDECREF(array_);
    }
    // Hands the array over (new reference) and ends the view.
    PyObject* release() {
        PyBuffer_Release(&view_);
        view_.obj = nullptr;
        PyObject* array = array_;
        array_ = nullptr;
        return array;
    }

private:
    PyObject* array_;
    Py_buffer view_;

public:
    std::uint8_t* data;
};

BoolArray new_bool_array(std::uint64_t rows, std::uint64_t cols);

}  // namespace vexil::py
