// Measures over the balanced cuts of the variables, and the share of cube
// edges along which the function changes.
#pragma once

#include "fvalue.hpp"
#include "metrics/cut_records.hpp"
#include "metrics/restrictions.hpp"

#include <cstdint>
#include <span>
#include <vector>

namespace vexil {

struct Bipartition {
    std::vector<std::uint64_t> set1;
    std::vector<std::uint64_t> set2;
};

// The balanced cuts of 0..n-1, each unordered split into parts of sizes
// floor(n/2) and ceil(n/2) once, in the fixed order: for odd n, set1 runs over
// the (n-1)/2-subsets of 0..n-1 in lexicographic order; for even n, set1 is 0
// followed by each (n/2-1)-subset of 1..n-1. set2 is the complement. n = 0
// has the one cut ([], []).
std::vector<Bipartition> balanced_bipartitions(unsigned n);
std::uint64_t bipartition_count(unsigned n);

// Smallest restriction_count(set1) + restriction_count(set2) over the cuts
// (2 for n = 0). Runs on the worker pool from n = 10 on; interruptible.
std::uint64_t entanglement(const FValue& f);

// Smallest restriction_entropy(set1) + restriction_entropy(set2) over the
// cuts (-0.0 for n = 0). Pool and interruption as above.
float entropy(const FValue& f);

// One record per cut, in the order of balanced_bipartitions for every n.
std::vector<EntanglementSet> entanglement_sets(const FValue& f);
std::vector<EntropySets> entropy_sets(const FValue& f);

// restriction_count(vars).
std::uint64_t information(const FValue& f, std::span<const std::uint64_t> vars);

// Share of the n * 2^(n-1) cube edges along which f changes, in single
// precision (NaN for n = 0). The edge count is 64-bit.
float equanimity_importance(const FValue& f);

}  // namespace vexil
