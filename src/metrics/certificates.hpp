// Certificates of single inputs.
//
// The sensitive blocks of an input x are the sets d of variables (as masks)
// with f(x ^ d) != f(x). A set S of variables is a certificate of x (fixing the
// variables of S at their values in x fixes f) exactly when its complement d
// holds no sensitive block, that is when f is constant on the subcube through x
// whose free variables are d. So C(x) = n - (the largest such d), and the
// blocked sets below, the d that hold a sensitive block, give both C(x) and
// the minimal sensitive blocks (the minimal blocked sets).
#pragma once

#include <cstdint>
#include <span>

namespace vexil {

// A smallest certificate of input x < 2^n of a packed table of n variables, as
// a mask of variables: |S| = C(x). Among the smallest ones, the least mask.
// Takes n 2^n / 64 word steps and 2^n / 8 bytes.
std::uint64_t smallest_certificate(std::span<const std::uint64_t> words, unsigned n, std::uint64_t x);

namespace detail {

// Writes to out[0, words.size()) the blocked sets of x, packed like the table:
// bit d is set when f(x ^ d') != f(x) for some d' inside d. Bits at or above
// 2^n (tables of fewer than 64 entries) are left meaningless.
void blocked_sets(std::span<const std::uint64_t> words, unsigned n, std::uint64_t x, std::uint64_t* out);

// The largest set d of variables whose bit is clear in `blocked` (0 always is),
// and its size; among sets of that size, the greatest mask.
struct FreeSet {
    unsigned size = 0;
    std::uint64_t mask = 0;
};
FreeSet largest_free_set(std::span<const std::uint64_t> blocked, unsigned n);

}  // namespace detail

}  // namespace vexil
