// Circuits written as nested expressions, the notation in which published
// five-input circuits are given:
//
//   x1 .. x5, cx1 .. cx5    inputs and their complements
//   c[e]                    complement
//   ba[e, ...], bo[e, ...], bx[e, ...]   AND, OR, XOR of two or more operands
//   bn[e1, e2]              e1 AND NOT e2
//
// Operands that compute the same value are built once (the builder merges
// equal values), so an expression that repeats a subexpression describes a
// circuit with shared gates.
#pragma once

#include <cctype>
#include <cstddef>
#include <stdexcept>
#include <string>
#include <vector>

#include "builder.hpp"

namespace npn5gen {

class FormulaParser {
public:
    FormulaParser(const std::string& text, Builder& b) : s_(text), b_(b) {}

    // The literal of the whole expression; throws std::invalid_argument on a syntax error.
    Lit parse() {
        const Lit l = expression();
        skip_space();
        if (pos_ != s_.size()) {
            fail("trailing text");
        }
        return l;
    }

private:
    [[noreturn]] void fail(const std::string& what) const {
        throw std::invalid_argument("formula: " + what + " at offset " + std::to_string(pos_));
    }

    void skip_space() {
        while (pos_ < s_.size() && std::isspace(static_cast<unsigned char>(s_[pos_])) != 0) {
            ++pos_;
        }
    }

    bool take(char c) {
        skip_space();
        if (pos_ < s_.size() && s_[pos_] == c) {
            ++pos_;
            return true;
        }
        return false;
    }

    std::string name() {
        skip_space();
        const std::size_t start = pos_;
        while (pos_ < s_.size() && std::isalnum(static_cast<unsigned char>(s_[pos_])) != 0) {
            ++pos_;
        }
        if (pos_ == start) {
            fail("name expected");
        }
        return s_.substr(start, pos_ - start);
    }

    Lit expression() {
        const std::string n = name();
        if (n.size() == 2 && n[0] == 'x' && n[1] >= '1' && n[1] <= '5') {
            return Builder::input(n[1] - '1');
        }
        if (n.size() == 3 && n[0] == 'c' && n[1] == 'x' && n[2] >= '1' && n[2] <= '5') {
            return ~Builder::input(n[2] - '1');
        }
        unsigned tt = 0;
        if (n == "ba") {
            tt = kTtAnd;
        } else if (n == "bo") {
            tt = kTtOr;
        } else if (n == "bx") {
            tt = kTtXor;
        } else if (n == "bn") {
            tt = kTtAndNot;
        } else if (n != "c") {
            fail("unknown operator " + n);
        }
        if (!take('[')) {
            fail("'[' expected");
        }
        std::vector<Lit> args{expression()};
        while (take(',')) {
            args.push_back(expression());
        }
        if (!take(']')) {
            fail("']' expected");
        }
        if (n == "c") {
            if (args.size() != 1) {
                fail("c takes one operand");
            }
            return ~args[0];
        }
        if (args.size() < 2 || (tt == kTtAndNot && args.size() != 2)) {
            fail("wrong number of operands for " + n);
        }
        Lit acc = args[0];
        for (std::size_t i = 1; i < args.size(); ++i) {
            acc = b_.gate(acc, args[i], tt);
        }
        return acc;
    }

    const std::string& s_;
    Builder& b_;
    std::size_t pos_ = 0;
};

}  // namespace npn5gen
