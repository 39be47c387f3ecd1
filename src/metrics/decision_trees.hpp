// Decision trees as objects: a shallowest tree itself, and the least number of
// leaves of any tree.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace vexil {

// Codes of a tree's nodes in preorder: a variable v < 64 for a node that reads
// it (its 0 branch follows, then its 1 branch), or one of these for a leaf.
inline constexpr std::uint8_t false_leaf = 64;
inline constexpr std::uint8_t true_leaf = 65;

// A decision tree of depth D(f) computing the packed table of n variables,
// reading only variables f depends on: at each node the lowest variable that
// keeps the depth optimal. 3^r bytes for the r variables f depends on.
std::vector<std::uint8_t> packed_decision_tree(std::span<const std::uint64_t> words, unsigned n);

inline constexpr unsigned decision_tree_size_max_vars = 10;

// The least number of leaves of a decision tree computing the packed table
// of n <= decision_tree_size_max_vars variables: 2 * 3^n bytes, n 3^n steps.
std::uint32_t packed_decision_tree_size(std::span<const std::uint64_t> words, unsigned n);

}  // namespace vexil
