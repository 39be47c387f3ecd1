// The truth table packed 64 entries to a word, the form bit-parallel measures read.
#pragma once

#include "fvalue.hpp"

#include <cstdint>
#include <vector>

namespace vexil::detail {

// Entry x at bit x % 64 of word x / 64; a table of fewer than 64 entries takes
// one word with the bits from N up zero.
std::vector<std::uint64_t> pack_table(const FValue& f);

}  // namespace vexil::detail
