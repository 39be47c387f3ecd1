#include "queries.hpp"

#include "canonise.hpp"

#include <cstdio>
#include <cstdlib>

namespace vexil::npn5 {

CircuitRecord minimal_gates_query(GateDatabase& db, Word a) {
    if (a == 0xFFFFFFFFu) {
        // The constant 1: the constant 0 record with its output complemented.
        CircuitRecord record = db.lookup(0);
        record.output = 1;
        return record;
    }
    const bool top = !is_normal(a);
    NpnTransform t;
    const Word c = canonise(top ? ~a : a, t, db.canon_tables());
    if (top) t[0] = static_cast<std::int16_t>(t[0] ^ 1);
    CircuitRecord record = db.lookup(c);
    apply_transform(record, t);
    const Word d = evaluate_circuit(record, db.rewrite_table());
    if (d != a) report_disaster(d, a, c);
    return record;
}

Word representative_query(const GateDatabase& db, Word a) {
    NpnTransform t;
    return canonise(is_normal(a) ? a : ~a, t, db.canon_tables());
}

CircuitRecord minimal_gates_query(Word a) { return minimal_gates_query(gate_database(), a); }

Word representative_query(Word a) { return representative_query(gate_database(), a); }

void report_disaster(Word computed, Word queried, Word canonical) {
    std::fprintf(stderr, "Major disaster! %lu != %lu (canonised %lu)\n", static_cast<unsigned long>(computed),
                 static_cast<unsigned long>(queried), static_cast<unsigned long>(canonical));
    std::fflush(stderr);
    std::exit(1);
}

}  // namespace vexil::npn5
