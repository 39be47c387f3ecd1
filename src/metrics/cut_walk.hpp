// Walks many cuts (set1, set2) of the variables and measures the restrictions
// of both sides of each.
//
// A cut is set1 = `fixed` plus a k-subset of the pool lo..n-1; set2 is the
// rest. Two slot tables are kept, one with set1 in the high slots (its rows
// are the restrictions by set1) and one with set2 high (rows: restrictions by
// set2, i.e. the columns of the first). A walk covers a run [begin, end) of
// lexicographic ranks, the order results are stored and summed in, whether it
// is every cut of a measure or one piece of it (a task of a cluster). The run
// splits into at most 2p blocks (p: the pool size) that each hold all
// j-subsets of a tail of the pool beside a fixed prefix; each block is walked
// in revolving-door order, where neighbours differ by one variable in and one
// out, so that each step is a single slot swap per table, and its first cut is
// reached from the previous one by a few swaps. Every cut is handed to the
// visitor with its lexicographic rank, so results land in the canonical order
// whatever the walk and the scheduling.
#pragma once

#include "interrupt.hpp"
#include "memory_guard.hpp"
#include "metrics/restrictions.hpp"
#include "pool.hpp"
#include "progress.hpp"

#include <algorithm>
#include <bit>
#include <memory>
#include <span>
#include <vector>

namespace vexil::detail {

struct CutPlan {
    unsigned n = 0;
    std::uint64_t fixed = 0;
    unsigned pool_lo = 0;
    unsigned k = 0;
    bool want1 = true;     // measure the restrictions by set1
    bool want2 = true;     // measure the restrictions by set2
    bool entropy = false;  // entropies rather than counts

    unsigned pool_size() const { return n - pool_lo; }
    std::uint64_t cut_count() const { return binomial(pool_size(), k); }
};

struct CutValue {
    std::uint64_t count1 = 0;
    std::uint64_t count2 = 0;
    float entropy1 = -0.0F;
    float entropy2 = -0.0F;
};

struct WalkScratch {
    SlotTable set1_high;
    SlotTable set2_high;
    RowClasses classes;
};

inline std::uint64_t all_variables(unsigned n) { return n >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << n) - 1; }

// The plan of the balanced cuts of n >= 1 variables, in the order of
// balanced_bipartitions (entanglement.cpp).
CutPlan balanced_cut_plan(unsigned n, bool entropy);

// Whether a walk over n variables runs on the worker pool: below ten variables
// the cuts are too few and too cheap to share out. slot_count and run_cuts both
// follow it, so that the visitor's slots always fit what the caller sized.
inline bool walks_on_pool(unsigned n) { return n >= 10; }

// Walks every cut of the plan, on the calling thread or on the worker pool
// (walks_on_pool), reporting one progress unit a cut. visit(slot, lexicographic rank, set1 mask, CutValue) runs on
// the worker that holds `slot` (< slot_count(n)).
inline std::size_t slot_count(unsigned n) { return walks_on_pool(n) ? pool_size() : 1; }

// Memory run_cuts adds: the packed table and two laid-out copies of it per slot
// (the row classes of a slot are far smaller).
inline std::uint64_t cut_walk_bytes(unsigned n) {
    const std::uint64_t packed = packed_table_bytes(n);
    return bytes_plus(packed, bytes_times(bytes_times(slot_count(n), 2), packed));
}

// All j-subsets of the pool positions q..p-1, each joined to `prefix` (a set of
// positions below q): `count` consecutive lexicographic ranks from `base`.
struct CutBlock {
    std::uint64_t prefix;
    unsigned q;
    unsigned j;
    std::uint64_t base;
    std::uint64_t count;
};

// The blocks that tile the lexicographic ranks [a, b) of the k-subsets of a
// pool of p, in rank order.
std::vector<CutBlock> cut_blocks(unsigned p, unsigned k, std::uint64_t a, std::uint64_t b);

// One pool slot's tables, kept laid out from one piece of a walk to the next.
class CutWalker {
public:
    // Brings the tables to the cut whose first part is `next`.
    void move_to(const CutPlan& plan, const std::vector<std::uint64_t>& packed, std::uint64_t next);
    CutValue measure(const CutPlan& plan);
    std::uint64_t set1() const { return set1_; }

private:
    WalkScratch scratch_;
    bool laid_out_ = false;
    std::uint64_t set1_ = 0;
};

