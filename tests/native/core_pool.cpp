// The worker pool's contracts: every index once, slots private to one chunk at
// a time, errors and stops reach the caller and leave the pool usable, loops
// started from inside a loop or from several threads complete, and a forked
// child gets a working pool. Also the readers behind the memory guard.
#include "check.hpp"
#include "interrupt.hpp"
#include "memory_guard.hpp"
#include "panic.hpp"
#include "pool.hpp"
#include "progress.hpp"
#include "vectorial/sbox.hpp"

#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <numeric>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

using native_test::finish;

namespace {

// Sums i over [0, count) on the pool, checking coverage and slot privacy.
bool loop_is_exact(std::uint64_t count, std::uint64_t grain) {
    const std::size_t slots = vexil::pool_size();
    auto seen = std::make_unique<std::atomic<unsigned>[]>(count);
    auto busy = std::make_unique<std::atomic<bool>[]>(slots);
    std::atomic<bool> clash{false};
    std::vector<std::uint64_t> sums(slots, 0);
    vexil::parallel_for(count, grain, [&](std::uint64_t begin, std::uint64_t end, std::size_t slot) {
        if (slot >= slots || busy[slot].exchange(true)) {
            clash = true;
            return;
        }
        for (std::uint64_t i = begin; i < end; ++i) {
            seen[i].fetch_add(1);
            sums[slot] += i;
        }
        busy[slot] = false;
    });
    std::uint64_t total = 0;
    for (const std::uint64_t s : sums) total += s;
    bool once = true;
    for (std::uint64_t i = 0; i < count; ++i) once = once && seen[i].load() == 1;
    return !clash && once && total == count * (count - 1) / 2;
}

void check_every_index_once() {
    for (const auto& [count, grain] :
         {std::pair<std::uint64_t, std::uint64_t>{1, 1}, {7, 100}, {100003, 7}, {65536, 1}, {1000, 0}}) {
        CHECK(loop_is_exact(count, grain), "count %llu grain %llu", static_cast<unsigned long long>(count),
              static_cast<unsigned long long>(grain));
    }
}

void check_errors_reach_the_caller() {
    // Thrown from a chunk on any thread; the first error wins, the rest stop.
    for (const std::uint64_t bad : {0ULL, 5000ULL, 99999ULL}) {
        bool got = false;
        try {
            vexil::parallel_for(100000, 10, [&](std::uint64_t begin, std::uint64_t end, std::size_t) {
                if (begin <= bad && bad < end) vexil::panic("chunk failed");
            });
        } catch (const vexil::Panic& stop) {
            got = std::string(stop.what()) == "chunk failed";
        }
        CHECK(got, "a Panic at index %llu did not reach the caller", static_cast<unsigned long long>(bad));
        CHECK(loop_is_exact(50000, 13), "the pool after a failed loop");
    }
    bool memory = false;
    try {
        vexil::parallel_for(1000, 1, [](std::uint64_t begin, std::uint64_t, std::size_t) {
            if (begin == 500) throw std::bad_alloc();
        });
    } catch (const std::bad_alloc&) {
        memory = true;
    }
    CHECK(memory, "std::bad_alloc from a chunk");
    CHECK(loop_is_exact(50000, 13), "the pool after std::bad_alloc");
}

std::atomic<bool> stop_now{false};
bool poll_stop() { return stop_now.load(); }

void check_a_host_stop_ends_the_loop() {
    vexil::set_interrupt_poll(&poll_stop);
    stop_now = false;
    std::thread stopper([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        stop_now = true;
    });
    const auto start = std::chrono::steady_clock::now();
    bool stopped = false;
    try {
        // Chunks that would run for minutes, checking for stops as kernels do.
        vexil::parallel_for(1000, 1, [](std::uint64_t, std::uint64_t, std::size_t) {
            const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(1);
            while (std::chrono::steady_clock::now() < until) vexil::check_interrupt();
        });
    } catch (const vexil::Interrupted&) {
        stopped = true;
    }
    stopper.join();
    vexil::set_interrupt_poll(nullptr);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    CHECK(stopped && seconds < 0.8, "stopped %d after %.3f s", stopped, seconds);
    CHECK(loop_is_exact(50000, 13), "the pool after a stop");
}

void check_a_loop_inside_a_loop_completes() {
    // As a host callback would: a loop started from a chunk on the calling
    // thread, while the outer loop holds the pool.
    const auto caller = std::this_thread::get_id();
    std::atomic<int> inner_ok{0};
    std::atomic<int> inner_runs{0};
    vexil::parallel_for(64, 1, [&](std::uint64_t, std::uint64_t, std::size_t) {
        if (std::this_thread::get_id() == caller || inner_runs.load() < 4) {
            inner_runs.fetch_add(1);
            if (loop_is_exact(20000, 3)) inner_ok.fetch_add(1);
        }
    });
    CHECK(inner_runs.load() > 0 && inner_ok.load() == inner_runs.load(), "inner loops %d of %d exact", inner_ok.load(),
          inner_runs.load());
}

void check_threads_run_loops_at_once() {
    std::atomic<int> wrong{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&] {
            for (int round = 0; round < 40; ++round) {
                if (!loop_is_exact(20000 + static_cast<std::uint64_t>(round), 17)) wrong.fetch_add(1);
            }
        });
    }
    for (std::thread& t : threads) t.join();
    CHECK(wrong.load() == 0, "%d loops from concurrent threads went wrong", wrong.load());
}

