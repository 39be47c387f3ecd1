// The image record codec of the five-input library: encoder, decoder and
// evaluator against each other and against a plain reading of the format, and
// the inverse of a transform.
#include "check.hpp"
#include "npn5/circuit.hpp"
#include "npn5/word.hpp"
#include "npn5_brute.hpp"

#include <array>
#include <optional>
#include <random>
#include <vector>

using namespace vexil::npn5;

namespace {

const RewriteTable rewrite = build_rewrite_table();

Word evaluate(CircuitRecord c) { return evaluate_circuit(c, rewrite); }

// A gate of the record format as a test writes it: operands as value indices
// (1-5 the inputs, 6 + i gate i) and the two-bit operator code.
struct Gate {
    unsigned a, b, op;
};

CircuitRecord circuit_of(const std::vector<Gate>& gates) {
    CircuitRecord c;
    for (std::size_t i = 0; i < gates.size(); ++i) {
        c.gates[i] = make_gate(anf_of_operator(gates[i].op), gates[i].a, gates[i].b);
    }
    c.gate_count = static_cast<std::uint8_t>(gates.size());
    c.output = last_gate_output(gates.size());
    return c;
}

// The value of the last gate, read straight from the gate list.
Word plain_value(const std::vector<Gate>& gates) {
    std::vector<Word> values(base_values.begin(), base_values.end());
    for (const Gate& g : gates) {
        const Word a = values.at(g.a);
        const Word b = values.at(g.b);
        values.push_back(g.op == 0 ? a & b : g.op == 1 ? a | b : g.op == 2 ? a ^ b : a & ~b);
    }
    return values.back();
}

// A random well-formed gate list: 1-12 gates on two different earlier values.
std::vector<Gate> random_gates(std::mt19937_64& rng) {
    std::vector<Gate> gates(1 + rng() % max_gates);
    for (std::size_t i = 0; i < gates.size(); ++i) {
        const auto a = static_cast<unsigned>(1 + rng() % (5 + i));
        auto b = static_cast<unsigned>(1 + rng() % (4 + i));
        if (b >= a) ++b;
        gates[i] = {a, b, static_cast<unsigned>(rng() % 4)};
    }
    return gates;
}

// The record bytes laid out by hand: code i at bit 40 (i / 4) + 10 (i % 4).
std::array<std::uint8_t, record_bytes> bytes_of(const std::vector<unsigned>& codes) {
    std::array<std::uint8_t, record_bytes> bytes{};
    for (std::size_t i = 0; i < codes.size(); ++i) {
        for (unsigned bit = 0; bit < 10; ++bit) {
            const std::size_t pos = 40 * (i / 4) + 10 * (i % 4) + bit;
            if ((codes[i] >> bit) & 1u) bytes[pos / 8] = static_cast<std::uint8_t>(bytes[pos / 8] | (1u << (pos % 8)));
        }
    }
    return bytes;
}

unsigned code_of(const Gate& g) { return (g.a - 1) | ((g.b - 1) << 4) | (g.op << 8); }

// Well formed by the format's rules, read from the codes alone: codes up to the
// first zero name two different earlier values, and nothing follows the zero.
bool plainly_well_formed(const std::vector<unsigned>& codes) {
    std::size_t count = 0;
    while (count < codes.size() && codes[count] != 0) ++count;
    if (count == 0) return false;
    for (std::size_t i = count; i < codes.size(); ++i) {
        if (codes[i] != 0) return false;
    }
    for (std::size_t i = 0; i < count; ++i) {
        const unsigned a = (codes[i] & 15) + 1;
        const unsigned b = ((codes[i] >> 4) & 15) + 1;
        if (a > 5 + i || b > 5 + i || a == b) return false;
    }
    return true;
}

void check_known_record() {
    // x1 ^ x2, then (x1 ^ x2) & ~x3, then | x5.
    const std::vector<Gate> gates = {{1, 2, record_xor}, {6, 3, record_and_not}, {7, 5, record_or}};
    const CircuitRecord c = circuit_of(gates);
    const Word want = ((input_x1 ^ input_x2) & ~input_x3) | input_x5;
    CHECK(evaluate(c) == want, "evaluation of a three-gate circuit");
    const std::optional<RecordBytes> r = encode_record(c);
    CHECK(r.has_value(), "three-gate circuit is in stored form");
    // Code 0 = 0x210 sits in bits 0-9, code 1 = 0x325 in bits 10-19, code 2 = 0x146 in bits 20-29.
    const std::uint64_t g0 = 0x210u | (0x325ull << 10) | (0x146ull << 20);
    bool bytes_ok = r.has_value();
    for (std::size_t b = 0; r && b < record_bytes; ++b) {
        const std::uint8_t want_byte = b < 5 ? static_cast<std::uint8_t>(g0 >> (8 * b)) : 0;
        bytes_ok = bytes_ok && (*r)[b] == want_byte;
    }
    CHECK(bytes_ok, "record bytes of a three-gate circuit");
    if (r) {
        const DecodedRecord d = decode_record(r->data());
        CHECK(d.circuit == c && d.key == want, "record round trip");
    }

    std::vector<Gate> full;
    for (unsigned i = 0; i < 12; ++i) full.push_back({i == 0 ? 1 : 5 + i, i == 0 ? 2u : 4u, i % 4});
    const CircuitRecord twelve = circuit_of(full);
    const auto r12 = encode_record(twelve);
    CHECK(r12 && decode_record(r12->data()).circuit == twelve, "twelve-gate round trip");

    // Circuits that have no record.
    CircuitRecord bad = c;
    bad.gates[1] = make_gate(anf_of_operator(record_and), 8, 3);  // refers to a later gate
    CHECK(!encode_record(bad), "forward reference is rejected");
    bad.gates[1] = make_gate(anf_of_operator(record_and), 7, 3);
    CHECK(!encode_record(bad), "a gate reading itself is rejected");
    bad = c;
    bad.gates[0] = make_gate(anf_of_operator(record_xor), 4, 4);
    CHECK(!encode_record(bad), "equal operands are rejected");
    bad = c;
    bad.gates[4] = make_gate(anf_of_operator(record_and), 1, 2);  // a gate after the end
    CHECK(!encode_record(bad), "gate after the last one is rejected");
    bad = c;
    bad.gates[0] = make_gate(anf_of_operator(record_and), 0, 2);
    CHECK(!encode_record(bad), "the constant as an operand is rejected");
    bad = c;
    bad.gates[2] = static_cast<GateWord>(bad.gates[2] | gate_complement_b);
    CHECK(!encode_record(bad), "a complemented operand is rejected");
    bad = c;
    bad.gates[2] = static_cast<GateWord>(bad.gates[2] | gate_complement_result);
    CHECK(!encode_record(bad), "a complemented result is rejected");
    bad = c;
    bad.gates[1] = make_gate(6, 6, 3);  // ~A & B: not a record operator
    CHECK(!encode_record(bad), "an operator outside the four is rejected");
    bad = c;
    bad.output = static_cast<std::uint8_t>(bad.output + 1);
    CHECK(!encode_record(bad), "a complemented output is rejected");
    bad = c;
    bad.output = 2 * 6;
    CHECK(!encode_record(bad), "an output other than the last gate is rejected");
    CHECK(!encode_record(builtin_x1_record) && !encode_record(CircuitRecord{}), "no gates, no record");

    // A zero code ends the list: the decoder stops there, and the bytes after
    // it do not come back from the encoder.
    const auto gap = bytes_of({code_of(gates[0]), 0, code_of(gates[2])});
    const DecodedRecord read = decode_record(gap.data());
    CHECK(read.circuit.gate_count == 1 && read.key == (input_x1 ^ input_x2), "decode stops at the first zero code");
    const auto again = encode_record(read.circuit);
    CHECK(again && *again != gap, "a code after the first zero does not survive the round trip");
}

// Encoder -> decoder -> evaluator on random circuits, and the encoder as the
// judge of well-formed bytes.
void check_random_round_trips(std::mt19937_64& rng, std::size_t count) {
    static const auto transforms = npn5_brute::all_input_transforms();
    for (std::size_t trial = 0; trial < count; ++trial) {
        const std::vector<Gate> gates = random_gates(rng);
        const CircuitRecord c = circuit_of(gates);
        const Word want = plain_value(gates);
        const auto r = encode_record(c);
        CHECK(r.has_value(), "random circuit %zu is in stored form", trial);
        if (!r) continue;
        std::vector<unsigned> codes;
        for (const Gate& g : gates) codes.push_back(code_of(g));
        CHECK(*r == bytes_of(codes), "encoder lays out the codes of circuit %zu", trial);
        const DecodedRecord d = decode_record(r->data());
        CHECK(d.circuit == c, "decoder gives circuit %zu back", trial);
        CHECK(d.key == want, "decoder's word of circuit %zu", trial);
        CHECK(evaluate(d.circuit) == want, "evaluator's word of circuit %zu", trial);
        // The decoded circuit carried through a transform computes the transformed word.
        NpnTransform t;
        t.entries = transforms[rng() % transforms.size()];
        t[0] = static_cast<std::int16_t>(rng() & 1);
        CircuitRecord carried = d.circuit;
        apply_transform(carried, t);
        CHECK(evaluate(carried) == npn5_brute::apply_transform_rows(want, t), "carried circuit %zu", trial);
    }
    // Random codes, now and then with a zero inside or garbage after the end:
    // the bytes come back from decoder and encoder exactly when the plain
    // reading finds them well formed.
    std::size_t well_formed = 0;
    for (std::size_t trial = 0; trial < count; ++trial) {
        std::vector<unsigned> codes(max_gates, 0);
        const std::size_t n = 1 + rng() % max_gates;
        for (std::size_t i = 0; i < n; ++i) {
            const auto a = static_cast<unsigned>(rng() % (5 + i));
            const auto b = static_cast<unsigned>(rng() % (5 + i));
            codes[i] = a | (b << 4) | static_cast<unsigned>((rng() % 4) << 8);
        }
        if (rng() % 8 == 0) codes[rng() % max_gates] = static_cast<unsigned>(rng() & 0x3FF);
        const auto bytes = bytes_of(codes);
        const auto again = encode_record(decode_record(bytes.data()).circuit);
        const bool round_trip = again.has_value() && *again == bytes;
        CHECK(round_trip == plainly_well_formed(codes), "round trip of random record %zu says %d", trial, round_trip);
        well_formed += round_trip;
    }
    CHECK(well_formed > count / 20 && well_formed < count, "random records of both kinds (%zu well formed)",
          well_formed);
}

void check_transform_inverse(std::mt19937_64& rng) {
    static const auto transforms = npn5_brute::all_input_transforms();
    for (int trial = 0; trial < 2000; ++trial) {
        NpnTransform t;
        t.entries = transforms[rng() % transforms.size()];
        t[0] = static_cast<std::int16_t>(rng() & 1);
        const Word c = static_cast<Word>(rng());
        const Word a = npn5_brute::apply_transform_rows(c, t);
        CHECK(npn5_brute::apply_transform_rows(a, inverse_transform(t)) == c, "inverse transform undoes it");
        CHECK(inverse_transform(inverse_transform(t)) == t, "the inverse of the inverse");
    }
}

}  // namespace

int main() {
    std::mt19937_64 rng(20240715);
    check_known_record();
    check_random_round_trips(rng, 20000);
    check_transform_inverse(rng);
    return native_test::finish("npn5_codec");
}
