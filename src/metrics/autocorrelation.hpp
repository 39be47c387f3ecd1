// Autocorrelation of a truth table and the indicators read off it.
//
// r(a) = sum over x of (-1)^(f(x) XOR f(x XOR a)) for a = 0..2^n - 1: r(0) = 2^n,
// |r(a)| = 2^n exactly when a is a linear structure (f(x) XOR f(x XOR a) is
// constant). By Wiener–Khinchin r = WHT(W^2) / 2^n, W the Walsh spectrum: two
// transforms (crypto_transform.hpp), the squaring folded into the last pass of
// the first and the division (or the indicator) into the last pass of the
// second. Every partial sum of the squares lies within ±4^n, so int64 holds
// them for n <= 31; larger tables are refused with a Panic (their coefficient
// arrays alone would need 32 GiB). Entries are 0/1 bytes, a power-of-two number
// of them, read where they lie.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace vexil {

inline constexpr unsigned max_autocorrelation_vars = 31;

// r(a) written to out[a]; out.size() == entries.size().
void autocorrelation_into(std::span<const std::uint8_t> entries, std::span<std::int64_t> out);

// max over a != 0 of |r(a)|; 0 for n = 0 (no such a).
std::uint64_t absolute_indicator(std::span<const std::uint8_t> entries);

// An unsigned 128-bit value as two halves.
struct Wide {
    std::uint64_t high;
    std::uint64_t low;
};

// sum over a of r(a)^2, which may pass 2^64 (it is 8^n for affine functions):
// by Parseval the sum over u of W(u)^4, divided by 2^n, so one transform.
Wide sum_of_squares_indicator(std::span<const std::uint8_t> entries);

// The a != 0 with |r(a)| = 2^n, ascending.
std::vector<std::uint64_t> linear_structures(std::span<const std::uint8_t> entries);

}  // namespace vexil
