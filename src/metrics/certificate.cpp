#include "metrics/certificate.hpp"
#include "base/kernel_variants.hpp"

#include "interrupt.hpp"
#include "memory_guard.hpp"
#include "metrics/sensitivity.hpp"
#include "pool.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <optional>
#include <span>
#include <utility>
#include <vector>

namespace vexil {

// C(x) = n - (the largest |T| such that f is constant on the subcube through x
// whose free variables are T). Rather than solve a hitting-set problem per
// input, the search runs over free sets T and decides for all inputs at once,
// one bit per input, where that subcube is monochromatic:
//
//   A_{} = every input,  A_{T+j}(x) = A_T(x) & A_T(x ^ 2^j) & [f(x) == f(x ^ 2^j)]
//
// for j not in T: the subcube of T+j through x is the union of the subcubes of T
// through x and through x ^ 2^j, joined by edges of direction j. Level t of the
// search ORs every A_T with |T| = t into reach_t; reach_t only shrinks as t
// grows, and the answer is n - (the largest t with reach_t holding every input).
//
// What keeps this small:
//  - a set T with A_T empty has no non-empty superset, so its subtree is cut;
//  - since C(x) >= s(x), an input of sensitivity s_max lies in no monochromatic
//    subcube with more than n - s_max free variables, so no level above
//    n - s_max is full and the search stops there;
//  - variables the function ignores never belong to a smallest certificate, so
//    they are projected out first (a function of few variables is cheap).
// Every set is reached from its elements in increasing order, so the search is
// a tree; its top is cut into prefixes shared out over the worker pool, and the
// per-worker reach bits are ORed together at the end.

namespace {

using Word = std::uint64_t;

struct Search {
    unsigned n = 0;      // variables of the (projected) function
    unsigned limit = 0;  // deepest level needed
    std::size_t words = 0;
    std::vector<Word> everyone;  // A_{}: the inputs that exist
    std::vector<Word> equal;     // word w of direction j at j * words + w
};

// A search state private to one worker slot: the A_T along the current path and
// the reach bits of every level.
struct Workspace {
    std::vector<Word> path;   // level t at t * words, t = 1..limit
    std::vector<Word> reach;  // level t at t * words, t = 1..limit
};

struct Prefix {
    std::array<unsigned char, 8> vars{};
    unsigned length = 0;
};

// dst = A_{T+j} from src = A_T, ORed into reach; true when it is not empty.
VEXIL_INLINE bool extend(const Search& s, const Word* src, unsigned j, Word* dst, Word* reach) {
    const Word* eq = s.equal.data() + j * s.words;
    Word any = 0;
    if (j < 6) {
        const unsigned shift = 1U << j;
        const Word low = ~detail::index_bit_lanes[j];
        for (std::size_t w = 0; w < s.words; ++w) {
            const Word a = src[w];
            const Word partner = ((a >> shift) & low) | ((a & low) << shift);
            const Word r = a & partner & eq[w];
            dst[w] = r;
            reach[w] |= r;
            any |= r;
        }
    } else {
        // A_{T+j} is the same on both ends of each edge of direction j.
        const std::size_t stride = std::size_t{1} << (j - 6);
        for (std::size_t base = 0; base < s.words; base += 2 * stride) {
            for (std::size_t i = base; i < base + stride; ++i) {
                const Word r = src[i] & src[i + stride] & eq[i];
                dst[i] = r;
                dst[i + stride] = r;
                reach[i] |= r;
                reach[i + stride] |= r;
                any |= r;
            }
        }
    }
    return any != 0;
}

// Every set of at most `limit` variables that starts with the prefix, depth first.
VEXIL_INLINE void run_prefix_body(const Search& s, Workspace& ws, const Prefix& prefix) {
    auto level = [&](unsigned t) { return ws.path.data() + t * s.words; };
    auto reach = [&](unsigned t) { return ws.reach.data() + t * s.words; };
    const Word* current = s.everyone.data();
    for (unsigned t = 0; t < prefix.length; ++t) {
        if (!extend(s, current, prefix.vars[t], level(t + 1), reach(t + 1))) return;
        current = level(t + 1);
        check_interrupt();
    }
    const unsigned top = prefix.length;
    if (top >= s.limit) return;
    std::array<unsigned, 65> next{};
    unsigned depth = top;
    next[depth] = prefix.vars[top - 1] + 1U;
    for (;;) {
        if (next[depth] >= s.n) {
            if (depth == top) return;
            --depth;
            continue;
        }
        const unsigned j = next[depth]++;
        if (extend(s, level(depth), j, level(depth + 1), reach(depth + 1)) && depth + 1 < s.limit) {
            ++depth;
            next[depth] = j + 1;
        }
        check_interrupt();
    }
}

struct RunPrefixKernel {
    VEXIL_INLINE static void run(const Search& s, Workspace& ws, const Prefix& prefix) {
        run_prefix_body(s, ws, prefix);
    }
};

void run_prefix(const Search& s, Workspace& ws, const Prefix& prefix) {
    detail::run_kernel<RunPrefixKernel>(s, ws, prefix);
}

// Cuts the top of the search tree into prefixes whose subtrees hold at most
// 2^max_bits sets, largest first.
void make_prefixes(Prefix p, unsigned n, unsigned limit, unsigned max_bits, std::vector<Prefix>& out) {
    const unsigned last = p.vars[p.length - 1];
    const unsigned subtree_bits = n - 1 - last;
    if (subtree_bits <= max_bits || p.length >= std::min<unsigned>(limit, p.vars.size())) {
        out.push_back(p);
        return;
    }
    for (unsigned j = last + 1; j < n; ++j) {
        Prefix child = p;
        child.vars[child.length++] = static_cast<unsigned char>(j);
        make_prefixes(child, n, limit, max_bits, out);
    }
}

}  // namespace

namespace {

// The work of a search (pool.hpp): a pass over the words for each set of at
// most `limit` of the n directions; it decides whether the pool wakes.
std::uint64_t search_work(unsigned n, unsigned limit, std::uint64_t words) {
    std::uint64_t sets = 0;
    std::uint64_t choose = 1;  // C(n, t)
    for (unsigned t = 0; t <= limit && t <= n; ++t) {
        sets += choose;
        choose = choose * (n - t) / (t + 1);
    }
    return sets * words;
}

// n - (the largest level whose reach covers every input of `everyone`), the
// search cut at level n - s_max: the largest C(x) over those inputs, given the
// largest sensitivity s_max among them (< n). `everyone` must be closed under
// the monochromatic subcubes of f (all inputs, or those of one value).
std::uint32_t search_certificates(std::span<const Word> words, unsigned n, std::vector<Word> everyone, unsigned s_max) {
    Search s;
    s.n = n;
    s.limit = n - s_max;
    s.words = words.size();
    s.everyone = std::move(everyone);
    const bool parallel = n >= 4;
    const std::size_t slots = parallel ? pool_size() : 1;
    const std::uint64_t level_words = std::uint64_t{s.limit + 1} * s.words;
    ensure_allocatable(std::uint64_t{n} * s.words, sizeof(Word));
    ensure_allocatable(slots * 2 * level_words, sizeof(Word));
    // The equality masks, and the path and reach levels of every slot.
    ensure_working_set(
        bytes_times(bytes_plus(std::uint64_t{n} * s.words, bytes_times(slots * 2, level_words)), sizeof(Word)));
    s.equal.resize(n * s.words);
    for (unsigned j = 0; j < n; ++j) {
        Word* eq = s.equal.data() + j * s.words;
        if (j < 6) {
            for (std::size_t w = 0; w < s.words; ++w) eq[w] = ~detail::in_word_flip_difference(words[w], j);
        } else {
            const std::size_t stride = std::size_t{1} << (j - 6);
            for (std::size_t w = 0; w < s.words; ++w) eq[w] = ~(words[w] ^ words[w ^ stride]);
        }
    }

    const unsigned slot_bits = static_cast<unsigned>(std::bit_width(slots - 1));
    const unsigned max_bits = n > 4 + slot_bits ? n - 4 - slot_bits : 0;
    std::vector<Prefix> prefixes;
    for (unsigned j = 0; j < n; ++j) {
        Prefix p;
        p.vars[0] = static_cast<unsigned char>(j);
        p.length = 1;
        make_prefixes(p, n, s.limit, max_bits, prefixes);
    }

    std::vector<Workspace> spaces(slots);
    auto run = [&](std::uint64_t begin, std::uint64_t end, std::size_t slot) {
        Workspace& ws = spaces[slot];
        if (ws.path.empty()) {
            ws.path.resize(level_words);
            ws.reach.assign(level_words, 0);
        }
        for (std::uint64_t i = begin; i < end; ++i) run_prefix(s, ws, prefixes[i]);
    };
    if (parallel) {
        parallel_for(prefixes.size(), 1, search_work(n, s.limit, s.words), run);
    } else {
        run(0, prefixes.size(), 0);
    }

    // The largest level whose reach covers every input.
    unsigned covered = 0;
    for (unsigned t = 1; t <= s.limit; ++t) {
        bool full = true;
        for (std::size_t w = 0; w < s.words && full; ++w) {
            Word r = 0;
            for (const Workspace& ws : spaces) {
                if (!ws.reach.empty()) r |= ws.reach[t * s.words + w];
            }
            full = r == s.everyone[w];
        }
        if (!full) break;
        covered = t;
    }
    return n - covered;
}

// The lanes of a packed table of n variables that hold entries.
std::vector<Word> all_inputs(std::size_t words, unsigned n) {
    std::vector<Word> everyone(words, ~Word{0});
    if (n < 6) everyone[0] = (Word{1} << (1U << n)) - 1;
    return everyone;
}

}  // namespace

std::uint32_t certificate_complexity(const FValue& f) {
    const unsigned full_n = f.n_vars();
    if (full_n == 0) return 0;
    // The packed table and its projection; the search's tables are checked below.
    ensure_working_set(bytes_times(packed_table_bytes(full_n), 2));
    const std::vector<Word> table = detail::pack_table(f);
    const detail::EssentialTable essential(table, full_n);
    const unsigned n = essential.n();
    if (n == 0) return 0;
    const std::span<const Word> words = essential.words();

    // C >= s_max, and C = n when some input is sensitive to every variable.
    const unsigned s_max = detail::packed_max_sensitivity(words, n);
    if (s_max == n) return n;
    return search_certificates(words, n, all_inputs(words.size(), n), s_max);
}

std::uint32_t packed_certificate_complexity(std::span<const std::uint64_t> table, unsigned full_n,
                                            std::optional<bool> value) {
    if (full_n == 0) return 0;
    // The table, its projection and the filter; the search's tables are checked below.
    ensure_working_set(bytes_times(packed_table_bytes(full_n), 3));
    const detail::EssentialTable essential(table, full_n);
    const unsigned n = essential.n();
    // A constant: every input of the value has C(x) = 0, and there may be none.
    if (n == 0) return 0;
    const std::span<const Word> words = essential.words();

    // The inputs of the value: a monochromatic subcube through one of them
    // holds only such inputs, so the search can start from them alone.
    std::vector<Word> chosen = all_inputs(words.size(), n);
    if (value) {
        for (std::size_t w = 0; w < words.size(); ++w) chosen[w] &= *value ? words[w] : ~words[w];
    }
    const SensitivityStats stats = packed_sensitivity_stats(words, n, chosen.data(), nullptr);
    if (stats.inputs == 0) return 0;
    if (stats.max == n) return n;
    return search_certificates(words, n, std::move(chosen), stats.max);
}

}  // namespace vexil
