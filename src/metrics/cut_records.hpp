// Records of one balanced cut of the variables with its measure.
#pragma once

#include <cstdint>
#include <vector>

namespace vexil {

struct EntanglementSet {
    std::vector<std::uint64_t> set1;
    std::vector<std::uint64_t> set2;
    std::uint64_t entanglement;
};

struct EntropySets {
    std::vector<std::uint64_t> set1;
    std::vector<std::uint64_t> set2;
    float entropy;
};

}  // namespace vexil
