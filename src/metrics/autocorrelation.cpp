#include "metrics/autocorrelation.hpp"
#include "metrics/crypto_transform.hpp"
#include "base/kernel_variants.hpp"

#include "memory_guard.hpp"
#include "panic.hpp"
#include "pool.hpp"
#include "progress.hpp"

#include <algorithm>
#include <string>

namespace vexil {

namespace {

constexpr unsigned lanes = detail::strip_lanes<std::int64_t>;

__extension__ typedef unsigned __int128 uint128;

using detail::magnitude;

// W(u)^2 for |W(u)| <= 2^31 (in either lane width): a 32 x 32 -> 64-bit product.
template <class T>
VEXIL_INLINE std::uint64_t square(T w) {
    const auto m = static_cast<std::uint32_t>(magnitude(w));
    return std::uint64_t{m} * m;
}

// Replaces each W(u) by W(u)^2: the input of the second transform.
struct SquareStore {
    static constexpr bool store = true;
    VEXIL_INLINE void operator()(std::size_t, std::size_t, unsigned, std::int64_t* data, std::size_t row_begin,
                                 std::size_t row_end) {
        const std::size_t count = (row_end - row_begin) * lanes;
        for (std::size_t i = 0; i < count; ++i) data[i] = static_cast<std::int64_t>(square(data[i]));
    }
};

// 2^n r(a) -> r(a); the shift of a multiple of 2^n is exact.
struct ShiftStore {
    static constexpr bool store = true;
    unsigned n;
    VEXIL_INLINE void operator()(std::size_t, std::size_t, unsigned, std::int64_t* data, std::size_t row_begin,
                                 std::size_t row_end) {
        const std::size_t count = (row_end - row_begin) * lanes;
        for (std::size_t i = 0; i < count; ++i) data[i] >>= n;
    }
};

// Largest |2^n r(a)| over a != 0.
struct AbsMaxVisit {
    static constexpr bool store = false;
    struct alignas(64) Slot {
        std::uint64_t best = 0;
    };
    std::vector<Slot> slots = std::vector<Slot>(pool_size());

    VEXIL_INLINE void operator()(std::size_t slot, std::size_t first, unsigned, std::int64_t* data,
                                 std::size_t row_begin, std::size_t row_end) {
        // Coefficient 0 is lane 0 of row 0 of the first strip; r(0) = 2^n does not count.
        if (first == 0 && row_begin == 0) data[0] = 0;
        const std::size_t count = (row_end - row_begin) * lanes;
        std::uint64_t best = 0;
        for (std::size_t i = 0; i < count; ++i) best = std::max(best, magnitude(data[i]));
        slots[slot].best = std::max(slots[slot].best, best);
    }

    std::uint64_t result() const {
        std::uint64_t best = 0;
        for (const Slot& s : slots) best = std::max(best, s.best);
        return best;
    }
};

// Sum of W(u)^4, at most 16^n <= 2^124 for n <= 31.
struct FourthPowerVisit {
    static constexpr bool store = false;
    struct alignas(64) Slot {
        uint128 sum = 0;
    };
    std::vector<Slot> slots = std::vector<Slot>(pool_size());

    template <class T>
    VEXIL_INLINE void operator()(std::size_t slot, std::size_t, unsigned, T* data, std::size_t row_begin,
                                 std::size_t row_end) {
        const std::size_t count = (row_end - row_begin) * detail::strip_lanes<T>;
        uint128 sum = 0;
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint64_t s = square(data[i]);
            sum += static_cast<uint128>(s) * s;
        }
        slots[slot].sum += sum;
    }

    uint128 result() const {
        uint128 sum = 0;
        for (const Slot& s : slots) sum += s.sum;
        return sum;
    }
};

// The a != 0 with |2^n r(a)| = 4^n.
struct LinearStructureVisit {
    static constexpr bool store = false;
    std::uint64_t target;
    std::vector<std::vector<std::uint64_t>> slots = std::vector<std::vector<std::uint64_t>>(pool_size());

