// Sensitivity, influence and frontier size against references from the
// definitions.
#include "cplx_support.hpp"
#include "metrics/frontier.hpp"
#include "metrics/sensitivity.hpp"

#include <optional>

using namespace cplx_test;

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

void check_function(Harness& h, const Named& f, bool spectral) {
    const vexil::FValue value(f.table);
    const unsigned n = log2_size(f.table);
    const Sensitivities want = ref_sensitivities(f.table);
    h.equal(vexil::max_sensitivity(value), want.max, "max_sensitivity of " + f.name);
    h.equal(vexil::sensitivity_sum(value), want.sum, "sensitivity_sum of " + f.name);
    h.same_float(vexil::mean_sensitivity(value), static_cast<float>(want.sum) / static_cast<float>(f.table.size()),
                 "mean_sensitivity of " + f.name);

    std::optional<vexil::FrontierCache> cache;
    const std::uint64_t edges = ref_frontier(f.table);
    h.equal(vexil::frontier_size(value, cache), edges, "frontier_size of " + f.name);
    h.check(cache.has_value() && cache->edge_count == edges, "frontier cache filled for " + f.name);
    h.equal(vexil::frontier_size(value, cache), edges, "second frontier_size of " + f.name);
    std::uint64_t zeros = 0;
    for (auto e : f.table) zeros += e == 0;
    h.equal(vexil::max_frontier_size(value), n * std::min(zeros, f.table.size() - zeros),
            "max_frontier_size of " + f.name);

    if (!spectral) return;
    for (std::uint64_t var : {0ULL, 1ULL, 2ULL, 5ULL, 6ULL, 9ULL, 10ULL, 11ULL, 63ULL, 64ULL, 65ULL, 127ULL, ~0ULL}) {
        const float got = vexil::influence(value, var);
        h.same_float(got, ref_influence(f.table, var), "influence(" + std::to_string(var) + ") of " + f.name);
        if (var < n) {
            h.check(std::fabs(got - edge_fraction(f.table, static_cast<unsigned>(var))) < 1e-5,
                    "influence is the edge fraction, var " + std::to_string(var) + " of " + f.name);
        }
    }
    const float total = vexil::total_influence(value);
    h.same_float(total, ref_total_influence(f.table), "total_influence of " + f.name);
    h.check(std::fabs(total - vexil::mean_sensitivity(value)) < 1e-4f * static_cast<float>(n + 1),
            "total influence is the mean sensitivity for " + f.name);
}

