// Balanced cuts, entanglement, entropy, their record lists, information and
// equanimity importance, against worked values and the byte-map reference.
#include "check.hpp"
#include "metrics_reference.hpp"
#include "metrics/entanglement.hpp"

#include <limits>

using namespace reference_test;
using namespace native_test;
using vexil::FValue;

namespace {

using List = std::vector<std::uint64_t>;

void cut_order() {
    const std::vector<std::vector<std::pair<List, List>>> expected = {
        {{{}, {0}}},
        {{{0}, {1}}},
        {{{0}, {1, 2}}, {{1}, {0, 2}}, {{2}, {0, 1}}},
        {{{0, 1}, {2, 3}}, {{0, 2}, {1, 3}}, {{0, 3}, {1, 2}}},
    };
    for (unsigned n = 1; n <= 4; ++n) {
        const auto cuts = vexil::balanced_bipartitions(n);
        CHECK(cuts.size() == expected[n - 1].size(), "n=%u: %zu cuts", n, cuts.size());
        for (std::size_t i = 0; i < cuts.size() && i < expected[n - 1].size(); ++i) {
            CHECK(cuts[i].set1 == expected[n - 1][i].first && cuts[i].set2 == expected[n - 1][i].second,
                  "n=%u cut %zu: %s %s", n, i, text(cuts[i].set1).c_str(), text(cuts[i].set2).c_str());
        }
    }
    const auto five = vexil::balanced_bipartitions(5);
    CHECK(five.size() == 10, "n=5: %zu cuts", five.size());
    CHECK(five.front().set1 == List({0, 1}) && five.front().set2 == List({2, 3, 4}), "n=5 first");
    CHECK(five[1].set1 == List({0, 2}), "n=5 second");
    CHECK(five.back().set1 == List({3, 4}) && five.back().set2 == List({0, 1, 2}), "n=5 last");
    for (unsigned n = 1; n <= 14; ++n) {
        const auto cuts = vexil::balanced_bipartitions(n);
        const auto reference = ref_cuts(n);
        bool same = cuts.size() == reference.size() && cuts.size() == vexil::bipartition_count(n);
        for (std::size_t i = 0; same && i < cuts.size(); ++i) {
            same = cuts[i].set1 == reference[i].set1 && cuts[i].set2 == reference[i].set2;
        }
        CHECK(same, "n=%u order", n);
    }
    const auto zero = vexil::balanced_bipartitions(0);
    CHECK(zero.size() == 1 && zero[0].set1.empty() && zero[0].set2.empty(), "n=0");
}

void worked_table() {
    struct Row {
        const char* name;
        std::uint64_t entanglement;
        float entropy;
        float equanimity;
    };
    const Row rows[] = {
        {"identity", 3, 1.0F, 1.0F}, {"and", 4, 2.0F, 0.5F},      {"xor", 4, 2.0F, 1.0F},    {"var0", 3, 1.0F, 0.5F},
        {"false", 2, -0.0F, 0.0F},   {"majority", 5, 2.5F, 0.5F}, {"parity", 4, 2.0F, 1.0F},
    };
    for (const Row& row : rows) {
        const FValue f = worked(row.name);
        CHECK_EQ(vexil::entanglement(f), row.entanglement, "%s entanglement", row.name);
        CHECK_EQ(vexil::entropy(f), row.entropy, "%s entropy", row.name);
        CHECK_EQ(vexil::equanimity_importance(f), row.equanimity, "%s equanimity", row.name);
    }
    const FValue majority = worked("majority");
    const auto sets = vexil::entanglement_sets(majority);
    const auto entropies = vexil::entropy_sets(majority);
    CHECK(sets.size() == 3 && entropies.size() == 3, "majority records");
    for (std::size_t i = 0; i < sets.size() && i < entropies.size(); ++i) {
        CHECK(sets[i].entanglement == 5 && entropies[i].entropy == 2.5F, "majority cut %zu ties", i);
    }
    CHECK(vexil::information(majority, List{0}) == 2 && vexil::information(majority, List{1, 2}) == 3, "2 + 3");
}

void zero_variables() {
    for (const std::uint8_t value : {std::uint8_t{0}, std::uint8_t{1}}) {
        const FValue f({value});
        CHECK(vexil::entanglement(f) == 2, "n=0 entanglement");
        CHECK_EQ(vexil::entropy(f), -0.0F, "n=0 entropy");
        const auto sets = vexil::entanglement_sets(f);
        const auto entropies = vexil::entropy_sets(f);
        CHECK(sets.size() == 1 && sets[0].set1.empty() && sets[0].set2.empty() && sets[0].entanglement == 2,
              "n=0 entanglement record");
        CHECK(entropies.size() == 1 && entropies[0].set1.empty() && entropies[0].set2.empty() &&
                  identical(entropies[0].entropy, -0.0F),
              "n=0 entropy record");
        CHECK(std::isnan(vexil::equanimity_importance(f)), "n=0 equanimity");
    }
}

void constants() {
    for (unsigned n = 1; n <= 12; ++n) {
        for (const std::uint8_t value : {std::uint8_t{0}, std::uint8_t{1}}) {
            const FValue f(std::vector<std::uint8_t>(std::size_t{1} << n, value));
            CHECK(vexil::entanglement(f) == 2, "constant n=%u", n);
            CHECK_EQ(vexil::entropy(f), -0.0F, "constant n=%u entropy", n);
            CHECK(vexil::equanimity_importance(f) == 0.0F, "constant n=%u equanimity", n);
            CHECK(vexil::information(f, List{}) == 1, "information([]) n=%u", n);
        }
        // One variable decides: its side splits in two, the other side has one class.
        std::vector<std::uint8_t> entries(std::size_t{1} << n);
        for (std::size_t x = 0; x < entries.size(); ++x) entries[x] = (x >> (n - 1)) & 1;
        CHECK(vexil::entanglement(FValue(entries)) == 3, "dictator n=%u", n);
    }
}

float ref_equanimity(const FValue& f) {
    const unsigned n = f.n_vars();
    std::uint64_t changes = 0;
    for (unsigned v = 0; v < n; ++v) {
        for (std::uint64_t x = 0; x < f.size(); ++x) {
            if (((x >> v) & 1) == 0 && f.entries()[x] != f.entries()[x | (std::uint64_t{1} << v)]) ++changes;
        }
    }
    return static_cast<float>(changes) / static_cast<float>(n * (std::uint64_t{1} << (n - 1)));
}

void random_functions() {
    std::mt19937_64 rng(2024);
    for (unsigned n = 1; n <= 12; ++n) {
        const int rounds = n <= 8 ? 12 : (n <= 10 ? 4 : 2);
        for (int round = 0; round < rounds; ++round) {
            // Biased tables and low-order functions give ties and repeated rows.
            FValue f = random_function(n, rng, round % 3 == 1 ? 85 : 50);
            if (round % 3 == 2) {
                std::vector<std::uint8_t> entries(f.size());
                const std::size_t keep = (std::size_t{1} << std::max(1U, n / 2)) - 1;
                for (std::size_t x = 0; x < entries.size(); ++x) entries[x] = f.entries()[x & keep];
                f = FValue(std::move(entries));
            }
            const auto cuts = ref_cuts(n);
            std::uint64_t best_count = std::numeric_limits<std::uint64_t>::max();
            float best_entropy = std::numeric_limits<float>::max();
            std::vector<std::uint64_t> counts;
            std::vector<float> entropies;
            for (const auto& cut : cuts) {
                counts.push_back(ref_count(f, cut.set1) + ref_count(f, cut.set2));
                entropies.push_back(ref_entropy(f, cut.set1) + ref_entropy(f, cut.set2));
                best_count = std::min(best_count, counts.back());
                if (entropies.back() < best_entropy) best_entropy = entropies.back();
            }
            CHECK(vexil::entanglement(f) == best_count, "n=%u round %d entanglement", n, round);
            CHECK_EQ(vexil::entropy(f), best_entropy, "n=%u round %d entropy", n, round);
            const auto sets = vexil::entanglement_sets(f);
            const auto entropy_records = vexil::entropy_sets(f);
            bool same = sets.size() == cuts.size() && entropy_records.size() == cuts.size();
            for (std::size_t i = 0; same && i < cuts.size(); ++i) {
                same = sets[i].set1 == cuts[i].set1 && sets[i].set2 == cuts[i].set2 &&
                       sets[i].entanglement == counts[i] && entropy_records[i].set1 == cuts[i].set1 &&
                       entropy_records[i].set2 == cuts[i].set2 && identical(entropy_records[i].entropy, entropies[i]);
            }
            CHECK(same, "n=%u round %d records", n, round);
            CHECK_EQ(vexil::equanimity_importance(f), ref_equanimity(f), "n=%u equanimity", n);
        }
    }
}

// equanimity_importance reads the packed sensitivity kernels: every variant,
// with tables short and long enough for in-word and cross-word directions.
void equanimity_under_every_kernel() {
    std::mt19937_64 rng(11);
    for_each_kernel_set([&] {
        for (const unsigned n : {1U, 3U, 6U, 7U, 13U, 16U}) {
            for (const unsigned bias : {50U, 90U}) {
                const FValue f = random_function(n, rng, bias);
                CHECK_EQ(vexil::equanimity_importance(f), ref_equanimity(f), "n=%u bias %u", n, bias);
            }
        }
    });
}

// Larger tables exercise the long-row paths and the pool; only agreement of
// the minimum with the records is checked here.
void minimum_matches_records() {
    std::mt19937_64 rng(7);
    for (const unsigned n : {13U, 14U, 15U}) {
        const FValue f = random_function(n, rng, 70);
        const auto sets = vexil::entanglement_sets(f);
        const auto entropy_records = vexil::entropy_sets(f);
        std::uint64_t best_count = std::numeric_limits<std::uint64_t>::max();
        float best_entropy = std::numeric_limits<float>::max();
        for (const auto& r : sets) best_count = std::min(best_count, r.entanglement);
        for (const auto& r : entropy_records) best_entropy = std::min(best_entropy, r.entropy);
        CHECK(sets.size() == vexil::bipartition_count(n), "n=%u record count", n);
        CHECK(vexil::entanglement(f) == best_count, "n=%u", n);
        CHECK_EQ(vexil::entropy(f), best_entropy, "n=%u", n);
        // Spot-check a few records against the reference.
        for (std::size_t i = 0; i < sets.size(); i += sets.size() / 5 + 1) {
            CHECK(sets[i].entanglement == ref_count(f, sets[i].set1) + ref_count(f, sets[i].set2), "n=%u #%zu", n, i);
            CHECK_EQ(entropy_records[i].entropy,
                     ref_entropy(f, entropy_records[i].set1) + ref_entropy(f, entropy_records[i].set2),
                     "n=%u entropy #%zu", n, i);
        }
    }
}

}  // namespace

int main() {
    cut_order();
    worked_table();
    zero_variables();
    constants();
    random_functions();
    equanimity_under_every_kernel();
    minimum_matches_records();
    return finish("metrics_entanglement");
}
