#include "sat.hpp"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <stdexcept>

#include "circuit.hpp"
#include "classes.hpp"
#include "database.hpp"
#include "engine.hpp"

namespace npn5gen {
namespace {

// The encoding: gate i (node 5 + i) has value variables for rows 1-31 (row 0,
// all inputs 0, is 0 for every normal value), one selection variable for each
// pair of earlier nodes it may read, and three variables for its output on the
// operand patterns 01, 10 and 11 (00 gives 0). Every gate but the last is
// read by a later one, a gate that does not read its predecessor reads a pair
// no smaller than the predecessor's, no gate merely copies an operand, and no
// gate reads a node together with a gate made from that node.
class Encoding {
public:
    Encoding(int r, Word f) : r_(r), f_(f) {
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
        build();
    }

    int sel(int i, int a, int b) const { return select_.at({i, a, b}); }
    int op(int i, int pq) const { return op_[static_cast<std::size_t>(i)][static_cast<std::size_t>(pq)]; }

    void fix(int literal) { clauses_.push_back({literal}); }

    void write(const std::string& path) const {
        std::ofstream out(path, std::ios::trunc);
        out << "p cnf " << vars_ << ' ' << clauses_.size() << '\n';
        for (const auto& c : clauses_) {
            for (int l : c) {
                out << l << ' ';
            }
            out << "0\n";
        }
    }

    // The circuit read from a model (variable -> value), checked by evaluation.
    std::optional<Circuit> decode(const std::vector<bool>& model) const {
        auto truth = [&](int v) { return static_cast<std::size_t>(v) < model.size() && model[static_cast<std::size_t>(v)]; };
        Builder b;
        std::array<Lit, 5 + kMaxGates> lit{};
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
                return std::nullopt;
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
        Lit out = lit[static_cast<std::size_t>(4 + r_)];
        if (b.value(out) != f_) {
            return std::nullopt;
        }
        if (out.ref < 5 || out.ref == Builder::kConstRef) {
            return std::nullopt;
        }
        const auto c = b.finish(out);
        if (!c || evaluate(*c) != f_) {
            return std::nullopt;
        }
        return c;
    }

private:
    int fresh() { return ++vars_; }

    // Value of node x on row t as a literal, or 0 / -0 encoded as kTrue / kFalse for inputs.
    static constexpr int kTrue = 0x7FFFFFFF;
    static constexpr int kFalse = -0x7FFFFFFF;
    int node(int x, int t) const {
        if (x < 5) {
            return ((t >> (4 - x)) & 1) != 0 ? kTrue : kFalse;
        }
        return value_[static_cast<std::size_t>(x - 5)][static_cast<std::size_t>(t)];
    }