// Walks the positions [s, e) of the run that starts at rank a: position i is
// revolving-door rank i - offset of the block at offset = base - a that holds
// it, so a piece is a run of revolving-door neighbours with a few swaps at
// block ends. visit(lexicographic rank - a, set1 mask, CutValue).
template <class Visit>
void walk_positions(const CutPlan& plan, const std::vector<std::uint64_t>& packed, const std::vector<CutBlock>& blocks,
                    std::uint64_t a, std::uint64_t s, std::uint64_t e, CutWalker& walker, Visit& visit) {
    auto block = std::upper_bound(blocks.begin(), blocks.end(), s,
                                  [a](std::uint64_t position, const CutBlock& b) { return position < b.base - a; });
    --block;  // the first block starts at position 0
    for (; block != blocks.end() && block->base - a < e; ++block) {
        const std::uint64_t offset = block->base - a;
        const unsigned width = plan.pool_size() - block->q;
        const std::uint64_t first = s > offset ? s - offset : 0;
        const std::uint64_t last = std::min(block->count, e - offset);
        for (std::uint64_t r = first; r < last; ++r) {
            const std::uint64_t tail = revolving_door_unrank(r, width, block->j);
            const std::uint64_t subset = block->prefix | (tail << block->q);
            walker.move_to(plan, packed, plan.fixed | (subset << plan.pool_lo));
            check_interrupt();
            visit(offset + lex_rank(tail, width, block->j), walker.set1(), walker.measure(plan));
        }
    }
}

// Measures the cuts of lexicographic ranks [begin, begin + count) of the plan
// (within cut_count()) over the packed table, on the calling thread or on the
// worker pool (walks_on_pool), one progress unit a cut:
// visit(slot, rank - begin, set1 mask, CutValue) on the thread that holds
// `slot` (< slot_count(n)). The caller checks the working set.
template <class Visit>
void walk_cuts(const std::vector<std::uint64_t>& packed, const CutPlan& plan, std::uint64_t begin, std::uint64_t count,
               Visit&& visit) {
    if (count == 0) return;
    const std::vector<CutBlock> blocks = cut_blocks(plan.pool_size(), plan.k, begin, begin + count);
    if (!walks_on_pool(plan.n)) {
        ProgressCounter* const progress = detail::current_progress;
        if (progress != nullptr) progress->expect(count);
        CutWalker walker;
        auto visit_here = [&](std::uint64_t index, std::uint64_t set1, const CutValue& value) {
            visit(std::size_t{0}, index, set1, value);
        };
        walk_positions(plan, packed, blocks, begin, 0, count, walker, visit_here);
        if (progress != nullptr) progress->advance(count);
        return;
    }
    const std::size_t workers = slot_count(plan.n);
    // Two copies of the packed table per worker.
    ensure_allocatable(workers * 2, packed.size() * sizeof(std::uint64_t));
    std::vector<std::unique_ptr<CutWalker>> walkers(workers);
    // Enough pieces for the workers to balance; each piece may start by laying
    // out its tables (up to n swaps), so pieces are not made tiny.
    const std::uint64_t grain = std::clamp<std::uint64_t>(count / (workers * 16), 1, 4096);
    // A cut reads the packed table a few times: the pool wakes for many cuts of a large table only.
    const std::uint64_t work = count * (4 * packed.size() + plan.n);
    parallel_for(count, grain, work, [&](std::uint64_t s, std::uint64_t e, std::size_t slot) {
        if (!walkers[slot]) walkers[slot] = std::make_unique<CutWalker>();
        auto visit_here = [&](std::uint64_t index, std::uint64_t set1, const CutValue& value) {
            visit(slot, index, set1, value);
        };
        walk_positions(plan, packed, blocks, begin, s, e, *walkers[slot], visit_here);
    });
}

// Every cut of the plan: walk_cuts over all ranks of f's packed table.
template <class Visit>
void run_cuts(const FValue& f, const CutPlan& plan, Visit&& visit) {
    walk_cuts(pack_table(f), plan, 0, plan.cut_count(), visit);
}

}  // namespace vexil::detail
