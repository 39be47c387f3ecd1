// Affine equivalence classes of small permutations and Boolean functions, by
// a canonical form: the least table, in lexicographic order of its entries,
// over the whole orbit.
//
// A permutation S of n bits is equivalent to B.S.A for affine permutations A
// and B; a Boolean function f of n variables to f.A ^ l for an affine
// permutation A and an affine function l. The canonical form is searched over
// A column by column (its image of 0, then of each unit vector), with the best
// B (or l) for a partial A fixed greedily, and a branch is cut as soon as the
// entries it fixes exceed those of the best table found. The number of A that
// reach the canonical table is the order of the stabiliser, from which the
// class size follows.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace vexil::vectorial {

inline constexpr unsigned max_affine_class_vars = 4;
inline constexpr unsigned max_boolean_class_vars = 4;
// The classes of functions are listed for one variable more, by the orbit walk
// of boolean_classes5.hpp.
inline constexpr unsigned max_boolean_listed_vars = 5;

struct AffineCanonical {
    std::vector<std::uint32_t> table;  // the least table of the class
    std::uint64_t stabilizer;          // #(A, B) (or (A, l)) fixing the input
};

// `table` a permutation of n <= max_affine_class_vars bits.
AffineCanonical affine_canonical_permutation(std::span<const std::uint32_t> table, unsigned n);
// Every class of permutations of n bits, in increasing order of the canonical table.
std::vector<AffineCanonical> affine_permutation_classes(unsigned n);

// `table` the 2^n entries (0 or 1) of a function of n <= max_boolean_class_vars variables.
AffineCanonical affine_canonical_boolean(std::span<const std::uint32_t> table, unsigned n);
// Every class of functions of n <= max_boolean_listed_vars variables, in
// increasing order of the canonical table.
std::vector<AffineCanonical> affine_boolean_classes(unsigned n);

// |AGL(n, 2)| = 2^n * prod (2^n - 2^i).
std::uint64_t affine_group_order(unsigned n);

}  // namespace vexil::vectorial
