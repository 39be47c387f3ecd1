// The split transform of the measures of cryptography and the measures read
// off it, under every kernel variant, against textbook references.
#include "check.hpp"
#include "metrics/autocorrelation.hpp"
#include "metrics/crypto_transform.hpp"
#include "metrics/walsh_measures.hpp"
#include "base/packed_table.hpp"
#include "support.hpp"

#include <algorithm>
#include <cmath>
#include <random>
#include <type_traits>

using namespace native_test;

namespace {

__extension__ typedef unsigned __int128 uint128;

template <class T>
void naive_transform(std::vector<T>& v) {
    using U = std::make_unsigned_t<T>;
    for (std::size_t h = 1; h < v.size(); h *= 2) {
        for (std::size_t i = 0; i < v.size(); i += 2 * h) {
            for (std::size_t j = i; j < i + h; ++j) {
                const U a = static_cast<U>(v[j]), b = static_cast<U>(v[j + h]);
                v[j] = static_cast<T>(static_cast<U>(a + b));
                v[j + h] = static_cast<T>(static_cast<U>(a - b));
            }
        }
    }
}

// Checks each visited value against `want` at its coefficient and counts the
// visits; stores the values doubled, so that the store is seen too (a visitor
// that does not store takes another path for tables).
template <class T, bool Store = true>
struct CheckingVisit {
    static constexpr bool store = Store;
    const std::vector<T>* want;
    std::vector<int>* seen;
    bool placed = true;

