// The walk: permutations in plain-changes order (each one adjacent swap from
// the last), and under each permutation every negation mask in Gray-code
// order (each one variable negated from the last), so that every step is one
// delta swap of the word; the output negation is a complement beside it.
#include "metrics/npn_canonical.hpp"

#include "panic.hpp"

#include <algorithm>
#include <bit>

namespace vexil {

namespace {

std::uint64_t low_mask(unsigned n) { return n == 6 ? ~std::uint64_t{0} : (std::uint64_t{1} << (1u << n)) - 1; }

std::uint64_t delta_swap(std::uint64_t w, std::uint64_t mask, unsigned shift) {
    const std::uint64_t t = (w ^ (w >> shift)) & mask;
    return w ^ t ^ (t << shift);
}

// The entries x with bit i set and bit j clear (i < j): delta-swapped with
// those 2^j - 2^i above them, they exchange variables i and j.
std::uint64_t swap_mask(unsigned n, unsigned i, unsigned j) {
    std::uint64_t m = 0;
    for (unsigned x = 0; x < (1u << n); ++x) {
        if (((x >> i) & 1u) != 0 && ((x >> j) & 1u) == 0) m |= std::uint64_t{1} << x;
    }
    return m;
}

// The entries with bit i clear: delta-swapped with those 2^i above, they negate variable i.
std::uint64_t negate_mask(unsigned n, unsigned i) {
    std::uint64_t m = 0;
    for (unsigned x = 0; x < (1u << n); ++x) {
        if (((x >> i) & 1u) == 0) m |= std::uint64_t{1} << x;
    }
    return m;
}

// The positions of the adjacent swaps (k, k + 1) that take the identity
// through all n! permutations (Steinhaus-Johnson-Trotter), n! - 1 of them.
std::vector<std::uint8_t> plain_changes(unsigned n) {
    std::vector<std::uint8_t> swaps;
    std::vector<int> items(n);
    std::vector<int> dirs(n, -1);
    for (unsigned k = 0; k < n; ++k) items[k] = static_cast<int>(k);
    while (true) {
        int mobile = -1;
        for (unsigned k = 0; k < n; ++k) {
            const int next = static_cast<int>(k) + dirs[k];
            if (next >= 0 && next < static_cast<int>(n) && items[static_cast<unsigned>(next)] < items[k] &&
                (mobile < 0 || items[k] > items[static_cast<unsigned>(mobile)])) {
                mobile = static_cast<int>(k);
            }
        }
        if (mobile < 0) break;
        const auto k = static_cast<unsigned>(mobile);
        const auto other = static_cast<unsigned>(mobile + dirs[k]);
        const int moved = items[k];
        std::swap(items[k], items[other]);
        std::swap(dirs[k], dirs[other]);
        swaps.push_back(static_cast<std::uint8_t>(std::min(k, other)));
        for (unsigned j = 0; j < n; ++j) {
            if (items[j] > moved) dirs[j] = -dirs[j];
        }
    }
    return swaps;
}

struct WalkTables {
    std::vector<std::uint8_t> swaps;
    std::array<std::uint64_t, npn_canonical_max_vars> adjacent{};  // swap_mask(i, i + 1)
    std::array<std::uint64_t, npn_canonical_max_vars> negate{};
};

const WalkTables& walk_tables(unsigned n) {
    static const std::array<WalkTables, npn_canonical_max_vars + 1> tables = [] {
        std::array<WalkTables, npn_canonical_max_vars + 1> all;
        for (unsigned m = 0; m <= npn_canonical_max_vars; ++m) {
            all[m].swaps = plain_changes(m);
            for (unsigned i = 0; i < m; ++i) {
                if (i + 1 < m) all[m].adjacent[i] = swap_mask(m, i, i + 1);
                all[m].negate[i] = negate_mask(m, i);
            }
        }
        return all;
    }();
    return tables[n];
}

}  // namespace

std::uint64_t apply_npn_transform(std::uint64_t word, unsigned n, const NpnForm& t) {
    std::uint64_t r = 0;
    for (unsigned x = 0; x < (1u << n); ++x) {
        unsigned y = 0;
        for (unsigned i = 0; i < n; ++i) y |= (((x >> i) ^ (t.mask >> i)) & 1u) << t.perm[i];
        r |= (((word >> y) & 1u) ^ (t.output ? 1u : 0u)) << x;
    }
    return r;
}

NpnForm npn_canonical_walk(std::uint64_t word, unsigned n) {
    if (n > npn_canonical_max_vars) panic("npn_canonical_walk: at most six variables");
    const WalkTables& tables = walk_tables(n);
    const std::uint64_t full = low_mask(n);
    word &= full;
    // The state: w(x) = word(y), y_{perm[i]} = x_i ^ mask_i.
    NpnForm state;
    NpnForm best;
    best.word = std::min(word, ~word & full);
    best.output = best.word != word;
    std::uint64_t w = word;
    const std::uint32_t masks = 1u << n;
    for (std::size_t p = 0;; ++p) {
        for (std::uint32_t g = 1; g < masks; ++g) {
            const auto i = static_cast<unsigned>(std::countr_zero(g));
            w = delta_swap(w, tables.negate[i], 1u << i);
            state.mask ^= 1u << i;
            const std::uint64_t c = ~w & full;
            if (w < best.word || c < best.word) {
                best = state;
                best.output = c < w;
                best.word = std::min(w, c);
            }
        }
        if (p == tables.swaps.size()) break;
        const unsigned i = tables.swaps[p];
        w = delta_swap(w, tables.adjacent[i], 1u << i);
        std::swap(state.perm[i], state.perm[i + 1]);
        const std::uint32_t bits = (state.mask >> i) & 3u;
        state.mask = (state.mask & ~(3u << i)) | ((bits >> 1) | ((bits & 1u) << 1)) << i;
        const std::uint64_t c = ~w & full;
        if (w < best.word || c < best.word) {
            best = state;
            best.output = c < w;
            best.word = std::min(w, c);
        }
    }
    return best;
}

std::vector<std::uint64_t> npn_class_words(unsigned n) {
    if (n > 4) panic("npn_class_words: at most four variables");
    const std::size_t count = std::size_t{1} << (1u << n);
    std::vector<bool> seen(count, false);
    std::vector<std::uint64_t> classes;
    for (std::uint64_t w = 0; w < count; ++w) {
        if (seen[w]) continue;
        // The first unseen word is its class's least: mark the whole class.
        classes.push_back(w);
        const WalkTables& tables = walk_tables(n);
        const std::uint64_t full = low_mask(n);
        std::uint64_t v = w;
        for (std::size_t p = 0;; ++p) {
            for (std::uint32_t g = 0; g < (1u << n); ++g) {
                if (g != 0) {
                    const auto i = static_cast<unsigned>(std::countr_zero(g));
                    v = delta_swap(v, tables.negate[i], 1u << i);
                }
                seen[v] = true;
                seen[~v & full] = true;
            }
            if (p == tables.swaps.size()) break;
            const unsigned i = tables.swaps[p];
            v = delta_swap(v, tables.adjacent[i], 1u << i);
        }
    }
    return classes;
}

}  // namespace vexil
