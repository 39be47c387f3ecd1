#include "metrics/entanglement.hpp"

#include "memory_guard.hpp"
#include "metrics/cut_walk.hpp"
#include "metrics/sensitivity.hpp"

#include <bit>
#include <limits>
#include <type_traits>

namespace vexil {

namespace {

detail::CutPlan bipartition_plan(unsigned n, bool entropy) {
    detail::CutPlan plan;
    plan.n = n;
    plan.entropy = entropy;
    if (n % 2 == 1) {
        plan.k = (n - 1) / 2;
    } else {
        // Variable 0 always in set1, so that each split appears once.
        plan.fixed = 1;
        plan.pool_lo = 1;
        plan.k = n / 2 - 1;
    }
    return plan;
}

std::vector<std::uint64_t> members(std::uint64_t mask) {
    std::vector<std::uint64_t> list;
    list.reserve(static_cast<std::size_t>(std::popcount(mask)));
    for (; mask != 0; mask &= mask - 1) list.push_back(static_cast<std::uint64_t>(std::countr_zero(mask)));
    return list;
}

// Both measures of every cut, indexed by the cut's position in the order of
// balanced_bipartitions (n >= 1).
template <class Value>
std::vector<Value> cut_values(const FValue& f, bool entropy) {
    const detail::CutPlan plan = bipartition_plan(f.n_vars(), entropy);
    const std::uint64_t total = plan.cut_count();
    ensure_allocatable(total, sizeof(Value));
    // The values, the cuts with their variable lists, and the records built from both.
    const std::uint64_t per_cut =
        sizeof(Value) + 2 * sizeof(Bipartition) + 2 * std::uint64_t{plan.n} * sizeof(std::uint64_t);
    ensure_working_set(bytes_plus(detail::cut_walk_bytes(plan.n), bytes_times(total, per_cut)));
    std::vector<Value> values(total);
    detail::run_cuts(f, plan, [&](std::size_t, std::uint64_t rank, std::uint64_t, const detail::CutValue& value) {
        if constexpr (std::is_same_v<Value, float>) {
            values[rank] = value.entropy1 + value.entropy2;
        } else {
            values[rank] = value.count1 + value.count2;
        }
    });
    return values;
}

}  // namespace

detail::CutPlan detail::balanced_cut_plan(unsigned n, bool entropy) { return bipartition_plan(n, entropy); }

std::uint64_t bipartition_count(unsigned n) {
    if (n == 0) return 1;
    return bipartition_plan(n, false).cut_count();
}

std::vector<Bipartition> balanced_bipartitions(unsigned n) {
    std::vector<Bipartition> cuts;
    if (n == 0) {
        cuts.emplace_back();
        return cuts;
    }
    const detail::CutPlan plan = bipartition_plan(n, false);
    ensure_allocatable(plan.cut_count(), sizeof(Bipartition));
    cuts.reserve(plan.cut_count());
    std::vector<std::uint64_t> pool;
    for (unsigned v = plan.pool_lo; v < n; ++v) pool.push_back(v);
    SubsetEnumerator subsets(std::move(pool), plan.k);
    std::vector<std::uint64_t> subset;
    while (subsets.next(subset)) {
        std::uint64_t set1 = plan.fixed;
        for (const std::uint64_t v : subset) set1 |= std::uint64_t{1} << v;
        cuts.push_back({members(set1), members(detail::all_variables(n) & ~set1)});
    }
    return cuts;
}

std::uint64_t entanglement(const FValue& f) {
    const unsigned n = f.n_vars();
    if (n == 0) return 2;  // the cut ([], []): one restriction on each side
    ensure_working_set(detail::cut_walk_bytes(n));
    std::vector<std::uint64_t> best(detail::slot_count(n), std::numeric_limits<std::uint64_t>::max());
    detail::run_cuts(f, bipartition_plan(n, false),
                     [&](std::size_t slot, std::uint64_t, std::uint64_t, const detail::CutValue& value) {
                         const std::uint64_t sum = value.count1 + value.count2;
                         if (sum < best[slot]) best[slot] = sum;
                     });
    std::uint64_t result = std::numeric_limits<std::uint64_t>::max();
    for (const std::uint64_t b : best) {
        if (b < result) result = b;
    }
    return result;
}

float entropy(const FValue& f) {
    const unsigned n = f.n_vars();
    if (n == 0) return -0.0F;
    ensure_working_set(detail::cut_walk_bytes(n));
    std::vector<float> best(detail::slot_count(n), std::numeric_limits<float>::max());
    detail::run_cuts(f, bipartition_plan(n, true),
                     [&](std::size_t slot, std::uint64_t, std::uint64_t, const detail::CutValue& value) {
                         const float sum = value.entropy1 + value.entropy2;
                         if (sum < best[slot]) best[slot] = sum;
                     });
    float result = std::numeric_limits<float>::max();
    for (const float b : best) {
        if (b < result) result = b;
    }
    return result;
}

std::vector<EntanglementSet> entanglement_sets(const FValue& f) {
    const unsigned n = f.n_vars();
    const std::vector<std::uint64_t> values =
        n == 0 ? std::vector<std::uint64_t>{2} : cut_values<std::uint64_t>(f, false);
    std::vector<Bipartition> cuts = balanced_bipartitions(n);
    std::vector<EntanglementSet> records;
    records.reserve(cuts.size());
    for (std::size_t i = 0; i < cuts.size(); ++i) {
        records.push_back({std::move(cuts[i].set1), std::move(cuts[i].set2), values[i]});
    }
    return records;
}

std::vector<EntropySets> entropy_sets(const FValue& f) {
    const unsigned n = f.n_vars();
    const std::vector<float> values = n == 0 ? std::vector<float>{-0.0F} : cut_values<float>(f, true);
    std::vector<Bipartition> cuts = balanced_bipartitions(n);
    std::vector<EntropySets> records;
    records.reserve(cuts.size());
    for (std::size_t i = 0; i < cuts.size(); ++i) {
        records.push_back({std::move(cuts[i].set1), std::move(cuts[i].set2), values[i]});
    }
    return records;
}

std::uint64_t information(const FValue& f, std::span<const std::uint64_t> vars) { return restriction_count(f, vars); }

float equanimity_importance(const FValue& f) {
    const unsigned n = f.n_vars();
    if (n == 0) return std::numeric_limits<float>::quiet_NaN();  // no edges: 0 / 0
    // An edge along which f changes makes both of its ends sensitive.
    const std::uint64_t changes = sensitivity_sum(f) / 2;
    const std::uint64_t edges = std::uint64_t{n} << (n - 1);
    return static_cast<float>(changes) / static_cast<float>(edges);
}

}  // namespace vexil
