// Minimum two-input-gate circuits of five-variable functions, read from the
// npn5 gate database and rewritten in the package's own form.
#include "methods.hpp"
#include "table_arg.hpp"
#include "unlocked.hpp"

#include "base/packed_table.hpp"
#include "npn5/circuit.hpp"
#include "npn5/queries.hpp"

#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

namespace vexil_kit {

namespace {

namespace npn5 = vexil::npn5;

constexpr unsigned variables = 5;
constexpr std::size_t entries5 = std::size_t{1} << variables;

// A gate as Python sees it: bit (2b + a) of op is op(a, b), and the operands
// are nodes, 0-4 the variables x0-x4 and 5 + i gate i.
struct Gate {
    unsigned op;
    unsigned a;
    unsigned b;
};

struct Circuit {
    std::vector<Gate> gates;
    bool constant = false;  // then `output` is unused and `negated` is the value
    unsigned output = 0;
    bool negated = false;
};

// pack_truth_table puts entry k at bit 31 - k with x1 the most significant
// bit of k, while variable v is bit v of k: variable v is npn5's x(5 - v),
// value index 5 - v. Gates keep their order, so value 6 + i is node 5 + i.
unsigned node_of_value(unsigned index) { return index <= variables ? variables - index : index - 1; }

npn5::Word word_of_node(const std::vector<npn5::Word>& gate_words, unsigned node) {
    return node < variables ? npn5::base_values[variables - node] : gate_words[node - variables];
}

// The 4-bit table of an operator given by its algebraic normal form.
unsigned op_of_anf(unsigned anf) {
    unsigned op = 0;
    for (unsigned b = 0; b < 2; ++b) {
        for (unsigned a = 0; a < 2; ++a) op |= (npn5::apply_anf(anf, a, b) & 1u) << (2 * b + a);
    }
    return op;
}

npn5::Word apply_op(unsigned op, npn5::Word a, npn5::Word b) {
    const auto row = [op](unsigned bit) { return npn5::Word{0} - ((op >> bit) & 1u); };
    return (row(0) & ~a & ~b) | (row(1) & a & ~b) | (row(2) & ~a & b) | (row(3) & a & b);
}

[[noreturn]] void reject(const std::string& why) {
    throw std::runtime_error("the gate database gave an unusable circuit: " + why);
}

// The query's record in node form. The query evaluates the record through the
// rewrite table, which leaves each gate's operator (its normal form) acting on
// the plain values of its operands; operand complement bits left in the word
// no longer mean anything, and the output literal carries the one complement.
//
// A minimum circuit never has a gate that could be removed: one reading the
// constant 0, the same value twice, or a variable f ignores (fix that variable
// at 0) folds to a literal of its other operand, and a gate nothing reads is
// dead. So the circuit is checked for these rather than simplified, and a
// table extended from fewer variables gets a circuit on its own variables.
Circuit circuit_of_record(const npn5::CircuitRecord& record, npn5::Word target, unsigned essential) {
    const unsigned count = record.gate_count;
    if (count > npn5::max_gates) reject("too many gates");
    Circuit circuit;
    std::vector<npn5::Word> gate_words;
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
        const npn5::GateWord w = record.gates[i];
        const unsigned a = operand(npn5::gate_operand_a(w), i);
        const unsigned b = operand(npn5::gate_operand_b(w), i);
        if (a == b) reject("a gate reads one value twice");
        const unsigned op = op_of_anf(npn5::gate_anf(w));
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
    const npn5::Word value = circuit.constant ? 0 : word_of_node(gate_words, circuit.output);
    if ((circuit.negated ? ~value : value) != target) reject("it computes another function");
    return circuit;
}

// (gates, output, negated): gates a tuple of (op, a, b), output a node or None
// for a constant, whose value is then `negated`.
PyObject* to_python(const Circuit& circuit) {
    Ref gates(PyTuple_New(static_cast<Py_ssize_t>(circuit.gates.size())));
    if (!gates) return nullptr;
    for (std::size_t i = 0; i < circuit.gates.size(); ++i) {
        const Gate& g = circuit.gates[i];
        PyObject* item = Py_BuildValue("(III)", g.op, g.a, g.b);
        if (item == nullptr) return nullptr;
        PyTuple_SetItem(gates.get(), static_cast<Py_ssize_t>(i), item);  // steals item
    }
    if (circuit.constant) return Py_BuildValue("(OOO)", gates.get(), Py_None, circuit.negated ? Py_True : Py_False);
    return Py_BuildValue("(OIO)", gates.get(), circuit.output, circuit.negated ? Py_True : Py_False);
}

PyObject* minimal_circuit(PyObject*, PyObject* argument) {
    Buffer table_buffer;
    const std::optional<TableView> table = read_table(argument, table_buffer);
    if (!table) return nullptr;
    if (table->n != variables) {
        PyErr_Format(PyExc_ValueError, "the table must have %zu entries (5 variables), got %zu", entries5,
                     table->entries.size());
        return nullptr;
    }
    Circuit circuit;
    const bool done = run_unlocked([&] {
        const std::span<const std::uint8_t, entries5> entries(table->entries.data(), entries5);
        const npn5::Word word = npn5::pack_truth_table(entries);
        // The first query builds the process-wide database (seconds).
        const npn5::CircuitRecord record = npn5::minimal_gates_query(word);
        circuit = circuit_of_record(record, word, static_cast<unsigned>(vexil::essential_variables(entries)));
    });
    return done ? to_python(circuit) : nullptr;
}

const PyMethodDef methods[] = {
    {"minimal_circuit", &minimal_circuit, METH_O,
     "minimal_circuit(table, /)\n--\n\n"
     "A smallest circuit of two-input gates computing the 5-variable function `table` (32 entries), as\n"
     "(gates, output, negated). gates is a tuple of (op, a, b): bit (2*b_value + a_value) of op is the\n"
     "gate's value, a and b are nodes (0-4 the variables x0-x4, 5 + i gate i, always an earlier node).\n"
     "output is the node computing f, or its complement when negated is True; for a constant function\n"
     "there are no gates, output is None and negated is the constant's value. The circuit reads only\n"
     "the variables f depends on. The first call builds the gate database (seconds); computed without\n"
     "the interpreter lock."},
};

}  // namespace

std::span<const PyMethodDef> circuit_methods() { return methods; }

}  // namespace vexil_kit
