// Per-variable influence counts and the spectrum written into caller memory,
// against references from the definitions.
#include "check.hpp"
#include "metrics_support.hpp"
#include "metrics/sensitivity.hpp"
#include "metrics/spectral.hpp"
#include "base/packed_table.hpp"
#include "panic.hpp"

#include <vector>

using namespace metrics_test;
using namespace native_test;

namespace {

// #{x : t[x] != t[x ^ 2^j]} for each j < n.
std::vector<std::uint64_t> ref_influence_counts(const Table& t) {
    const unsigned n = log2_size(t);
    std::vector<std::uint64_t> counts(n, 0);
    for (unsigned j = 0; j < n; ++j) {
        for (std::uint64_t x = 0; x < t.size(); ++x) counts[j] += t[x] != t[x ^ (std::uint64_t{1} << j)];
    }
    return counts;
}

void check_counts(const Named& f) {
    const vexil::FValue v(f.table);
    const std::vector<std::uint64_t> got = vexil::influence_counts(v);
    const std::vector<std::uint64_t> want = ref_influence_counts(f.table);
    CHECK_EQ(got.size(), want.size(), "%s: one count per variable", f.name.c_str());
    std::uint64_t sum = 0;
    for (std::size_t j = 0; j < got.size() && j < want.size(); ++j) {
        CHECK_EQ(got[j], want[j], "%s: variable %zu", f.name.c_str(), j);
        sum += got[j];
    }
    CHECK_EQ(sum, vexil::sensitivity_sum(v), "%s: counts add up to the sensitivity sum", f.name.c_str());
    // The packed form of the same bytes read in place gives the same counts.
    const std::vector<std::uint64_t> words = vexil::pack_entries(f.table);
    CHECK(words == vexil::detail::pack_table(v), "%s: pack_entries matches pack_table", f.name.c_str());
}

void check_spectrum_into(const Named& f, bool against_reference) {
    const vexil::FValue v(f.table);
    std::vector<std::int64_t> out(f.table.size(), 0x5555);
    vexil::spectrum_into(f.table, out);
    const auto w = vexil::detail::spectrum64(v);
    bool same = true;
    for (std::size_t k = 0; k < out.size(); ++k) same = same && out[k] == w[k];
    CHECK(same, "%s: spectrum_into matches spectrum64", f.name.c_str());
    if (against_reference)
        CHECK(out == ref_spectrum(f.table), "%s: spectrum_into matches the definition", f.name.c_str());
}

void check_refusals() {
    std::vector<std::uint8_t> table(8, 0);
    std::vector<std::int64_t> out(4, 0);
    bool stopped = false;
    try {
        vexil::spectrum_into(table, out);
    } catch (const vexil::Panic&) {
        stopped = true;
    }
    CHECK(stopped, "spectrum_into refuses lengths that differ");
    CHECK(out == std::vector<std::int64_t>(4, 0), "a refused call leaves the output untouched");
    CHECK(vexil::influence_counts(vexil::FValue({1})).empty(), "no variables, no counts");
}

}  // namespace

int main() {
    std::mt19937_64 rng(11);
    for_each_kernel_set([&] {
        for (unsigned n = 0; n <= 9; ++n) {
            for (const Named& f : families(n, rng)) {
                check_counts(f);
                check_spectrum_into(f, true);
            }
        }
        // The block loops and the strided passes of larger tables.
        for (unsigned n : {13U, 17U, 22U}) {
            for (const Named& f : families(n, rng)) {
                if (f.name.rfind("random", 0) == 0 || f.name.rfind("junta3", 0) == 0) {
                    check_counts(f);
                    check_spectrum_into(f, false);
                }
            }
        }
    });
    check_refusals();
    return finish("metrics_influence_counts");
}
