// Five-input truth-table words and the transforms that relate them.
//
// A five-input function is a 32-bit word: entry k of the table (x1 the most
// significant bit of k, x5 the least) sits at bit 31 - k, so bit 31 is the row
// where every input is 0. The upper half (bits 16-31) is the cofactor x1 = 0.
// A four-input function is the same on 16 bits with inputs x2 ... x5.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace vexil::npn5 {

using Word = std::uint32_t;
using Word4 = std::uint16_t;

inline constexpr Word input_x1 = 0x0000FFFFu;
inline constexpr Word input_x2 = 0x00FF00FFu;
inline constexpr Word input_x3 = 0x0F0F0F0Fu;
inline constexpr Word input_x4 = 0x33333333u;
inline constexpr Word input_x5 = 0x55555555u;

// The words of value indices 0-5: the constant 0, then x1 ... x5.
inline constexpr std::array<Word, 6> base_values = {0, input_x1, input_x2, input_x3, input_x4, input_x5};

inline constexpr Word parity5 = 0x69969669u;  // x1 ^ x2 ^ x3 ^ x4 ^ x5

// Number of 2^5 = 32 rows, and of the input transforms of five and four inputs.
inline constexpr std::size_t input_transforms5 = 3840;
inline constexpr std::size_t input_transforms4 = 384;
inline constexpr std::size_t normal_words4 = 32768;  // 16-bit words with bit 15 clear

// Relates a given word f to its canonical word c:
//   f(x) = c(y_1, ..., y_5) XOR entries[0],
// where y_k is input |entries[k]| of f, complemented when entries[k] < 0.
struct NpnTransform {
    std::array<std::int16_t, 6> entries{0, 1, 2, 3, 4, 5};

    constexpr std::int16_t& operator[](std::size_t i) { return entries[i]; }
    constexpr std::int16_t operator[](std::size_t i) const { return entries[i]; }
    friend bool operator==(const NpnTransform&, const NpnTransform&) = default;
};

// The word order against packed tables (bit x = entry x, variable v = bit v of
// x, so that variable v is input x(5 - v)): one reverses the bits of the other.
inline constexpr std::uint32_t reversed_bits(std::uint32_t w) {
    w = ((w >> 1) & 0x55555555u) | ((w & 0x55555555u) << 1);
    w = ((w >> 2) & 0x33333333u) | ((w & 0x33333333u) << 2);
    w = ((w >> 4) & 0x0F0F0F0Fu) | ((w & 0x0F0F0F0Fu) << 4);
    w = ((w >> 8) & 0x00FF00FFu) | ((w & 0x00FF00FFu) << 8);
    return (w >> 16) | (w << 16);
}

// The word of a packed table of n <= 5 variables (its bits from 2^n on are
// ignored), as a function of five inputs that ignores the variables from n on.
inline constexpr Word word_of_table(std::uint64_t table, unsigned n = 5) {
    const unsigned width = 1u << (n < 5 ? n : 5);
    std::uint64_t t = table & ((std::uint64_t{1} << width) - 1);
    for (unsigned bits = width; bits < 32; bits *= 2) t |= t << bits;
    return reversed_bits(static_cast<std::uint32_t>(t));
}

// The word of the 32 entries of a table (0/1 bytes, entry x of variable v = bit v of x).
inline Word word_of_entries(std::span<const std::uint8_t, 32> entries) {
    std::uint32_t t = 0;
    for (std::size_t x = 0; x < 32; ++x) t |= static_cast<std::uint32_t>(entries[x] & 1u) << x;
    return reversed_bits(t);
}

// The packed table (bit x = entry x) of a word: the inverse of word_of_table.
inline constexpr std::uint32_t table_of_word(Word w) { return reversed_bits(w); }

inline constexpr bool is_normal(Word w) { return (w >> 31) == 0; }

// The word or its complement, whichever is normal: a function and its
// complement cost the same, so classes and circuits are kept by normal words.
inline constexpr Word normalise(Word w) { return is_normal(w) ? w : ~w; }

// With f(x) = c(y) XOR t[0], the transform u with c(x) = f(y) XOR u[0]: it
// carries a circuit for f to one for c, where t carries c's to f. t must be a
// transform (entries 1-5 a signed permutation of 1-5).
inline constexpr NpnTransform inverse_transform(const NpnTransform& t) {
    NpnTransform u;
    u[0] = t[0];
    for (std::int16_t k = 1; k <= 5; ++k) {
        const int e = t[static_cast<std::size_t>(k)];
        u[static_cast<std::size_t>(e < 0 ? -e : e)] = e < 0 ? static_cast<std::int16_t>(-k) : k;
    }
    return u;
}

}  // namespace vexil::npn5
