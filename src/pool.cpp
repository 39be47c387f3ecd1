#include "pool.hpp"

#include "interrupt.hpp"
#include "memory_guard.hpp"
#include "panic.hpp"
#include "progress.hpp"

#include <pthread.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <exception>
#include <mutex>
#include <thread>

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

// The kernels keep their large data on the heap; a small stack keeps many
// workers cheap in address space.
constexpr std::size_t worker_stack_bytes = std::size_t{4} << 20;
// Address space glibc reserves for the malloc arena of a new thread.
constexpr std::size_t malloc_arena_bytes = std::size_t{64} << 20;

struct Job {
    std::uint64_t count = 0;
    std::uint64_t grain = 1;
    std::size_t slots = 1;
    const RangeBody* body = nullptr;
    ProgressCounter* progress = nullptr;  // the caller's, told of each finished chunk
    std::atomic<std::uint64_t> next{0};
    std::atomic<bool> cancel{false};
    // Guarded by the pool mutex.
    std::exception_ptr error;
    std::size_t joined = 1;  // slots handed out; slot 0 is the caller's
    std::size_t active = 0;  // workers inside the job
    Job* newer = nullptr;    // queue link

    bool open_to_workers() const {
        return joined < slots && !cancel.load(std::memory_order_relaxed) &&
               next.load(std::memory_order_relaxed) < count;
    }

    // Claims the next chunk; false when none is left.
    bool claim(std::uint64_t& begin, std::uint64_t& end) {
        std::uint64_t start = next.load(std::memory_order_relaxed);
        for (;;) {
            if (start >= count) return false;
            const std::uint64_t stop = count - start <= grain ? count : start + grain;
            if (next.compare_exchange_weak(start, stop, std::memory_order_relaxed)) {
                begin = start;
                end = stop;
                return true;
            }
        }
    }
};

// Points check_interrupt() at a loop's cancel flag for the life of the scope;
// restores the outer loop's flag when a host callback nests one loop in another.
class CancelScope {
public:
    explicit CancelScope(const std::atomic<bool>* flag) : outer_(detail::loop_cancel_flag) {
        detail::loop_cancel_flag = flag;
    }
    ~CancelScope() { detail::loop_cancel_flag = outer_; }
    CancelScope(const CancelScope&) = delete;
    CancelScope& operator=(const CancelScope&) = delete;

private:
    const std::atomic<bool>* outer_;
};

void run_chunks(Job& job, std::size_t slot) {
    CancelScope scope(&job.cancel);
    // Loops nested in a chunk count as part of it, on the caller's thread too.
    const ProgressScope no_progress(nullptr);
    std::uint64_t begin = 0;
    std::uint64_t end = 0;
    for (;;) {
        check_interrupt();
        if (!job.claim(begin, end)) return;
        (*job.body)(begin, end, slot);
        if (job.progress != nullptr) job.progress->advance(end - begin);
    }
}

class Pool {
public:
    explicit Pool(std::size_t workers) { start_workers(workers); }

    std::size_t workers() const { return workers_; }

    void run(Job& job) {
        {
            std::lock_guard lock(mutex_);
            enqueue(job);
        }
        wake_.notify_all();

        bool stop_requested = false;
        std::exception_ptr caller_error;
        try {
            run_chunks(job, 0);
        } catch (const LoopCancelled&) {
            // A worker failed; its error is reported below.
        } catch (const Interrupted&) {
            stop_requested = true;
        } catch (...) {
            caller_error = std::current_exception();
        }
        if (stop_requested || caller_error) job.cancel.store(true);

        bool lost = false;
        std::unique_lock lock(mutex_);
        dequeue(job);
        while (job.active != 0) {
            if (forked_.load()) {
                // The workers in this job did not survive fork(); their chunks are lost.
                lost = true;
                break;
            }
            if (done_.wait_for(lock, std::chrono::milliseconds(100), [&] { return job.active == 0; })) break;
            if (stop_requested) continue;
            lock.unlock();
            try {
                poll_host_now();
            } catch (const Interrupted&) {
                stop_requested = true;
                job.cancel.store(true);
            }
            lock.lock();
        }
        std::exception_ptr worker_error = job.error;
        lock.unlock();

        if (stop_requested) throw Interrupted{};
        if (caller_error) std::rethrow_exception(caller_error);
        if (worker_error) std::rethrow_exception(worker_error);
        if (lost) panic("A parallel loop was under way when the process forked; call again");
    }

    // fork() handlers: the forking thread holds the mutex across the fork, so
    // that no worker is inside it; the child then abandons this pool.
    void lock_for_fork() { mutex_.lock(); }
    void unlock_after_fork() { mutex_.unlock(); }
    void abandon_in_child() {
        forked_.store(true);
        mutex_.unlock();
    }

private:
    static void* worker_main(void* self) {
        detail::on_pool_worker = true;
        static_cast<Pool*>(self)->work();
        return nullptr;
    }

