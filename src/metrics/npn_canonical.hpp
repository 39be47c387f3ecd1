// NPN canonical forms of functions of at most six variables, by a walk over
// every input transform.
//
// A table of n <= 6 variables is one word: entry x at bit x, variable i being
// bit i of x. The representative of f's class is the member whose word is the
// smallest; the transform (perm, mask, output) relates them by
//   r(x) = f(y) XOR output,  y_{perm[i]} = x_i XOR bit i of mask.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace vexil {

inline constexpr unsigned npn_canonical_max_vars = 6;

struct NpnForm {
    std::uint64_t word = 0;  // the representative
    std::array<std::uint8_t, npn_canonical_max_vars> perm{0, 1, 2, 3, 4, 5};
    std::uint32_t mask = 0;
    bool output = false;
};

// The table of f under the transform: r(x) = f(y) XOR output as above.
std::uint64_t apply_npn_transform(std::uint64_t word, unsigned n, const NpnForm& t);

// The representative and a transform from f to it, over all 2^(n+1) n!
// transforms; n <= 6.
NpnForm npn_canonical_walk(std::uint64_t word, unsigned n);

// The representatives of all classes of n <= 4 variables, in increasing order.
std::vector<std::uint64_t> npn_class_words(unsigned n);

}  // namespace vexil
