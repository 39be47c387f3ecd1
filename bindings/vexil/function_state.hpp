// Everything a Vexil object owns: its truth table and the frontier cache.
#pragma once

#include "fvalue.hpp"
#include "metrics/frontier.hpp"

#include <optional>

namespace vexil {

struct FunctionState {
    FValue table;
    std::optional<FrontierCache> frontier;  // absent until the first frontier_size
};

}  // namespace vexil