void check_a_forked_child_has_a_pool() {
    CHECK(loop_is_exact(10000, 7), "before fork");
    const pid_t child = fork();
    if (child == 0) {
        alarm(30);  // a hang ends the child with SIGALRM
        _exit(loop_is_exact(100000, 7) && loop_is_exact(5000, 1) ? 0 : 1);
    }
    int status = 0;
    CHECK(child > 0 && waitpid(child, &status, 0) == child, "fork/wait");
    CHECK(WIFEXITED(status) && WEXITSTATUS(status) == 0, "the child's loops: status %d", status);
    CHECK(loop_is_exact(10000, 7), "the parent after fork");
}

// Loops below the work limit, or of one chunk, run on the calling thread in
// their chunks, report progress, and leave the pool's loop count unchanged;
// so do the measures of a 256-entry S-box. A loop at the limit goes to the
// pool when it has more than one thread.
void check_small_loops_stay_on_the_caller() {
    const bool pooled = vexil::pool_size() > 1;
    const std::uint64_t small = vexil::inline_work_limit - 1;
    CHECK(!vexil::runs_on_pool(1000, 10, small), "small work");
    CHECK(!vexil::runs_on_pool(10, 10, vexil::unknown_work), "one chunk");
    CHECK(vexil::runs_on_pool(11, 10, vexil::unknown_work) == pooled, "unknown work, two chunks");
    CHECK(vexil::runs_on_pool(1000, 10, vexil::inline_work_limit) == pooled, "work at the limit");

    const std::uint64_t before = vexil::pool_loops_started();
    const std::thread::id caller = std::this_thread::get_id();
    vexil::ProgressCounter progress;
    using Chunk = std::pair<std::uint64_t, std::uint64_t>;
    std::vector<Chunk> chunks;
    bool elsewhere = false;
    {
        const vexil::ProgressScope scope(&progress);
        vexil::parallel_for(1000, 64, small, [&](std::uint64_t begin, std::uint64_t end, std::size_t slot) {
            elsewhere = elsewhere || slot != 0 || std::this_thread::get_id() != caller;
            chunks.emplace_back(begin, end);
        });
    }
    CHECK(!elsewhere, "a small loop left the calling thread");
    const bool in_order = chunks.size() == 16 && chunks.front() == Chunk(0, 64) && chunks.back() == Chunk(960, 1000);
    CHECK(in_order, "chunks of the grain, in order: %zu", chunks.size());
    CHECK(progress.total() == 1000 && progress.done() == 1000, "progress %llu of %llu",
          static_cast<unsigned long long>(progress.done()), static_cast<unsigned long long>(progress.total()));

    std::vector<std::uint32_t> table(256);
    std::iota(table.begin(), table.end(), 0U);
    for (std::uint32_t& y : table) y = (y * 167U + 13U) % 256U;  // a permutation with F(x ^ 128) = F(x) ^ 128
    const vexil::vectorial::Sbox f{table, 8, 8};
    std::vector<std::int32_t> walsh(std::size_t{1} << 16);
    const std::uint64_t uniformity = vexil::vectorial::differential_uniformity(f);
    vexil::vectorial::walsh_into(f, walsh, false);
    const std::uint64_t boomerang = vexil::vectorial::boomerang_uniformity(f);
    CHECK(uniformity == 256 && boomerang == 256, "uniformities %llu %llu", static_cast<unsigned long long>(uniformity),
          static_cast<unsigned long long>(boomerang));
    CHECK(vexil::pool_loops_started() == before, "small loops started %llu pool loops",
          static_cast<unsigned long long>(vexil::pool_loops_started() - before));

    CHECK(loop_is_exact(100000, 7), "an unknown-size loop");
    CHECK(vexil::pool_loops_started() == before + (pooled ? 1 : 0), "a large loop on the pool");
}

void check_memory_readers() {
    using vexil::detail::cgroup_bytes;
    using vexil::detail::meminfo_available;
    using vexil::detail::stat_value;
    CHECK(meminfo_available("MemTotal: 900 kB\nMemFree: 1 kB\nMemAvailable:  100 kB\nSwapFree: 28 kB\n") == 128 * 1024,
          "MemAvailable + SwapFree");
    CHECK(meminfo_available("MemTotal: 900 kB\n") == std::nullopt, "no MemAvailable");
    CHECK(cgroup_bytes("max\n") == std::nullopt && cgroup_bytes("") == std::nullopt, "no limit");
    CHECK(cgroup_bytes("314572800\n") == 314572800, "a limit");
    CHECK(stat_value("total_inactive_file 5\ninactive_file 7\n", "inactive_file") == 7, "exact key");
    CHECK(stat_value("inactive_filex 5\n", "inactive_file") == std::nullopt, "prefix of another key");
    const std::uint64_t left = vexil::obtainable_memory();
    CHECK(left > (std::uint64_t{16} << 20), "obtainable memory %llu", static_cast<unsigned long long>(left));
    bool refused = false;
    try {
        vexil::ensure_working_set(UINT64_MAX);
    } catch (const vexil::WorkingSetTooLarge& error) {
        refused = error.needed() == UINT64_MAX && error.available() < UINT64_MAX &&
                  std::string(error.what()).starts_with("the computation needs 16.0 EiB of working memory; ");
    }
    CHECK(refused, "an impossible working set");
    vexil::ensure_working_set(std::uint64_t{1} << 20);  // small: must pass
    CHECK(vexil::bytes_times(UINT64_MAX / 2, 3) == UINT64_MAX && vexil::bytes_plus(UINT64_MAX, 1) == UINT64_MAX,
          "saturating sizes");
}

}  // namespace

int main() {
    check_small_loops_stay_on_the_caller();
    check_every_index_once();
    check_errors_reach_the_caller();
    check_a_host_stop_ends_the_loop();
    check_a_loop_inside_a_loop_completes();
    check_threads_run_loops_at_once();
    check_a_forked_child_has_a_pool();
    check_memory_readers();
    return finish("core_pool");
}
