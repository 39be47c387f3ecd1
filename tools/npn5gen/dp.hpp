// The level-by-level search for circuits (top-down, composition, second-order
// bottom-up), resumable from the image it writes after every level.
#pragma once

#include <string>

namespace npn5gen {

struct DpOptions {
    int threads = 1;
    std::string image = "npn5/image.bin";
    std::string progress = "tools/npn5gen/progress.txt";
    std::string classes = "tools/work/classes.bin";
    int passes = 1;  // passes over all levels (a later pass starts from the improved classes)
    int max_level = 12;
    double comp_budget = 1e11;  // largest composition step run, in word evaluations
    int max_comp_h = 6;         // largest cost of the substituted function in composition
    int from_level = 0;         // when set, start a new pass at this level
    bool fresh = false;         // start from nothing instead of the image and progress file
};

int run_dp(const DpOptions& options);

}  // namespace npn5gen
