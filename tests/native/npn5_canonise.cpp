// Five-input canonisation against brute force.
//
//   npn5_canonise [--words N] [--classes K] [--seed S]
//
// Checks canonise on N random words (default 1,000,000; half uniform, half with
// structure: sparse, dense, with a constant cofactor, with fewer inputs) and on
// every word of K sampled classes (default 300), against the minimum over all
// 3,840 input transforms and both output polarities, and checks that each
// returned transform relates the word to its canonical form.
#include "npn5/canonise.hpp"
#include "npn5_brute.hpp"

#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

using namespace vexil::npn5;

namespace {

int failures = 0;

void fail(const char* what, Word word, Word got, Word want) {
    if (++failures <= 20) {
        std::fprintf(stderr, "FAIL %s: word %08X got %08X want %08X\n", what, word, got, want);
    }
}

// Canonises a word of either polarity as the queries do and checks the word
// and the transform.
void check_word(const CanonTables& tables, Word a, Word want) {
    const bool top = !is_normal(a);
    NpnTransform t;
    const Word c = canonise(top ? ~a : a, t, tables);
    if (top) t[0] = static_cast<std::int16_t>(t[0] ^ 1);
    if (c != want) fail("canonical word", a, c, want);
    const Word back = npn5_brute::apply_transform_rows(c, t);
    if (back != a) fail("transform relation", a, back, a);
}

Word structured_word(std::mt19937_64& rng) {
    const auto r = [&] { return static_cast<Word>(rng()); };
    switch (rng() % 8) {
        case 0:
            return r() & r() & r();  // sparse
        case 1:
            return r() | r() | r();  // dense
        case 2:
            return r() & r() & r() & r() & r();  // very sparse
        case 3:
            return r() & base_values[1 + rng() % 5];  // a constant cofactor
        case 4:
            return r() | base_values[1 + rng() % 5];
        case 5: {  // depends on x2 ... x5 only, then inputs moved around
            const Word lower = r() & 0xFFFFu;
            return lower | (lower << 16);
        }
        case 6:
            return (r() & r()) ^ base_values[1 + rng() % 5];
        default:
            return r() & 0x0000FFFFu;  // x1 = 0 cofactor constant 0
    }
}

void check_random(const CanonTables& tables, std::mt19937_64& rng, std::size_t count) {
    std::vector<Word> words(count);
    for (std::size_t i = 0; i < count; ++i) {
        words[i] = i % 2 == 0 ? static_cast<Word>(rng()) : structured_word(rng);
    }
    std::vector<Word> want(count);
    npn5_brute::canon_vectorised(words.data(), want.data(), count);
    for (std::size_t i = 0; i < count; ++i) check_word(tables, words[i], want[i]);
}

// Every member of the class of c (all transforms, both output polarities).
void check_orbit(const CanonTables& tables, Word c) {
    static const auto transforms = npn5_brute::all_input_transforms();
    for (auto t : transforms) {
        for (std::int16_t flip = 0; flip < 2; ++flip) {
            t[0] = flip;
            check_word(tables, npn5_brute::apply_transform_rows(c, t), c);
        }
    }
}

void check_identity_cases(const CanonTables& tables) {
    for (Word w : {Word{0}, parity5}) {
        NpnTransform t;
        const Word c = canonise(w, t, tables);
        if (c != w || !(t == NpnTransform{})) fail("fixed word with identity transform", w, c, w);
    }
    for (std::size_t k = 1; k <= 5; ++k) {
        check_word(tables, base_values[k], input_x1);
        check_word(tables, ~base_values[k], input_x1);
    }
    check_word(tables, 0xFFFFFFFFu, 0);
}

std::size_t arg_value(int argc, char** argv, const std::string& name, std::size_t fallback) {
    for (int i = 1; i + 1 < argc; ++i) {
        if (name == argv[i]) return std::strtoull(argv[i + 1], nullptr, 10);
    }
    return fallback;
}

}  // namespace

int main(int argc, char** argv) {
    const std::size_t words = arg_value(argc, argv, "--words", 1000000) / npn5_brute::lanes * npn5_brute::lanes;
    const std::size_t classes = arg_value(argc, argv, "--classes", 300);
    std::mt19937_64 rng(arg_value(argc, argv, "--seed", 20240501));

    const auto tables = CanonTables::build();

    // The fast reference first agrees with the plain row-by-row one.
    std::vector<Word> sample(256);
    for (Word& w : sample) w = structured_word(rng);
    std::vector<Word> fast(sample.size());
    npn5_brute::canon_vectorised(sample.data(), fast.data(), sample.size());
    for (std::size_t i = 0; i < sample.size(); ++i) {
        const Word slow = npn5_brute::canon_by_rows(sample[i]);
        if (fast[i] != slow) fail("vectorised reference", sample[i], fast[i], slow);
    }

    check_identity_cases(*tables);
    check_random(*tables, rng, words);

    std::vector<Word> seeds(classes / npn5_brute::lanes * npn5_brute::lanes + npn5_brute::lanes);
    for (std::size_t i = 0; i < seeds.size(); ++i) {
        seeds[i] = i % 3 == 0 ? static_cast<Word>(rng()) : structured_word(rng);
    }
    std::vector<Word> reps(seeds.size());
    npn5_brute::canon_vectorised(seeds.data(), reps.data(), seeds.size());
    for (Word c : reps) check_orbit(*tables, c);
    for (Word c : {Word{0}, parity5, input_x1, Word{0x000000FFu}, Word{0x00FFFF00u}}) check_orbit(*tables, c);

    std::printf("npn5_canonise: %zu random words, %zu classes: %s\n", words, reps.size() + 5,
                failures == 0 ? "ok" : "FAILED");
    return failures == 0 ? 0 : 1;
}
