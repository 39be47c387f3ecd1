#include "packed_table.hpp"

#include "interrupt.hpp"
#include "memory_guard.hpp"

#include <bit>
#include <cstring>

namespace vexil::detail {

std::vector<std::uint64_t> pack_table(const FValue& f) { return pack_entries(f.entries()); }

std::vector<std::uint64_t> pack_entries(std::span<const std::uint8_t> entries) {
    const std::uint64_t size = entries.size();
    const std::uint64_t word_count = size < 64 ? 1 : size / 64;
    ensure_allocatable(word_count, sizeof(std::uint64_t));
    std::vector<std::uint64_t> words(word_count, 0);
    const std::uint8_t* bytes = entries.data();
    if (size < 64 || std::endian::native != std::endian::little) {
        for (std::uint64_t x = 0; x < size; ++x) words[x / 64] |= std::uint64_t{bytes[x] & 1U} << (x % 64);
        return words;
    }
    for (std::uint64_t w = 0; w < word_count; ++w) {
        std::uint64_t packed = 0;
        for (unsigned j = 0; j < 8; ++j) {
            std::uint64_t eight;
            std::memcpy(&eight, bytes + w * 64 + j * 8, 8);
            // Byte i (0 or 1) lands on bit 56 + i; no two partial products meet.
            packed |= (((eight & 0x0101010101010101ULL) * 0x0102040810204080ULL) >> 56) << (8 * j);
        }
        words[w] = packed;
        if ((w & 0xFFFF) == 0xFFFF) check_interrupt();
    }
    return words;
}

}  // namespace vexil::detail
