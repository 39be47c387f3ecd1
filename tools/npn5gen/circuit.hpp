// Circuits of two-input gates over x1..x5, their 15-byte records, and the
// builder that assembles a circuit from the circuits of its parts.
//
// A gate code holds the first operand in bits 0-3, the second in bits 4-7
// (0-4: inputs x1..x5, 5 + i: gate i) and the operator in bits 8-9:
// 0 AND, 1 OR, 2 XOR, 3 AND-NOT (first AND NOT second).
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <stdexcept>

#include "words.hpp"

namespace npn5gen {

inline constexpr int kMaxGates = 12;
inline constexpr int kRecordBytes = 15;

enum Op : unsigned { kAnd = 0, kOr = 1, kXor = 2, kAndNot = 3 };

constexpr std::uint16_t gate_code(unsigned a, unsigned b, unsigned op) {
    return static_cast<std::uint16_t>(a | b << 4 | op << 8);
}
constexpr unsigned code_a(std::uint16_t c) { return c & 15u; }
constexpr unsigned code_b(std::uint16_t c) { return (c >> 4) & 15u; }
constexpr unsigned code_op(std::uint16_t c) { return (c >> 8) & 3u; }

constexpr Word gate_eval(unsigned op, Word a, Word b) {
    switch (op) {
        case kAnd:
            return a & b;
        case kOr:
            return a | b;
        case kXor:
            return a ^ b;
        default:
            return a & ~b;
    }
}

struct Circuit {
    std::uint8_t n = 0;
    std::array<std::uint16_t, kMaxGates> code{};

    friend bool operator==(const Circuit&, const Circuit&) = default;
};

// Gates read only inputs and earlier gates, never the same value twice, and the
// slots past the last gate are empty.
constexpr bool well_formed(const Circuit& c) {
    if (c.n < 1 || c.n > kMaxGates) {
        return false;
    }
    for (unsigned i = 0; i < kMaxGates; ++i) {
        const std::uint16_t g = c.code[i];
        if (i >= c.n) {
            if (g != 0) {
                return false;
            }
            continue;
        }
        if (g > 0x3FF || code_a(g) >= 5 + i || code_b(g) >= 5 + i || code_a(g) == code_b(g)) {
            return false;
        }
    }
    return true;
}

// Value of the last gate. The circuit must be well formed.
constexpr Word evaluate(const Circuit& c) {
    std::array<Word, 5 + kMaxGates> v{};
    for (int k = 0; k < 5; ++k) {
        v[static_cast<std::size_t>(k)] = kInput[static_cast<std::size_t>(k)];
    }
    for (unsigned i = 0; i < c.n; ++i) {
        const std::uint16_t g = c.code[i];
        v[5 + i] = gate_eval(code_op(g), v[code_a(g)], v[code_b(g)]);
    }
    return v[4u + c.n];
}

using Record = std::array<std::uint8_t, kRecordBytes>;

// Three little-endian 40-bit groups of four 10-bit codes each.
inline Record encode_record(const Circuit& c) {
    Record r{};
    for (int group = 0; group < 3; ++group) {
        std::uint64_t bits = 0;
        for (int j = 0; j < 4; ++j) {
            bits |= static_cast<std::uint64_t>(c.code[static_cast<std::size_t>(4 * group + j)] & 0x3FFu) << (10 * j);
        }
        for (int byte = 0; byte < 5; ++byte) {
            r[static_cast<std::size_t>(5 * group + byte)] = static_cast<std::uint8_t>(bits >> (8 * byte));
        }
    }
    return r;
}

// All twelve codes as stored; n counts the codes before the first zero.
inline Circuit decode_record(const std::uint8_t* r) {
    Circuit c;
    for (int group = 0; group < 3; ++group) {
        std::uint64_t bits = 0;
        for (int byte = 0; byte < 5; ++byte) {
            bits |= static_cast<std::uint64_t>(r[5 * group + byte]) << (8 * byte);
        }
        for (int j = 0; j < 4; ++j) {
            c.code[static_cast<std::size_t>(4 * group + j)] = static_cast<std::uint16_t>((bits >> (10 * j)) & 0x3FFu);
        }
    }
    c.n = kMaxGates;
    for (std::uint8_t i = 0; i < kMaxGates; ++i) {
        if (c.code[i] == 0) {
            c.n = i;
            break;
        }
    }
    return c;
}

// A value of the builder, possibly complemented.
struct Lit {
    std::uint8_t ref = 0;  // 0-4 inputs, 5 + i gate i, kConstRef the constant 0
    bool neg = false;

    Lit operator~() const { return {ref, !neg}; }
};

// Two-input truth tables over (a, b): bit 2a + b is the output on that row.
inline constexpr unsigned kTtAnd = 8, kTtOr = 14, kTtXor = 6, kTtAndNot = 4;
inline constexpr std::array<unsigned, 4> kOpTt = {kTtAnd, kTtOr, kTtXor, kTtAndNot};

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

// Assembles circuits gate by gate. Every value it holds is a normal word and no
// two values are equal: a gate whose value (or complement) is already present is
// not added, its literal refers to the existing value instead. Complements stay
// on the literals and are absorbed by the operator of each consuming gate, so the
// finished circuit uses only the four operators and needs no output complement.
class Builder {
public:
    static constexpr std::uint8_t kConstRef = 127;
    static constexpr int kCapacity = 96;

