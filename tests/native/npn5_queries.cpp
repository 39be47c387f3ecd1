// The five-input queries: the rewrite table, carrying circuits through
// transforms, the query answers on known functions, NPN invariance, and the
// consistency check that ends the process.
#include "npn5/canonise.hpp"
#include "npn5/circuit.hpp"
#include "npn5/database.hpp"
#include "npn5/function_queries.hpp"
#include "npn5/queries.hpp"
#include "npn5_brute.hpp"

#include <sys/wait.h>
#include <unistd.h>

#include <array>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

using namespace vexil::npn5;

namespace {

int failures = 0;

void check(bool ok, const char* what, unsigned long detail = 0) {
    if (!ok && ++failures <= 20) std::fprintf(stderr, "FAIL %s (%lx)\n", what, detail);
}

constexpr std::array<Word, 5> inputs = {input_x1, input_x2, input_x3, input_x4, input_x5};

// With operands taken complemented as a gate word's bits 3 and 9 say, the gate
// computes the rewritten operator on the plain operands, complemented when the
// rewrite sets bit 15.
void check_rewrite_table(const RewriteTable& rewrite) {
    const Word a = 0x3C5A96F0, b = 0x0FF0A5C3;
    for (unsigned anf = 0; anf < 8; ++anf) {
        for (unsigned flags : {0u, 0x8u, 0x200u, 0x208u}) {
            auto gate = [](unsigned f, Word x, Word y) {
                return ((f & 4) ? x & y : 0) ^ ((f & 2) ? y : 0) ^ ((f & 1) ? x : 0);
            };
            const Word want = gate(anf, (flags & 0x8) ? ~a : a, (flags & 0x200) ? ~b : b);
            const unsigned w = (anf | flags) ^ rewrite[anf | flags];
            const Word got = gate(w & 7, a, b) ^ ((w & 0x8000) ? ~Word{0} : 0);
            check(got == want, "rewrite keeps the gate's function", anf | flags);
        }
    }
}

// Carrying a stored circuit through any transform computes the transformed
// word; records of 0 gates (constant, x1) included.
void check_carried_circuits(GateDatabase& db, std::mt19937_64& rng) {
    static const auto transforms = npn5_brute::all_input_transforms();
    struct Entry {
        Word key;
        CircuitRecord record;
    };
    std::vector<Entry> entries = {{0, db.lookup(0)}, {input_x1, db.lookup(input_x1)}};
    db.for_each_decoded([&](Word key, const CircuitRecord& record) { entries.push_back({key, record}); });
    for (int trial = 0; trial < 20000; ++trial) {
        const Entry& entry = trial < 2 ? entries[static_cast<std::size_t>(trial)] : entries[rng() % entries.size()];
        auto raw = transforms[rng() % transforms.size()];
        raw[0] = static_cast<std::int16_t>(rng() & 1);
        NpnTransform t;
        t.entries = raw;
        CircuitRecord carried = entry.record;
        apply_transform(carried, t);
        const Word want = npn5_brute::apply_transform_rows(entry.key, raw);
        check(evaluate_circuit(carried, db.rewrite_table()) == want, "carried circuit computes the word", entry.key);
        check(carried.gate_count == entry.record.gate_count, "carrying keeps the gate count", entry.key);
    }
}

unsigned gates(Word a) { return minimal_gates_query(a).gate_count; }

void check_known_answers() {
    check(gates(0) == 0 && gates(0xFFFFFFFF) == 0, "constants need no gate");
    check(minimal_gates_query(0xFFFFFFFF).output == 1, "constant 1 is the complemented constant");
    for (Word x : inputs) check(gates(x) == 0 && gates(~x) == 0, "an input needs no gate", x);
    for (std::size_t i = 0; i < 5; ++i) {
        for (std::size_t j = i + 1; j < 5; ++j) {
            for (unsigned signs = 0; signs < 8; ++signs) {
                const Word a = (signs & 1) ? ~inputs[i] : inputs[i];
                const Word b = (signs & 2) ? ~inputs[j] : inputs[j];
                const Word out = (signs & 4) ? ~Word{0} : 0;
                check(gates((a & b) ^ out) == 1, "AND of two inputs is one gate", i * 5 + j);
                check(gates((a ^ b) ^ out) == 1, "XOR of two inputs is one gate", i * 5 + j);
                check(gates((a | b) ^ out) == 1, "OR of two inputs is one gate", i * 5 + j);
            }
        }
    }
    check(gates(parity5) == 4 && gates(~parity5) == 4, "parity of five inputs is four gates");
    check(representative_query(parity5) == parity5 && representative_query(~parity5) == parity5,
          "parity is its own representative");
    check(representative_query(0xFFFFFFFF) == 0, "constant 1 has representative 0");
}

// Every member of a class gets the same gate count and representative, and the
// representative is its own representative.
void check_invariance(std::mt19937_64& rng) {
    static const auto transforms = npn5_brute::all_input_transforms();
    for (int trial = 0; trial < 2000; ++trial) {
        const auto f = static_cast<Word>(rng());
        const unsigned g = gates(f);
        const Word r = representative_query(f);
        check(representative_query(r) == r, "representative is a fixed point", f);
        for (int k = 0; k < 8; ++k) {
            auto raw = transforms[rng() % transforms.size()];
            raw[0] = static_cast<std::int16_t>(rng() & 1);
            const Word member = npn5_brute::apply_transform_rows(f, raw);
            check(gates(member) == g, "gate count is an NPN invariant", f);
            check(representative_query(member) == r, "representative is an NPN invariant", f);
        }
    }
}

void check_tables() {
    std::vector<std::uint8_t> entries(32);
    for (std::size_t k = 0; k < 32; ++k) entries[k] = static_cast<std::uint8_t>((parity5 >> (31 - k)) & 1);
    check(word_of_entries(std::span<const std::uint8_t, 32>(entries.data(), 32)) == parity5, "entry k is bit 31 - k");
    check(minimal_gates(vexil::FValue(std::vector<std::uint8_t>(32, 1))) == 0u, "table of constant 1");
    const auto rep = npn_representant(vexil::FValue(entries));
    check(rep.has_value() && rep->size() == 32, "representant has 32 entries");
    for (std::size_t i = 0; rep && i < 32; ++i) {
        check(rep->entries()[i] == ((parity5 >> i) & 1), "representant entry i is bit i", i);
    }
    for (std::size_t size : {1u, 16u, 64u}) {
        const vexil::FValue f(std::vector<std::uint8_t>(size, 0));
        check(!minimal_gates(f).has_value() && !npn_representant(f).has_value(), "only five inputs answer", size);
    }
}

// A database without the class of x1 ^ x2: the query must print the failed
// check and end the process with status 1.
void check_disaster() {
    int pipe_fds[2];
    if (pipe(pipe_fds) != 0) {
        check(false, "pipe");
        return;
    }
    const pid_t child = fork();
    if (child == 0) {
        dup2(pipe_fds[1], 2);
        const auto db = GateDatabase::build(nullptr, 0);
        minimal_gates_query(*db, input_x2 ^ input_x3);
        _exit(0);
    }
    close(pipe_fds[1]);
    std::string err;
    char buffer[256];
    for (ssize_t n; (n = read(pipe_fds[0], buffer, sizeof buffer)) > 0;) {
        err.append(buffer, static_cast<std::size_t>(n));
    }
    close(pipe_fds[0]);
    int status = 0;
    waitpid(child, &status, 0);
    const Word a = input_x2 ^ input_x3;
    const std::string want =
        "Major disaster! 0 != " + std::to_string(a) + " (canonised " + std::to_string(0x00FFFF00u) + ")\n";
    check(WIFEXITED(status) && WEXITSTATUS(status) == 1, "disaster exits with status 1",
          static_cast<unsigned long>(status));
    check(err == want, "disaster message");
    if (err != want) std::fprintf(stderr, "  got: %s", err.c_str());
}

}  // namespace

int main() {
    std::mt19937_64 rng(99);
    check_disaster();
    GateDatabase& db = gate_database();
    check_rewrite_table(db.rewrite_table());
    check_carried_circuits(db, rng);
    check_known_answers();
    check_invariance(rng);
    check_tables();
    std::printf("npn5_queries: %s\n", failures == 0 ? "ok" : "FAILED");
    return failures == 0 ? 0 : 1;
}
