// Predicates of a truth table decided in one pass over it packed 64 entries to
// a word (pack_entries): monotonicity and unateness, symmetry, self-duality,
// affinity; and the ones that read the Walsh spectrum or the first-order
// counts: plateauedness, the propagation criterion, the Chow parameters.
//
// The packed table has entry x at bit x % 64 of word x / 64, and a table of
// fewer than 64 entries one word with the bits from 2^n up zero. Each pass
// stops as soon as its answer is settled and polls for interrupts.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace vexil {

// For each variable v, bit v of `rising` is set when some edge of direction v
// goes from a false input (bit v of x clear) to a true one (bit v set), and
// bit v of `falling` when some goes from true to false. f is non-decreasing in
// v when only `rising` has v, non-increasing when only `falling` has it,
// ignores v when neither has it and is binate in v when both do. One pass
// over the table per variable, the variables shared out over the pool from
// 2^20 entries on; a variable's pass ends once it is found binate.
struct UnateDirections {
    std::uint64_t rising = 0;
    std::uint64_t falling = 0;
};
UnateDirections unate_directions(std::span<const std::uint64_t> words, unsigned n);

// f(x) depends on popcount(x) only.
bool is_symmetric(std::span<const std::uint64_t> words, unsigned n);

// f(x XOR 1...1) = NOT f(x) for every x (never for n = 0).
bool is_self_dual(std::span<const std::uint64_t> words, unsigned n);

// f(x) = c XOR a.x for some c and a: the affine function through f(0) and the
// f(2^v) is compared with the table.
bool is_affine(std::span<const std::uint64_t> words, unsigned n);

// The common |W(u)| of the non-zero Walsh coefficients when they share one (f
// is plateaued), else 0; no function has every W(u) = 0 (Parseval). One
// transform, unless the weight or affinity settles it. Reports progress.
std::uint64_t plateaued_amplitude(std::span<const std::uint8_t> entries);

// Largest k <= n such that r(a) = 0 for every a with 1 <= popcount(a) <= k
// (f satisfies PC(k)); 0 for n = 0. PC(1), the strict avalanche criterion,
// holds exactly when every variable flips f at half of the inputs, which one
// pass over the packed table decides; the autocorrelation (autocorrelation.hpp)
// is computed only then. At most max_autocorrelation_vars variables (a Panic
// beyond) when the autocorrelation is needed.
unsigned propagation_criterion(std::span<const std::uint8_t> entries);

// Whether every variable flips f at exactly half of the 2^n inputs: PC(1);
// false for n = 0 (propagation_criterion is then 0).
bool strict_avalanche(std::span<const std::uint64_t> words, unsigned n);

// W(0) and W(2^v) for v = 0..n-1, exactly: 2^n times the Fourier coefficients
// of (-1)^f of order 0 and 1.
std::vector<std::int64_t> chow_parameters(std::span<const std::uint64_t> words, unsigned n);

}  // namespace vexil
