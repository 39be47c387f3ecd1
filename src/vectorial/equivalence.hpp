// Equivalences of (n, m)-functions as maps of their graphs G_F = {x | F(x) << n}
// in F_2^(n+m): G is CCZ-equivalent to F when G_G = L(G_F) ^ c for a linear
// permutation L and a constant c; EA-equivalent when L also keeps the output
// subspace {0} x F_2^m (L = [[P, 0], [Q, R]]), affine equivalent when it keeps
// both halves (Q = 0 too), linear equivalent when besides c = 0.
//
// The search runs on the Walsh side: with M = L^T, W_G(u) = +-W_F(M u) for every
// u = a | b << n, so M maps each vector of G's table to one of F's with the same
// |W|. Vectors are coloured by |W| (and, for the restricted maps, by lying in the
// halves M must keep), the colours refined by how many vectors of a small class
// lie at each colour's distance; M is built basis vector by basis vector, each
// image checked against the colours of the whole span it adds. Every complete M
// gives L = M^T, checked on every point of the graph with every translation that
// can work. The search is exhaustive: a "none" is a proof.
#pragma once

#include "vectorial/sbox.hpp"

#include <cstdint>
#include <vector>

namespace vexil::vectorial {

enum class GraphMap : std::uint8_t { linear, affine, extended_affine, ccz };

struct GraphEquivalence {
    enum class Outcome : std::uint8_t { found, none, timed_out };
    Outcome outcome = Outcome::none;
    // L as n + m row words: bit i of L(p) is the parity of rows[i] & p.
    std::vector<std::uint64_t> rows;
    std::uint64_t translation = 0;
};

// Largest n + m searched: the Walsh tables of both functions are held whole.
inline constexpr unsigned max_graph_bits = 20;

// A map of `kind` taking the graph of f onto that of g, or why there is none
// (n, m must agree; n + m <= max_graph_bits). `seconds` > 0 bounds the search.
GraphEquivalence graph_equivalence(const Sbox& f, const Sbox& g, GraphMap kind, double seconds);

}  // namespace vexil::vectorial
