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

// Returns true when the computation must stop; may leave an error pending in
// the host, which reports it once `Interrupted` reaches it.
using InterruptPoll = bool (*)();

void set_interrupt_poll(InterruptPoll poll);

// Asks the host right now (host thread only); throws Interrupted on a stop.
void poll_host_now();

// Cheap enough for inner loops that run a few microseconds per call.
void check_interrupt();

namespace detail {
// Set by the pool on its worker threads: the cancel flag of the running loop.
extern thread_local const std::atomic<bool>* worker_cancel_flag;
}  // namespace detail

}  // namespace vexil
