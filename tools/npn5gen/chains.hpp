// The special-chain search: every r-gate chain topology whose root reads two
// sub-chains that share a gate (the level search misses exactly those), tried
// with every choice of operators.
#pragma once

#include <cstddef>
#include <string>

namespace npn5gen {

struct ChainOptions {
    int r = 8;
    int threads = 1;
    std::string image = "npn5/image.bin";
    std::string classes = "tools/work/classes.bin";
    std::string progress;     // default tools/npn5gen/chains<r>.txt
    double hours = 2.5;       // stop after the slice that passes this
    std::size_t slice = 0;    // chains per checkpoint (0: automatic)
    bool count_only = false;  // only enumerate and count the topologies
};

int run_chains(const ChainOptions& options);

}  // namespace npn5gen