    VEXIL_INLINE void operator()(std::size_t, std::size_t first, unsigned shift, T* data, std::size_t row_begin,
                                 std::size_t row_end) {
        constexpr unsigned lanes = vexil::detail::strip_lanes<T>;
        for (std::size_t r = row_begin; r < row_end; ++r) {
            for (unsigned l = 0; l < lanes; ++l) {
                const std::uint64_t u = first + (std::uint64_t{r} << shift) + l;
                T& value = data[(r - row_begin) * lanes + l];
                if (u >= want->size()) {
                    placed = placed && value == 0;  // padding of a short table
                    continue;
                }
                placed = placed && value == (*want)[u];
                ++(*seen)[u];
                value = static_cast<T>(static_cast<std::make_unsigned_t<T>>(value) * 2U);
            }
        }
    }
};

template <class T>
void check_transform(std::mt19937_64& rng, unsigned bits, bool from_table) {
    const std::size_t size = std::size_t{1} << bits;
    Table entries(size);
    std::vector<T> values(size);
    for (std::size_t x = 0; x < size; ++x) {
        entries[x] = static_cast<std::uint8_t>(rng() & 1U);
        values[x] = from_table ? (entries[x] != 0 ? T{1} : T{-1}) : static_cast<T>(rng());
    }
    std::vector<T> want = values;
    naive_transform(want);
    std::vector<int> seen(size, 0);
    CheckingVisit<T> visit{&want, &seen};
    vexil::detail::transform_and_visit(
        from_table ? std::span<const std::uint8_t>(entries) : std::span<const std::uint8_t>{}, std::span<T>(values),
        visit);
    const char* lanes = sizeof(T) == 8 ? "int64" : "int32";
    CHECK(visit.placed, "2^%u %s %s: each coefficient visited at its index", bits, lanes,
          from_table ? "table" : "values");
    CHECK(std::all_of(seen.begin(), seen.end(), [](int s) { return s == 1; }), "2^%u %s: each visited once", bits,
          lanes);
    bool stored = true;
    for (std::size_t u = 0; u < size; ++u) {
        stored = stored && values[u] == static_cast<T>(static_cast<std::make_unsigned_t<T>>(want[u]) * 2U);
    }
    CHECK(stored, "2^%u %s: the visited values are stored back", bits, lanes);
    if (!from_table) return;
    std::vector<int> seen_only(size, 0);
    CheckingVisit<T, false> look{&want, &seen_only};
    vexil::detail::transform_and_visit(std::span<const std::uint8_t>(entries), std::span<T>(values), look);
    CHECK(look.placed && std::all_of(seen_only.begin(), seen_only.end(), [](int s) { return s == 1; }),
          "2^%u %s table: each coefficient visited once at its index, without a store", bits, lanes);
}

std::vector<std::int64_t> signed_spectrum(const Table& t) {
    std::vector<std::int64_t> w(t.size());
    for (std::size_t x = 0; x < t.size(); ++x) w[x] = t[x] != 0 ? 1 : -1;
    naive_transform(w);
    return w;
}

// -sum of p log2 p, p = W^2 / 4^n, from the definition in long double.
void check_entropy(const Table& t, const std::vector<std::int64_t>& w, const char* what) {
    long double want = 0;
    for (const std::int64_t c : w) {
        if (c == 0) continue;
        const long double q = std::fabs(static_cast<long double>(c)) / static_cast<long double>(w.size());
        want -= 2 * q * q * std::log2(q);
    }
    const double got = vexil::spectral_entropy_bits(t);
    CHECK(std::fabs(static_cast<long double>(got) - want) <= 1e-12L * std::max(want, 1e-300L) && !std::signbit(got),
          "spectral entropy, 2^%zu, %s: %.17g against %.17Lg", w.size(), what, got, want);
}

void check_measures(std::mt19937_64& rng, unsigned bits) {
    const std::size_t size = std::size_t{1} << bits;
    // Random, balanced-with-resilience (x0 ^ x1 ^ g(rest)) and affine tables.
    for (int kind = 0; kind < 3; ++kind) {
        Table t(size);
        const std::uint64_t mask = rng();
        for (std::size_t x = 0; x < size; ++x) {
            const bool noise = (rng() & 1U) != 0;
            if (kind == 0) t[x] = noise;
            if (kind == 1) t[x] = static_cast<std::uint8_t>(ones(x & 3U) % 2 == 1) ^ static_cast<std::uint8_t>(noise);
            if (kind == 2) t[x] = ones(x & mask) % 2 == 1;
        }
        if (kind == 1 && bits >= 3) {
            // g must not depend on x0 or x1: copy the value of x & ~3.
            for (std::size_t x = 0; x < size; ++x)
                t[x] = static_cast<std::uint8_t>(t[x & ~std::size_t{3}] ^ (ones(x & 3U) % 2));
        }
        const std::vector<std::int64_t> w = signed_spectrum(t);
        std::uint64_t max_abs = 0;
        std::vector<std::uint64_t> sums(bits + 1, 0);
        for (std::size_t u = 0; u < size; ++u) {
            const auto m = static_cast<std::uint64_t>(w[u] < 0 ? -w[u] : w[u]);
            max_abs = std::max(max_abs, m);
            sums[ones(u)] += m * m;
        }
        CHECK_EQ(vexil::max_abs_walsh(t), max_abs, "max |W|, 2^%u, kind %d", bits, kind);
        CHECK(vexil::walsh_weight_sums(t) == sums, "weight sums, 2^%u, kind %d", bits, kind);
        check_entropy(t, w, kind == 0 ? "random" : kind == 1 ? "resilient" : "affine");
        unsigned degree = 0, immunity = bits;
        for (unsigned k = 0; k <= bits; ++k) {
            if (sums[k] != 0) degree = k;
        }
        for (unsigned k = bits; k >= 1; --k) {
            if (sums[k] != 0) immunity = k - 1;
        }
        CHECK_EQ(vexil::fourier_degree(t), degree, "degree, 2^%u, kind %d", bits, kind);
        CHECK_EQ(vexil::correlation_immunity(t), immunity, "immunity, 2^%u, kind %d", bits, kind);
        CHECK_EQ(vexil::resiliency_order(t), w[0] == 0 ? static_cast<int>(immunity) : -1, "resiliency, 2^%u", bits);

        // From the definition on small tables; by Wiener-Khinchin with the
        // textbook transform on the others (the kernels take another path).
        std::vector<std::int64_t> r(size);
        if (bits <= 8) {
            for (std::size_t a = 0; a < size; ++a) {
                for (std::size_t x = 0; x < size; ++x) r[a] += t[x] == t[x ^ a] ? 1 : -1;
            }
        } else {
            for (std::size_t u = 0; u < size; ++u) r[u] = w[u] * w[u];
            naive_transform(r);
            for (auto& v : r) v /= static_cast<std::int64_t>(size);
        }
        std::vector<std::int64_t> got(size);
        vexil::autocorrelation_into(t, got);
        CHECK(got == r, "autocorrelation, 2^%u, kind %d", bits, kind);
        std::uint64_t indicator = 0;
        std::vector<std::uint64_t> structures;
        uint128 squares = 0;
        for (std::size_t a = 0; a < size; ++a) {
            const auto m = static_cast<std::uint64_t>(r[a] < 0 ? -r[a] : r[a]);
            squares += static_cast<uint128>(m) * m;
            if (a == 0) continue;
            indicator = std::max(indicator, m);
            if (m == size) structures.push_back(a);
        }
        CHECK_EQ(vexil::absolute_indicator(t), indicator, "absolute indicator, 2^%u, kind %d", bits, kind);
        CHECK(vexil::linear_structures(t) == structures, "linear structures, 2^%u, kind %d", bits, kind);
        const vexil::Wide sos = vexil::sum_of_squares_indicator(t);
        CHECK(sos.high == static_cast<std::uint64_t>(squares >> 64) && sos.low == static_cast<std::uint64_t>(squares),
              "sum of squares, 2^%u, kind %d", bits, kind);
    }
}

// Tables whose top coefficient is zero (they agree with parity on exactly half
// the inputs), so that the degree is read off the whole spectrum rather than
// decided by the parity pass; `low` of them also have no coefficient above a
// random weight, and the largest |W| and the degree are visited on the last
// pass of one, two and three levels of the blocked transform.
void check_last_pass_measures(std::mt19937_64& rng, unsigned bits) {
    const std::size_t size = std::size_t{1} << bits;
    for (const bool low : {false, true}) {
        // A function of the first `kept` variables only has degree <= kept.
        const unsigned kept = low ? static_cast<unsigned>(rng() % bits) : bits;
        Table t(size);
        for (std::size_t x = 0; x < size; ++x) {
            t[x] =
                x < (std::size_t{1} << kept) ? static_cast<std::uint8_t>(rng() & 1U) : t[x % (std::size_t{1} << kept)];
        }
        if (!low) {
            std::int64_t top = 0;
            for (std::size_t x = 0; x < size; ++x) top += (t[x] != 0) == (ones(x) % 2 == 0) ? 1 : -1;
            for (std::size_t x = 0; top != 0; ++x) {
                const bool agrees = (t[x] != 0) == (ones(x) % 2 == 0);
                if ((top > 0) == agrees) {
                    t[x] ^= 1U;
                    top += agrees ? -2 : 2;
                }
            }
        }
        const std::vector<std::int64_t> w = signed_spectrum(t);
        std::uint64_t max_abs = 0;
        unsigned degree = 0;
        for (std::size_t u = 0; u < size; ++u) {
            max_abs = std::max(max_abs, static_cast<std::uint64_t>(w[u] < 0 ? -w[u] : w[u]));
            if (w[u] != 0) degree = std::max(degree, ones(u));
        }
        CHECK(low || w[size - 1] == 0, "top coefficient, 2^%u", bits);
        CHECK_EQ(vexil::fourier_degree(t), degree, "degree, 2^%u, low %d", bits, low);
        CHECK_EQ(vexil::max_abs_walsh(t), max_abs, "max |W|, 2^%u, low %d", bits, low);
        CHECK_EQ(vexil::nonlinearity(t), (size - max_abs) / 2, "nonlinearity, 2^%u, low %d", bits, low);
        check_entropy(t, w, low ? "few variables" : "top coefficient zero");
        // W(2^n - 1) = 2 * mismatches - N: a mismatch is a term of +1.
        CHECK_EQ(vexil::detail::parity_mismatch_count(t),
                 static_cast<std::uint64_t>(static_cast<std::int64_t>(size / 2) + w[size - 1] / 2), "parity, 2^%u",
                 bits);
    }
}

void check_packed_counts(std::mt19937_64& rng) {
    for (unsigned bits = 0; bits <= 12; ++bits) {
        const std::size_t size = std::size_t{1} << bits;
        Table t(size);
        for (auto& e : t) e = static_cast<std::uint8_t>(rng() & 1U);
        const std::vector<std::uint64_t> words = vexil::pack_entries(t);
        std::uint64_t mismatches = 0, weight = 0;
        std::vector<std::uint64_t> with_bit(bits, 0);
        for (std::size_t x = 0; x < size; ++x) {
            mismatches += (t[x] != 0) != (ones(x) % 2 == 1);
            weight += t[x];
            for (unsigned i = 0; i < bits; ++i) with_bit[i] += t[x] != 0 && ((x >> i) & 1U) != 0;
        }
        CHECK_EQ(vexil::detail::parity_mismatch_count(t), mismatches, "parity mismatches, 2^%u", bits);
        const vexil::detail::FirstOrderCounts counts = vexil::detail::first_order_counts(words, bits);
        CHECK_EQ(counts.ones, weight, "weight, 2^%u", bits);
        CHECK(counts.with_bit == with_bit, "true entries by index bit, 2^%u", bits);
    }
}

}  // namespace

int main() {
    std::mt19937_64 rng(20240611);
    for_each_kernel_set([&] {
        for (unsigned bits : {0U, 1U, 4U, 5U, 6U, 7U, 12U, 14U, 15U, 16U, 17U, 19U, 21U}) {
            check_transform<std::int64_t>(rng, bits, false);
            check_transform<std::int64_t>(rng, bits, true);
            check_transform<std::int32_t>(rng, bits, false);
            check_transform<std::int32_t>(rng, bits, true);
        }
        for (unsigned bits : {0U, 1U, 2U, 3U, 5U, 6U, 8U, 15U}) check_measures(rng, bits);
        for (unsigned bits : {1U, 4U, 11U, 12U, 13U, 16U, 17U, 20U}) check_last_pass_measures(rng, bits);
        check_packed_counts(rng);
    });
    return finish("metrics_crypto_transform");
}
