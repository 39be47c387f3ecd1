#include "circuit.hpp"

namespace vexil::npn5 {

namespace {

// Gate code operators &, |, ^, AND NOT as algebraic normal forms: 4, 7, 3, 5.
constexpr unsigned anf_of_operator(unsigned op) { return (0x5374u >> (4 * op)) & 0xFu; }

// Branch-free: the operator bits become all-zero or all-one masks.
constexpr Word apply_anf(unsigned anf, Word a, Word b) {
    const Word product = 0u - ((anf >> 2) & 1u);
    const Word second = 0u - ((anf >> 1) & 1u);
    const Word first = 0u - (anf & 1u);
    return (a & b & product) ^ (b & second) ^ (a & first);
}

constexpr GateWord operand_index_mask_a = 0x1F0;
constexpr GateWord operand_index_mask_b = 0x7C00;
constexpr GateWord complement_a = 0x8;
constexpr GateWord complement_b = 0x200;
constexpr GateWord complement_result = 0x8000;

// Per value index: the index it is renamed to by a transform, and 1 when the
// renamed operand is complemented. Only the inputs 1-5 move.
struct Renaming {
    std::array<std::uint8_t, 32> index;
    std::array<std::uint8_t, 32> complement;
};

Renaming renaming_of(const NpnTransform& t) {
    Renaming r{};
    for (unsigned i = 0; i < 32; ++i) r.index[i] = static_cast<std::uint8_t>(i);
    for (unsigned k = 1; k <= 5; ++k) {
        const int e = t[k];
        r.index[k] = static_cast<std::uint8_t>(e < 0 ? -e : e);
        r.complement[k] = static_cast<std::uint8_t>(e < 0 ? 1 : 0);
    }
    return r;
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
    const Renaming r = renaming_of(t);
    const auto flip = static_cast<unsigned>(t[0] & 1);
    if (circuit.gate_count == 0) {
        // The output names the constant or an input directly.
        const unsigned index = (circuit.output >> 1) & 0x1Fu;
        circuit.output =
            static_cast<std::uint8_t>((r.index[index] << 1) | ((circuit.output & 1u) ^ r.complement[index] ^ flip));
        return;
    }
    // Empty slots are 0 and rename to 0.
    for (GateWord& w : circuit.gates) {
        const unsigned a = (w & operand_index_mask_a) >> 4;
        const unsigned b = (w & operand_index_mask_b) >> 10;
        unsigned renamed = w & ~static_cast<unsigned>(operand_index_mask_a | operand_index_mask_b);
        renamed |= (static_cast<unsigned>(r.index[a]) << 4) | (static_cast<unsigned>(r.index[b]) << 10);
        renamed ^= (static_cast<unsigned>(r.complement[a]) << 3) | (static_cast<unsigned>(r.complement[b]) << 9);
        w = static_cast<GateWord>(renamed);
    }
    circuit.output = static_cast<std::uint8_t>(circuit.output ^ flip);
}

Word evaluate_circuit(CircuitRecord& circuit, const RewriteTable& rewrite) {
    // values[] holds each value uncomplemented; `complemented` marks the gate
    // results whose rewritten gate word computes the complement, which is the
    // form stored back. The two chains do not wait for each other.
    std::array<Word, 32> values{};  // five index bits: a damaged record stays inside
    for (std::size_t i = 0; i < base_values.size(); ++i) values[i] = base_values[i];
    std::uint32_t complemented = 0;
    const std::size_t count = circuit.gate_count < max_gates ? circuit.gate_count : max_gates;
    for (std::size_t i = 0; i < count; ++i) {
        const unsigned given = circuit.gates[i];
        const unsigned a = (given & operand_index_mask_a) >> 4;
        const unsigned b = (given & operand_index_mask_b) >> 10;
        const Word operand_a = values[a] ^ (0u - ((given >> 3) & 1u));
        const Word operand_b = values[b] ^ (0u - ((given >> 9) & 1u));
        values[6 + i] = apply_anf(given & 7u, operand_a, operand_b);

        unsigned w = given ^ (((complemented >> a) & 1u) << 3) ^ (((complemented >> b) & 1u) << 9);
        w ^= rewrite[w & 0x20Fu];
        circuit.gates[i] = static_cast<GateWord>(w & 0x7FFFu);
        complemented |= ((w >> 15) & 1u) << (6 + i);
    }
    const unsigned literal = circuit.output;
    const unsigned index = (literal >> 1) & 0x1Fu;
    circuit.output = static_cast<std::uint8_t>(literal ^ ((complemented >> index) & 1u));
    return values[index] ^ (0u - (literal & 1u));
}

Word pack_truth_table(std::span<const std::uint8_t, 32> entries) {
    Word w = 0;
    for (std::size_t k = 0; k < 32; ++k) w |= static_cast<Word>(entries[k] & 1u) << (31 - k);
    return w;
}

}  // namespace vexil::npn5
