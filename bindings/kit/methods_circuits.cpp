// Minimum two-input-gate circuits of five-variable functions (npn5/node_circuit.hpp)
// as Python tuples.
#include "call.hpp"
#include "methods.hpp"

#include "npn5/node_circuit.hpp"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

namespace vexil_kit {

namespace {

namespace npn5 = vexil::npn5;
namespace py = vexil::py;

constexpr unsigned variables = 5;
constexpr std::size_t entries5 = std::size_t{1} << variables;

// (gates, output, negated): gates a tuple of (op, a, b), output a node or None
// for a constant, whose value is then `negated`.
PyObject* to_python(const npn5::NodeCircuit& circuit) {
    Ref gates(py::tuple_of(circuit.gates,
                           [](const npn5::NodeGate& g) { return py::check(Py_BuildValue("(III)", g.op, g.a, g.b)); }));
    PyObject* negated = circuit.negated ? Py_True : Py_False;
    if (circuit.constant) return py::check(Py_BuildValue("(OOO)", gates.get(), Py_None, negated));
    return py::check(Py_BuildValue("(OIO)", gates.get(), circuit.output, negated));
}

Object minimal_circuit(TableView table) {
    if (table.n != variables) {
        refuse(PyExc_ValueError,
               "the table must have 32 entries (5 variables), got " + std::to_string(table.entries.size()));
    }
    npn5::NodeCircuit circuit;
    // The first query builds the process-wide database (seconds).
    unlocked([&] {
        circuit = npn5::minimal_node_circuit(std::span<const std::uint8_t, entries5>(table.entries.data(), entries5));
    });
    return {to_python(circuit)};
}

const PyMethodDef methods[] = {
    method<"minimal_circuit", &minimal_circuit>(
        "minimal_circuit(table, /)\n--\n\n"
        "A smallest circuit of two-input gates computing the 5-variable function `table` (32 entries), as\n"
        "(gates, output, negated). gates is a tuple of (op, a, b): bit (2*b_value + a_value) of op is the\n"
        "gate's value, a and b are nodes (0-4 the variables x0-x4, 5 + i gate i, always an earlier node).\n"
        "output is the node computing f, or its complement when negated is True; for a constant function\n"
        "there are no gates, output is None and negated is the constant's value. The circuit reads only\n"
        "the variables f depends on. The first call builds the gate database (seconds); computed without\n"
        "the interpreter lock."),
};

}  // namespace

std::span<const PyMethodDef> circuit_methods() { return methods; }

}  // namespace vexil_kit
