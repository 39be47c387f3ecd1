// Mapping of native failures to Python exceptions.
#pragma once

#include "py.hpp"

namespace vexil::py {

// Sets PanicException (created on first need) carrying `message`.
void raise_panic(const char* message);

// Runs `body` and turns every native failure into a pending Python
// exception: a stop with a message becomes PanicException, exhausted memory
// MemoryError, an interruption the error the signal handler left (normally
// KeyboardInterrupt). Nothing escapes to the interpreter.
template <typename Body>
PyObject* guarded(Body&& body) noexcept;

// Installs the Ctrl-C poll used by long computations.
void install_interrupt_poll();

}  // namespace vexil::py

#include "errors_impl.hpp"
