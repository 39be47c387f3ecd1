// Result arrays, made through NumPy's Python interface (the stable ABI has no
// NumPy C API) and filled through their buffers.
#pragma once

#include "py_ref.hpp"

#include <cstdint>
#include <span>

namespace vexil_kit {

// numpy.empty(count, dtype="int64"), with its memory in `memory` (held by
// `buffer`); null with the error set on failure (MemoryError for sizes NumPy
// cannot allocate).
PyObject* new_int64_array(std::uint64_t count, Buffer& buffer, std::span<std::int64_t>& memory);

}  // namespace vexil_kit
