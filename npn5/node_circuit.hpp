// Minimum circuits of five-input functions in node form: the database's record
// rewritten over the variables of a table (variable v is bit v of an entry's
// index) and checked against the function it was asked for.
#pragma once

#include "npn5/circuit.hpp"
#include "npn5/word.hpp"

#include <cstdint>
#include <span>
#include <vector>

namespace vexil::npn5 {

// A gate: bit (2b + a) of op is op(a, b); the operands are nodes, 0-4 the
// variables x0-x4 and 5 + i gate i, always an earlier node.
struct NodeGate {
    unsigned op;
    unsigned a;
    unsigned b;

    friend bool operator==(const NodeGate&, const NodeGate&) = default;
};

struct NodeCircuit {
    std::vector<NodeGate> gates;
    bool constant = false;  // then `output` is unused and `negated` is the value
    unsigned output = 0;
    bool negated = false;
};

// The record's circuit in node form. A minimum circuit has no removable gate
// (one reading the constant 0, one value twice or a variable outside
// `essential` (bit v: variable v), or one nothing reads), so the circuit is
// checked for these rather than simplified, and for computing `target`; a
// Panic names what fails.
NodeCircuit node_circuit(const CircuitRecord& record, Word target, unsigned essential);

// A smallest circuit of the function with these 32 entries, reading only the
// variables it depends on. The first query builds the process-wide database.
NodeCircuit minimal_node_circuit(std::span<const std::uint8_t, 32> entries);

}  // namespace vexil::npn5
