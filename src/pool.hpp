// The process-wide worker pool.
//
// Created on the first parallel loop. Its size (the number of threads that
// compute one loop) is read once from RAYON_NUM_THREADS, then
// RAYON_RS_NUM_CPUS (a positive decimal number sets it, 0 or anything else
// falls through), else one per logical processor. The thread that starts a
// loop is one of them: it takes chunks like the workers, so the pool holds
// size - 1 worker threads, and a loop completes even when the operating system
// refuses every worker. Between chunks, and every 100 ms while it waits for the
// workers' last chunks, the calling thread asks the host whether to stop, so a
// long loop answers Ctrl-C promptly. Workers never call into the host.
//
// Several loops may run at once (host threads, or a host callback that starts
// a loop while one is under way): each is queued, its caller works on it, and
// free workers join the oldest loop that has chunks left. No loop ever waits
// for another one to end. After fork() the child starts a fresh pool on its
// next loop; a loop that was under way in the forking thread fails with a
// Panic instead of waiting for workers that do not exist in the child.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace vexil {

// body(begin, end, slot) handles indices [begin, end); `slot` is in
// [0, pool_size()) and no two chunks of one loop run at once with the same
// slot, so callers can keep one accumulator per slot without locking.
using RangeBody = std::function<void(std::uint64_t begin, std::uint64_t end, std::size_t slot)>;

// Runs body over [0, count) in chunks of `grain` indices on the pool and waits.
// Rethrows the first exception a chunk threw (Panic, std::bad_alloc); throws
// Interrupted when the host asked to stop. Called from a worker, the loop runs
// inline on that worker. A loop started under a ProgressScope reports to its
// counter: `count` units expected, the indices of each chunk when it ends.
void parallel_for(std::uint64_t count, std::uint64_t grain, const RangeBody& body);

// Number of threads that may work on one loop, and so of slots; constant for
// the life of the process.
std::size_t pool_size();

// Reads the thread count the environment asks for (for tests of the rule).
std::size_t configured_pool_size();

// Worker threads running now, not counting callers (for tests: fewer than
// pool_size() - 1 when the system refused some).
std::size_t pool_worker_count();

}  // namespace vexil
