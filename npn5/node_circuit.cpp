#include "npn5/node_circuit.hpp"

#include "base/packed_table.hpp"
#include "npn5/queries.hpp"
#include "panic.hpp"

#include <string>

namespace vexil::npn5 {

namespace {

constexpr unsigned variables = 5;

// Variable v of a table is the database's input x(5 - v), value index 5 - v.
// Gates keep their order, so value 6 + i is node 5 + i.
unsigned node_of_value(unsigned index) { return index <= variables ? variables - index : index - 1; }

Word word_of_node(const std::vector<Word>& gate_words, unsigned node) {
    return node < variables ? base_values[variables - node] : gate_words[node - variables];
}

// The 4-bit table of an operator given by its algebraic normal form.
unsigned op_of_anf(unsigned anf) {
    unsigned op = 0;
    for (unsigned b = 0; b < 2; ++b) {
        for (unsigned a = 0; a < 2; ++a) op |= (apply_anf(anf, a, b) & 1u) << (2 * b + a);
    }
    return op;
}

Word apply_op(unsigned op, Word a, Word b) {
    const auto row = [op](unsigned bit) { return Word{0} - ((op >> bit) & 1u); };
    return (row(0) & ~a & ~b) | (row(1) & a & ~b) | (row(2) & ~a & b) | (row(3) & a & b);
}

[[noreturn]] void reject(const std::string& why) { panic("the gate database gave an unusable circuit: " + why); }

}  // namespace

// The query evaluates the record through the rewrite table, which leaves each
// gate's operator (its normal form) acting on the plain values of its operands;
// operand complement bits left in the word no longer mean anything, and the
// output literal carries the one complement.
NodeCircuit node_circuit(const CircuitRecord& record, Word target, unsigned essential) {
    const unsigned count = record.gate_count;
    if (count > max_gates) reject("too many gates");
    NodeCircuit circuit;
    std::vector<Word> gate_words;
    std::vector<bool> read(count, false);
    const auto operand = [&](unsigned index, unsigned gate) {
        if (index == 0) reject("a gate reads the constant 0");
        if (index > variables + gate) reject("a gate reads a later gate");
        const unsigned node = node_of_value(index);
        if (node < variables && (essential >> node & 1u) == 0) reject("a gate reads an ignored variable");
        if (node >= variables) read[node - variables] = true;
        return node;
    };
    for (unsigned i = 0; i < count; ++i) {
        const GateWord w = record.gates[i];
        const unsigned a = operand(gate_operand_a(w), i);
        const unsigned b = operand(gate_operand_b(w), i);
        if (a == b) reject("a gate reads one value twice");
        const unsigned op = op_of_anf(gate_anf(w));
        circuit.gates.push_back({op, a, b});
        gate_words.push_back(apply_op(op, word_of_node(gate_words, a), word_of_node(gate_words, b)));
    }
    const unsigned index = record.output >> 1;
    circuit.negated = (record.output & 1u) != 0;
    if (count == 0) {
        if (index > variables) reject("the output is not a value of the circuit");
        circuit.constant = index == 0;
        circuit.output = circuit.constant ? 0 : node_of_value(index);
    } else {
        if (index <= variables || index > variables + count) reject("the output is not a gate");
        circuit.output = node_of_value(index);
        read[circuit.output - variables] = true;
    }
    for (unsigned i = 0; i < count; ++i) {
        if (!read[i]) reject("gate " + std::to_string(i) + " is never read");
    }
    const Word value = circuit.constant ? 0 : word_of_node(gate_words, circuit.output);
    if ((circuit.negated ? ~value : value) != target) reject("it computes another function");
    return circuit;
}

NodeCircuit minimal_node_circuit(std::span<const std::uint8_t, 32> entries) {
    const Word word = word_of_entries(entries);
    return node_circuit(minimal_gates_query(word), word, static_cast<unsigned>(essential_variables(entries)));
}

}  // namespace vexil::npn5
