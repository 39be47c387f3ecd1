#include "metrics/walsh_measures.hpp"
#include "metrics/crypto_transform.hpp"
#include "base/kernel_variants.hpp"

#include "interrupt.hpp"
#include "memory_guard.hpp"
#include "base/packed_table.hpp"
#include "panic.hpp"
#include "pool.hpp"
#include "progress.hpp"

#include <algorithm>
#include <cmath>
#include <bit>
#include <type_traits>

namespace vexil {

namespace {

using detail::magnitude;
using detail::strip_lanes;
using detail::table_bits;

VEXIL_INLINE unsigned popcount64(std::uint64_t x) { return static_cast<unsigned>(__builtin_popcountll(x)); }

// The two measures read off the last pass of a transform, the largest |W(u)|
// and the largest popcount(u) with W(u) != 0, each one row kernel over rows of
// `width` coefficients, row r holding first_k + r * stride + c. The degree
// reads the core's single-threaded blocked transform, whose last pass need not
// write back; so does the largest |W| up to 2^18 entries, and beyond it reads
// the pool's two-level transform, which wins there once a second core is free
// (its cheaper visitor hides the extra pass, where the degree's does not).
struct MaxAbsKernel {
    template <class T>
    VEXIL_INLINE static std::uint64_t run(const T* values, std::size_t count) {
        std::make_unsigned_t<T> best = 0;
        for (std::size_t i = 0; i < count; ++i) best = std::max(best, magnitude(values[i]));
        return best;
    }
};

// A row whose coefficients cannot beat the best so far is skipped unread.
struct DegreeKernel {
    template <class T>
    VEXIL_INLINE static unsigned run(unsigned best, std::uint64_t first_k, const T* values, std::size_t rows,
                                     std::size_t width, std::size_t stride) {
        const auto width_bits = static_cast<unsigned>(std::countr_zero(width));
        for (std::size_t r = 0; r < rows; ++r) {
            const unsigned high = popcount64(first_k + r * stride);
            if (high + width_bits <= best) continue;
            const T* row = values + r * width;
            for (std::size_t c = 0; c < width; ++c) {
                if (row[c] != 0) best = std::max(best, high + popcount64(c));
            }
        }
        return best;
    }
};

// The row kernels as LastPassVisit strips of the core's transform.
template <class T>
void max_abs_strip(void* state, std::uint64_t, const T* values, std::size_t rows, std::size_t width, std::size_t) {
    auto& best = *static_cast<std::uint64_t*>(state);
    best = std::max(best, detail::run_kernel<MaxAbsKernel>(values, rows * width));
}

template <class T>
void degree_strip(void* state, std::uint64_t first_k, const T* values, std::size_t rows, std::size_t width,
                  std::size_t stride) {
    auto& best = *static_cast<unsigned*>(state);
    best = detail::run_kernel<DegreeKernel>(best, first_k, values, rows, width, stride);
}

// The largest |W| as a visitor of the pool's transform (crypto_transform.hpp),
// one best per slot.
struct MaxAbsVisit {
    static constexpr bool store = false;
    struct alignas(64) Slot {
        std::uint64_t best = 0;
    };
    std::vector<Slot> slots = std::vector<Slot>(pool_size());

    template <class T>
    VEXIL_INLINE void operator()(std::size_t slot, std::size_t, unsigned, T* data, std::size_t row_begin,
                                 std::size_t row_end) {
        const std::uint64_t best = MaxAbsKernel::run(data, (row_end - row_begin) * strip_lanes<T>);
        slots[slot].best = std::max(slots[slot].best, best);
    }

    std::uint64_t result() const {
        std::uint64_t best = 0;
        for (const Slot& s : slots) best = std::max(best, s.best);
        return best;
    }
};

// The spectrum of `entries` in T lanes through the core's transform with
// `strip` reading its last pass. A table the pool's transform would split
// reports one progress unit, so that a progress bar still ends complete.
template <class T, class State>
void visit_last_pass(std::span<const std::uint8_t> entries,
                     void (*strip)(void*, std::uint64_t, const T*, std::size_t, std::size_t, std::size_t),
                     State& state) {
    const unsigned n = table_bits(entries);
    const bool counted = detail::split_transform(n).row_bits != 0;
    plan_progress(counted ? 1 : 0);
    detail::Coefficients<T> w(entries.size());
    const detail::LastPassVisit<T> visit{strip, &state};
    detail::transform_in_place(w.data(), n, entries.data(), &visit);
    if (counted && detail::current_progress != nullptr) detail::current_progress->advance(1);
}

// Per weight class k = popcount(u): the sum of W(u)^2 (Squares, n <= 31), or
// the OR of the W(u) (any n), which is non-zero exactly when some W(u) is.
// Accumulated per row weight popcount(first) + popcount(r) and lane, so that
// the inner loop is a plain vector add; the lanes' weights are added at the end.
template <class T, bool Squares>
struct WeightVisit {
    static constexpr bool store = false;
    static constexpr unsigned lanes = strip_lanes<T>;
    unsigned n;
    std::vector<std::vector<std::uint64_t>> slots;

