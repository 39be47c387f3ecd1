// The vexil module's failure policy over the common call boundary: a stop
// with a message raises PanicException.
#pragma once

#include "boundary.hpp"

#include <utility>

namespace vexil::py {

// Sets PanicException (created on first need) carrying `message`.
void raise_panic(const char* message);

extern const FailurePolicy vexil_failures;

// Runs `body` with the lock held and turns every native failure into a
// pending Python exception: a stop with a message becomes PanicException,
// exhausted memory MemoryError, an interruption the error the signal handler
// left (normally KeyboardInterrupt). Nothing escapes to the interpreter.
template <typename Body>
PyObject* guarded(Body&& body) noexcept {
    return guarded(vexil_failures, std::forward<Body>(body));
}

// Checks a freshly made result object: on failure the pending error is
// printed and the call stops with "Python API call failed" (MemoryError
// passes through as it is).
PyObject* made(PyObject* object);

// make(), a result object, reported as made() reports a failure.
template <typename Make>
PyObject* made_by(Make&& make) {
    try {
        return make();
    } catch (const ErrorSet&) {
        return made(nullptr);
    }
}

}  // namespace vexil::py
