#include "metrics/certificates.hpp"

#include "interrupt.hpp"
#include "memory_guard.hpp"
#include "base/packed_table.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <vector>

namespace vexil {

namespace {

using Word = std::uint64_t;

// lanes_of_weight[k]: the lanes l < 64 with popcount(l) = k.
constexpr std::array<Word, 7> lanes_of_weight = [] {
    std::array<Word, 7> lanes{};
    for (unsigned l = 0; l < 64; ++l) lanes[static_cast<unsigned>(std::popcount(l))] |= Word{1} << l;
    return lanes;
}();

// The word with lane l holding lane l ^ c of `word`, c < 64.
Word xor_lanes(Word word, unsigned c) {
    for (unsigned j = 0; j < 6; ++j) {
        if (((c >> j) & 1U) == 0) continue;
        const unsigned shift = 1U << j;
        const Word low = ~detail::index_bit_lanes[j];
        word = ((word >> shift) & low) | ((word & low) << shift);
    }
    return word;
}

}  // namespace

namespace detail {

void blocked_sets(std::span<const Word> words, unsigned n, std::uint64_t x, Word* out) {
    const std::size_t count = words.size();
    const bool value = ((words[x / 64] >> (x % 64)) & 1U) != 0;
    const Word flip = value ? ~Word{0} : 0;
    const std::size_t high = static_cast<std::size_t>(x / 64);
    const unsigned low = static_cast<unsigned>(x % 64);
    const unsigned inner = std::min(n, 6U);
    // Bit d of the shifted table: f(x ^ d) != f(x); then closed upwards, one
    // direction at a time: d is blocked when d minus j is.
    for (std::size_t w = 0; w < count; ++w) {
        Word v = xor_lanes(words[w ^ high] ^ flip, low);
        for (unsigned j = 0; j < inner; ++j) v |= (v & ~index_bit_lanes[j]) << (1U << j);
        out[w] = v;
        if ((w & 0xFFFF) == 0xFFFF) check_interrupt();
    }
    for (unsigned j = 6; j < n; ++j) {
        const std::size_t stride = std::size_t{1} << (j - 6);
        for (std::size_t base = 0; base < count; base += 2 * stride) {
            for (std::size_t i = base; i < base + stride; ++i) out[i + stride] |= out[i];
            if ((base & 0xFFFF) == 0 && count > 0xFFFF) check_interrupt();
        }
    }
}

FreeSet largest_free_set(std::span<const Word> blocked, unsigned n) {
    const Word valid = n < 6 ? (Word{1} << (1U << n)) - 1 : ~Word{0};
    FreeSet best;
    bool found = false;
    // From the greatest mask down, so that the first set of a size is the greatest.
    for (std::size_t w = blocked.size(); w-- > 0;) {
        const unsigned outer = static_cast<unsigned>(std::popcount(w));
        if (found && outer + 6 <= best.size) continue;  // cannot do better
        const Word free = ~blocked[w] & valid;
        if (free == 0) continue;
        for (unsigned k = 6 + 1; k-- > 0;) {
            const Word hit = free & lanes_of_weight[k];
            if (hit == 0) continue;
            if (!found || outer + k > best.size) {
                found = true;
                best.size = outer + k;
                best.mask = (static_cast<std::uint64_t>(w) << 6) | static_cast<unsigned>(63 - std::countl_zero(hit));
            }
            break;
        }
        if (best.size == n) break;
        if ((w & 0xFFFF) == 0) check_interrupt();
    }
    return best;
}

}  // namespace detail

std::uint64_t smallest_certificate(std::span<const Word> words, unsigned n, std::uint64_t x) {
    if (n == 0) return 0;
    ensure_working_set(bytes_times(words.size(), sizeof(Word)));
    std::vector<Word> blocked(words.size());
    detail::blocked_sets(words, n, x, blocked.data());
    const detail::FreeSet free = detail::largest_free_set(blocked, n);
    const std::uint64_t all = n >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << n) - 1;
    return all & ~free.mask;
}

}  // namespace vexil
