#include "circuit.hpp"

namespace vexil::npn5 {

namespace {

// Gate code operators &, |, ^, AND NOT as algebraic normal forms: 4, 7, 3, 5.
constexpr unsigned anf_of_operator(unsigned op) { return (0x5374u >> (4 * op)) & 0xFu; }

constexpr Word apply_anf(unsigned anf, Word a, Word b) {
    Word r = 0;
    if ((anf & 4) != 0) r ^= a & b;
    if ((anf & 2) != 0) r ^= b;
    if ((anf & 1) != 0) r ^= a;
    return r;
}

constexpr GateWord operand_index_mask_a = 0x1F0;
constexpr GateWord operand_index_mask_b = 0x7C00;
constexpr GateWord complement_a = 0x8;
constexpr GateWord complement_b = 0x200;
constexpr GateWord complement_result = 0x8000;

// Renames an input operand (value index 1-5) of a gate word by t.
GateWord rename_operand(GateWord w, unsigned index_shift, GateWord complement_bit, const NpnTransform& t) {
    const unsigned index = (w >> index_shift) & 0x1Fu;
    if (index < 1 || index > 5) return w;
    const int e = t[index];
    const auto source = static_cast<unsigned>(e < 0 ? -e : e);
    w = static_cast<GateWord>((w & ~(0x1Fu << index_shift)) | (source << index_shift));
    if (e < 0) w ^= complement_bit;
    return w;
}

}  // namespace

DecodedRecord decode_record(const std::uint8_t* bytes) {
    DecodedRecord out{};
    // Value list: 0, x1 ... x5, then one word per gate. Operand fields are 4
    // bits, so list[A + 1] stays inside 17 entries even in a damaged record.
    std::array<Word, 18> values{};
    for (std::size_t i = 0; i < base_values.size(); ++i) values[i] = base_values[i];
    std::size_t count = 0;
    for (; count < max_gates; ++count) {
        const std::uint8_t* group = bytes + 5 * (count / 4);
        std::uint64_t bits = 0;
        for (unsigned k = 0; k < 5; ++k) bits |= static_cast<std::uint64_t>(group[k]) << (8 * k);
        const auto code = static_cast<unsigned>((bits >> (10 * (count % 4))) & 0x3FFu);
        if (code == 0) break;
        const unsigned a = (code & 0xFu) + 1;
        const unsigned b = ((code >> 4) & 0xFu) + 1;
        const unsigned anf = anf_of_operator(code >> 8);
        values[6 + count] = apply_anf(anf, values[a], values[b]);
        out.circuit.gates[count] = static_cast<GateWord>(anf | (a << 4) | (b << 10));
    }
    out.circuit.gate_count = static_cast<std::uint8_t>(count);
    out.circuit.output = static_cast<std::uint8_t>(2 * (count + 5));
    out.key = values[count + 5];
    return out;
}

RewriteTable build_rewrite_table() {
    RewriteTable table{};
    for (unsigned anf = 0; anf < 8; ++anf) {
        const bool p = (anf & 4) != 0;
        const bool b = (anf & 2) != 0;
        const bool a = (anf & 1) != 0;
        // ~A: pAB ^ bB ^ a(A ^ 1) with p(A ^ 1)B = pAB ^ pB, and likewise for ~B.
        table[complement_a | anf] = static_cast<std::uint16_t>((p ? 2u : 0u) | (a ? complement_result : 0u));
        table[complement_b | anf] = static_cast<std::uint16_t>((p ? 1u : 0u) | (b ? complement_result : 0u));
        table[complement_a | complement_b | anf] =
            static_cast<std::uint16_t>((p ? 3u : 0u) | ((p ^ b ^ a) ? complement_result : 0u));
    }
    return table;
}

void apply_transform(CircuitRecord& circuit, const NpnTransform& t) {
    const auto flip = static_cast<std::uint8_t>(t[0] & 1);
    if (circuit.gate_count == 0) {
        const unsigned index = circuit.output >> 1;
        if (index >= 1 && index <= 5) {
            const int e = t[index];
            const auto source = static_cast<unsigned>(e < 0 ? -e : e);
            circuit.output = static_cast<std::uint8_t>((source << 1) | ((circuit.output & 1u) ^ (e < 0 ? 1u : 0u)));
        }
        circuit.output ^= flip;
        return;
    }
    for (GateWord& w : circuit.gates) {
        w = rename_operand(w, 4, complement_a, t);
        w = rename_operand(w, 10, complement_b, t);
    }
    circuit.output ^= flip;
}

Word evaluate_circuit(CircuitRecord& circuit, const RewriteTable& rewrite) {
    // Five index bits reach 31; a damaged record must not read past the list.
    std::array<Word, 32> values{};
    for (std::size_t i = 0; i < base_values.size(); ++i) values[i] = base_values[i];
    std::uint32_t complemented = 0;
    const std::size_t count = circuit.gate_count < max_gates ? circuit.gate_count : max_gates;
    for (std::size_t i = 0; i < count; ++i) {
        unsigned w = circuit.gates[i];
        const unsigned a = (w & operand_index_mask_a) >> 4;
        const unsigned b = (w & operand_index_mask_b) >> 10;
        w ^= ((complemented >> a) & 1u) << 3;
        w ^= ((complemented >> b) & 1u) << 9;
        w ^= rewrite[w & 0x20Fu];
        circuit.gates[i] = static_cast<GateWord>(w & 0x7FFFu);
        if ((w & complement_result) != 0) complemented |= 1u << (6 + i);
        values[6 + i] = apply_anf(w & 7u, values[a], values[b]);
    }
    unsigned literal = circuit.output;
    const unsigned index = (literal >> 1) & 0x1Fu;
    literal ^= (complemented >> index) & 1u;
    circuit.output = static_cast<std::uint8_t>(literal);
    const Word result = values[index];
    return (literal & 1u) != 0 ? ~result : result;
}

Word pack_truth_table(std::span<const std::uint8_t, 32> entries) {
    Word w = 0;
    for (std::size_t k = 0; k < 32; ++k) w |= static_cast<Word>(entries[k] & 1u) << (31 - k);
    return w;
}

}  // namespace vexil::npn5
