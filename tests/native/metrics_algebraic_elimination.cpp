// The GF(2) elimination of the annihilator search, and the search itself,
// against plain Gaussian elimination, under every kernel variant.
#include "check.hpp"
#include "metrics/algebraic_elimination.hpp"
#include "metrics/algebraic_immunity.hpp"
#include "metrics/anf.hpp"
#include "base/packed_table.hpp"
#include "support.hpp"

#include <algorithm>
#include <bit>
#include <random>
#include <vector>

using namespace native_test;
using vexil::detail::BitMatrix;
using vexil::detail::Echelon;

namespace {

using Row = std::vector<std::uint64_t>;

// The rank of the rows, by plain Gaussian elimination on copies.
std::size_t reference_rank(std::vector<Row> rows, std::size_t columns) {
    std::size_t rank = 0;
    for (std::size_t c = 0; c < columns && rank < rows.size(); ++c) {
        std::size_t p = rank;
        while (p < rows.size() && ((rows[p][c / 64] >> (c % 64)) & 1U) == 0) ++p;
        if (p == rows.size()) continue;
        std::swap(rows[p], rows[rank]);
        for (std::size_t r = 0; r < rows.size(); ++r) {
            if (r != rank && ((rows[r][c / 64] >> (c % 64)) & 1U) != 0) {
                for (std::size_t w = 0; w < rows[r].size(); ++w) rows[r][w] ^= rows[rank][w];
            }
        }
        ++rank;
    }
    return rank;
}

bool dot(const Row& a, const std::uint64_t* b) {
    unsigned parity = 0;
    for (std::size_t w = 0; w < a.size(); ++w) parity ^= std::popcount(a[w] & b[w]) & 1U;
    return parity != 0;
}

// `count` rows of `columns` columns: random, or of rank at most `rank` (sums of
// `rank` random rows) when rank < columns.
std::vector<Row> random_rows(std::mt19937_64& rng, std::size_t count, std::size_t columns, std::size_t rank) {
    const std::size_t width = (columns + 63) / 64;
    const auto random_row = [&] {
        Row row(width);
        for (std::size_t c = 0; c < columns; ++c) row[c / 64] |= (rng() & 1U) << (c % 64);
        return row;
    };
    if (rank >= columns) {
        std::vector<Row> rows(count);
        for (auto& row : rows) row = random_row();
        return rows;
    }
    std::vector<Row> basis(rank);
    for (auto& row : basis) row = random_row();
    std::vector<Row> rows(count, Row(width, 0));
    for (auto& row : rows) {
        for (const Row& b : basis) {
            if ((rng() & 1U) != 0) {
                for (std::size_t w = 0; w < width; ++w) row[w] ^= b[w];
            }
        }
    }
    return rows;
}

BitMatrix matrix_of(const std::vector<Row>& rows, std::size_t width) {
    BitMatrix m(rows.size(), width);
    for (std::size_t r = 0; r < rows.size(); ++r) std::copy(rows[r].begin(), rows[r].end(), m.row(r));
    return m;
}

// Eliminates the rows in two parts (the first `split`, then the rest reduced by
// them), as the annihilator search does, and checks the result against the
// reference: the rank, the echelon form, the row space, and the null vector.
void check_elimination(const std::vector<Row>& rows, std::size_t columns, std::size_t split, const char* what) {
    const std::size_t width = std::max<std::size_t>(1, (columns + 63) / 64);
    BitMatrix m = matrix_of(rows, width);
    std::vector<Echelon> echelons(2);
    echelons[0] = vexil::detail::echelonize(m, 0, split, columns);
    vexil::detail::reduce_rows(m, echelons[0], split, rows.size());
    echelons[1] = vexil::detail::echelonize(m, split, rows.size(), columns);
    const std::size_t rank = echelons[0].rank + echelons[1].rank;
    CHECK_EQ(rank, reference_rank(rows, columns), "%s", what);
    CHECK_EQ(echelons[0].rank, reference_rank({rows.begin(), rows.begin() + static_cast<long>(split)}, columns),
             "%s: rank of the first part", what);

    // Pivot rows: 1 at the pivot, 0 left of it and at the other pivots of their
    // panel; every other row of the matrix is zero.
    std::vector<bool> pivot_row(rows.size(), false);
    std::vector<bool> pivot_column(columns, false);
    bool form = true;
    for (const Echelon& e : echelons) {
        for (const auto& panel : e.panels) {
            for (unsigned i = 0; i < panel.count; ++i) {
                const std::size_t r = panel.first_row + i;
                const std::size_t c = 64 * panel.word + panel.bits[i];
                pivot_row[r] = true;
                form = form && !pivot_column[c];
                pivot_column[c] = true;
                const std::uint64_t* row = m.row(r);
                form = form && ((row[c / 64] >> (c % 64)) & 1U) != 0;
                for (std::size_t left = 0; left < c; ++left) form = form && ((row[left / 64] >> (left % 64)) & 1U) == 0;
                for (unsigned j = 0; j < panel.count; ++j) {
                    if (j != i) form = form && ((row[panel.word] >> panel.bits[j]) & 1U) == 0;
                }
            }
        }
    }
    CHECK(form, "%s: echelon form", what);
    bool zero = true;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        if (!pivot_row[r])
            zero = zero && std::all_of(m.row(r), m.row(r) + width, [](std::uint64_t w) { return w == 0; });
    }
    CHECK(zero, "%s: the rows that hold no pivot are cleared", what);
    // The same row space: the original rows add nothing to the pivot rows.
    std::vector<Row> joined;
    for (std::size_t r = 0; r < rows.size(); ++r) {
        if (pivot_row[r]) joined.emplace_back(m.row(r), m.row(r) + width);
    }
    joined.insert(joined.end(), rows.begin(), rows.end());
    CHECK_EQ(reference_rank(joined, columns), rank, "%s: row space kept", what);

