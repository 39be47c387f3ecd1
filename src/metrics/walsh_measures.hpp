// Measures of cryptography read off the Walsh spectrum of a truth table.
//
// W(u) = sum over x of (-1)^(f(x) XOR popcount(u & x)) for the 2^n entries of
// `entries` (0/1 bytes, a power-of-two number of them, read where they lie).
// Which value counts +1 flips every sign and changes nothing below. Each
// measure takes one transform with a visitor on its last pass, and those that
// a pass over the table can often decide try that first. All are exact,
// interruptible and memory-guarded. The degree, and the largest |W| up to
// 2^18 entries, read the last pass of the core's single-threaded blocked
// transform (spectral.hpp); the largest |W| beyond, and the sums by weight,
// read the pool's two-level transform (crypto_transform.hpp) and report
// progress.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace vexil {

// Largest |W(u)|: 1 for n = 0, 2^n for affine functions.
std::uint64_t max_abs_walsh(std::span<const std::uint8_t> entries);

// The distance to the nearest affine function of a function (or the least of an
// S-box's components) of `entries` inputs whose largest |W| is `linearity`.
constexpr std::uint64_t nonlinearity_of(std::uint64_t entries, std::uint64_t linearity) {
    return (entries - linearity) / 2;
}

// Hamming distance to the nearest affine function, (2^n - max|W(u)|) / 2; 0
// for n = 0.
std::uint64_t nonlinearity(std::span<const std::uint8_t> entries);

// Largest popcount(u) with W(u) != 0; 0 for n = 0 and for constants.
unsigned fourier_degree(std::span<const std::uint8_t> entries);

// Largest m such that W(u) = 0 for every u with 1 <= popcount(u) <= m: n when
// no such u has W(u) != 0 (constants, n = 0).
unsigned correlation_immunity(std::span<const std::uint8_t> entries);

// correlation_immunity when the table is balanced (W(0) = 0), else -1 (n = 0
// is never balanced).
int resiliency_order(std::span<const std::uint8_t> entries);

// Most variables for which the squares' sums are exact in 64 bits: every
// partial sum of W(u)^2 is at most 4^n.
inline constexpr unsigned max_square_sum_vars = 31;

// For k = 0..n, the sum of W(u)^2 over the u with popcount(u) = k, exact; they
// add up to 4^n. A Panic beyond max_square_sum_vars variables.
std::vector<std::uint64_t> walsh_weight_sums(std::span<const std::uint8_t> entries);

// The entropy in bits of p(u) = W(u)^2 / 4^n: -sum of p log2 p over the u with
// W(u) != 0, in float64, read off the transform's last pass (no spectrum is
// stored). The |W| are counted exactly, each distinct one's term computed
// once, so the value does not depend on how the work was split; 0 for a
// spectrum of one coefficient.
double spectral_entropy_bits(std::span<const std::uint8_t> entries);

namespace detail {

// The number of entries that differ from the parity of their index, so that
// W(2^n - 1) = ±(2^n - 2 * it).
std::uint64_t parity_mismatch_count(std::span<const std::uint8_t> entries);

// The number of true entries and, for each variable i < n, of true entries
// with bit i of the index set: W(2^i) = ±(4 * with_bit[i] - 2 * ones).
struct FirstOrderCounts {
    std::uint64_t ones = 0;
    std::vector<std::uint64_t> with_bit;
};
FirstOrderCounts first_order_counts(std::span<const std::uint64_t> words, unsigned n);

}  // namespace detail

}  // namespace vexil