    void start_workers(std::size_t wanted) {
        // Under a limit on address space, workers take at most a quarter of
        // what is left, so that the loops keep room for their data. Each
        // costs its stack and, once it allocates, an allocator arena.
        if (const std::optional<std::uint64_t> left = address_space_left()) {
            wanted = std::min<std::uint64_t>(wanted, *left / 4 / (worker_stack_bytes + malloc_arena_bytes));
        }
        pthread_attr_t attr;
        if (pthread_attr_init(&attr) != 0) return;
        pthread_attr_setstacksize(&attr, worker_stack_bytes);
        pthread_attr_setdetachstate(&attr, PTHREAD_CREATE_DETACHED);
        // Workers inherit a mask without the asynchronous signals, so that
        // Ctrl-C and timers reach the host's threads.
        sigset_t all;
        sigset_t previous;
        sigfillset(&all);
        for (int sync : {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGABRT, SIGSYS}) sigdelset(&all, sync);
        pthread_sigmask(SIG_BLOCK, &all, &previous);
        for (std::size_t i = 0; i < wanted; ++i) {
            pthread_t thread;
            // The system may refuse threads (process limits, address space):
            // the callers do the work of those it refused.
            if (pthread_create(&thread, &attr, &Pool::worker_main, this) != 0) break;
            ++workers_;
        }
        pthread_sigmask(SIG_SETMASK, &previous, nullptr);
        pthread_attr_destroy(&attr);
    }

    void work() {
        std::unique_lock lock(mutex_);
        for (;;) {
            Job* job = nullptr;
            wake_.wait(lock, [&] { return (job = open_job()) != nullptr; });
            const std::size_t slot = job->joined++;
            ++job->active;
            lock.unlock();
            std::exception_ptr error;
            try {
                run_chunks(*job, slot);
            } catch (const Interrupted&) {
                // The loop was cancelled; its caller reports why.
            } catch (...) {
                error = std::current_exception();
            }
            lock.lock();
            if (error && !job->error) {
                job->error = error;
                job->cancel.store(true);
            }
            if (--job->active == 0) done_.notify_all();
        }
    }

    // The oldest queued job that still has chunks and free slots.
    Job* open_job() const {
        for (Job* job = oldest_; job != nullptr; job = job->newer) {
            if (job->open_to_workers()) return job;
        }
        return nullptr;
    }

    void enqueue(Job& job) {
        Job** link = &oldest_;
        while (*link != nullptr) link = &(*link)->newer;
        *link = &job;
    }

    void dequeue(Job& job) {
        for (Job** link = &oldest_; *link != nullptr; link = &(*link)->newer) {
            if (*link == &job) {
                *link = job.newer;
                job.newer = nullptr;
                return;
            }
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_, done_;
    Job* oldest_ = nullptr;
    std::size_t workers_ = 0;
    std::atomic<bool> forked_{false};
};

// The pool of this process; a forked child drops its parent's (whose workers
// it does not have) and makes its own on its next loop. Abandoned pools are
// never freed: their memory is all that is left of them.
std::mutex creation_mutex;
std::atomic<Pool*> current_pool{nullptr};
std::atomic<std::uint64_t> loops_started{0};

void before_fork() {
    creation_mutex.lock();
    if (Pool* pool = current_pool.load()) pool->lock_for_fork();
}

void after_fork_in_parent() {
    if (Pool* pool = current_pool.load()) pool->unlock_after_fork();
    creation_mutex.unlock();
}

void after_fork_in_child() {
    if (Pool* pool = current_pool.load()) pool->abandon_in_child();
    current_pool.store(nullptr);
    creation_mutex.unlock();
}

Pool& pool() {
    if (Pool* pool = current_pool.load(std::memory_order_acquire)) return *pool;
    std::lock_guard lock(creation_mutex);
    if (Pool* pool = current_pool.load()) return *pool;
    static bool fork_handlers = false;
    if (!fork_handlers) {
        fork_handlers = pthread_atfork(&before_fork, &after_fork_in_parent, &after_fork_in_child) == 0;
    }
    auto* pool = new Pool(pool_size() - 1);
    current_pool.store(pool, std::memory_order_release);
    return *pool;
}

}  // namespace

std::size_t configured_pool_size() {
    long count = parse_count("RAYON_NUM_THREADS");
    if (count < 0) count = parse_count("RAYON_RS_NUM_CPUS");
    if (count > 0) return static_cast<std::size_t>(count);
    unsigned hw = std::thread::hardware_concurrency();
    return hw == 0 ? 1 : hw;
}

std::size_t pool_size() {
    static const std::size_t size = configured_pool_size();
    return size;
}

std::size_t pool_worker_count() { return pool().workers(); }

std::uint64_t pool_loops_started() { return loops_started.load(std::memory_order_relaxed); }

bool runs_on_pool(std::uint64_t count, std::uint64_t grain, std::uint64_t work) {
    if (grain == 0) grain = 1;
    if (count <= grain || pool_size() == 1) return false;
    return work == unknown_work || work >= inline_work_limit;
}

void parallel_for(std::uint64_t count, std::uint64_t grain, std::uint64_t work, const RangeBody& body) {
    if (count == 0) return;
    if (grain == 0) grain = 1;
    const bool nested = detail::on_pool_worker;
    if (nested || !runs_on_pool(count, grain, work)) {
        // A nested loop on a worker runs here rather than wait on ourselves; a
        // small loop here, in the same chunks, without waking anyone.
        ProgressCounter* const progress = nested ? nullptr : detail::current_progress;
        if (progress != nullptr) progress->expect(count);
        const ProgressScope no_progress(nullptr);
        for (std::uint64_t begin = 0; begin < count;) {
            const std::uint64_t end = count - begin <= grain ? count : begin + grain;
            check_interrupt();
            body(begin, end, 0);
            if (progress != nullptr) progress->advance(end - begin);
            begin = end;
        }
        return;
    }
    loops_started.fetch_add(1, std::memory_order_relaxed);
    Job job;
    job.count = count;
    job.grain = grain;
    job.slots = pool_size();
    job.body = &body;
    job.progress = detail::current_progress;
    if (job.progress != nullptr) job.progress->expect(count);
    pool().run(job);
}

}  // namespace vexil
