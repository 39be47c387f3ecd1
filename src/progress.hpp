// Progress of a long computation, in work units counted from any thread.
//
// A host that follows a computation installs a counter on the thread that
// starts it (ProgressScope). Parallel loops started there carry the counter to
// their chunks: each loop adds its index count to the total when it starts and
// the indices of every finished chunk to the units done, so a measure made of
// pool loops reports without code of its own. A measure that runs several
// loops plans its whole total first, in the loops' units, so that the share
// done only grows; a plan made by an enclosing measure wins over inner ones.
#pragma once

#include <atomic>
#include <cstdint>

namespace vexil {

class ProgressCounter {
public:
    // Fixes the total at `units` unless it was already planned.
    void plan(std::uint64_t units);
    // Adds `units` to the total unless the total was planned.
    void expect(std::uint64_t units);
    void advance(std::uint64_t units) { done_.fetch_add(units, std::memory_order_relaxed); }

    std::uint64_t done() const { return done_.load(std::memory_order_relaxed); }
    std::uint64_t total() const { return total_.load(std::memory_order_relaxed); }

private:
    std::atomic<std::uint64_t> done_{0};
    std::atomic<std::uint64_t> total_{0};
    std::atomic<bool> planned_{false};
};

namespace detail {
// The counter of the computation running on this thread, or null.
extern thread_local ProgressCounter* current_progress;
}  // namespace detail

// Reports the computations of this thread to `counter` while it lives.
class ProgressScope {
public:
    explicit ProgressScope(ProgressCounter* counter) : outer_(detail::current_progress) {
        detail::current_progress = counter;
    }
    ~ProgressScope() { detail::current_progress = outer_; }
    ProgressScope(const ProgressScope&) = delete;
    ProgressScope& operator=(const ProgressScope&) = delete;

private:
    ProgressCounter* outer_;
};

// plan() on this thread's counter, if it has one.
inline void plan_progress(std::uint64_t units) {
    if (detail::current_progress != nullptr) detail::current_progress->plan(units);
}

}  // namespace vexil
