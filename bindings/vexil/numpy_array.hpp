// Two-dimensional NumPy bool arrays for Vexil.table.
//
// NumPy is looked up on first use only; without it the call stops with
// "Failed to access NumPy array API capsule".
#pragma once

#include "numpy_out.hpp"

#include <cstdint>

namespace vexil::py {

NewArray new_bool_table(std::uint64_t rows, std::uint64_t cols);

}  // namespace vexil::py
