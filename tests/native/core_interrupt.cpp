// A stop requested by the host ends the long pooled measures promptly, and
// the pool and the core keep working afterwards (leaks show under the
// sanitizer build).
#include "check.hpp"
#include "metrics_reference.hpp"
#include "interrupt.hpp"
#include "metrics/entanglement.hpp"
#include "metrics/fragmentation.hpp"

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

using namespace reference_test;
using namespace native_test;
using Clock = std::chrono::steady_clock;

namespace {

std::atomic<Clock::rep> stop_at{0};

bool poll() { return Clock::now().time_since_epoch().count() >= stop_at.load(); }

void check_stops(const char* name, const std::function<void()>& run) {
    const auto start = Clock::now();
    stop_at = (start + std::chrono::milliseconds(150)).time_since_epoch().count();
    vexil::set_interrupt_poll(&poll);
    bool stopped = false;
    try {
        run();
    } catch (const vexil::Interrupted&) {
        stopped = true;
    }
    vexil::set_interrupt_poll(nullptr);
    const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
    CHECK(stopped, "%s ran to the end", name);
    CHECK(seconds < 0.75, "%s stopped after %.3f s", name, seconds);
}

}  // namespace

int main() {
    std::mt19937_64 rng(3);
    const vexil::FValue small = random_function(12, rng);
    const vexil::FValue big = random_function(22, rng);
    const float entropy_before = vexil::entropy(small);
    const auto sets_before = vexil::entanglement_sets(small);

    check_stops("entanglement", [&] { (void)vexil::entanglement(big); });
    check_stops("entropy", [&] { (void)vexil::entropy(big); });
    check_stops("entanglement_sets", [&] { (void)vexil::entanglement_sets(big); });
    check_stops("entropy_sets", [&] { (void)vexil::entropy_sets(big); });
    check_stops("fragmentation_k", [&] { (void)vexil::fragmentation_k(big, 11); });
    check_stops("fragmentation_spectrum", [&] { (void)vexil::fragmentation_spectrum(big); });
    // A loop that checks once per block of 25 ms (a slow build's block of a large transform).
    check_stops("a coarse loop", [] {
        for (int block = 0; block < 100; ++block) {
            std::this_thread::sleep_for(std::chrono::milliseconds(25));
            vexil::check_interrupt();
        }
    });

    CHECK_EQ(vexil::entropy(small), entropy_before, "entropy after the stops");
    const auto sets_after = vexil::entanglement_sets(small);
    bool same = sets_after.size() == sets_before.size();
    for (std::size_t i = 0; same && i < sets_after.size(); ++i) {
        same = sets_after[i].set1 == sets_before[i].set1 && sets_after[i].entanglement == sets_before[i].entanglement;
    }
    CHECK(same, "records after the stops");
    return finish("core_interrupt");
}
