#include "metrics/sensitivity.hpp"
#include "base/kernel_variants.hpp"

#include "interrupt.hpp"
#include "memory_guard.hpp"
#include "metrics/spectral.hpp"
#include "pool.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

namespace vexil {

namespace {

// The word loops below are written so that the compiler vectorises them and are
// compiled once per instruction-set variant (detail::run_kernel); the baseline
// has no popcount instruction and calls a library routine per popcount.

VEXIL_INLINE unsigned popcount64(std::uint64_t x) { return static_cast<unsigned>(__builtin_popcountll(x)); }

// Per direction j, the inputs whose partner across j has the other value.
VEXIL_INLINE void influence_counts_body(const std::uint64_t* t, std::size_t count, unsigned n, std::uint64_t* out) {
    // Directions inside a word: one pass over the table for all of them.
    const unsigned inner = std::min(n, 6U);
    std::uint64_t within[6] = {};
    for (std::size_t w = 0; w < count; ++w) {
        const std::uint64_t x = t[w];
        for (unsigned j = 0; j < inner; ++j) within[j] += popcount64(detail::in_word_flip_difference(x, j));
        if ((w & 0xFFFF) == 0xFFFF) check_interrupt();
    }
    for (unsigned j = 0; j < inner; ++j) out[j] = within[j];
    // Each pair of words joined by direction j >= 6 is visited once and counts
    // for both ends.
    for (unsigned j = 6; j < n; ++j) {
        const std::size_t stride = std::size_t{1} << (j - 6);
        std::uint64_t pairs = 0;
        for (std::size_t base = 0; base < count; base += 2 * stride) {
            const std::uint64_t* a = t + base;
            const std::uint64_t* b = a + stride;
            for (std::size_t i = 0; i < stride; ++i) pairs += popcount64(a[i] ^ b[i]);
            if ((base & 0xFFFF) == 0) check_interrupt();
        }
        out[j] = 2 * pairs;
    }
}

// Every sensitive edge seen from both ends: the influence counts summed.
VEXIL_INLINE std::uint64_t sensitivity_sum_body(const std::uint64_t* t, std::size_t count, unsigned n) {
    std::uint64_t counts[64] = {};
    influence_counts_body(t, count, n, counts);
    std::uint64_t total = 0;
    for (unsigned j = 0; j < n; ++j) total += counts[j];
    return total;
}

// Sensitivities of 64 * chunk_words inputs at a time, held bit-sliced: plane p
// of word i has bit l set when bit p of s(x) is, for x = 64 * i + l.
constexpr std::size_t chunk_words = 256;

// Byte k of spread_bits[b] is bit k of b: eight lanes of a plane widened to bytes.
constexpr std::array<std::uint64_t, 256> spread_bits = [] {
    std::array<std::uint64_t, 256> table{};
    for (unsigned b = 0; b < 256; ++b) {
        for (unsigned k = 0; k < 8; ++k) table[b] |= std::uint64_t{(b >> k) & 1U} << (8 * k);
    }
    return table;
}();

template <unsigned Planes>
struct Counters {
    std::array<std::uint64_t, Planes * chunk_words> plane{};

    VEXIL_INLINE void add(std::size_t i, std::uint64_t bits) {
        for (unsigned p = 0; p < Planes; ++p) {
            const std::uint64_t c = plane[p * chunk_words + i];
            plane[p * chunk_words + i] = c ^ bits;
            bits &= c;
        }
    }

    // Lanes of word i whose count exceeds `bound`.
    VEXIL_INLINE std::uint64_t above(std::size_t i, unsigned bound) const {
        std::uint64_t greater = 0;
        std::uint64_t equal = ~std::uint64_t{0};
        for (unsigned p = Planes; p-- > 0;) {
            const std::uint64_t c = plane[p * chunk_words + i];
            const std::uint64_t b = ((bound >> p) & 1U) != 0 ? ~std::uint64_t{0} : 0;
            greater |= equal & c & ~b;
            equal &= ~(c ^ b);
        }
        return greater;
    }

    // Largest count among the lanes of word i set in `lanes`.
    unsigned max_in(std::size_t i, std::uint64_t lanes) const {
        unsigned best = 0;
        for (unsigned p = Planes; p-- > 0;) {
            const std::uint64_t hit = lanes & plane[p * chunk_words + i];
            if (hit != 0) {
                lanes = hit;
                best |= 1U << p;
            }
        }
        return best;
    }

