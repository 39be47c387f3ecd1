#include "chains.hpp"

#include <bit>
#include <cstdio>
#include <filesystem>
#include <vector>

#include "classes.hpp"
#include "database.hpp"
#include "engine.hpp"
#include "progress_file.hpp"
#include "topology.hpp"

namespace npn5gen {
namespace {

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
        root_a_ = c.j[static_cast<std::size_t>(r_ - 1)];
        root_b_ = c.k[static_cast<std::size_t>(r_ - 1)];
        // Cones (as gate sets) of the root's operands. The root costs at least r
        // only if cost(a) + cost(b) >= r; as cost(b) <= |cone b| and
        // r = |cone a| + |cone b| - |shared| + 1, each operand may fall short of
        // its cone by at most |shared| - 1.
        std::array<std::uint32_t, 12> cone{};
        for (int i = 0; i < r_; ++i) {
            std::uint32_t m = 1u << i;
            for (int x : {c.j[static_cast<std::size_t>(i)], c.k[static_cast<std::size_t>(i)]}) {
                if (x >= 5) {
                    m |= cone[static_cast<std::size_t>(x - 5)];
                }
            }
            cone[static_cast<std::size_t>(i)] = m;
        }
        const std::uint32_t ca = cone[static_cast<std::size_t>(root_a_ - 5)];
        const std::uint32_t cb = cone[static_cast<std::size_t>(root_b_ - 5)];
        const int slack = std::popcount(ca & cb) - 1;
        floor_.fill(0);
        floor_[static_cast<std::size_t>(root_a_)] = std::popcount(ca) - slack;
        floor_[static_cast<std::size_t>(root_b_)] = std::popcount(cb) - slack;
        // Evaluate the smaller operand's cone first, then the rest of the other
        // cone, then the root: each operand's cost check then cuts off as much of
        // the walk as it can. Every gate is in one of the two cones.
        const std::uint32_t first = std::popcount(ca) <= std::popcount(cb) ? ca : cb;
        const std::uint32_t second = (ca | cb) & ~first;
        int n = 0;
        for (std::uint32_t part : {first, second}) {
            for (int g = 0; g < r_ - 1; ++g) {
                if ((part >> g) & 1u) {
                    order_[static_cast<std::size_t>(n++)] = g;
                }
            }
        }
        order_[static_cast<std::size_t>(n)] = r_ - 1;
        for (int x = 0; x < 5; ++x) {
            v_[static_cast<std::size_t>(x)] = input_word(x);
            seen_[static_cast<std::size_t>(x)] = input_word(x);
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

    // A value equal to 0, an input or an earlier gate means that a smaller
    // chain computes the same; such operator choices are dropped.
    bool repeats(Word w, int pos) const {
        if (w == 0) {
            return true;
        }
        for (int x = 0; x < 5 + pos; ++x) {
            if (seen_[static_cast<std::size_t>(x)] == w) {
                return true;
            }
        }
        return false;
    }

    void descend(int pos, std::uint32_t code) {
        const int g = order_[static_cast<std::size_t>(pos)];
        const Word a = v_[c_->j[static_cast<std::size_t>(g)]];
        const Word b = v_[c_->k[static_cast<std::size_t>(g)]];
        const std::uint32_t unit = pow5_[static_cast<std::size_t>(g)];
        if (pos == r_ - 1) {
            // With lower levels exact and the level search run, a root whose
            // operands cost at most r - 1 together gives nothing new.
            if (cost_[static_cast<std::size_t>(root_a_)] + cost_[static_cast<std::size_t>(root_b_)] < r_) {
                return;
            }
            for (unsigned op = 0; op < 5; ++op) {
                const Word f = normal_op(op, a, b);
                e_.table().prefetch(f);
                pending_[count_++] = {f, code + op * unit};
            }
            leaves_ += 5;
            if (count_ + 5 > pending_.size()) {
                flush();
            }
            return;
        }
        const int node = 5 + g;
        const bool checked = node == root_a_ || node == root_b_;
        std::array<Word, 5> ws{};
        for (unsigned op = 0; op < 5; ++op) {
            ws[op] = normal_op(op, a, b);
            if (checked) {
                e_.table().prefetch(ws[op]);  // the five cost lookups below overlap
            }
        }
        for (unsigned op = 0; op < 5; ++op) {
            const Word w = ws[op];
            if (repeats(w, pos)) {
                continue;
            }
            v_[static_cast<std::size_t>(node)] = w;
            seen_[static_cast<std::size_t>(5 + pos)] = w;
            if (checked) {
                const int cw = e_.table().get(w);
                if (cw < floor_[static_cast<std::size_t>(node)]) {
                    continue;
                }
                cost_[static_cast<std::size_t>(node)] = cw;
            }
            descend(pos + 1, code + op * unit);
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
                        const Lit x = lit[c.j[static_cast<std::size_t>(i)]];
                        const Lit y = lit[c.k[static_cast<std::size_t>(i)]];
                        lit[static_cast<std::size_t>(5 + i)] = b.gate(x, y, kNormalTt[op]);
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
    std::array<Word, kMaxNodes> v_{};     // value of each node
    std::array<Word, kMaxNodes> seen_{};  // inputs, then gate values in evaluation order
    std::array<int, 12> order_{};         // gates in evaluation order
    std::array<int, kMaxNodes> cost_{};   // table cost of the root's operands
    std::array<int, kMaxNodes> floor_{};  // least cost of each root operand that can still matter
    int root_a_ = 0;
    int root_b_ = 0;
    std::array<std::uint32_t, 13> pow5_{};
    std::array<Pending, 80> pending_{};
    std::size_t count_ = 0;
    std::uint64_t leaves_ = 0;
};

}  // namespace

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
    std::size_t next = static_cast<std::size_t>(read_progress_file(progress)["next"]);
    const std::size_t slice = opt.slice != 0 ? opt.slice : std::max<std::size_t>(1, chains.size() / 50);
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
        write_progress_file(progress,
                            {{"next", static_cast<long long>(next)}, {"total", static_cast<long long>(chains.size())}},
                            db.histogram());
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
