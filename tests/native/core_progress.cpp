// Progress reports: pool loops count into the counter of the thread that starts
// them, nested loops on workers do not count twice, a plan fixes the total,
// and threads without a counter report nothing.
#include "check.hpp"
#include "fvalue.hpp"
#include "metrics/fragmentation.hpp"
#include "pool.hpp"
#include "progress.hpp"

#include <atomic>
#include <cstdint>
#include <random>
#include <vector>

using native_test::finish;

namespace {

void loops_report_their_indices() {
    vexil::ProgressCounter counter;
    {
        const vexil::ProgressScope scope(&counter);
        vexil::parallel_for(10'000, 7, [](std::uint64_t, std::uint64_t, std::size_t) {});
        CHECK_EQ(counter.total(), std::uint64_t{10'000});
        CHECK_EQ(counter.done(), std::uint64_t{10'000});
        vexil::parallel_for(500, 1, [](std::uint64_t, std::uint64_t, std::size_t) {});
    }
    CHECK_EQ(counter.total(), std::uint64_t{10'500});
    CHECK_EQ(counter.done(), std::uint64_t{10'500});
    // Out of the scope nothing is counted.
    vexil::parallel_for(100, 1, [](std::uint64_t, std::uint64_t, std::size_t) {});
    CHECK_EQ(counter.done(), std::uint64_t{10'500});
}

void nested_loops_count_once() {
    vexil::ProgressCounter counter;
    std::atomic<std::uint64_t> inner{0};
    {
        const vexil::ProgressScope scope(&counter);
        vexil::parallel_for(64, 1, [&](std::uint64_t, std::uint64_t, std::size_t) {
            vexil::parallel_for(
                10, 3, [&](std::uint64_t begin, std::uint64_t end, std::size_t) { inner.fetch_add(end - begin); });
        });
    }
    CHECK_EQ(inner.load(), std::uint64_t{640});
    CHECK_EQ(counter.total(), std::uint64_t{64});
    CHECK_EQ(counter.done(), std::uint64_t{64});
}

void a_plan_fixes_the_total() {
    vexil::ProgressCounter counter;
    {
        const vexil::ProgressScope scope(&counter);
        vexil::plan_progress(30);
        vexil::plan_progress(1'000);  // an inner plan gives way to the outer one
        vexil::parallel_for(10, 1, [](std::uint64_t, std::uint64_t, std::size_t) {});
        CHECK_EQ(counter.total(), std::uint64_t{30});
        vexil::parallel_for(20, 4, [](std::uint64_t, std::uint64_t, std::size_t) {});
    }
    CHECK_EQ(counter.total(), std::uint64_t{30});
    CHECK_EQ(counter.done(), std::uint64_t{30});
}

// The spectrum walks every subset once up to the middle: its planned total is
// the sum of C(n, k) for k <= n / 2, and it ends with all of it done.
void the_fragmentation_spectrum_ends_complete() {
    for (const unsigned n : {6U, 11U, 12U}) {
        std::mt19937_64 random(n);
        std::vector<std::uint8_t> entries(std::size_t{1} << n);
        for (auto& e : entries) e = static_cast<std::uint8_t>(random() & 1);
        const vexil::FValue f(std::move(entries));
        vexil::ProgressCounter counter;
        {
            const vexil::ProgressScope scope(&counter);
            vexil::fragmentation_spectrum(f);
        }
        std::uint64_t subsets = 0;
        std::uint64_t binomial = 1;
        for (unsigned k = 0; 2 * k <= n; ++k) {
            subsets += binomial;
            binomial = binomial * (n - k) / (k + 1);
        }
        CHECK_EQ(counter.total(), subsets, "n = %u", n);
        CHECK_EQ(counter.done(), subsets, "n = %u", n);
    }
}

}  // namespace

int main() {
    loops_report_their_indices();
    nested_loops_count_once();
    a_plan_fixes_the_total();
    the_fragmentation_spectrum_ends_complete();
    return finish("core_progress");
}
