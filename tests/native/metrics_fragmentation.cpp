// The fragmentation family against its worked table and the byte-map
// reference (in-order sums over lexicographic subsets).
#include "check.hpp"
#include "metrics_reference.hpp"
#include "metrics/fragmentation.hpp"

using namespace reference_test;
using namespace native_test;
using vexil::FValue;

namespace {

using Floats = std::vector<float>;

bool same_list(const Floats& a, const Floats& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (!identical(a[i], b[i])) return false;
    }
    return true;
}

// Values printed to seven significant digits.
bool close_list(const Floats& a, const Floats& b) {
    if (a.size() != b.size()) return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::fabs(a[i] - b[i]) > 1e-6F || std::signbit(a[i]) != std::signbit(b[i])) return false;
    }
    return true;
}

void worked_table() {
    struct Row {
        const char* name;
        Floats spectrum;
        std::uint64_t peak_index;
        float peak;
        Floats delta;
        Floats delta2;
    };
    const Row rows[] = {
        {"identity", {-0.0F, 1.0F}, 1, 1.0F, {1.0F}, {}},
        {"and", {-0.0F, 1.0F, 0.8112781F}, 1, 1.0F, {1.0F, -0.1887219F}, {-1.188722F}},
        {"xor", {-0.0F, 1.0F, 1.0F}, 1, 1.0F, {1.0F, 0.0F}, {-1.0F}},
        {"var0", {-0.0F, 0.5F, 1.0F}, 2, 1.0F, {0.5F, 0.5F}, {0.0F}},
        {"false", {-0.0F, -0.0F, -0.0F}, 0, -0.0F, {0.0F, 0.0F}, {0.0F}},
        {"majority", {-0.0F, 1.0F, 1.5F, 1.0F}, 2, 1.5F, {1.0F, 0.5F, -0.5F}, {-0.5F, -1.0F}},
        {"parity", {-0.0F, 1.0F, 1.0F, 1.0F}, 1, 1.0F, {1.0F, 0.0F, 0.0F}, {-1.0F, 0.0F}},
        {"one", {-0.0F}, 0, -0.0F, {}, {}},
    };
    for (const Row& row : rows) {
        const FValue f = worked(row.name);
        const Floats spectrum = vexil::fragmentation_spectrum(f);
        CHECK(close_list(spectrum, row.spectrum), "%s spectrum", row.name);
        const auto [index, value] = vexil::fragmentation_peak(f);
        CHECK_EQ(index, row.peak_index, "%s peak index", row.name);
        CHECK_EQ(value, row.peak, "%s peak", row.name);
        CHECK(close_list(vexil::fragmentation_delta(f), row.delta), "%s delta", row.name);
        CHECK(close_list(vexil::fragmentation_delta2(f), row.delta2), "%s delta2", row.name);
        // Exactly the reference values, not only close to the printed ones.
        Floats reference;
        for (unsigned k = 0; k <= f.n_vars(); ++k) reference.push_back(ref_fragmentation_k(f, k));
        CHECK(same_list(spectrum, reference), "%s spectrum exact", row.name);
    }
    const FValue var0 = worked("var0");
    CHECK(vexil::fragmentation_coefficient(var0, std::vector<std::uint64_t>{0}) == 1.0F, "var0 [0]");
    CHECK(std::fabs(vexil::fragmentation_coefficient(var0, std::vector<std::uint64_t>{0, 0}) - 0.8112781F) < 1e-7F,
          "var0 [0, 0]");
    CHECK(vexil::fragmentation_coefficient(var0, std::vector<std::uint64_t>{1, 0}) ==
              vexil::fragmentation_coefficient(var0, std::vector<std::uint64_t>{0, 1}),
          "order of vars");
}

void edges_of_k() {
    std::mt19937_64 rng(5);
    for (unsigned n = 0; n <= 11; ++n) {
        const FValue f = random_function(n, rng);
        CHECK_EQ(vexil::fragmentation_k(f, 0), -0.0F, "n=%u k=0", n);
        const std::uint64_t n64 = n;
        for (const std::uint64_t k : {n64 + 1, n64 + 7, (n64 + 1) << 40, ~n64}) {
            CHECK_EQ(vexil::fragmentation_k(f, k), 0.0F, "n=%u k=%llu", n, static_cast<unsigned long long>(k));
        }
        std::vector<std::uint64_t> all(n);
        for (unsigned v = 0; v < n; ++v) all[v] = v;
        CHECK_EQ(vexil::fragmentation_k(f, n), vexil::fragmentation_coefficient(f, all), "n=%u k=n", n);
        const Floats spectrum = vexil::fragmentation_spectrum(f);
        CHECK(spectrum.size() == n + 1 && vexil::fragmentation_delta(f).size() == n &&
                  vexil::fragmentation_delta2(f).size() == (n > 0 ? n - 1 : 0),
              "n=%u sizes", n);
    }
}

void random_spectra() {
    std::mt19937_64 rng(31);
    for (unsigned n = 1; n <= 11; ++n) {
        const int rounds = n <= 7 ? 6 : (n <= 9 ? 3 : 1);
        for (int round = 0; round < rounds; ++round) {
            const FValue f = random_function(n, rng, round % 2 == 1 ? 80 : 50);
            Floats reference;
            for (unsigned k = 0; k <= n; ++k) reference.push_back(ref_fragmentation_k(f, k));
            const Floats spectrum = vexil::fragmentation_spectrum(f);
            CHECK(same_list(spectrum, reference), "n=%u round %d spectrum", n, round);
            for (unsigned k = 0; k <= n; k += 3) {
                CHECK_EQ(vexil::fragmentation_k(f, k), reference[k], "n=%u k=%u", n, k);
            }
            std::uint64_t peak_index = 0;
            float peak = -std::numeric_limits<float>::infinity();
            for (std::size_t k = 0; k < reference.size(); ++k) {
                if (reference[k] > peak) {
                    peak = reference[k];
                    peak_index = k;
                }
            }
            const auto [index, value] = vexil::fragmentation_peak(f);
            CHECK(index == peak_index && identical(value, peak), "n=%u peak", n);
            const Floats delta = vexil::fragmentation_delta(f);
            bool delta_ok = delta.size() == n;
            for (unsigned k = 0; delta_ok && k < n; ++k) {
                delta_ok = identical(delta[k], reference[k + 1] - reference[k]);
            }
            CHECK(delta_ok, "n=%u delta", n);
        }
    }
    // One table on the pool, with the long-row path on both sides.
    const FValue f = random_function(12, rng, 65);
    for (const unsigned k : {0U, 1U, 5U, 6U, 7U, 11U, 12U}) {
        CHECK_EQ(vexil::fragmentation_k(f, k), ref_fragmentation_k(f, k), "n=12 k=%u", k);
    }
}

}  // namespace

int main() {
    worked_table();
    edges_of_k();
    random_spectra();
    return finish("metrics_fragmentation");
}
