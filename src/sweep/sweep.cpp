#include "sweep/sweep.hpp"

#include "fvalue.hpp"
#include "interrupt.hpp"
#include "memory_guard.hpp"
#include "metrics/anf.hpp"
#include "metrics/autocorrelation.hpp"
#include "metrics/block_sensitivity.hpp"
#include "metrics/certificate.hpp"
#include "metrics/decision_tree.hpp"
#include "metrics/entanglement.hpp"
#include "metrics/frontier.hpp"
#include "metrics/sensitivity.hpp"
#include "metrics/spectral.hpp"
#include "metrics/walsh_measures.hpp"
#include "npn5/queries.hpp"
#include "pool.hpp"

#include <algorithm>
#include <bit>
#include <cstring>
#include <optional>
#include <stdexcept>
#include <string>

namespace vexil {

class SweepInput {
public:
    SweepInput(const std::uint8_t* row, unsigned n) : n_(n) {
        const std::uint64_t bytes = sweep_row_bytes(n);
        words_.assign((bytes + 7) / 8, 0);
        std::memcpy(words_.data(), row, bytes);
        if (n < 6) words_[0] &= (std::uint64_t{1} << (std::uint64_t{1} << n)) - 1;
    }

    unsigned n() const { return n_; }
    std::uint64_t size() const { return std::uint64_t{1} << n_; }
    // Packed as pack_entries packs: entry x at bit x % 64 of word x / 64.
    std::span<const std::uint64_t> words() const { return words_; }
    std::uint64_t low_word() const { return words_[0]; }

    std::span<const std::uint8_t> entries() {
        if (entries_.empty()) {
            entries_.resize(size());
            for (std::uint64_t x = 0; x < size(); ++x) {
                entries_[x] = static_cast<std::uint8_t>((words_[x / 64] >> (x % 64)) & 1U);
            }
        }
        return entries_;
    }

    const FValue& fvalue() {
        if (!fvalue_) {
            const std::span<const std::uint8_t> e = entries();
            fvalue_.emplace(std::vector<std::uint8_t>(e.begin(), e.end()));
        }
        return *fvalue_;
    }

    // The packed sensitivity summary of every input, shared by the measures
    // read off it.
    const SensitivityStats& sensitivity() {
        if (!stats_) stats_ = detail::packed_sensitivity_stats(words_, n_, nullptr, nullptr);
        return *stats_;
    }

