// Certificate complexity of a truth table.
//
// A certificate for input x is a set S of variables such that every input that
// agrees with x on S has the value f(x); C(x) is the size of a smallest one and
// the certificate complexity is the maximum of C(x) over all inputs.
#pragma once

#include "fvalue.hpp"

#include <cstdint>

namespace vexil {

// max over x of C(x), exact; 0 for constants and n = 0. Runs on the worker pool
// once the function depends on four or more variables.
std::uint32_t certificate_complexity(const FValue& f);

}  // namespace vexil
