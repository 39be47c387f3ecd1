// The finishing routines of the five-input canonisation.
//
// Once the upper half of a candidate word has been brought to its four-input
// canonical form B, the only input transforms of x2 ... x5 that keep the upper
// half at B (after normalisation) are those of B's stabiliser: the transforms
// σ with σ(B) = B or σ(B) = ~B. They leave the upper half alone and act on the
// lower half only, so a routine is a chain of 16-bit delta swaps through the
// stabiliser's elements, each compared as (B << 16) | lower half. The chains are
// derived here from the 222 four-input classes: the elements are visited in
// greedy nearest-neighbour order with shortest connecting paths, and classes
// with the same stabiliser share one routine.
#pragma once

#include "ops.hpp"
#include "word.hpp"

#include <cstdint>
#include <span>
#include <vector>

namespace vexil::npn5 {

// One delta swap of a routine's chain on the lower half. Steps that end on a
// stabiliser element are compared as (B << 16) | (lower ^ flip); the steps in
// between carry skip = 0xFFFF, which makes the compared word no smaller than
// the candidate's own starting word, so they never win.
struct ChainStep {
    Word4 mask;
    Word4 flip;  // 0xFFFF when σ(B) = ~B: the state is normalised by a complement
    Word4 skip;
    std::uint16_t shift;
    PackedTransform relative;  // entries 2-5 as positions of the routine's starting transform
};

struct FinishRoutine {
    std::uint32_t first_step;
    std::uint32_t step_count;
    std::uint32_t element_count;  // stabiliser size less the identity
};

class Finishers {
public:
    // B mod selector_modulus is one-to-one on the 222 four-input canonical words.
    static constexpr std::uint32_t selector_modulus = 1984;

    // Derives the routines from the four-input canonical table.
    void build(std::span<const Word4, normal_words4> canon4);

    const FinishRoutine& routine_for(Word4 b) const { return routines_[selector_[b % selector_modulus]]; }
    const ChainStep* steps() const { return steps_.data(); }
    std::size_t routine_count() const { return routines_.size(); }

    // The transform reached from `start` (the candidate's transform when its
    // routine began) at the stabiliser element that step s ends on.
    static PackedTransform compose(PackedTransform start, const ChainStep& s) {
        PackedTransform p = (start & 0xFFu) ^ (s.flip != 0 ? 1u : 0u);
        for (unsigned k = 2; k <= 5; ++k) {
            const unsigned rel = (s.relative >> (4 * k)) & 0xFu;
            const unsigned entry = ((start >> (4 * (rel & 7u))) & 0xFu) ^ (rel & 8u);
            p |= entry << (4 * k);
        }
        return p;
    }

private:
    std::vector<std::uint8_t> selector_;
    std::vector<FinishRoutine> routines_;
    std::vector<ChainStep> steps_;
};

}  // namespace vexil::npn5
