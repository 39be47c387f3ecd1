#include "metrics/cut_walk.hpp"

namespace vexil::detail {

namespace {

// Appends, in rank order, the blocks that tile the ranks [a, b) among the
// j-subsets of q..p-1 joined to `prefix`, whose first has rank `base`. Those
// holding q come first, so a block partly inside splits into the two halves.
void split_range(std::uint64_t prefix, unsigned q, unsigned j, unsigned p, std::uint64_t base, std::uint64_t a,
                 std::uint64_t b, std::vector<CutBlock>& blocks) {
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

}  // namespace

std::vector<CutBlock> cut_blocks(unsigned p, unsigned k, std::uint64_t a, std::uint64_t b) {
    std::vector<CutBlock> blocks;
    split_range(0, 0, k, p, 0, a, b, blocks);
    return blocks;
}

void CutWalker::move_to(const CutPlan& plan, const std::vector<std::uint64_t>& packed, std::uint64_t next) {
    if (!laid_out_) {
        if (plan.want1) {
            scratch_.set1_high.assign(packed, plan.n);
            scratch_.set1_high.arrange(next);
        }
        if (plan.want2) {
            scratch_.set2_high.assign(packed, plan.n);
            scratch_.set2_high.arrange(all_variables(plan.n) & ~next);
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

CutValue CutWalker::measure(const CutPlan& plan) {
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

}  // namespace vexil::detail
