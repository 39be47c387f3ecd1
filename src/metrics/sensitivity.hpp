// Sensitivity and influence of a truth table.
//
// s(x) = number of variables j with f(x) != f(x XOR 2^j). The sensitivities are
// computed bit-parallel on a packed copy of the table (64 inputs per word); the
// influences come from the normalised Walsh spectrum, summed in single precision
// in increasing coefficient order from -0.0.
#pragma once

#include "fvalue.hpp"
#include "base/packed_table.hpp"

#include <cstdint>
#include <span>
#include <vector>

namespace vexil {

// max over x of s(x); 0 for n = 0.
std::uint32_t max_sensitivity(const FValue& f);

// (sum over x of s(x)) / N in single precision, the sum taken exactly in 64 bits.
float mean_sensitivity(const FValue& f);

// sum over x of s(x), exact: twice the number of frontier edges.
std::uint64_t sensitivity_sum(const FValue& f);

// For each variable v < n, the number of inputs x with f(x) != f(x XOR 2^v),
// exact; they add up to sensitivity_sum. Empty for n = 0.
std::vector<std::uint64_t> influence_counts(const FValue& f);

// Sum of f̂(k)^2 over the k whose bit `var` is set; -0.0 when no k has it
// (var >= n, including var >= 64).
float influence(const FValue& f, std::uint64_t var);

// Sum over k >= 1 of popcount(k) * f̂(k)^2; -0.0 for n = 0.
float total_influence(const FValue& f);

// The least and largest s(x) and their sum over a set of inputs; all 0 when
// the set is empty.
struct SensitivityStats {
    std::uint32_t min = 0;
    std::uint32_t max = 0;
    std::uint64_t sum = 0;
    std::uint64_t inputs = 0;  // how many inputs the set holds
};

// s(x) over the inputs whose bit is set in `filter` (packed like the table;
// null: all 2^n inputs), and, when `out` is not null, s(x) of every input x
// (whatever the filter) in out[x]. One bit-sliced pass, on the worker pool
// for large tables.
SensitivityStats packed_sensitivity_stats(std::span<const std::uint64_t> words, unsigned n, const std::uint64_t* filter,
                                          std::uint8_t* out);

// influence_counts on a packed table; writes n counts to out[0, n).
void packed_influence_counts(std::span<const std::uint64_t> words, unsigned n, std::uint64_t* out);

namespace detail {

// The same measures on a packed table of n variables.
std::uint64_t packed_sensitivity_sum(std::span<const std::uint64_t> words, unsigned n);
std::uint32_t packed_max_sensitivity(std::span<const std::uint64_t> words, unsigned n);
// The total influence sum / 2^n in double precision from the exact sum of the
// sensitivities: one correctly rounded division, as Python's int / int.
inline double exact_total_influence(std::uint64_t sensitivity_sum, unsigned n) {
    return static_cast<double>(sensitivity_sum) / static_cast<double>(std::uint64_t{1} << n);
}
}  // namespace detail

}  // namespace vexil
