#include "four_input.hpp"

#include "ops.hpp"
#include "panic.hpp"

#include <vector>

namespace vexil::npn5 {

Word4 canonise4(Word4 t) {
    Word4 best = 0xFFFF;
    for (std::int8_t code : swap_walk) {
        t = walk_step16(code, t);
        if (t < best) best = t;
    }
    return best;
}

void fill_canon4_table(std::span<Word4, normal_words4> canon4) {
    constexpr Word4 unmarked = 0xFFFF;
    for (Word4& c : canon4) c = unmarked;
    for (std::size_t start = 0; start < normal_words4; ++start) {
        if (canon4[start] != unmarked) continue;
        auto t = static_cast<Word4>(start);
        for (std::int8_t code : swap_walk) {
            t = walk_step16(code, t);
            canon4[t] = static_cast<Word4>(start);
        }
    }
}

void fill_step_table(std::span<const Word4, normal_words4> canon4, std::span<std::uint8_t, normal_words4> step) {
    constexpr unsigned far = 999;
    std::vector<unsigned> dist(normal_words4, far);
    for (std::size_t t = 0; t < normal_words4; ++t) dist[canon4[t]] = 0;
    for (std::uint8_t& s : step) s = 0;
    bool changed = true;
    while (changed) {
        changed = false;
        for (std::size_t t = 0; t < normal_words4; ++t) {
            for (unsigned op = 1; op < elementary_ops.size(); ++op) {
                const Word w = apply_op(op, static_cast<Word>(t) << 16);
                if (!is_normal(w)) continue;
                const unsigned d = dist[w >> 16] + 1;
                if (d < dist[t]) {
                    dist[t] = d;
                    step[t] = static_cast<std::uint8_t>(op);
                    changed = true;
                }
            }
        }
    }
}

void fill_walk_table(std::span<const std::uint8_t, normal_words4> step, std::span<std::uint32_t, normal_words4> walk) {
    for (std::size_t t = 0; t < normal_words4; ++t) {
        std::uint32_t ops = 0;
        Word h = static_cast<Word>(t) << 16;
        for (unsigned shift = 0; step[h >> 16] != 0; shift += 4) {
            if (shift == 32) panic("step table walk too long");
            ops |= static_cast<std::uint32_t>(step[h >> 16]) << shift;
            h = apply_op(step[h >> 16], h);
        }
        walk[t] = ops;
    }
}

}  // namespace vexil::npn5
