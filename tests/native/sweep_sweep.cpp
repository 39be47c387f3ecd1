// The batch kernel of sweeps against definitions computed here: weights,
// sensitivities, frontier bounds and spectral measures of random packed rows,
// and the sign of the spectra it writes (true counts +1).
#include "check.hpp"
#include "support.hpp"
#include "sweep/sweep.hpp"

#include <algorithm>
#include <random>
#include <span>
#include <stdexcept>
#include <string_view>

using namespace native_test;

namespace {

// Row r of n variables as 0/1 bytes (entry x at bit x % 8 of byte x / 8).
Table unpack_row(const std::vector<std::uint8_t>& rows, std::size_t r, unsigned n) {
    const std::uint64_t bytes = vexil::sweep_row_bytes(n);
    Table t(std::size_t{1} << n);
    for (std::size_t x = 0; x < t.size(); ++x) t[x] = (rows[r * bytes + x / 8] >> (x % 8)) & 1U;
    return t;
}

std::vector<std::int64_t> true_plus_spectrum(const Table& t) {
    std::vector<std::int64_t> w(t.size());
    for (std::size_t u = 0; u < t.size(); ++u) {
        for (std::size_t x = 0; x < t.size(); ++x) w[u] += ((t[x] != 0) == (ones(u & x) % 2 == 0)) ? 1 : -1;
    }
    return w;
}

void check_measures(std::mt19937_64& rng, unsigned n) {
    constexpr std::size_t count = 40;
    std::vector<std::uint8_t> rows(count * vexil::sweep_row_bytes(n));
    for (auto& b : rows) b = static_cast<std::uint8_t>(rng());
    const std::string_view names[] = {"weight", "is_balanced",    "total_influence", "max_frontier_size",
                                      "degree", "fourier_degree", "no_linearity",    "nonlinearity"};
    constexpr std::size_t columns = std::size(names);
    std::vector<std::int64_t> integers(columns * count);
    std::vector<double> reals(columns * count);
    std::vector<vexil::SweepColumn> plan;
    for (std::size_t c = 0; c < columns; ++c) {
        vexil::SweepColumn column{vexil::find_scalar_measure(vexil::MeasureSubject::function, names[c])};
        CHECK(column.measure != nullptr, "measure %.*s", static_cast<int>(names[c].size()), names[c].data());
        if (column.measure->real != nullptr) {
            column.reals = reals.data() + c * count;
        } else {
            column.integers = integers.data() + c * count;
        }
        plan.push_back(column);
    }
    vexil::sweep_rows(rows, n, plan);
    std::vector<std::int64_t> spectra(count << n);
    vexil::sweep_spectra(rows, n, spectra);
    const std::int64_t size = std::int64_t{1} << n;
    for (std::size_t r = 0; r < count; ++r) {
        const Table t = unpack_row(rows, r, n);
        std::int64_t weight = 0, sensitivity = 0;
        for (std::size_t x = 0; x < t.size(); ++x) {
            weight += t[x];
            for (unsigned v = 0; v < n; ++v) sensitivity += t[x] != t[x ^ (std::size_t{1} << v)];
        }
        const std::vector<std::int64_t> w = true_plus_spectrum(t);
        std::int64_t max_abs = 0, degree = 0;
        for (std::size_t u = 0; u < w.size(); ++u) {
            max_abs = std::max(max_abs, w[u] < 0 ? -w[u] : w[u]);
            if (w[u] != 0) degree = std::max<std::int64_t>(degree, ones(u));
        }
        const std::int64_t nonlinearity = n == 0 ? 0 : (size - max_abs) / 2;
        CHECK_EQ(integers[0 * count + r], weight, "weight, n = %u, row %zu", n, r);
        CHECK_EQ(integers[1 * count + r], std::int64_t{2 * weight == size}, "balance, n = %u, row %zu", n, r);
        CHECK_EQ(reals[2 * count + r], static_cast<double>(sensitivity) / static_cast<double>(size),
                 "total influence, n = %u, row %zu", n, r);
        CHECK_EQ(integers[3 * count + r], n * std::min(weight, size - weight), "max frontier, n = %u, row %zu", n, r);
        CHECK_EQ(integers[4 * count + r], degree, "degree, n = %u, row %zu", n, r);
        CHECK_EQ(integers[5 * count + r], degree, "fourier degree, n = %u, row %zu", n, r);
        CHECK_EQ(integers[6 * count + r], nonlinearity, "no_linearity, n = %u, row %zu", n, r);
        CHECK_EQ(integers[7 * count + r], nonlinearity, "nonlinearity, n = %u, row %zu", n, r);
        CHECK(std::equal(w.begin(), w.end(), spectra.begin() + static_cast<std::ptrdiff_t>(r << n)),
              "spectrum, n = %u, row %zu", n, r);
    }
}

// The dictator x_v has W(2^v) = -2^n when true counts +1 (+2^n the other way).
void check_dictator_sign() {
    constexpr unsigned n = 4;
    for (unsigned v = 0; v < n; ++v) {
        std::vector<std::uint8_t> row(vexil::sweep_row_bytes(n));
        for (std::size_t x = 0; x < 16; ++x) row[x / 8] |= static_cast<std::uint8_t>(((x >> v) & 1U) << (x % 8));
        std::vector<std::int64_t> w(16);
        vexil::sweep_spectra(row, n, w);
        for (std::size_t u = 0; u < 16; ++u) {
            CHECK_EQ(w[u], u == (std::size_t{1} << v) ? std::int64_t{-16} : std::int64_t{0}, "x%u at %zu", v, u);
        }
    }
}

// One table for both subjects: a name is looked up within its subject, the
// aliases are the functions', and the batch kernel refuses an S-box measure.
void check_subjects() {
    using vexil::MeasureSubject;
    const vexil::MeasureInfo* f = vexil::find_measure(MeasureSubject::function, "nonlinearity");
    const vexil::MeasureInfo* s = vexil::find_measure(MeasureSubject::vectorial, "nonlinearity");
    CHECK(f != nullptr && s != nullptr && f != s, "nonlinearity of both subjects");
    CHECK(f->integer != nullptr && f->sbox == nullptr && s->sbox != nullptr && s->integer == nullptr,
          "each row has the evaluator of its subject");
    CHECK(vexil::find_measure(MeasureSubject::vectorial, "degree") == nullptr, "aliases are the functions'");
    CHECK(vexil::find_scalar_measure(MeasureSubject::vectorial, "ddt") == nullptr, "tables are not scalars");
    std::vector<std::uint8_t> row(1);
    std::vector<std::int64_t> out(1);
    const vexil::SweepColumn column{s, out.data()};
    bool refused = false;
    try {
        vexil::sweep_rows(row, 3, std::span(&column, 1));
    } catch (const std::invalid_argument&) {
        refused = true;
    }
    CHECK(refused, "the batch kernel refuses a vectorial measure");
}

}  // namespace

int main() {
    check_subjects();
    std::mt19937_64 rng(20261209);
    for_each_kernel_set([&] {
        for (unsigned n : {0U, 1U, 3U, 5U, 7U}) check_measures(rng, n);
        check_dictator_sign();
    });
    return finish("sweep_sweep");
}
