// Result arrays, made through NumPy's Python interface (the stable ABI has no
// NumPy C API) and filled through their buffers.
#pragma once

#include "py_ref.hpp"

#include <cstddef>
#include <cstdint>
#include <span>

namespace vexil_kit {

// numpy.empty(count, dtype=dtype), `width` bytes a value, with its memory in
// `memory` (held by `buffer`); null with the error set on failure (MemoryError
// for sizes NumPy cannot allocate).
PyObject* new_array(std::uint64_t count, const char* dtype, std::size_t width, Buffer& buffer, void*& memory);

// The same with the memory as a span of T (T of the dtype's width).
template <class T>
PyObject* new_array(std::uint64_t count, const char* dtype, Buffer& buffer, std::span<T>& memory) {
    void* raw = nullptr;
    PyObject* array = new_array(count, dtype, sizeof(T), buffer, raw);
    if (array != nullptr) memory = std::span<T>(static_cast<T*>(raw), count);
    return array;
}

inline PyObject* new_int64_array(std::uint64_t count, Buffer& buffer, std::span<std::int64_t>& memory) {
    return new_array(count, "int64", buffer, memory);
}

}  // namespace vexil_kit
