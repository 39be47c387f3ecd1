// Measures of many small functions at once: the kernel of a sweep.
//
// A batch is `count` functions of the same n variables, each a packed row of
// sweep_row_bytes(n) bytes: entry x at bit x % 8 of byte x / 8 (NumPy's
// packbits with little bit order), bits from 2^n up ignored. For five
// variables a row is the 32-bit word whose bit x is entry x. Each measure is
// computed by the core function that answers it for one function, so a
// sweep's values are those of the single-function calls, bit for bit.
#pragma once

#include "registry/registry.hpp"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace vexil {

// The measures a sweep computes are the registry's scalar measures of
// functions (found by find_scalar_measure(MeasureSubject::function, name)).

// Bytes of one packed row of n variables: 2^n / 8, at least 1.
std::uint64_t sweep_row_bytes(unsigned n);

// Where one measure's values go: `count` int64 (integer and boolean measures)
// or double (real ones) values, in row order.
struct SweepColumn {
    const MeasureInfo* measure;
    std::int64_t* integers = nullptr;
    double* reals = nullptr;
};

// Fills every column for the count = rows.size() / sweep_row_bytes(n)
// functions of `rows`, on the worker pool in row chunks (one progress unit per
// function), interruptible. Throws std::invalid_argument for a measure not
// defined at n or a row buffer that is not a whole number of rows.
void sweep_rows(std::span<const std::uint8_t> rows, unsigned n, std::span<const SweepColumn> columns);

// The Walsh spectrum W(u), true counting +1, of every row into out (count *
// 2^n values, row by row), as spectrum_into computes it: the negatives of the
// toolkit's walsh_spectrum, whose squares and magnitudes are the same.
void sweep_spectra(std::span<const std::uint8_t> rows, unsigned n, std::span<std::int64_t> out);

}  // namespace vexil
