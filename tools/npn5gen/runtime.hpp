// The run-time library's five-input layer (npn5/, target vexil_npn5) as the
// generator uses it: words, transforms, circuit records and their codec come
// from there, and so do canonisation (class_key.hpp) and evaluation, so that the
// image is written with the keys and read with the evaluator that the queries use.
#pragma once

#include <memory>
#include <stdexcept>

#include "npn5/canon_tables.hpp"
#include "npn5/canonise.hpp"
#include "npn5/circuit.hpp"
#include "npn5/word.hpp"

namespace npn5gen {

using namespace vexil::npn5;

// The canonisation tables, built on first use (milliseconds) and shared by all threads.
inline const CanonTables& canon_tables() {
    static const std::unique_ptr<CanonTables> tables = CanonTables::build();
    return *tables;
}

// The key under which the image stores the class of f: canonise(f). f must be
// normal (every word the generator handles is).
inline Word key_of(Word f) {
    if (!is_normal(f)) {
        throw std::logic_error("key_of a word with bit 31 set");
    }
    NpnTransform unused;
    return canonise(f, unused, canon_tables());
}

// The word a circuit computes, by the queries' evaluator (on a copy: the
// evaluator rewrites the gates it reads).
inline Word circuit_value(CircuitRecord c) {
    static const RewriteTable rewrite = build_rewrite_table();
    return evaluate_circuit(c, rewrite);
}

}  // namespace npn5gen
