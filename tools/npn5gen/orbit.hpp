// The orbit walk: 3,839 single steps (complement an input, or exchange two)
// whose 3,840 prefixes are the input transforms, so that the searches visit a
// class's words at one delta swap each; and the cofactors the searches take.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <stdexcept>
#include <utility>

#include "npn5/ops.hpp"
#include "runtime.hpp"

namespace npn5gen {

inline constexpr int kOrbitSteps = 3840;  // 5! permutations times 32 complement patterns

// Input k (0-based) of x1 ... x5, and the distance in bits between the rows
// where it is 0 and where it is 1.
constexpr Word input_word(int k) { return base_values[static_cast<std::size_t>(k + 1)]; }
inline constexpr std::array<unsigned, 5> kShift = {16, 8, 4, 2, 1};

// The function with input k complemented: rows that differ in that input trade places.
constexpr Word flip_input(Word w, int k) { return delta_swap(w, input_word(k), kShift[static_cast<std::size_t>(k)]); }

// The function with inputs a < b exchanged: rows with (x_a, x_b) = (1, 0) and (0, 1) trade places.
constexpr Word swap_inputs(Word w, int a, int b) {
    return delta_swap(w, input_word(a) & ~input_word(b),
                      kShift[static_cast<std::size_t>(a)] - kShift[static_cast<std::size_t>(b)]);
}

// Cofactors spread over the whole word: the function with input k fixed to 0 or 1.
constexpr Word cofactor0(Word w, int k) {
    const Word low = w & ~input_word(k);
    return low | (low >> kShift[static_cast<std::size_t>(k)]);
}
constexpr Word cofactor1(Word w, int k) {
    const Word high = w & input_word(k);
    return high | (high << kShift[static_cast<std::size_t>(k)]);
}

// The ten input pairs a < b, in the order the walk numbers its exchange steps.
inline constexpr std::array<std::array<std::uint8_t, 2>, 10> kPairs = {
    {{0, 1}, {0, 2}, {0, 3}, {0, 4}, {1, 2}, {1, 3}, {1, 4}, {2, 3}, {2, 4}, {3, 4}}};

constexpr int pair_index(int a, int b) {
    if (a > b) {
        const int t = a;
        a = b;
        b = t;
    }
    for (int p = 0; p < 10; ++p) {
        if (kPairs[static_cast<std::size_t>(p)][0] == a && kPairs[static_cast<std::size_t>(p)][1] == b) {
            return p;
        }
    }
    return -1;
}

// Step codes: 0-4 complement that input, 5 + p exchange the inputs of pair p.
constexpr Word walk_step(Word w, std::uint8_t code) {
    return code < 5 ? flip_input(w, code) : swap_inputs(w, kPairs[code - 5][0], kPairs[code - 5][1]);
}

// The same step on a transform t that carries a word c to w (w(x) = c(y) XOR
// t[0]): afterwards t carries c to walk_step(w, code).
constexpr void walk_step(NpnTransform& t, std::uint8_t code) {
    for (std::size_t k = 1; k <= 5; ++k) {
        const int e = t[k];
        const int input = (e < 0 ? -e : e) - 1;
        const int sign = e < 0 ? -1 : 1;
        if (code < 5) {
            if (input == code) {
                t[k] = static_cast<std::int16_t>(-e);
            }
        } else if (input == kPairs[code - 5][0]) {
            t[k] = static_cast<std::int16_t>(sign * (kPairs[code - 5][1] + 1));
        } else if (input == kPairs[code - 5][1]) {
            t[k] = static_cast<std::int16_t>(sign * (kPairs[code - 5][0] + 1));
        }
    }
}

// A reflected Gray code over the complements inside each permutation, and
// Heap's order of transpositions between permutations. xf[s] carries the
// starting word to the word after s steps (output complement not included).
struct OrbitWalk {
    std::array<std::uint8_t, kOrbitSteps - 1> step{};
    std::array<NpnTransform, kOrbitSteps> xf{};
};

inline OrbitWalk make_orbit_walk() {
    OrbitWalk walk;
    std::array<std::uint8_t, 5> arr{0, 1, 2, 3, 4};
    std::array<int, 5> c{};
    int n = 0;
    auto complements = [&] {
        for (unsigned i = 1; i < 32; ++i) {
            walk.step[static_cast<std::size_t>(n++)] = static_cast<std::uint8_t>(std::countr_zero(i));
        }
    };
    complements();
    int i = 1;
    while (i < 5) {
        if (c[static_cast<std::size_t>(i)] < i) {
            const int j = (i % 2 == 0) ? 0 : c[static_cast<std::size_t>(i)];
            walk.step[static_cast<std::size_t>(n++)] = static_cast<std::uint8_t>(
                5 + pair_index(arr[static_cast<std::size_t>(j)], arr[static_cast<std::size_t>(i)]));
            std::swap(arr[static_cast<std::size_t>(j)], arr[static_cast<std::size_t>(i)]);
            complements();
            ++c[static_cast<std::size_t>(i)];
            i = 1;
        } else {
            c[static_cast<std::size_t>(i)] = 0;
            ++i;
        }
    }
    if (n != kOrbitSteps - 1) {
        throw std::logic_error("orbit walk has the wrong length");
    }
    NpnTransform t;
    walk.xf[0] = t;
    for (int s = 0; s < kOrbitSteps - 1; ++s) {
        walk_step(t, walk.step[static_cast<std::size_t>(s)]);
        walk.xf[static_cast<std::size_t>(s + 1)] = t;
    }
    return walk;
}

inline const OrbitWalk& orbit_walk() {
    static const OrbitWalk walk = make_orbit_walk();
    return walk;
}

// Calls visit(normal_word, step_index) for the 3,840 input transforms of f, in walk order.
template <class Visit>
inline void for_each_transform(Word f, Visit&& visit) {
    const OrbitWalk& walk = orbit_walk();
    Word w = f;
    visit(normalise(w), 0);
    for (int s = 0; s < kOrbitSteps - 1; ++s) {
        w = walk_step(w, walk.step[static_cast<std::size_t>(s)]);
        visit(normalise(w), s + 1);
    }
}

// The word the walk reaches from f after `steps` steps (0 <= steps < 3,840).
inline Word walk_to(Word f, int steps) {
    const OrbitWalk& walk = orbit_walk();
    for (int s = 0; s < steps; ++s) {
        f = walk_step(f, walk.step[static_cast<std::size_t>(s)]);
    }
    return f;
}

}  // namespace npn5gen
