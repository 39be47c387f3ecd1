// The S-box transforms (Walsh tables and the measures read from them, the
// algebraic normal forms of the coordinates) against component-by-component
// references, under every kernel variant, at sizes where the method changes.
#include "check.hpp"
#include "metrics/spectral.hpp"
#include "support.hpp"
#include "vectorial/sbox.hpp"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <map>
#include <random>
#include <vector>

using namespace native_test;
using vexil::vectorial::Sbox;

namespace {

// Plain butterflies on int64 values.
std::vector<std::int64_t> walsh_of(std::vector<std::int64_t> v) {
    for (std::size_t h = 1; h < v.size(); h *= 2) {
        for (std::size_t i = 0; i < v.size(); i += 2 * h) {
            for (std::size_t j = i; j < i + h; ++j) {
                const std::int64_t a = v[j], b = v[j + h];
                v[j] = a + b;
                v[j + h] = a - b;
            }
        }
    }
    return v;
}

// The degree of the ANF of a byte table: XOR of t over subsets, one variable at a time.
int degree_of(Table t) {
    for (std::size_t h = 1; h < t.size(); h *= 2) {
        for (std::size_t i = 0; i < t.size(); i += 2 * h) {
            for (std::size_t j = i; j < i + h; ++j) t[j + h] ^= t[j];
        }
    }
    int degree = -1;
    for (std::size_t m = 0; m < t.size(); ++m) {
        if (t[m] != 0) degree = std::max(degree, static_cast<int>(ones(m)));
    }
    return degree;
}

bool dot(std::uint64_t b, std::uint32_t y) { return ones(b & y) % 2 == 1; }

struct Case {
    unsigned n;
    unsigned m;
    const char* kind;  // "random", "zero" or "linear" (F(x) = x, truncated to m bits)
};

std::vector<std::uint32_t> table_of(const Case& c, std::mt19937_64& rng) {
    std::vector<std::uint32_t> t(std::size_t{1} << c.n);
    const std::uint32_t mask = static_cast<std::uint32_t>((std::uint64_t{1} << c.m) - 1);
    for (std::size_t x = 0; x < t.size(); ++x) {
        const std::string_view kind = c.kind;
        t[x] = kind == "zero"     ? 0
               : kind == "linear" ? static_cast<std::uint32_t>(x) & mask
                                  : static_cast<std::uint32_t>(rng()) & mask;
    }
    return t;
}

void check_walsh(const Sbox& f) {
    std::vector<std::int32_t> table(f.inputs() * f.outputs()), lat(table.size());
    vexil::vectorial::walsh_into(f, table, false);
    vexil::vectorial::walsh_into(f, lat, true);
    std::int64_t linearity = 0;
    std::int64_t branch = 2 * 32 + 30 + 1;
    std::map<std::int64_t, std::uint64_t> counts;
    bool same = true;
    for (std::uint64_t b = 0; b < f.outputs(); ++b) {
        std::vector<std::int64_t> signs(f.inputs());
        for (std::uint64_t x = 0; x < f.inputs(); ++x) signs[x] = dot(b, f.table[x]) ? -1 : 1;
        const std::vector<std::int64_t> w = walsh_of(signs);
        for (std::uint64_t a = 0; a < f.inputs(); ++a) {
            same = same && table[a * f.outputs() + b] == w[a] && lat[a * f.outputs() + b] == w[a] / 2;
            if (b == 0) continue;
            linearity = std::max(linearity, w[a] < 0 ? -w[a] : w[a]);
            ++counts[w[a] < 0 ? -w[a] : w[a]];
            if (w[a] != 0) branch = std::min<std::int64_t>(branch, ones(a) + ones(b));
        }
    }
    CHECK(same, "Walsh table and LAT of n = %u, m = %u", f.n, f.m);
    CHECK_EQ(static_cast<std::int64_t>(vexil::vectorial::linearity(f)), linearity);
    CHECK_EQ(vexil::vectorial::linear_branch_number(f), branch);
    std::map<std::int64_t, std::uint64_t> got;
    for (const auto& vc : vexil::vectorial::walsh_spectrum_counts(f)) got[vc.value] = vc.count;
    CHECK(got == counts, "Walsh spectrum counts of n = %u, m = %u", f.n, f.m);
}

void check_degrees(const Sbox& f) {
    int degree = -1;
    int least = 32;
    for (std::uint64_t b = 1; b < f.outputs(); ++b) {
        Table component(f.inputs());
        for (std::uint64_t x = 0; x < f.inputs(); ++x) component[x] = dot(b, f.table[x]) ? 1 : 0;
        const int d = degree_of(component);
        if (std::has_single_bit(b)) degree = std::max(degree, d);  // a coordinate
        least = std::min(least, d);
    }
    CHECK_EQ(vexil::vectorial::algebraic_degree(f), std::int64_t{degree}, "n = %u, m = %u", f.n, f.m);
    CHECK_EQ(vexil::vectorial::min_degree(f), std::int64_t{least}, "n = %u, m = %u", f.n, f.m);
}

// The interleaved transform is the transform of each table on its own.
void check_interleaved(std::mt19937_64& rng) {
    for (const unsigned bits : {0U, 3U, 4U, 9U, 12U, 14U, 17U}) {
        for (unsigned lane_bits = 0; lane_bits <= std::min(bits, 4U); ++lane_bits) {
            const std::size_t lanes = std::size_t{1} << lane_bits;
            const std::size_t size = std::size_t{1} << (bits - lane_bits);
            std::vector<std::int32_t> v(lanes * size);
            for (auto& e : v) e = static_cast<std::int32_t>(rng() % 2001) - 1000;
            std::vector<std::int32_t> want(v.size());
            for (std::size_t j = 0; j < lanes; ++j) {
                std::vector<std::int32_t> one(size);
                for (std::size_t x = 0; x < size; ++x) one[x] = v[x * lanes + j];
                vexil::detail::transform_in_place(one.data(), bits - lane_bits, nullptr);
                for (std::size_t x = 0; x < size; ++x) want[x * lanes + j] = one[x];
            }
            vexil::detail::transform_interleaved_in_place(v.data(), bits, lane_bits);
            CHECK(v == want, "interleaved transform, bits = %u, lane bits = %u", bits, lane_bits);
        }
    }
}

// The cycle type against one walk at a time, on permutations whose cycles the
// sixteen chains of the kernel meet in every way: each chain on its own cycle,
// many chains on one cycle joining one another (x + 1, x + 17), fixed points.
void check_cycle_type(std::mt19937_64& rng) {
    for (unsigned n = 1; n <= 12; ++n) {
        const std::uint64_t size = std::uint64_t{1} << n;
        std::vector<std::vector<std::uint32_t>> permutations(5, std::vector<std::uint32_t>(size));
        for (std::uint64_t x = 0; x < size; ++x) {
            permutations[0][x] = static_cast<std::uint32_t>(x);
            permutations[1][x] = static_cast<std::uint32_t>((x + 1) % size);
            permutations[2][x] = static_cast<std::uint32_t>((x + 17) % size);
            permutations[3][x] = static_cast<std::uint32_t>(size - 1 - x);
            permutations[4][x] = static_cast<std::uint32_t>(x);
        }
        std::shuffle(permutations[4].begin(), permutations[4].end(), rng);
        for (const std::vector<std::uint32_t>& p : permutations) {
            std::map<std::uint64_t, std::uint64_t> expected;
            std::vector<bool> seen(size);
            for (std::uint64_t start = 0; start < size; ++start) {
                std::uint64_t length = 0;
                for (std::uint64_t x = start; !seen[x]; x = p[x]) {
                    seen[x] = true;
                    ++length;
                }
                if (length != 0) ++expected[length];
            }
            std::map<std::uint64_t, std::uint64_t> got;
            for (const auto& [length, count] : vexil::vectorial::cycle_type(Sbox{p, n, n})) {
                got[static_cast<std::uint64_t>(length)] = count;
            }
            CHECK(got == expected, "cycle type of n = %u", n);
        }
    }
}

}  // namespace

int main() {
    // Sixteen components a block up to n = 18 (fewer lanes used when m < 4),
    // the transform's L1 blocks alone (n + 4 <= 12), with strips (n = 10) and
    // grouped passes (n = 13, 16), one component a block from n = 19; the ANF
    // in one block, in grouped passes (n >= 14) and on the pool (n >= 17).
    const Case cases[] = {{0, 3, "random"},  {1, 1, "random"},  {2, 5, "random"},  {3, 4, "linear"}, {5, 8, "random"},
                          {6, 6, "zero"},    {8, 8, "random"},  {8, 8, "linear"},  {9, 3, "random"}, {10, 2, "random"},
                          {13, 2, "random"}, {14, 1, "linear"}, {16, 1, "random"}, {19, 1, "random"}};
    for_each_kernel_set([&] {
        std::mt19937_64 rng(7);
        for (const Case& c : cases) {
            const std::vector<std::uint32_t> table = table_of(c, rng);
            const Sbox f{table, c.n, c.m};
            check_walsh(f);
            check_degrees(f);
        }
        check_interleaved(rng);
    });
    std::mt19937_64 rng(11);
    check_cycle_type(rng);
    return finish("vectorial_sbox");
}
