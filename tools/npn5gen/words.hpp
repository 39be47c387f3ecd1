// Five-input truth-table words, input transforms and the orbit walk.
//
// A word holds a 32-row table, row k at bit 31 - k, with x1 the most significant
// bit of the row number. A word is normal when bit 31 (the all-zero row) is clear;
// the generator stores every function by its normal word, since a function and
// its complement cost the same number of gates.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <stdexcept>

namespace npn5gen {

using Word = std::uint32_t;

inline constexpr std::array<Word, 5> kInput = {0x0000FFFFu, 0x00FF00FFu, 0x0F0F0F0Fu, 0x33333333u, 0x55555555u};
// Distance in bits between the rows where an input is 0 and where it is 1.
inline constexpr std::array<unsigned, 5> kShift = {16, 8, 4, 2, 1};
inline constexpr Word kTopBit = 0x80000000u;
inline constexpr int kOrbitSteps = 3840;  // 5! permutations times 32 complement patterns

constexpr Word normalise(Word w) { return (w & kTopBit) != 0 ? ~w : w; }
constexpr bool is_normal(Word w) { return (w & kTopBit) == 0; }

// The function with input k (0-based) complemented: rows that differ in that input trade places.
constexpr Word flip_input(Word w, int k) {
    const unsigned s = kShift[k];
    const Word m = kInput[k];
    return ((w >> s) & m) | ((w & m) << s);
}

// The function with inputs a < b exchanged: rows with (x_a, x_b) = (0, 1) and (1, 0) trade places.
constexpr Word swap_inputs(Word w, int a, int b) {
    const unsigned s = kShift[a] - kShift[b];
    const Word m = kInput[a] & ~kInput[b];
    const Word t = ((w >> s) ^ w) & m;
    return w ^ t ^ (t << s);
}

// Cofactors spread over the whole word: the function with input k fixed to 0 or 1.
constexpr Word cofactor0(Word w, int k) {
    const Word low = w & ~kInput[k];
    return low | (low >> kShift[k]);
}
constexpr Word cofactor1(Word w, int k) {
    const Word high = w & kInput[k];
    return high | (high << kShift[k]);
}

// An input transform with an optional output complement. Applied to f it gives
// g(x) = f(y) ^ out, where y_i = x[src[i]] complemented when bit i of neg is set.
struct Transform {
    std::array<std::uint8_t, 5> src{0, 1, 2, 3, 4};
    std::uint8_t neg = 0;
    bool out = false;

    friend bool operator==(const Transform&, const Transform&) = default;
};

// Reference application, one row at a time; the walk below is the fast path.
constexpr Word apply(const Transform& t, Word f) {
    Word g = 0;
    for (unsigned row = 0; row < 32; ++row) {
        unsigned from = 0;
        for (int i = 0; i < 5; ++i) {
            const unsigned bit = ((row >> (4 - t.src[i])) & 1u) ^ ((t.neg >> i) & 1u);
            from |= bit << (4 - i);
        }
        g |= ((f >> (31 - from)) & 1u) << (31 - row);
    }
    return t.out ? ~g : g;
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
        if (kPairs[p][0] == a && kPairs[p][1] == b) {
            return p;
        }
    }
    return -1;
}

// Step codes: 0-4 complement that input, 5 + p exchange the inputs of pair p.
constexpr Word walk_step(Word w, std::uint8_t code) {
    return code < 5 ? flip_input(w, code) : swap_inputs(w, kPairs[code - 5][0], kPairs[code - 5][1]);
}

constexpr void walk_step(Transform& t, std::uint8_t code) {
    if (code < 5) {
        for (int i = 0; i < 5; ++i) {
            if (t.src[i] == code) {
                t.neg = static_cast<std::uint8_t>(t.neg ^ (1u << i));
            }
        }
        return;
    }
    const std::uint8_t a = kPairs[code - 5][0];
    const std::uint8_t b = kPairs[code - 5][1];
    for (auto& s : t.src) {
        if (s == a) {
            s = b;
        } else if (s == b) {
            s = a;
        }
    }
}

// A sequence of 3,839 single steps whose 3,840 prefixes are the 3,840 input
// transforms: a reflected Gray code over the complements inside each
// permutation, and Heap's order of transpositions between permutations.
// xf[s] is the transform after s steps (output complement not included).
struct OrbitWalk {
    std::array<std::uint8_t, kOrbitSteps - 1> step{};
    std::array<Transform, kOrbitSteps> xf{};
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
        if (c[i] < i) {
            const int j = (i % 2 == 0) ? 0 : c[i];
            walk.step[static_cast<std::size_t>(n++)] = static_cast<std::uint8_t>(5 + pair_index(arr[j], arr[i]));
            const std::uint8_t t = arr[j];
            arr[j] = arr[i];
            arr[i] = t;
            complements();
            ++c[i];
            i = 1;
        } else {
            c[i] = 0;
            ++i;
        }
    }
    if (n != kOrbitSteps - 1) {
        throw std::logic_error("orbit walk has the wrong length");
    }
    Transform t;
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

// The canonical word of f's class (smallest word over all input transforms and
// output complement) and a transform t with apply(t, f) == canonical.
struct Canonical {
    Word word;
    Transform xf;
};

inline Canonical canonical_brute(Word f) {
    Word best = 0xFFFFFFFFu;
    int at = 0;
    for_each_transform(f, [&](Word n, int s) {
        if (n < best) {
            best = n;
            at = s;
        }
    });
    Transform t = orbit_walk().xf[static_cast<std::size_t>(at)];
    t.out = apply(t, f) != best;
    return {best, t};
}

}  // namespace npn5gen