    if (rank < columns) {
        const Row u = vexil::detail::null_vector(m, echelons, columns);
        bool orthogonal = true;
        for (const Row& row : rows) orthogonal = orthogonal && !dot(row, u.data());
        CHECK(orthogonal, "%s: null vector", what);
        std::size_t lowest_free = 0;
        while (pivot_column[lowest_free]) ++lowest_free;
        CHECK(((u[lowest_free / 64] >> (lowest_free % 64)) & 1U) != 0, "%s: the null vector sets the first free column",
              what);
        bool inside = true;
        for (std::size_t c = columns; c < 64 * width; ++c) inside = inside && ((u[c / 64] >> (c % 64)) & 1U) == 0;
        CHECK(inside, "%s: the null vector stays within the columns", what);
    }
}

void check_matrices(std::mt19937_64& rng) {
    struct Shape {
        std::size_t rows, columns, rank, split;
    };
    // Fewer rows than the tables need and more; one panel and many; full rank,
    // deficient, and a first part that holds all or little of the rank.
    const Shape shapes[] = {
        {0, 5, 5, 0},
        {1, 1, 1, 1},
        {3, 64, 64, 3},
        {10, 70, 70, 4},
        {70, 10, 10, 70},
        {70, 10, 10, 12},
        {200, 150, 150, 150},
        {200, 150, 149, 150},
        {130, 200, 200, 64},
        {300, 300, 120, 200},
        {700, 650, 650, 660},
        {700, 650, 600, 660},
        {2500, 1000, 1000, 1064},
        {2500, 1000, 990, 1064},
    };
    for (const Shape& s : shapes) {
        char what[96];
        std::snprintf(what, sizeof what, "%zu x %zu, rank <= %zu, split %zu", s.rows, s.columns, s.rank, s.split);
        check_elimination(random_rows(rng, s.rows, s.columns, s.rank), s.columns, s.split, what);
    }
}

