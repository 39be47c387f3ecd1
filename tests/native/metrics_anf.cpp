// The packed Möbius transform, the algebraic degree and the packed-table
// helpers, against byte-per-entry references, under every kernel variant.
#include "check.hpp"
#include "metrics/anf.hpp"
#include "base/packed_table.hpp"
#include "support.hpp"

#include <bit>
#include <random>
#include <vector>

using namespace native_test;

namespace {

// a(m) = XOR of t(x) over x in m, one variable at a time on bytes.
Table byte_transform(Table t) {
    for (std::size_t h = 1; h < t.size(); h *= 2) {
        for (std::size_t i = 0; i < t.size(); i += 2 * h) {
            for (std::size_t j = i; j < i + h; ++j) t[j + h] ^= t[j];
        }
    }
    return t;
}

Table random_table(std::mt19937_64& rng, unsigned n) {
    Table t(std::size_t{1} << n);
    for (auto& e : t) e = static_cast<std::uint8_t>(rng() & 1U);
    return t;
}

Table unpacked(const std::vector<std::uint64_t>& words, std::size_t size) {
    Table t(size);
    vexil::unpack_entries(words, t);
    return t;
}

// Sizes around every change of method: one word, one block of 2^12 words
// (n = 18), grouped passes above it with full and partial groups (n = 19, 22,
// 23, 24), the worker pool from 2^16 words (n = 22).
void check_transform(std::mt19937_64& rng) {
    for (unsigned n : {0U, 1U, 2U, 5U, 6U, 7U, 11U, 12U, 17U, 18U, 19U, 20U, 22U, 23U, 24U}) {
        const Table t = random_table(rng, n);
        const Table want = byte_transform(t);
        std::vector<std::uint64_t> words = vexil::packed_anf(t);
        CHECK(unpacked(words, t.size()) == want, "transform of 2^%u entries", n);
        // Its own inverse.
        vexil::detail::packed_moebius_transform(words, n);
        CHECK(unpacked(words, t.size()) == t, "transform twice gives the table back, 2^%u entries", n);
        if (n < 6) CHECK_EQ(words[0] >> (std::uint64_t{1} << n), 0U, "bits above 2^%u stay clear", n);
    }
    // One set entry: its ANF holds every superset of it.
    const unsigned n = 20;
    for (std::uint64_t x : {std::uint64_t{0}, std::uint64_t{5}, std::uint64_t{1} << 18, std::uint64_t{0xC0001}}) {
        Table t(std::size_t{1} << n, 0);
        t[x] = 1;
        const Table a = unpacked(vexil::packed_anf(t), t.size());
        bool supersets = true;
        for (std::uint64_t m = 0; m < a.size(); ++m) supersets = supersets && (a[m] == ((m & x) == x ? 1 : 0));
        CHECK(supersets, "the ANF of the point %llu is its supersets", static_cast<unsigned long long>(x));
    }
}

int reference_degree(const Table& t) {
    const Table a = byte_transform(t);
    int best = -1;
    for (std::uint64_t m = 0; m < a.size(); ++m) {
        if (a[m] != 0) best = std::max(best, static_cast<int>(std::popcount(m)));
    }
    return best;
}

void check_degree(std::mt19937_64& rng) {
    for (unsigned n = 0; n <= 14; ++n) {
        const Table t = random_table(rng, n);
        CHECK_EQ(vexil::algebraic_degree(t), reference_degree(t), "degree of a random table of %u variables", n);
        // Sparse tables have lower degrees, reached in few words.
        Table sparse(t.size(), 0);
        for (std::uint64_t x = 0; x < sparse.size(); ++x) sparse[x] = std::popcount(x) % 3 == 0 && (x & 1U) == 0;
        CHECK_EQ(vexil::algebraic_degree(sparse), reference_degree(sparse), "degree of a sparse table, n = %u", n);
        CHECK_EQ(vexil::algebraic_degree(Table(t.size(), 0)), -1, "zero function of %u variables", n);
        CHECK_EQ(vexil::algebraic_degree(Table(t.size(), 1)), 0, "constant 1 of %u variables", n);
        if (n > 0) CHECK_EQ(vexil::algebraic_degree(from_rule(n, parity)), 1, "parity of %u variables", n);
    }
}

void check_indices(std::mt19937_64& rng) {
    for (unsigned n : {0U, 3U, 6U, 9U, 16U}) {
        const Table t = random_table(rng, n);
        const std::vector<std::uint64_t> words = vexil::pack_entries(t);
        std::vector<std::int64_t> want;
        for (std::uint64_t x = 0; x < t.size(); ++x) {
            if (t[x] != 0) want.push_back(static_cast<std::int64_t>(x));
        }
        CHECK_EQ(vexil::packed_weight(words), want.size(), "weight, n = %u", n);
        std::vector<std::int64_t> got(want.size());
        vexil::packed_set_indices(words, got);
        CHECK(got == want, "set indices in increasing order, n = %u", n);
        CHECK(unpacked(words, t.size()) == t, "unpack undoes pack, n = %u", n);
    }
}

}  // namespace

int main() {
    std::mt19937_64 rng(2024);
    for_each_kernel_set([&] {
        check_transform(rng);
        check_degree(rng);
    });
    check_indices(rng);
    return finish("metrics_anf");
}
