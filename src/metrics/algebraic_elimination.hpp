// Gaussian elimination over GF(2) on rows packed 64 columns to a word, for the
// annihilator search (metrics/algebraic_immunity.cpp).
//
// The elimination runs one word column (a panel of 64 columns) at a time: the
// pivots of the panel are found on the panel's words alone, the pivot rows are
// brought to the identity on their pivot columns, and every other row is then
// cleared of those columns at once with tables of the XORs of 8 pivot rows
// (the "four Russians" method), one pass over the rest of the matrix per panel.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <vector>

namespace vexil::detail {

// `count` words that start zero, from calloc: a large block comes as fresh zero
// pages, so no time goes into clearing it (and no interrupt waits on that)
// before the first write. Throws std::bad_alloc when the machine cannot hold it.
class ZeroedWords {
public:
    explicit ZeroedWords(std::size_t count);

    std::uint64_t* data() { return data_.get(); }
    const std::uint64_t* data() const { return data_.get(); }
    std::size_t size() const { return size_; }
    // Gives the memory back.
    void release() {
        data_.reset();
        size_ = 0;
    }

private:
    struct Free {
        void operator()(std::uint64_t* words) const { std::free(words); }
    };
    std::unique_ptr<std::uint64_t[], Free> data_;
    std::size_t size_;
};

// A dense matrix over GF(2): `rows` rows of `width` words, column c of a row at
// bit c % 64 of its word c / 64. Zero when made.
class BitMatrix {
public:
    BitMatrix(std::size_t rows, std::size_t width);

    std::size_t rows() const { return rows_; }
    std::size_t width() const { return width_; }
    std::uint64_t* row(std::size_t i) { return words_.data() + i * width_; }
    const std::uint64_t* row(std::size_t i) const { return words_.data() + i * width_; }

private:
    std::size_t rows_;
    std::size_t width_;
    ZeroedWords words_;
};

// The pivots one elimination found in one word column: pivot row first_row + i
// has its pivot at column 64 * word + bits[i], bits increasing. Those rows are
// the identity on the panel's pivot columns and zero on every column left of
// the panel.
struct Panel {
    std::size_t word = 0;
    std::size_t first_row = 0;
    unsigned count = 0;
    std::array<std::uint8_t, 64> bits{};
};

// The panels of one elimination, in increasing word order.
struct Echelon {
    std::vector<Panel> panels;
    std::uint64_t rank = 0;
};

// Called with a share of an elimination's work done, in units of 64 words of
// row operations, once per panel.
struct EliminationMeter {
    virtual void advance(std::uint64_t units) = 0;

protected:
    ~EliminationMeter() = default;
};

// Brings rows [first, end) of m to echelon form over columns [0, columns): the
// pivot rows move to first, first + 1, ..., in increasing pivot column, and the
// other rows of the range become zero. Columns at or beyond `columns` must be
// zero. Returns the panels found.
Echelon echelonize(BitMatrix& m, std::size_t first, std::size_t end, std::uint64_t columns,
                   EliminationMeter* meter = nullptr);

// Clears the pivot columns of `echelon` (found on other rows of m) in rows
// [first, end), by adding pivot rows; the row space of all the rows is kept.
void reduce_rows(BitMatrix& m, const Echelon& echelon, std::size_t first, std::size_t end);

// A nonzero u (width words) with row . u = 0 for every pivot row of the
// echelons, whose pivot columns must be distinct: u has its lowest column that
// is no pivot set, no other such column, and the pivot columns that this forces.
// Needs a column in [0, columns) that is no pivot.
std::vector<std::uint64_t> null_vector(const BitMatrix& m, std::span<const Echelon> echelons, std::uint64_t columns);

}  // namespace vexil::detail
