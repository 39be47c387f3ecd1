// The process-wide worker pool.
//
// Created on the first parallel loop and kept for the life of the process. Its
// size is read once from RAYON_NUM_THREADS, then RAYON_RS_NUM_CPUS (a positive
// decimal number sets it, 0 or anything else falls through), else one worker per
// logical processor. The calling thread does not compute: it waits for the
// workers and asks the host every 100 ms whether to stop, so that a long loop
// answers Ctrl-C promptly. Workers never call into the host.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace vexil {

// body(begin, end, slot) handles indices [begin, end); `slot` is in
// [0, pool_size()) and no two chunks run at once with the same slot, so callers
// can keep one accumulator per slot without locking.
using RangeBody = std::function<void(std::uint64_t begin, std::uint64_t end, std::size_t slot)>;

// Runs body over [0, count) in chunks of `grain` indices on the pool and waits.
// Rethrows the first exception a chunk threw (Panic, std::bad_alloc); throws
// Interrupted when the host asked to stop. Called from a worker, the loop runs
// inline on that worker.
void parallel_for(std::uint64_t count, std::uint64_t grain, const RangeBody& body);

// Number of workers (and of slots); creates the pool on first use.
std::size_t pool_size();

// Reads the worker count the environment asks for (for tests of the rule).
std::size_t configured_pool_size();

}  // namespace vexil
