#include "progress.hpp"

namespace vexil {

namespace detail {
thread_local ProgressCounter* current_progress = nullptr;
}  // namespace detail

void ProgressCounter::plan(std::uint64_t units) {
    if (planned_.exchange(true, std::memory_order_relaxed)) return;
    total_.store(units, std::memory_order_relaxed);
}

void ProgressCounter::expect(std::uint64_t units) {
    if (!planned_.load(std::memory_order_relaxed)) total_.fetch_add(units, std::memory_order_relaxed);
}

}  // namespace vexil
