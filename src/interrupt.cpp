#include "interrupt.hpp"

#include <chrono>

namespace vexil {

namespace {

thread_local InterruptPoll host_poll = nullptr;

using Clock = std::chrono::steady_clock;
constexpr auto poll_interval = std::chrono::milliseconds(20);

thread_local unsigned calls_since_clock = 0;
thread_local Clock::time_point last_poll = Clock::now();

}  // namespace

namespace detail {
thread_local const std::atomic<bool>* loop_cancel_flag = nullptr;
thread_local bool on_pool_worker = false;
}  // namespace detail

void set_interrupt_poll(InterruptPoll poll) { host_poll = poll; }

InterruptPoll current_interrupt_poll() { return host_poll; }

void poll_host_now() {
    last_poll = Clock::now();
    const InterruptPoll poll = host_poll;
    if (poll != nullptr && poll()) throw Interrupted{};
}

void check_interrupt() {
    const std::atomic<bool>* cancel = detail::loop_cancel_flag;
    if (cancel != nullptr && cancel->load(std::memory_order_relaxed)) throw LoopCancelled{};
    if (detail::on_pool_worker) return;
    // Reading the clock costs tens of nanoseconds; do it on every 64th call.
    if (++calls_since_clock < 64) return;
    calls_since_clock = 0;
    if (Clock::now() - last_poll >= poll_interval) poll_host_now();
}

}  // namespace vexil
