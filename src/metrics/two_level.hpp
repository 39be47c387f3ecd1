// Two-level forms of a truth table: an irredundant sum of products (Minato–
// Morreale) and the prime implicants.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace vexil {

// A product of literals: variable v appears when bit v of `mask` is set,
// positive when bit v of `values` is set too (values is a subset of mask).
// The empty product (mask 0) is the constant true.
struct Cube {
    std::uint64_t mask;
    std::uint64_t values;
};

// An irredundant sum of products of some g with lower <= g <= upper, for two
// packed tables of n variables with lower a subset of upper: every cube is an
// implicant of upper, none can be dropped, and together they cover lower.
// Minato–Morreale recursion on the packed tables, with 3 * 2^n / 64 words of
// scratch; cubes in the order the recursion finds them.
std::vector<Cube> packed_isop(std::span<const std::uint64_t> lower, std::span<const std::uint64_t> upper, unsigned n);

inline constexpr unsigned prime_implicants_max_vars = 14;

// Every prime implicant of the packed table of n <= prime_implicants_max_vars
// variables, by increasing base-3 index of its subcube (digit v: 0 or 1 the
// value of v, 2 when v is free). 3^n bytes and about 2 n 3^n steps.
std::vector<Cube> packed_prime_implicants(std::span<const std::uint64_t> words, unsigned n);

}  // namespace vexil
