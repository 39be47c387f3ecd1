// The query-complexity kernels against references from the definitions, under
// every kernel variant: sensitivity statistics over a filter with the counts of
// every input, smallest certificates and the one-sided certificate
// complexities, the packing of sensitive blocks (on made-up block families as
// well as on functions), and decision-tree depth.
#include "check.hpp"
#include "metrics_support.hpp"
#include "metrics/block_sensitivity.hpp"
#include "metrics/certificate.hpp"
#include "metrics/certificates.hpp"
#include "metrics/decision_tree.hpp"
#include "metrics/sensitivity.hpp"
#include "base/packed_table.hpp"

#include <cmath>

using namespace metrics_test;
using namespace native_test;

namespace {

using Words = std::vector<std::uint64_t>;

// The most pairwise disjoint sets among those `sensitive` says yes to, inside
// `avail`: P(avail) = max over sensitive d inside avail of 1 + P(avail - d).
template <class Sensitive>
unsigned ref_packing(unsigned n, Sensitive&& sensitive) {
    const std::uint64_t size = std::uint64_t{1} << n;
    std::vector<unsigned> best(size, 0);
    for (std::uint64_t avail = 1; avail < size; ++avail) {
        for (std::uint64_t d = avail; d != 0; d = (d - 1) & avail) {
            if (sensitive(d)) best[avail] = std::max(best[avail], 1 + best[avail & ~d]);
        }
    }
    return best[size - 1];
}

unsigned ref_block_sensitivity(const Table& t) {
    const unsigned n = log2_size(t);
    unsigned best = 0;
    for (std::uint64_t x = 0; x < t.size(); ++x) {
        best = std::max(best, ref_packing(n, [&](std::uint64_t d) { return t[x ^ d] != t[x]; }));
    }
    return best;
}

// D of the subcube whose variables in `fixed` hold the bits of `values`, its
// points walked one by one; memo[index] holds D + 1 once known, by the index
// of the subcube in base 3 (digit 2 for a free variable).
unsigned ref_depth(const Table& t, std::uint64_t fixed, std::uint64_t values, std::vector<std::uint8_t>& memo) {
    const unsigned n = log2_size(t);
    const std::uint64_t all = t.size() - 1;
    std::uint64_t index = 0;
    for (unsigned v = n; v-- > 0;) {
        index = 3 * index + (((fixed >> v) & 1U) == 0 ? 2 : (values >> v) & 1U);
    }
    if (memo.empty()) memo.assign(static_cast<std::size_t>(std::pow(3.0, n)) + 1, 0);
    if (memo[index] != 0) return memo[index] - 1U;
    const std::uint64_t free = all & ~fixed;
    bool seen[2] = {false, false};
    std::uint64_t sub = 0;
    do {
        seen[t[values | sub]] = true;
        sub = (sub - free) & free;
    } while (sub != 0);
    unsigned depth = 0;
    if (seen[0] && seen[1]) {
        depth = n;
        for (unsigned v = 0; v < n; ++v) {
            const std::uint64_t bit = std::uint64_t{1} << v;
            if ((fixed & bit) != 0) continue;
            depth = std::min(depth, 1 + std::max(ref_depth(t, fixed | bit, values, memo),
                                                 ref_depth(t, fixed | bit, values | bit, memo)));
        }
    }
    memo[index] = static_cast<std::uint8_t>(depth + 1);
    return depth;
}

// Whether fixing the variables of `mask` at their values in x fixes f.
bool certifies(const Table& t, std::uint64_t x, std::uint64_t mask) {
    for (std::uint64_t y = 0; y < t.size(); ++y) {
        if ((y & mask) == (x & mask) && t[y] != t[x]) return false;
    }
    return true;
}

void check_sensitivity_stats(const Named& f, std::mt19937_64& rng) {
    const char* name = f.name.c_str();
    const Table& t = f.table;
    const Words words = vexil::pack_entries(t);
    Words filter(words.size());
    for (auto& w : filter) w = rng() & rng();  // about a quarter of the inputs
    // Counts of tables below 64 entries fill only their entries: the rest keep their guard.
    std::vector<std::uint8_t> out(std::max<std::size_t>(t.size(), 64) + 8, 0xEE);
    const vexil::SensitivityStats got = vexil::packed_sensitivity_stats(words, log2_size(t), filter.data(), out.data());
    vexil::SensitivityStats all_want, want;
    all_want.min = want.min = ~0U;
    bool counts_right = true;
    for (std::uint64_t x = 0; x < t.size(); ++x) {
        const unsigned s = ref_sensitivity(t, x);
        counts_right = counts_right && out[x] == s;
        for (vexil::SensitivityStats* w : {&all_want, &want}) {
            if (w == &want && ((filter[x / 64] >> (x % 64)) & 1U) == 0) continue;
            w->min = std::min(w->min, s);
            w->max = std::max(w->max, s);
            w->sum += s;
            ++w->inputs;
        }
    }
    if (want.inputs == 0) want = vexil::SensitivityStats{};
    CHECK(counts_right, "counts of %s", name);
    CHECK(std::all_of(out.begin() + static_cast<std::ptrdiff_t>(t.size()), out.end(), [](auto b) { return b == 0xEE; }),
          "bytes past the table of %s untouched", name);
    CHECK_EQ(got.min, want.min, "filtered min of %s", name);
    CHECK_EQ(got.max, want.max, "filtered max of %s", name);
    CHECK_EQ(got.sum, want.sum, "filtered sum of %s", name);
    CHECK_EQ(got.inputs, want.inputs, "filtered inputs of %s", name);
    const vexil::SensitivityStats all = vexil::packed_sensitivity_stats(words, log2_size(t), nullptr, nullptr);
    CHECK_EQ(all.min, all_want.min, "min of %s", name);
    CHECK_EQ(all.max, all_want.max, "max of %s", name);
    CHECK_EQ(all.sum, all_want.sum, "sum of %s", name);
    CHECK_EQ(all.inputs, t.size(), "inputs of %s", name);
}

void check_certificates(const Named& f) {
    const char* name = f.name.c_str();
    const Table& t = f.table;
    const unsigned n = log2_size(t);
    const Words words = vexil::pack_entries(t);
    unsigned want[2] = {0, 0};
    for (std::uint64_t x = 0; x < t.size(); ++x) {
        const unsigned size = ref_local_certificate(t, x);
        want[t[x]] = std::max(want[t[x]], size);
        const std::uint64_t mask = vexil::smallest_certificate(words, n, x);
        CHECK_EQ(ones(mask), size, "certificate size of %s at %llu", name, static_cast<unsigned long long>(x));
        CHECK(mask < t.size() && certifies(t, x, mask), "certificate of %s at %llu", name,
              static_cast<unsigned long long>(x));
        if (n <= 6) {
            // The least mask among the smallest certificates.
            bool least = true;
            for (std::uint64_t other = 0; other < mask && least; ++other) {
                least = ones(other) != size || !certifies(t, x, other);
            }
            CHECK(least, "least certificate of %s at %llu", name, static_cast<unsigned long long>(x));
        }
    }
    CHECK_EQ(vexil::packed_certificate_complexity(words, n, false), want[0], "C0 of %s", name);
    CHECK_EQ(vexil::packed_certificate_complexity(words, n, true), want[1], "C1 of %s", name);
    CHECK_EQ(vexil::packed_certificate_complexity(words, n, std::nullopt),
             vexil::certificate_complexity(vexil::FValue(t)), "C of %s", name);
}

void check_block_sensitivity_and_depth(const Named& f) {
    const char* name = f.name.c_str();
    const unsigned n = log2_size(f.table);
    const Words words = vexil::pack_entries(f.table);
    CHECK_EQ(vexil::packed_block_sensitivity(words, n), ref_block_sensitivity(f.table), "bs of %s", name);
    std::vector<std::uint8_t> memo;
    CHECK_EQ(vexil::packed_decision_tree_depth(words, n), ref_depth(f.table, 0, 0, memo), "D of %s", name);
}

// The packing alone, on the blocked sets of a made-up family of blocks (their
// supersets are blocked too), with the lanes past a short table holding noise.
void check_packing(const std::vector<std::uint64_t>& family, unsigned n, std::mt19937_64& rng) {
    const std::uint64_t size = std::uint64_t{1} << n;
    auto blocked = [&](std::uint64_t d) {
        return std::any_of(family.begin(), family.end(), [d](std::uint64_t b) { return (b & ~d) == 0; });
    };
    Words words(std::max<std::uint64_t>(1, size / 64), 0);
    if (n < 6) words[0] = rng() & ~((std::uint64_t{1} << size) - 1);
    unsigned singletons = 0;
    for (std::uint64_t d = 0; d < size; ++d) {
        if (blocked(d)) words[d / 64] |= std::uint64_t{1} << (d % 64);
    }
    for (unsigned v = 0; v < n; ++v) singletons += blocked(std::uint64_t{1} << v) ? 1 : 0;
    vexil::detail::PackingSpace space;
    CHECK_EQ(vexil::detail::input_block_sensitivity(words, n, singletons, space), ref_packing(n, blocked),
             "packing of %zu blocks over %u variables", family.size(), n);
}

}  // namespace

