// Algebraic normal form: the binary Möbius transform of a truth table.
//
// The ANF of f is the unique XOR of monomials equal to f; monomial m (a mask of
// variables) is the AND of the variables in m, and its coefficient is
// a(m) = XOR of f(x) over the x that are subsets of m. The transform is its own
// inverse, so the same kernel turns coefficients back into a table.
#pragma once

#include "base/packed_table.hpp"

#include <array>
#include <bit>
#include <cstdint>
#include <span>
#include <vector>

namespace vexil {

// The ANF coefficients of the table `entries` (0/1 bytes, a power-of-two
// count), packed as by pack_entries: coefficient m at bit m % 64 of word
// m / 64.
std::vector<std::uint64_t> packed_anf(std::span<const std::uint8_t> entries);

// The largest number of variables in a monomial of the ANF; -1 for the zero
// function.
int algebraic_degree(std::span<const std::uint8_t> entries);

// The indices of the set bits in increasing order, into out (out.size() is
// the weight).
void packed_set_indices(std::span<const std::uint64_t> words, std::span<std::int64_t> out);

// The 0/1 bytes of a packed table: entries[x] = bit x (entries.size() entries).
void unpack_entries(std::span<const std::uint64_t> words, std::span<std::uint8_t> entries);

namespace detail {

// lanes_of_weight[k]: the bit positions 0..63 (entries of a packed word) whose
// index has k bits set.
inline constexpr std::array<std::uint64_t, 7> lanes_of_weight = [] {
    std::array<std::uint64_t, 7> lanes{};
    for (unsigned b = 0; b < 64; ++b) lanes[static_cast<std::size_t>(std::popcount(b))] |= std::uint64_t{1} << b;
    return lanes;
}();

// In place: the Möbius transform of a packed table of 2^n entries (the words of
// pack_entries). Blocked for the caches and run on the worker pool for large
// tables.
void packed_moebius_transform(std::span<std::uint64_t> words, unsigned n);

// In place: the Möbius transform of 32 bit-sliced tables of 2^n entries
// (words.size() = 2^n), bit j of words[x] being entry x of table j; blocked and
// run like packed_moebius_transform.
void sliced_moebius_transform(std::span<std::uint32_t> words);

// The largest popcount of the index of a set bit; -1 when no bit is set.
int packed_max_index_weight(std::span<const std::uint64_t> words);

}  // namespace detail

}  // namespace vexil
