// Native timings of the complexity kernels beside a memory baseline, in one run.
// Build (after the core build in build/dev):
//   g++ -std=c++20 -O3 -Isrc bench/bench_complexity_native.cpp build/dev/libvexil_core.a -lpthread -o build/bench_cplx
#include "metrics/certificate.hpp"
#include "metrics/sensitivity.hpp"
#include "metrics/spectral.hpp"

#include <chrono>
#include <cstdio>
#include <functional>
#include <random>
#include <vector>

namespace {

double best_ms(const std::function<void()>& body, int repeat) {
    double best = 1e300;
    for (int r = 0; r < repeat; ++r) {
        const auto start = std::chrono::steady_clock::now();
        body();
        const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
        best = std::min(best, took.count());
    }
    return best;
}

}  // namespace

int main(int argc, char** argv) {
    const unsigned n = argc > 1 ? static_cast<unsigned>(std::atoi(argv[1])) : 24;
    const std::size_t size = std::size_t{1} << n;
    std::mt19937_64 rng(1);
    std::vector<std::uint8_t> entries(size);
    for (auto& e : entries) e = static_cast<std::uint8_t>(rng() & 1U);
    // Agree with parity on exactly half the inputs, so that degree() needs the whole spectrum.
    std::int64_t top = 0;
    for (std::size_t x = 0; x < size; ++x) top += (entries[x] != 0) == (std::popcount(x) % 2 == 0) ? 1 : -1;
    for (std::size_t x = 0; top != 0; ++x) {
        const bool agrees = (entries[x] != 0) == (std::popcount(x) % 2 == 0);
        if ((top > 0) == agrees) {
            entries[x] ^= 1U;
            top += agrees ? -2 : 2;
        }
    }
    const vexil::FValue f(entries);

    std::vector<std::int64_t> wide(size, 0);
    volatile std::int64_t sink = 0;
    const double memory = best_ms(
        [&] {
            for (int pass = 0; pass < 2; ++pass) {
                for (auto& e : wide) e += 1;
            }
            sink = wide[size / 2];
        },
        5);
    std::printf("n = %u\n", n);
    std::printf("int64 array read+written twice     %8.2f ms\n", memory);
    auto line = [&](const char* name, double ms) {
        std::printf("%-34s %8.2f ms   %5.2fx the memory baseline\n", name, ms, ms / memory);
    };
    line("spectrum (int32, written back)", best_ms([&] { sink = vexil::detail::spectrum32(f)[1]; }, 5));
    line("degree (whole spectrum)", best_ms([&] { sink = static_cast<std::int64_t>(vexil::degree(f)); }, 5));
    line("no_linearity", best_ms([&] { sink = static_cast<std::int64_t>(vexil::no_linearity(f)); }, 5));
    line("max_sensitivity", best_ms([&] { sink = vexil::max_sensitivity(f); }, 5));
    line("mean_sensitivity", best_ms([&] { sink = static_cast<std::int64_t>(vexil::mean_sensitivity(f)); }, 5));
    line("pack_table", best_ms([&] { sink = static_cast<std::int64_t>(vexil::detail::pack_table(f)[0]); }, 5));
    (void)sink;
    return 0;
}
