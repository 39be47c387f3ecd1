// Affine classes of Boolean functions of five variables, by walking the
// orbits of the cosets of the first-order Reed-Muller code RM(1, 5) under
// generators of AGL(5, 2), and an invariant that tells the classes apart.
//
// The canonical search of affine_class.hpp enumerates every affine map that
// fixes the least table, which for five variables and very symmetric
// functions takes minutes; here every coset is visited once instead.
#pragma once

#include "vectorial/affine_class.hpp"

#include <cstdint>
#include <vector>

namespace vexil::vectorial {

// Every class of functions of five variables in increasing order of the least
// table, with the order of the stabiliser of (A, l) pairs as
// affine_boolean_classes gives it. Answers Ctrl-C and reports progress in
// cosets visited (2^26 in all).
std::vector<AffineCanonical> boolean_classes5();

// A key equal for affine-equivalent functions of five variables (`table` bit x
// the value at x): the degree (0 when at most 1), the distribution of |Walsh| values, and the
// sorted records (|autocorrelation at a|, distribution of the |Walsh| values of
// the derivative in direction a) over a != 0.
std::vector<std::uint32_t> boolean_affine_key5(std::uint32_t table);

}  // namespace vexil::vectorial
