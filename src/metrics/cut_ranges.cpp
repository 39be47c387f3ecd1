#include "metrics/cut_ranges.hpp"

#include "memory_guard.hpp"
#include "metrics/cut_walk.hpp"
#include "packed_table.hpp"
#include "pool.hpp"
#include "progress.hpp"

#include <algorithm>
#include <bit>
#include <memory>
#include <stdexcept>
#include <vector>

namespace vexil {

namespace {

using detail::CutPlan;
using detail::CutValue;

// All j-subsets of the pool positions q..p-1, each joined to `prefix` (a set of
// positions below q): `count` consecutive lexicographic ranks from `base`.
struct Block {
    std::uint64_t prefix;
    unsigned q;
    unsigned j;
    std::uint64_t base;
    std::uint64_t count;
};

// Appends, in rank order, the blocks that tile the ranks [a, b) among the
// j-subsets of q..p-1 joined to `prefix`, whose first has rank `base`. Those
// holding q come first, so a block partly inside splits into the two halves.
void split_range(std::uint64_t prefix, unsigned q, unsigned j, unsigned p, std::uint64_t base, std::uint64_t a,
                 std::uint64_t b, std::vector<Block>& blocks) {
    const std::uint64_t total = binomial(p - q, j);
    if (total == 0 || base >= b || base + total <= a) return;
    if (a <= base && base + total <= b) {
        blocks.push_back({prefix, q, j, base, total});
        return;
    }
    // Partly inside: at least two subsets, so j >= 1 and q + 1 < p.
    const std::uint64_t holding_q = binomial(p - q - 1, j - 1);
    split_range(prefix | (std::uint64_t{1} << q), q + 1, j - 1, p, base, a, b, blocks);
    split_range(prefix, q + 1, j, p, base + holding_q, a, b, blocks);
}

// One pool slot's tables, kept laid out from one piece of a range to the next.
class RangeWalker {
public:
    // Brings the tables to the cut whose first part is `next`.
    void move_to(const CutPlan& plan, const std::vector<std::uint64_t>& packed, std::uint64_t next) {
        if (!laid_out_) {
            if (plan.want1) {
                scratch_.set1_high.assign(packed, plan.n);
                scratch_.set1_high.arrange(next);
            }
            if (plan.want2) {
                scratch_.set2_high.assign(packed, plan.n);
                scratch_.set2_high.arrange(detail::all_variables(plan.n) & ~next);
            }
            laid_out_ = true;
        } else {
            // Both parts keep their sizes: pair each variable that leaves set1
            // with one that enters it, one slot swap per pair and table.
            std::uint64_t leaving = set1_ & ~next;
            std::uint64_t entering = next & ~set1_;
            for (; leaving != 0; leaving &= leaving - 1, entering &= entering - 1) {
                const auto u = static_cast<unsigned>(std::countr_zero(leaving));
                const auto v = static_cast<unsigned>(std::countr_zero(entering));
                if (plan.want1) scratch_.set1_high.swap_vars(u, v);
                if (plan.want2) scratch_.set2_high.swap_vars(u, v);
            }
        }
        set1_ = next;
    }

