// Building blocks of the circuit-image generator (tools/npn5gen): transforms and
// the orbit walk, canonical words, circuit evaluation, the 15-byte record, and
// the builder that assembles circuits.
#include <cstdio>
#include <cstdlib>
#include <random>
#include <set>
#include <string>

#include "tools/npn5gen/circuit.hpp"
#include "tools/npn5gen/formula.hpp"
#include "tools/npn5gen/words.hpp"

using namespace npn5gen;

namespace {

int failures = 0;

void check(bool ok, const std::string& what) {
    if (!ok) {
        ++failures;
        std::fprintf(stderr, "FAIL: %s\n", what.c_str());
    }
}

std::string hex(Word w) {
    char b[16];
    std::snprintf(b, sizeof b, "%08x", w);
    return b;
}

// Reference evaluation of a function given row by row.
Word from_rows(bool (*f)(unsigned)) {
    Word w = 0;
    for (unsigned row = 0; row < 32; ++row) {
        if (f(row)) {
            w |= 1u << (31 - row);
        }
    }
    return w;
}

unsigned bit(unsigned row, int input) { return (row >> (4 - input)) & 1u; }

void test_inputs_and_elementary_steps(std::mt19937& rng) {
    check(from_rows([](unsigned r) { return bit(r, 0) != 0; }) == kInput[0], "x1 word");
    check(from_rows([](unsigned r) { return bit(r, 4) != 0; }) == kInput[4], "x5 word");
    for (int trial = 0; trial < 200; ++trial) {
        const Word f = static_cast<Word>(rng());
        for (int k = 0; k < 5; ++k) {
            Transform t;
            t.neg = static_cast<std::uint8_t>(1u << k);
            check(flip_input(f, k) == apply(t, f), "flip_input " + std::to_string(k) + " on " + hex(f));
            check(cofactor0(flip_input(f, k), k) == cofactor1(f, k), "cofactors trade places under a complement");
            // f = x_k ? f1 : f0 on every row.
            check(((cofactor1(f, k) & kInput[static_cast<std::size_t>(k)]) |
                   (cofactor0(f, k) & ~kInput[static_cast<std::size_t>(k)])) == f,
                  "Shannon expansion on input " + std::to_string(k));
        }
        for (const auto& p : kPairs) {
            Transform t;
            t.src[p[0]] = p[1];
            t.src[p[1]] = p[0];
            check(swap_inputs(f, p[0], p[1]) == apply(t, f), "swap_inputs on " + hex(f));
        }
    }
}

void test_orbit_walk(std::mt19937& rng) {
    const OrbitWalk& walk = orbit_walk();
    std::set<std::pair<std::array<std::uint8_t, 5>, std::uint8_t>> seen;
    for (const Transform& t : walk.xf) {
        seen.insert({t.src, t.neg});
    }
    check(seen.size() == static_cast<std::size_t>(kOrbitSteps), "walk visits 3,840 distinct transforms");
    for (int trial = 0; trial < 20; ++trial) {
        const Word f = static_cast<Word>(rng());
        Word w = f;
        bool ok = apply(walk.xf[0], f) == f;
        for (int s = 0; s < kOrbitSteps - 1; ++s) {
            w = walk_step(w, walk.step[static_cast<std::size_t>(s)]);
            ok = ok && apply(walk.xf[static_cast<std::size_t>(s + 1)], f) == w;
        }
        check(ok, "walked word equals its transform applied to " + hex(f));
    }
}

void test_canonical(std::mt19937& rng) {
    // Published class representatives: the one class that needs 12 gates, and an
    // example class with the transform that reaches one of its members.
    check(canonical_brute(0x169ae443u).word == 0x169ae443u, "0x169ae443 is canonical");
    check(canonical_brute(0x87654321u).word == 0x011e66aau, "class of 0x87654321");
    check(canonical_brute(0x12345678u).word == 0x011e66aau, "class of 0x12345678");
    for (int k = 0; k < 5; ++k) {
        check(canonical_brute(kInput[static_cast<std::size_t>(k)]).word == 0x0000FFFFu, "input is in class x1");
        check(canonical_brute(~kInput[static_cast<std::size_t>(k)]).word == 0x0000FFFFu, "complemented input");
    }
    check(canonical_brute(0xFFFFFFFFu).word == 0, "constant 1");
    check(canonical_brute(kInput[0] & kInput[1]).word == 0x000000FFu, "x1 & x2 class");
    for (int trial = 0; trial < 50; ++trial) {
        const Word f = static_cast<Word>(rng());
        const Canonical c = canonical_brute(f);
        check(apply(c.xf, f) == c.word, "canonical transform reaches the word for " + hex(f));
        check(is_normal(c.word), "canonical word is normal");
        // Any transform of f, and its complement, has the same canonical word.
        Transform t;
        t.src = {3, 0, 4, 1, 2};
        t.neg = static_cast<std::uint8_t>(rng() & 31u);
        t.out = (rng() & 1u) != 0;
        check(canonical_brute(apply(t, f)).word == c.word, "canonical word is a class invariant for " + hex(f));
        // The class minimum: no transform gives a smaller normal word.
        for (const Transform& u : orbit_walk().xf) {
            if (normalise(apply(u, f)) < c.word) {
                check(false, "word below the canonical one for " + hex(f));
                break;
            }
        }
    }
}

void test_circuits_and_records() {
    // x1 ^ x2, then (x1 ^ x2) & ~x3, then | x5.
    Circuit c;
    c.n = 3;
    c.code[0] = gate_code(0, 1, kXor);
    c.code[1] = gate_code(5, 2, kAndNot);
    c.code[2] = gate_code(6, 4, kOr);
    check(well_formed(c), "small circuit is well formed");
    check(evaluate(c) == (((kInput[0] ^ kInput[1]) & ~kInput[2]) | kInput[4]), "evaluation");
    const Record r = encode_record(c);
    // Code 0 = 0x210 sits in bits 0-9, code 1 = 0x325 in bits 10-19, code 2 = 0x146 in bits 20-29.
    const std::uint64_t g0 = 0x210u | (0x325ull << 10) | (0x146ull << 20);
    bool bytes_ok = true;
    for (int b = 0; b < 15; ++b) {
        const std::uint8_t want = b < 5 ? static_cast<std::uint8_t>(g0 >> (8 * b)) : 0;
        bytes_ok = bytes_ok && r[static_cast<std::size_t>(b)] == want;
    }
    check(bytes_ok, "record bytes of a three-gate circuit");
    check(decode_record(r.data()) == c, "record round trip");

    Circuit full;
    full.n = 12;
    for (unsigned i = 0; i < 12; ++i) {
        full.code[i] = gate_code(i == 0 ? 0 : 4 + i, i == 0 ? 1 : 3, static_cast<unsigned>(i % 4));
    }
    check(well_formed(full) && decode_record(encode_record(full).data()) == full, "twelve-gate round trip");

    Circuit bad = c;
    bad.code[1] = gate_code(7, 2, kAnd);  // refers to a later gate
    check(!well_formed(bad), "forward reference is rejected");
    bad = c;
    bad.code[0] = gate_code(3, 3, kXor);
    check(!well_formed(bad), "equal operands are rejected");
    bad = c;
    bad.code[4] = gate_code(0, 1, kAnd);  // a code after the end
    check(!well_formed(bad), "code after the first zero is rejected");
    Circuit gap = c;
    gap.code[1] = 0;  // a zero code with a gate after it
    const Circuit read = decode_record(encode_record(gap).data());
    check(read.n == 1 && read.code[2] == c.code[2] && !well_formed(read), "decode stops at the first zero code");
}

void test_builder(std::mt19937& rng) {
    for (int trial = 0; trial < 300; ++trial) {
        // A random circuit, possibly with repeated and useless gates.
        Circuit c;
        c.n = static_cast<std::uint8_t>(1 + rng() % 12);
        for (unsigned i = 0; i < c.n; ++i) {
            const unsigned a = static_cast<unsigned>(rng() % (5 + i));
            unsigned b = static_cast<unsigned>(rng() % (4 + i));
            if (b >= a) {
                ++b;
            }
            c.code[i] = gate_code(a, b, static_cast<unsigned>(rng() % 4));
        }
        const Word f = evaluate(c);
        Transform t = orbit_walk().xf[rng() % kOrbitSteps];
        t.out = (rng() & 1u) != 0;
        const Word target = normalise(apply(t, f));
        Builder b;
        Lit out = b.emit(c, t);
        check(b.value(out) == apply(t, f), "builder literal carries the transformed function");
        if (b.value(out) != target) {
            out = ~out;
        }
        if (out.ref < 5 || out.ref == Builder::kConstRef) {
            continue;  // the circuit computes a constant or an input
        }
        const auto d = b.finish(out);
        check(d.has_value() && well_formed(*d), "finished circuit is well formed");
        if (d) {
            check(evaluate(*d) == target, "finished circuit computes the transformed function");
            check(d->n <= c.n, "finishing never adds gates");
        }
    }
    // Gates that compute the same value, or its complement, merge into one.
    Builder b;
    const Lit p = b.gate(Builder::input(0), Builder::input(1), kTtAnd);
    const Lit q = b.gate(Builder::input(1), Builder::input(0), kTtAnd);
    const Lit nq = b.gate(~Builder::input(0), ~Builder::input(1), 14);  // ~x1 | ~x2
    check(p.ref == q.ref && !q.neg && nq.ref == p.ref && nq.neg, "equal and complementary gates merge");
    const Lit x = b.gate(p, ~p, kTtOr);
    check(x.ref == Builder::kConstRef && x.neg, "p | ~p is the constant 1");
    const Lit s = b.gate(Builder::input(2), b.gate(Builder::input(3), Builder::input(2), kTtXor), kTtXor);
    check(s.ref == 3 && !s.neg, "x3 ^ (x4 ^ x3) is the input x4");
    const auto one = b.finish(b.gate(~p, Builder::input(4), kTtAnd));
    check(one && one->n == 2 && evaluate(*one) == (~(kInput[0] & kInput[1]) & kInput[4]),
          "complement absorbed by the consuming gate");
}

struct Parsed {
    Word value;
    int gates;
};

Parsed parse(const std::string& text) {
    Builder b;
    Lit out = FormulaParser(text, b).parse();
    const Word v = b.value(out);
    out.neg = false;
    const auto c = b.finish(out);
    return {v, c ? c->n : -1};
}

bool rejects(const std::string& text) {
    try {
        parse(text);
    } catch (const std::invalid_argument&) {
        return true;
    }
    return false;
}

void test_formulas() {
    const Word x1 = kInput[0], x2 = kInput[1], x3 = kInput[2], x4 = kInput[3], x5 = kInput[4];
    struct Case {
        const char* text;
        Word value;
        int gates;
    };
    const Case cases[] = {
        {"ba[x1,x2]", x1 & x2, 1},
        {"bo[x1, cx2]", x1 | ~x2, 1},
        {"bn[x3,x5]", x3 & ~x5, 1},
        {"bn[x5,x3]", x5 & ~x3, 1},
        {"c[bx[x4,x5]]", ~(x4 ^ x5), 1},
        {"bx[x1,x2,x3,x4,x5]", x1 ^ x2 ^ x3 ^ x4 ^ x5, 4},
        // The repeated subexpression is one gate.
        {"bo[ba[bx[x1,x2],x3],ba[bx[x1,x2],x4]]", ((x1 ^ x2) & x3) | ((x1 ^ x2) & x4), 4},
        // A left fold builds x1 ^ x2 although x2 ^ x3 is shared: four gates, not three.
        {"ba[bx[x1,x2,x3],bx[x2,x3]]", (x1 ^ x2 ^ x3) & (x2 ^ x3), 4},
        {"ba[bx[x1,bx[x2,x3]],bx[x2,x3]]", (x1 ^ x2 ^ x3) & (x2 ^ x3), 3},
    };
    for (const Case& c : cases) {
        const Parsed p = parse(c.text);
        check(p.value == c.value, std::string("value of ") + c.text + ": " + hex(p.value));
        check(p.gates == c.gates, std::string("gates of ") + c.text + ": " + std::to_string(p.gates));
    }
    for (const char* bad :
         {"", "x6", "bq[x1,x2]", "ba[x1]", "bn[x1,x2,x3]", "c[x1,x2]", "ba[x1,x2", "ba[x1,x2]]", "ba(x1,x2)"}) {
        check(rejects(bad), std::string("rejected: ") + bad);
    }
}

}  // namespace

int main() {
    std::mt19937 rng(20240611);
    test_inputs_and_elementary_steps(rng);
    test_orbit_walk(rng);
    test_canonical(rng);
    test_circuits_and_records();
    test_builder(rng);
    test_formulas();
    if (failures != 0) {
        std::fprintf(stderr, "%d failures\n", failures);
        return 1;
    }
    std::printf("npn5gen blocks: all checks passed\n");
    return 0;
}
