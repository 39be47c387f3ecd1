// Deterministic decision-tree depth of a truth table.
//
// D(f) is the depth of a shallowest decision tree that computes f: each inner
// node reads one variable and branches on its value, each leaf is a constant.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace vexil {

// D(f) for a packed table of n variables, exact; 0 for constants and n = 0.
// Dynamic programming over all 3^r subcubes of the r variables f depends on:
// 3^r bytes and about r 3^(r-1) steps, on the worker pool from 12 variables.
std::uint32_t packed_decision_tree_depth(std::span<const std::uint64_t> words, unsigned n);

namespace detail {

// D of every subcube of the n variables of the packed table (all of them, also
// those f ignores), by base-3 index (digit i for variable i: 0 or 1 fixed to
// it, 2 free): D in the low six bits, 0x40 set when the subcube holds a false
// input, 0x80 a true one. 3^n bytes; the last one is the whole cube.
std::vector<std::uint8_t> packed_subcube_depths(std::span<const std::uint64_t> words, unsigned n);

}  // namespace detail

}  // namespace vexil