    CutValue measure(const CutPlan& plan) {
        const auto size1 = static_cast<unsigned>(std::popcount(set1_));
        const unsigned size2 = plan.n - size1;
        CutValue value;
        if (plan.want1) {
            value.count1 = scratch_.classes.classify(scratch_.set1_high.words(), size1, size2);
            if (plan.entropy) value.entropy1 = scratch_.classes.entropy(size1);
        }
        if (plan.want2) {
            value.count2 = scratch_.classes.classify(scratch_.set2_high.words(), size2, size1);
            if (plan.entropy) value.entropy2 = scratch_.classes.entropy(size2);
        }
        return value;
    }

private:
    detail::WalkScratch scratch_;
    bool laid_out_ = false;
    std::uint64_t set1_ = 0;
};

// Walks the positions [s, e) of a range: position i is revolving-door rank
// i - offset of the block at offset = base - a that holds it, so a piece is a
// run of revolving-door neighbours with a few swaps at block ends.
// store(index, CutValue) gets each cut's lexicographic rank less a.
template <class Store>
void walk_positions(const CutPlan& plan, const std::vector<std::uint64_t>& packed, const std::vector<Block>& blocks,
                    std::uint64_t a, std::uint64_t s, std::uint64_t e, RangeWalker& walker, Store& store) {
    auto block = std::upper_bound(blocks.begin(), blocks.end(), s,
                                  [a](std::uint64_t position, const Block& b) { return position < b.base - a; });
    --block;  // the first block starts at position 0
    for (; block != blocks.end() && block->base - a < e; ++block) {
        const std::uint64_t offset = block->base - a;
        const unsigned width = plan.pool_size() - block->q;
        const std::uint64_t first = s > offset ? s - offset : 0;
        const std::uint64_t last = std::min(block->count, e - offset);
        for (std::uint64_t r = first; r < last; ++r) {
            const std::uint64_t tail = detail::revolving_door_unrank(r, width, block->j);
            const std::uint64_t subset = block->prefix | (tail << block->q);
            walker.move_to(plan, packed, plan.fixed | (subset << plan.pool_lo));
            check_interrupt();
            store(offset + detail::lex_rank(tail, width, block->j), walker.measure(plan));
        }
    }
}

// Measures the cuts of lexicographic ranks [begin, begin + count) of the plan:
// store(index, CutValue) with index = rank - begin, on the thread that holds
// the pool slot of the piece (distinct indices, so stores need no lock).
// `out_bytes`: the caller's result buffers, counted in the working set.
template <class Store>
void run_range(std::span<const std::uint8_t> entries, const CutPlan& plan, std::uint64_t begin, std::uint64_t count,
               std::uint64_t out_bytes, Store&& store) {
    const std::uint64_t total = plan.cut_count();
    if (begin > total || count > total - begin) throw std::out_of_range("the range runs past the last rank");
    ensure_working_set(bytes_plus(detail::cut_walk_bytes(plan.n), out_bytes));
    if (count == 0) return;
    std::vector<Block> blocks;
    split_range(0, 0, plan.k, plan.pool_size(), 0, begin, begin + count, blocks);
    const std::vector<std::uint64_t> packed = detail::pack_entries(entries);
    if (!detail::walks_on_pool(plan.n)) {
        ProgressCounter* const progress = detail::current_progress;
        if (progress != nullptr) progress->expect(count);
        RangeWalker walker;
        walk_positions(plan, packed, blocks, begin, 0, count, walker, store);
        if (progress != nullptr) progress->advance(count);
        return;
    }
    const std::size_t workers = detail::slot_count(plan.n);
    ensure_allocatable(workers * 2, packed.size() * sizeof(std::uint64_t));
    std::vector<std::unique_ptr<RangeWalker>> walkers(workers);
    const std::uint64_t grain = std::clamp<std::uint64_t>(count / (workers * 16), 1, 4096);
    parallel_for(count, grain, [&](std::uint64_t s, std::uint64_t e, std::size_t slot) {
        if (!walkers[slot]) walkers[slot] = std::make_unique<RangeWalker>();
        walk_positions(plan, packed, blocks, begin, s, e, *walkers[slot], store);
    });
}

unsigned variable_count(std::span<const std::uint8_t> entries) {
    if (!std::has_single_bit(entries.size())) throw std::invalid_argument("the table size is not a power of two");
    return static_cast<unsigned>(std::countr_zero(entries.size()));
}

// The one cut ([], []) of n = 0 variables.
template <class Value>
void empty_cut(std::uint64_t begin, std::span<Value> out, Value value) {
    if (begin > 1 || out.size() > 1 - begin) throw std::out_of_range("the range runs past the last rank");
    if (!out.empty()) out[0] = value;
}

}  // namespace

std::uint64_t subset_count(unsigned n, unsigned k) { return binomial(n, k); }

void cut_counts_range(std::span<const std::uint8_t> entries, std::uint64_t begin, std::span<std::uint64_t> out) {
    const unsigned n = variable_count(entries);
    if (n == 0) return empty_cut<std::uint64_t>(begin, out, 2);
    auto store = [&](std::uint64_t index, const CutValue& value) { out[index] = value.count1 + value.count2; };
    run_range(entries, detail::balanced_cut_plan(n, false), begin, out.size(), out.size_bytes(), store);
}

void cut_entropies_range(std::span<const std::uint8_t> entries, std::uint64_t begin, std::span<float> out) {
    const unsigned n = variable_count(entries);
    if (n == 0) return empty_cut<float>(begin, out, -0.0F);
    auto store = [&](std::uint64_t index, const CutValue& value) { out[index] = value.entropy1 + value.entropy2; };
    run_range(entries, detail::balanced_cut_plan(n, true), begin, out.size(), out.size_bytes(), store);
}

void subset_entropies_range(std::span<const std::uint8_t> entries, unsigned k, std::uint64_t begin,
                            std::span<float> out, std::span<float> complements) {
    const unsigned n = variable_count(entries);
    if (k > n) throw std::out_of_range("more variables in a subset than the function has");
    if (!complements.empty() && complements.size() != out.size()) {
        throw std::invalid_argument("the complements need one value per subset");
    }
    CutPlan plan;
    plan.n = n;
    plan.k = k;
    plan.entropy = true;
    plan.want2 = !complements.empty();
    // The complement of rank begin + index lands at (count - 1 - index): the
    // complement map reverses the lexicographic order.
    const std::uint64_t last = out.size() - 1;
    auto store = [&](std::uint64_t index, const CutValue& value) {
        out[index] = value.entropy1;
        if (plan.want2) complements[last - index] = value.entropy2;
    };
    run_range(entries, plan, begin, out.size(), bytes_plus(out.size_bytes(), complements.size_bytes()), store);
}

}  // namespace vexil
