// The two five-input queries on truth-table words.
#pragma once

#include "circuit.hpp"
#include "database.hpp"
#include "word.hpp"

namespace vexil::npn5 {

// The stored circuit of a's class carried over to a itself. The carried
// circuit is evaluated first: when it does not compute a (a transform that
// breaks the relation, or a class without a record), the process ends with
// status 1 after one line on standard error,
//   Major disaster! <computed> != <a> (canonised <canonical word>)
// Its gate_count is the answer of minimal_gates.
CircuitRecord minimal_gates_query(GateDatabase& db, Word a);

// The canonical word of a's class (either polarity of a).
Word representative_query(const GateDatabase& db, Word a);

// The same on the process-wide database.
CircuitRecord minimal_gates_query(Word a);
Word representative_query(Word a);

[[noreturn]] void report_disaster(Word computed, Word queried, Word canonical);

}  // namespace vexil::npn5
