#include "metrics/decision_tree.hpp"
#include "base/kernel_variants.hpp"

#include "interrupt.hpp"
#include "memory_guard.hpp"
#include "metrics/certificate.hpp"
#include "metrics/sensitivity.hpp"
#include "base/packed_table.hpp"
#include "pool.hpp"
#include "progress.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <new>
#include <vector>

namespace vexil {

// A subcube fixes some variables and leaves the others free; with digit i of a
// base-3 index standing for variable i (0 or 1: fixed to it, 2: free) the 3^n
// subcubes are the indices below 3^n. Then
//
//   D(c) = 0 when f is constant on c, else 1 + min over free i of
//          max(D(c with i = 0), D(c with i = 1)),
//
// and D(f) is D of the subcube with every variable free. One byte per subcube
// holds whether it contains a false input, a true one, and D (or, until it is
// known, the least max(...) seen so far).
//
// Splitting a block of 3^m subcubes on its top digit gives three blocks: i = 0,
// i = 1 and i free. The first two are independent problems; the third takes,
// element by element, the union of their values and the max of their depths
// as its candidate for digit i, and then is solved the same way over the lower
// digits, each of which adds its own candidate. A subcube is final once every
// free digit has added its candidate, at the bottom of the recursion. The
// element-wise steps run over contiguous bytes, which the compiler vectorises.
//
// On the pool, the top digits are cut off first: blocks of the lower digits,
// one per assignment of 0, 1 or free to the top ones, are solved in waves by
// their number of free top digits, each wave needing only earlier ones.

namespace {

using Cell = std::uint8_t;

constexpr Cell has_false = 0x40;
constexpr Cell has_true = 0x80;
constexpr Cell value_bits = has_false | has_true;
constexpr Cell depth_bits = 0x3F;  // D <= n < 64

constexpr std::array<std::uint64_t, 41> powers_of_three = [] {
    std::array<std::uint64_t, 41> powers{};
    powers[0] = 1;
    for (std::size_t i = 1; i < powers.size(); ++i) powers[i] = 3 * powers[i - 1];
    return powers;
}();

// The subcube of digit i free takes from its two halves.
VEXIL_INLINE void combine_body(const Cell* zero, const Cell* one, Cell* both, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        const Cell a = zero[i];
        const Cell b = one[i];
        const Cell c = both[i];
        const Cell candidate = std::max(static_cast<Cell>(a & depth_bits), static_cast<Cell>(b & depth_bits));
        both[i] =
            static_cast<Cell>(((a | b | c) & value_bits) | std::min(static_cast<Cell>(c & depth_bits), candidate));
    }
}

struct CombineKernel {
    VEXIL_INLINE static void run(const Cell* zero, const Cell* one, Cell* both, std::size_t count) {
        combine_body(zero, one, both, count);
    }
};

void combine(const Cell* zero, const Cell* one, Cell* both, std::size_t count) {
    // Short runs stay in the baseline; the dispatch pays off on long ones.
    if (count < 256) {
        combine_body(zero, one, both, count);
    } else {
        detail::run_kernel<CombineKernel>(zero, one, both, count);
    }
}

// Every candidate is in: the depth of a subcube.
inline void finish(Cell& cell) {
    const Cell values = static_cast<Cell>(cell & value_bits);
    cell = values == value_bits ? static_cast<Cell>(values | ((cell & depth_bits) + 1)) : values;
}

template <unsigned M>
void solve_small(Cell* p) {
    if constexpr (M == 0) {
        finish(*p);
    } else {
        constexpr std::size_t third = powers_of_three[M - 1];
        solve_small<M - 1>(p);
        solve_small<M - 1>(p + third);
        combine_body(p, p + third, p + 2 * third, third);
        solve_small<M - 1>(p + 2 * third);
    }
}

constexpr unsigned small_digits = 5;

// Solves the block of 3^m subcubes at p over its m lower digits; the
// candidates of its other free digits are in already.
void solve(Cell* p, unsigned m) {
    switch (m) {
        case 0:
            return solve_small<0>(p);
        case 1:
            return solve_small<1>(p);
        case 2:
            return solve_small<2>(p);
        case 3:
            return solve_small<3>(p);
        case 4:
            return solve_small<4>(p);
        case small_digits:
            return solve_small<small_digits>(p);
        default:
            break;
    }
    const std::size_t third = powers_of_three[m - 1];
    solve(p, m - 1);
    solve(p + third, m - 1);
    combine(p, p + third, p + 2 * third, third);
    solve(p + 2 * third, m - 1);
    check_interrupt();
}

// The subcubes with no free variable, from the table.
void place_inputs(std::span<const std::uint64_t> words, unsigned n, Cell* cube) {
    // Index of the subcube of input x: the bits of x as base-3 digits.
    std::array<std::uint64_t, 256> low{};
    for (unsigned b = 0; b < 256; ++b) {
        for (unsigned i = 0; i < 8; ++i) low[b] += ((b >> i) & 1U) * powers_of_three[i];
    }
    const std::uint64_t inputs = std::uint64_t{1} << n;
    for (std::uint64_t high = 0; high < inputs; high += 256) {
        std::uint64_t base = 0;
        for (std::uint64_t rest = high >> 8, i = 8; rest != 0; rest >>= 1, ++i) {
            if ((rest & 1U) != 0) base += powers_of_three[i];
        }
        const std::uint64_t end = std::min<std::uint64_t>(inputs, high + 256);
        for (std::uint64_t x = high; x < end; ++x) {
            const bool value = ((words[x / 64] >> (x % 64)) & 1U) != 0;
            cube[base + low[x - high]] = value ? has_true : has_false;
        }
        if ((high & 0xFFFF) == 0) check_interrupt();
    }
}

}  // namespace

