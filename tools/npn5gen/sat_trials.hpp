// The trial search of the sat stage: for every way to write a class's word as
// g op h with cost(g) + cost(h) in a window, one two-output solver instance
// asks for g and h together from one gate less than the circuit sought.
#pragma once

#include <vector>

#include "database.hpp"
#include "runtime.hpp"
#include "sat.hpp"

namespace npn5gen {

int run_trials(Database& db, const std::vector<Word>& words, const SatOptions& opt);

}  // namespace npn5gen
