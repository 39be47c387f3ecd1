// The tables that five-input canonisation reads: the four-input canonical
// table, the step table, and the walks and finishing routines derived from them.
#pragma once

#include "finishers.hpp"
#include "word.hpp"

#include <array>
#include <cstdint>
#include <memory>

namespace vexil::npn5 {

struct CanonTables {
    std::array<Word4, normal_words4> canon4;
    std::array<std::uint8_t, normal_words4> step;
    std::array<std::uint32_t, normal_words4> walk;
    Finishers finishers;

    // Builds them all; a few milliseconds.
    static std::unique_ptr<CanonTables> build();
};

}  // namespace vexil::npn5
