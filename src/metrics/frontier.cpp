#include "metrics/frontier.hpp"

#include "interrupt.hpp"
#include "metrics/sensitivity.hpp"

#include <algorithm>

namespace vexil {

// Each frontier edge is sensitive at both of its ends, so the edge count is half
// the sum of the sensitivities; nothing but the count is ever read, so the cache
// keeps the count rather than the edges.
std::uint64_t frontier_size(const FValue& f, std::optional<FrontierCache>& cache) {
    if (!cache) cache = FrontierCache{sensitivity_sum(f) / 2};
    return cache->edge_count;
}

std::uint64_t max_frontier_size(const FValue& f) {
    const std::uint8_t* data = f.data();
    const std::uint64_t size = f.size();
    std::uint64_t ones = 0;
    for (std::uint64_t base = 0; base < size; base += std::uint64_t{1} << 20) {
        const std::uint64_t end = std::min(size, base + (std::uint64_t{1} << 20));
        std::uint64_t block = 0;
        for (std::uint64_t x = base; x < end; ++x) block += data[x];
        ones += block;
        check_interrupt();
    }
    return detail::max_frontier_size(f.n_vars(), ones);
}

std::uint64_t detail::max_frontier_size(unsigned n, std::uint64_t ones) {
    const std::uint64_t size = std::uint64_t{1} << n;
    return n * std::min(ones, size - ones);
}

}  // namespace vexil
