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

// Work (elementary steps: table entries times passes over them, or the
// caller's estimate in the same units) below which a loop runs on the calling
// thread. Waking the workers costs microseconds on an idle machine, but on a
// loaded one a worker that took a chunk may wait a scheduler slice (several
// milliseconds) before it runs, and the caller waits for it: below this, the
// pool cannot win back what it risks. Measured in docs/worker-pool.md.
inline constexpr std::uint64_t inline_work_limit = std::uint64_t{1} << 20;

// The loop's size is unknown: it goes to the pool when it has two chunks or more.
inline constexpr std::uint64_t unknown_work = 0;

// Runs body over [0, count) in chunks of `grain` indices and waits: on the
// calling thread when `work` (the whole loop's, see inline_work_limit) is
// known and below the limit, when the loop is one chunk, when the pool has one
// thread, or when called from a worker; else on the pool. Rethrows the first
// exception a chunk threw (Panic, std::bad_alloc); throws Interrupted when the
// host asked to stop. A loop started under a ProgressScope reports to its
// counter: `count` units expected, the indices of each chunk when it ends
// (loops run inline on a worker are part of the worker's chunk and report nothing).
void parallel_for(std::uint64_t count, std::uint64_t grain, std::uint64_t work, const RangeBody& body);
inline void parallel_for(std::uint64_t count, std::uint64_t grain, const RangeBody& body) {
    parallel_for(count, grain, unknown_work, body);
}

// Whether a loop of `count` indices in chunks of `grain` and of `work` would
// run on the pool, from the calling thread.
bool runs_on_pool(std::uint64_t count, std::uint64_t grain, std::uint64_t work);

// Loops handed to the pool since the process started (for tests: a small call
// leaves it unchanged). One relaxed atomic read.
std::uint64_t pool_loops_started();

// Number of threads that may work on one loop, and so of slots; constant for
// the life of the process.
std::size_t pool_size();

// Reads the thread count the environment asks for (for tests of the rule).
std::size_t configured_pool_size();

// Worker threads running now, not counting callers (for tests: fewer than
// pool_size() - 1 when the system refused some).
std::size_t pool_worker_count();

}  // namespace vexil
