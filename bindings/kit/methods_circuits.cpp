// Minimum two-input-gate circuits of five-variable functions (npn5/node_circuit.hpp)
// as Python tuples.
#include "methods.hpp"
#include "table_arg.hpp"
#include "unlocked.hpp"

#include "npn5/node_circuit.hpp"

#include <cstddef>
#include <cstdint>
#include <span>

namespace vexil_kit {

namespace {

namespace npn5 = vexil::npn5;

constexpr unsigned variables = 5;
constexpr std::size_t entries5 = std::size_t{1} << variables;

// (gates, output, negated): gates a tuple of (op, a, b), output a node or None
// for a constant, whose value is then `negated`.
PyObject* to_python(const npn5::NodeCircuit& circuit) {
    Ref gates(PyTuple_New(static_cast<Py_ssize_t>(circuit.gates.size())));
    if (!gates) return nullptr;
    for (std::size_t i = 0; i < circuit.gates.size(); ++i) {
        const npn5::NodeGate& g = circuit.gates[i];
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
    npn5::NodeCircuit circuit;
    const bool done = run_unlocked([&] {
        // The first query builds the process-wide database (seconds).
        circuit = npn5::minimal_node_circuit(std::span<const std::uint8_t, entries5>(table->entries.data(), entries5));
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
