// The truth table packed 64 entries to a word, the form bit-parallel measures read.
#pragma once

#include "fvalue.hpp"

#include <cstdint>
#include <span>
#include <vector>

namespace vexil::detail {

// Entry x at bit x % 64 of word x / 64; a table of fewer than 64 entries takes
// one word with the bits from N up zero.
std::vector<std::uint64_t> pack_table(const FValue& f);

// The same for a table held elsewhere: a power-of-two number of 0/1 bytes.
std::vector<std::uint64_t> pack_entries(std::span<const std::uint8_t> entries);

// index_bit_lanes[j], j < 6: the lanes (bit positions) of a packed word whose
// index has bit j set. Its complement holds the lower end of each pair of lanes
// joined by an edge of direction j.
inline constexpr std::uint64_t index_bit_lanes[6] = {
    0xAAAAAAAAAAAAAAAAULL, 0xCCCCCCCCCCCCCCCCULL, 0xF0F0F0F0F0F0F0F0ULL,
    0xFF00FF00FF00FF00ULL, 0xFFFF0000FFFF0000ULL, 0xFFFFFFFF00000000ULL,
};

// Bytes of pack_table's result for a table of 2^n entries.
inline std::uint64_t packed_table_bytes(unsigned n) {
    return n < 6 ? sizeof(std::uint64_t) : (std::uint64_t{1} << (n - 6)) * sizeof(std::uint64_t);
}

}  // namespace vexil::detail
