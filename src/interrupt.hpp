// Cooperative interruption of long computations.
//
// The core knows nothing of the host: the host (the Python layer) installs a
// poll function that says whether the user asked to stop (Ctrl-C). Long loops
// call `check_interrupt()` now and then; on the host thread it consults the
// poll at most every few tens of milliseconds, on a pool worker it reads the
// cancel flag of the current parallel loop. Either way it throws `Interrupted`,
// which unwinds the computation and frees what it held.
#pragma once

#include <atomic>

namespace vexil {

struct Interrupted {};

// Thrown inside a chunk when its parallel loop was cancelled (another chunk
// failed, or the loop's caller was asked to stop); the pool absorbs it.
struct LoopCancelled : Interrupted {};

// Returns true when the computation must stop; may leave an error pending in
// the host, which reports it once `Interrupted` reaches it.
using InterruptPoll = bool (*)();

void set_interrupt_poll(InterruptPoll poll);

// Asks the host right now (host thread only); throws Interrupted on a stop.
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
