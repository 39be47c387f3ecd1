// Packing a table 64 entries to a word gives the same words in every kernel
// variant, at every size, the smallest and the partial last steps included.
#include "check.hpp"
#include "metrics/kernel_variants.hpp"
#include "packed_table.hpp"

#include <cstdint>
#include <random>
#include <vector>

using native_test::finish;

namespace {

std::vector<std::uint64_t> reference_pack(const std::vector<std::uint8_t>& entries) {
    std::vector<std::uint64_t> words(entries.size() < 64 ? 1 : entries.size() / 64, 0);
    for (std::size_t x = 0; x < entries.size(); ++x) words[x / 64] |= std::uint64_t{entries[x]} << (x % 64);
    return words;
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
            CHECK(vexil::detail::pack_entries(entries) == reference_pack(entries), "n = %u, variant %d", n,
                  static_cast<int>(vexil::detail::kernel_set()));
        }
    }
    return finish("core_packed_table");
}
