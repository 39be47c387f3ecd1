#include "sat.hpp"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <mutex>
#include <optional>
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
    // One output: the last gate computes it. Several: each is computed by some
    // gate, the last gate among them.
    Encoding(int r, std::vector<Word> outputs) : r_(r), outs_(std::move(outputs)) {
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

    // Lays the circuit of a model (variable -> value) into b and returns the
    // literals of the outputs, each checked against its word; empty when the
    // model does not describe such a circuit.
    std::vector<Lit> decode(const std::vector<bool>& model, Builder& b) const {
        auto truth = [&](int v) {
            return static_cast<std::size_t>(v) < model.size() && model[static_cast<std::size_t>(v)];
        };
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

    int r_;
    std::vector<Word> outs_;
    std::vector<std::vector<int>> out_;  // out_[m][i]: gate i computes output m
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

namespace {

// f = g op h with g any word of a class of cost a, h a representative of cost
// b, a + b = sum, f in the orbit of the target.
struct Trial {
    Word g, h, f;
    unsigned tt;
    int a, b;
};

std::vector<Trial> find_trials(const Database& db, Word target, int sum, int threads) {
    // The target's orbit in a small open-addressing set.
    constexpr std::size_t kSlots = 1u << 14;
    std::vector<Word> slots(kSlots, 0);
    auto slot = [](Word w) { return static_cast<std::size_t>((w * 0x9E3779B1u) >> 18); };
    for_each_transform(target, [&](Word n, int) {
        std::size_t i = slot(n);
        while (slots[i] != 0 && slots[i] != n) {
            i = (i + 1) & (kSlots - 1);
        }
        slots[i] = n;
    });
    auto member = [&](Word w) {
        for (std::size_t i = slot(w);; i = (i + 1) & (kSlots - 1)) {
            if (slots[i] == w) {
                return true;
            }
            if (slots[i] == 0) {
                return false;
            }
        }
    };
    std::array<std::vector<std::uint32_t>, 13> lists;
    for (std::size_t i = 1; i < db.size(); ++i) {
        if (db.cost(i) <= 12) {
            lists[db.cost(i)].push_back(static_cast<std::uint32_t>(i));
        }
    }
    std::vector<Trial> trials;
    std::mutex mu;
    for (int a = 1; 2 * a <= sum; ++a) {
        const int b = sum - a;
        if (b > 12) {
            continue;
        }
        const auto& la = lists[static_cast<std::size_t>(a)];
        const auto& lb = lists[static_cast<std::size_t>(b)];
        parallel_chunks(la.size(), 1, threads, [&](std::size_t lo, std::size_t hi, int) {
            std::vector<Trial> mine;
            for (std::size_t x = lo; x < hi; ++x) {
                std::vector<Word> orbit;
                for_each_transform(db.rep(la[x]), [&](Word n, int) { orbit.push_back(n); });
                std::sort(orbit.begin(), orbit.end());
                orbit.erase(std::unique(orbit.begin(), orbit.end()), orbit.end());
                for (Word g : orbit) {
                    for (std::uint32_t hc : lb) {
                        const Word h = db.rep(hc);
                        const std::array<Word, 5> f = {g & h, g & ~h, ~g & h, g | h, g ^ h};
                        static constexpr std::array<unsigned, 5> kTt = {8, 4, 2, 14, 6};
                        for (std::size_t q = 0; q < 5; ++q) {
                            if (member(f[q])) {
                                mine.push_back({g, h, f[q], kTt[q], a, b});
                            }
                        }
                    }
                }
            }
            std::lock_guard<std::mutex> lock(mu);
            trials.insert(trials.end(), mine.begin(), mine.end());
        });
    }
    return trials;
}

}  // namespace

// One solver run: a class's word (or another member of its orbit), optionally
// with the first gate fixed to an operand pair and operator.
struct Instance {
    Word word;
    int member;
    int pair;  // -1: first gate free
    unsigned tt;

    std::string key(int gates) const {
        char k[64];
        std::snprintf(k, sizeof k, "%08x %d %d %d %u", word, gates, member, pair, tt);
        return k;
    }
};

// Outcomes of earlier runs, one line each: the instance key, then "sat",
// "unsat" or "unknown", the time limit and the time taken.
class SatProgress {
public:
    explicit SatProgress(std::string path) : path_(std::move(path)) {
        std::ifstream in(path_);
        std::string line;
        while (std::getline(in, line)) {
            std::istringstream ls(line);
            Instance run{};
            int gates = 0;
            std::string result;
            double limit = 0;
            if (ls >> std::hex >> run.word >> std::dec >> gates >> run.member >> run.pair >> run.tt >> result >>
                limit) {
                Seen& seen = seen_[run.key(gates)];
                seen.settled = seen.settled || result != "unknown";
                seen.limit = std::max(seen.limit, limit);
            }
        }
    }

    // Settled (sat or unsat), or already left unknown with at least this limit.
    bool done(const std::string& key, double limit) const {
        const auto it = seen_.find(key);
        return it != seen_.end() && (it->second.settled || it->second.limit >= limit);
    }

    void record(const std::string& key, int status, double limit, double taken) {
        std::lock_guard<std::mutex> lock(mutex_);
        std::ofstream out(path_, std::ios::app);
        out << key << ' '
            << (status == 10   ? "sat"
                : status == 20 ? "unsat"
                               : "unknown")
            << ' ' << limit << ' ' << static_cast<long>(taken) << '\n';
    }

private:
    struct Seen {
        bool settled = false;
        double limit = 0;
    };
    std::string path_;
    std::map<std::string, Seen> seen_;
    std::mutex mutex_;
};

// Every instance of every word on opt.threads solver processes at once; a
// word's remaining instances are dropped once one of them gives a circuit.
int run_instances(Database& db, const std::vector<Word>& words, const SatOptions& opt) {
    SatProgress progress(opt.progress);
    std::vector<Instance> todo;
    for (Word w : words) {
        for (int m = opt.member; m < opt.member + opt.members; ++m) {
            for (int pair = opt.split == 0 ? -1 : 0; pair < (opt.split == 0 ? 0 : 10); ++pair) {
                for (unsigned tt : {8u, 4u, 2u, 14u, 6u}) {
                    const Instance in{w, m, pair, pair < 0 ? 0u : tt};
                    if (!progress.done(in.key(opt.gates), opt.seconds)) {
                        todo.push_back(in);
                    }
                    if (pair < 0) {
                        break;
                    }
                }
            }
        }
    }
    std::printf("%zu solver instances to run, %d at a time, %.0f s each at most\n", todo.size(), opt.threads,
                opt.seconds);
    std::fflush(stdout);
    std::mutex mutex;
    std::map<Word, bool> solved;
    int improved = 0;
    parallel_chunks(todo.size(), 1, opt.threads, [&](std::size_t b, std::size_t, int) {
        const Instance in = todo[b];
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (solved[in.word]) {
                return;
            }
        }
        const auto t0 = Clock::now();
        const Transform t = orbit_walk().xf[static_cast<std::size_t>(in.member % kOrbitSteps)];
        const Word f = normalise(apply(t, in.word));
        Encoding enc(opt.gates, {f});
        if (in.pair >= 0) {
            const auto& p = kPairs[static_cast<std::size_t>(in.pair)];
            enc.fix(enc.sel(0, p[0], p[1]));
            for (int pq = 1; pq < 4; ++pq) {
                enc.fix(((in.tt >> pq) & 1u) != 0 ? enc.op(0, pq) : -enc.op(0, pq));
            }
        }
        char name[80];
        std::snprintf(name, sizeof name, "/sat-%08x-m%d-p%d-%u.cnf", in.word, in.member, in.pair, in.tt);
        const Outcome o = solve(enc, opt.workdir + name, opt.seconds);
        const double taken = seconds_since(t0);
        progress.record(in.key(opt.gates), o.status, opt.seconds, taken);
        std::lock_guard<std::mutex> lock(mutex);
        if (o.status == 10) {
            Builder bld;
            const auto outs = enc.decode(o.model, bld);
            const auto c = outs.size() == 1 && outs[0].ref >= 5 ? bld.finish(outs[0]) : std::nullopt;
            if (!c) {
                throw std::logic_error("solver model does not decode to a circuit");
            }
            if (store_if_better(db, f, *c)) {
                ++improved;
                db.save_image(opt.image);
            }
            solved[in.word] = true;
        }
        std::printf("%08x member %d first gate %d/%u: %s after %.0f s\n", in.word, in.member, in.pair, in.tt,
                    o.status == 10   ? "circuit found"
                    : o.status == 20 ? "none"
                                     : "no answer",
                    taken);
        std::fflush(stdout);
    });
    std::printf("%d classes improved\n%s", improved, format_histogram(db.histogram()).c_str());
    return 0;
}

// For every way to write a word as g op h within the cost window, asks for g
// and h together from gates - 1 gates (one two-output instance per way).
int run_trials(Database& db, const std::vector<Word>& words, const SatOptions& opt) {
    int improved = 0;
    for (Word w : words) {
        const auto t0 = Clock::now();
        bool found = false;
        int unknown = 0;
        for (int sum = opt.trial_sum; sum <= opt.trial_sum_max && !found; ++sum) {
            const auto trials = find_trials(db, w, sum, opt.threads);
            std::printf("%08x: %zu ways as g op h with costs adding to %d (%.1f s)\n", w, trials.size(), sum,
                        seconds_since(t0));
            std::fflush(stdout);
            for (std::size_t n = 0; n < trials.size() && !found; ++n) {
                const Trial& tr = trials[n];
                Encoding enc(opt.gates - 1, {tr.g, tr.h});
                char name[64];
                std::snprintf(name, sizeof name, "/sat-%08x-t%zu.cnf", w, n);
                const Outcome o = solve(enc, opt.workdir + name, opt.seconds);
                if (o.status == 10) {
                    Builder b;
                    const auto outs = enc.decode(o.model, b);
                    if (outs.size() != 2) {
                        throw std::logic_error("solver model does not decode to the two operands");
                    }
                    const Lit root = b.gate(outs[0], outs[1], tr.tt);
                    if (b.value(root) != tr.f) {
                        throw std::logic_error("root of the two operands misses the word");
                    }
                    const auto c = b.finish(root);
                    if (c && evaluate(*c) == tr.f) {
                        if (store_if_better(db, tr.f, *c)) {
                            ++improved;
                            db.save_image(opt.image);
                        }
                        std::printf("%08x: %d gates via %08x (cost %d) and %08x (cost %d), trial %zu, %.1f s\n", w,
                                    c->n, tr.g, tr.a, tr.h, tr.b, n, seconds_since(t0));
                        found = true;
                    }
                } else if (o.status != 20) {
                    ++unknown;
                }
            }
        }
        if (!found) {
            std::printf("%08x: no %d-gate circuit%s after %.1f s\n", w, opt.gates,
                        unknown != 0 ? " found (some instances timed out)" : " in the cases tried", seconds_since(t0));
        }
        std::fflush(stdout);
    }
    std::printf("%d classes improved\n%s", improved, format_histogram(db.histogram()).c_str());
    return 0;
}

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
    std::vector<Word> todo;
    for (Word w : words) {
        const long idx = db.index(w);
        if (idx < 0 || db.cost(static_cast<std::size_t>(idx)) <= opt.gates) {
            std::printf("%08x: %s\n", w, idx < 0 ? "not a canonical word" : "already small enough");
        } else {
            todo.push_back(w);
        }
    }
    std::printf("%zu classes to try with %d gates\n", todo.size(), opt.gates);
    std::fflush(stdout);
    return opt.trial_sum == 0 ? run_instances(db, todo, opt) : run_trials(db, todo, opt);
}

}  // namespace npn5gen
