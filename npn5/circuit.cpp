#include "circuit.hpp"

namespace vexil::npn5 {

namespace {

constexpr GateWord operand_index_mask_a = 0x1F0;
constexpr GateWord operand_index_mask_b = 0x7C00;

// The two-bit code of a record operator given as its normal form; 4 for none.
constexpr unsigned operator_of_anf(unsigned anf) {
    unsigned op = 0;
    while (op < 4 && anf_of_operator(op) != anf) ++op;
    return op;
}

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
        out.circuit.gates[count] = make_gate(anf, a, b);
    }
    out.circuit.gate_count = static_cast<std::uint8_t>(count);
    out.circuit.output = last_gate_output(count);
    out.key = values[count + 5];
    return out;
}

std::optional<RecordBytes> encode_record(const CircuitRecord& circuit) {
    const std::size_t count = circuit.gate_count;
    if (count == 0 || count > max_gates || circuit.output != last_gate_output(count)) return std::nullopt;
    std::array<std::uint64_t, 3> groups{};
    for (std::size_t i = 0; i < max_gates; ++i) {
        const GateWord w = circuit.gates[i];
        if (i >= count) {
            if (w != 0) return std::nullopt;
            continue;
        }
        // Gate i may read the inputs (1-5) and gates 0 ... i - 1 (6 ... 5 + i).
        const unsigned a = gate_operand_a(w);
        const unsigned b = gate_operand_b(w);
        const unsigned op = operator_of_anf(gate_anf(w));
        const bool plain = (w & (gate_complement_a | gate_complement_b | gate_complement_result)) == 0;
        if (!plain || op > 3 || a == 0 || b == 0 || a > 5 + i || b > 5 + i || a == b) return std::nullopt;
        const std::uint64_t code = (a - 1) | ((b - 1) << 4) | (op << 8);
        groups[i / 4] |= code << (10 * (i % 4));
    }
    RecordBytes bytes{};
    for (std::size_t k = 0; k < record_bytes; ++k) bytes[k] = static_cast<std::uint8_t>(groups[k / 5] >> (8 * (k % 5)));
    return bytes;
}

RewriteTable build_rewrite_table() {
    RewriteTable table{};
    for (unsigned anf = 0; anf < 8; ++anf) {
        const bool p = (anf & 4) != 0;
        const bool b = (anf & 2) != 0;
        const bool a = (anf & 1) != 0;
        // ~A: pAB ^ bB ^ a(A ^ 1) with p(A ^ 1)B = pAB ^ pB, and likewise for ~B.
        table[gate_complement_a | anf] = static_cast<std::uint16_t>((p ? 2u : 0u) | (a ? gate_complement_result : 0u));
        table[gate_complement_b | anf] = static_cast<std::uint16_t>((p ? 1u : 0u) | (b ? gate_complement_result : 0u));
        table[gate_complement_a | gate_complement_b | anf] =
            static_cast<std::uint16_t>((p ? 3u : 0u) | ((p ^ b ^ a) ? gate_complement_result : 0u));
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

}  // namespace vexil::npn5
