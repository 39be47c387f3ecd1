#include "numpy_array.hpp"

#include "panic.hpp"

namespace vexil::py {

NewArray new_bool_table(std::uint64_t rows, std::uint64_t cols) {
    try {
        return new_bool_array({rows, cols});
    } catch (const ErrorSet&) {
        if (!PyErr_ExceptionMatches(PyExc_ImportError)) throw;
        PyErr_Clear();
        panic("Failed to access NumPy array API capsule");
    }
}

}  // namespace vexil::py