namespace detail {

std::vector<std::uint8_t> packed_subcube_depths(std::span<const std::uint64_t> words, unsigned n) {
    // 3^n past the table of powers is past any memory.
    if (n >= powers_of_three.size()) throw std::bad_alloc();
    const std::uint64_t cells = powers_of_three[n];
    ensure_allocatable(cells);
    ensure_working_set(cells);
    // Filled a block at a time, so that Ctrl-C is answered while 3^r bytes
    // (gigabytes at r = 20) are written. The blocks are small: check_interrupt
    // asks the host only every few dozen calls, and each block faults in fresh pages.
    std::vector<Cell> cube;
    cube.reserve(cells);
    constexpr std::uint64_t fill_block = std::uint64_t{1} << 18;
    for (std::uint64_t done = 0; done < cells; done += fill_block) {
        check_interrupt();
        cube.insert(cube.end(), std::min(fill_block, cells - done), depth_bits);
    }
    place_inputs(words, n, cube.data());

    if (n < 12) {
        solve(cube.data(), n);
        return cube;
    }
    // Blocks of the lower n - top digits, one per assignment of the top digits.
    constexpr unsigned top = 6;
    const unsigned lower = n - top;
    const std::size_t block = powers_of_three[lower];
    std::array<std::vector<std::uint32_t>, top + 1> waves;
    for (std::uint32_t p = 0; p < powers_of_three[top]; ++p) {
        unsigned free = 0;
        for (std::uint32_t rest = p; rest != 0; rest /= 3) free += rest % 3 == 2 ? 1U : 0U;
        waves[free].push_back(p);
    }
    plan_progress(powers_of_three[top]);
    Cell* const cells_at = cube.data();
    for (const std::vector<std::uint32_t>& wave : waves) {
        parallel_for(wave.size(), 1, [&](std::uint64_t begin, std::uint64_t end, std::size_t) {
            for (std::uint64_t k = begin; k < end; ++k) {
                const std::uint32_t p = wave[k];
                Cell* const here = cells_at + p * block;
                std::uint32_t rest = p;
                for (unsigned j = 0; j < top; ++j, rest /= 3) {
                    if (rest % 3 != 2) continue;
                    const std::uint32_t digit = static_cast<std::uint32_t>(powers_of_three[j]);
                    combine(cells_at + (p - 2 * digit) * block, cells_at + (p - digit) * block, here, block);
                }
                solve(here, lower);
            }
        });
    }
    return cube;
}

}  // namespace detail

std::uint32_t packed_decision_tree_depth(std::span<const std::uint64_t> table, unsigned full_n) {
    if (full_n == 0) return 0;
    // A tree never needs a variable f ignores.
    ensure_working_set(packed_table_bytes(full_n));
    const detail::EssentialTable essential(table, full_n);
    const unsigned n = essential.n();
    if (n == 0) return 0;
    const std::span<const std::uint64_t> words = essential.words();
    {
        // D >= s(x) for every x, and D <= n: an input sensitive to every variable settles it.
        const ProgressScope quiet(nullptr);
        if (packed_sensitivity_stats(words, n, nullptr, nullptr).max == n) return n;
    }
    return detail::packed_subcube_depths(words, n).back() & depth_bits;
}

}  // namespace vexil
