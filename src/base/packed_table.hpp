// The truth table packed 64 entries to a word, the form bit-parallel measures read.
#pragma once

#include "fvalue.hpp"

#include <bit>
#include <cstdint>
#include <span>
#include <vector>

namespace vexil {

// A table of a power-of-two number of 0/1 bytes packed 64 entries to a word:
// entry x at bit x % 64 of word x / 64; a table of fewer than 64 entries takes
// one word with the bits from its size up zero.
std::vector<std::uint64_t> pack_entries(std::span<const std::uint8_t> entries);

// Bytes of the packed table of 2^n entries.
inline std::uint64_t packed_table_bytes(unsigned n) {
    return n < 6 ? sizeof(std::uint64_t) : (std::uint64_t{1} << (n - 6)) * sizeof(std::uint64_t);
}

// pack_entries once the packed table's memory is known to be available
// (ensure_working_set: WorkingSetTooLarge otherwise), as every measure on a
// packed copy of a caller's table starts.
std::vector<std::uint64_t> pack_guarded(std::span<const std::uint8_t> entries);

// The number of set bits: the weight of the table.
inline std::uint64_t packed_weight(std::span<const std::uint64_t> words) {
    std::uint64_t total = 0;
    for (const std::uint64_t x : words) total += static_cast<std::uint64_t>(std::popcount(x));
    return total;
}

}  // namespace vexil

namespace vexil::detail {

// pack_entries of the table of f.
std::vector<std::uint64_t> pack_table(const FValue& f);

// index_bit_lanes[j], j < 6: the lanes (bit positions) of a packed word whose
// index has bit j set. Its complement holds the lower end of each pair of lanes
// joined by an edge of direction j.
inline constexpr std::uint64_t index_bit_lanes[6] = {
    0xAAAAAAAAAAAAAAAAULL, 0xCCCCCCCCCCCCCCCCULL, 0xF0F0F0F0F0F0F0F0ULL,
    0xFF00FF00FF00FF00ULL, 0xFFFF0000FFFF0000ULL, 0xFFFFFFFF00000000ULL,
};

// Lanes x of `word` where the entry differs from the entry at x XOR 2^j, j < 6.
inline std::uint64_t in_word_flip_difference(std::uint64_t word, unsigned j) {
    const unsigned shift = 1U << j;
    // Found at the lower end of each pair (bit j of the lane clear), copied up.
    const std::uint64_t low = (word ^ (word >> shift)) & ~index_bit_lanes[j];
    return low | (low << shift);
}

// The table over the variables of `mask` only (variable i of the result is
// the i-th lowest of the mask), the others held at 0.
std::vector<std::uint64_t> project_table(std::span<const std::uint64_t> words, std::uint64_t mask);

// A packed table of n variables with the variables it ignores projected out:
// the measures that only see the variables f depends on (certificates, block
// sensitivity, decision trees) start from it. `words()` is the table itself
// when f depends on all n.
class EssentialTable {
public:
    EssentialTable(std::span<const std::uint64_t> words, unsigned n);
    EssentialTable(const EssentialTable&) = delete;
    EssentialTable& operator=(const EssentialTable&) = delete;

    std::uint64_t mask() const { return mask_; }
    // Number of variables f depends on.
    unsigned n() const { return n_; }
    std::span<const std::uint64_t> words() const { return projected_.empty() ? table_ : projected_; }

private:
    std::span<const std::uint64_t> table_;
    std::uint64_t mask_;
    unsigned n_;
    std::vector<std::uint64_t> projected_;
};

}  // namespace vexil::detail

namespace vexil {

// The variables f depends on, as a mask (bit v: f(x) != f(x XOR 2^v) for some
// x), of a packed table of n variables.
std::uint64_t essential_variables(std::span<const std::uint64_t> words, unsigned n);
// The same for a table of 0/1 bytes, a power-of-two number of them (a Panic
// otherwise).
std::uint64_t essential_variables(std::span<const std::uint8_t> entries);

}  // namespace vexil
