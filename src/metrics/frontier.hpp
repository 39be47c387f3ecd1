// Frontier size: the cube edges that join a false input to a true input.
#pragma once

#include "fvalue.hpp"

#include <cstdint>
#include <optional>

namespace vexil {

// What a function object keeps after its first frontier_size call.
struct FrontierCache {
    std::uint64_t edge_count;
};

// Number of frontier edges; fills `cache` on the first call and reuses it.
std::uint64_t frontier_size(const FValue& f, std::optional<FrontierCache>& cache);

// n * min(#false, #true), exact.
std::uint64_t max_frontier_size(const FValue& f);
namespace detail {
// The same from n and the number of true entries.
std::uint64_t max_frontier_size(unsigned n, std::uint64_t ones);
}  // namespace detail

}  // namespace vexil
