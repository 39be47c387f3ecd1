// The Gamma-rank and Delta-rank of an (n, m)-function (Edel and Pott, "A new
// almost perfect nonlinear function which is not quadratic", Adv. Math.
// Commun. 3(1), 2009): the GF(2) ranks of the incidence matrices of the
// designs developed from two subsets of F_2^(n+m), M[u][v] = [u ^ v in S],
// for S the graph G_F = {(x, F(x))} and for D_F = {(a, F(x) ^ F(x ^ a)) : a != 0}.
// An affine permutation of F_2^(n+m) taking G_F onto G_G takes D_F linearly
// onto D_G, and M only has its rows and columns permuted: both ranks are CCZ
// invariants.
//
// A point (a, b) is the word a | b << n, as elsewhere in src/vectorial/.
#pragma once

#include "vectorial/sbox.hpp"

#include <cstdint>
#include <span>

namespace vexil::vectorial {

// The largest n + m whose 2^(n+m) x 2^(n+m) bit matrix is reduced (2 MiB).
inline constexpr unsigned max_graph_rank_bits = 12;

// Why the ranks are not computed for F ("" when they are): n + m too large.
const char* graph_rank_refusal(const Sbox& f);

// The GF(2) rank of M[u][v] = [u ^ v in S] over the 2^k points of F_2^k, S
// given as a bitset of 2^k bits (k <= max_graph_rank_bits).
std::uint64_t translate_rank(std::span<const std::uint64_t> set, unsigned k);

// The Gamma-rank: translate_rank of the graph {x | F(x) << n}.
std::uint64_t gamma_rank(const Sbox& f);

// The Delta-rank: translate_rank of {a | (F(x) ^ F(x ^ a)) << n : a != 0} as a set.
std::uint64_t delta_rank(const Sbox& f);

}  // namespace vexil::vectorial
