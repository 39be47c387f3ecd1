#include "metrics/fragmentation.hpp"

#include "memory_guard.hpp"
#include "metrics/cut_walk.hpp"
#include "progress.hpp"

#include <limits>

namespace vexil {

namespace {

// Sum in list order from -0.0, divided by the number of entries.
float mean_in_order(const std::vector<float>& values) {
    return mean_of_sum(sum_in_order(-0.0F, values), values.size());
}

std::vector<float> differences(const std::vector<float>& values) {
    std::vector<float> result;
    if (values.size() > 1) {
        result.reserve(values.size() - 1);
        for (std::size_t k = 0; k + 1 < values.size(); ++k) result.push_back(values[k + 1] - values[k]);
    }
    return result;
}

// Entropies of the k-subsets (and, when `complements` is given, of the
// (n-k)-subsets), each stored at its lexicographic rank.
void subset_entropies(const FValue& f, unsigned k, std::vector<float>& subsets, std::vector<float>* complements) {
    const unsigned n = f.n_vars();
    detail::CutPlan plan;
    plan.n = n;
    plan.k = k;
    plan.entropy = true;
    plan.want2 = complements != nullptr;
    ensure_allocatable(plan.cut_count(), sizeof(float) * (complements != nullptr ? 2 : 1));
    ensure_working_set(bytes_plus(detail::cut_walk_bytes(n),
                                  bytes_times(plan.cut_count(), sizeof(float) * (complements != nullptr ? 2 : 1))));
    subsets.assign(plan.cut_count(), 0.0F);
    if (complements != nullptr) complements->assign(plan.cut_count(), 0.0F);
    const std::uint64_t all = detail::all_variables(n);
    detail::run_cuts(f, plan, [&](std::size_t, std::uint64_t rank, std::uint64_t set1, const detail::CutValue& value) {
        subsets[rank] = value.entropy1;
        if (complements != nullptr) (*complements)[detail::lex_rank(all & ~set1, n, n - k)] = value.entropy2;
    });
}

}  // namespace

float sum_in_order(float sum, std::span<const float> values) {
    for (const float v : values) sum += v;
    return sum;
}

float mean_of_sum(float sum, std::uint64_t count) { return sum / static_cast<float>(count); }

float fragmentation_coefficient(const FValue& f, std::span<const std::uint64_t> vars) {
    return restriction_entropy(f, vars);
}

float fragmentation_k(const FValue& f, std::uint64_t k) {
    const unsigned n = f.n_vars();
    if (k > n) return 0.0F;
    std::vector<float> values;
    subset_entropies(f, static_cast<unsigned>(k), values, nullptr);
    return mean_in_order(values);
}

std::vector<float> fragmentation_spectrum(const FValue& f) {
    const unsigned n = f.n_vars();
    std::vector<float> spectrum(n + 1);
    std::vector<float> low, high;
    std::uint64_t cuts = 0;
    for (unsigned k = 0; 2 * k <= n; ++k) cuts += binomial(n, k);
    plan_progress(cuts);
    for (unsigned k = 0; 2 * k <= n; ++k) {
        const bool paired = 2 * k != n;
        subset_entropies(f, k, low, paired ? &high : nullptr);
        spectrum[k] = mean_in_order(low);
        if (paired) spectrum[n - k] = mean_in_order(high);
    }
    return spectrum;
}

std::pair<std::uint64_t, float> fragmentation_peak(const FValue& f) {
    const std::vector<float> spectrum = fragmentation_spectrum(f);
    std::uint64_t best_index = 0;
    float best = -std::numeric_limits<float>::infinity();
    for (std::size_t k = 0; k < spectrum.size(); ++k) {
        if (spectrum[k] > best) {
            best = spectrum[k];
            best_index = k;
        }
    }
    return {best_index, best};
}

std::vector<float> fragmentation_delta(const FValue& f) { return differences(fragmentation_spectrum(f)); }

std::vector<float> fragmentation_delta2(const FValue& f) { return differences(fragmentation_delta(f)); }

}  // namespace vexil
