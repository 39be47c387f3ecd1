#include "base/packed_table.hpp"

#include "interrupt.hpp"
#include "memory_guard.hpp"
#include "panic.hpp"
#include "base/kernel_variants.hpp"

#include <algorithm>
#include <bit>
#include <cstring>

#ifdef VEXIL_X86_VARIANTS
#include <immintrin.h>
#endif

namespace vexil::detail {

std::vector<std::uint64_t> pack_table(const FValue& f) { return pack_entries(f.entries()); }

namespace {

// Eight bytes at a time: byte i (0 or 1) of each group lands on bit 56 + i.
void pack_words_baseline(const std::uint8_t* bytes, std::uint64_t* words, std::uint64_t begin, std::uint64_t end) {
    for (std::uint64_t w = begin; w < end; ++w) {
        std::uint64_t packed = 0;
        for (unsigned j = 0; j < 8; ++j) {
            std::uint64_t eight;
            std::memcpy(&eight, bytes + w * 64 + j * 8, 8);
            // No two partial products meet.
            packed |= (((eight & 0x0101010101010101ULL) * 0x0102040810204080ULL) >> 56) << (8 * j);
        }
        words[w] = packed;
    }
}

#ifdef VEXIL_X86_VARIANTS
// Thirty-two bytes at a time: bit 0 of each byte shifted up to its sign bit,
// which movemask gathers.
[[gnu::target("avx2")]] void pack_words_avx2(const std::uint8_t* bytes, std::uint64_t* words, std::uint64_t begin,
                                             std::uint64_t end) {
    for (std::uint64_t w = begin; w < end; ++w) {
        const auto* block = reinterpret_cast<const __m256i*>(bytes + w * 64);
        const __m256i low = _mm256_slli_epi16(_mm256_loadu_si256(block), 7);
        const __m256i high = _mm256_slli_epi16(_mm256_loadu_si256(block + 1), 7);
        const auto low_bits = static_cast<std::uint32_t>(_mm256_movemask_epi8(low));
        const auto high_bits = static_cast<std::uint32_t>(_mm256_movemask_epi8(high));
        words[w] = low_bits | (std::uint64_t{high_bits} << 32);
    }
}
#endif

}  // namespace

namespace {

// Whether the table depends on variable j.
bool depends_on(std::span<const std::uint64_t> words, unsigned j) {
    if (j < 6) {
        for (const std::uint64_t w : words) {
            if (in_word_flip_difference(w, j) != 0) return true;
        }
        return false;
    }
    const std::size_t stride = std::size_t{1} << (j - 6);
    for (std::size_t base = 0; base < words.size(); base += 2 * stride) {
        for (std::size_t i = base; i < base + stride; ++i) {
            if (words[i] != words[i + stride]) return true;
        }
    }
    return false;
}

}  // namespace

std::vector<std::uint64_t> project_table(std::span<const std::uint64_t> words, std::uint64_t mask) {
    const auto kept = static_cast<unsigned>(std::popcount(mask));
    const std::uint64_t size = std::uint64_t{1} << kept;
    std::vector<std::uint64_t> out(std::max<std::uint64_t>(1, size / 64), 0);
    std::uint64_t x = 0;  // walks the subsets of mask in increasing order
    for (std::uint64_t y = 0; y < size; ++y) {
        out[y / 64] |= ((words[x / 64] >> (x % 64)) & 1U) << (y % 64);
        x = ((x | ~mask) + 1) & mask;
        if ((y & 0xFFFFF) == 0xFFFFF) check_interrupt();
    }
    return out;
}

EssentialTable::EssentialTable(std::span<const std::uint64_t> words, unsigned n)
    : table_(words), mask_(essential_variables(words, n)), n_(static_cast<unsigned>(std::popcount(mask_))) {
    if (n_ < n) projected_ = project_table(words, mask_);
}

}  // namespace vexil::detail

namespace vexil {

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
#ifdef VEXIL_X86_VARIANTS
    const bool wide = detail::kernel_set() != detail::KernelSet::baseline;
#endif
    // Steps of 64 Ki words (4 MiB of entries) between polls.
    constexpr std::uint64_t step = std::uint64_t{1} << 16;
    for (std::uint64_t begin = 0; begin < word_count; begin += step) {
        const std::uint64_t end = std::min(word_count, begin + step);
#ifdef VEXIL_X86_VARIANTS
        if (wide) {
            detail::pack_words_avx2(bytes, words.data(), begin, end);
        } else {
            detail::pack_words_baseline(bytes, words.data(), begin, end);
        }
#else
        detail::pack_words_baseline(bytes, words.data(), begin, end);
#endif
        check_interrupt();
    }
    return words;
}

std::vector<std::uint64_t> pack_guarded(std::span<const std::uint8_t> entries) {
    ensure_working_set(packed_table_bytes(static_cast<unsigned>(std::countr_zero(entries.size()))));
    return pack_entries(entries);
}

std::uint64_t essential_variables(std::span<const std::uint64_t> words, unsigned n) {
    std::uint64_t mask = 0;
    for (unsigned j = 0; j < n; ++j) {
        if (detail::depends_on(words, j)) mask |= std::uint64_t{1} << j;
    }
    return mask;
}

std::uint64_t essential_variables(std::span<const std::uint8_t> entries) {
    if (!std::has_single_bit(entries.size())) panic("essential_variables: the table needs a power-of-two length");
    return essential_variables(pack_entries(entries), static_cast<unsigned>(std::countr_zero(entries.size())));
}

}  // namespace vexil
