// Annihilators and algebraic immunity.
//
// g annihilates f when g·f = 0, that is g(x) = 0 wherever f(x) = 1. The
// algebraic immunity AI(f) is the least d such that f or f XOR 1 has a nonzero
// annihilator of algebraic degree at most d; it never exceeds ceil(n/2), since
// the monomials of degree at most ceil(n/2) outnumber the points of the smaller
// of the two supports. Constants (and so every function of no variables) have
// AI 0: the constant 1 annihilates the zero function.
//
// The search for an annihilator of degree at most d of h, with support S, works
// on the values of g rather than on its ANF. g is zero on S; its values on the
// points x outside S of weight at most d are free (the unknowns); at a point x
// outside S of higher weight, g(x) is fixed by its ANF coefficient at x being
// zero, a(x) = XOR of g(y) over y in x = 0, point after point in increasing
// order; and every point of S of weight above d gives one equation, a(x) = 0.
// The points of weight at most d in S pin down the coefficients there, so they
// cost no equation. Each value and each equation is a linear form in the
// unknowns, all of them computed in one blocked Möbius transform that runs
// point by point (each half of a block is finished before the other half reads
// it). g exists exactly when the equations have rank below the number of
// unknowns. A random sample of slightly more equations than unknowns is
// eliminated first, which almost always decides full rank; only otherwise are
// the other equations brought in.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace vexil {

// AI(f) of the table `entries` (0/1 bytes, a power-of-two count). Memory grows
// as 2^n times the number of monomials of degree below ceil(n/2), over 64
// words; throws WorkingSetTooLarge when the machine cannot hold it.
unsigned algebraic_immunity(std::span<const std::uint8_t> entries);

// A nonzero g of algebraic degree at most d with g·f = 0, packed (the layout of
// pack_entries), or nullopt when there is none. The same f and d give
// the same g.
std::optional<std::vector<std::uint64_t>> packed_annihilator(std::span<const std::uint8_t> entries, unsigned d);

}  // namespace vexil
