// Sensitivity, influence and frontier size against references from the
// definitions.
#include "check.hpp"
#include "metrics_support.hpp"
#include "metrics/frontier.hpp"
#include "metrics/sensitivity.hpp"

#include <optional>

using namespace metrics_test;
using namespace native_test;

namespace {

struct Sensitivities {
    unsigned max = 0;
    std::uint64_t sum = 0;
};

Sensitivities ref_sensitivities(const Table& t) {
    Sensitivities s;
    for (std::uint64_t x = 0; x < t.size(); ++x) {
        const unsigned here = ref_sensitivity(t, x);
        s.max = std::max(s.max, here);
        s.sum += here;
    }
    return s;
}

// Edges directed from a false input to a true one.
std::uint64_t ref_frontier(const Table& t) {
    const unsigned n = log2_size(t);
    std::uint64_t edges = 0;
    for (std::uint64_t x = 0; x < t.size(); ++x) {
        for (unsigned j = 0; j < n; ++j) edges += t[x] == 0 && t[x ^ (std::uint64_t{1} << j)] != 0;
    }
    return edges;
}

float ref_influence(const Table& t, std::uint64_t var) {
    float sum = -0.0f;
    const std::vector<float> c = ref_normalised(t);
    for (std::uint64_t k = 0; k < c.size(); ++k) {
        if (var < 64 && ((k >> var) & 1U) != 0) sum += c[k] * c[k];
    }
    return sum;
}

float ref_total_influence(const Table& t) {
    float sum = -0.0f;
    const std::vector<float> c = ref_normalised(t);
    for (std::uint64_t k = 1; k < c.size(); ++k) sum += static_cast<float>(ones(k)) * (c[k] * c[k]);
    return sum;
}

// Fraction of inputs where flipping variable j changes the value.
double edge_fraction(const Table& t, unsigned j) {
    std::uint64_t count = 0;
    for (std::uint64_t x = 0; x < t.size(); ++x) count += t[x] != t[x ^ (std::uint64_t{1} << j)];
    return static_cast<double>(count) / static_cast<double>(t.size());
}

void check_function(const Named& f, bool spectral) {
    const char* name = f.name.c_str();
    const vexil::FValue value(f.table);
    const unsigned n = log2_size(f.table);
    const Sensitivities want = ref_sensitivities(f.table);
    CHECK_EQ(vexil::max_sensitivity(value), want.max, "%s", name);
    CHECK_EQ(vexil::sensitivity_sum(value), want.sum, "%s", name);
    CHECK_EQ(vexil::mean_sensitivity(value), static_cast<float>(want.sum) / static_cast<float>(f.table.size()), "%s",
             name);

    std::optional<vexil::FrontierCache> cache;
    const std::uint64_t edges = ref_frontier(f.table);
    CHECK_EQ(vexil::frontier_size(value, cache), edges, "%s", name);
    CHECK(cache.has_value() && cache->edge_count == edges, "frontier cache filled for %s", name);
    CHECK_EQ(vexil::frontier_size(value, cache), edges, "second call, %s", name);
    std::uint64_t zeros = 0;
    for (auto e : f.table) zeros += e == 0;
    CHECK_EQ(vexil::max_frontier_size(value), n * std::min(zeros, f.table.size() - zeros), "%s", name);

    if (!spectral) return;
    for (std::uint64_t var : {0ULL, 1ULL, 2ULL, 5ULL, 6ULL, 9ULL, 10ULL, 11ULL, 63ULL, 64ULL, 65ULL, 127ULL, ~0ULL}) {
        const float got = vexil::influence(value, var);
        const auto shown = static_cast<unsigned long long>(var);
        CHECK_EQ(got, ref_influence(f.table, var), "influence(%llu) of %s", shown, name);
        if (var < n) {
            CHECK(std::fabs(got - edge_fraction(f.table, static_cast<unsigned>(var))) < 1e-5,
                  "influence is the edge fraction, var %llu of %s", shown, name);
        }
    }
    const float total = vexil::total_influence(value);
    CHECK_EQ(total, ref_total_influence(f.table), "%s", name);
    CHECK(std::fabs(total - vexil::mean_sensitivity(value)) < 1e-4f * static_cast<float>(n + 1),
          "total influence is the mean sensitivity for %s", name);
}

void check_edge_cases() {
    for (unsigned n = 1; n <= 7; ++n) {
        for (bool c : {false, true}) {
            const vexil::FValue f(from_rule(n, [c](std::uint64_t) { return c; }));
            CHECK_EQ(vexil::max_sensitivity(f), 0U, "constant %d of %u", c, n);
            CHECK_EQ(vexil::mean_sensitivity(f), 0.0f, "constant %d of %u", c, n);
            for (unsigned v = 0; v < n; ++v) CHECK_EQ(vexil::influence(f, v), 0.0f, "constant %d of %u", c, n);
            CHECK_EQ(vexil::total_influence(f), 0.0f, "constant %d of %u", c, n);
            std::optional<vexil::FrontierCache> cache;
            CHECK_EQ(vexil::frontier_size(f, cache), 0U, "constant %d of %u", c, n);
            CHECK_EQ(vexil::max_frontier_size(f), 0U, "constant %d of %u", c, n);
        }
        const vexil::FValue parity_n(from_rule(n, parity));
        CHECK_EQ(vexil::max_sensitivity(parity_n), n, "parity of %u", n);
        CHECK_EQ(vexil::mean_sensitivity(parity_n), static_cast<float>(n), "parity of %u", n);
        for (unsigned v = 0; v < n; ++v) CHECK_EQ(vexil::influence(parity_n, v), 1.0f, "parity of %u", n);
        CHECK_EQ(vexil::total_influence(parity_n), static_cast<float>(n), "parity of %u", n);
        std::optional<vexil::FrontierCache> cache;
        const std::uint64_t all_edges = std::uint64_t{n} << (n - 1);
        CHECK_EQ(vexil::frontier_size(parity_n, cache), all_edges, "parity of %u", n);
        CHECK_EQ(vexil::max_frontier_size(parity_n), all_edges, "parity of %u", n);
    }
    const vexil::FValue id = worked("identity");
    CHECK_EQ(vexil::max_sensitivity(id), 1U);
    CHECK_EQ(vexil::mean_sensitivity(id), 1.0f);
    CHECK_EQ(vexil::influence(id, 0), 1.0f);
    CHECK_EQ(vexil::total_influence(id), 1.0f);
    std::optional<vexil::FrontierCache> id_cache;
    CHECK_EQ(vexil::frontier_size(id, id_cache), 1U);
    CHECK_EQ(vexil::max_frontier_size(id), 1U);

    const vexil::FValue maj3 = worked("majority");
    CHECK_EQ(vexil::max_sensitivity(maj3), 2U);
    CHECK_EQ(vexil::mean_sensitivity(maj3), 1.5f);
    for (unsigned v = 0; v < 3; ++v) CHECK_EQ(vexil::influence(maj3, v), 0.5f, "variable %u", v);
    CHECK_EQ(vexil::total_influence(maj3), 1.5f);
    for (std::uint64_t v : {3ULL, 10ULL, 63ULL, 64ULL, 67ULL}) {
        CHECK_EQ(vexil::influence(maj3, v), -0.0f, "absent variable %llu", static_cast<unsigned long long>(v));
    }
    std::optional<vexil::FrontierCache> maj_cache;
    CHECK_EQ(vexil::frontier_size(maj3, maj_cache), 6U);
    CHECK_EQ(vexil::max_frontier_size(maj3), 12U);

    const vexil::FValue and2 = worked("and");
    std::optional<vexil::FrontierCache> and_cache;
    CHECK_EQ(vexil::frontier_size(and2, and_cache), 2U);
    CHECK_EQ(vexil::max_frontier_size(and2), 2U);

    for (bool c : {false, true}) {
        const vexil::FValue one(Table{static_cast<std::uint8_t>(c)});
        CHECK_EQ(vexil::max_sensitivity(one), 0U, "one entry %d", c);
        CHECK_EQ(vexil::mean_sensitivity(one), 0.0f, "one entry %d", c);
        CHECK_EQ(vexil::total_influence(one), -0.0f, "one entry %d", c);
        for (std::uint64_t v : {0ULL, 1ULL, 63ULL, 64ULL}) {
            CHECK_EQ(vexil::influence(one, v), -0.0f, "one entry %d, variable %llu", c,
                     static_cast<unsigned long long>(v));
        }
        std::optional<vexil::FrontierCache> cache;
        CHECK_EQ(vexil::frontier_size(one, cache), 0U, "one entry %d", c);
        CHECK_EQ(vexil::max_frontier_size(one), 0U, "one entry %d", c);
    }

    // A filled cache is what frontier_size answers from: the table is not read again.
    std::optional<vexil::FrontierCache> stale = vexil::FrontierCache{12345};
    CHECK_EQ(vexil::frontier_size(maj3, stale), 12345U, "frontier_size answers from the cache");
}

}  // namespace

int main() {
    std::mt19937_64 rng(7);
    for_each_kernel_set([&] {
        for (unsigned n = 0; n <= 10; ++n) {
            for (const Named& f : families(n, rng)) check_function(f, true);
        }
        // Sizes that reach the chunked and cross-chunk paths of the packed kernels.
        for (unsigned n : {12U, 14U, 15U, 17U, 20U}) {
            for (const Named& f : families(n, rng)) {
                if (f.name.rfind("random", 0) == 0 || f.name.rfind("majority", 0) == 0 ||
                    f.name.rfind("sparse", 0) == 0 || f.name.rfind("one-", 0) == 0 || f.name.rfind("parity", 0) == 0) {
                    check_function(f, false);
                }
            }
        }
        check_edge_cases();
    });
    return finish("metrics_sensitivity");
}
