// The upper half of the result is the smallest four-input canonical form B
// among the ten cofactors (each input at the top, in both polarities). Each
// candidate that reaches B is walked to upper half B with the step table, and
// its routine then visits the only transforms that keep the upper half at B.
#include "canonise.hpp"

#include "ops.hpp"

#include <array>

namespace vexil::npn5 {

namespace {

// w_v: input x(v+1) of n moved to the top, the other inputs in increasing
// order below it; each step exchanges x1 with the next input of w_0.
std::array<Word, 5> top_variants(Word n) {
    std::array<Word, 5> w;
    w[0] = n;
    w[1] = w[0] ^ ((((w[0] >> 8) ^ w[0]) & 0xFF00u) * 0x101u);
    w[2] = w[1] ^ ((((w[1] >> 12) ^ w[1]) & 0xF0F0u) * 0x1001u);
    w[3] = w[2] ^ ((((w[2] >> 14) ^ w[2]) & 0xCCCCu) * 0x4001u);
    w[4] = w[3] ^ ((((w[3] >> 15) ^ w[3]) & 0xAAAAu) * 0x8001u);
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

    std::array<Word4, 10> score;
    for (unsigned i = 0; i < 10; ++i) {
        const Word half = (i & 1) != 0 ? w[i / 2] & 0xFFFFu : w[i / 2] >> 16;
        const Word u = (half & 0x8000u) != 0 ? half ^ 0xFFFFu : half;
        score[i] = tables.canon4[u];
    }
    Word4 b = score[0];
    for (Word4 s : score) b = s < b ? s : b;
    // With B = 0 the lower halves of all candidates are in one four-input
    // class, so the first candidate alone reaches the minimum.
    const bool single = b == 0;

    const FinishRoutine& routine = tables.finishers.routine_for(b);
    const FinishElement* elements = tables.finishers.elements() + routine.first_element;
    const ChainOp* ops = tables.finishers.ops();
    const Word upper = static_cast<Word>(b) << 16;

    Word best = 0xFFFFFFFFu;
    PackedTransform best_start = packed_identity;
    const FinishElement* best_element = nullptr;
    for (unsigned i = 0; i < 10; ++i) {
        if (score[i] != b) continue;
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
        for (unsigned op = tables.step[h >> 16]; op != 0; op = tables.step[h >> 16]) {
            h = apply_op(op, h);
            p = apply_op_transform(op, p);
        }
        if (h < best) {
            best = h;
            best_start = p;
            best_element = nullptr;
        }
        auto lower = static_cast<Word4>(h);
        const ChainOp* op = ops + routine.first_op;
        for (std::uint32_t e = 0; e < routine.element_count; ++e) {
            for (const ChainOp* end = ops + elements[e].ops_end; op != end; ++op) {
                lower = delta_swap16(lower, static_cast<Word4>(*op), *op >> 16);
            }
            const Word state = upper | static_cast<Word4>(lower ^ elements[e].flip);
            if (state < best) {
                best = state;
                best_start = p;
                best_element = &elements[e];
            }
        }
        if (single) break;
    }
    t = unpack_transform(best_element != nullptr ? Finishers::compose(best_start, *best_element) : best_start);
    return best;
}

}  // namespace vexil::npn5
