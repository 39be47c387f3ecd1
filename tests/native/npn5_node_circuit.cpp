// Circuits in node form: the word order's adaptors against their definition,
// and the circuit built from each queried record, evaluated gate by gate on all
// 32 inputs, against the table it was asked for (constants, projections,
// functions of fewer variables and random functions), with its promises (a
// smallest circuit, earlier operands, only the variables the function reads).
#include "check.hpp"
#include "npn5/node_circuit.hpp"
#include "npn5/queries.hpp"
#include "npn5/word.hpp"

#include <array>
#include <cstdint>
#include <random>
#include <vector>

using namespace native_test;
namespace npn5 = vexil::npn5;

namespace {

using Entries = std::array<std::uint8_t, 32>;

// Entry x of `rule` as a table of five variables, variable v = bit v of x.
template <class Rule>
Entries entries_of(Rule&& rule) {
    Entries e{};
    for (unsigned x = 0; x < 32; ++x) e[x] = rule(x) ? 1 : 0;
    return e;
}

void check_adaptors(std::mt19937_64& rng) {
    for (int i = 0; i < 1000; ++i) {
        const std::uint64_t table = rng();
        for (unsigned n = 0; n <= 5; ++n) {
            // Entry k at bit 31 - k, the table read at x mod 2^n (the variables from n on ignored).
            npn5::Word want = 0;
            std::uint32_t widened = 0;
            for (unsigned k = 0; k < 32; ++k) {
                const std::uint32_t entry = (table >> (k % (1u << n))) & 1u;
                want |= entry << (31 - k);
                widened |= entry << k;
            }
            CHECK_EQ(npn5::word_of_table(table, n), want, "n = %u", n);
            CHECK_EQ(npn5::table_of_word(want), widened, "n = %u", n);
        }
        const Entries e = entries_of([&](unsigned x) { return ((table >> x) & 1u) != 0; });
        CHECK_EQ(npn5::word_of_entries(e), npn5::word_of_table(table));
        CHECK_EQ(npn5::table_of_word(npn5::word_of_table(table)), static_cast<std::uint32_t>(table));
    }
    // Variable v is the database's input x(5 - v).
    for (unsigned v = 0; v < 5; ++v) {
        CHECK_EQ(npn5::word_of_entries(entries_of([v](unsigned x) { return ((x >> v) & 1u) != 0; })),
                 npn5::base_values[5 - v]);
    }
}

// The circuit's value at x, one gate at a time.
bool value_at(const npn5::NodeCircuit& c, unsigned x) {
    if (c.constant) return c.negated;
    std::vector<bool> node(5 + c.gates.size());
    for (unsigned v = 0; v < 5; ++v) node[v] = ((x >> v) & 1u) != 0;
    for (std::size_t i = 0; i < c.gates.size(); ++i) {
        const npn5::NodeGate& g = c.gates[i];
        node[5 + i] = ((g.op >> (2 * static_cast<unsigned>(node[g.b]) + static_cast<unsigned>(node[g.a]))) & 1u) != 0;
    }
    return node[c.output] != c.negated;
}

// Variable v matters to e.
bool reads(const Entries& e, unsigned v) {
    for (unsigned x = 0; x < 32; ++x) {
        if (e[x] != e[x ^ (1u << v)]) return true;
    }
    return false;
}

void check_circuit(const Entries& e) {
    const npn5::NodeCircuit c = npn5::minimal_node_circuit(e);
    bool same = true;
    for (unsigned x = 0; x < 32; ++x) same = same && value_at(c, x) == (e[x] != 0);
    const npn5::Word word = npn5::word_of_entries(e);
    CHECK(same, "the circuit of %08x computes it", word);
    CHECK_EQ(c.gates.size(), std::size_t{npn5::minimal_gates_query(word).gate_count}, "%08x", word);
    for (std::size_t i = 0; i < c.gates.size(); ++i) {
        const npn5::NodeGate& g = c.gates[i];
        CHECK(g.a < 5 + i && g.b < 5 + i && g.a != g.b && g.op < 16, "gate %zu of %08x", i, word);
        for (const unsigned operand : {g.a, g.b}) {
            CHECK(operand >= 5 || reads(e, operand), "gate %zu of %08x reads an ignored variable", i, word);
        }
    }
    CHECK(c.constant || c.output < 5 + c.gates.size(), "the output of %08x", word);
}

}  // namespace

int main() {
    std::mt19937_64 rng(5);
    check_adaptors(rng);
    std::vector<Entries> tables = {entries_of([](unsigned) { return false; }),
                                   entries_of([](unsigned) { return true; })};
    for (unsigned v = 0; v < 5; ++v) {
        for (const bool negated : {false, true}) {
            tables.push_back(entries_of([=](unsigned x) { return (((x >> v) & 1u) != 0) != negated; }));
        }
    }
    for (int i = 0; i < 20000; ++i) {
        // Functions of the first n variables (n = 2..5), and of a random subset of them.
        const unsigned n = 2 + static_cast<unsigned>(i % 4);
        const std::uint64_t bits = rng();
        const unsigned subset = static_cast<unsigned>(rng() % 32);
        tables.push_back(entries_of([&](unsigned x) { return ((bits >> (x % (1u << n))) & 1u) != 0; }));
        tables.push_back(entries_of([&](unsigned x) { return ((bits >> (x & subset)) & 1u) != 0; }));
    }
    for (const Entries& e : tables) check_circuit(e);
    return finish("npn5_node_circuit");
}
