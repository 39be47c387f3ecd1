#include "interrupt.hpp"

#include <chrono>

namespace vexil {

namespace {

thread_local InterruptPoll host_poll = nullptr;

using Clock = std::chrono::steady_clock;
constexpr auto poll_interval = std::chrono::milliseconds(20);

// Calls between readings of the clock: up to 64 for inner loops of a few microseconds a call, one
// for loops that check once per block of milliseconds. It starts from one at each call from the host
// and after each poll, so that a coarse loop never waits 64 blocks for its first reading.
constexpr unsigned most_calls_between_readings = 64;
thread_local unsigned calls_between_readings = 1;
thread_local unsigned calls_since_clock = 0;
thread_local Clock::time_point last_reading = Clock::now();
thread_local Clock::time_point last_poll = Clock::now();

}  // namespace

namespace detail {
thread_local const std::atomic<bool>* loop_cancel_flag = nullptr;
thread_local bool on_pool_worker = false;
}  // namespace detail

void set_interrupt_poll(InterruptPoll poll) {
    host_poll = poll;
    calls_between_readings = 1;
    calls_since_clock = 0;
}

InterruptPoll current_interrupt_poll() { return host_poll; }

void poll_host_now() {
    last_poll = Clock::now();
    calls_between_readings = 1;
    const InterruptPoll poll = host_poll;
    if (poll != nullptr && poll()) throw Interrupted{};
}

void check_interrupt() {
    const std::atomic<bool>* cancel = detail::loop_cancel_flag;
    if (cancel != nullptr && cancel->load(std::memory_order_relaxed)) throw LoopCancelled{};
    if (detail::on_pool_worker) return;
    // Reading the clock costs tens of nanoseconds; skip it between calls that come close together.
    if (++calls_since_clock < calls_between_readings) return;
    calls_since_clock = 0;
    const Clock::time_point now = Clock::now();
    if (now - last_reading >= poll_interval / 2) {
        calls_between_readings = 1;
    } else if (calls_between_readings < most_calls_between_readings) {
        calls_between_readings *= 2;
    }
    last_reading = now;
    if (now - last_poll >= poll_interval) poll_host_now();
}

}  // namespace vexil
