// The first five-input query of a process, which decodes the embedded image
// and builds the canonisation tables, against the queries after it.
//
// Build and run with bench/bench_npn5.sh.
#include "npn5/queries.hpp"

#include <chrono>
#include <cstdio>
#include <random>

using namespace vexil::npn5;
using Clock = std::chrono::steady_clock;

int main() {
    const auto start = Clock::now();
    const unsigned first = minimal_gates_query(0x12345678u).gate_count;
    const double first_seconds = std::chrono::duration<double>(Clock::now() - start).count();

    std::mt19937 rng(3);
    constexpr int later = 1 << 20;
    unsigned sum = 0;
    const auto again = Clock::now();
    for (int i = 0; i < later; ++i) sum += minimal_gates_query(static_cast<Word>(rng())).gate_count;
    const double later_seconds = std::chrono::duration<double>(Clock::now() - again).count() / later;

    std::printf("first query (database build): %8.1f ms   (answer %u)\n", first_seconds * 1e3, first);
    std::printf("later queries:                %8.1f ns/query over %d random words (checksum %u)\n",
                later_seconds * 1e9, later, sum);
    std::printf("ratio first/later:            %8.0fx\n", first_seconds / later_seconds);
    return 0;
}
