#include "metrics/block_sensitivity.hpp"

#include "interrupt.hpp"
#include "memory_guard.hpp"
#include "metrics/certificate.hpp"
#include "metrics/certificates.hpp"
#include "metrics/sensitivity.hpp"
#include "base/packed_table.hpp"
#include "pool.hpp"
#include "progress.hpp"

#include <algorithm>
#include <array>
#include <atomic>
#include <bit>
#include <optional>

namespace vexil {

// bs(x) is a maximum packing of the minimal sensitive blocks of x (a packing
// of any sensitive blocks shrinks to one of minimal blocks). The minimal
// blocks are the minimal blocked sets of certificates.hpp, found bit-parallel:
// d is minimal when it is blocked and no d minus one variable is.
//
// A sensitive variable v is a minimal block {v}, and some maximum packing
// holds every such singleton (a block through v can give way to {v}), while a
// larger minimal block has no sensitive variable in it. So
// bs(x) = s(x) + (a maximum packing of the larger minimal blocks), a problem
// over the insensitive variables only, solved exactly by memoised branching on
// its lowest variable: either no block of the packing holds it, or one does.
//
// Bounds spare most inputs that search: s(x) <= bs(x) <= C(x) (a certificate
// meets every sensitive block, and C(x) comes from the same blocked sets), so
// the answer lies between the largest sensitivity and the certificate
// complexity, and an input whose C(x) does not exceed the best bs found so far
// cannot raise it.

namespace {

using Word = std::uint64_t;

constexpr std::uint8_t unknown = 0xFF;

struct Packer {
    const std::vector<Word>& blocks;
    std::uint8_t* memo;
    std::uint64_t calls = 0;

