// Five-input canonisation against brute force, in one process.
//
// Build and run with bench/bench_npn5.sh (it compiles this file with -O3 and
// -march=native against the core library of build/dev, so the brute force gets
// the machine's widest vector unit; the library itself is built as shipped).
#include "../tests/native/npn5_brute.hpp"
#include "npn5/canonise.hpp"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <random>
#include <vector>

using namespace vexil::npn5;
using Clock = std::chrono::steady_clock;

namespace {

double seconds_since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

}  // namespace

int main() {
    const auto tables = CanonTables::build();
    std::mt19937_64 rng(7);
    constexpr std::size_t count = std::size_t{1} << 21;
    std::vector<Word> words(count);
    for (Word& w : words) w = static_cast<Word>(rng());

    // canonise, with the complement of words that have bit 31 set, as the queries do.
    Word sink = 0;
    double fast = 1e9;
    for (int rep = 0; rep < 5; ++rep) {
        const auto start = Clock::now();
        for (Word w : words) {
            NpnTransform t;
            sink ^= canonise(is_normal(w) ? w : ~w, t, *tables);
            sink += static_cast<Word>(t[1]);
        }
        fast = std::min(fast, seconds_since(start) / count);
    }

    constexpr std::size_t brute_count = std::size_t{1} << 14;
    std::vector<Word> out(brute_count);
    double brute = 1e9;
    for (int rep = 0; rep < 3; ++rep) {
        const auto start = Clock::now();
        npn5_brute::canon_vectorised(words.data(), out.data(), brute_count);
        brute = std::min(brute, seconds_since(start) / brute_count);
    }
    constexpr std::size_t scalar_count = std::size_t{1} << 12;
    std::vector<Word> scalar_out(scalar_count);
    double scalar = 1e9;
    for (int rep = 0; rep < 3; ++rep) {
        const auto start = Clock::now();
        npn5_brute::canon_brute<Word>(words.data(), scalar_out.data(), scalar_count);
        scalar = std::min(scalar, seconds_since(start) / scalar_count);
    }

    std::size_t agree = 0;
    for (std::size_t i = 0; i < brute_count; ++i) {
        NpnTransform t;
        agree += canonise(is_normal(words[i]) ? words[i] : ~words[i], t, *tables) == out[i];
    }
    for (std::size_t i = 0; i < scalar_count; ++i) agree -= scalar_out[i] != out[i];

    std::printf("canonise:              %8.1f ns/word (%zu random words)\n", fast * 1e9, count);
    std::printf("brute force (%2zu lanes):%8.1f ns/word (%zu words, all 3,840 transforms x 2 polarities)\n",
                npn5_brute::lanes, brute * 1e9, brute_count);
    std::printf("brute force (1 word):  %8.1f ns/word (%zu words, the same walk one word at a time)\n", scalar * 1e9,
                scalar_count);
    std::printf(
        "ratio vectorised brute/canonise: %.1fx, one-word brute/canonise: %.1fx   (agreement %zu/%zu, "
        "checksum %08X)\n",
        brute / fast, scalar / fast, agree, brute_count, sink);
    return agree == brute_count ? 0 : 1;
}
