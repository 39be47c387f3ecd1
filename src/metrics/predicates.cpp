#include "metrics/predicates.hpp"
#include "metrics/autocorrelation.hpp"
#include "metrics/crypto_transform.hpp"
#include "metrics/sensitivity.hpp"
#include "metrics/walsh_measures.hpp"
#include "base/kernel_variants.hpp"
#include "base/packed_table.hpp"

#include "interrupt.hpp"
#include "memory_guard.hpp"
#include "panic.hpp"
#include "pool.hpp"
#include "progress.hpp"

#include <algorithm>
#include <bit>
#include <limits>
#include <type_traits>

namespace vexil {

namespace {

using detail::index_bit_lanes;
using detail::magnitude;
using detail::strip_lanes;

// Words between interrupt polls and early-exit checks.
constexpr std::size_t poll_words = std::size_t{1} << 12;

// The lanes of a word that hold entries: all 64 from n = 6 on.
std::uint64_t valid_lanes(unsigned n) { return n >= 6 ? ~std::uint64_t{0} : (std::uint64_t{1} << (1U << n)) - 1; }

unsigned packed_bits(std::span<const std::uint64_t> words, unsigned n) {
    if (words.size() != (n < 6 ? 1 : std::size_t{1} << (n - 6))) panic("a packed table of the wrong length");
    return n;
}

std::uint64_t reverse_bits(std::uint64_t x) {
    x = ((x >> 1) & 0x5555555555555555ULL) | ((x & 0x5555555555555555ULL) << 1);
    x = ((x >> 2) & 0x3333333333333333ULL) | ((x & 0x3333333333333333ULL) << 2);
    x = ((x >> 4) & 0x0F0F0F0F0F0F0F0FULL) | ((x & 0x0F0F0F0F0F0F0F0FULL) << 4);
    return __builtin_bswap64(x);
}

// The edges of direction j among words [from, to): ORs into *rise the lanes
// whose entry is false and the one across the edge (bit j set) true, into
// *fall those where it is the other way. Beyond the sixth variable the words
// w in [from, to) with bit j - 6 clear are compared with word w + 2^(j-6).
// Branch-free, so that it vectorises.
struct EdgeKernel {
    VEXIL_INLINE static void run(const std::uint64_t* words, std::size_t from, std::size_t to, unsigned j,
                                 std::uint64_t* rise, std::uint64_t* fall) {
        std::uint64_t up = 0;
        std::uint64_t down = 0;
        if (j < 6) {
            const std::uint64_t keep = ~index_bit_lanes[j];
            const unsigned shift = 1U << j;
            for (std::size_t w = from; w < to; ++w) {
                const std::uint64_t low = words[w] & keep;
                const std::uint64_t high = (words[w] >> shift) & keep;
                up |= ~low & high;
                down |= low & ~high;
            }
        } else {
            const std::size_t stride = std::size_t{1} << (j - 6);
            for (std::size_t base = from & ~(2 * stride - 1); base < to; base += 2 * stride) {
                const std::size_t first = std::max(base, from);
                const std::size_t last = std::min(base + stride, to);
                for (std::size_t w = first; w < last; ++w) {
                    const std::uint64_t low = words[w];
                    const std::uint64_t high = words[w + stride];
                    up |= ~low & high;
                    down |= low & ~high;
                }
            }
        }
        *rise |= up;
        *fall |= down;
    }
};

// The largest and the least non-zero |W(u)| over the visited coefficients, one
// pair per pool slot; the least is kept as |W| - 1 in unsigned lanes, so that
// zero wraps to the largest value and never wins. Branch-free: vectorised.
struct AmplitudeVisit {
    static constexpr bool store = false;
    struct alignas(64) Slot {
        std::uint64_t largest = 0;
        std::uint64_t least_minus_one = std::numeric_limits<std::uint64_t>::max();
    };
    std::vector<Slot> slots = std::vector<Slot>(pool_size());

    template <class T>
    VEXIL_INLINE void operator()(std::size_t slot, std::size_t, unsigned, T* data, std::size_t row_begin,
                                 std::size_t row_end) {
        using U = std::make_unsigned_t<T>;
        const std::size_t count = (row_end - row_begin) * strip_lanes<T>;
        U largest = 0;
        U least = std::numeric_limits<U>::max();
        for (std::size_t i = 0; i < count; ++i) {
            const U m = magnitude(data[i]);
            largest = std::max(largest, m);
            least = std::min(least, static_cast<U>(m - 1));
        }
        Slot& s = slots[slot];
        s.largest = std::max<std::uint64_t>(s.largest, largest);
        // A lane type's wrapped zero is its own maximum: widen it as "none".
        const std::uint64_t wide =
            least == std::numeric_limits<U>::max() ? std::numeric_limits<std::uint64_t>::max() : std::uint64_t{least};
        s.least_minus_one = std::min(s.least_minus_one, wide);
    }

