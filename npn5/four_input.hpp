// Four-input canonisation and the two tables built from it.
#pragma once

#include "word.hpp"

#include <cstdint>
#include <span>

namespace vexil::npn5 {

// The smallest word of t's class under the 384 input transforms of x2 ... x5
// and output complement, found by running the whole swap walk from t.
Word4 canonise4(Word4 t);

// canon4[t] = canonise4(t) for every t < 32768. Filled class by class: the
// first unmarked t in increasing order is the smallest normal word of its
// class, and one walk from it marks its whole class.
void fill_canon4_table(std::span<Word4, normal_words4> canon4);

// step[t] = an elementary operation (1-14) that brings the upper half t one
// step closer to canon4[t] and keeps bit 31 clear, 0 when t is canonical.
// Relaxation passes over all t and operations until nothing changes.
void fill_step_table(std::span<const Word4, normal_words4> canon4, std::span<std::uint8_t, normal_words4> step);

// walk[t] = the operations that the step table applies from t until the
// canonical form, packed four bits each with the first in the lowest nibble
// (at most 7 of them, so 0 ends the list): canonisation then applies a
// candidate's walk without a table lookup between its steps.
void fill_walk_table(std::span<const std::uint8_t, normal_words4> step, std::span<std::uint32_t, normal_words4> walk);

}  // namespace vexil::npn5