int main() {
    std::mt19937_64 rng(2024);
    for_each_kernel_set([&] {
        for (unsigned n = 0; n <= 8; ++n) {
            for (const Named& f : families(n, rng)) {
                check_sensitivity_stats(f, rng);
                check_certificates(f);
                if (n <= 7) check_block_sensitivity_and_depth(f);
            }
        }
        // The pooled paths: statistics from 18 variables, the waves of the tree from 12.
        for (unsigned n : {12U, 18U}) {
            Table t(std::size_t{1} << n);
            for (auto& e : t) e = (rng() % 5) == 0 ? 1 : 0;
            check_sensitivity_stats({"random of " + std::to_string(n), t}, rng);
        }
        for (unsigned n : {12U, 13U}) {
            for (const Named& f : families(n, rng)) {
                if (f.name.rfind("random", 0) == 0 || f.name.rfind("symmetric", 0) == 0 ||
                    f.name.rfind("tribes", 0) == 0) {
                    std::vector<std::uint8_t> memo;
                    CHECK_EQ(vexil::packed_decision_tree_depth(vexil::pack_entries(f.table), n),
                             ref_depth(f.table, 0, 0, memo), "D of %s", f.name.c_str());
                }
            }
        }
    });

    // A family where the best packing leaves the lowest variable out.
    check_packing({0b00111, 0b01010, 0b10100}, 5, rng);
    for (int round = 0; round < 400; ++round) {
        const unsigned n = 2 + static_cast<unsigned>(round % 8);
        std::vector<std::uint64_t> family;
        const int count = 1 + static_cast<int>(rng() % 8);
        for (int i = 0; i < count; ++i) {
            // Small blocks mostly: two or three variables.
            std::uint64_t b = 0;
            const unsigned wanted = 1 + static_cast<unsigned>(rng() % 3) + (rng() % 4 == 0 ? 1U : 0U);
            for (unsigned k = 0; k < wanted; ++k) b |= std::uint64_t{1} << (rng() % n);
            family.push_back(b);
        }
        check_packing(family, n, rng);
    }
    return finish("metrics_query");
}
