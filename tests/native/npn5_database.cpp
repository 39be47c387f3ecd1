// The decoded five-input database against the raw image, read independently.
#include "npn5/canonise.hpp"
#include "npn5/circuit.hpp"
#include "npn5/database.hpp"
#include "npn5/image.hpp"

#include <array>
#include <cstdio>
#include <map>
#include <thread>
#include <unordered_set>
#include <vector>

using namespace vexil::npn5;

namespace {

int failures = 0;

void check(bool ok, const char* what, unsigned long detail = 0) {
    if (!ok && ++failures <= 20) std::fprintf(stderr, "FAIL %s (%lu)\n", what, detail);
}

// One image record read straight from its bytes: its gate codes and the word
// each gate computes with the four operators.
struct RawRecord {
    std::vector<unsigned> codes;  // up to the first zero
    bool twelve_nonzero = true;
    Word key = 0;
};

RawRecord read_raw(const std::uint8_t* bytes) {
    RawRecord raw;
    std::vector<Word> values = {0, 0x0000FFFF, 0x00FF00FF, 0x0F0F0F0F, 0x33333333, 0x55555555};
    bool ended = false;
    for (unsigned j = 0; j < 12; ++j) {
        unsigned long long group = 0;
        for (unsigned k = 0; k < 5; ++k) group |= static_cast<unsigned long long>(bytes[5 * (j / 4) + k]) << (8 * k);
        const auto code = static_cast<unsigned>((group >> (10 * (j % 4))) & 0x3FF);
        if (code == 0) raw.twelve_nonzero = false;
        if (code == 0 || ended) {
            ended = true;
            continue;
        }
        raw.codes.push_back(code);
        const Word a = values.at((code & 15) + 1);
        const Word b = values.at(((code >> 4) & 15) + 1);
        switch (code >> 8) {
            case 0:
                values.push_back(a & b);
                break;
            case 1:
                values.push_back(a | b);
                break;
            case 2:
                values.push_back(a ^ b);
                break;
            default:
                values.push_back(a & ~b);
                break;
        }
    }
    raw.key = values.back();
    return raw;
}

void check_process_instance() {
    std::array<GateDatabase*, 4> seen{};
    std::vector<std::thread> threads;
    for (std::size_t i = 0; i < seen.size(); ++i) threads.emplace_back([&seen, i] { seen[i] = &gate_database(); });
    for (std::thread& t : threads) t.join();
    for (GateDatabase* db : seen) check(db == seen[0], "one database for every thread");
    check(&gate_database() == seen[0], "later calls reuse the database");
}

// A hand-made image: x1 & x2, then x1 ^ x2 with codes after a zero code that
// must be ignored, then x1 & x2 again as x2 & x1 (replacing the first), then
// a partial record.
void check_small_image() {
    auto record = [](std::initializer_list<unsigned> codes) {
        std::array<std::uint8_t, 15> bytes{};
        unsigned j = 0;
        for (unsigned code : codes) {
            for (unsigned bit = 0; bit < 10; ++bit) {
                const unsigned pos = 40 * (j / 4) + 10 * (j % 4) + bit;
                if ((code >> bit) & 1) bytes[pos / 8] = static_cast<std::uint8_t>(bytes[pos / 8] | (1u << (pos % 8)));
            }
            ++j;
        }
        return bytes;
    };
    std::vector<std::uint8_t> image;
    for (const auto& r : {record({0x010}), record({0x210, 0, 0x001}), record({0x001})}) {
        image.insert(image.end(), r.begin(), r.end());
    }
    image.resize(image.size() + 7, 0xFF);
    const auto db = GateDatabase::build(image.data(), image.size());
    check(db->size() == 4, "small image: built-ins and two keys", db->size());
    CircuitRecord xor_record = db->lookup(0x00FFFF00);
    check(xor_record.gate_count == 1, "codes after the first zero are ignored", xor_record.gate_count);
    const CircuitRecord& and_record = db->lookup(0x000000FF);
    check(and_record.gates[0] == (4 | (2 << 4) | (1 << 10)), "a later record replaces an earlier one",
          and_record.gates[0]);
    // Insert-if-absent: an all-zero record, once.
    CircuitRecord& absent = db->lookup(0x12345678);
    check(absent == CircuitRecord{}, "absent key gets an all-zero record");
    check(&db->lookup(0x12345678) == &absent && db->size() == 5, "absent key is inserted once", db->size());
}

}  // namespace

int main() {
    check_small_image();
    check_process_instance();
    GateDatabase& db = gate_database();
    const std::span<const std::uint8_t> image = embedded_image();
    const std::size_t records = image.size() / record_bytes;

    check(image.size() == 9241860, "image length", image.size());
    check(db.size() == records + 2, "entries: records and the two built-ins", db.size());
    check(db.size() == 616126, "616,126 classes", db.size());
    const CircuitRecord zero = db.lookup(0);
    const CircuitRecord x1 = db.lookup(input_x1);
    check(zero.gate_count == 0 && zero.output == 0, "constant 0 built-in");
    check(x1.gate_count == 0 && x1.output == 2, "x1 built-in refers to value index 1");

    std::map<unsigned, std::size_t> histogram;
    std::unordered_set<Word> keys;
    std::size_t twelve = 0;
    for (std::size_t r = 0; r < records; ++r) {
        const RawRecord raw = read_raw(image.data() + r * record_bytes);
        CircuitRecord stored = db.lookup(raw.key);
        check(stored.gate_count == raw.codes.size(), "decoded gate count", r);
        check(evaluate_circuit(stored, db.rewrite_table()) == raw.key, "re-evaluation gives the key", r);
        check(is_normal(raw.key), "key has bit 31 clear", r);
        NpnTransform t;
        check(canonise(raw.key, t, db.canon_tables()) == raw.key, "key is canonical", r);
        check(keys.insert(raw.key).second, "keys are distinct", r);
        if (raw.twelve_nonzero) {
            ++twelve;
            check(stored.gate_count == 12, "twelve non-zero codes decode to 12 gates", r);
        }
        ++histogram[static_cast<unsigned>(raw.codes.size())];
    }
    check(!keys.contains(0) && !keys.contains(input_x1), "built-in classes have no record");

    // Any image of minimum circuits has this distribution of gate counts.
    const std::map<unsigned, std::size_t> minimum = {{1, 2},      {2, 5},       {3, 20},     {4, 93},
                                                     {5, 389},    {6, 1988},    {7, 11382},  {8, 60713},
                                                     {9, 221541}, {10, 293455}, {11, 26535}, {12, 1}};
    // Every stored circuit is an upper bound, so at no count can more classes be
    // done than in the minimum distribution; equal everywhere proves every circuit
    // minimal.
    std::printf("gates  records  minimum\n");
    std::size_t done = 0;
    std::size_t done_minimum = 0;
    for (unsigned g = 1; g <= 12; ++g) {
        std::printf("%5u  %7zu  %7zu\n", g, histogram[g], minimum.at(g));
        done += histogram[g];
        done_minimum += minimum.at(g);
        check(done <= done_minimum, "no more classes at or below a count than the minimum allows", g);
        check(histogram[g] == minimum.at(g), "classes at this count equal the minimum distribution", g);
    }
    check(twelve >= 1, "a record of 12 gates", twelve);

    std::printf("npn5_database: %zu records: %s\n", records, failures == 0 ? "ok" : "FAILED");
    return failures == 0 ? 0 : 1;
}