    // Adds the clause unless a literal is constantly true; drops constantly false literals.
    void add(std::initializer_list<int> lits) {
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

    static int neg(int l) { return l == kTrue ? kFalse : l == kFalse ? kTrue : -l; }

    void build() {
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
        // The last gate is the function.
        for (int t = 1; t < 32; ++t) {
            const int v = value_[static_cast<std::size_t>(r_ - 1)][static_cast<std::size_t>(t)];
            add({((f_ >> (31 - t)) & 1u) != 0 ? v : -v});
        }
        // Every gate but the last is read.
        for (int i = 0; i + 1 < r_; ++i) {
            std::vector<int> readers;
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

    int r_;
    Word f_;
    int vars_ = 0;
    std::array<std::array<int, 32>, kMaxGates> value_{};
    std::map<std::array<int, 3>, int> select_;
    std::array<std::array<int, 4>, kMaxGates> op_{};
    std::vector<std::vector<int>> clauses_;
};

struct Outcome {
    int status = 0;  // 10 satisfiable, 20 unsatisfiable, else unknown
    std::vector<bool> model;
};

Outcome solve(const Encoding& enc, const std::string& cnf, double seconds) {
    enc.write(cnf);
    const std::string out = cnf + ".out";
    const std::string cmd =
        "cadical -q -t " + std::to_string(static_cast<long>(seconds)) + " " + cnf + " > " + out + " 2>/dev/null";
    const int rc = std::system(cmd.c_str());
    Outcome o;
    std::ifstream in(out);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("s SATISFIABLE", 0) == 0) {
            o.status = 10;
        } else if (line.rfind("s UNSATISFIABLE", 0) == 0) {
            o.status = 20;
        } else if (line.rfind("v ", 0) == 0) {
            std::istringstream ls(line.substr(2));
            long l = 0;
            while (ls >> l) {
                if (l > 0) {
                    if (o.model.size() <= static_cast<std::size_t>(l)) {
                        o.model.resize(static_cast<std::size_t>(l) + 1, false);
                    }
                    o.model[static_cast<std::size_t>(l)] = true;
                }
            }
        }
    }
    (void)rc;
    std::filesystem::remove(cnf);
    std::filesystem::remove(out);
    return o;
}

}  // namespace

int run_sat(const SatOptions& opt) {
    if (std::system("cadical --version > /dev/null 2>&1") != 0) {
        std::fprintf(stderr, "the sat stage needs the cadical program (Debian package cadical)\n");
        return 2;
    }
    std::filesystem::create_directories(opt.workdir);
    Database db(load_or_enumerate_classes(opt.classes));
    db.load_image(opt.image);
    std::vector<Word> words = opt.words;
    if (words.empty()) {
        for (std::size_t i = 0; i < db.size(); ++i) {
            if (db.cost(i) != kNoCost && db.cost(i) >= opt.above && i != 0 && i != db.x1_class()) {
                words.push_back(db.rep(i));
            }
        }
    }
    std::printf("%zu classes to try with %d gates\n", words.size(), opt.gates);
    std::fflush(stdout);
    int improved = 0;
    for (Word w : words) {
        const long idx = db.index(w);
        if (idx < 0) {
            std::printf("%08x is not a canonical word\n", w);
            continue;
        }
        const Transform t = orbit_walk().xf[static_cast<std::size_t>(opt.member % kOrbitSteps)];
        const Word f = normalise(apply(t, w));
        const auto t0 = Clock::now();
        std::vector<std::pair<int, int>> firsts;  // (pair index, operator truth table) or one empty case
        if (opt.split == 0) {
            firsts.push_back({-1, 0});
        } else {
            for (int p = 0; p < 10; ++p) {
                for (unsigned tt : {8u, 4u, 2u, 14u, 6u}) {
                    firsts.push_back({p, static_cast<int>(tt)});
                }
            }
        }
        bool found = false;
        int unknown = 0;
        for (const auto& [pair, tt] : firsts) {
            Encoding enc(opt.gates, f);
            if (pair >= 0) {
                enc.fix(enc.sel(0, kPairs[static_cast<std::size_t>(pair)][0], kPairs[static_cast<std::size_t>(pair)][1]));
                for (int pq = 1; pq < 4; ++pq) {
                    enc.fix(((static_cast<unsigned>(tt) >> pq) & 1u) != 0 ? enc.op(0, pq) : -enc.op(0, pq));
                }
            }
            char name[64];
            std::snprintf(name, sizeof name, "/sat-%08x-%d.cnf", w, pair);
            const Outcome o = solve(enc, opt.workdir + name, opt.seconds);
            if (o.status == 10) {
                const auto c = enc.decode(o.model);
                if (!c) {
                    throw std::logic_error("solver model does not decode to a circuit for the word");
                }
                // Move to the canonical frame and store through the checked path.
                const Canonical k = canonical_brute(f);
                Builder b;
                const auto cc = b.finish(b.emit(*c, k.xf));
                if (!cc || evaluate(*cc) != w) {
                    throw std::logic_error("solver circuit does not reach the canonical word");
                }
                if (cc->n < db.cost(static_cast<std::size_t>(idx))) {
                    db.set(static_cast<std::size_t>(idx), *cc);
                    db.save_image(opt.image);
                    ++improved;
                }
                std::printf("%08x: %d gates found (first gate case %d) after %.1f s\n", w, cc->n, pair,
                            seconds_since(t0));
                found = true;
                break;
            }
            if (o.status != 20) {
                ++unknown;
            }
        }
        if (!found) {
            std::printf("%08x: no %d-gate circuit%s after %.1f s\n", w, opt.gates,
                        unknown != 0 ? " found (some cases timed out)" : " exists", seconds_since(t0));
        }
        std::fflush(stdout);
    }
    std::printf("%d classes improved\n%s", improved, format_histogram(db.histogram()).c_str());
    return 0;
}

}  // namespace npn5gen
