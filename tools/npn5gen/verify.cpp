#include "verify.hpp"

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <vector>

#include "classes.hpp"
#include "database.hpp"
#include "parallel.hpp"
#include "runtime.hpp"

namespace npn5gen {

// The image is valid when it has the exact length, every record is well formed
// (the encoder gives its bytes back from the decoded circuit: codes after the
// first zero are zero, operands name inputs or earlier gates, never the same
// value twice), the decoder's word and the queries' evaluator agree, the word
// has bit 31 clear and is its own canonise (the run-time key), the keys are
// distinct and, with the two built-in classes (0 and x1), account for every class.
int run_verify(const std::string& image, int threads) {
    std::ifstream in(image, std::ios::binary);
    if (!in) {
        std::printf("cannot open %s\n", image.c_str());
        return 2;
    }
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    bool ok = true;
    auto fail = [&](const char* what, std::size_t n) {
        ok = false;
        std::printf("INVALID: %s (%zu)\n", what, n);
    };
    if (bytes.size() != kImageBytes) {
        fail("length is not 9,241,860", bytes.size());
    }
    const std::size_t records = bytes.size() / record_bytes;
    if (records != kImageRecords) {
        fail("record count is not 616,124", records);
    }
    std::vector<Word> keys(records);
    std::vector<std::uint8_t> gates(records);
    std::atomic<std::size_t> malformed{0}, evaluations_differ{0}, top_bit{0}, not_canonical{0};
    parallel_chunks(records, 4096, threads, [&](std::size_t b, std::size_t e, int) {
        for (std::size_t i = b; i < e; ++i) {
            const std::uint8_t* record = bytes.data() + i * record_bytes;
            const DecodedRecord d = decode_record(record);
            gates[i] = d.circuit.gate_count;
            const auto again = encode_record(d.circuit);
            if (!again || !std::equal(again->begin(), again->end(), record)) {
                ++malformed;
                keys[i] = 0;
                continue;
            }
            keys[i] = d.key;
            if (circuit_value(d.circuit) != d.key) {
                ++evaluations_differ;
            }
            if (!is_normal(d.key)) {
                ++top_bit;
            } else if (key_of(d.key) != d.key) {
                ++not_canonical;
            }
        }
    });
    if (malformed != 0) {
        fail("malformed records", malformed);
    }
    if (evaluations_differ != 0) {
        fail("records whose decoded word and evaluation differ", evaluations_differ);
    }
    if (top_bit != 0) {
        fail("keys with bit 31 set", top_bit);
    }
    if (not_canonical != 0) {
        fail("keys that are not canonical", not_canonical);
    }
    std::vector<Word> sorted = keys;
    sorted.push_back(0);
    sorted.push_back(input_x1);
    std::sort(sorted.begin(), sorted.end());
    const std::size_t distinct = static_cast<std::size_t>(std::unique(sorted.begin(), sorted.end()) - sorted.begin());
    if (distinct != sorted.size()) {
        fail("repeated keys (including the built-in 0 and x1)", sorted.size() - distinct);
    }
    if (distinct != kClassCount) {
        fail("classes covered, built-in ones included, is not 616,126", distinct);
    }
    Histogram h{};
    h[0] = 2;
    for (std::uint8_t g : gates) {
        ++h[std::min<std::size_t>(g, 13)];
    }
    if (records != 0 && *std::max_element(gates.begin(), gates.end()) != gates[0]) {
        std::printf("note: the first record does not have the most gates\n");
    }
    std::printf("%s", format_histogram(h).c_str());
    const bool optimal = std::equal(kOptimum.begin(), kOptimum.end(), h.begin());
    std::printf("%s%s\n", ok ? "VALID" : "INVALID", ok ? (optimal ? ", optimal" : ", not yet optimal") : "");
    return ok ? 0 : 1;
}

}  // namespace npn5gen
