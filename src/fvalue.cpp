#include "fvalue.hpp"

#include "interrupt.hpp"
#include "memory_guard.hpp"
#include "panic.hpp"

#include <algorithm>
#include <bit>
#include <cstring>

namespace vexil {

FValue::FValue(std::vector<std::uint8_t> entries) : entries_(std::move(entries)) {
    if (!std::has_single_bit(entries_.size())) panic("Invalid size");
}

unsigned FValue::n_vars() const { return static_cast<unsigned>(std::bit_width(size()) - 1); }

std::optional<bool> FValue::eval(std::uint64_t index) const {
    if (index >= size()) return std::nullopt;
    return entries_[index] != 0;
}

std::uint64_t scatter_bits(std::uint64_t assignment, std::span<const std::uint64_t> positions) {
    std::uint64_t index = 0;
    for (std::size_t t = 0; t < positions.size() && t < 64; ++t) {
        index |= ((assignment >> t) & 1U) << (positions[t] % 64);
    }
    return index;
}

std::vector<std::uint64_t> free_variables(unsigned n, std::span<const std::uint64_t> vars) {
    std::vector<std::uint64_t> free;
    for (std::uint64_t v = 0; v < n; ++v) {
        if (std::find(vars.begin(), vars.end(), v) == vars.end()) free.push_back(v);
    }
    return free;
}

TableShape restriction_table_shape(const FValue& f, std::span<const std::uint64_t> vars) {
    const unsigned n = f.n_vars();
    const std::uint64_t k = vars.size();
    const std::uint64_t free_count = free_variables(n, vars).size();
    // Everything is a power of two: compare exponents. Values gathered:
    // 2^(k mod 64) restrictions of 2^|R| entries each.
    const std::uint64_t value_bits = (k % 64) + free_count;
    const std::uint64_t row_bits = (static_cast<std::uint64_t>(n) - k) % 64;
    const std::uint64_t col_bits = k % 64;
    const std::uint64_t cell_bits = row_bits + col_bits;
    const std::string prefix = "ShapeError/";
    if (cell_bits >= 63) panic(unwrap_failure(prefix + "Overflow: arithmetic overflow"));
    if (value_bits > cell_bits) panic(unwrap_failure(prefix + "IncompatibleShape: incompatible shapes"));
    if (value_bits < cell_bits) panic(unwrap_failure(prefix + "OutOfBounds: out of bounds indexing"));
    const std::uint64_t rows = std::uint64_t{1} << row_bits;
    const std::uint64_t cols = std::uint64_t{1} << col_bits;
    return {rows, cols};
}

namespace {

// The lowest free variables 0..run_bits-1 are contiguous in the table: each
// restriction is copied in runs of 2^run_bits entries.
unsigned contiguous_run_bits(const std::vector<std::uint64_t>& free) {
    unsigned run_bits = 0;
    while (run_bits < free.size() && free[run_bits] == run_bits) ++run_bits;
    return run_bits;
}

}  // namespace

std::uint64_t restriction_table_scratch_bytes(const FValue& f, std::span<const std::uint64_t> vars) {
    const std::vector<std::uint64_t> free = free_variables(f.n_vars(), vars);
    const std::uint64_t high_free = free.size() - contiguous_run_bits(free);
    // One offset per run.
    return high_free >= 61 ? UINT64_MAX : (std::uint64_t{1} << high_free) * sizeof(std::uint64_t);
}

void fill_restriction_table(const FValue& f, std::span<const std::uint64_t> vars, std::uint8_t* out) {
    std::vector<std::uint64_t> fixed(vars.begin(), vars.end());
    std::sort(fixed.begin(), fixed.end());
    const std::vector<std::uint64_t> free = free_variables(f.n_vars(), fixed);
    const unsigned run_bits = contiguous_run_bits(free);
    const std::uint64_t run = std::uint64_t{1} << run_bits;
    const std::uint64_t runs = std::uint64_t{1} << (free.size() - run_bits);
    const std::span<const std::uint64_t> high_free(free.data() + run_bits, free.size() - run_bits);
    ensure_allocatable(runs, sizeof(std::uint64_t));
    std::vector<std::uint64_t> run_offset(runs);
    for (std::uint64_t j = 0; j < runs; ++j) run_offset[j] = scatter_bits(j, high_free);
    const std::uint64_t assignments = std::uint64_t{1} << fixed.size();
    const std::uint8_t* table = f.data();
    for (std::uint64_t i = 0; i < assignments; ++i) {
        const std::uint64_t base = scatter_bits(i, fixed);
        if (run >= 16) {
            for (std::uint64_t j = 0; j < runs; ++j) {
                std::memcpy(out, table + (base | run_offset[j]), run);
                out += run;
            }
        } else {
            for (std::uint64_t j = 0; j < runs; ++j) {
                const std::uint8_t* src = table + (base | run_offset[j]);
                for (std::uint64_t t = 0; t < run; ++t) *out++ = src[t];
            }
        }
        if ((i & 0xFF) == 0) check_interrupt();
    }
}

}  // namespace vexil
