// The DLCT and the ortho-derivative against their definitions, and the graph
// search: every map it returns takes one graph onto the other, on every point.
#include "check.hpp"
#include "vectorial/equivalence.hpp"
#include "vectorial/sbox_extra_tables.hpp"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <numeric>
#include <random>
#include <vector>

using namespace native_test;
using namespace vexil::vectorial;

namespace {

int dot(std::uint64_t u, std::uint64_t v) { return std::popcount(u & v) & 1; }

std::uint64_t times(const std::vector<std::uint64_t>& rows, std::uint64_t x) {
    std::uint64_t y = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) y |= static_cast<std::uint64_t>(dot(rows[i], x)) << i;
    return y;
}

void check_dlct(const Sbox& f) {
    std::vector<std::int32_t> out(f.inputs() * f.outputs());
    dlct_into(f, out);
    for (std::uint64_t a = 0; a < f.inputs(); ++a) {
        for (std::uint64_t b = 0; b < f.outputs(); ++b) {
            std::int64_t agree = 0;
            for (std::uint64_t x = 0; x < f.inputs(); ++x) agree += dot(b, f.table[x] ^ f.table[x ^ a]) == 0 ? 1 : 0;
            CHECK(out[a * f.outputs() + b] == agree - static_cast<std::int64_t>(f.inputs() / 2), "dlct n = %u", f.n);
        }
    }
}

// x^3 over GF(2^n) with the modulus given: quadratic APN.
std::vector<std::uint32_t> cube(unsigned n, std::uint32_t modulus) {
    const auto multiply = [&](std::uint32_t a, std::uint32_t b) {
        std::uint32_t r = 0;
        for (; b != 0; b >>= 1) {
            if ((b & 1) != 0) r ^= a;
            a <<= 1;
            if ((a >> n) != 0) a ^= modulus;
        }
        return r;
    };
    std::vector<std::uint32_t> t(std::size_t{1} << n);
    for (std::uint32_t x = 0; x < t.size(); ++x) t[x] = multiply(multiply(x, x), x);
    return t;
}

void check_ortho_and_search(unsigned n, std::uint32_t modulus, std::mt19937_64& rng) {
    const std::vector<std::uint32_t> table = cube(n, modulus);
    const Sbox f{table, n, n};
    CHECK(*ortho_derivative_refusal(f) == '\0', "x^3 is quadratic APN, n = %u", n);
    const std::vector<std::uint32_t> pi = ortho_derivative(f);
    for (std::uint64_t a = 1; a < f.inputs(); ++a) {
        for (std::uint64_t x = 0; x < f.inputs(); ++x) {
            CHECK(dot(pi[a], table[x] ^ table[x ^ a] ^ table[a] ^ table[0]) == 0, "pi(%llu)", (unsigned long long)a);
        }
    }
    // g(x) = rot(f(x ^ c)) ^ d, the outputs rotated by one bit: affine equivalent to f.
    const std::uint32_t c = static_cast<std::uint32_t>(rng() % f.inputs());
    const std::uint32_t d = static_cast<std::uint32_t>(rng() % f.inputs());
    std::vector<std::uint32_t> other(f.inputs());
    for (std::uint32_t x = 0; x < f.inputs(); ++x)
        other[x] = (table[x ^ c] << 1 | table[x ^ c] >> (n - 1)) % (1U << n) ^ d;
    const Sbox g{other, n, n};
    for (const GraphMap kind : {GraphMap::affine, GraphMap::extended_affine, GraphMap::ccz}) {
        const GraphEquivalence found = graph_equivalence(f, g, kind, 0);
        CHECK(found.outcome == GraphEquivalence::Outcome::found, "a map of x^3, n = %u", n);
        std::vector<bool> hit(f.inputs(), false);
        for (std::uint64_t x = 0; x < f.inputs() && found.outcome == GraphEquivalence::Outcome::found; ++x) {
            const std::uint64_t q = times(found.rows, x | std::uint64_t{table[x]} << n) ^ found.translation;
            const std::uint64_t z = q & (f.inputs() - 1);
            CHECK(other[z] == q >> n && !hit[z], "the map takes the graph of f onto that of g, n = %u", n);
            hit[z] = true;
        }
    }
}

}  // namespace

int main() {
    std::mt19937_64 rng(5);
    for (const unsigned n : {1U, 3U, 5U}) {
        std::vector<std::uint32_t> table(std::size_t{1} << n);
        for (auto& y : table) y = static_cast<std::uint32_t>(rng() % 8);
        check_dlct(Sbox{table, n, 3});
    }
    check_ortho_and_search(3, 0b1011, rng);
    check_ortho_and_search(5, 0b100101, rng);
    check_ortho_and_search(6, 0b1000011, rng);
    return finish("vectorial_equivalence");
}
