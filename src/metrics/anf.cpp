#include "metrics/anf.hpp"
#include "base/kernel_variants.hpp"

#include "interrupt.hpp"
#include "memory_guard.hpp"
#include "base/packed_table.hpp"
#include "panic.hpp"
#include "pool.hpp"

#include <algorithm>
#include <bit>

namespace vexil {

namespace {

// The transform runs direction by direction, a(x) ^= a(x ^ 2^j) for the x with
// bit j set. In a packed table the six directions inside a word are shifts
// under a lane mask; in a bit-sliced one each bit of a word is another table,
// and every direction is between words. The directions between words are XORs
// of one run of words into another; the first of them run per block of
// block_words<W> words (32 KiB, held in L1 throughout), the ones above in groups
// of group_bits directions per strip of strip_words<W> words per row (16 rows
// of 2 KiB, again 32 KiB), so that a table of 2^k words costs about
// k / group_bits passes over memory instead of k.
template <class W>
constexpr std::size_t block_words = (std::size_t{32} << 10) / sizeof(W);
constexpr unsigned group_bits = 4;
template <class W>
constexpr std::size_t strip_words = std::size_t{2048} / sizeof(W);
// Tables of fewer words (512 KiB) run on the calling thread: a pool loop costs
// more than transforming them.
template <class W>
constexpr std::size_t parallel_words = (std::size_t{512} << 10) / sizeof(W);

VEXIL_INLINE void in_word_directions(std::uint64_t* w, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        std::uint64_t x = w[i];
        for (unsigned j = 0; j < 6; ++j) x ^= (x << (1U << j)) & detail::index_bit_lanes[j];
        w[i] = x;
    }
}

// Directions of strides 1 .. count / 2 words on w[0, count).
template <class W>
VEXIL_INLINE void word_directions(W* w, std::size_t count) {
    for (std::size_t stride = 1; stride < count; stride *= 2) {
        for (std::size_t base = 0; base < count; base += 2 * stride) {
            const W* low = w + base;
            W* high = w + base + stride;
            for (std::size_t i = 0; i < stride; ++i) high[i] ^= low[i];
        }
    }
}

// InWord: a packed table, whose 64-bit words take the directions inside them too.
template <bool InWord>
struct BlockKernel {
    // Blocks [first, last) of `block` words each: all directions inside them.
    template <class W>
    VEXIL_INLINE static void run(W* w, std::size_t block, std::size_t first, std::size_t last) {
        for (std::size_t b = first; b < last; ++b) {
            if constexpr (InWord) in_word_directions(w + b * block, block);
            word_directions(w + b * block, block);
        }
    }
};

struct GroupKernel {
    // Directions of strides stride .. stride << (levels - 1) words, on the
    // strips [first, last) of the table: strip s covers the 2^levels rows of
    // `width` words, `stride` words apart, at column (s % strips_per_span) * width
    // of span s / strips_per_span.
    template <class W>
    VEXIL_INLINE static void run(W* w, std::size_t stride, unsigned levels, std::size_t width, std::size_t first,
                                 std::size_t last) {
        const std::size_t span = stride << levels;
        const std::size_t strips_per_span = stride / width;
        for (std::size_t s = first; s < last; ++s) {
            W* origin = w + (s / strips_per_span) * span + (s % strips_per_span) * width;
            // Row t of the group lies at origin + t * stride; direction k joins
            // the rows t and t + 2^k for the t without bit k.
            const std::size_t rows = std::size_t{1} << levels;
            for (std::size_t step = 1; step < rows; step *= 2) {
                for (std::size_t t = 0; t < rows; ++t) {
                    if ((t & step) != 0) continue;
                    const W* low = origin + t * stride;
                    W* high = origin + (t + step) * stride;
                    for (std::size_t i = 0; i < width; ++i) high[i] ^= low[i];
                }
            }
        }
    }
};

// The transform over the index of w[0, count), count a power of two, and inside
// each word when InWord.
template <bool InWord, class W>
void moebius_words(W* w, std::size_t count) {
    const std::size_t block = std::min(count, block_words<W>);
    const std::size_t blocks = count / block;
    const bool parallel = count >= parallel_words<W>;
    if (parallel) {
        parallel_for(blocks, 1, [&](std::uint64_t begin, std::uint64_t end, std::size_t) {
            detail::run_kernel<BlockKernel<InWord>>(w, block, begin, end);
        });
    } else {
        for (std::size_t b = 0; b < blocks; ++b) {
            detail::run_kernel<BlockKernel<InWord>>(w, block, b, b + 1);
            check_interrupt();
        }
    }
    for (std::size_t stride = block; stride < count;) {
        const auto levels = static_cast<unsigned>(std::min<std::size_t>(group_bits, std::countr_zero(count / stride)));
        const std::size_t width = std::min(stride, strip_words<W>);
        const std::size_t strip_count = (count >> levels) / width;
        if (parallel) {
            parallel_for(strip_count, std::max<std::size_t>(1, (parallel_words<W> / 4) / (width << levels)),
                         [&](std::uint64_t begin, std::uint64_t end, std::size_t) {
                             detail::run_kernel<GroupKernel>(w, stride, levels, width, begin, end);
                         });
        } else {
            for (std::size_t s = 0; s < strip_count; s += 16) {
                detail::run_kernel<GroupKernel>(w, stride, levels, width, s, std::min(strip_count, s + 16));
                check_interrupt();
            }
        }
        stride <<= levels;
    }
}

int lane_weight_max(std::uint64_t x) {
    for (int k = 6; k > 0; --k) {
        if ((x & detail::lanes_of_weight[static_cast<std::size_t>(k)]) != 0) return k;
    }
    return 0;
}

}  // namespace

