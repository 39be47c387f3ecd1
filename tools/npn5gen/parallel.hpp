// A minimal parallel loop for the generator (it runs outside the library, so it
// keeps its own threads and takes the thread count from the command line).
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace npn5gen {

// body(begin, end, thread) over [0, count) in chunks of `grain`, on `threads` threads
// (the caller's included). The first exception is rethrown after all threads stop.
template <class Body>
void parallel_chunks(std::size_t count, std::size_t grain, int threads, Body&& body) {
    std::atomic<std::size_t> next{0};
    std::atomic<bool> failed{false};
    std::exception_ptr error;
    std::mutex error_mutex;
    grain = std::max<std::size_t>(grain, 1);
    auto worker = [&](int t) {
        try {
            for (;;) {
                const std::size_t b = next.fetch_add(grain);
                if (b >= count || failed.load()) {
                    return;
                }
                body(b, std::min(count, b + grain), t);
            }
        } catch (...) {
            std::lock_guard<std::mutex> lock(error_mutex);
            if (!error) {
                error = std::current_exception();
            }
            failed = true;
        }
    };
    std::vector<std::thread> pool;
    for (int t = 1; t < threads; ++t) {
        pool.emplace_back(worker, t);
    }
    worker(0);
    for (auto& th : pool) {
        th.join();
    }
    if (error) {
        std::rethrow_exception(error);
    }
}

}  // namespace npn5gen
