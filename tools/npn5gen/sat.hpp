// Exact search for one class with a SAT solver (the external `cadical`
// program): is there a circuit of a given number of gates for the class's
// canonical word? Meant for the few classes that the other stages leave one
// gate too high.
#pragma once

#include <string>
#include <vector>

#include "runtime.hpp"

namespace npn5gen {

struct SatOptions {
    std::vector<Word> words;  // canonical words to try; empty: every class whose circuit has `above` gates
    int above = 12;
    int gates = 11;         // circuit size asked for
    double seconds = 600;   // solver time per instance
    int split = 0;          // 0: one instance; 1: one per first gate (pair and operator)
    int member = 0;         // orbit walk step of the word actually encoded
    int members = 1;        // members member .. member + members - 1, an instance set each
    int trial_sum = 0;      // > 0: search the root's two operands together, for every way
    int trial_sum_max = 0;  //   f = g op h with cost(g) + cost(h) in [trial_sum, trial_sum_max]
    int threads = 1;
    std::string image = "npn5/image.bin";
    std::string classes = "tools/work/classes.bin";
    std::string workdir = "tools/work";
    std::string progress = "tools/npn5gen/sat.txt";  // outcome of every instance run so far
};

int run_sat(const SatOptions& options);

}  // namespace npn5gen
