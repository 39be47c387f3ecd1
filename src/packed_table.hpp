// The truth table packed 64 entries to a word, the form bit-parallel measures read.
#pragma once

#include "fvalue.hpp"

#include <cstdint>
#include <vector>

namespace vexil::detail {

// Entry x at bit x % 64 of word x / 64; a table of fewer than 64 entries takes
// one word with the bits from N up zero.
std::vector<std::uint64_t> pack_table(const FValue& f);

// Bytes of pack_table's result for a table of 2^n entries.
inline std::uint64_t packed_table_bytes(unsigned n) {
    return n < 6 ? sizeof(std::uint64_t) : (std::uint64_t{1} << (n - 6)) * sizeof(std::uint64_t);
}

}  // namespace vexil::detail
