// The upper half of the result is the smallest four-input canonical form B
// among the ten cofactors (each input at the top, in both polarities). Each
// candidate that reaches B is walked to upper half B with the step table, and
// its routine then visits the only transforms that keep the upper half at B.
#include "canonise.hpp"

#include "ops.hpp"

#include <array>
#include <bit>

namespace vexil::npn5 {

namespace {

// w_v: input x(v+1) of n moved to the top, the other inputs in increasing
// order below it; each step exchanges x1 with the next input of w_0 (the rows
// of the lower part of the mask trade places with the rows `shift` above).
std::array<Word, 5> top_variants(Word n) {
    std::array<Word, 5> w;
    w[0] = n;
    w[1] = delta_swap(w[0], 0xFF00u, 8);
    w[2] = delta_swap(w[1], 0xF0F0u, 12);
    w[3] = delta_swap(w[2], 0xCCCCu, 14);
    w[4] = delta_swap(w[3], 0xAAAAu, 15);
    return w;
}

// Transform entries 1-5 of w_v: v + 1 on top, the rest in increasing order.
constexpr std::array<PackedTransform, 5> top_transforms = {0x00543210u, 0x00543120u, 0x00542130u, 0x00532140u,
                                                           0x00432150u};

}  // namespace

Word canonise(Word n, NpnTransform& t, const CanonTables& tables) {
    if (n == 0 || n == parity5) {
        t = NpnTransform{};
        return n;
    }
    const std::array<Word, 5> w = top_variants(n);

    // Candidate i's upper half after its preparation is u (the half, made
    // normal); its walk is read now, beside its score, rather than after the
    // minimum is known.
    std::array<Word4, 10> score;
    std::array<std::uint32_t, 10> walk;
    for (unsigned i = 0; i < 10; ++i) {
        const Word half = (i & 1) != 0 ? w[i / 2] & 0xFFFFu : w[i / 2] >> 16;
        const Word u = half ^ ((half >> 15) * 0xFFFFu);
        score[i] = tables.canon4[u];
        walk[i] = tables.walk[u];
    }
    // A tree of minima rather than a chain of ten.
    auto least = [](Word4 x, Word4 y) { return x < y ? x : y; };
    const Word4 b =
        least(least(least(score[0], score[1]), least(score[2], score[3])),
              least(least(score[4], score[5]), least(least(score[6], score[7]), least(score[8], score[9]))));
    unsigned candidates = 0;
    for (unsigned i = 0; i < 10; ++i) candidates |= static_cast<unsigned>(score[i] == b) << i;
    // With B = 0 the lower halves of all candidates are in one four-input
    // class, so the first candidate alone reaches the minimum.
    if (b == 0) candidates &= -candidates;

    const FinishRoutine& routine = tables.finishers.routine_for(b);
    const ChainStep* chain = tables.finishers.steps() + routine.first_step;
    const Word upper = static_cast<Word>(b) << 16;

    Word best = 0xFFFFFFFFu;
    PackedTransform best_start = packed_identity;
    const ChainStep* best_step = nullptr;
    while (candidates != 0) {
        const auto i = static_cast<unsigned>(std::countr_zero(candidates));
        candidates &= candidates - 1;
        Word h = w[i / 2];
        PackedTransform p = top_transforms[i / 2];
        if ((i & 1) != 0) {
            h = swap_halves(h);
            p |= 8u << 4;
        }
        if (!is_normal(h)) {
            h = ~h;
            p |= 1;
        }
        for (std::uint32_t ops = walk[i]; ops != 0; ops >>= 4) {
            h = apply_op(ops & 0xFu, h);
            p = apply_op_transform(ops & 0xFu, p);
        }
        if (h < best) {
            best = h;
            best_start = p;
            best_step = nullptr;
        }
        auto lower = static_cast<Word4>(h);
        for (std::uint32_t k = 0; k < routine.step_count; ++k) {
            const ChainStep& s = chain[k];
            lower = delta_swap16(lower, s.mask, s.shift);
            const Word state = upper | static_cast<Word4>((lower ^ s.flip) | s.skip);
            if (state < best) {
                best = state;
                best_start = p;
                best_step = &s;
            }
        }
    }
    t = unpack_transform(best_step != nullptr ? Finishers::compose(best_start, *best_step) : best_start);
    return best;
}

}  // namespace vexil::npn5
