// Orderly stops inside the core.
//
// A violated precondition ("Invalid size", "capacity overflow", ...) unwinds the
// computation with a `Panic`; the Python layer turns it into `PanicException`.
#pragma once

#include "exported.hpp"

#include <stdexcept>
#include <string>

namespace vexil {

class VEXIL_EXPORTED Panic : public std::runtime_error {
public:
    explicit Panic(const std::string& message) : std::runtime_error(message) {}
};

[[noreturn]] inline void panic(const std::string& message) { throw Panic(message); }

// Text of a failed `unwrap` of an error value, kept for the messages callers see.
inline std::string unwrap_failure(const std::string& error) {
    return "called `Result::unwrap()` on an `Err` value: " + error;
}

}  // namespace vexil
