// The special-chain search: every r-gate chain topology whose root reads two
// sub-chains that share a gate (the level search misses exactly those), tried
// with every choice of operators.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>

namespace npn5gen {

// Gate i reads nodes j[i] < k[i]; nodes 0-4 are the inputs, 5 + i is gate i.
struct Chain {
    int r = 0;
    std::array<std::uint8_t, 12> j{}, k{};
};

// Calls visit for each special chain with r gates, one per isomorphism class of
// its graph, in a fixed order. A special chain uses all five inputs and every
// gate, wastes no step (no gate reads a node and a gate made from that node, or
// two gates made from the same pair), is no four-input chain extended by a gate
// on an input used nowhere else, is not tame (two gates on the same input pair
// whose inputs are used nowhere else, which the second-order step covers), and
// the two operands of its root share a gate.
void enumerate_special_chains(int r, const std::function<void(const Chain&)>& visit);

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
