// The S-box tables that follow the DDT, LAT and BCT in the literature: the
// differential-linear connectivity table, the spaces of Walsh zeroes and their
// thickness, and the ortho-derivative of a quadratic APN function.
//
// Vectors of F_2^n x F_2^m are words u = a | b << n: the input mask (or
// difference) a in the low n bits, the output mask b above it.
#pragma once

#include "vectorial/sbox.hpp"

#include <cstdint>
#include <span>
#include <vector>

namespace vexil::vectorial {

// out[a * 2^m + b] = #{x : b.(F(x) ^ F(x ^ a)) = 0} - 2^(n-1): the DLCT (Bar-On,
// Dunkelman, Keller, Weizman, EUROCRYPT 2019), each row the Walsh transform of
// the DDT row, halved. Needs n >= 1.
void dlct_into(const Sbox& f, std::span<std::int32_t> out);

// The spaces found by a bounded search: `count` of them, `complete` when the
// search ended before finding more than its limit (else it stopped at limit + 1).
struct ZeroSpaces {
    std::vector<std::uint64_t> bases;  // n words per space, one space after another
    std::uint64_t count = 0;
    bool complete = true;
};

// The n-dimensional linear subspaces of the Walsh zeroes Z = {u : W(a, b) = 0} u {0},
// each as its reduced echelon basis (ascending, distinct highest bits, none of
// them set in another vector), in ascending order of bases. The search stops
// once it has found limit + 1 (their number grows beyond any memory for
// functions with many zeroes, affine ones above all); the memory for the bases
// is checked as it grows.
ZeroSpaces walsh_zero_spaces(const Sbox& f, std::uint64_t limit);

// Thickness (the rank of a space's projection on the output masks b) -> number of
// n-dimensional subspaces of the Walsh zeroes with it, ascending; `complete`
// false (and the counts partial) when more than `limit` spaces were found.
struct ThicknessSpectrum {
    std::vector<ValueCount> counts;
    std::uint64_t count = 0;
    bool complete = true;
};
ThicknessSpectrum thickness_spectrum(const Sbox& f, std::uint64_t limit);

// Why F has no ortho-derivative ("" when it has one): n = m, algebraic degree 2, APN.
const char* ortho_derivative_refusal(const Sbox& f);

// pi(a) for every a: the nonzero vector orthogonal to every F(x) ^ F(x ^ a) ^ F(a) ^ F(0)
// (unique for a quadratic APN F), pi(0) = 0. F must pass ortho_derivative_refusal.
std::vector<std::uint32_t> ortho_derivative(const Sbox& f);

}  // namespace vexil::vectorial
