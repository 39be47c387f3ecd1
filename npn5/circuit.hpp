// Stored circuits: the record of a class, the decoding of image records, and
// the machinery that checks a stored circuit against a queried word.
#pragma once

#include "word.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

namespace vexil::npn5 {

// A gate: bits 0-2 the operator as its algebraic normal form (bit 2 the term
// A·B, bit 1 B, bit 0 A), bit 3 operand A complemented, bits 4-8 A's value
// index, bit 9 B complemented, bits 10-14 B's value index, bit 15 the result
// complemented. Value index 0 is the constant 0, 1-5 the inputs x1-x5, 6 + i
// the result of gate i.
using GateWord = std::uint16_t;

inline constexpr std::size_t max_gates = 12;

struct CircuitRecord {
    std::array<GateWord, max_gates> gates{};  // slots from gate_count on are 0
    std::uint8_t gate_count = 0;
    std::uint8_t output = 0;  // 2 × value index + complement flag

    friend bool operator==(const CircuitRecord&, const CircuitRecord&) = default;
};

// Image records: 15 bytes, three little-endian 40-bit groups of four 10-bit
// gate codes (first operand bits 0-3, second bits 4-7, operator bits 8-9 in
// the order &, |, ^, AND NOT); the list ends at the first code 0.
inline constexpr std::size_t record_bytes = 15;

struct DecodedRecord {
    Word key;  // the word the circuit computes: its last gate
    CircuitRecord circuit;
};

DecodedRecord decode_record(const std::uint8_t* bytes);

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

// Entry k of a 32-entry table goes to bit 31 - k.
Word pack_truth_table(std::span<const std::uint8_t, 32> entries);

}  // namespace vexil::npn5
