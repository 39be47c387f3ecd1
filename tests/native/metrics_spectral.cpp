// The Walsh–Hadamard transform and the measures read off the spectrum, against
// references from the definitions.
#include "check.hpp"
#include "metrics_support.hpp"
#include "metrics/spectral.hpp"

#include <algorithm>
#include <initializer_list>
#include <limits>

using namespace metrics_test;
using namespace native_test;

namespace {

// The stage loop as written in textbooks, wrapping like the fast transform.
template <class T>
void naive_transform(std::vector<T>& v) {
    using U = std::make_unsigned_t<T>;
    for (std::size_t h = 1; h < v.size(); h *= 2) {
        for (std::size_t i = 0; i < v.size(); i += 2 * h) {
            for (std::size_t j = i; j < i + h; ++j) {
                const U a = static_cast<U>(v[j]), b = static_cast<U>(v[j + h]);
                v[j] = static_cast<T>(a + b);
                v[j + h] = static_cast<T>(a - b);
            }
        }
    }
}

template <class T>
void check_transform_sizes(std::mt19937_64& rng, const char* lanes) {
    for (unsigned bits = 0; bits <= 20; ++bits) {
        std::vector<T> v(std::size_t{1} << bits);
        // Full-range values: the sums wrap, the same way in both.
        for (auto& e : v) e = static_cast<T>(rng());
        if (bits == 3) v.assign(v.size(), std::numeric_limits<T>::max());
        std::vector<T> want = v;
        naive_transform(want);
        const auto error = vexil::walsh_hadamard_transform(std::span<T>(v));
        CHECK(!error.has_value(), "transform accepts 2^%u %s", bits, lanes);
        CHECK(v == want, "transform of 2^%u %s", bits, lanes);
    }
    for (std::size_t size : {3, 5, 6, 7, 12, 100, 1023}) {
        std::vector<T> v(size);
        for (auto& e : v) e = static_cast<T>(rng());
        const std::vector<T> before = v;
        const auto error = vexil::walsh_hadamard_transform(std::span<T>(v));
        CHECK(error.has_value() && error->message == "Input length must be a power of 2",
              "transform refuses length %zu %s", size, lanes);
        CHECK(v == before, "refused transform leaves the array as it was, length %zu %s", size, lanes);
    }
    std::vector<T> empty;
    CHECK(!vexil::walsh_hadamard_transform(std::span<T>(empty)).has_value(), "transform of length 0 %s", lanes);
    std::vector<T> single{T{42}};
    CHECK(!vexil::walsh_hadamard_transform(std::span<T>(single)).has_value() && single[0] == T{42},
          "transform of length 1 changes nothing %s", lanes);
}

// Against the O(N^2) definition of W(k) on small magnitudes.
void check_transform_definition(std::mt19937_64& rng) {
    for (unsigned bits = 0; bits <= 9; ++bits) {
        Table t(std::size_t{1} << bits);
        for (auto& e : t) e = static_cast<std::uint8_t>(rng() & 1U);
        std::vector<std::int64_t> v(t.size());
        for (std::size_t x = 0; x < t.size(); ++x) v[x] = t[x] != 0 ? 1 : -1;
        vexil::walsh_hadamard_transform(std::span<std::int64_t>(v));
        CHECK(v == ref_spectrum(t), "transform of signs equals the definition, 2^%u", bits);
    }
}

float ref_entropy(const Table& t) {
    float sum = -0.0f;
    for (float c : ref_normalised(t)) {
        if (c == 0.0f) continue;
        const float p = c * c;
        sum -= p * std::log(p);
    }
    return sum;
}

std::uint64_t ref_degree(const std::vector<std::int64_t>& w) {
    std::uint64_t best = 0;
    for (std::uint64_t k = 0; k < w.size(); ++k) {
        if (w[k] != 0) best = std::max<std::uint64_t>(best, ones(k));
    }
    return best;
}

void check_small_functions(std::mt19937_64& rng) {
    for (unsigned n = 0; n <= 10; ++n) {
        for (const Named& f : families(n, rng)) {
            const char* name = f.name.c_str();
            const vexil::FValue value(f.table);
            const std::vector<float> spectrum = vexil::normalised_spectrum(value);
            const std::vector<float> want = ref_normalised(f.table);
            bool same = spectrum.size() == want.size();
            for (std::size_t k = 0; same && k < want.size(); ++k) same = spectrum[k] == want[k];
            CHECK(same, "normalised spectrum of %s", name);
            CHECK_EQ(vexil::spectral_entropy(value), ref_entropy(f.table), "%s", name);
            CHECK_EQ(vexil::degree(value), ref_degree(ref_spectrum(f.table)), "%s", name);
            CHECK_EQ(vexil::no_linearity(value), ref_nonlinearity(f.table), "%s", name);
            const auto wide = vexil::detail::spectrum64(value);
            const auto exact = ref_spectrum(f.table);
            CHECK(std::equal(exact.begin(), exact.end(), wide.view().begin()), "int64 spectrum of %s", name);
        }
    }
}

// Functions large enough for the blocked passes, against the naive transform.
void check_large_functions(std::mt19937_64& rng) {
    for (unsigned n : {11U, 12U, 13U, 15U, 16U, 17U, 19U, 20U}) {
        const std::size_t size = std::size_t{1} << n;
        std::vector<Named> cases;
        Table random(size);
        for (auto& e : random) e = static_cast<std::uint8_t>(rng() & 1U);
        cases.push_back({"random", random});
        // Agrees with parity on exactly half the inputs: W(N-1) = 0, so the
        // degree needs the whole spectrum.
        Table balanced = random;
        std::int64_t top = 0;
        for (std::size_t x = 0; x < size; ++x) top += (balanced[x] != 0) == (ones(x) % 2 == 0) ? 1 : -1;
        for (std::size_t x = 0; top != 0; ++x) {
            const bool agrees = (balanced[x] != 0) == (ones(x) % 2 == 0);
            if ((top > 0) == agrees) {
                balanced[x] ^= 1U;
                top += agrees ? -2 : 2;
            }
        }
        cases.push_back({"parity-balanced", balanced});
        // Degree 2 exactly: a quadratic form plus a linear term.
        cases.push_back({"quadratic", from_rule(n, [](std::uint64_t x) {
                             return (ones((x & (x >> 1)) & 0x5555555555555555ULL) + ones(x & 0x9)) % 2 == 1;
                         })});
        cases.push_back({"majority", from_rule(n, [n](std::uint64_t x) { return 2 * ones(x) > n; })});
        for (const Named& c : cases) {
            const std::string tag = c.name + "/" + std::to_string(n);
            const char* name = tag.c_str();
            std::vector<std::int64_t> w(size);
            for (std::size_t x = 0; x < size; ++x) w[x] = c.table[x] != 0 ? 1 : -1;
            naive_transform(w);
            const vexil::FValue value(c.table);
            const std::vector<float> spectrum = vexil::normalised_spectrum(value);
            bool same = true;
            for (std::size_t k = 0; same && k < size; ++k) {
                same = spectrum[k] == static_cast<float>(w[k]) / static_cast<float>(size);
            }
            CHECK(same, "normalised spectrum of %s", name);
            const auto narrow = vexil::detail::spectrum32(value);
            const auto wide = vexil::detail::spectrum64(value);
            CHECK(std::equal(w.begin(), w.end(), narrow.view().begin()), "int32 spectrum of %s", name);
            CHECK(std::equal(w.begin(), w.end(), wide.view().begin()), "int64 spectrum of %s", name);
            CHECK_EQ(vexil::degree(value), ref_degree(w), "%s", name);
            std::uint64_t max_abs = 0;
            for (std::int64_t e : w) {
                max_abs = std::max<std::uint64_t>(max_abs, static_cast<std::uint64_t>(e < 0 ? -e : e));
            }
            CHECK_EQ(vexil::no_linearity(value), size / 2 - max_abs / 2, "%s", name);
        }
    }
}

void check_edge_cases() {
    for (unsigned n = 1; n <= 6; ++n) {
        for (bool value : {false, true}) {
            const vexil::FValue f(from_rule(n, [value](std::uint64_t) { return value; }));
            const std::vector<float> s = vexil::normalised_spectrum(f);
            CHECK(s[0] == (value ? 1.0f : -1.0f), "constant spectrum at 0, %d of %u", value, n);
            CHECK_EQ(vexil::spectral_entropy(f), -0.0f, "constant %d of %u", value, n);
            CHECK_EQ(vexil::degree(f), 0U, "constant %d of %u", value, n);
            CHECK_EQ(vexil::no_linearity(f), 0U, "constant %d of %u", value, n);
        }
        const vexil::FValue parity_n(from_rule(n, parity));
        CHECK_EQ(vexil::spectral_entropy(parity_n), -0.0f, "parity of %u", n);
        CHECK_EQ(vexil::degree(parity_n), n, "parity of %u", n);
        CHECK_EQ(vexil::no_linearity(parity_n), 0U, "parity of %u", n);
    }
    const vexil::FValue and2 = worked("and");
    const std::vector<float> s = vexil::normalised_spectrum(and2);
    CHECK(s == std::vector<float>({-0.5f, -0.5f, -0.5f, 0.5f}), "AND spectrum");
    CHECK(std::fabs(vexil::spectral_entropy(and2) - 1.3862944f) < 1e-6f, "AND entropy is ln 4");
    CHECK_EQ(vexil::degree(and2), 2U, "AND");
    CHECK_EQ(vexil::no_linearity(and2), 1U, "AND");
    const vexil::FValue maj3 = worked("majority");
    CHECK(vexil::normalised_spectrum(maj3) == std::vector<float>({0.0f, -0.5f, -0.5f, 0.0f, -0.5f, 0.0f, 0.0f, 0.5f}),
          "majority-3 spectrum");
    CHECK(std::fabs(vexil::spectral_entropy(maj3) - 1.3862944f) < 1e-6f, "majority-3 entropy is ln 4");
    CHECK_EQ(vexil::degree(maj3), 3U, "majority-3");
    CHECK_EQ(vexil::no_linearity(maj3), 2U, "majority-3");
    for (bool value : {false, true}) {
        const vexil::FValue one(Table{static_cast<std::uint8_t>(value)});
        CHECK_EQ(vexil::spectral_entropy(one), -0.0f, "one entry %d", value);
        CHECK_EQ(vexil::degree(one), 0U, "one entry %d", value);
        CHECK_EQ(vexil::no_linearity(one), 0U, "one entry %d", value);
    }
}

// Tables past every level of the blocked transform (several memory passes)
// checked in linear time: the transform of a tensor product w[h 2^a + l] =
// u[h] v[l] is the product of the transforms, W[k 2^a + j] = U[k] V[j].
template <class T>
void check_tensor_products(std::mt19937_64& rng, const char* lanes, std::initializer_list<unsigned> sizes) {
    for (const unsigned bits : sizes) {
        const unsigned low = bits / 2 + 1, high = bits - low;
        std::vector<T> u(std::size_t{1} << high), v(std::size_t{1} << low);
        for (auto& e : u) e = static_cast<T>(static_cast<int>(rng() % 7) - 3);
        for (auto& e : v) e = static_cast<T>(static_cast<int>(rng() % 7) - 3);
        std::vector<T> w(std::size_t{1} << bits);
        for (std::size_t h = 0; h < u.size(); ++h) {
            for (std::size_t l = 0; l < v.size(); ++l) w[(h << low) + l] = static_cast<T>(u[h] * v[l]);
        }
        naive_transform(u);
        naive_transform(v);
        CHECK(!vexil::walsh_hadamard_transform(std::span<T>(w)).has_value(), "2^%u %s accepted", bits, lanes);
        bool same = true;
        for (std::size_t k = 0; k < u.size() && same; ++k) {
            for (std::size_t j = 0; j < v.size(); ++j) same = same && w[(k << low) + j] == static_cast<T>(u[k] * v[j]);
        }
        CHECK(same, "transform of a 2^%u %s tensor product", bits, lanes);
    }
}

}  // namespace

int main() {
    std::mt19937_64 rng(20240611);
    for_each_kernel_set([&] {
        check_transform_sizes<std::int64_t>(rng, "int64");
        check_transform_sizes<std::int32_t>(rng, "int32");
        check_transform_definition(rng);
        check_small_functions(rng);
        check_large_functions(rng);
        check_edge_cases();
        // int32 groups its memory passes at 12, 16, 24; int64 at 11, 15, 23.
        check_tensor_products<std::int32_t>(rng, "int32", {21U, 24U, 25U});
        check_tensor_products<std::int64_t>(rng, "int64", {23U, 24U});
    });
    return finish("metrics_spectral");
}
