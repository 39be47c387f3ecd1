#include "vectorial/affine_class.hpp"

#include "vectorial/boolean_classes5.hpp"

#include "interrupt.hpp"
#include "panic.hpp"
#include "pool.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <set>
#include <utility>

namespace vexil::vectorial {

namespace {

constexpr std::uint8_t unknown = 0xFF;

// Bit e set for every e in the span of `span` (a set of n-bit points as a mask)
// and c: the span's points and their translates by c.
template <class Mask>
Mask with_translate(Mask span, unsigned c) {
    Mask out = span;
    for (Mask rest = span; rest != 0; rest &= rest - 1)
        out |= Mask{1} << (static_cast<unsigned>(std::countr_zero(rest)) ^ c);
    return out;
}

// The least table over all A. A partial A, fixed on the points below 2^j,
// fixes the entries below 2^j whatever its completion, and every partial A has
// completions, so the first levels keep only the partial A whose entries are
// the least so far, level by level. The last two levels, where the partial A
// that tie would be many (up to |AGL(n)| for a table with many symmetries),
// are searched depth first against the least entries met at each level, and
// the A reaching the least table are counted rather than kept.
template <class Node, class Extend>
AffineCanonical least_table(std::vector<Node> nodes, unsigned n, Extend extend) {
    const unsigned size = 1U << n;
    AffineCanonical result{std::vector<std::uint32_t>(size, 0), nodes.size()};
    using Entries = std::array<std::uint8_t, 32>;
    std::array<Entries, 6> best{};  // one per level, n <= 5
    Entries segment{};
    const unsigned kept = n >= 2 ? n - 2 : 0;
    for (unsigned level = 1; level <= kept; ++level) {
        std::vector<Node> next;
        best[level].fill(unknown);
        for (const Node& node : nodes) {
            check_interrupt();
            for (unsigned c = 1; c < size; ++c) {
                if (((node.span >> c) & 1U) != 0) continue;  // A would be singular
                Node child = node;
                const int order = extend(child, level, c, segment, best[level]);
                if (order > 0) continue;
                if (order < 0) {
                    best[level] = segment;
                    next.clear();
                }
                next.push_back(child);
            }
        }
        nodes = std::move(next);
    }
    std::uint64_t ties = 0;
    for (unsigned level = kept + 1; level <= n; ++level) best[level].fill(unknown);
    auto search = [&](auto& self, const Node& node, unsigned level) -> void {
        for (unsigned c = 1; c < size; ++c) {
            if (((node.span >> c) & 1U) != 0) continue;
            Node child = node;
            const int order = extend(child, level, c, segment, best[level]);
            if (order > 0) continue;
            if (order < 0) {
                best[level] = segment;
                for (unsigned deeper = level + 1; deeper <= n; ++deeper) best[deeper].fill(unknown);
                ties = 0;
            }
            if (level == n) {
                ++ties;
            } else {
                self(self, child, level + 1);
            }
        }
    };
    if (n >= 1) {
        for (const Node& node : nodes) {
            check_interrupt();
            search(search, node, kept + 1);
        }
        result.stabilizer = ties;
    }
    for (unsigned level = 1; level <= n; ++level) {
        const unsigned half = 1U << (level - 1);
        for (unsigned x = 0; x < half; ++x) result.table[half + x] = best[level][x];
    }
    return result;
}

// 1, 0 or -1 as segment[0, length) is above, equal to or below best, reading
// the entries as `entry(x)` makes them, and stopping at the first above.
template <class Entry>
int compare_segment(unsigned length, std::array<std::uint8_t, 32>& segment, const std::array<std::uint8_t, 32>& best,
                    Entry entry) {
    int order = 0;
    for (unsigned x = 0; x < length; ++x) {
        segment[x] = entry(x);
        if (order == 0 && segment[x] != best[x]) {
            if (segment[x] > best[x]) return 1;
            order = -1;
        }
    }
    return order;
}

// A partial A of a permutation and the linear part of the best B on the
// differences S(A(x)) ^ S(A(0)) met: the first difference outside the span of
// those before it goes to the next unit vector, the least value outside the
// span of their images, so B is fixed greedily entry by entry.
struct PermutationNode {
    std::array<std::uint8_t, 16> at;     // A(x) for the x fixed so far
    std::array<std::uint8_t, 16> image;  // B's linear part on the differences met
    std::uint32_t span;                  // the points of A's columns' span
    std::uint32_t base;                  // S(A(0))
    unsigned rank;
};

AffineCanonical permutation_canonical(std::span<const std::uint32_t> s, unsigned n) {
    std::vector<PermutationNode> nodes;
    for (unsigned a = 0; a < (1U << n); ++a) {
        PermutationNode node{};
        node.at[0] = static_cast<std::uint8_t>(a);
        node.image.fill(unknown);
        node.image[0] = 0;
        node.span = 1;
        node.base = s[a];
        nodes.push_back(node);
    }
    const unsigned size = 1U << n;
    auto extend = [&](PermutationNode& node, unsigned level, unsigned c, std::array<std::uint8_t, 32>& segment,
                      const std::array<std::uint8_t, 32>& best) {
        const unsigned half = 1U << (level - 1);
        node.span = with_translate(node.span, c);
        return compare_segment(half, segment, best, [&](unsigned i) {
            const unsigned x = half + i;
            node.at[x] = static_cast<std::uint8_t>(node.at[i] ^ c);
            const unsigned d = s[node.at[x]] ^ node.base;
            if (node.image[d] == unknown) {
                const auto unit = static_cast<std::uint8_t>(1U << node.rank++);
                for (unsigned e = 0; e < size; ++e) {
                    if (node.image[e] != unknown) node.image[e ^ d] = static_cast<std::uint8_t>(node.image[e] ^ unit);
                }
            }
            return node.image[d];
        });
    };
    return least_table(std::move(nodes), n, extend);
}

// A partial A of a Boolean function and the best affine l for it: l(0) and
// l on each unit vector make those entries 0.
struct BooleanNode {
    std::array<std::uint8_t, 32> at;
    std::uint32_t span;
    unsigned constant;  // f(A(0))
    unsigned linear;    // l's linear part on the unit vectors fixed so far
};

// Whether f is affine: f(x) = f(0) ^ the sum of f(0) ^ f(e_i) over the bits of x.
bool is_affine(std::span<const std::uint32_t> f, unsigned n) {
    unsigned linear = 0;
    for (unsigned i = 0; i < n; ++i) linear |= ((f[1U << i] ^ f[0]) & 1U) << i;
    for (unsigned x = 0; x < (1U << n); ++x) {
        if (((f[x] ^ f[0]) & 1U) != (static_cast<unsigned>(std::popcount(linear & x)) & 1U)) return false;
    }
    return true;
}

AffineCanonical boolean_canonical(std::span<const std::uint32_t> f, unsigned n) {
    // Every A takes an affine f to the zero table: its stabiliser is AGL(n).
    if (is_affine(f, n)) return {std::vector<std::uint32_t>(std::size_t{1} << n, 0), affine_group_order(n)};
    std::vector<BooleanNode> nodes;
    for (unsigned a = 0; a < (1U << n); ++a) {
        BooleanNode node{};
        node.at[0] = static_cast<std::uint8_t>(a);
        node.span = 1;
        node.constant = f[a] & 1U;
        nodes.push_back(node);
    }
    auto extend = [&](BooleanNode& node, unsigned level, unsigned c, std::array<std::uint8_t, 32>& segment,
                      const std::array<std::uint8_t, 32>& best) {
        const unsigned half = 1U << (level - 1);
        node.span = with_translate(node.span, c);
        node.linear |= ((f[node.at[0] ^ c] & 1U) ^ node.constant) << (level - 1);
        return compare_segment(half, segment, best, [&](unsigned i) {
            const unsigned x = half + i;
            node.at[x] = static_cast<std::uint8_t>(node.at[i] ^ c);
            return static_cast<std::uint8_t>((f[node.at[x]] & 1U) ^ node.constant ^
                                             (static_cast<unsigned>(std::popcount(node.linear & x)) & 1U));
        });
    };
    return least_table(std::move(nodes), n, extend);
}

// Every class, found from one member by changing one entry at a time (a
// swap of two entries of a permutation, a flip of one of a function): the
// classes met from the representative of a class are those met from any of
// its members (a change at x of S.A is A's image of a change at A(x)), and
// every table is reached from the first by such changes. The search stops
// once the classes found cover every table (their sizes, the group's order
// over the stabiliser's, add up to `tables`), or when no class is left.
template <class Canonical, class Neighbours>
std::vector<AffineCanonical> all_classes(const std::vector<std::uint32_t>& first, std::uint64_t group,
                                         std::uint64_t tables, Canonical canonical, Neighbours neighbours) {
    std::set<std::vector<std::uint32_t>> seen;
    std::vector<AffineCanonical> found;
    std::uint64_t covered = 0;
    auto add = [&](AffineCanonical c) {
        if (!seen.insert(c.table).second) return;
        covered += group / c.stabilizer;
        found.push_back(std::move(c));
    };
    add(canonical(first));
    for (std::size_t next = 0; next < found.size() && covered < tables; ++next) {
        const std::vector<std::vector<std::uint32_t>> changed = neighbours(found[next].table);
        std::vector<AffineCanonical> forms(changed.size());
        parallel_for(changed.size(), 4, [&](std::uint64_t begin, std::uint64_t end, std::size_t) {
            for (std::uint64_t k = begin; k < end; ++k) forms[k] = canonical(changed[k]);
        });
        for (AffineCanonical& c : forms) add(std::move(c));
    }
    if (covered != tables) panic("affine classes: the classes found do not cover every table");
    std::ranges::sort(found, {}, &AffineCanonical::table);
    return found;
}

}  // namespace

std::uint64_t affine_group_order(unsigned n) {
    std::uint64_t order = std::uint64_t{1} << n;
    for (unsigned i = 0; i < n; ++i) order *= (std::uint64_t{1} << n) - (std::uint64_t{1} << i);
    return order;
}

AffineCanonical affine_canonical_permutation(std::span<const std::uint32_t> table, unsigned n) {
    if (n > max_affine_class_vars || table.size() != (std::size_t{1} << n)) panic("affine class: bad permutation size");
    return permutation_canonical(table, n);
}

AffineCanonical affine_canonical_boolean(std::span<const std::uint32_t> table, unsigned n) {
    if (n > max_boolean_class_vars || table.size() != (std::size_t{1} << n)) panic("affine class: bad function size");
    return boolean_canonical(table, n);
}

std::vector<AffineCanonical> affine_permutation_classes(unsigned n) {
    if (n > max_affine_class_vars) panic("affine classes: n too large");
    const std::size_t size = std::size_t{1} << n;
    std::vector<std::uint32_t> identity(size);
    std::uint64_t permutations = 1;
    for (std::size_t x = 0; x < size; ++x) {
        identity[x] = static_cast<std::uint32_t>(x);
        permutations *= x + 1;
    }
    const std::uint64_t group = affine_group_order(n);
    return all_classes(
        identity, group * group, permutations,
        [n](const std::vector<std::uint32_t>& t) { return affine_canonical_permutation(t, n); },
        [size](const std::vector<std::uint32_t>& t) {
            std::vector<std::vector<std::uint32_t>> out;
            for (std::size_t i = 0; i < size; ++i) {
                for (std::size_t j = i + 1; j < size; ++j) {
                    out.push_back(t);
                    std::swap(out.back()[i], out.back()[j]);
                }
            }
            return out;
        });
}

std::vector<AffineCanonical> affine_boolean_classes(unsigned n) {
    if (n > max_boolean_listed_vars) panic("affine classes: n too large");
    if (n == 5) return boolean_classes5();
    const std::size_t size = std::size_t{1} << n;
    return all_classes(
        std::vector<std::uint32_t>(size, 0), affine_group_order(n) << (n + 1), std::uint64_t{1} << size,
        [n](const std::vector<std::uint32_t>& t) { return affine_canonical_boolean(t, n); },
        [size](const std::vector<std::uint32_t>& t) {
            std::vector<std::vector<std::uint32_t>> out(size, t);
            for (std::size_t x = 0; x < size; ++x) out[x][x] ^= 1U;
            return out;
        });
}

}  // namespace vexil::vectorial
