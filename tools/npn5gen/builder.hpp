// The builder that assembles a circuit from the circuits of its parts, and the
// operators the searches combine words with. Circuits are the run-time
// library's CircuitRecord in stored form (encode_record accepts them).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>

#include "runtime.hpp"

namespace npn5gen {

// Two-input truth tables over (a, b): bit 2a + b is the output on that row.
inline constexpr unsigned kTtAnd = 8, kTtOr = 14, kTtXor = 6, kTtAndNot = 4;

constexpr Word combine(unsigned tt, Word a, Word b) {
    Word r = 0;
    if (tt & 1u) {
        r |= ~a & ~b;
    }
    if (tt & 2u) {
        r |= ~a & b;
    }
    if (tt & 4u) {
        r |= a & ~b;
    }
    if (tt & 8u) {
        r |= a & b;
    }
    return r;
}

// The truth table of an operator given as its algebraic normal form.
constexpr unsigned tt_of_anf(unsigned anf) { return apply_anf(anf, 0xCu, 0xAu) & 0xFu; }

// The five operators that keep normal words normal: g & h, g & ~h, ~g & h,
// g | h, g ^ h, and their truth tables for the builder. Written out rather than
// through apply_anf: the chain search evaluates them 10^12 times.
inline constexpr std::array<unsigned, 5> kNormalTt = {kTtAnd, kTtAndNot, 2, kTtOr, kTtXor};

constexpr Word normal_op(std::size_t q, Word g, Word h) {
    switch (q) {
        case 0:
            return g & h;
        case 1:
            return g & ~h;
        case 2:
            return ~g & h;
        case 3:
            return g | h;
        default:
            return g ^ h;
    }
}

// A value of the builder, possibly complemented. ref is a value index as in
// the run-time gate words: 0 the constant 0, 1-5 the inputs, 6 + i gate i.
struct Lit {
    std::uint8_t ref = 0;
    bool neg = false;

    Lit operator~() const { return {ref, !neg}; }
    friend bool operator==(const Lit&, const Lit&) = default;
};

// Assembles circuits gate by gate. Every value it holds is a normal word and no
// two values are equal: a gate whose value (or complement) is already present is
// not added, its literal refers to the existing value instead. Complements stay
// on the literals and are absorbed by the operator of each consuming gate, so the
// finished circuit uses only the four record operators and needs no output complement.
class Builder {
public:
    static constexpr int kCapacity = 96;

    Builder() {
        for (std::size_t i = 0; i < base_values.size(); ++i) {
            value_[i] = base_values[i];
        }
    }

    static Lit input(int k) { return {static_cast<std::uint8_t>(k + 1), false}; }
    static Lit constant() { return {0, false}; }
    static bool is_gate(Lit l) { return l.ref >= 6; }

    Word value(Lit l) const { return l.neg ? ~value_[l.ref] : value_[l.ref]; }

    Lit gate(Lit a, Lit b, unsigned tt) {
        const Word v = combine(tt, value(a), value(b));
        const Word n = normalise(v);
        const bool neg = v != n;
        if (n == 0) {
            return {0, neg};
        }
        for (int i = 1; i < count_; ++i) {
            if (value_[static_cast<std::size_t>(i)] == n) {
                return {static_cast<std::uint8_t>(i), neg};
            }
        }
        // Both operands are distinct stored values here: a constant or repeated
        // operand would have given 0 or an operand's own value.
        if (a.ref == 0 || b.ref == 0) {
            throw std::logic_error("builder: constant operand left over");
        }
        const Word ua = value_[a.ref];
        const Word ub = value_[b.ref];
        GateWord g = 0;
        for (unsigned op = 0; op < 4 && g == 0; ++op) {
            if (apply_anf(anf_of_operator(op), ua, ub) == n) {
                g = make_gate(anf_of_operator(op), a.ref, b.ref);
            }
        }
        if (g == 0 && apply_anf(anf_of_operator(record_and_not), ub, ua) == n) {
            g = make_gate(anf_of_operator(record_and_not), b.ref, a.ref);
        }
        if (g == 0) {
            throw std::logic_error("builder: gate value is no function of its operands");
        }
        if (count_ >= kCapacity + 6) {
            throw std::length_error("builder: too many gates");
        }
        value_[static_cast<std::size_t>(count_)] = n;
        gate_[static_cast<std::size_t>(count_)] = g;
        return {static_cast<std::uint8_t>(count_++), neg};
    }

    // Lays down circuit c with its inputs fed by the given literals; returns its output.
    Lit emit(const CircuitRecord& c, const std::array<Lit, 5>& in) {
        std::array<Lit, 32> local{};  // every five-bit value index
        for (std::size_t k = 0; k < 5; ++k) {
            local[k + 1] = in[k];
        }
        for (std::size_t i = 0; i < c.gate_count && i < max_gates; ++i) {
            const GateWord w = c.gates[i];
            const Lit a = local[gate_operand_a(w)];
            const Lit b = local[gate_operand_b(w)];
            const Lit r = gate((w & gate_complement_a) != 0 ? ~a : a, (w & gate_complement_b) != 0 ? ~b : b,
                               tt_of_anf(gate_anf(w)));
            local[6 + i] = (w & gate_complement_result) != 0 ? ~r : r;
        }
        const Lit out = local[(c.output >> 1) & 0x1Fu];
        return (c.output & 1u) != 0 ? ~out : out;
    }

    // Lays down c under transform t: when c computes w, the result computes
    // a(x) = w(y) XOR t[0] (see NpnTransform).
    Lit emit(const CircuitRecord& c, const NpnTransform& t) {
        std::array<Lit, 5> in{};
        for (std::size_t k = 1; k <= 5; ++k) {
            const int e = t[k];
            in[k - 1] = {static_cast<std::uint8_t>(e < 0 ? -e : e), e < 0};
        }
        const Lit out = emit(c, in);
        return (t[0] & 1) != 0 ? ~out : out;
    }

    // The gates that the output depends on, renumbered in order; nullopt when
    // more than twelve remain. The output must be a gate taken uncomplemented.
    std::optional<CircuitRecord> finish(Lit out) const {
        if (out.neg || !is_gate(out)) {
            throw std::logic_error("builder: output is not a plain gate");
        }
        std::array<bool, kCapacity + 6> used{};
        used[out.ref] = true;
        for (int i = out.ref; i >= 6; --i) {
            if (!used[static_cast<std::size_t>(i)]) {
                continue;
            }
            const GateWord g = gate_[static_cast<std::size_t>(i)];
            used[gate_operand_a(g)] = true;
            used[gate_operand_b(g)] = true;
        }
        std::array<std::uint8_t, kCapacity + 6> renum{};
        for (std::uint8_t k = 0; k < 6; ++k) {
            renum[k] = k;
        }
        CircuitRecord c;
        std::size_t n = 0;
        for (int i = 6; i <= out.ref; ++i) {
            if (!used[static_cast<std::size_t>(i)]) {
                continue;
            }
            if (n == max_gates) {
                return std::nullopt;
            }
            const GateWord g = gate_[static_cast<std::size_t>(i)];
            c.gates[n] = make_gate(gate_anf(g), renum[gate_operand_a(g)], renum[gate_operand_b(g)]);
            renum[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(6 + n);
            ++n;
        }
        c.gate_count = static_cast<std::uint8_t>(n);
        c.output = last_gate_output(n);
        return c;
    }

private:
    // Indexed by value index; gate_ holds the gate word of each gate.
    std::array<Word, kCapacity + 6> value_{};
    std::array<GateWord, kCapacity + 6> gate_{};
    int count_ = 6;
};

}  // namespace npn5gen