    VEXIL_INLINE void operator()(std::size_t slot, std::size_t first, unsigned shift, std::int64_t* data,
                                 std::size_t row_begin, std::size_t row_end) {
        if (first == 0 && row_begin == 0) data[0] = 0;
        for (std::size_t r = row_begin; r < row_end; ++r) {
            const std::int64_t* row = data + (r - row_begin) * lanes;
            bool hit = false;
            for (unsigned l = 0; l < lanes; ++l) hit |= magnitude(row[l]) == target;
            if (!hit) continue;
            for (unsigned l = 0; l < lanes; ++l) {
                if (magnitude(row[l]) == target) slots[slot].push_back(first + (std::uint64_t{r} << shift) + l);
            }
        }
    }
};

unsigned checked_bits(std::span<const std::uint8_t> entries) {
    const unsigned n = detail::table_bits(entries);
    if (n > max_autocorrelation_vars) {
        panic("the autocorrelation needs at most " + std::to_string(max_autocorrelation_vars) + " variables, not " +
              std::to_string(n));
    }
    return n;
}

// The squared spectrum of `entries` into `values`, then its transform with
// `visit` on the last pass: visit sees 2^n r(a).
template <class Visit>
void visit_autocorrelation(std::span<const std::uint8_t> entries, std::span<std::int64_t> values, Visit& visit) {
    SquareStore square_store;
    detail::transform_and_visit(entries, values, square_store);
    detail::transform_and_visit(std::span<const std::uint8_t>{}, values, visit);
}

// The same into a coefficient array of its own.
template <class Visit>
void visit_autocorrelation(std::span<const std::uint8_t> entries, Visit& visit) {
    const unsigned n = checked_bits(entries);
    ensure_working_set(bytes_plus(bytes_times(entries.size(), sizeof(std::int64_t)),
                                  detail::transform_scratch_bytes<std::int64_t>(n)));
    plan_progress(2 * detail::transform_units<std::int64_t>(n));
    detail::Coefficients<std::int64_t> values(entries.size());
    visit_autocorrelation(entries, std::span<std::int64_t>(values.data(), values.size()), visit);
}

}  // namespace

void autocorrelation_into(std::span<const std::uint8_t> entries, std::span<std::int64_t> out) {
    const unsigned n = checked_bits(entries);
    if (out.size() != entries.size()) panic("autocorrelation_into: the output needs one value per entry");
    ensure_working_set(detail::transform_scratch_bytes<std::int64_t>(n));
    plan_progress(2 * detail::transform_units<std::int64_t>(n));
    ShiftStore shift_store{n};
    visit_autocorrelation(entries, out, shift_store);
}

std::uint64_t absolute_indicator(std::span<const std::uint8_t> entries) {
    AbsMaxVisit visit;
    visit_autocorrelation(entries, visit);
    return visit.result() >> detail::table_bits(entries);
}

Wide sum_of_squares_indicator(std::span<const std::uint8_t> entries) {
    const unsigned n = checked_bits(entries);
    // One transform of the spectrum alone: int32 lanes (see crypto_transform.hpp).
    ensure_working_set(bytes_plus(bytes_times(entries.size(), sizeof(std::int32_t)),
                                  detail::transform_scratch_bytes<std::int32_t>(n)));
    plan_progress(detail::transform_units<std::int32_t>(n));
    detail::Coefficients<std::int32_t> values(entries.size());
    FourthPowerVisit visit;
    detail::transform_and_visit(entries, std::span<std::int32_t>(values.data(), values.size()), visit);
    const uint128 sum = visit.result() >> n;
    return {static_cast<std::uint64_t>(sum >> 64), static_cast<std::uint64_t>(sum)};
}

std::vector<std::uint64_t> linear_structures(std::span<const std::uint8_t> entries) {
    const unsigned n = checked_bits(entries);
    LinearStructureVisit visit{std::uint64_t{1} << (2 * n)};
    visit_autocorrelation(entries, visit);
    std::vector<std::uint64_t> out;
    for (const std::vector<std::uint64_t>& found : visit.slots) out.insert(out.end(), found.begin(), found.end());
    std::sort(out.begin(), out.end());
    return out;
}

}  // namespace vexil
