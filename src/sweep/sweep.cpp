#include "sweep/sweep.hpp"

#include "interrupt.hpp"
#include "memory_guard.hpp"
#include "metrics/spectral.hpp"
#include "pool.hpp"
#include "registry/measure_input.hpp"

#include <stdexcept>
#include <string>

namespace vexil {

namespace {

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

std::uint64_t sweep_row_bytes(unsigned n) { return packed_row_bytes(n); }

void sweep_rows(std::span<const std::uint8_t> rows, unsigned n, std::span<const SweepColumn> columns) {
    if (n >= 64) throw std::invalid_argument("a table of " + std::to_string(n) + " variables is too large");
    for (const SweepColumn& c : columns) {
        if (c.measure->subject != MeasureSubject::function ||
            (c.measure->integer == nullptr && c.measure->real == nullptr)) {
            throw std::invalid_argument(std::string(c.measure->name) + " is not a scalar measure of functions");
        }
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
            MeasureInput in = MeasureInput::from_row(rows.data() + r * bytes, n);
            for (const SweepColumn& c : columns) {
                if (c.measure->real != nullptr) {
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
            MeasureInput in = MeasureInput::from_row(rows.data() + r * bytes, n);
            spectrum_into(in.entries(), out.subspan(r * size, size));
        }
    });
}

}  // namespace vexil