void check_edge_cases(Harness& h) {
    for (unsigned n = 1; n <= 7; ++n) {
        const std::string tag = std::to_string(n);
        for (bool c : {false, true}) {
            const vexil::FValue f(from_rule(n, [c](std::uint64_t) { return c; }));
            h.equal(vexil::max_sensitivity(f), 0U, "constant max_sensitivity " + tag);
            h.same_float(vexil::mean_sensitivity(f), 0.0f, "constant mean_sensitivity " + tag);
            for (unsigned v = 0; v < n; ++v) h.same_float(vexil::influence(f, v), 0.0f, "constant influence " + tag);
            h.same_float(vexil::total_influence(f), 0.0f, "constant total_influence " + tag);
            std::optional<vexil::FrontierCache> cache;
            h.equal(vexil::frontier_size(f, cache), 0U, "constant frontier_size " + tag);
            h.equal(vexil::max_frontier_size(f), 0U, "constant max_frontier_size " + tag);
        }
        const vexil::FValue parity(from_rule(n, [](std::uint64_t x) { return ones(x) % 2 == 1; }));
        h.equal(vexil::max_sensitivity(parity), n, "parity max_sensitivity " + tag);
        h.same_float(vexil::mean_sensitivity(parity), static_cast<float>(n), "parity mean_sensitivity " + tag);
        for (unsigned v = 0; v < n; ++v) h.same_float(vexil::influence(parity, v), 1.0f, "parity influence " + tag);
        h.same_float(vexil::total_influence(parity), static_cast<float>(n), "parity total_influence " + tag);
        std::optional<vexil::FrontierCache> cache;
        const std::uint64_t all_edges = std::uint64_t{n} << (n - 1);
        h.equal(vexil::frontier_size(parity, cache), all_edges, "parity frontier_size " + tag);
        h.equal(vexil::max_frontier_size(parity), all_edges, "parity max_frontier_size " + tag);
    }
    const vexil::FValue id(Table{0, 1});
    h.equal(vexil::max_sensitivity(id), 1U, "identity max_sensitivity");
    h.same_float(vexil::mean_sensitivity(id), 1.0f, "identity mean_sensitivity");
    h.same_float(vexil::influence(id, 0), 1.0f, "identity influence");
    h.same_float(vexil::total_influence(id), 1.0f, "identity total_influence");
    std::optional<vexil::FrontierCache> id_cache;
    h.equal(vexil::frontier_size(id, id_cache), 1U, "identity frontier_size");
    h.equal(vexil::max_frontier_size(id), 1U, "identity max_frontier_size");

    const vexil::FValue maj3(from_rule(3, [](std::uint64_t x) { return ones(x) >= 2; }));
    h.equal(vexil::max_sensitivity(maj3), 2U, "majority-3 max_sensitivity");
    h.same_float(vexil::mean_sensitivity(maj3), 1.5f, "majority-3 mean_sensitivity");
    for (unsigned v = 0; v < 3; ++v) h.same_float(vexil::influence(maj3, v), 0.5f, "majority-3 influence");
    h.same_float(vexil::total_influence(maj3), 1.5f, "majority-3 total_influence");
    for (std::uint64_t v : {3ULL, 10ULL, 63ULL, 64ULL, 67ULL}) {
        h.same_float(vexil::influence(maj3, v), -0.0f, "majority-3 influence of absent var " + std::to_string(v));
    }
    std::optional<vexil::FrontierCache> maj_cache;
    h.equal(vexil::frontier_size(maj3, maj_cache), 6U, "majority-3 frontier_size");
    h.equal(vexil::max_frontier_size(maj3), 12U, "majority-3 max_frontier_size");

    const vexil::FValue and2(Table{0, 0, 0, 1});
    std::optional<vexil::FrontierCache> and_cache;
    h.equal(vexil::frontier_size(and2, and_cache), 2U, "AND frontier_size");
    h.equal(vexil::max_frontier_size(and2), 2U, "AND max_frontier_size");

    for (bool c : {false, true}) {
        const vexil::FValue one(Table{static_cast<std::uint8_t>(c)});
        h.equal(vexil::max_sensitivity(one), 0U, "one-entry max_sensitivity");
        h.same_float(vexil::mean_sensitivity(one), 0.0f, "one-entry mean_sensitivity");
        h.same_float(vexil::total_influence(one), -0.0f, "one-entry total_influence");
        for (std::uint64_t v : {0ULL, 1ULL, 63ULL, 64ULL}) {
            h.same_float(vexil::influence(one, v), -0.0f, "one-entry influence " + std::to_string(v));
        }
        std::optional<vexil::FrontierCache> cache;
        h.equal(vexil::frontier_size(one, cache), 0U, "one-entry frontier_size");
        h.equal(vexil::max_frontier_size(one), 0U, "one-entry max_frontier_size");
    }

    // A filled cache is what frontier_size answers from: the table is not read again.
    std::optional<vexil::FrontierCache> stale = vexil::FrontierCache{12345};
    h.equal(vexil::frontier_size(maj3, stale), 12345U, "frontier_size answers from the cache");
}

}  // namespace

int main() {
    Harness h;
    std::mt19937_64 rng(7);
    for_each_kernel_set(h, [&] {
        for (unsigned n = 0; n <= 10; ++n) {
            for (const Named& f : families(n, rng)) check_function(h, f, true);
        }
        // Sizes that reach the chunked and cross-chunk paths of the packed kernels.
        for (unsigned n : {12U, 14U, 15U, 17U, 20U}) {
            for (const Named& f : families(n, rng)) {
                if (f.name.rfind("random", 0) == 0 || f.name.rfind("majority", 0) == 0 ||
                    f.name.rfind("sparse", 0) == 0 || f.name.rfind("one-", 0) == 0 || f.name.rfind("parity", 0) == 0) {
                    check_function(h, f, false);
                }
            }
        }
        check_edge_cases(h);
    });
    return h.finish("cplx_sensitivity");
}