namespace detail {

void packed_moebius_transform(std::span<std::uint64_t> words, unsigned n) {
    if (n < 6) {
        if (words.size() != 1) panic("packed_moebius_transform: a table of fewer than 64 entries takes one word");
        std::uint64_t x = words[0];
        for (unsigned j = 0; j < n; ++j) x ^= (x << (1U << j)) & index_bit_lanes[j];
        words[0] = x;
        return;
    }
    const std::size_t count = words.size();
    if (count != std::size_t{1} << (n - 6)) panic("packed_moebius_transform: the table has 2^n entries");
    moebius_words<true>(words.data(), count);
}

void sliced_moebius_transform(std::span<std::uint32_t> words) {
    if (!std::has_single_bit(words.size())) panic("sliced_moebius_transform: the table has 2^n words");
    moebius_words<false>(words.data(), words.size());
}

int packed_max_index_weight(std::span<const std::uint64_t> words) {
    int best = -1;
    const int top = static_cast<int>(std::bit_width(words.size() - 1)) + 6;  // the most bits an index can have
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::uint64_t x = words[i];
        const int high = std::popcount(i);
        // Only words whose index leaves room to beat the best so far are read.
        if (x == 0 || high + 6 <= best) continue;
        best = std::max(best, high + lane_weight_max(x));
        if (best == top) break;
        if ((i & 0xFFFF) == 0xFFFF) check_interrupt();
    }
    return best;
}

}  // namespace detail

void packed_set_indices(std::span<const std::uint64_t> words, std::span<std::int64_t> out) {
    std::size_t next = 0;
    for (std::size_t i = 0; i < words.size(); ++i) {
        for (std::uint64_t x = words[i]; x != 0; x &= x - 1) {
            if (next == out.size()) panic("packed_set_indices: more set bits than room");
            out[next++] = static_cast<std::int64_t>(64 * i + static_cast<std::size_t>(std::countr_zero(x)));
        }
        if ((i & 0xFFFF) == 0xFFFF) check_interrupt();
    }
    if (next != out.size()) panic("packed_set_indices: fewer set bits than room");
}

void unpack_entries(std::span<const std::uint64_t> words, std::span<std::uint8_t> entries) {
    const std::size_t size = entries.size();
    if (size > 64 * words.size()) panic("unpack_entries: more entries than bits");
    std::uint8_t* out = entries.data();
    for (std::size_t i = 0; i < size / 64; ++i) {
        const std::uint64_t x = words[i];
        for (unsigned b = 0; b < 64; ++b) out[64 * i + b] = static_cast<std::uint8_t>((x >> b) & 1U);
        if ((i & 0xFFFF) == 0xFFFF) check_interrupt();
    }
    for (std::size_t x = size / 64 * 64; x < size; ++x) {
        out[x] = static_cast<std::uint8_t>((words[x / 64] >> (x % 64)) & 1U);
    }
}

namespace {

unsigned log2_size(std::span<const std::uint8_t> entries) {
    const std::size_t size = entries.size();
    if (size == 0 || !std::has_single_bit(size)) panic("a truth table has a power-of-two number of entries");
    return static_cast<unsigned>(std::countr_zero(size));
}

}  // namespace

std::vector<std::uint64_t> packed_anf(std::span<const std::uint8_t> entries) {
    const unsigned n = log2_size(entries);
    std::vector<std::uint64_t> words = pack_guarded(entries);
    detail::packed_moebius_transform(words, n);
    return words;
}

int algebraic_degree(std::span<const std::uint8_t> entries) {
    return detail::packed_max_index_weight(packed_anf(entries));
}

}  // namespace vexil
