// The Walsh–Hadamard transform of a truth table or of int64 values, split in
// two levels for the measures of cryptography, with a visitor on the last pass.
//
// 2^bits values are seen as 2^row_bits rows of 2^column_bits contiguous values.
// The stages within a row are the core's transform (spectrum_into for a table,
// walsh_hadamard_transform for values), one row at a time; the stages across
// rows run on strips of four cache lines per row copied to a private scratch.
// Both loops run on the worker pool. A table's spectrum fits int32 lanes up to
// 31 variables when read modulo 2^32: |W| <= 2^31, so the magnitude as an
// unsigned 32-bit value and whether it is zero are exact, and half the memory
// traffic of int64. Each finished strip is handed to a visitor, which reads it
// (sums by weight) and may rewrite it (squares) before it is stored back, or
// instead of storing it: a measure read off the coefficients costs no pass of
// its own. Small transforms are not split: one call of the core's transform on
// the calling thread, then the visitor over the whole array.
#pragma once

#include "interrupt.hpp"
#include "memory_guard.hpp"
#include "base/kernel_variants.hpp"
#include "metrics/spectral.hpp"
#include "metrics/transform_butterflies.hpp"
#include "pool.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <type_traits>
#include <vector>

namespace vexil::detail {

// Values per strip row: four cache lines.
template <class T>
inline constexpr unsigned strip_lanes = 256 / sizeof(T);
template <class T>
inline constexpr unsigned strip_lane_bits = static_cast<unsigned>(std::countr_zero(strip_lanes<T>));

struct TransformSplit {
    unsigned row_bits;     // 0: not split
    unsigned column_bits;  // log2 of the row length
};

// Up to 2^14 values the core's transform stays in cache and finishes in tens of
// microseconds, where the pool would cost more than it saves; beyond, at most
// 2^10 rows keep a strip in L2, and longer rows are blocked by the core's
// transform itself.
inline TransformSplit split_transform(unsigned bits) {
    if (bits <= 14) return {0, bits};
    const unsigned row_bits = std::min(10U, bits / 2);
    return {row_bits, bits - row_bits};
}

// log2 of a table's number of entries; a Panic unless it is a power of two.
unsigned table_bits(std::span<const std::uint8_t> entries);

// The parallel loop indices of one transform of 2^bits values, in the units
// that progress counts (rows plus strips; 0 when not split).
template <class T>
std::uint64_t transform_units(unsigned bits) {
    const TransformSplit split = split_transform(bits);
    if (split.row_bits == 0) return 0;
    return (std::uint64_t{1} << split.row_bits) + ((std::uint64_t{1} << split.column_bits) / strip_lanes<T>);
}

// Scratch bytes one transform of 2^bits values adds while it runs.
template <class T>
std::uint64_t transform_scratch_bytes(unsigned bits) {
    const TransformSplit split = split_transform(bits);
    if (split.row_bits == 0) return 0;
    const std::uint64_t strips =
        bytes_times(pool_size(), (std::uint64_t{1} << split.row_bits) * strip_lanes<T> * sizeof(T));
    // A table's row stages in 16-bit lanes (see transform_and_visit), for the
    // visitors that do not store.
    const bool narrow = std::is_same_v<T, std::int32_t> && split.column_bits <= narrow_row_bits;
    return bytes_plus(strips, narrow ? bytes_times(std::uint64_t{1} << bits, sizeof(std::int16_t)) : 0);
}

// |v| as the unsigned type of v: exact for every value, the most negative included.
template <class T>
VEXIL_INLINE std::make_unsigned_t<T> magnitude(T v) {
    using U = std::make_unsigned_t<T>;
    const auto sign = static_cast<U>(v >> (8 * sizeof(T) - 1));  // all ones when negative
    return static_cast<U>((static_cast<U>(v) ^ sign) - sign);
}

// Visitors see finished coefficients as rows of L = strip_lanes<T> values:
// visit(slot, first, shift, data, row_begin, row_end) for the rows r in
// [row_begin, row_end), row r at data + (r - row_begin) * L, its lane l the
// coefficient first + (r << shift) + l. first < 2^shift is a multiple of L and
// shift >= log2(L), so the popcount of the coefficient is popcount(first) +
// popcount(r) + popcount(l). `slot` is the pool slot (0 off the pool), for
// per-slot accumulators. Visitors with `store` set have the visited values
// (rewritten or not) stored back; the others may clobber them. operator() must
// be VEXIL_INLINE: it is compiled into each kernel variant.

// The stages across the rows of a strip of `rows` rows (a power of two): the
// core's butterflies, from the stage that crosses a row on.
template <class T>
VEXIL_INLINE void strip_stages(T* strip, std::size_t rows) {
    const auto row_bits = static_cast<unsigned>(std::countr_zero(rows));
    butterflies::stages(strip, rows * strip_lanes<T>, strip_lane_bits<T>, strip_lane_bits<T> + row_bits);
}

// Strips [begin, end) of a split transform: gather (from `rows_in`, the
// values themselves or their row stages in narrower lanes), stages, visit, store.
struct StripKernel {
    template <class T, class S, class Visit>
    VEXIL_INLINE static void run(const S* rows_in, T* values, TransformSplit split, std::uint64_t begin,
                                 std::uint64_t end, std::size_t slot, T* strip, Visit& visit) {
        constexpr unsigned lanes = strip_lanes<T>;
        const std::size_t rows = std::size_t{1} << split.row_bits;
        const std::size_t stride = std::size_t{1} << split.column_bits;
        for (std::uint64_t s = begin; s < end; ++s) {
            const std::size_t first = static_cast<std::size_t>(s) * lanes;
            for (std::size_t r = 0; r < rows; ++r) {
                const S* from = rows_in + r * stride + first;
                T* to = strip + r * lanes;
                for (unsigned l = 0; l < lanes; ++l) to[l] = static_cast<T>(from[l]);
            }
            strip_stages(strip, rows);
            visit(slot, first, split.column_bits, strip, std::size_t{0}, rows);
            if (Visit::store) {
                for (std::size_t r = 0; r < rows; ++r) {
                    std::memcpy(values + r * stride + first, strip + r * lanes, lanes * sizeof(T));
                }
            }
            check_interrupt();
        }
    }
};

// The visitor over a whole unsplit array of at least one strip row.
struct WholeVisitKernel {
    template <class T, class Visit>
    VEXIL_INLINE static void run(T* values, std::size_t size, Visit& visit) {
        // In slices, so that a long visit still answers interrupts.
        constexpr std::size_t slice_rows = 2048;
        constexpr unsigned lanes = strip_lanes<T>;
        const std::size_t rows = size / lanes;
        for (std::size_t r = 0; r < rows; r += slice_rows) {
            visit(std::size_t{0}, std::size_t{0}, strip_lane_bits<T>, values + r * lanes, r,
                  std::min(rows, r + slice_rows));
            check_interrupt();
        }
    }
};

// The transform of a row in place: of the signs of `entries` (true counts +1)
// when given, else of the values.
inline void row_transform(std::span<const std::uint8_t> entries, std::span<std::int64_t> row) {
    if (!entries.empty()) {
        spectrum_into(entries, row);
    } else {
        static_cast<void>(walsh_hadamard_transform(row));
    }
}

inline void row_transform(std::span<const std::uint8_t> entries, std::span<std::int32_t> row) {
    if (!entries.empty()) {
        spectrum_into(entries, row);
    } else {
        static_cast<void>(walsh_hadamard_transform(row));
    }
}

// Transforms `values` in place (a power-of-two length): the spectrum of
// `entries` when it is not empty (same length), else the transform of the
// values themselves. Every coefficient is visited once.
template <class T, class Visit>
void transform_and_visit(std::span<const std::uint8_t> entries, std::span<T> values, Visit& visit) {
    constexpr unsigned lanes = strip_lanes<T>;
    const std::size_t size = values.size();
    const unsigned bits = static_cast<unsigned>(std::countr_zero(size));
    const TransformSplit split = split_transform(bits);
    if (split.row_bits == 0) {
        row_transform(entries, values);
        if (size >= lanes) {
            run_kernel<WholeVisitKernel>(values.data(), size, visit);
            return;
        }
        // Fewer values than a strip row: the lanes beyond them read as zero.
        std::array<T, lanes> padded{};
        std::copy(values.begin(), values.end(), padded.begin());
        visit(std::size_t{0}, std::size_t{0}, strip_lane_bits<T>, padded.data(), std::size_t{0}, std::size_t{1});
        if (Visit::store) std::copy(padded.begin(), padded.begin() + static_cast<std::ptrdiff_t>(size), values.begin());
        return;
    }
    const std::size_t rows = std::size_t{1} << split.row_bits;
    const std::size_t columns = std::size_t{1} << split.column_bits;
    // About 2^16 values a chunk: long enough to hide the pool's cost, short
    // enough to answer interrupts and spread over the workers.
    const std::uint64_t row_grain = std::max<std::uint64_t>(1, (std::uint64_t{1} << 16) >> split.column_bits);
    // A table's rows fit 16-bit lanes up to 2^14 entries. When the visitor
    // does not store, the row stages write them so, half the bytes, and the
    // strips widen them as they gather: `values` is then never touched. (A
    // visitor that stores writes every value anyway: there the int16 pass
    // saves nothing.)
    const bool narrow =
        std::is_same_v<T, std::int32_t> && !Visit::store && !entries.empty() && split.column_bits <= narrow_row_bits;
    std::optional<Coefficients<std::int16_t>> narrow_rows;
    if (narrow) narrow_rows.emplace(size);
    // Each loop does its stages over every value: that is its work (pool.hpp).
    parallel_for(rows, row_grain, std::uint64_t{size} * split.column_bits,
                 [&](std::uint64_t begin, std::uint64_t end, std::size_t) {
                     for (std::uint64_t r = begin; r < end; ++r) {
                         const std::size_t offset = static_cast<std::size_t>(r) * columns;
                         if (narrow) {
                             narrow_row_transform(entries.data() + offset, split.column_bits,
                                                  narrow_rows->data() + offset);
                         } else {
                             row_transform(entries.empty() ? entries : entries.subspan(offset, columns),
                                           values.subspan(offset, columns));
                         }
                         check_interrupt();
                     }
                 });
    std::vector<std::vector<T>> scratch(pool_size());
    const std::uint64_t strips = columns / lanes;
    const std::uint64_t strip_grain =
        std::max<std::uint64_t>(1, (std::uint64_t{1} << 16) >> (split.row_bits + strip_lane_bits<T>));
    parallel_for(strips, strip_grain, std::uint64_t{size} * split.row_bits,
                 [&](std::uint64_t begin, std::uint64_t end, std::size_t slot) {
                     std::vector<T>& strip = scratch[slot];
                     if (strip.empty()) strip.resize(rows * lanes);
                     if (narrow_rows) {
                         run_kernel<StripKernel>(static_cast<const std::int16_t*>(narrow_rows->data()), values.data(),
                                                 split, begin, end, slot, strip.data(), visit);
                     } else {
                         run_kernel<StripKernel>(static_cast<const T*>(values.data()), values.data(), split, begin, end,
                                                 slot, strip.data(), visit);
                     }
                 });
}

}  // namespace vexil::detail