    Builder() {
        for (int k = 0; k < 5; ++k) {
            value_[static_cast<std::size_t>(k)] = kInput[static_cast<std::size_t>(k)];
        }
    }

    static Lit input(int k) { return {static_cast<std::uint8_t>(k), false}; }
    static Lit constant() { return {kConstRef, false}; }

    Word value(Lit l) const {
        const Word w = l.ref == kConstRef ? 0u : value_[l.ref];
        return l.neg ? ~w : w;
    }

    Lit gate(Lit a, Lit b, unsigned tt) {
        const Word v = combine(tt, value(a), value(b));
        const Word n = normalise(v);
        const bool neg = v != n;
        if (n == 0) {
            return {kConstRef, neg};
        }
        for (int i = 0; i < count_; ++i) {
            if (value_[static_cast<std::size_t>(i)] == n) {
                return {static_cast<std::uint8_t>(i), neg};
            }
        }
        // Both operands are distinct stored values here: a constant or repeated
        // operand would have given 0 or an operand's own value.
        if (a.ref == kConstRef || b.ref == kConstRef) {
            throw std::logic_error("builder: constant operand left over");
        }
        const Word ua = value_[a.ref];
        const Word ub = value_[b.ref];
        std::uint16_t code;
        if ((ua & ub) == n) {
            code = gate_code(a.ref, b.ref, kAnd);
        } else if ((ua | ub) == n) {
            code = gate_code(a.ref, b.ref, kOr);
        } else if ((ua ^ ub) == n) {
            code = gate_code(a.ref, b.ref, kXor);
        } else if ((ua & ~ub) == n) {
            code = gate_code(a.ref, b.ref, kAndNot);
        } else if ((ub & ~ua) == n) {
            code = gate_code(b.ref, a.ref, kAndNot);
        } else {
            throw std::logic_error("builder: gate value is no function of its operands");
        }
        if (count_ >= kCapacity + 5) {
            throw std::length_error("builder: too many gates");
        }
        value_[static_cast<std::size_t>(count_)] = n;
        code_[static_cast<std::size_t>(count_)] = code;
        return {static_cast<std::uint8_t>(count_++), neg};
    }

    // Lays down circuit c with its inputs fed by the given literals; returns its output.
    Lit emit(const Circuit& c, const std::array<Lit, 5>& in) {
        std::array<Lit, 5 + kMaxGates> local{};
        for (std::size_t k = 0; k < 5; ++k) {
            local[k] = in[k];
        }
        for (unsigned i = 0; i < c.n; ++i) {
            const std::uint16_t g = c.code[i];
            local[5 + i] = gate(local[code_a(g)], local[code_b(g)], kOpTt[code_op(g)]);
        }
        return local[4u + c.n];
    }

    // Lays down c under transform t: the result computes apply(t, evaluate(c)).
    Lit emit(const Circuit& c, const Transform& t) {
        std::array<Lit, 5> in{};
        for (std::size_t i = 0; i < 5; ++i) {
            in[i] = {t.src[i], ((t.neg >> i) & 1u) != 0};
        }
        const Lit out = emit(c, in);
        return t.out ? ~out : out;
    }

    // The gates that the output depends on, renumbered in order; nullopt when
    // more than twelve remain. The output must be a gate taken uncomplemented.
    std::optional<Circuit> finish(Lit out) const {
        if (out.neg || out.ref < 5 || out.ref == kConstRef) {
            throw std::logic_error("builder: output is not a plain gate");
        }
        std::array<bool, kCapacity> used{};
        used[static_cast<std::size_t>(out.ref - 5)] = true;
        for (int i = out.ref - 5; i >= 0; --i) {
            if (!used[static_cast<std::size_t>(i)]) {
                continue;
            }
            const std::uint16_t g = code_[static_cast<std::size_t>(i + 5)];
            for (unsigned r : {code_a(g), code_b(g)}) {
                if (r >= 5) {
                    used[r - 5] = true;
                }
            }
        }
        std::array<std::uint8_t, kCapacity + 5> renum{};
        for (std::uint8_t k = 0; k < 5; ++k) {
            renum[k] = k;
        }
        Circuit c;
        int n = 0;
        for (int i = 0; i <= out.ref - 5; ++i) {
            if (!used[static_cast<std::size_t>(i)]) {
                continue;
            }
            if (n == kMaxGates) {
                return std::nullopt;
            }
            const std::uint16_t g = code_[static_cast<std::size_t>(i + 5)];
            c.code[static_cast<std::size_t>(n)] = gate_code(renum[code_a(g)], renum[code_b(g)], code_op(g));
            renum[static_cast<std::size_t>(i + 5)] = static_cast<std::uint8_t>(5 + n);
            ++n;
        }
        c.n = static_cast<std::uint8_t>(n);
        return c;
    }

private:
    // Indices 0-4 are the inputs, 5 + i gate i; code_ is indexed like value_.
    std::array<Word, kCapacity + 5> value_{};
    std::array<std::uint16_t, kCapacity + 5> code_{};
    int count_ = 5;
};

}  // namespace npn5gen
