#include "sat_encoding.hpp"

#include <sstream>

namespace npn5gen {

Encoding::Encoding(int r, std::vector<Word> outputs) : r_(r), outs_(std::move(outputs)) {
    for (int i = 0; i < r; ++i) {
        for (int t = 1; t < 32; ++t) {
            value_[static_cast<std::size_t>(i)][static_cast<std::size_t>(t)] = fresh();
        }
        for (int b = 1; b < 5 + i; ++b) {
            for (int a = 0; a < b; ++a) {
                select_[{i, a, b}] = fresh();
            }
        }
        for (int pq = 1; pq < 4; ++pq) {
            op_[static_cast<std::size_t>(i)][static_cast<std::size_t>(pq)] = fresh();
        }
    }
    if (outs_.size() > 1) {
        for (std::size_t m = 0; m < outs_.size(); ++m) {
            std::vector<int> v;
            for (int i = 0; i < r; ++i) {
                v.push_back(fresh());
            }
            out_.push_back(v);
        }
    }
    build();
}

std::string Encoding::dimacs() const {
    std::ostringstream out;
    out << "p cnf " << vars_ << ' ' << clauses_.size() << '\n';
    for (const auto& c : clauses_) {
        for (int l : c) {
            out << l << ' ';
        }
        out << "0\n";
    }
    return out.str();
}

std::vector<Lit> Encoding::decode(const std::vector<bool>& model, Builder& b) const {
    auto truth = [&](int v) {
        return static_cast<std::size_t>(v) < model.size() && model[static_cast<std::size_t>(v)];
    };
    std::array<Lit, 5 + max_gates> lit{};
    for (int x = 0; x < 5; ++x) {
        lit[static_cast<std::size_t>(x)] = Builder::input(x);
    }
    for (int i = 0; i < r_; ++i) {
        int ra = -1;
        int rb = -1;
        for (int bb = 1; bb < 5 + i; ++bb) {
            for (int a = 0; a < bb; ++a) {
                if (truth(sel(i, a, bb))) {
                    ra = a;
                    rb = bb;
                }
            }
        }
        if (ra < 0) {
            return {};
        }
        unsigned tt = 0;
        for (int pq = 1; pq < 4; ++pq) {
            if (truth(op(i, pq))) {
                tt |= 1u << pq;
            }
        }
        lit[static_cast<std::size_t>(5 + i)] =
            b.gate(lit[static_cast<std::size_t>(ra)], lit[static_cast<std::size_t>(rb)], tt);
    }
    std::vector<Lit> result;
    for (std::size_t m = 0; m < outs_.size(); ++m) {
        int gate = r_ - 1;
        if (outs_.size() > 1) {
            gate = -1;
            for (int i = 0; i < r_; ++i) {
                if (truth(out_[m][static_cast<std::size_t>(i)])) {
                    gate = i;
                }
            }
            if (gate < 0) {
                return {};
            }
        }
        const Lit l = lit[static_cast<std::size_t>(5 + gate)];
        if (b.value(l) != outs_[m]) {
            return {};
        }
        result.push_back(l);
    }
    return result;
}

int Encoding::node(int x, int t) const {
    if (x < 5) {
        return ((t >> (4 - x)) & 1) != 0 ? kTrue : kFalse;
    }
    return value_[static_cast<std::size_t>(x - 5)][static_cast<std::size_t>(t)];
}

void Encoding::add(std::initializer_list<int> lits) {
    std::vector<int> c;
    for (int l : lits) {
        if (l == kTrue) {
            return;
        }
        if (l != kFalse) {
            c.push_back(l);
        }
    }
    clauses_.push_back(std::move(c));
}

void Encoding::build() {
    for (int i = 0; i < r_; ++i) {
        std::vector<int> any;
        for (int b = 1; b < 5 + i; ++b) {
            for (int a = 0; a < b; ++a) {
                const int s = sel(i, a, b);
                any.push_back(s);
                for (int t = 1; t < 32; ++t) {
                    const int va = node(a, t);
                    const int vb = node(b, t);
                    const int v = value_[static_cast<std::size_t>(i)][static_cast<std::size_t>(t)];
                    // Operands (p, q) and selection s imply v == op(pq); op(00) == 0.
                    for (int p = 0; p < 2; ++p) {
                        for (int q = 0; q < 2; ++q) {
                            const int not_p = p != 0 ? neg(va) : va;  // "a differs from p"
                            const int not_q = q != 0 ? neg(vb) : vb;
                            const int pq = 2 * p + q;
                            if (pq == 0) {
                                add({-s, not_p, not_q, -v});
                            } else {
                                add({-s, not_p, not_q, -v, op(i, pq)});
                                add({-s, not_p, not_q, v, -op(i, pq)});
                            }
                        }
                    }
                }
            }
        }
        clauses_.push_back(any);
        for (std::size_t x = 0; x < any.size(); ++x) {
            for (std::size_t y = x + 1; y < any.size(); ++y) {
                clauses_.push_back({-any[x], -any[y]});
            }
        }
        // Operator depends on both operands: not 000 (constant), 011 (first), 101 (second).
        add({op(i, 1), op(i, 2), op(i, 3)});
        add({op(i, 1), -op(i, 2), -op(i, 3)});
        add({-op(i, 1), op(i, 2), -op(i, 3)});
    }
    if (outs_.size() == 1) {
        // The last gate is the function.
        for (int t = 1; t < 32; ++t) {
            const int v = value_[static_cast<std::size_t>(r_ - 1)][static_cast<std::size_t>(t)];
            add({((outs_[0] >> (31 - t)) & 1u) != 0 ? v : -v});
        }
    } else {
        // Each output is some gate's value; the last gate is an output.
        std::vector<int> last;
        for (std::size_t m = 0; m < outs_.size(); ++m) {
            const auto& o = out_[m];
            clauses_.push_back(o);
            for (std::size_t x = 0; x < o.size(); ++x) {
                for (std::size_t y = x + 1; y < o.size(); ++y) {
                    clauses_.push_back({-o[x], -o[y]});
                }
                for (int t = 1; t < 32; ++t) {
                    const int v = value_[x][static_cast<std::size_t>(t)];
                    add({-o[x], ((outs_[m] >> (31 - t)) & 1u) != 0 ? v : -v});
                }
            }
            last.push_back(o[static_cast<std::size_t>(r_ - 1)]);
        }
        clauses_.push_back(last);
    }
    // Every gate but the last is read (or, with several outputs, is one).
    for (int i = 0; i + 1 < r_; ++i) {
        std::vector<int> readers;
        if (outs_.size() > 1) {
            for (const auto& o : out_) {
                readers.push_back(o[static_cast<std::size_t>(i)]);
            }
        }
        for (int j = i + 1; j < r_; ++j) {
            for (int b = 1; b < 5 + j; ++b) {
                for (int a = 0; a < b; ++a) {
                    if (a == 5 + i || b == 5 + i) {
                        readers.push_back(sel(j, a, b));
                    }
                }
            }
        }
        clauses_.push_back(readers);
    }
    // No gate reads a node x and a gate made from x: it depends on two nodes
    // only and one gate on those would do.
    for (int i = 0; i < r_; ++i) {
        for (int b = 1; b < 5 + i; ++b) {
            for (int a = 0; a < b; ++a) {
                for (int j = i + 1; j < r_; ++j) {
                    for (int x : {a, b}) {
                        clauses_.push_back({-sel(i, a, b), -sel(j, x, 5 + i)});
                    }
                }
            }
        }
    }
    // Neighbouring gates that do not depend on each other come in pair order.
    for (int i = 0; i + 1 < r_; ++i) {
        for (int b = 1; b < 5 + i; ++b) {
            for (int a = 0; a < b; ++a) {
                for (int d = 1; d < 5 + i; ++d) {
                    for (int c = 0; c < d; ++c) {
                        if (c < a || (c == a && d < b)) {
                            clauses_.push_back({-sel(i, a, b), -sel(i + 1, c, d)});
                        }
                    }
                }
            }
        }
    }
}

}  // namespace npn5gen
