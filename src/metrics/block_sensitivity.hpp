// Block sensitivity of a truth table.
//
// A block is a non-empty set B of variables; it is sensitive at x when
// f(x ^ B) != f(x). bs(x) is the largest number of pairwise disjoint sensitive
// blocks at x, and the block sensitivity the maximum of bs(x) over all x.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace vexil {

// max over x of bs(x) for a packed table of n variables, exact; 0 for
// constants and n = 0. Runs on the worker pool: about n 4^n / 64 word steps
// for the bounds, and a set packing for each input the bounds leave open.
std::uint32_t packed_block_sensitivity(std::span<const std::uint64_t> words, unsigned n);

namespace detail {

// Scratch space for input_block_sensitivity, reused from input to input.
struct PackingSpace {
    std::vector<std::uint64_t> minimal;  // words.size() words
    std::vector<std::uint64_t> blocks;   // the minimal blocks of two or more variables
    std::vector<std::uint8_t> memo;      // 2^(insensitive variables) bytes
};

// bs(x) of one input of a table of n variables, from its blocked sets
// (certificates.hpp: bit d set when a sensitive block lies inside d) and s(x).
unsigned input_block_sensitivity(std::span<const std::uint64_t> blocked, unsigned n, unsigned sensitivity,
                                 PackingSpace& space);

}  // namespace detail

}  // namespace vexil
