// The blocked Walsh–Hadamard butterflies behind transform_in_place, for the
// translation units that compile them (one per lane type, so that the
// instruction-set variants of each build in parallel).
#pragma once

#include "base/kernel_variants.hpp"
#include "metrics/transform_butterflies.hpp"
#include "interrupt.hpp"
#include "metrics/spectral.hpp"
#include "panic.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <type_traits>
#include <vector>

namespace vexil::detail::butterflies {

// The transform is blocked for the memory hierarchy: stages 0..11 run on blocks
// that stay in L1, the next four on blocks that stay in L2, and the stages above
// in groups of up to eight on strips of four cache lines per row, copied to a
// contiguous scratch (in place, the power-of-two row stride would put every row
// in the same cache sets). A 2^24 table thus costs two passes over memory, the
// last of which need not write back when only a summary of the coefficients is
// wanted. Beyond memory traffic the butterflies bound the time, so the kernels
// are compiled for AVX2 and AVX-512 as well as the baseline and the variant is
// picked at run time; and when the input is a truth table the L1 stages run in
// 16-bit lanes (|values| <= 2^12 there), twice as many per vector.
// All butterflies use unsigned arithmetic: wrapping is defined, and for truth
// tables the sums never wrap anyway.

template <class T>
constexpr unsigned l1_bits = sizeof(T) == 8 ? 11 : 12;  // 16 or 32 KiB blocks
template <class T>
constexpr unsigned l2_bits = sizeof(T) == 8 ? 15 : 16;  // 256 KiB blocks
constexpr unsigned max_group_bits = 8;
template <class T>
constexpr std::size_t strip_width = 256 / sizeof(T);  // four cache lines per row

// Stages from .. of at most four values, plain scalar code: a full stages()
// here would be compiled for nothing but tables of n < 3.
template <class T>
VEXIL_INLINE void tiny_transform(T* v, std::size_t size, unsigned from) {
    using U = std::make_unsigned_t<T>;
    for (std::size_t h = std::size_t{1} << from; h < size; h *= 2) {
        for (std::size_t i = 0; i < size; ++i) {
            if ((i & h) != 0) continue;
            const U a = static_cast<U>(v[i]);
            const U b = static_cast<U>(v[i + h]);
            v[i] = static_cast<T>(static_cast<U>(a + b));
            v[i + h] = static_cast<T>(static_cast<U>(a - b));
        }
    }
}

// Stages 0..2 on each group of eight values.
template <class T>
VEXIL_INLINE void radix8(T* v, std::size_t size) {
    using U = std::make_unsigned_t<T>;
    for (std::size_t i = 0; i < size; i += 8) {
        std::array<U, 8> a;
        for (unsigned t = 0; t < 8; ++t) a[t] = static_cast<U>(v[i + t]);
        for (unsigned h = 1; h < 8; h *= 2) {
            for (unsigned t = 0; t < 8; ++t) {
                if ((t & h) != 0) continue;
                const U x = a[t], y = a[t + h];
                a[t] = static_cast<U>(x + y);
                a[t + h] = static_cast<U>(x - y);
            }
        }
        for (unsigned t = 0; t < 8; ++t) v[i + t] = static_cast<T>(a[t]);
    }
}

// The 8-point transform of the signs of eight truth values, for every byte of
// packed values (bit t = entry t): stages 0..2 of the first pass become one
// table look-up per eight entries.
struct SignTable {
    std::array<std::array<std::int16_t, 8>, 256> rows{};
    SignTable() {
        for (unsigned b = 0; b < 256; ++b) {
            std::array<std::int16_t, 8>& r = rows[b];
            for (unsigned t = 0; t < 8; ++t) r[t] = ((b >> t) & 1U) != 0 ? 1 : -1;
            radix8(r.data(), 8);
        }
    }
};

// Internal to each translation unit that compiles the kernel, as a table the
// compiler can address directly.
static const SignTable sign_table;

// Eight 0/1 bytes to eight bits, byte t to bit t: the multiplier moves byte t's
// low bit to bit 56 + t, and every cross term lands outside bits 56..63.
VEXIL_INLINE unsigned pack8(const std::uint8_t* bytes) {
    std::uint64_t word;
    std::memcpy(&word, bytes, sizeof word);
    return static_cast<unsigned>((word * 0x0102040810204080ULL) >> 56);
}

// Stages from .. bits - 1 of a block of 2^bits values that fits in L1. With
// `source` (and from = 0), the block is the signs of source[0, 2^bits),
// transformed in 16-bit lanes and then widened; `narrow` holds 2^bits 16-bit
// values.
template <class T>
VEXIL_INLINE void l1_block(T* v, unsigned bits, const std::uint8_t* source, std::int16_t* narrow, unsigned from) {
    const std::size_t size = std::size_t{1} << bits;
    if (bits < 3) {
        if (source != nullptr) {
            for (std::size_t i = 0; i < size; ++i) v[i] = source[i] != 0 ? T{1} : T{-1};
        }
        tiny_transform(v, size, from);
        return;
    }
    if (source == nullptr) {
        if (from == 0) {
            radix8(v, size);
            from = 3;
        }
        stages(v, size, from, bits);
        return;
    }
    for (std::size_t i = 0; i < size; i += 8) {
        std::memcpy(narrow + i, sign_table.rows[pack8(source + i)].data(), 8 * sizeof(std::int16_t));
    }
    stages(narrow, size, 3, bits);
    for (std::size_t i = 0; i < size; ++i) v[i] = narrow[i];
}

// Stages [low, low + group) on the block of 2^(low + group) values at v, whose
// first coefficient is number first_k. When these are the last stages and a
// visitor is given, it reads each finished strip instead of having it written
// back.
template <class T>
VEXIL_INLINE void strip_group(T* v, unsigned low, unsigned group, T* scratch, const LastPassVisit<T>* visit,
                              std::uint64_t first_k) {
    // A constant width (low >= l1_bits, so the stride is never shorter) lets
    // each row move as whole vectors rather than through a generic copy.
    constexpr std::size_t width = strip_width<T>;
    constexpr unsigned width_bits = static_cast<unsigned>(std::countr_zero(width));
    const std::size_t stride = std::size_t{1} << low;
    const std::size_t rows = std::size_t{1} << group;
    for (std::size_t col = 0; col < stride; col += width) {
        // Rows a power of two apart defeat the hardware prefetchers: ask for the
        // next strip's lines while this one is transformed.
        if (col + width < stride) {
            for (std::size_t r = 0; r < rows; ++r) {
                const T* next = v + r * stride + col + width;
                for (std::size_t line = 0; line < width; line += 64 / sizeof(T)) __builtin_prefetch(next + line);
            }
        }
        for (std::size_t r = 0; r < rows; ++r) {
            const T* from = v + r * stride + col;
            T* to = scratch + r * width;
            for (std::size_t c = 0; c < width; ++c) to[c] = from[c];
        }
        stages(scratch, rows * width, width_bits, width_bits + group);
        if (visit != nullptr) {
            visit->strip(visit->state, first_k + col, scratch, rows, width, stride);
        } else {
            for (std::size_t r = 0; r < rows; ++r) {
                const T* from = scratch + r * width;
                T* to = v + r * stride + col;
                for (std::size_t c = 0; c < width; ++c) to[c] = from[c];
            }
        }
        check_interrupt();
    }
}

// Transform of v[0, 2^bits) (of the signs of `source` when given). Level 0 is
// the L1 blocks; level 1 finishes each L2 block while it is still cached; every
// further level is one pass over memory doing up to eight stages. A visitor
// gets the last pass's coefficients, which are then not all written back.
// Stages below `from` are left out: v then holds 2^from tables of
// 2^(bits - from) values interleaved (value x of table j at x * 2^from + j),
// each transformed on its own; `source` and `from` do not go together.
template <class T>
VEXIL_INLINE void transform_body(T* v, unsigned bits, const std::uint8_t* source, const LastPassVisit<T>* visit,
                                 unsigned from) {
    alignas(64) std::array<std::int16_t, std::size_t{1} << l1_bits<T>> narrow;
    if (bits <= l1_bits<T>) {
        // Small tables, often many of them (sweeps, the pool's rows), skip
        // the level loop below.
        l1_block(v, bits, source, narrow.data(), from);
        const std::size_t size = std::size_t{1} << bits;
        if (visit != nullptr) visit->strip(visit->state, 0, v, 1, size, size);
        return;
    }
    // strip_group is called from one place only, so that its stages are
    // compiled once per instruction-set variant.
    const unsigned l1 = l1_bits<T>;
    const unsigned l2 = std::min(bits, l2_bits<T>);
    const std::size_t l1_size = std::size_t{1} << l1;
    // Rows enough for the largest group of this table: a small one (the
    // S-box's blocks of components, many per call) zeroes no more than it uses.
    std::vector<T> scratch(std::size_t{strip_width<T>} << std::min(max_group_bits, bits - l1));
    bool first = true;
    for (unsigned low = l1; first || low < bits; first = false) {
        const unsigned high = first ? l2 : std::min(bits, low + max_group_bits);
        const std::size_t size = std::size_t{1} << high;
        const LastPassVisit<T>* const last = high == bits ? visit : nullptr;
        for (std::size_t block = 0; block < (std::size_t{1} << bits); block += size) {
            if (first) {
                for (std::size_t sub = block; sub < block + size; sub += l1_size) {
                    l1_block(v + sub, l1, source != nullptr ? source + sub : nullptr, narrow.data(), from);
                }
            }
            strip_group(v + block, low, high - low, scratch.data(), last, block);
        }
        low = high;
    }
}

// The spectrum of the table source[0, 2^bits) (bits <= 14) in 16-bit lanes,
// exact since |values| <= 2^14: the L1 blocks' narrow path without the
// widening, then the stages above them on the whole row.
struct NarrowRowKernel {
    VEXIL_INLINE static void run(const std::uint8_t* source, unsigned bits, std::int16_t* out) {
        const std::size_t size = std::size_t{1} << bits;
        if (bits < 3) {
            for (std::size_t i = 0; i < size; ++i) out[i] = source[i] != 0 ? std::int16_t{1} : std::int16_t{-1};
            tiny_transform(out, size, 0);
            return;
        }
        const unsigned block_bits = std::min(bits, 12U);
        const std::size_t block = std::size_t{1} << block_bits;
        for (std::size_t sub = 0; sub < size; sub += block) {
            for (std::size_t i = 0; i < block; i += 8) {
                std::memcpy(out + sub + i, sign_table.rows[pack8(source + sub + i)].data(), 8 * sizeof(std::int16_t));
            }
            stages(out + sub, block, 3, block_bits);
        }
        stages(out, size, block_bits, bits);
    }
};

struct TransformKernel {
    template <class T>
    VEXIL_INLINE static void run(T* v, unsigned bits, const std::uint8_t* source, const LastPassVisit<T>* visit,
                                 unsigned from) {
        transform_body(v, bits, source, visit, from);
    }
};

// Every entry point goes through here, so that the variants are instantiated
// once per lane type.
template <class T>
void run_transform(T* values, unsigned bits, const std::uint8_t* source, const LastPassVisit<T>* visit,
                   unsigned from = 0) {
    run_kernel<TransformKernel>(values, bits, source, visit, from);
}

// The public entry points of one lane type, defined beside its kernel so that
// a small transform reaches the kernel with no call between.
template <class T>
std::optional<TransformError> transform_span(std::span<T> values) {
    const std::size_t size = values.size();
    if (size <= 1) return std::nullopt;
    if (!std::has_single_bit(size)) return TransformError{transform_length_error};
    run_transform<T>(values.data(), static_cast<unsigned>(std::countr_zero(size)), nullptr, nullptr);
    return std::nullopt;
}

template <class T>
void table_spectrum(std::span<const std::uint8_t> entries, std::span<T> out) {
    if (entries.size() != out.size() || !std::has_single_bit(entries.size())) {
        panic("spectrum_into: the table and the coefficients need the same power-of-two length");
    }
    run_transform<T>(out.data(), static_cast<unsigned>(std::countr_zero(entries.size())), entries.data(), nullptr);
}

}  // namespace vexil::detail::butterflies
