// The elementary operations of the canonisation and the swap walk.
//
// Every operation that fixes x1 is a delta swap (exchange of the bits selected
// by `mask` with the bits `shift` places above them), possibly after a
// complement of the whole word: an input swap exchanges the rows where the two
// inputs differ, an input complement exchanges the rows that differ in that
// input alone. The transform moves along in a packed form (see PackedTransform)
// that is itself updated by a delta swap, so one table row drives both.
#pragma once

#include "word.hpp"

#include <array>
#include <cstdint>

namespace vexil::npn5 {

constexpr Word delta_swap(Word w, Word mask, unsigned shift) {
    const Word t = (w ^ (w >> shift)) & mask;
    return w ^ t ^ (t << shift);
}

constexpr Word4 delta_swap16(Word4 w, Word4 mask, unsigned shift) {
    const unsigned t = (static_cast<unsigned>(w) ^ (static_cast<unsigned>(w) >> shift)) & mask;
    return static_cast<Word4>(w ^ t ^ (t << shift));
}

constexpr Word swap_halves(Word w) { return (w << 16) | (w >> 16); }

// An NpnTransform in one word: entry k in bits 4k .. 4k+3, with the input
// number in the low three bits and the complement as bit 3; entry 0 is the
// output flag in bit 0. Swapping two entries or toggling a sign is a delta swap
// or an XOR on this word.
using PackedTransform = std::uint32_t;

inline constexpr PackedTransform packed_identity = 0x00543210u;

constexpr PackedTransform pack_transform(const NpnTransform& t) {
    PackedTransform p = static_cast<PackedTransform>(t[0] & 1);
    for (unsigned k = 1; k <= 5; ++k) {
        const int e = t[k];
        const unsigned nibble = e < 0 ? static_cast<unsigned>(-e) | 8u : static_cast<unsigned>(e);
        p |= nibble << (4 * k);
    }
    return p;
}

constexpr NpnTransform unpack_transform(PackedTransform p) {
    NpnTransform t;
    t[0] = static_cast<std::int16_t>(p & 1);
    for (unsigned k = 1; k <= 5; ++k) {
        const unsigned nibble = (p >> (4 * k)) & 0xF;
        const auto input = static_cast<std::int16_t>(nibble & 7);
        t[k] = (nibble & 8) != 0 ? static_cast<std::int16_t>(-input) : input;
    }
    return t;
}

struct ElementaryOp {
    Word flip = 0;  // all ones when the operation complements the output first
    Word mask = 0;
    unsigned shift = 0;
    PackedTransform tf_xor = 0;   // sign and output bits to toggle
    PackedTransform tf_mask = 0;  // entry exchange as a delta swap on the packed form
    unsigned tf_shift = 0;
};

namespace detail {

constexpr ElementaryOp swap_op(Word mask, unsigned shift, unsigned a, unsigned b) {
    return ElementaryOp{0, mask, shift, 0, PackedTransform{0xF} << (4 * a), 4 * (b - a)};
}

constexpr ElementaryOp complement_op(Word mask, unsigned shift, unsigned k, bool output) {
    return ElementaryOp{output ? ~Word{0} : 0, mask, shift, (PackedTransform{8} << (4 * k)) | (output ? 1u : 0u), 0, 0};
}

}  // namespace detail

// Operations 0-14 in the numbering of the step table: 1-6 swap two of x2 ... x5,
// 8/10/12/14 complement x2/x3/x4/x5, and 7/9/11/13 complement the output and
// then do as 8/10/12/14.
inline constexpr std::array<ElementaryOp, 15> elementary_ops = {
    ElementaryOp{},
    detail::swap_op(0x00F000F0u, 4, 2, 3),
    detail::swap_op(0x0C0C0C0Cu, 2, 3, 4),
    detail::swap_op(0x22222222u, 1, 4, 5),
    detail::swap_op(0x00CC00CCu, 6, 2, 4),
    detail::swap_op(0x0A0A0A0Au, 3, 3, 5),
    detail::swap_op(0x00AA00AAu, 7, 2, 5),
    detail::complement_op(0x00FF00FFu, 8, 2, true),
    detail::complement_op(0x00FF00FFu, 8, 2, false),
    detail::complement_op(0x0F0F0F0Fu, 4, 3, true),
    detail::complement_op(0x0F0F0F0Fu, 4, 3, false),
    detail::complement_op(0x33333333u, 2, 4, true),
    detail::complement_op(0x33333333u, 2, 4, false),
    detail::complement_op(0x55555555u, 1, 5, true),
    detail::complement_op(0x55555555u, 1, 5, false),
};

inline constexpr unsigned op_complement_x2 = 8;

constexpr Word apply_op(unsigned op, Word h) {
    const ElementaryOp& e = elementary_ops[op];
    return delta_swap(h ^ e.flip, e.mask, e.shift);
}

constexpr PackedTransform apply_op_transform(unsigned op, PackedTransform p) {
    const ElementaryOp& e = elementary_ops[op];
    return delta_swap(p ^ e.tf_xor, e.tf_mask, e.tf_shift);
}

// The same operation on the lower half alone (a four-input word); the output
// complement, if any, is left to the caller.
constexpr Word4 apply_op16(unsigned op, Word4 t) {
    const ElementaryOp& e = elementary_ops[op];
    return delta_swap16(t, static_cast<Word4>(e.mask), e.shift);
}

// The swap walk: 384 codes whose states, from any start, are the 384 input
// transforms of x2 ... x5 (normalised). -1 normalises, 0 complements x2 and
// normalises, 1/2/3 swap x2/x3, x3/x4, x4/x5.
inline constexpr std::array<std::int8_t, 384> swap_walk = [] {
    std::array<std::int8_t, 384> codes{};
    constexpr std::int8_t connectors[12] = {-1, 2, 1, 0, 1, 2, 1, 2, 1, 0, 1, 2};
    constexpr std::int8_t block[7] = {3, 2, 1, 0, 1, 2, 3};
    std::size_t i = 0;
    for (int group = 0; group < 4; ++group) {
        for (int b = 0; b < 12; ++b) {
            codes[i++] = (b == 0 && group > 0) ? std::int8_t{0} : connectors[b];
            for (std::int8_t code : block) codes[i++] = code;
        }
    }
    return codes;
}();

// One step of the walk on a four-input word (normalised where the code says so).
constexpr Word4 walk_step16(int code, Word4 t) {
    if (code >= 1) return apply_op16(static_cast<unsigned>(code), t);
    if (code == 0) t = apply_op16(op_complement_x2, t);
    return (t & 0x8000u) != 0 ? static_cast<Word4>(~t) : t;
}

}  // namespace vexil::npn5
