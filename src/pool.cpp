#include "pool.hpp"

#include "interrupt.hpp"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace vexil {

namespace {

// A positive decimal count, 0 for "use the default", -1 when absent or not a number.
long parse_count(const char* name) {
    const char* text = std::getenv(name);
    if (text == nullptr || *text == '\0') return -1;
    unsigned long long value = 0;
    for (const char* p = text; *p != '\0'; ++p) {
        if (*p < '0' || *p > '9') return -1;
        value = value * 10 + static_cast<unsigned>(*p - '0');
        if (value > 4096) value = 4096;  // more workers than that helps no one
    }
    return static_cast<long>(value);
}

thread_local std::size_t worker_slot = 0;

struct Job {
    std::uint64_t count = 0;
    std::uint64_t grain = 1;
    const RangeBody* body = nullptr;
    std::atomic<std::uint64_t> next{0};
    std::atomic<bool> cancel{false};
    std::exception_ptr error;
    std::size_t running = 0;  // workers still inside this job (guarded by the pool mutex)
};

class Pool {
public:
    explicit Pool(std::size_t size) {
        threads_.reserve(size);
        for (std::size_t slot = 0; slot < size; ++slot) threads_.emplace_back([this, slot] { work(slot); });
    }

    std::size_t size() const { return threads_.size(); }

    void run(Job& job) {
        std::unique_lock lock(mutex_);
        // One loop at a time: the host thread holds the interpreter lock, so a
        // second loop can only come from another host thread; it waits its turn.
        idle_.wait(lock, [this] { return job_ == nullptr; });
        job_ = &job;
        job.running = threads_.size();
        ++generation_;
        wake_.notify_all();
        bool interrupted = false;
        while (job.running != 0) {
            if (done_.wait_for(lock, std::chrono::milliseconds(100), [&] { return job.running == 0; })) break;
            if (interrupted) continue;
            lock.unlock();
            try {
                poll_host_now();
            } catch (const Interrupted&) {
                interrupted = true;
                job.cancel.store(true);
            }
            lock.lock();
        }
        job_ = nullptr;
        idle_.notify_all();
        lock.unlock();
        if (job.error) std::rethrow_exception(job.error);
        if (interrupted) throw Interrupted{};
    }

private:
    void work(std::size_t slot) {
        worker_slot = slot;
        std::uint64_t seen = 0;
        std::unique_lock lock(mutex_);
        for (;;) {
            wake_.wait(lock, [&] { return generation_ != seen; });
            seen = generation_;
            Job* job = job_;
            lock.unlock();
            detail::worker_cancel_flag = &job->cancel;
            std::exception_ptr error;
            try {
                for (;;) {
                    if (job->cancel.load(std::memory_order_relaxed)) break;
                    std::uint64_t begin = job->next.fetch_add(job->grain);
                    if (begin >= job->count) break;
                    std::uint64_t end = std::min(job->count, begin + job->grain);
                    (*job->body)(begin, end, slot);
                }
            } catch (const Interrupted&) {
                // The loop was cancelled; the host thread reports it.
            } catch (...) {
                error = std::current_exception();
            }
            detail::worker_cancel_flag = nullptr;
            lock.lock();
            if (error && !job->error) {
                job->error = error;
                job->cancel.store(true);
            }
            if (--job->running == 0) done_.notify_all();
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_, done_, idle_;
    Job* job_ = nullptr;
    std::uint64_t generation_ = 0;
    std::vector<std::thread> threads_;
};

Pool& pool() {
    // Never destroyed: workers live as long as the process.
    static Pool* instance = new Pool(configured_pool_size());
    return *instance;
}

}  // namespace

std::size_t configured_pool_size() {
    long count = parse_count("RAYON_NUM_THREADS");
    if (count < 0) count = parse_count("RAYON_RS_NUM_CPUS");
    if (count > 0) return static_cast<std::size_t>(count);
    unsigned hw = std::thread::hardware_concurrency();
    return hw == 0 ? 1 : hw;
}

std::size_t pool_size() { return pool().size(); }

void parallel_for(std::uint64_t count, std::uint64_t grain, const RangeBody& body) {
    if (count == 0) return;
    if (grain == 0) grain = 1;
    if (detail::worker_cancel_flag != nullptr) {
        // Nested loop on a worker: run it here rather than wait on ourselves.
        for (std::uint64_t begin = 0; begin < count; begin += grain) {
            body(begin, std::min(count, begin + grain), worker_slot);
        }
        return;
    }
    Job job;
    job.count = count;
    job.grain = grain;
    job.body = &body;
    pool().run(job);
}

}  // namespace vexil
