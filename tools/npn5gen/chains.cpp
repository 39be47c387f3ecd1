#include "chains.hpp"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <vector>

#include "classes.hpp"
#include "database.hpp"
#include "engine.hpp"

namespace npn5gen {
namespace {

constexpr int kMaxNodes = 5 + 12;

// Topologies are built gate by gate with the cheap necessary conditions of the
// canonical form applied on the way (first gate on inputs 0 and 1, inputs in
// order of first use, independent neighbours in increasing order, no wasted
// step, enough gates left to use every node); the rest is checked on whole chains.
class Enumerator {
public:
    Enumerator(int r, const std::function<void(const Chain&)>& visit)
        : r_(r), root_(static_cast<std::size_t>(r > 0 ? r - 1 : 0)), visit_(visit) {
        c_.r = r;
    }

    void run() { place(0); }

private:
    void place(int i) {
        if (i == r_) {
            leaf();
            return;
        }
        const int nodes = 5 + i;
        int used_inputs = 0;
        while (used_inputs < 5 && deg_[static_cast<std::size_t>(used_inputs)] != 0) {
            ++used_inputs;
        }
        for (int j = 0; j < nodes; ++j) {
            for (int k = j + 1; k < nodes; ++k) {
                if (i == 0 && (j != 0 || k != 1)) {
                    continue;
                }
                // Inputs appear in order of first use.
                if (j < 5 && deg_[static_cast<std::size_t>(j)] == 0 && j != used_inputs) {
                    continue;
                }
                if (k < 5 && deg_[static_cast<std::size_t>(k)] == 0 &&
                    k != (j < 5 && deg_[static_cast<std::size_t>(j)] == 0 ? used_inputs + 1 : used_inputs)) {
                    continue;
                }
                // A gate that does not read its predecessor could trade places with it.
                if (i > 0 && k < nodes - 1) {
                    const int pj = c_.j[static_cast<std::size_t>(i - 1)];
                    const int pk = c_.k[static_cast<std::size_t>(i - 1)];
                    if (j < pj || (j == pj && k < pk)) {
                        continue;
                    }
                }
                if (wasteful(j, k)) {
                    continue;
                }
                c_.j[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(j);
                c_.k[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(k);
                ++deg_[static_cast<std::size_t>(j)];
                ++deg_[static_cast<std::size_t>(k)];
                const bool on_inputs = k < 5;
                if (on_inputs) {
                    ++pair_uses_[static_cast<std::size_t>(j)];
                    ++pair_uses_[static_cast<std::size_t>(k)];
                }
                if (needed(nodes + 1) <= r_ - i) {
                    place(i + 1);
                }
                if (on_inputs) {
                    --pair_uses_[static_cast<std::size_t>(j)];
                    --pair_uses_[static_cast<std::size_t>(k)];
                }
                --deg_[static_cast<std::size_t>(j)];
                --deg_[static_cast<std::size_t>(k)];
            }
        }
    }

    // A gate on node j and on a gate made from j (or two gates made from one
    // pair) depends on two nodes only and could be one step from them.
    bool wasteful(int j, int k) const {
        if (k < 5) {
            return false;
        }
        const int kj = c_.j[static_cast<std::size_t>(k - 5)];
        const int kk = c_.k[static_cast<std::size_t>(k - 5)];
        if (j == kj || j == kk) {
            return true;
        }
        return j >= 5 && c_.j[static_cast<std::size_t>(j - 5)] == kj && c_.k[static_cast<std::size_t>(j - 5)] == kk;
    }

    // Nodes still waiting for a use: unused ones, and inputs whose one use is a
    // gate on two inputs (such an input must be used elsewhere too, or the chain
    // is a four-input chain extended by one gate).
    int needed(int nodes) const {
        int n = 0;
        for (int x = 0; x < nodes; ++x) {
            const int d = deg_[static_cast<std::size_t>(x)];
            if (d == 0 || (x < 5 && d == 1 && pair_uses_[static_cast<std::size_t>(x)] == 1)) {
                ++n;
            }
        }
        return n;
    }

    void leaf() {
        if (needed(5 + r_) != 1) {
            return;
        }
        // The root's operands must share a gate.
        std::array<std::uint32_t, 12> cone{};
        for (int i = 0; i < r_; ++i) {
            std::uint32_t m = 1u << i;
            for (int x : {c_.j[static_cast<std::size_t>(i)], c_.k[static_cast<std::size_t>(i)]}) {
                if (x >= 5) {
                    m |= cone[static_cast<std::size_t>(x - 5)];
                }
            }
            cone[static_cast<std::size_t>(i)] = m;
        }
        const int rj = c_.j[root_];
        const int rk = c_.k[root_];
        if (rj < 5 || rk < 5 || (cone[static_cast<std::size_t>(rj - 5)] & cone[static_cast<std::size_t>(rk - 5)]) == 0) {
            return;
        }
        if (tame() || !canonical()) {
            return;
        }
        visit_(c_);
    }

    bool tame() const {
        for (int a = 0; a < 5; ++a) {
            for (int b = a + 1; b < 5; ++b) {
                if (deg_[static_cast<std::size_t>(a)] != 2 || deg_[static_cast<std::size_t>(b)] != 2) {
                    continue;
                }
                int gates = 0;
                for (int i = 0; i < r_; ++i) {
                    gates += c_.j[static_cast<std::size_t>(i)] == a && c_.k[static_cast<std::size_t>(i)] == b;
                }
                if (gates == 2) {
                    return true;
                }
            }
        }
        return false;
    }

    // The chain is the smallest (gate pairs compared in order) over all
    // topological orders of its gates and all relabellings of its inputs.
    // Searches for a smaller one; new inputs always take the smallest free
    // label, which is never worse.
    bool canonical() {
        label_.fill(-1);
        placed_ = 0;
        return !smaller_from(0, 0);
    }

    bool smaller_from(int q, int next_input) {
        if (q == r_) {
            return false;
        }
        const int tj = c_.j[static_cast<std::size_t>(q)];
        const int tk = c_.k[static_cast<std::size_t>(q)];
        for (int g = 0; g < r_; ++g) {
            if ((placed_ >> g) & 1u) {
                continue;
            }
            const int a = c_.j[static_cast<std::size_t>(g)];
            const int b = c_.k[static_cast<std::size_t>(g)];
            if ((a >= 5 && !((placed_ >> (a - 5)) & 1u)) || (b >= 5 && !((placed_ >> (b - 5)) & 1u))) {
                continue;
            }
            const bool na = a < 5 && label_[static_cast<std::size_t>(a)] < 0;
            const bool nb = b < 5 && label_[static_cast<std::size_t>(b)] < 0;
            const int orders = na && nb ? 2 : 1;
            for (int o = 0; o < orders; ++o) {
                int la;
                int lb;
                int next = next_input;
                if (na && nb) {
                    la = o == 0 ? next : next + 1;
                    lb = o == 0 ? next + 1 : next;
                    next += 2;
                } else {
                    la = na ? next++ : label_[static_cast<std::size_t>(a)];
                    lb = nb ? next++ : label_[static_cast<std::size_t>(b)];
                }
                const int lo = la < lb ? la : lb;
                const int hi = la < lb ? lb : la;
                if (lo < tj || (lo == tj && hi < tk)) {
                    return true;
                }
                if (lo != tj || hi != tk) {
                    continue;
                }
                if (na) {
                    label_[static_cast<std::size_t>(a)] = static_cast<std::int8_t>(la);
                }
                if (nb) {
                    label_[static_cast<std::size_t>(b)] = static_cast<std::int8_t>(lb);
                }
                label_[static_cast<std::size_t>(5 + g)] = static_cast<std::int8_t>(5 + q);
                placed_ |= 1u << g;
                const bool found = smaller_from(q + 1, next);
                placed_ &= ~(1u << g);
                label_[static_cast<std::size_t>(5 + g)] = -1;
                if (na) {
                    label_[static_cast<std::size_t>(a)] = -1;
                }
                if (nb) {
                    label_[static_cast<std::size_t>(b)] = -1;
                }
                if (found) {
                    return true;
                }
            }
        }
        return false;
    }

    int r_;
    std::size_t root_;
    const std::function<void(const Chain&)>& visit_;
    Chain c_;
    std::array<int, kMaxNodes> deg_{};
    std::array<int, 5> pair_uses_{};
    std::array<std::int8_t, kMaxNodes> label_{};
    std::uint32_t placed_ = 0;
};

// The five operators that keep normal words normal, as the builder's truth tables.
constexpr std::array<unsigned, 5> kChainTt = {kTtAnd, kTtAndNot, 2, kTtOr, kTtXor};

inline Word chain_op(unsigned op, Word a, Word b) {
    switch (op) {
    case 0:
        return a & b;
    case 1:
        return a & ~b;
    case 2:
        return ~a & b;
    case 3:
        return a | b;
    default:
        return a ^ b;
    }
}

// Runs one topology under every operator choice: a depth-first walk over the
// gates that drops a choice as soon as a gate repeats an earlier value (then a
// smaller chain computes the same), and looks up the root values in batches
// with prefetching.
class ChainRunner {
public:
    ChainRunner(Engine& e, int r) : e_(e), r_(r) {
        pow5_[0] = 1;
        for (int i = 1; i <= 12; ++i) {
            pow5_[static_cast<std::size_t>(i)] = pow5_[static_cast<std::size_t>(i - 1)] * 5;
        }
    }

    std::uint64_t run(const Chain& c) {
        c_ = &c;
        leaves_ = 0;
        for (std::size_t x = 0; x < 5; ++x) {
            v_[x] = kInput[x];
        }
        descend(0, 0);
        flush();
        return leaves_;
    }

private:
    struct Pending {
        Word f;
        std::uint32_t code;
    };

    bool repeats(Word w, int upto) const {
        if (w == 0) {
            return true;
        }
        for (int x = 0; x < upto; ++x) {
            if (v_[static_cast<std::size_t>(x)] == w) {
                return true;
            }
        }
        return false;
    }

    void descend(int i, std::uint32_t code) {
        const Word a = v_[c_->j[static_cast<std::size_t>(i)]];
        const Word b = v_[c_->k[static_cast<std::size_t>(i)]];
        if (i == r_ - 1) {
            for (unsigned op = 0; op < 5; ++op) {
                const Word f = chain_op(op, a, b);
                e_.table().prefetch(f);
                pending_[count_++] = {f, code + op * pow5_[static_cast<std::size_t>(i)]};
            }
            leaves_ += 5;
            if (count_ + 5 > pending_.size()) {
                flush();
            }
            return;
        }
        for (unsigned op = 0; op < 5; ++op) {
            const Word w = chain_op(op, a, b);
            if (repeats(w, 5 + i)) {
                continue;
            }
            v_[static_cast<std::size_t>(5 + i)] = w;
            descend(i + 1, code + op * pow5_[static_cast<std::size_t>(i)]);
        }
    }

    void flush() {
        for (std::size_t n = 0; n < count_; ++n) {
            const Pending p = pending_[n];
            if (e_.table().get(p.f) > r_) {
                const Chain& c = *c_;
                e_.offer(p.f, r_, [&](Builder& b) {
                    std::array<Lit, kMaxNodes> lit{};
                    for (int x = 0; x < 5; ++x) {
                        lit[static_cast<std::size_t>(x)] = Builder::input(x);
                    }
                    for (int i = 0; i < c.r; ++i) {
                        const unsigned op = (p.code / pow5_[static_cast<std::size_t>(i)]) % 5;
                        lit[static_cast<std::size_t>(5 + i)] = b.gate(lit[c.j[static_cast<std::size_t>(i)]],
                                                                      lit[c.k[static_cast<std::size_t>(i)]], kChainTt[op]);
                    }
                    return lit[static_cast<std::size_t>(4 + c.r)];
                });
            }
        }
        count_ = 0;
    }

    Engine& e_;
    int r_;
    const Chain* c_ = nullptr;
    std::array<Word, kMaxNodes> v_{};
    std::array<std::uint32_t, 13> pow5_{};
    std::array<Pending, 80> pending_{};
    std::size_t count_ = 0;
    std::uint64_t leaves_ = 0;
};

std::size_t read_next(const std::string& path) {
    std::ifstream in(path);
    std::string key;
    std::size_t value = 0;
    std::size_t next = 0;
    while (in >> key >> value) {
        if (key == "next") {
            next = value;
        }
    }
    return next;
}

void write_next(const std::string& path, std::size_t next, std::size_t total, const Histogram& h) {
    const std::string tmp = path + ".tmp";
    {
        std::ofstream out(tmp, std::ios::trunc);
        out << "next " << next << "\ntotal " << total << "\n";
        for (std::size_t g = 0; g < h.size(); ++g) {
            out << "gates" << g << " " << h[g] << "\n";
        }
    }
    std::filesystem::rename(tmp, path);
}

}  // namespace

void enumerate_special_chains(int r, const std::function<void(const Chain&)>& visit) {
    if (r < 5 || r > 12) {
        return;
    }
    Enumerator(r, visit).run();
}

int run_chains(const ChainOptions& opt) {
    const auto t0 = Clock::now();
    std::vector<Chain> chains;
    enumerate_special_chains(opt.r, [&](const Chain& c) { chains.push_back(c); });
    std::printf("%zu special chains with %d gates, enumerated in %.1f s\n", chains.size(), opt.r, seconds_since(t0));
    std::fflush(stdout);
    if (opt.count_only) {
        return 0;
    }
    std::filesystem::create_directories(std::filesystem::path(opt.classes).parent_path());
    Database db(load_or_enumerate_classes(opt.classes));
    const std::size_t taken = db.load_image(opt.image);
    std::printf("%zu records from %s\n", taken, opt.image.c_str());
    Engine engine(db, opt.threads);
    engine.rebuild_table();
    const std::string progress =
        opt.progress.empty() ? "tools/npn5gen/chains" + std::to_string(opt.r) + ".txt" : opt.progress;
    std::size_t next = read_next(progress);
    const std::size_t slice =
        opt.slice != 0 ? opt.slice : std::max<std::size_t>(1, chains.size() / 50);
    long above = 0;
    for (std::size_t i = 1; i < db.size(); ++i) {
        above += db.cost(i) > opt.r;
    }
    engine.remaining_ = above;
    std::vector<ChainRunner> runners;
    for (int t = 0; t < opt.threads; ++t) {
        runners.emplace_back(engine, opt.r);
    }
    while (next < chains.size()) {
        const auto ts = Clock::now();
        const std::size_t end = std::min(chains.size(), next + slice);
        const std::size_t before = engine.found_.load();
        std::atomic<std::uint64_t> leaves{0};
        parallel_chunks(end - next, 1, opt.threads, [&](std::size_t b, std::size_t e, int t) {
            for (std::size_t i = b; i < e; ++i) {
                leaves += runners[static_cast<std::size_t>(t)].run(chains[next + i]);
            }
        });
        const std::size_t gained = engine.found_.load() - before;
        if (gained != 0) {
            db.save_image(opt.image);
        }
        next = end;
        write_next(progress, next, chains.size(), db.histogram());
        std::printf("chains %zu/%zu: %.1f s, %.3g operator choices, +%zu classes (total %zu)\n", next, chains.size(),
                    seconds_since(ts), static_cast<double>(leaves.load()), gained, engine.found_.load());
        std::fflush(stdout);
        if (seconds_since(t0) > opt.hours * 3600) {
            std::printf("time limit reached; rerun to continue from chain %zu\n", next);
            break;
        }
    }
    std::printf("%s", format_histogram(db.histogram()).c_str());
    std::printf("special chains with %d gates: %zu of %zu done after %.1f s\n", opt.r, next, chains.size(),
                seconds_since(t0));
    return 0;
}

}  // namespace npn5gen