    explicit WeightVisit(unsigned vars)
        : n(vars), slots(pool_size(), std::vector<std::uint64_t>(std::size_t{vars + 1} * lanes)) {}

    VEXIL_INLINE void operator()(std::size_t slot, std::size_t first, unsigned, T* data, std::size_t row_begin,
                                 std::size_t row_end) {
        std::uint64_t* acc = slots[slot].data();
        const unsigned base = popcount64(first);
        for (std::size_t r = row_begin; r < row_end; ++r) {
            std::uint64_t* a = acc + std::size_t{base + popcount64(r)} * lanes;
            const T* row = data + (r - row_begin) * lanes;
            for (unsigned l = 0; l < lanes; ++l) {
                if constexpr (Squares) {
                    // |W| <= 2^31: the square is a 32 x 32 -> 64-bit product.
                    const auto m = static_cast<std::uint32_t>(magnitude(row[l]));
                    a[l] += std::uint64_t{m} * m;
                } else {
                    a[l] |= static_cast<std::uint64_t>(static_cast<std::make_unsigned_t<T>>(row[l]));
                }
            }
        }
    }

    std::vector<std::uint64_t> by_weight() const {
        std::vector<std::uint64_t> out(std::size_t{n} + 1, 0);
        for (const std::vector<std::uint64_t>& acc : slots) {
            for (std::size_t h = 0; h <= n; ++h) {
                for (unsigned l = 0; l < lanes; ++l) {
                    const std::uint64_t value = acc[h * lanes + l];
                    // Lanes beyond a table shorter than a strip row hold zeros.
                    const std::size_t k = h + static_cast<std::size_t>(std::popcount(l));
                    if (value == 0 || k > n) continue;
                    if constexpr (Squares) {
                        out[k] += value;
                    } else {
                        out[k] |= value;
                    }
                }
            }
        }
        return out;
    }
};

// The entropy terms, |W| by |W|: how many coefficients have each |W| / 2
// below `limit` (all |W| have the parity of 2^n), counted per slot; the rare
// larger ones contribute their terms directly.
struct EntropyVisit {
    static constexpr bool store = false;
    unsigned n;
    std::uint64_t limit;
    struct Slot {
        std::vector<std::uint64_t> counts;
        std::vector<double> large;  // the terms of |W| / 2 >= limit
    };
    std::vector<Slot> slots;

    EntropyVisit(unsigned vars, std::uint64_t bound) : n(vars), limit(bound), slots(pool_size()) {}

    // q^2 log2 q for q = |W| / 2^n.
    double term(std::uint64_t m) const {
        const double q = std::ldexp(static_cast<double>(m), -static_cast<int>(n));
        return m == 0 ? 0.0 : q * q * (std::log2(static_cast<double>(m)) - n);
    }

    template <class T>
    VEXIL_INLINE void operator()(std::size_t slot, std::size_t, unsigned, T* data, std::size_t row_begin,
                                 std::size_t row_end) {
        Slot& s = slots[slot];
        if (s.counts.empty()) s.counts.assign(limit, 0);
        std::uint64_t* counts = s.counts.data();
        const std::size_t count = (row_end - row_begin) * strip_lanes<T>;
        const unsigned shift = n == 0 ? 0 : 1;
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint64_t half = magnitude(data[i]) >> shift;
            if (half < limit) {
                ++counts[half];
            } else {
                s.large.push_back(term(half << shift));
            }
        }
    }

