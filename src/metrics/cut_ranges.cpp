#include "metrics/cut_ranges.hpp"

#include "memory_guard.hpp"
#include "metrics/cut_walk.hpp"
#include "base/packed_table.hpp"
#include "pool.hpp"
#include "progress.hpp"

#include <algorithm>
#include <bit>
#include <memory>
#include <stdexcept>
#include <vector>

namespace vexil {

namespace {

using detail::CutPlan;
using detail::CutValue;

// Measures the cuts of lexicographic ranks [begin, begin + count) of the plan:
// store(index, CutValue) with index = rank - begin, on the thread that holds
// the pool slot of the piece (distinct indices, so stores need no lock).
// `out_bytes`: the caller's result buffers, counted in the working set.
template <class Store>
void run_range(std::span<const std::uint8_t> entries, const CutPlan& plan, std::uint64_t begin, std::uint64_t count,
               std::uint64_t out_bytes, Store&& store) {
    const std::uint64_t total = plan.cut_count();
    if (begin > total || count > total - begin) throw std::out_of_range("the range runs past the last rank");
    ensure_working_set(bytes_plus(detail::cut_walk_bytes(plan.n), out_bytes));
    if (count == 0) return;
    detail::walk_cuts(
        pack_entries(entries), plan, begin, count,
        [&](std::size_t, std::uint64_t index, std::uint64_t, const CutValue& value) { store(index, value); });
}

unsigned variable_count(std::span<const std::uint8_t> entries) {
    if (!std::has_single_bit(entries.size())) throw std::invalid_argument("the table size is not a power of two");
    return static_cast<unsigned>(std::countr_zero(entries.size()));
}

// The one cut ([], []) of n = 0 variables.
template <class Value>
void empty_cut(std::uint64_t begin, std::span<Value> out, Value value) {
    if (begin > 1 || out.size() > 1 - begin) throw std::out_of_range("the range runs past the last rank");
    if (!out.empty()) out[0] = value;
}

}  // namespace

std::uint64_t subset_count(unsigned n, unsigned k) { return binomial(n, k); }

void cut_counts_range(std::span<const std::uint8_t> entries, std::uint64_t begin, std::span<std::uint64_t> out) {
    const unsigned n = variable_count(entries);
    if (n == 0) return empty_cut<std::uint64_t>(begin, out, 2);
    auto store = [&](std::uint64_t index, const CutValue& value) { out[index] = value.count1 + value.count2; };
    run_range(entries, detail::balanced_cut_plan(n, false), begin, out.size(), out.size_bytes(), store);
}

void cut_entropies_range(std::span<const std::uint8_t> entries, std::uint64_t begin, std::span<float> out) {
    const unsigned n = variable_count(entries);
    if (n == 0) return empty_cut<float>(begin, out, -0.0F);
    auto store = [&](std::uint64_t index, const CutValue& value) { out[index] = value.entropy1 + value.entropy2; };
    run_range(entries, detail::balanced_cut_plan(n, true), begin, out.size(), out.size_bytes(), store);
}

void subset_entropies_range(std::span<const std::uint8_t> entries, unsigned k, std::uint64_t begin,
                            std::span<float> out, std::span<float> complements) {
    const unsigned n = variable_count(entries);
    if (k > n) throw std::out_of_range("more variables in a subset than the function has");
    if (!complements.empty() && complements.size() != out.size()) {
        throw std::invalid_argument("the complements need one value per subset");
    }
    CutPlan plan;
    plan.n = n;
    plan.k = k;
    plan.entropy = true;
    plan.want2 = !complements.empty();
    // The complement of rank begin + index lands at (count - 1 - index): the
    // complement map reverses the lexicographic order.
    const std::uint64_t last = out.size() - 1;
    auto store = [&](std::uint64_t index, const CutValue& value) {
        out[index] = value.entropy1;
        if (plan.want2) complements[last - index] = value.entropy2;
    };
    run_range(entries, plan, begin, out.size(), bytes_plus(out.size_bytes(), complements.size_bytes()), store);
}

}  // namespace vexil