    // The most disjoint blocks inside `avail`.
    unsigned best(Word avail) {
        if (memo[avail] != unknown) return memo[avail];
        if ((++calls & 0xFFF) == 0) check_interrupt();
        // The lowest variable that some block inside avail holds.
        Word lowest = 0;
        for (const Word b : blocks) {
            if ((b & ~avail) != 0) continue;
            const Word low = b & (~b + 1);
            if (lowest == 0 || low < lowest) lowest = low;
        }
        unsigned result = 0;
        if (lowest != 0) {
            result = best(avail & ~lowest);
            for (const Word b : blocks) {
                if ((b & lowest) == 0 || (b & ~avail) != 0) continue;
                result = std::max(result, 1 + best(avail & ~b));
            }
        }
        memo[avail] = static_cast<std::uint8_t>(result);
        return result;
    }
};

// The lanes of a packed table of n variables that hold entries.
Word valid_lanes(unsigned n) { return n < 6 ? (Word{1} << (1U << n)) - 1 : ~Word{0}; }

}  // namespace

namespace detail {

unsigned input_block_sensitivity(std::span<const Word> blocked, unsigned n, unsigned sensitivity, PackingSpace& space) {
    const std::size_t count = blocked.size();
    // The insensitive variables: {v} not blocked.
    std::array<unsigned, 64> place{};  // variable -> its bit among the insensitive ones
    unsigned free_count = 0;
    for (unsigned v = 0; v < n; ++v) {
        const bool sensitive =
            v < 6 ? ((blocked[0] >> (1U << v)) & 1U) != 0 : (blocked[std::size_t{1} << (v - 6)] & 1U) != 0;
        if (!sensitive) place[v] = free_count++;
    }
    if (free_count < 2) return sensitivity;

    // Blocked sets with no blocked set one variable smaller.
    space.minimal.resize(count);
    Word* smaller = space.minimal.data();
    const unsigned inner = std::min(n, 6U);
    for (std::size_t w = 0; w < count; ++w) {
        const Word v = blocked[w];
        Word up = 0;
        for (unsigned j = 0; j < inner; ++j) up |= (v & ~index_bit_lanes[j]) << (1U << j);
        smaller[w] = up;
    }
    for (unsigned j = 6; j < n; ++j) {
        const std::size_t stride = std::size_t{1} << (j - 6);
        for (std::size_t base = 0; base < count; base += 2 * stride) {
            for (std::size_t i = base; i < base + stride; ++i) smaller[i + stride] |= blocked[i];
        }
    }
    space.blocks.clear();
    const Word valid = valid_lanes(n);
    for (std::size_t w = 0; w < count; ++w) {
        Word minimal = blocked[w] & ~smaller[w] & valid;
        while (minimal != 0) {
            const unsigned lane = static_cast<unsigned>(std::countr_zero(minimal));
            minimal &= minimal - 1;
            const Word d = (static_cast<Word>(w) << 6) | lane;
            if (std::popcount(d) < 2) continue;
            // Over the insensitive variables, which hold every such block.
            Word packed = 0;
            for (Word rest = d; rest != 0; rest &= rest - 1) {
                packed |= Word{1} << place[static_cast<unsigned>(std::countr_zero(rest))];
            }
            space.blocks.push_back(packed);
        }
    }
    if (space.blocks.empty()) return sensitivity;

    const std::size_t states = std::size_t{1} << free_count;
    space.memo.assign(states, unknown);
    Packer packer{space.blocks, space.memo.data()};
    return sensitivity + packer.best(static_cast<Word>(states - 1));
}

}  // namespace detail

std::uint32_t packed_block_sensitivity(std::span<const Word> table, unsigned full_n) {
    if (full_n == 0) return 0;
    const std::uint64_t table_bytes = packed_table_bytes(full_n);
    // Variables f ignores are in no minimal block: they are projected out.
    ensure_working_set(table_bytes);
    const detail::EssentialTable essential(table, full_n);
    const unsigned n = essential.n();
    if (n == 0) return 0;
    const std::span<const Word> words = essential.words();
    const std::uint64_t inputs = std::uint64_t{1} << n;
    const std::size_t slots = pool_size();
    // s(x) of every input, and per slot the blocked and minimal sets and the memo.
    ensure_allocatable(inputs);
    ensure_working_set(bytes_plus(inputs, bytes_times(slots, bytes_plus(bytes_times(table_bytes, 2), inputs))));

    std::vector<std::uint8_t> sensitivity(inputs);
    SensitivityStats stats;
    std::uint32_t upper = 0;
    {
        // The bounds come before the search; its loop alone reports progress.
        const ProgressScope quiet(nullptr);
        stats = packed_sensitivity_stats(words, n, nullptr, sensitivity.data());
        if (stats.max == n) return n;
        // At most 4^n / 64 word steps, a fraction 1/n of the pass over the
        // inputs below, and mostly far fewer: it can end that pass early.
        upper = packed_certificate_complexity(words, n, std::nullopt);
    }
    if (stats.max == upper) return upper;

    struct Workspace {
        std::vector<Word> blocked;
        detail::PackingSpace packing;
    };
    std::vector<Workspace> spaces(slots);
    std::atomic<std::uint32_t> best{stats.max};
    constexpr std::uint64_t piece = 64;
    const std::uint64_t pieces = (inputs + piece - 1) / piece;
    // Each input searches blocks over the table's words, about n of them: the work that wakes the pool.
    const std::uint64_t work = inputs * words.size() * n;
    parallel_for(pieces, 1, work, [&](std::uint64_t begin, std::uint64_t end, std::size_t slot) {
        Workspace& ws = spaces[slot];
        ws.blocked.resize(words.size());
        for (std::uint64_t x = begin * piece; x < std::min(inputs, end * piece); ++x) {
            check_interrupt();
            std::uint32_t known = best.load(std::memory_order_relaxed);
            if (known == upper) return;
            detail::blocked_sets(words, n, x, ws.blocked.data());
            const unsigned certificate = n - detail::largest_free_set(ws.blocked, n).size;
            if (certificate <= known) continue;
            const std::uint32_t found = detail::input_block_sensitivity(ws.blocked, n, sensitivity[x], ws.packing);
            while (found > known && !best.compare_exchange_weak(known, found, std::memory_order_relaxed)) {
            }
        }
    });
    return best.load();
}

}  // namespace vexil