    // Least count among the lanes of word i set in `lanes` (not empty).
    VEXIL_INLINE unsigned min_in(std::size_t i, std::uint64_t lanes) const {
        unsigned least = 0;
        for (unsigned p = Planes; p-- > 0;) {
            const std::uint64_t miss = lanes & ~plane[p * chunk_words + i];
            if (miss != 0) {
                lanes = miss;
            } else {
                least |= 1U << p;
            }
        }
        return least;
    }

    // Sum of the counts of the lanes of word i set in `lanes`.
    VEXIL_INLINE std::uint64_t sum_in(std::size_t i, std::uint64_t lanes) const {
        std::uint64_t sum = 0;
        for (unsigned p = 0; p < Planes; ++p) sum += std::uint64_t{popcount64(lanes & plane[p * chunk_words + i])} << p;
        return sum;
    }

    // The counts of the 64 lanes of word i as bytes, lane l at out[l]; only the
    // first `lanes` of them are written.
    VEXIL_INLINE void unpack(std::size_t i, std::uint8_t* out, unsigned lanes) const {
        for (unsigned group = 0; group < 8 && 8 * group < lanes; ++group) {
            std::uint64_t bytes = 0;
            for (unsigned p = 0; p < Planes; ++p) {
                bytes |= spread_bits[(plane[p * chunk_words + i] >> (8 * group)) & 0xFF] << p;
            }
            const unsigned width = std::min(8U, lanes - 8 * group);
            if constexpr (std::endian::native == std::endian::little) {
                std::memcpy(out + 8 * group, &bytes, width);
            } else {
                for (unsigned k = 0; k < width; ++k) out[8 * group + k] = static_cast<std::uint8_t>(bytes >> (8 * k));
            }
        }
    }
};

// The sensitivities of the chunk of inputs starting at word `first`, into
// `counters` (cleared first).
template <unsigned Planes>
VEXIL_INLINE void count_chunk(const std::uint64_t* t, unsigned n, std::size_t first, std::size_t chunk,
                              Counters<Planes>& counters) {
    const unsigned inner = std::min(n, 6U);
    counters.plane.fill(0);
    const std::uint64_t* c = t + first;
    for (unsigned j = 0; j < inner; ++j) {
        for (std::size_t i = 0; i < chunk; ++i) counters.add(i, detail::in_word_flip_difference(c[i], j));
    }
    for (unsigned j = 6; j < n; ++j) {
        const std::size_t stride = std::size_t{1} << (j - 6);
        if (stride >= chunk) {
            const std::uint64_t* partner = t + (first ^ stride);
            for (std::size_t i = 0; i < chunk; ++i) counters.add(i, c[i] ^ partner[i]);
        } else {
            for (std::size_t base = 0; base < chunk; base += 2 * stride) {
                for (std::size_t i = base; i < base + stride; ++i) {
                    const std::uint64_t d = c[i] ^ c[i + stride];
                    counters.add(i, d);
                    counters.add(i + stride, d);
                }
            }
        }
    }
}

template <unsigned Planes>
VEXIL_INLINE std::uint32_t max_sensitivity_body(const std::uint64_t* t, std::size_t count, unsigned n) {
    const std::size_t chunk = std::min(count, chunk_words);
    Counters<Planes> counters;
    unsigned best = 0;
    for (std::size_t first = 0; first < count; first += chunk) {
        count_chunk(t, n, first, chunk, counters);
        std::uint64_t any = 0;
        for (std::size_t i = 0; i < chunk; ++i) any |= counters.above(i, best);
        if (any != 0) {
            for (std::size_t i = 0; i < chunk; ++i) best = std::max(best, counters.max_in(i, ~std::uint64_t{0}));
            if (best == n) break;
        }
        check_interrupt();
    }
    return best;
}

VEXIL_INLINE std::uint32_t max_sensitivity_dispatch(const std::uint64_t* t, std::size_t count, unsigned n) {
    switch (std::bit_width(n)) {
        case 1:
            return max_sensitivity_body<1>(t, count, n);
        case 2:
            return max_sensitivity_body<2>(t, count, n);
        case 3:
            return max_sensitivity_body<3>(t, count, n);
        case 4:
            return max_sensitivity_body<4>(t, count, n);
        case 5:
            return max_sensitivity_body<5>(t, count, n);
        default:
            return max_sensitivity_body<6>(t, count, n);
    }
}

// The chunks [begin, end) of the table: min, max and sum over the filtered
// inputs, the counts of all of them written to out.
template <unsigned Planes>
VEXIL_INLINE SensitivityStats stats_body(const std::uint64_t* t, std::size_t count, unsigned n, std::size_t begin,
                                         std::size_t end, const std::uint64_t* filter, std::uint8_t* out) {
    const std::size_t chunk = std::min(count, chunk_words);
    // A table of fewer than 64 entries fills the low lanes of its one word.
    const unsigned lanes_used = n < 6 ? 1U << n : 64U;
    const std::uint64_t valid = n < 6 ? (std::uint64_t{1} << lanes_used) - 1 : ~std::uint64_t{0};
    Counters<Planes> counters;
    SensitivityStats stats;
    stats.min = ~std::uint32_t{0};
    for (std::size_t index = begin; index < end; ++index) {
        const std::size_t first = index * chunk;
        count_chunk(t, n, first, chunk, counters);
        for (std::size_t i = 0; i < chunk; ++i) {
            const std::uint64_t lanes = (filter != nullptr ? filter[first + i] : ~std::uint64_t{0}) & valid;
            if (lanes != 0) {
                stats.max = std::max(stats.max, counters.max_in(i, lanes));
                stats.min = std::min(stats.min, counters.min_in(i, lanes));
                stats.sum += counters.sum_in(i, lanes);
                stats.inputs += popcount64(lanes);
            }
            if (out != nullptr) counters.unpack(i, out + 64 * (first + i), lanes_used);
        }
        check_interrupt();
    }
    return stats;
}

struct StatsKernel {
    VEXIL_INLINE static SensitivityStats run(const std::uint64_t* t, std::size_t count, unsigned n, std::size_t begin,
                                             std::size_t end, const std::uint64_t* filter, std::uint8_t* out) {
        switch (std::bit_width(n)) {
            case 0:
            case 1:
                return stats_body<1>(t, count, n, begin, end, filter, out);
            case 2:
                return stats_body<2>(t, count, n, begin, end, filter, out);
            case 3:
                return stats_body<3>(t, count, n, begin, end, filter, out);
            case 4:
                return stats_body<4>(t, count, n, begin, end, filter, out);
            case 5:
                return stats_body<5>(t, count, n, begin, end, filter, out);
            default:
                return stats_body<6>(t, count, n, begin, end, filter, out);
        }
    }
};

struct SensitivitySumKernel {
    VEXIL_INLINE static std::uint64_t run(const std::uint64_t* t, std::size_t count, unsigned n) {
        return sensitivity_sum_body(t, count, n);
    }
};

struct InfluenceCountsKernel {
    VEXIL_INLINE static void run(const std::uint64_t* t, std::size_t count, unsigned n, std::uint64_t* out) {
        influence_counts_body(t, count, n, out);
    }
};

struct MaxSensitivityKernel {
    VEXIL_INLINE static std::uint32_t run(const std::uint64_t* t, std::size_t count, unsigned n) {
        return max_sensitivity_dispatch(t, count, n);
    }
};

}  // namespace

namespace detail {

std::uint64_t packed_sensitivity_sum(std::span<const std::uint64_t> words, unsigned n) {
    return run_kernel<SensitivitySumKernel>(words.data(), words.size(), n);
}

std::uint32_t packed_max_sensitivity(std::span<const std::uint64_t> words, unsigned n) {
    if (n == 0) return 0;
    return run_kernel<MaxSensitivityKernel>(words.data(), words.size(), n);
}

}  // namespace detail

void packed_influence_counts(std::span<const std::uint64_t> words, unsigned n, std::uint64_t* out) {
    detail::run_kernel<InfluenceCountsKernel>(words.data(), words.size(), n, out);
}

SensitivityStats packed_sensitivity_stats(std::span<const std::uint64_t> words, unsigned n, const std::uint64_t* filter,
                                          std::uint8_t* out) {
    const std::size_t count = words.size();
    const std::size_t chunks = count / std::min(count, chunk_words);
    SensitivityStats stats;
    // Chunks are independent (they only read their partners): from 16 of them
    // on (n >= 18) they are shared out, four to a piece, and combined in order.
    constexpr std::size_t pooled_from = 16;
    if (chunks < pooled_from) {
        stats = detail::run_kernel<StatsKernel>(words.data(), count, n, std::size_t{0}, chunks, filter, out);
    } else {
        constexpr std::size_t grain = 4;
        std::vector<SensitivityStats> pieces((chunks + grain - 1) / grain);
        parallel_for(pieces.size(), 1, [&](std::uint64_t begin, std::uint64_t end, std::size_t) {
            for (std::uint64_t piece = begin; piece < end; ++piece) {
                const std::size_t first = static_cast<std::size_t>(piece) * grain;
                pieces[piece] = detail::run_kernel<StatsKernel>(words.data(), count, n, first,
                                                                std::min(chunks, first + grain), filter, out);
            }
        });
        stats.min = ~std::uint32_t{0};
        for (const SensitivityStats& piece : pieces) {
            if (piece.inputs == 0) continue;
            stats.min = std::min(stats.min, piece.min);
            stats.max = std::max(stats.max, piece.max);
            stats.sum += piece.sum;
            stats.inputs += piece.inputs;
        }
    }
    if (stats.inputs == 0) stats = SensitivityStats{};
    return stats;
}

std::vector<std::uint64_t> influence_counts(const FValue& f) {
    ensure_working_set(packed_table_bytes(f.n_vars()));
    const std::vector<std::uint64_t> words = detail::pack_table(f);
    std::vector<std::uint64_t> counts(f.n_vars());
    packed_influence_counts(words, f.n_vars(), counts.data());
    return counts;
}

std::uint32_t max_sensitivity(const FValue& f) {
    ensure_working_set(packed_table_bytes(f.n_vars()));
    const std::vector<std::uint64_t> words = detail::pack_table(f);
    return detail::packed_max_sensitivity(words, f.n_vars());
}

std::uint64_t sensitivity_sum(const FValue& f) {
    ensure_working_set(packed_table_bytes(f.n_vars()));
    const std::vector<std::uint64_t> words = detail::pack_table(f);
    return detail::packed_sensitivity_sum(words, f.n_vars());
}

float mean_sensitivity(const FValue& f) {
    return static_cast<float>(sensitivity_sum(f)) / static_cast<float>(f.size());
}

float influence(const FValue& f, std::uint64_t var) {
    // No coefficient has a bit at or above n: the empty sum.
    if (var >= f.n_vars()) return -0.0f;
    return detail::with_spectrum(f, [&](auto w) {
        const detail::Normaliser normalise(f.size());
        const std::size_t bit = std::size_t{1} << var;
        float sum = -0.0f;
        // (k + 1) | bit is the next k above k with the bit set: increasing order.
        std::size_t visited = 0;
        for (std::size_t k = bit; k < w.size(); k = (k + 1) | bit) {
            const float c = normalise(w[k]);
            sum += c * c;
            if ((++visited & 0xFFFF) == 0) check_interrupt();
        }
        return sum;
    });
}

float total_influence(const FValue& f) {
    return detail::with_spectrum(f, [&](auto w) {
        const detail::Normaliser normalise(f.size());
        // popcount(k) as popcount of the high part plus a table for the low byte:
        // the baseline build has no popcount instruction.
        std::array<unsigned char, 256> low_weight{};
        for (unsigned b = 0; b < 256; ++b) low_weight[b] = static_cast<unsigned char>(std::popcount(b));
        float sum = -0.0f;
        for (std::size_t high = 0; high < w.size(); high += 256) {
            const unsigned high_weight = static_cast<unsigned>(std::popcount(high));
            const std::size_t end = std::min<std::size_t>(w.size(), high + 256);
            for (std::size_t k = std::max<std::size_t>(high, 1); k < end; ++k) {
                const float c = normalise(w[k]);
                sum += static_cast<float>(high_weight + low_weight[k - high]) * (c * c);
            }
            if ((high & 0xFFFF) == 0) check_interrupt();
        }
        return sum;
    });
}

}  // namespace vexil
