// Integer arguments read exactly: one rule for every count, degree, index and
// size the toolkit's kernels take.
#pragma once

#include "py.hpp"

#include <cstdint>

namespace vexil::py {

// An integer parameter and, once read, its value.
struct U64Argument {
    const char* name;
    std::uint64_t value = 0;
};

// A PyArg "O&" converter into a U64Argument: an int or an object with
// __index__, not a bool, from 0 to 2**64 - 1. TypeError or OverflowError
// naming the parameter otherwise (no wrap-around modulo 2**64).
int read_u64(PyObject* object, void* argument);

}  // namespace vexil::py
