// Certificate complexity of a truth table.
//
// A certificate for input x is a set S of variables such that every input that
// agrees with x on S has the value f(x); C(x) is the size of a smallest one and
// the certificate complexity is the maximum of C(x) over all inputs.
#pragma once

#include "fvalue.hpp"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace vexil {

// max over x of C(x), exact; 0 for constants and n = 0. Runs on the worker pool
// once the function depends on four or more variables.
std::uint32_t certificate_complexity(const FValue& f);

// The largest C(x) over the inputs x with f(x) = value (every input when value
// is empty), for a packed table of n variables; 0 when no input has the value.
// Over every input it is certificate_complexity; with a value the same search
// starts from the inputs of that value only.
std::uint32_t packed_certificate_complexity(std::span<const std::uint64_t> words, unsigned n,
                                            std::optional<bool> value);

}  // namespace vexil
