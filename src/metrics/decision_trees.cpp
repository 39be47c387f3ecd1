#include "metrics/decision_trees.hpp"

#include "base/packed_table.hpp"
#include "interrupt.hpp"
#include "memory_guard.hpp"
#include "metrics/decision_tree.hpp"

#include <algorithm>
#include <array>
#include <stdexcept>

namespace vexil {

namespace {

constexpr std::uint8_t depth_bits = 0x3F;
constexpr std::uint8_t has_true = 0x80;

}  // namespace

std::vector<std::uint8_t> packed_decision_tree(std::span<const std::uint64_t> table, unsigned full_n) {
    if (full_n == 0) return {(table[0] & 1U) != 0 ? true_leaf : false_leaf};
    ensure_working_set(packed_table_bytes(full_n));
    const detail::EssentialTable essential(table, full_n);
    const unsigned r = essential.n();
    // The variable of each digit of the essential table.
    std::array<std::uint8_t, 64> variable{};
    for (unsigned i = 0, v = 0; v < full_n; ++v) {
        if (((essential.mask() >> v) & 1U) != 0) variable[i++] = static_cast<std::uint8_t>(v);
    }
    const std::vector<std::uint8_t> depths = detail::packed_subcube_depths(essential.words(), r);
    std::vector<std::uint64_t> power(r + 1, 1);
    for (unsigned i = 1; i <= r; ++i) power[i] = 3 * power[i - 1];

    // Preorder from a stack of subcubes: below a node whose best split is on
    // digit i, the subcube with i = 0 comes first.
    std::vector<std::uint8_t> codes;
    std::vector<std::uint64_t> stack{depths.size() - 1};
    while (!stack.empty()) {
        const std::uint64_t c = stack.back();
        stack.pop_back();
        const unsigned depth = depths[c] & depth_bits;
        if (depth == 0) {
            codes.push_back((depths[c] & has_true) != 0 ? true_leaf : false_leaf);
            continue;
        }
        if ((codes.size() & 0xFFFF) == 0) check_interrupt();
        std::uint64_t rest = c;
        unsigned i = 0;
        for (; i < r; ++i, rest /= 3) {
            if (rest % 3 != 2) continue;
            const unsigned worse = std::max(depths[c - 2 * power[i]] & depth_bits, depths[c - power[i]] & depth_bits);
            if (worse + 1 == depth) break;
        }
        codes.push_back(variable[i]);
        stack.push_back(c - power[i]);
        stack.push_back(c - 2 * power[i]);
    }
    return codes;
}

std::uint32_t packed_decision_tree_size(std::span<const std::uint64_t> words, unsigned n) {
    if (n > decision_tree_size_max_vars) {
        throw std::invalid_argument("decision_tree_size takes at most 10 variables");
    }
    std::array<std::uint64_t, decision_tree_size_max_vars + 1> power{};
    power[0] = 1;
    for (unsigned i = 1; i <= n; ++i) power[i] = 3 * power[i - 1];
    const std::uint64_t cells = power[n];
    // values[c]: bit 0 when subcube c holds a false input, bit 1 a true one;
    // leaves[c]: the least number of leaves of a tree computing f on it.
    std::vector<std::uint8_t> values(cells);
    std::vector<std::uint16_t> leaves(cells);
    std::array<std::uint8_t, decision_tree_size_max_vars> digit{};
    for (std::uint64_t c = 0; c < cells; ++c) {
        unsigned lowest = n;
        for (unsigned v = n; v-- > 0;) {
            if (digit[v] == 2) lowest = v;
        }
        if (lowest == n) {
            std::uint64_t x = 0;
            for (unsigned v = 0; v < n; ++v) x |= std::uint64_t{digit[v]} << v;
            values[c] = ((words[x / 64] >> (x % 64)) & 1U) != 0 ? 2 : 1;
            leaves[c] = 1;
        } else {
            values[c] = static_cast<std::uint8_t>(values[c - 2 * power[lowest]] | values[c - power[lowest]]);
            if (values[c] != 3) {
                leaves[c] = 1;
            } else {
                unsigned best = ~0U;
                for (unsigned v = lowest; v < n; ++v) {
                    if (digit[v] == 2) best = std::min(best, unsigned{leaves[c - 2 * power[v]]} + leaves[c - power[v]]);
                }
                leaves[c] = static_cast<std::uint16_t>(best);
            }
        }
        for (unsigned v = 0; v < n && ++digit[v] == 3; ++v) digit[v] = 0;
        if ((c & 0xFFF) == 0) check_interrupt();
    }
    return leaves[cells - 1];
}

}  // namespace vexil
