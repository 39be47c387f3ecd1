// The toolkit's failure policy over the common call boundary: a stop with a
// message raises vexil_kit.VexilError (a RuntimeError), exhausted memory
// MemoryError with its sizes, Ctrl-C KeyboardInterrupt.
#pragma once

#include "boundary.hpp"

#include <utility>

namespace vexil_kit {

using vexil::py::Buffer;
using vexil::py::check_progress;
using vexil::py::Ref;

extern const vexil::py::FailurePolicy kit_failures;

// Runs body() without the interpreter lock, reporting to `progress`; true
// when it returned, false with a Python exception set (see boundary.hpp).
template <class Body>
bool run_unlocked(Body&& body, PyObject* progress = nullptr) {
    return vexil::py::run_unlocked(kit_failures, std::forward<Body>(body), progress);
}

// Runs body() (which may throw ErrorSet, as the shared conversions do) with
// the lock held; its result, or null with the exception set.
template <class Body>
PyObject* guarded(Body&& body) {
    return vexil::py::guarded(kit_failures, std::forward<Body>(body));
}

}  // namespace vexil_kit
