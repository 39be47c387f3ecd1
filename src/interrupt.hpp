// Cooperative interruption of long computations.
//
// The core knows nothing of the host: each call from the host (a Python face)
// installs, for its own duration and on its own thread, a poll function that
// says whether the user asked to stop (Ctrl-C). Two faces, or two threads, each
// poll in their own way without overwriting one another. Long loops call
// `check_interrupt()` now and then; on the calling thread it consults the poll
// at most every few tens of milliseconds, on a pool worker it reads the cancel
// flag of the current parallel loop. Either way it throws `Interrupted`, which
// unwinds the computation and frees what it held.
#pragma once

#include "exported.hpp"

#include <atomic>

namespace vexil {

struct VEXIL_EXPORTED Interrupted {};

// Thrown inside a chunk when its parallel loop was cancelled (another chunk
// failed, or the loop's caller was asked to stop); the pool absorbs it.
struct VEXIL_EXPORTED LoopCancelled : Interrupted {};

// Returns true when the computation must stop; may leave an error pending in
// the host, which reports it once `Interrupted` reaches it.
using InterruptPoll = bool (*)();

// Sets this thread's poll (null: never stop); InterruptScope restores the
// previous one when the call ends.
void set_interrupt_poll(InterruptPoll poll);
InterruptPoll current_interrupt_poll();

class InterruptScope {
public:
    explicit InterruptScope(InterruptPoll poll) : outer_(current_interrupt_poll()) { set_interrupt_poll(poll); }
    ~InterruptScope() { set_interrupt_poll(outer_); }
    InterruptScope(const InterruptScope&) = delete;
    InterruptScope& operator=(const InterruptScope&) = delete;

private:
    InterruptPoll outer_;
};

// Asks this thread's poll right now (the calling thread only); throws Interrupted on a stop.
void poll_host_now();

// Cheap enough for inner loops that run a few microseconds per call.
void check_interrupt();

namespace detail {
// Set by the pool while this thread runs chunks of a loop: that loop's cancel flag.
extern thread_local const std::atomic<bool>* loop_cancel_flag;
// True on the pool's worker threads, which never call into the host.
extern thread_local bool on_pool_worker;
}  // namespace detail

}  // namespace vexil
