// Stored circuits: the record of a class, the decoding of image records, and
// the machinery that checks a stored circuit against a queried word.
#pragma once

#include "word.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace vexil::npn5 {

// A gate: bits 0-2 the operator as its algebraic normal form (bit 2 the term
// A·B, bit 1 B, bit 0 A), bit 3 operand A complemented, bits 4-8 A's value
// index, bit 9 B complemented, bits 10-14 B's value index, bit 15 the result
// complemented. Value index 0 is the constant 0, 1-5 the inputs x1-x5, 6 + i
// the result of gate i.
using GateWord = std::uint16_t;

inline constexpr GateWord gate_complement_a = 0x8;
inline constexpr GateWord gate_complement_b = 0x200;
inline constexpr GateWord gate_complement_result = 0x8000;

constexpr GateWord make_gate(unsigned anf, unsigned a, unsigned b) {
    return static_cast<GateWord>(anf | (a << 4) | (b << 10));
}
constexpr unsigned gate_anf(GateWord w) { return w & 7u; }
constexpr unsigned gate_operand_a(GateWord w) { return (w >> 4) & 0x1Fu; }
constexpr unsigned gate_operand_b(GateWord w) { return (w >> 10) & 0x1Fu; }

// The operator of an algebraic normal form, branch-free: the operator bits
// become all-zero or all-one masks.
constexpr Word apply_anf(unsigned anf, Word a, Word b) {
    const Word product = 0u - ((anf >> 2) & 1u);
    const Word second = 0u - ((anf >> 1) & 1u);
    const Word first = 0u - (anf & 1u);
    return (a & b & product) ^ (b & second) ^ (a & first);
}

// The four operators of image records, by their two-bit code, and their
// algebraic normal forms (4, 7, 3, 5).
enum RecordOperator : unsigned { record_and = 0, record_or = 1, record_xor = 2, record_and_not = 3 };

constexpr unsigned anf_of_operator(unsigned op) { return (0x5374u >> (4 * op)) & 0xFu; }

inline constexpr std::size_t max_gates = 12;

struct CircuitRecord {
    std::array<GateWord, max_gates> gates{};  // slots from gate_count on are 0
    std::uint8_t gate_count = 0;
    std::uint8_t output = 0;  // 2 × value index + complement flag

    friend bool operator==(const CircuitRecord&, const CircuitRecord&) = default;
};

// The output literal of a circuit whose result is its last gate (value index
// 5 + count), uncomplemented.
constexpr std::uint8_t last_gate_output(std::size_t count) { return static_cast<std::uint8_t>(2 * (count + 5)); }

// The two classes that have no image record: the constant 0 and x1.
inline constexpr CircuitRecord builtin_zero_record{{}, 0, 0};
inline constexpr CircuitRecord builtin_x1_record{{}, 0, 2};

// Image records: 15 bytes, three little-endian 40-bit groups of four 10-bit
// gate codes (first operand bits 0-3, second bits 4-7, as value index less 1;
// operator bits 8-9, see RecordOperator); the list ends at the first code 0.
inline constexpr std::size_t record_bytes = 15;

using RecordBytes = std::array<std::uint8_t, record_bytes>;

struct DecodedRecord {
    Word key;  // the word the circuit computes: its last gate
    CircuitRecord circuit;
};

DecodedRecord decode_record(const std::uint8_t* bytes);

// The record of a circuit in stored form, which decode_record gives back:
// 1-12 gates, each a record operator on two different values among the inputs
// and the earlier gates, nothing complemented, the slots after the last gate 0,
// and the output the last gate. Anything else has no record: nullopt.
std::optional<RecordBytes> encode_record(const CircuitRecord& circuit);

// Indexed by (gate word AND 0x20F): the mask to XOR into a gate word whose
// operands are marked complemented so that it computes the same function from
// the uncomplemented operands, up to a complemented result (bit 15).
using RewriteTable = std::array<std::uint16_t, 0x210>;

RewriteTable build_rewrite_table();

// Carries a circuit for a canonical word c back to the word a with
// a(x) = c(y) XOR t[0]: input references are renamed and complemented as t
// says, and the output literal takes t[0].
void apply_transform(CircuitRecord& circuit, const NpnTransform& t);

// Evaluates the circuit, pushing operand complements through the gates with the
// rewrite table (the gate words and output literal are stored back in that
// form), and returns the word it computes.
Word evaluate_circuit(CircuitRecord& circuit, const RewriteTable& rewrite);

}  // namespace vexil::npn5
