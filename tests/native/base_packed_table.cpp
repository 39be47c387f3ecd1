// Packing a table 64 entries to a word gives the same words in every kernel
// variant, at every size, the smallest and the partial last steps included; the
// variables a table depends on, and its projection onto them, against brute
// force.
#include "check.hpp"
#include "base/kernel_variants.hpp"
#include "base/packed_table.hpp"

#include <bit>
#include <cstdint>
#include <span>
#include <random>
#include <vector>

using native_test::finish;

namespace {

std::vector<std::uint64_t> reference_pack(const std::vector<std::uint8_t>& entries) {
    std::vector<std::uint64_t> words(entries.size() < 64 ? 1 : entries.size() / 64, 0);
    for (std::size_t x = 0; x < entries.size(); ++x) words[x / 64] |= std::uint64_t{entries[x]} << (x % 64);
    return words;
}

// Bit v set when some x has f(x) != f(x ^ 2^v).
std::uint64_t reference_essential(const std::vector<std::uint8_t>& entries, unsigned n) {
    std::uint64_t mask = 0;
    for (unsigned v = 0; v < n; ++v) {
        for (std::size_t x = 0; x < entries.size(); ++x) {
            if (entries[x] != entries[x ^ (std::size_t{1} << v)]) mask |= std::uint64_t{1} << v;
        }
    }
    return mask;
}

// Tables that ignore a random set of variables (each variable kept with
// probability 1/2, below and above the word boundary of six).
void check_essential(std::mt19937_64& random) {
    for (unsigned n = 0; n <= 11; ++n) {
        for (int trial = 0; trial < 8; ++trial) {
            const std::uint64_t keep = random() & ((std::uint64_t{1} << n) - 1);
            std::vector<std::uint8_t> base(std::size_t{1} << n);
            for (auto& e : base) e = static_cast<std::uint8_t>(random() & 1);
            std::vector<std::uint8_t> entries(base.size());
            for (std::size_t x = 0; x < entries.size(); ++x) entries[x] = base[x & keep];
            const std::uint64_t want = reference_essential(entries, n);
            CHECK_EQ(vexil::essential_variables(entries), want, "bytes, n = %u, trial %d", n, trial);
            const std::vector<std::uint64_t> words = reference_pack(entries);
            CHECK_EQ(vexil::essential_variables(words, n), want, "packed, n = %u, trial %d", n, trial);
            // Variable i of the projection is the i-th lowest essential one.
            const vexil::detail::EssentialTable table(words, n);
            const auto kept = static_cast<unsigned>(std::popcount(want));
            CHECK_EQ(table.mask(), want, "projection mask, n = %u", n);
            CHECK_EQ(table.n(), kept, "projection size, n = %u", n);
            std::vector<std::uint8_t> projected(std::size_t{1} << kept);
            for (std::size_t y = 0; y < projected.size(); ++y) {
                std::size_t x = 0;
                unsigned i = 0;
                for (std::uint64_t rest = want; rest != 0; rest &= rest - 1, ++i) {
                    if (((y >> i) & 1U) != 0) x |= std::size_t{1} << std::countr_zero(rest);
                }
                projected[y] = entries[x];
            }
            const std::span<const std::uint64_t> got = table.words();
            CHECK(std::vector<std::uint64_t>(got.begin(), got.end()) == reference_pack(projected),
                  "projected table, n = %u, trial %d", n, trial);
        }
    }
}

}  // namespace

int main() {
    using vexil::detail::KernelSet;
    std::mt19937_64 random(7);
    for (const KernelSet set : {KernelSet::baseline, KernelSet::avx2, KernelSet::avx512}) {
        vexil::detail::force_kernel_set(set);
        for (unsigned n = 0; n <= 23; n += n < 8 ? 1 : 5) {
            std::vector<std::uint8_t> entries(std::size_t{1} << n);
            for (auto& e : entries) e = static_cast<std::uint8_t>(random() & 1);
            CHECK(vexil::pack_entries(entries) == reference_pack(entries), "n = %u, variant %d", n,
                  static_cast<int>(vexil::detail::kernel_set()));
        }
    }
    check_essential(random);
    return finish("base_packed_table");
}
