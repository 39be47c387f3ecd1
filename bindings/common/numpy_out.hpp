// New NumPy arrays for results, made through NumPy's Python interface (the
// stable ABI has no NumPy C API) and filled through their buffers.
#pragma once

#include "py.hpp"

#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <span>

namespace vexil::py {

// numpy.empty(count, dtype), `width` bytes a value, with its memory in
// `memory` (held by `buffer`); null with the error set on failure (ImportError
// without NumPy, MemoryError for sizes NumPy cannot allocate).
PyObject* new_array(std::initializer_list<std::uint64_t> shape, const char* dtype, std::size_t width, Buffer& buffer,
                    void*& memory);

// The same with the memory as a span of T (T of the dtype's width).
template <class T>
PyObject* new_array(std::uint64_t count, const char* dtype, Buffer& buffer, std::span<T>& memory) {
    void* raw = nullptr;
    PyObject* array = new_array({count}, dtype, sizeof(T), buffer, raw);
    if (array != nullptr) memory = std::span<T>(static_cast<T*>(raw), count);
    return array;
}

inline PyObject* new_int64_array(std::uint64_t count, Buffer& buffer, std::span<std::int64_t>& memory) {
    return new_array(count, "int64", buffer, memory);
}

// numpy.empty(shape, dtype) held with its writable, C-ordered memory.
// Throws ErrorSet with the error set when NumPy cannot be imported (an
// ImportError) or cannot allocate (MemoryError).
class NewArray {
public:
    NewArray(std::initializer_list<std::uint64_t> shape, const char* dtype, std::size_t width);

    template <class T>
    std::span<T> values() const {
        return std::span<T>(static_cast<T*>(buffer_.view().buf), count_);
    }
    // Hands the array over (new reference) and ends the view.
    PyObject* release() {
        buffer_.release();
        return array_.release();
    }

private:
    Ref array_;
    Buffer buffer_;
    std::uint64_t count_ = 1;
};

inline NewArray new_bool_array(std::initializer_list<std::uint64_t> shape) { return NewArray(shape, "bool", 1); }

}  // namespace vexil::py
