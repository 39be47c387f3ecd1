// The CNF of "a circuit of r gates computes these words", which the sat stage
// hands to the solver (sat_solver.hpp), and the decoding of a model back into
// a circuit.
//
// Gate i (node 5 + i) has value variables for rows 1-31 (row 0, all inputs 0,
// is 0 for every normal value), one selection variable for each pair of
// earlier nodes it may read, and three variables for its output on the operand
// patterns 01, 10 and 11 (00 gives 0). Every gate but the last is read by a
// later one, a gate that does not read its predecessor reads a pair no smaller
// than the predecessor's, no gate merely copies an operand, and no gate reads a
// node together with a gate made from that node.
#pragma once

#include <array>
#include <initializer_list>
#include <map>
#include <string>
#include <vector>

#include "builder.hpp"
#include "runtime.hpp"

namespace npn5gen {

class Encoding {
public:
    // One output: the last gate computes it. Several: each is computed by some
    // gate, the last gate among them.
    Encoding(int r, std::vector<Word> outputs);

    int sel(int i, int a, int b) const { return select_.at({i, a, b}); }
    int op(int i, int pq) const { return op_[static_cast<std::size_t>(i)][static_cast<std::size_t>(pq)]; }

    void fix(int literal) { clauses_.push_back({literal}); }

    // The formula in DIMACS form.
    std::string dimacs() const;

    // Lays the circuit of a model (variable -> value) into b and returns the
    // literals of the outputs, each checked against its word; empty when the
    // model does not describe such a circuit.
    std::vector<Lit> decode(const std::vector<bool>& model, Builder& b) const;

private:
    // Value of node x on row t as a literal, or constant true / false for inputs.
    static constexpr int kTrue = 0x7FFFFFFF;
    static constexpr int kFalse = -0x7FFFFFFF;

    int fresh() { return ++vars_; }
    int node(int x, int t) const;
    static int neg(int l) { return l == kTrue ? kFalse : l == kFalse ? kTrue : -l; }
    // Adds the clause unless a literal is constantly true; drops constantly false literals.
    void add(std::initializer_list<int> lits);
    void build();

    int r_;
    std::vector<Word> outs_;
    std::vector<std::vector<int>> out_;  // out_[m][i]: gate i computes output m
    int vars_ = 0;
    std::array<std::array<int, 32>, max_gates> value_{};
    std::map<std::array<int, 3>, int> select_;
    std::array<std::array<int, 4>, max_gates> op_{};
    std::vector<std::vector<int>> clauses_;
};

}  // namespace npn5gen
