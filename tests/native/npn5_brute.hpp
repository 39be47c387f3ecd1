// Reference canonicalisers for the five-input tests and benchmark: they try
// every input transform, with no tables and nothing shared with the library
// beyond the word convention.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace npn5_brute {

using Word = std::uint32_t;

// Value of word f at row x (x1 the most significant of the five bits).
inline unsigned row_value(Word f, unsigned x) { return (f >> (31 - x)) & 1u; }

// The word n with n(x) = c(y_1, ..., y_5) XOR t[0], where y_k is input |t[k]|
// of x, complemented when t[k] < 0: computed row by row.
template <class Transform>
Word apply_transform_rows(Word c, const Transform& t) {
    Word n = 0;
    for (unsigned x = 0; x < 32; ++x) {
        unsigned y = 0;
        for (unsigned k = 1; k <= 5; ++k) {
            const int e = t[k];
            const unsigned input = static_cast<unsigned>(e < 0 ? -e : e);
            unsigned bit = (x >> (5 - input)) & 1u;
            if (e < 0) bit ^= 1u;
            y |= bit << (5 - k);
        }
        n |= static_cast<Word>(row_value(c, y) ^ static_cast<unsigned>(t[0] & 1)) << (31 - x);
    }
    return n;
}

// All 3,840 input transforms (entries 1-5; entry 0 left 0), in a fixed order.
inline std::array<std::array<std::int16_t, 6>, 3840> all_input_transforms() {
    std::array<std::array<std::int16_t, 6>, 3840> out{};
    std::array<std::int16_t, 5> perm = {1, 2, 3, 4, 5};
    std::size_t i = 0;
    do {
        for (unsigned mask = 0; mask < 32; ++mask) {
            std::array<std::int16_t, 6> t{};
            for (unsigned k = 0; k < 5; ++k) {
                t[k + 1] = (mask >> k) & 1u ? static_cast<std::int16_t>(-perm[k]) : perm[k];
            }
            out[i++] = t;
        }
    } while (std::next_permutation(perm.begin(), perm.end()));
    return out;
}

// Minimum over every transform, row by row: slow and plain.
inline Word canon_by_rows(Word f) {
    static const auto transforms = all_input_transforms();
    Word best = 0xFFFFFFFFu;
    for (const auto& t : transforms) {
        const Word g = apply_transform_rows(f, t);
        best = std::min({best, g, static_cast<Word>(~g)});
    }
    return best;
}

// The vectorised brute force: 16 words at a time, each moved to all ten
// (top input, polarity) placements and walked through the 384 transforms of
// the other four inputs; both polarities of the output by tracking the
// maximum beside the minimum. Written with GCC vector types so that the
// compiler uses the widest unit the target has; the same code on a plain Word
// is the one-word-at-a-time version.
using V = Word __attribute__((vector_size(64)));
inline constexpr std::size_t lanes = sizeof(V) / sizeof(Word);

// Vectors are passed by reference: a 64-byte vector by value would change the
// calling convention with the target.
template <class T>
void vswap(T& h, Word mask, unsigned shift) {
    const T t = (h ^ (h >> shift)) & mask;
    h ^= t ^ (t << shift);
}

template <class T>
struct MinMax {
    T lo;
    T hi;
    void see(const T& h) {
        const T r = (h << 16) | (h >> 16);  // the other polarity of the top input
        lo = h < lo ? h : lo;
        hi = h > hi ? h : hi;
        lo = r < lo ? r : lo;
        hi = r > hi ? r : hi;
    }
};

// The 384 transforms of x2 ... x5, ignoring the output polarity: 48 blocks,
// each a connector (complement x2 or a swap) and seven swaps.
template <class T>
void walk384(const T& start, MinMax<T>& m) {
    T h = start;
    constexpr int connectors[12] = {-1, 2, 1, 0, 1, 2, 1, 2, 1, 0, 1, 2};
    for (int group = 0; group < 4; ++group) {
        for (int b = 0; b < 12; ++b) {
            switch ((b == 0 && group > 0) ? 0 : connectors[b]) {
                case 0:
                    vswap(h, 0x00FF00FFu, 8);
                    break;
                case 1:
                    vswap(h, 0x00F000F0u, 4);
                    break;
                case 2:
                    vswap(h, 0x0C0C0C0Cu, 2);
                    break;
                default:
                    break;
            }
            m.see(h);
            vswap(h, 0x22222222u, 1);
            m.see(h);
            vswap(h, 0x0C0C0C0Cu, 2);
            m.see(h);
            vswap(h, 0x00F000F0u, 4);
            m.see(h);
            vswap(h, 0x00FF00FFu, 8);
            m.see(h);
            vswap(h, 0x00F000F0u, 4);
            m.see(h);
            vswap(h, 0x0C0C0C0Cu, 2);
            m.see(h);
            vswap(h, 0x22222222u, 1);
            m.see(h);
        }
    }
}

// out[i] = canonical word of in[i], taking sizeof(T) / 4 words at a time
// (count a multiple of that).
template <class T>
void canon_brute(const Word* in, Word* out, std::size_t count) {
    for (std::size_t i = 0; i < count; i += sizeof(T) / sizeof(Word)) {
        T w;
        std::memcpy(&w, in + i, sizeof w);
        MinMax<T> m{w, w};
        walk384(w, m);
        // Each exchange of x1 with the next input brings that input to the top.
        vswap(w, 0xFF00u, 8);
        walk384(w, m);
        vswap(w, 0xF0F0u, 12);
        walk384(w, m);
        vswap(w, 0xCCCCu, 14);
        walk384(w, m);
        vswap(w, 0xAAAAu, 15);
        walk384(w, m);
        const T result = ~m.hi < m.lo ? ~m.hi : m.lo;
        std::memcpy(out + i, &result, sizeof result);
    }
}

inline void canon_vectorised(const Word* in, Word* out, std::size_t count) { canon_brute<V>(in, out, count); }

}  // namespace npn5_brute
