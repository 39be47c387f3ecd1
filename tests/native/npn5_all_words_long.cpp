// Every five-input word through the query path (hours of CPU; see README.md).
//
//   npn5_all_words_long [--first W] [--count N]
//
// For each word a (default all 2^32), on the worker pool: minimal_gates_query
// carries the stored circuit to a and checks that it computes a (a failure
// ends the process with status 1 and the "Major disaster!" line), and the
// representative r of a must be its own representative. Prints the number of
// words per gate count and the run time; over all 2^32 words these counts must
// equal those of minimum circuits (Knuth's table of five-input complexities),
// which holds exactly when every class's circuit is minimal.
#include "npn5/database.hpp"
#include "npn5/queries.hpp"
#include "pool.hpp"

#include <array>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

using namespace vexil::npn5;

namespace {

std::uint64_t arg_value(int argc, char** argv, const std::string& name, std::uint64_t fallback) {
    for (int i = 1; i + 1 < argc; ++i) {
        if (name == argv[i]) return std::strtoull(argv[i + 1], nullptr, 0);
    }
    return fallback;
}

}  // namespace

int main(int argc, char** argv) {
    const std::uint64_t first = arg_value(argc, argv, "--first", 0);
    const std::uint64_t count = arg_value(argc, argv, "--count", std::uint64_t{1} << 32);
    if (first + count > (std::uint64_t{1} << 32)) {
        std::fprintf(stderr, "range past 2^32\n");
        return 2;
    }
    const auto start = std::chrono::steady_clock::now();
    GateDatabase& db = gate_database();

    using Histogram = std::array<std::uint64_t, 13>;
    std::vector<Histogram> histograms(vexil::pool_size(), Histogram{});
    std::atomic<std::uint64_t> not_fixed{0};
    vexil::parallel_for(count, std::uint64_t{1} << 20, [&](std::uint64_t begin, std::uint64_t end, std::size_t slot) {
        Histogram& h = histograms[slot];
        for (std::uint64_t i = begin; i < end; ++i) {
            const auto a = static_cast<Word>(first + i);
            ++h[minimal_gates_query(db, a).gate_count];
            const Word r = representative_query(db, a);
            if (representative_query(db, r) != r && not_fixed.fetch_add(1) < 10) {
                std::fprintf(stderr, "representative of %08X is %08X, whose representative differs\n", a, r);
            }
        }
    });

    Histogram total{};
    for (const Histogram& h : histograms) {
        for (std::size_t g = 0; g < total.size(); ++g) total[g] += h[g];
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("words %llu from %08llX on %zu workers, %.1f s\ngates  words\n", static_cast<unsigned long long>(count),
                static_cast<unsigned long long>(first), vexil::pool_size(), seconds);
    for (std::size_t g = 0; g < total.size(); ++g) {
        std::printf("%5zu  %llu\n", g, static_cast<unsigned long long>(total[g]));
    }
    bool ok = not_fixed.load() == 0;
    std::printf("representatives not fixed: %llu\n", static_cast<unsigned long long>(not_fixed.load()));
    if (first == 0 && count == std::uint64_t{1} << 32) {
        // Words by the gate count of their minimum circuits.
        constexpr Histogram minimum = {12,       100,       1140,       11570,      109826,    995240, 8430800,
                                       63401728, 383877392, 1519125536, 2123645248, 195366784, 1920};
        const bool minimal = total == minimum;
        std::printf("word counts %s those of minimum circuits\n", minimal ? "equal" : "differ from");
        ok = ok && minimal;
    }
    std::printf("%s\n", ok ? "ok" : "FAILED");
    return ok ? 0 : 1;
}