    std::uint64_t weight() const { return detail::packed_weight(words_); }

private:
    unsigned n_;
    std::vector<std::uint64_t> words_;
    std::vector<std::uint8_t> entries_;
    std::optional<FValue> fvalue_;
    std::optional<SensitivityStats> stats_;
};

namespace {

using Input = SweepInput;

std::int64_t as_integer(std::uint64_t v) { return static_cast<std::int64_t>(v); }

// The 32-bit word of the gate database for a table of at most five
// variables, extended to five as BooleanFunction.extend(5) does (the added
// variables ignored): entry k at bit 31 - k.
npn5::Word database_word(const Input& in) {
    std::uint64_t w = in.low_word();
    for (std::uint64_t bits = in.size(); bits < 32; bits *= 2) w |= w << bits;
    std::uint32_t word = static_cast<std::uint32_t>(w);
    std::uint32_t reversed = 0;
    for (unsigned k = 0; k < 32; ++k) reversed |= ((word >> k) & 1U) << (31 - k);
    return reversed;
}

std::int64_t weight(Input& in) { return as_integer(in.weight()); }
std::int64_t is_balanced(Input& in) { return 2 * in.weight() == in.size() ? 1 : 0; }
std::int64_t entanglement(Input& in) { return as_integer(vexil::entanglement(in.fvalue())); }
double entropy(Input& in) { return static_cast<double>(vexil::entropy(in.fvalue())); }
std::int64_t degree(Input& in) { return vexil::fourier_degree(in.entries()); }
std::int64_t nonlinearity(Input& in) { return as_integer(vexil::nonlinearity(in.entries())); }
std::int64_t max_sensitivity(Input& in) { return in.sensitivity().max; }
std::int64_t min_sensitivity(Input& in) { return in.sensitivity().min; }
double mean_sensitivity(Input& in) { return static_cast<double>(vexil::mean_sensitivity(in.fvalue())); }
double total_influence(Input& in) { return detail::exact_total_influence(in.sensitivity().sum, in.n()); }
std::int64_t frontier_size(Input& in) {
    std::optional<FrontierCache> cache;
    return as_integer(vexil::frontier_size(in.fvalue(), cache));
}
std::int64_t max_frontier_size(Input& in) { return as_integer(detail::max_frontier_size(in.n(), in.weight())); }
double equanimity_importance(Input& in) { return static_cast<double>(vexil::equanimity_importance(in.fvalue())); }
std::int64_t certificate_complexity(Input& in) { return vexil::certificate_complexity(in.fvalue()); }
std::int64_t block_sensitivity(Input& in) { return detail::packed_block_sensitivity(in.words(), in.n()); }
std::int64_t decision_tree_depth(Input& in) { return detail::packed_decision_tree_depth(in.words(), in.n()); }
std::int64_t algebraic_degree(Input& in) { return vexil::algebraic_degree(in.entries()); }
std::int64_t correlation_immunity(Input& in) { return vexil::correlation_immunity(in.entries()); }
std::int64_t resiliency_order(Input& in) { return vexil::resiliency_order(in.entries()); }
std::int64_t absolute_indicator(Input& in) { return as_integer(vexil::absolute_indicator(in.entries())); }
std::int64_t minimal_gates(Input& in) { return npn5::minimal_gates_query(database_word(in)).gate_count; }

constexpr unsigned any_n = 64;

constexpr SweepMeasure integer(std::string_view name, std::int64_t (*f)(Input&), unsigned max_vars = any_n) {
    return {name, SweepKind::integer, max_vars, f, nullptr};
}
constexpr SweepMeasure real(std::string_view name, double (*f)(Input&)) {
    return {name, SweepKind::real, any_n, nullptr, f};
}

constexpr SweepMeasure measure_table[] = {
    integer("weight", weight),
    {"is_balanced", SweepKind::boolean, any_n, is_balanced, nullptr},
    integer("entanglement", entanglement),
    real("entropy", entropy),
    integer("degree", degree),
    integer("fourier_degree", degree),
    integer("no_linearity", nonlinearity),
    integer("nonlinearity", nonlinearity),
    integer("max_sensitivity", max_sensitivity),
    integer("sensitivity", max_sensitivity),
    integer("min_sensitivity", min_sensitivity),
    real("mean_sensitivity", mean_sensitivity),
    real("total_influence", total_influence),
    real("average_sensitivity", total_influence),
    integer("frontier_size", frontier_size),
    integer("max_frontier_size", max_frontier_size),
    real("equanimity_importance", equanimity_importance),
    integer("certificate_complexity", certificate_complexity),
    integer("block_sensitivity", block_sensitivity),
    integer("decision_tree_depth", decision_tree_depth),
    integer("algebraic_degree", algebraic_degree),
    integer("correlation_immunity", correlation_immunity),
    integer("resiliency_order", resiliency_order),
    integer("absolute_indicator", absolute_indicator, max_autocorrelation_vars),
    integer("minimal_gates", minimal_gates, 5),
};

// Rows of a chunk: under a millisecond of work for small n, one row from
// 2^10 entries on.
std::uint64_t chunk_rows(unsigned n) { return n >= 10 ? 1 : std::uint64_t{1} << (10 - n); }

std::uint64_t row_count(std::span<const std::uint8_t> rows, unsigned n) {
    const std::uint64_t bytes = sweep_row_bytes(n);
    if (rows.size() % bytes != 0) {
        throw std::invalid_argument("the rows hold " + std::to_string(rows.size()) + " bytes, not a multiple of " +
                                    std::to_string(bytes) + " (one row of " + std::to_string(n) + " variables)");
    }
    return rows.size() / bytes;
}

}  // namespace

std::span<const SweepMeasure> sweep_measures() { return measure_table; }

const SweepMeasure* find_sweep_measure(std::string_view name) {
    for (const SweepMeasure& m : measure_table) {
        if (m.name == name) return &m;
    }
    return nullptr;
}

std::uint64_t sweep_row_bytes(unsigned n) { return n <= 3 ? 1 : std::uint64_t{1} << (n - 3); }

void sweep_rows(std::span<const std::uint8_t> rows, unsigned n, std::span<const SweepColumn> columns) {
    if (n >= 64) throw std::invalid_argument("a table of " + std::to_string(n) + " variables is too large");
    for (const SweepColumn& c : columns) {
        if (n > c.measure->max_vars) {
            throw std::invalid_argument(std::string(c.measure->name) + " is defined up to " +
                                        std::to_string(c.measure->max_vars) + " variables, not " + std::to_string(n));
        }
    }
    const std::uint64_t count = row_count(rows, n);
    const std::uint64_t bytes = sweep_row_bytes(n);
    // Each thread holds one function's packed words, bytes and FValue at a time.
    ensure_working_set(bytes_times(pool_size(), bytes_times(std::uint64_t{1} << n, 4)));
    parallel_for(count, chunk_rows(n), [&](std::uint64_t begin, std::uint64_t end, std::size_t) {
        for (std::uint64_t r = begin; r < end; ++r) {
            check_interrupt();
            SweepInput in(rows.data() + r * bytes, n);
            for (const SweepColumn& c : columns) {
                if (c.measure->kind == SweepKind::real) {
                    c.reals[r] = c.measure->real(in);
                } else {
                    c.integers[r] = c.measure->integer(in);
                }
            }
        }
    });
}

void sweep_spectra(std::span<const std::uint8_t> rows, unsigned n, std::span<std::int64_t> out) {
    if (n >= 64) throw std::invalid_argument("a table of " + std::to_string(n) + " variables is too large");
    const std::uint64_t count = row_count(rows, n);
    const std::uint64_t bytes = sweep_row_bytes(n);
    const std::uint64_t size = std::uint64_t{1} << n;
    if (out.size() / size != count || out.size() % size != 0) {
        throw std::invalid_argument("the spectra need " + std::to_string(count) + " rows of " + std::to_string(size) +
                                    " values");
    }
    parallel_for(count, chunk_rows(n), [&](std::uint64_t begin, std::uint64_t end, std::size_t) {
        for (std::uint64_t r = begin; r < end; ++r) {
            check_interrupt();
            SweepInput in(rows.data() + r * bytes, n);
            spectrum_into(in.entries(), out.subspan(r * size, size));
        }
    });
}

}  // namespace vexil