// Whether h (bytes) has a nonzero annihilator of degree <= d: the rank of the
// evaluations of the monomials of degree <= d on the support of h.
bool reference_exists(const Table& h, unsigned d) {
    std::vector<std::uint64_t> monomials;
    for (std::uint64_t m = 0; m < h.size(); ++m) {
        if (static_cast<unsigned>(std::popcount(m)) <= d) monomials.push_back(m);
    }
    std::vector<Row> rows;
    for (std::uint64_t x = 0; x < h.size(); ++x) {
        if (h[x] == 0) continue;
        Row row((monomials.size() + 63) / 64, 0);
        for (std::size_t j = 0; j < monomials.size(); ++j) {
            if ((x & monomials[j]) == monomials[j]) row[j / 64] |= std::uint64_t{1} << (j % 64);
        }
        rows.push_back(row);
    }
    return reference_rank(rows, monomials.size()) < monomials.size();
}

Table complement(const Table& t) {
    Table c(t.size());
    for (std::size_t x = 0; x < t.size(); ++x) c[x] = t[x] ^ 1U;
    return c;
}

unsigned reference_immunity(const Table& t) {
    const Table c = complement(t);
    unsigned d = 0;
    while (!reference_exists(t, d) && !reference_exists(c, d)) ++d;
    return d;
}

void check_annihilator(const Table& t, unsigned d, const char* what) {
    const auto g = vexil::packed_annihilator(t, d);
    const bool exists = reference_exists(t, std::min<unsigned>(d, std::countr_zero(t.size())));
    CHECK(g.has_value() == exists, "%s, d = %u: found %d, exists %d", what, d, g.has_value() ? 1 : 0, exists ? 1 : 0);
    if (!g) return;
    Table values(t.size());
    vexil::unpack_entries(*g, values);
    bool kills = true;
    bool nonzero = false;
    for (std::size_t x = 0; x < t.size(); ++x) {
        kills = kills && (values[x] & t[x]) == 0;
        nonzero = nonzero || values[x] != 0;
    }
    CHECK(kills && nonzero, "%s, d = %u: a nonzero annihilator", what, d);
    CHECK(vexil::algebraic_degree(values) <= static_cast<int>(d), "%s, d = %u: of degree at most d", what, d);
}

void check_search(std::mt19937_64& rng) {
    for (unsigned n = 0; n <= 10; ++n) {
        for (unsigned trial = 0; trial < 3; ++trial) {
            Table t(std::size_t{1} << n);
            // Dense, balanced-ish and sparse tables.
            const unsigned sparsity = trial + 1;
            for (auto& e : t) e = static_cast<std::uint8_t>((rng() % (2 * sparsity)) == 0 ? 1 : 0);
            if (trial == 0) {
                for (auto& e : t) e = static_cast<std::uint8_t>(rng() & 1U);
            }
            char what[64];
            std::snprintf(what, sizeof what, "random table, n = %u, trial %u", n, trial);
            const unsigned immunity = vexil::algebraic_immunity(t);
            CHECK_EQ(immunity, reference_immunity(t), "%s", what);
            // Every degree while the reference is cheap, then those around the immunity.
            for (unsigned d = 0; d <= n + 1; ++d) {
                if (n <= 8 || d + 1 == immunity || d == immunity) check_annihilator(t, d, what);
            }
        }
    }
    for (unsigned n = 1; n <= 12; ++n) {
        const Table majority = from_rule(n, [n](std::uint64_t x) { return 2 * ones(x) > n; });
        CHECK_EQ(vexil::algebraic_immunity(majority), (n + 1) / 2, "majority of %u variables", n);
        CHECK_EQ(vexil::algebraic_immunity(from_rule(n, parity)), 1U, "parity of %u variables", n);
    }
    CHECK_EQ(vexil::algebraic_immunity(Table{0}), 0U, "zero function of no variables");
    CHECK_EQ(vexil::algebraic_immunity(Table{1}), 0U, "constant 1 of no variables");
}

}  // namespace

int main() {
    std::mt19937_64 rng(7);
    for_each_kernel_set([&] {
        check_matrices(rng);
        check_search(rng);
    });
    return finish("metrics_algebraic_elimination");
}
