// The guess-and-determine search of linear maps A, B with g = B.f.A between two
// permutations f, g of N = 2^n points (Biryukov, De Cannière, Braeken, Preneel,
// EUROCRYPT 2003), over the colours the toolkit computes: a point may only go to
// a point of its colour, and a guessed image must show the same "square counts"
// from every point already mapped. The toolkit's affine search calls it once per
// candidate translation; it follows the same order as the toolkit always did, so
// it finds the same maps.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace vexil::vectorial {

struct PointProblem {
    std::span<const std::uint32_t> f, g;                        // N points each, permutations
    std::span<const std::uint32_t> colour_in_f, colour_in_g;    // colours of A's points (f's side, g's side)
    std::span<const std::uint32_t> colour_out_f, colour_out_g;  // colours of B's points
    std::span<const std::uint32_t> squares_f, squares_g;        // N x N square counts, row-major
};

struct PointSearch {
    enum class Outcome : std::uint8_t { found, none, timed_out };
    Outcome outcome = Outcome::none;
    std::vector<std::int32_t> a, b;                 // the tables of A and B when found
    std::vector<std::vector<std::int32_t>> firsts;  // first_guesses: a table of A per first guess solved
};

// The first (A, B) in the search order, or (first_guesses) one A for each image of
// the first guessed point that leads to a solution. `seconds` > 0 bounds the time.
PointSearch point_search(const PointProblem& p, bool first_guesses, double seconds);

}  // namespace vexil::vectorial
