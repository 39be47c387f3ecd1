// Walks many cuts (set1, set2) of the variables and measures the restrictions
// of both sides of each.
//
// A cut is set1 = `fixed` plus a k-subset of the pool lo..n-1; set2 is the
// rest. Two slot tables are kept, one with set1 in the high slots (its rows
// are the restrictions by set1) and one with set2 high (rows: restrictions by
// set2, i.e. the columns of the first). The subsets are visited in
// revolving-door order, where neighbours differ by one variable in and one
// out, so that each step is a single slot swap per table; every cut is handed
// to the visitor with its lexicographic rank, so results can be stored in
// the canonical order whatever the walk and the scheduling.
#pragma once

#include "interrupt.hpp"
#include "memory_guard.hpp"
#include "metrics/restrictions.hpp"
#include "pool.hpp"
#include "progress.hpp"

#include <algorithm>
#include <bit>
#include <memory>

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

// Visits the cuts of revolving-door ranks [begin, end):
// visit(lexicographic rank, set1 mask, CutValue).
template <class Visit>
void walk_cuts(const CutPlan& plan, const std::vector<std::uint64_t>& packed, std::uint64_t begin, std::uint64_t end,
               WalkScratch& scratch, Visit&& visit) {
    const unsigned n = plan.n;
    const unsigned p = plan.pool_size();
    std::uint64_t subset = revolving_door_unrank(begin, p, plan.k);
    std::uint64_t set1 = plan.fixed | (subset << plan.pool_lo);
    const auto size1 = static_cast<unsigned>(std::popcount(set1));
    const unsigned size2 = n - size1;
    if (plan.want1) {
        scratch.set1_high.assign(packed, n);
        scratch.set1_high.arrange(set1);
    }
    if (plan.want2) {
        scratch.set2_high.assign(packed, n);
        scratch.set2_high.arrange(all_variables(n) & ~set1);
    }
    for (std::uint64_t rank = begin; rank < end; ++rank) {
        if (rank != begin) {
            const std::uint64_t next = revolving_door_unrank(rank, p, plan.k);
            std::uint64_t leaving = subset & ~next;
            std::uint64_t entering = next & ~subset;
            for (; leaving != 0; leaving &= leaving - 1, entering &= entering - 1) {
                const unsigned u = static_cast<unsigned>(std::countr_zero(leaving)) + plan.pool_lo;
                const unsigned v = static_cast<unsigned>(std::countr_zero(entering)) + plan.pool_lo;
                if (plan.want1) scratch.set1_high.swap_vars(u, v);
                if (plan.want2) scratch.set2_high.swap_vars(u, v);
            }
            subset = next;
            set1 = plan.fixed | (subset << plan.pool_lo);
        }
        check_interrupt();
        CutValue value;
        if (plan.want1) {
            value.count1 = scratch.classes.classify(scratch.set1_high.words(), size1, size2);
            if (plan.entropy) value.entropy1 = scratch.classes.entropy(size1);
        }
        if (plan.want2) {
            value.count2 = scratch.classes.classify(scratch.set2_high.words(), size2, size1);
            if (plan.entropy) value.entropy2 = scratch.classes.entropy(size2);
        }
        visit(lex_rank(subset, p, plan.k), set1, value);
    }
}

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

template <class Visit>
void run_cuts(const FValue& f, const CutPlan& plan, Visit&& visit) {
    const std::vector<std::uint64_t> packed = pack_table(f);
    const std::uint64_t total = plan.cut_count();
    if (!walks_on_pool(plan.n)) {
        ProgressCounter* const progress = detail::current_progress;
        if (progress != nullptr) progress->expect(total);
        WalkScratch scratch;
        walk_cuts(plan, packed, 0, total, scratch,
                  [&](std::uint64_t rank, std::uint64_t set1, const CutValue& value) { visit(0, rank, set1, value); });
        if (progress != nullptr) progress->advance(total);
        return;
    }
    const std::size_t workers = slot_count(plan.n);
    // Two copies of the packed table per worker.
    ensure_allocatable(workers * 2, packed.size() * sizeof(std::uint64_t));
    std::vector<std::unique_ptr<WalkScratch>> scratch(workers);
    // Enough pieces for the workers to balance; each piece starts by laying
    // out its tables (up to n swaps), so pieces are not made tiny.
    const std::uint64_t grain = std::clamp<std::uint64_t>(total / (workers * 16), 1, 4096);
    parallel_for(total, grain, [&](std::uint64_t begin, std::uint64_t end, std::size_t slot) {
        if (!scratch[slot]) scratch[slot] = std::make_unique<WalkScratch>();
        auto visit_here = [&](std::uint64_t rank, std::uint64_t set1, const CutValue& value) {
            visit(slot, rank, set1, value);
        };
        walk_cuts(plan, packed, begin, end, *scratch[slot], visit_here);
    });
}

}  // namespace vexil::detail
