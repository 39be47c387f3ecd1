// Building blocks of the circuit-image generator (tools/npn5gen): the orbit
// walk and its transforms, class keys and frames, the builder that assembles
// circuits, and the expression parser. Words, transforms and the record codec
// come from the run-time library; npn5_codec tests those.
#include <cstdio>
#include <cstdlib>
#include <random>
#include <set>
#include <string>

#include "check.hpp"
#include "npn5_brute.hpp"
#include "tools/npn5gen/builder.hpp"
#include "tools/npn5gen/class_key.hpp"
#include "tools/npn5gen/formula.hpp"
#include "tools/npn5gen/orbit.hpp"

using namespace npn5gen;

namespace {

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

// The word a(x) = c(y) XOR t[0], row by row (the reference of tests/native).
Word transformed(Word c, const NpnTransform& t) { return npn5_brute::apply_transform_rows(c, t); }

NpnTransform random_transform(std::mt19937& rng) {
    NpnTransform t = orbit_walk().xf[rng() % kOrbitSteps];
    t[0] = static_cast<std::int16_t>(rng() & 1u);
    return t;
}

// A random circuit in stored form, possibly with repeated and useless gates.
CircuitRecord random_circuit(std::mt19937& rng) {
    CircuitRecord c;
    c.gate_count = static_cast<std::uint8_t>(1 + rng() % 12);
    for (unsigned i = 0; i < c.gate_count; ++i) {
        const unsigned a = 1 + static_cast<unsigned>(rng() % (5 + i));
        unsigned b = 1 + static_cast<unsigned>(rng() % (4 + i));
        if (b >= a) {
            ++b;
        }
        c.gates[i] = make_gate(anf_of_operator(static_cast<unsigned>(rng() % 4)), a, b);
    }
    c.output = last_gate_output(c.gate_count);
    return c;
}

void test_inputs_and_elementary_steps(std::mt19937& rng) {
    CHECK(from_rows([](unsigned r) { return bit(r, 0) != 0; }) == input_word(0), "x1 word");
    CHECK(from_rows([](unsigned r) { return bit(r, 4) != 0; }) == input_word(4), "x5 word");
    for (int trial = 0; trial < 200; ++trial) {
        const Word f = static_cast<Word>(rng());
        for (int k = 0; k < 5; ++k) {
            NpnTransform t;
            t[static_cast<std::size_t>(k + 1)] = static_cast<std::int16_t>(-(k + 1));
            CHECK(flip_input(f, k) == transformed(f, t), "flip_input %d on %08x", k, f);
            CHECK(cofactor0(flip_input(f, k), k) == cofactor1(f, k), "cofactors trade places under a complement");
            // f = x_k ? f1 : f0 on every row.
            CHECK(((cofactor1(f, k) & input_word(k)) | (cofactor0(f, k) & ~input_word(k))) == f,
                  "Shannon expansion on input %d", k);
        }
        for (const auto& p : kPairs) {
            NpnTransform t;
            t[p[0] + 1u] = static_cast<std::int16_t>(p[1] + 1);
            t[p[1] + 1u] = static_cast<std::int16_t>(p[0] + 1);
            CHECK(swap_inputs(f, p[0], p[1]) == transformed(f, t), "swap_inputs %d %d on %08x", p[0], p[1], f);
        }
    }
}

void test_orbit_walk(std::mt19937& rng) {
    const OrbitWalk& walk = orbit_walk();
    std::set<std::array<std::int16_t, 6>> seen;
    for (const NpnTransform& t : walk.xf) {
        seen.insert(t.entries);
    }
    CHECK(seen.size() == static_cast<std::size_t>(kOrbitSteps), "walk visits 3,840 distinct transforms");
    for (int trial = 0; trial < 20; ++trial) {
        const Word f = static_cast<Word>(rng());
        Word w = f;
        bool ok = transformed(f, walk.xf[0]) == f;
        for (int s = 0; s < kOrbitSteps - 1; ++s) {
            w = walk_step(w, walk.step[static_cast<std::size_t>(s)]);
            ok = ok && transformed(f, walk.xf[static_cast<std::size_t>(s + 1)]) == w;
        }
        CHECK(ok, "walked word equals its transform applied to %08x", f);
        const int steps = static_cast<int>(rng() % kOrbitSteps);
        CHECK(walk_to(f, steps) == transformed(f, walk.xf[static_cast<std::size_t>(steps)]), "walk_to %d steps", steps);
    }
}

// The key of any word, through its normal form (a class holds both polarities).
Word key_any(Word f) { return key_of(normalise(f)); }

void test_class_keys(std::mt19937& rng) {
    // Published class representatives: the one class that needs 12 gates, and an
    // example class with the transform that reaches one of its members.
    CHECK(key_any(0x169ae443u) == 0x169ae443u, "0x169ae443 is canonical");
    CHECK(key_any(0x87654321u) == 0x011e66aau, "class of 0x87654321");
    CHECK(key_any(0x12345678u) == 0x011e66aau, "class of 0x12345678");
    for (int k = 0; k < 5; ++k) {
        CHECK(key_any(input_word(k)) == 0x0000FFFFu, "input is in class x1");
        CHECK(key_any(~input_word(k)) == 0x0000FFFFu, "complemented input");
    }
    CHECK(key_any(0xFFFFFFFFu) == 0, "constant 1");
    CHECK(key_any(input_word(0) & input_word(1)) == 0x000000FFu, "x1 & x2 class");
    for (int trial = 0; trial < 50; ++trial) {
        const Word f = normalise(static_cast<Word>(rng()));
        const ClassKey c = class_key(f);
        CHECK(c.word == key_of(f), "class_key and key_of agree on %08x", f);
        CHECK(transformed(f, c.to_key) == c.word, "the frame's transform reaches the key from %08x", f);
        CHECK(is_normal(c.word), "key is normal");
        // Any transform of f, and its complement, has the same key.
        CHECK(key_any(transformed(f, random_transform(rng))) == c.word, "key is a class invariant for %08x", f);
        // The class minimum, by the plain reference over every transform.
        CHECK(c.word == npn5_brute::canon_by_rows(f), "key of %08x is the smallest word of its class", f);
    }
    // The frame depends on the key, not on the word of the class it comes from
    // up to the walk: from the key itself it is the identity.
    for (Word key : {Word{0x169ae443u}, Word{0x011e66aau}, Word{0x000000FFu}}) {
        CHECK(class_key(key).to_key == NpnTransform{}, "the frame of a key is the identity (%08x)", key);
    }
    bool threw = false;
    try {
        key_of(0x80000000u);
    } catch (const std::logic_error&) {
        threw = true;
    }
    CHECK(threw, "a word with bit 31 set has no key");
}

void test_builder(std::mt19937& rng) {
    for (int trial = 0; trial < 300; ++trial) {
        const CircuitRecord c = random_circuit(rng);
        const Word f = circuit_value(c);
        const NpnTransform t = random_transform(rng);
        const Word target = normalise(transformed(f, t));
        Builder b;
        Lit out = b.emit(c, t);
        CHECK(b.value(out) == transformed(f, t), "builder literal carries the transformed function");
        if (b.value(out) != target) {
            out = ~out;
        }
        if (!Builder::is_gate(out)) {
            continue;  // the circuit computes a constant or an input
        }
        const auto d = b.finish(out);
        CHECK(d.has_value() && encode_record(*d).has_value(), "finished circuit is in stored form");
        if (d) {
            CHECK(circuit_value(*d) == target, "finished circuit computes the transformed function");
            CHECK(d->gate_count <= c.gate_count, "finishing never adds gates");
        }
    }
    // The built-in classes are circuits of no gates: an input or the constant.
    Builder z;
    NpnTransform t;
    t[1] = -3;
    t[0] = 1;
    CHECK(z.emit(builtin_x1_record, t) == Builder::input(2), "x1 under x1 := ~x3, complemented output");
    CHECK(z.emit(builtin_zero_record, t) == ~Builder::constant(), "the constant 0 complemented");
    // Gates that compute the same value, or its complement, merge into one.
    Builder b;
    const Lit p = b.gate(Builder::input(0), Builder::input(1), kTtAnd);
    const Lit q = b.gate(Builder::input(1), Builder::input(0), kTtAnd);
    const Lit nq = b.gate(~Builder::input(0), ~Builder::input(1), 14);  // ~x1 | ~x2
    CHECK(p.ref == q.ref && !q.neg && nq.ref == p.ref && nq.neg, "equal and complementary gates merge");
    const Lit x = b.gate(p, ~p, kTtOr);
    CHECK(x == ~Builder::constant(), "p | ~p is the constant 1");
    const Lit s = b.gate(Builder::input(2), b.gate(Builder::input(3), Builder::input(2), kTtXor), kTtXor);
    CHECK(s == Builder::input(3), "x3 ^ (x4 ^ x3) is the input x4");
    const auto one = b.finish(b.gate(~p, Builder::input(4), kTtAnd));
    CHECK(one && one->gate_count == 2 && circuit_value(*one) == (~(input_word(0) & input_word(1)) & input_word(4)),
          "complement absorbed by the consuming gate");
    // b & ~a is stored as AND NOT with the operands exchanged.
    Builder e;
    const auto swapped = e.finish(e.gate(Builder::input(0), Builder::input(1), 2));
    CHECK(swapped && swapped->gates[0] == make_gate(anf_of_operator(record_and_not), 2, 1),
          "~x1 & x2 is x2 AND NOT x1");
}

// The searches' operators against their definitions.
void test_normal_operators(std::mt19937& rng) {
    for (int trial = 0; trial < 100; ++trial) {
        const Word g = static_cast<Word>(rng());
        const Word h = static_cast<Word>(rng());
        const std::array<Word, 5> want = {g & h, g & ~h, ~g & h, g | h, g ^ h};
        for (std::size_t q = 0; q < 5; ++q) {
            CHECK(normal_op(q, g, h) == want[q], "normal operator %zu", q);
            CHECK(combine(kNormalTt[q], g, h) == want[q], "truth table of normal operator %zu", q);
        }
        for (unsigned op = 0; op < 4; ++op) {
            const unsigned anf = anf_of_operator(op);
            CHECK(combine(tt_of_anf(anf), g, h) == apply_anf(anf, g, h), "truth table of record operator %u", op);
        }
    }
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
    return {v, c ? c->gate_count : -1};
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
    const Word x1 = input_word(0), x2 = input_word(1), x3 = input_word(2), x4 = input_word(3), x5 = input_word(4);
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
        CHECK(p.value == c.value, "value of %s: %08x", c.text, p.value);
        CHECK(p.gates == c.gates, "gates of %s: %d", c.text, p.gates);
    }
    for (const char* bad :
         {"", "x6", "bq[x1,x2]", "ba[x1]", "bn[x1,x2,x3]", "c[x1,x2]", "ba[x1,x2", "ba[x1,x2]]", "ba(x1,x2)"}) {
        CHECK(rejects(bad), "rejected: %s", bad);
    }
}

}  // namespace

int main() {
    std::mt19937 rng(20240611);
    test_inputs_and_elementary_steps(rng);
    test_orbit_walk(rng);
    test_class_keys(rng);
    test_builder(rng);
    test_normal_operators(rng);
    test_formulas();
    return native_test::finish("npn5gen_blocks");
}