    double result() const {
        // Sums in increasing |W|, terms of one sign: no cancellation.
        double total = 0.0;
        const unsigned shift = n == 0 ? 0 : 1;
        for (std::uint64_t half = 1; half < limit; ++half) {
            std::uint64_t count = 0;
            for (const Slot& s : slots) count += s.counts.empty() ? 0 : s.counts[half];
            if (count != 0) total += static_cast<double>(count) * term(half << shift);
        }
        std::vector<double> large;
        for (const Slot& s : slots) large.insert(large.end(), s.large.begin(), s.large.end());
        std::sort(large.begin(), large.end());
        for (const double t : large) total += t;
        return -2.0 * total + 0.0;  // -0.0 (one coefficient) becomes 0.0
    }
};

// Runs the spectrum of `entries` in T lanes into a coefficient array of its
// own with `visit` on the last pass.
template <class T, class Visit>
void visit_spectrum(std::span<const std::uint8_t> entries, Visit& visit) {
    const unsigned n = table_bits(entries);
    ensure_working_set(bytes_plus(bytes_times(entries.size(), sizeof(T)), detail::transform_scratch_bytes<T>(n)));
    plan_progress(detail::transform_units<T>(n));
    detail::Coefficients<T> w(entries.size());
    detail::transform_and_visit(entries, std::span<T>(w.data(), w.size()), visit);
}

// int32 lanes while |W| <= 2^31 (see crypto_transform.hpp), int64 beyond.
inline constexpr unsigned narrow_lane_vars = 31;

// Bit k set when some W(u) with popcount(u) = k is non-zero.
template <class T>
std::vector<std::uint64_t> weight_ors(std::span<const std::uint8_t> entries, unsigned n) {
    WeightVisit<T, false> visit(n);
    visit_spectrum<T>(entries, visit);
    return visit.by_weight();
}

std::vector<bool> nonzero_weights(std::span<const std::uint8_t> entries, unsigned n) {
    const std::vector<std::uint64_t> ors =
        n <= narrow_lane_vars ? weight_ors<std::int32_t>(entries, n) : weight_ors<std::int64_t>(entries, n);
    std::vector<bool> out(ors.size());
    for (std::size_t k = 0; k < ors.size(); ++k) out[k] = ors[k] != 0;
    return out;
}

// W(2^i) = 0 for every variable i: correlation immunity of order at least 1.
bool first_order_vanishes(const detail::FirstOrderCounts& counts) {
    return std::all_of(counts.with_bit.begin(), counts.with_bit.end(),
                       [&](std::uint64_t c) { return 2 * c == counts.ones; });
}

unsigned immunity_from_spectrum(std::span<const std::uint8_t> entries, unsigned n) {
    const std::vector<bool> nonzero = nonzero_weights(entries, n);
    for (unsigned k = 1; k <= n; ++k) {
        if (nonzero[k]) return k - 1;
    }
    return n;
}

struct FirstOrderKernel {
    VEXIL_INLINE static void run(const std::uint64_t* words, std::size_t count, unsigned n, std::uint64_t* with_bit,
                                 std::uint64_t* ones) {
        const unsigned inner = std::min(n, 6U);
        const unsigned outer = n - inner;  // bits of the word index
        std::uint64_t in_word[6] = {};
        std::uint64_t across[64] = {};
        std::uint64_t total = 0;
        for (std::size_t w = 0; w < count; ++w) {
            const std::uint64_t x = words[w];
            const std::uint64_t c = popcount64(x);
            total += c;
            for (unsigned j = 0; j < inner; ++j) in_word[j] += popcount64(x & detail::index_bit_lanes[j]);
            for (unsigned j = 0; j < outer; ++j) across[j] += ((w >> j) & 1U) * c;
            if ((w & 0xFFFF) == 0xFFFF) check_interrupt();
        }
        for (unsigned j = 0; j < inner; ++j) with_bit[j] = in_word[j];
        for (unsigned j = 0; j < outer; ++j) with_bit[inner + j] = across[j];
        *ones = total;
    }
};

}  // namespace

namespace detail {

// Bytes are counted eight at a time in byte lanes: one pass over the table,
// with nothing to allocate.
std::uint64_t parity_mismatch_count(std::span<const std::uint8_t> entries) {
    const std::uint8_t* data = entries.data();
    const std::uint64_t size = entries.size();
    if (size < 64) {
        std::uint64_t count = 0;
        for (std::uint64_t x = 0; x < size; ++x) count += (data[x] != 0) != (std::popcount(x) % 2 == 1);
        return count;
    }
    // Parity of x for x = 8t..8t+7 as 0/1 bytes, t = 0..7.
    std::array<std::uint64_t, 8> pattern{};
    for (unsigned x = 0; x < 64; ++x) {
        pattern[x / 8] |= static_cast<std::uint64_t>(std::popcount(x) % 2) << (8 * (x % 8));
    }
    constexpr std::uint64_t ones = 0x0101010101010101ULL;
    constexpr std::uint64_t even = 0x00FF00FF00FF00FFULL;
    std::uint64_t count = 0;
    for (std::uint64_t base = 0; base < size;) {
        // At most 31 groups of eight words: a byte lane gathers at most 248.
        const std::uint64_t end = std::min(size, base + 31 * 64);
        std::uint64_t lanes = 0;
        for (; base < end; base += 64) {
            const std::uint64_t flip = (std::popcount(base >> 6) % 2 == 1) ? ones : 0;
            for (unsigned t = 0; t < 8; ++t) {
                std::uint64_t word;
                std::memcpy(&word, data + base + 8 * t, sizeof word);
                lanes += word ^ pattern[t] ^ flip;
            }
        }
        const std::uint64_t pairs = (lanes & even) + ((lanes >> 8) & even);
        count += (pairs * 0x0001000100010001ULL) >> 48;
        check_interrupt();
    }
    return count;
}

FirstOrderCounts first_order_counts(std::span<const std::uint64_t> words, unsigned n) {
    FirstOrderCounts counts;
    counts.with_bit.assign(n, 0);
    run_kernel<FirstOrderKernel>(words.data(), words.size(), n, counts.with_bit.data(), &counts.ones);
    return counts;
}

}  // namespace detail