    std::uint64_t amplitude() const {
        std::uint64_t largest = 0;
        std::uint64_t least = std::numeric_limits<std::uint64_t>::max();
        for (const Slot& s : slots) {
            largest = std::max(largest, s.largest);
            least = std::min(least, s.least_minus_one);
        }
        return least + 1 == largest ? largest : 0;
    }
};

template <class T>
std::uint64_t amplitude_from_spectrum(std::span<const std::uint8_t> entries, unsigned n) {
    ensure_working_set(bytes_plus(bytes_times(entries.size(), sizeof(T)), detail::transform_scratch_bytes<T>(n)));
    plan_progress(detail::transform_units<T>(n));
    detail::Coefficients<T> w(entries.size());
    AmplitudeVisit visit;
    detail::transform_and_visit(entries, std::span<T>(w.data(), w.size()), visit);
    return visit.amplitude();
}

std::vector<std::uint64_t> packed(std::span<const std::uint8_t> entries) {
    detail::table_bits(entries);  // a Panic unless the length is a power of two
    return pack_guarded(entries);
}

}  // namespace

UnateDirections unate_directions(std::span<const std::uint64_t> words, unsigned n) {
    packed_bits(words, n);
    std::vector<std::uint64_t> rising(n, 0), falling(n, 0);
    const auto variables = [&](std::uint64_t begin, std::uint64_t end, std::size_t) {
        for (auto j = static_cast<unsigned>(begin); j < end; ++j) {
            for (std::size_t from = 0; from < words.size() && (rising[j] == 0 || falling[j] == 0); from += poll_words) {
                const std::size_t to = std::min(words.size(), from + poll_words);
                detail::run_kernel<EdgeKernel>(words.data(), from, to, j, &rising[j], &falling[j]);
                check_interrupt();
            }
        }
    };
    // One variable a chunk: each is a pass over the table, worth the pool from 2^20 entries on.
    if (words.size() >= (std::size_t{1} << 14)) {
        parallel_for(n, 1, variables);
    } else {
        variables(0, n, 0);
    }
    UnateDirections d;
    for (unsigned j = 0; j < n; ++j) {
        if (rising[j] != 0) d.rising |= std::uint64_t{1} << j;
        if (falling[j] != 0) d.falling |= std::uint64_t{1} << j;
    }
    return d;
}

bool is_symmetric(std::span<const std::uint64_t> words, unsigned n) {
    packed_bits(words, n);
    // by_weight[p]: the lanes whose index has p bits set.
    std::uint64_t by_weight[7] = {};
    for (unsigned lane = 0; lane < 64; ++lane) {
        by_weight[std::popcount(lane)] |= std::uint64_t{1} << lane;
    }
    const std::uint64_t valid = valid_lanes(n);
    const unsigned inner = std::min(n, 6U);
    // Bit k: some true (false) input of weight k.
    std::uint64_t trues = 0;
    std::uint64_t falses = 0;
    for (std::size_t begin = 0; begin < words.size(); begin += poll_words) {
        const std::size_t end = std::min(words.size(), begin + poll_words);
        for (std::size_t w = begin; w < end; ++w) {
            const std::uint64_t x = words[w];
            const auto base = static_cast<unsigned>(std::popcount(w));
            for (unsigned p = 0; p <= inner; ++p) {
                const std::uint64_t lanes = by_weight[p] & valid;
                trues |= static_cast<std::uint64_t>((x & lanes) != 0) << (base + p);
                falses |= static_cast<std::uint64_t>((~x & lanes) != 0) << (base + p);
            }
        }
        if ((trues & falses) != 0) return false;
        check_interrupt();
    }
    return (trues & falses) == 0;
}

bool is_self_dual(std::span<const std::uint64_t> words, unsigned n) {
    packed_bits(words, n);
    if (n == 0) return false;
    if (n <= 6) {
        // Entry x ^ (2^n - 1) is entry 2^n - 1 - x: the table reversed within its 2^n lanes.
        const std::uint64_t valid = valid_lanes(n);
        return (reverse_bits(words[0]) >> (64 - (1U << n))) == (~words[0] & valid);
    }
    const std::size_t count = words.size();
    for (std::size_t begin = 0; begin < count / 2; begin += poll_words) {
        const std::size_t end = std::min(count / 2, begin + poll_words);
        for (std::size_t w = begin; w < end; ++w) {
            if (words[w] != ~reverse_bits(words[count - 1 - w])) return false;
        }
        check_interrupt();
    }
    return true;
}

bool is_affine(std::span<const std::uint64_t> words, unsigned n) {
    packed_bits(words, n);
    const std::uint64_t valid = valid_lanes(n);
    const bool constant = (words[0] & 1U) != 0;
    // The word the affine candidate has at word index 0, and the index bits
    // (variables 6 and up) that flip a whole word.
    std::uint64_t pattern = constant ? valid : 0;
    for (unsigned j = 0; j < std::min(n, 6U); ++j) {
        if ((((words[0] >> (1U << j)) ^ words[0]) & 1U) != 0) pattern ^= index_bit_lanes[j] & valid;
    }
    std::size_t flips = 0;
    for (unsigned j = 6; j < n; ++j) {
        const std::size_t stride = std::size_t{1} << (j - 6);
        if (((words[stride] ^ words[0]) & 1U) != 0) flips |= stride;
    }
    for (std::size_t begin = 0; begin < words.size(); begin += poll_words) {
        const std::size_t end = std::min(words.size(), begin + poll_words);
        for (std::size_t w = begin; w < end; ++w) {
            const std::uint64_t expected = std::popcount(w & flips) % 2 == 1 ? ~pattern : pattern;
            if (words[w] != expected) return false;
        }
        check_interrupt();
    }
    return true;
}

std::uint64_t plateaued_amplitude(std::span<const std::uint8_t> entries) {
    const unsigned n = detail::table_bits(entries);
    if (n == 0) return 1;
    // W(0) = 2^n - 2 weight is either zero or the amplitude, which for a
    // plateaued function is a power of two (4^n / amplitude^2 coefficients are
    // non-zero); affine functions have 2^n.
    {
        const std::vector<std::uint64_t> words = packed(entries);
        const std::uint64_t weight = packed_weight(words);
        const std::uint64_t w0 =
            weight * 2 > entries.size() ? 2 * weight - entries.size() : entries.size() - 2 * weight;
        if (w0 != 0 && !std::has_single_bit(w0)) return 0;
        if (is_affine(words, n)) return entries.size();
    }
    return n <= 31 ? amplitude_from_spectrum<std::int32_t>(entries, n)
                   : amplitude_from_spectrum<std::int64_t>(entries, n);
}

bool strict_avalanche(std::span<const std::uint64_t> words, unsigned n) {
    packed_bits(words, n);
    if (n == 0) return false;
    std::vector<std::uint64_t> counts(n);
    packed_influence_counts(words, n, counts.data());
    const std::uint64_t half = std::uint64_t{1} << (n - 1);
    return std::all_of(counts.begin(), counts.end(), [&](std::uint64_t c) { return c == half; });
}

unsigned propagation_criterion(std::span<const std::uint8_t> entries) {
    const unsigned n = detail::table_bits(entries);
    if (!strict_avalanche(packed(entries), n)) return 0;
    if (n > max_autocorrelation_vars) panic("propagation_criterion: more than 31 variables");
    ensure_working_set(bytes_times(entries.size(), sizeof(std::int64_t)));
    std::vector<std::int64_t> r(entries.size());
    autocorrelation_into(entries, r);
    unsigned least = n + 1;  // the least popcount(a) of an a != 0 with r(a) != 0
    for (std::size_t a = 1; a < r.size(); ++a) {
        if (r[a] != 0) least = std::min(least, static_cast<unsigned>(std::popcount(a)));
        if ((a & 0xFFFFF) == 0) check_interrupt();
    }
    return least - 1;
}

std::vector<std::int64_t> chow_parameters(std::span<const std::uint64_t> words, unsigned n) {
    packed_bits(words, n);
    const detail::FirstOrderCounts counts = detail::first_order_counts(words, n);
    const auto size = static_cast<std::int64_t>(std::uint64_t{1} << n);
    const auto ones = static_cast<std::int64_t>(counts.ones);
    std::vector<std::int64_t> out;
    out.reserve(std::size_t{n} + 1);
    out.push_back(size - 2 * ones);
    for (const std::uint64_t with_bit : counts.with_bit)
        out.push_back(4 * static_cast<std::int64_t>(with_bit) - 2 * ones);
    return out;
}

}  // namespace vexil
