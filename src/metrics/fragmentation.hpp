// How the entropy of the restrictions grows with the number of fixed
// variables: per subset, averaged per size, and read off the spectrum.
#pragma once

#include "fvalue.hpp"

#include <cstdint>
#include <span>
#include <utility>
#include <vector>

namespace vexil {

// restriction_entropy(vars).
float fragmentation_coefficient(const FValue& f, std::span<const std::uint64_t> vars);

// Mean restriction_entropy over the k-subsets of 0..n-1: summed from -0.0 in
// lexicographic order of the subsets (for every n, whatever the scheduling),
// divided by their number. +0.0 for k > n. Pool from n = 10 on.
float fragmentation_k(const FValue& f, std::uint64_t k);

// The single-precision order of the means above: values added to `sum` one
// after the other, left to right, and the sum of `count` values divided by
// count. A caller that combines ranges of values computed apart (a cluster)
// gets the same bits by carrying the sum over the ranges in rank order.
float sum_in_order(float sum, std::span<const float> values);
float mean_of_sum(float sum, std::uint64_t count);

// fragmentation_k for k = 0..n. Each walk over the k-subsets also measures
// their complements, so sizes k and n - k share one walk.
std::vector<float> fragmentation_spectrum(const FValue& f);

// (index, value) of the first largest spectrum entry.
std::pair<std::uint64_t, float> fragmentation_peak(const FValue& f);

// First differences of the spectrum (n values), and their differences
// (max(n - 1, 0) values).
std::vector<float> fragmentation_delta(const FValue& f);
std::vector<float> fragmentation_delta2(const FValue& f);

}  // namespace vexil