std::uint64_t max_abs_walsh(std::span<const std::uint8_t> entries) {
    const unsigned n = table_bits(entries);
    if (n <= 18) {
        std::uint64_t best = 0;
        visit_last_pass<std::int32_t>(entries, max_abs_strip<std::int32_t>, best);
        return best;
    }
    MaxAbsVisit visit;
    if (n <= narrow_lane_vars) {
        visit_spectrum<std::int32_t>(entries, visit);
    } else {
        visit_spectrum<std::int64_t>(entries, visit);
    }
    return visit.result();
}

std::uint64_t nonlinearity(std::span<const std::uint8_t> entries) {
    if (table_bits(entries) == 0) return 0;
    return nonlinearity_of(entries.size(), max_abs_walsh(entries));
}

unsigned fourier_degree(std::span<const std::uint8_t> entries) {
    const unsigned n = table_bits(entries);
    if (n == 0) return 0;
    // W(2^n - 1) alone decides whether the degree is n, and for almost every
    // function it is non-zero: one pass over the table decides.
    if (2 * detail::parity_mismatch_count(entries) != entries.size()) return n;
    unsigned best = 0;
    if (n <= 30) {
        visit_last_pass<std::int32_t>(entries, degree_strip<std::int32_t>, best);
    } else {
        visit_last_pass<std::int64_t>(entries, degree_strip<std::int64_t>, best);
    }
    return best;
}

unsigned correlation_immunity(std::span<const std::uint8_t> entries) {
    const unsigned n = table_bits(entries);
    if (n == 0) return 0;
    // Most functions have a non-zero coefficient of weight 1, which the
    // packed table shows without a transform.
    if (!first_order_vanishes(detail::first_order_counts(pack_guarded(entries), n))) return 0;
    return immunity_from_spectrum(entries, n);
}

int resiliency_order(std::span<const std::uint8_t> entries) {
    const unsigned n = table_bits(entries);
    if (n == 0) return -1;
    const detail::FirstOrderCounts counts = detail::first_order_counts(pack_guarded(entries), n);
    if (2 * counts.ones != entries.size()) return -1;
    if (!first_order_vanishes(counts)) return 0;
    return static_cast<int>(immunity_from_spectrum(entries, n));
}

std::vector<std::uint64_t> walsh_weight_sums(std::span<const std::uint8_t> entries) {
    const unsigned n = table_bits(entries);
    if (n > max_square_sum_vars) panic("walsh_weight_sums: more than 31 variables");
    WeightVisit<std::int32_t, true> visit(n);
    visit_spectrum<std::int32_t>(entries, visit);
    return visit.by_weight();
}

double spectral_entropy_bits(std::span<const std::uint8_t> entries) {
    const unsigned n = table_bits(entries);
    // Counters for |W| up to 2^(n/2 + 4), past the largest |W| of almost every
    // function (random ones stay within about sqrt(2 n ln 2) 2^(n/2)), yet no
    // more than fit L2 beside the strips: 2^15.
    const unsigned bits = n == 0 ? 1 : std::min({n, n / 2 + 3, 15U});
    const std::uint64_t limit = (std::uint64_t{1} << bits) + 1;
    ensure_working_set(bytes_times(pool_size(), limit * sizeof(std::uint64_t)));
    EntropyVisit visit(n, limit);
    if (n <= narrow_lane_vars) {
        visit_spectrum<std::int32_t>(entries, visit);
    } else {
        visit_spectrum<std::int64_t>(entries, visit);
    }
    return visit.result();
}

}  // namespace vexil
