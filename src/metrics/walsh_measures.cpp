#include "metrics/walsh_measures.hpp"
#include "metrics/crypto_transform.hpp"
#include "metrics/kernel_variants.hpp"

#include "interrupt.hpp"
#include "memory_guard.hpp"
#include "packed_table.hpp"
#include "panic.hpp"
#include "pool.hpp"
#include "progress.hpp"

#include <algorithm>
#include <bit>
#include <type_traits>

namespace vexil {

namespace {

using detail::magnitude;
using detail::strip_lanes;
using detail::table_bits;

VEXIL_INLINE unsigned popcount64(std::uint64_t x) { return static_cast<unsigned>(__builtin_popcountll(x)); }

// Largest |W(u)|, per slot.
struct MaxAbsVisit {
    static constexpr bool store = false;
    struct alignas(64) Slot {
        std::uint64_t best = 0;
    };
    std::vector<Slot> slots = std::vector<Slot>(pool_size());

    template <class T>
    VEXIL_INLINE void operator()(std::size_t slot, std::size_t, unsigned, T* data, std::size_t row_begin,
                                 std::size_t row_end) {
        using U = std::make_unsigned_t<T>;
        const std::size_t count = (row_end - row_begin) * strip_lanes<T>;
        U best = 0;
        for (std::size_t i = 0; i < count; ++i) best = std::max(best, magnitude(data[i]));
        slots[slot].best = std::max<std::uint64_t>(slots[slot].best, best);
    }

    std::uint64_t result() const {
        std::uint64_t best = 0;
        for (const Slot& s : slots) best = std::max(best, s.best);
        return best;
    }
};

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

std::vector<std::uint64_t> packed(std::span<const std::uint8_t> entries, unsigned n) {
    ensure_working_set(detail::packed_table_bytes(n));
    return detail::pack_entries(entries);
}

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

struct ParityMismatchKernel {
    VEXIL_INLINE static std::uint64_t run(const std::uint64_t* words, std::size_t count, std::uint64_t valid) {
        constexpr std::uint64_t lane_parity = 0x6996966996696996ULL;  // bit x: popcount(x) is odd
        std::uint64_t total = 0;
        for (std::size_t w = 0; w < count; ++w) {
            const std::uint64_t flip = (popcount64(w) & 1U) != 0 ? ~std::uint64_t{0} : 0;
            total += popcount64((words[w] ^ lane_parity ^ flip) & valid);
            if ((w & 0xFFFF) == 0xFFFF) check_interrupt();
        }
        return total;
    }
};

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

std::uint64_t parity_mismatch_count(std::span<const std::uint64_t> words, unsigned n) {
    const std::uint64_t valid = n >= 6 ? ~std::uint64_t{0} : (std::uint64_t{1} << (std::uint64_t{1} << n)) - 1;
    return run_kernel<ParityMismatchKernel>(words.data(), words.size(), valid);
}

FirstOrderCounts first_order_counts(std::span<const std::uint64_t> words, unsigned n) {
    FirstOrderCounts counts;
    counts.with_bit.assign(n, 0);
    run_kernel<FirstOrderKernel>(words.data(), words.size(), n, counts.with_bit.data(), &counts.ones);
    return counts;
}

}  // namespace detail

std::uint64_t max_abs_walsh(std::span<const std::uint8_t> entries) {
    MaxAbsVisit visit;
    if (table_bits(entries) <= narrow_lane_vars) {
        visit_spectrum<std::int32_t>(entries, visit);
    } else {
        visit_spectrum<std::int64_t>(entries, visit);
    }
    return visit.result();
}

unsigned fourier_degree(std::span<const std::uint8_t> entries) {
    const unsigned n = table_bits(entries);
    if (n == 0) return 0;
    // W(2^n - 1) alone decides whether the degree is n, and for almost every
    // function it is non-zero: one pass over the packed table decides.
    if (2 * detail::parity_mismatch_count(packed(entries, n), n) != entries.size()) return n;
    const std::vector<bool> nonzero = nonzero_weights(entries, n);
    for (unsigned k = n; k > 0; --k) {
        if (nonzero[k]) return k;
    }
    return 0;
}

unsigned correlation_immunity(std::span<const std::uint8_t> entries) {
    const unsigned n = table_bits(entries);
    if (n == 0) return 0;
    // Most functions have a non-zero coefficient of weight 1, which the
    // packed table shows without a transform.
    if (!first_order_vanishes(detail::first_order_counts(packed(entries, n), n))) return 0;
    return immunity_from_spectrum(entries, n);
}

int resiliency_order(std::span<const std::uint8_t> entries) {
    const unsigned n = table_bits(entries);
    if (n == 0) return -1;
    const detail::FirstOrderCounts counts = detail::first_order_counts(packed(entries, n), n);
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

}  // namespace vexil
