// Test support for the complexity measures: families of functions to test on,
// and slow references written straight from the definitions (no shared code
// with the measures under test).
#pragma once

#include "fvalue.hpp"
#include "support.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <random>
#include <string>
#include <vector>

namespace metrics_test {

using native_test::from_rule;
using native_test::ones;
using native_test::Table;

inline unsigned log2_size(const Table& t) { return static_cast<unsigned>(std::countr_zero(t.size())); }

struct Named {
    std::string name;
    Table table;
};

// Structured and random functions of n variables.
inline std::vector<Named> families(unsigned n, std::mt19937_64& rng) {
    std::vector<Named> out;
    auto add = [&](std::string name, Table t) { out.push_back({name + "/" + std::to_string(n), std::move(t)}); };
    add("false", from_rule(n, [](std::uint64_t) { return false; }));
    add("true", from_rule(n, [](std::uint64_t) { return true; }));
    add("parity", from_rule(n, native_test::parity));
    add("majority", from_rule(n, [n](std::uint64_t x) { return 2 * ones(x) > n; }));
    for (unsigned t = 1; t < n; t += 2) {
        add("threshold" + std::to_string(t), from_rule(n, [t](std::uint64_t x) { return ones(x) >= t; }));
    }
    const std::uint64_t size = std::uint64_t{1} << n;
    const std::uint64_t special = rng() % size;
    add("one-true", from_rule(n, [special](std::uint64_t x) { return x == special; }));
    add("one-false", from_rule(n, [special](std::uint64_t x) { return x != special; }));
    if (n >= 1) add("dictator", from_rule(n, [n](std::uint64_t x) { return ((x >> (n - 1)) & 1U) != 0; }));
    if (n >= 4) {
        // Tribes: OR of ANDs of disjoint pairs.
        add("tribes", from_rule(n, [n](std::uint64_t x) {
                for (unsigned i = 0; i + 1 < n; i += 2) {
                    if (((x >> i) & 3U) == 3U) return true;
                }
                return false;
            }));
        // Address function: the top two bits pick one of the low variables.
        add("address", from_rule(n, [n](std::uint64_t x) { return ((x >> ((x >> (n - 2)) % (n - 2))) & 1U) != 0; }));
    }
    for (int r = 0; r < 4; ++r) {
        Table t(size);
        for (auto& e : t) e = static_cast<std::uint8_t>(rng() & 1U);
        add("random" + std::to_string(r), std::move(t));
    }
    {
        // Sparse: each entry true with probability 1/8.
        Table t(size);
        for (auto& e : t) e = (rng() % 8) == 0 ? 1 : 0;
        add("sparse", std::move(t));
    }
    if (n >= 3) {
        // A random function of three scattered variables, ignoring the rest.
        const unsigned a = 0, b = n / 2, c = n - 1;
        const std::uint64_t rule = rng() & 0xFF;
        add("junta3", from_rule(n, [=](std::uint64_t x) {
                const std::uint64_t i = ((x >> a) & 1U) | (((x >> b) & 1U) << 1) | (((x >> c) & 1U) << 2);
                return ((rule >> i) & 1U) != 0;
            }));
    }
    {
        // A random symmetric function: the value depends on the weight only.
        const std::uint64_t rule = rng();
        add("symmetric", from_rule(n, [rule](std::uint64_t x) { return ((rule >> ones(x)) & 1U) != 0; }));
    }
    return out;
}

// ---- References from the definitions ----

inline unsigned ref_sensitivity(const Table& t, std::uint64_t x) {
    const unsigned n = log2_size(t);
    unsigned s = 0;
    for (unsigned j = 0; j < n; ++j) s += t[x] != t[x ^ (std::uint64_t{1} << j)];
    return s;
}

// W(k) = sum over x of F(x) (-1)^popcount(k & x), F = +1 for true.
inline std::vector<std::int64_t> ref_spectrum(const Table& t) {
    std::vector<std::int64_t> w(t.size(), 0);
    for (std::uint64_t k = 0; k < t.size(); ++k) {
        std::int64_t sum = 0;
        for (std::uint64_t x = 0; x < t.size(); ++x) {
            const std::int64_t sign = t[x] != 0 ? 1 : -1;
            sum += (ones(k & x) % 2 == 0) ? sign : -sign;
        }
        w[k] = sum;
    }
    return w;
}

inline std::vector<float> ref_normalised(const Table& t) {
    const std::vector<std::int64_t> w = ref_spectrum(t);
    std::vector<float> out(w.size());
    for (std::size_t k = 0; k < w.size(); ++k) out[k] = static_cast<float>(w[k]) / static_cast<float>(t.size());
    return out;
}

// Smallest Hamming distance to any affine function x -> a.x + c.
inline std::uint64_t ref_nonlinearity(const Table& t) {
    if (t.size() == 1) return 0;
    std::uint64_t best = t.size();
    for (std::uint64_t a = 0; a < t.size(); ++a) {
        std::uint64_t differ = 0;
        for (std::uint64_t x = 0; x < t.size(); ++x) differ += (t[x] != 0) != (ones(a & x) % 2 == 1);
        best = std::min({best, differ, t.size() - differ});
    }
    return best;
}

// Smallest number of variables fixed at x's values on which f is constant: the
// sets by increasing size, each subcube walked point by point.
inline unsigned ref_local_certificate(const Table& t, std::uint64_t x) {
    const unsigned n = log2_size(t);
    const std::uint64_t all = t.size() - 1;
    for (unsigned s = 0; s <= n; ++s) {
        for (std::uint64_t fixed = 0; fixed <= all; ++fixed) {
            if (ones(fixed) != s) continue;
            const std::uint64_t free = all & ~fixed;
            bool constant = true;
            std::uint64_t sub = 0;
            do {
                if (t[(x & fixed) | sub] != t[x]) constant = false;
                sub = (sub - free) & free;
            } while (sub != 0 && constant);
            if (constant) return s;
        }
    }
    return n;
}

inline unsigned ref_certificate(const Table& t) {
    unsigned best = 0;
    for (std::uint64_t x = 0; x < t.size(); ++x) best = std::max(best, ref_local_certificate(t, x));
    return best;
}

}  // namespace metrics_test
