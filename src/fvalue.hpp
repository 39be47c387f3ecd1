// The truth table of a Boolean function of n variables.
//
// Entry x is the value at the assignment in which variable v equals bit v of x
// (variable 0 is the least significant bit). One byte per entry, 0 or 1, so
// that every measure can index entries directly.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace vexil {

class FValue {
public:
    // Takes the entries over; stops with "Invalid size" unless their number
    // is a power of two (1 included). Entries must be 0 or 1.
    explicit FValue(std::vector<std::uint8_t> entries);

    std::uint64_t size() const { return entries_.size(); }
    // log2 of the size.
    unsigned n_vars() const;

    std::optional<bool> eval(std::uint64_t index) const;
    std::span<const std::uint8_t> entries() const { return entries_; }
    const std::uint8_t* data() const { return entries_.data(); }

private:
    std::vector<std::uint8_t> entries_;
};

// Places bit t of `assignment` at bit position positions[t] (shift taken
// modulo 64) and ORs them together; equal positions share one bit.
std::uint64_t scatter_bits(std::uint64_t assignment, std::span<const std::uint64_t> positions);

// The indices 0..n-1 that do not occur in `vars`, ascending.
std::vector<std::uint64_t> free_variables(unsigned n, std::span<const std::uint64_t> vars);

// Shape of the restriction table of `vars`: 2^(n-k) rows of 2^k columns.
struct TableShape {
    std::uint64_t rows;
    std::uint64_t cols;
};

// Checks that `vars` lays the table out as a rectangle, stopping with the
// ShapeError message otherwise (a repeated variable or one of n or more).
TableShape restriction_table_shape(const FValue& f, std::span<const std::uint64_t> vars);

// Writes the restriction table into `out` (rows * cols bytes, row-major):
// element (r, c) is q[r * cols + c], where q lists, for each assignment i of
// the sorted `vars`, the restriction over the other variables. `vars` must
// have passed restriction_table_shape.
void fill_restriction_table(const FValue& f, std::span<const std::uint64_t> vars, std::uint8_t* out);

// Bytes fill_restriction_table allocates besides `out`.
std::uint64_t restriction_table_scratch_bytes(const FValue& f, std::span<const std::uint64_t> vars);

}  // namespace vexil
