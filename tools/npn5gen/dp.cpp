#include "dp.hpp"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <stdexcept>
#include <vector>

#include "classes.hpp"
#include "database.hpp"
#include "engine.hpp"
#include "parallel.hpp"
#include "progress_file.hpp"
#include "tables.hpp"

namespace npn5gen {
namespace {

// The ten two-input functions that depend on both inputs, as truth tables.
constexpr std::array<unsigned, 10> kBinaryTt = {1, 2, 4, 6, 7, 8, 9, 11, 13, 14};

class Generator {
public:
    Generator(Engine& engine, const DpOptions& options) : e_(engine), db_(engine.db()), opt_(options) {}

    // Returns false when no class costs more than r, so that higher levels have nothing to do.
    bool run_level(int r) {
        const auto t0 = Clock::now();
        for (auto& l : lists_) {
            l.clear();
        }
        long remaining = 0;
        for (std::size_t i = 1; i < db_.size(); ++i) {
            const std::uint8_t c = db_.cost(i);
            if (c < r) {
                lists_[c].push_back(static_cast<std::uint32_t>(i));
            } else if (c > r) {
                ++remaining;
            }
        }
        e_.remaining_ = remaining;
        if (remaining == 0) {
            return false;
        }
        e_.found_ = 0;
        std::printf("level %d: %ld classes cost more\n", r, remaining);
        std::fflush(stdout);
        if (r >= 3) {
            step("second-order", [&] { second_order(r); });
        }
        if (r >= 2) {
            step("composition 1", [&] { composition(r, 1); });
        }
        for (int a = 0; 2 * a <= r - 1; ++a) {
            step("disjoint " + std::to_string(a) + "+" + std::to_string(r - 1 - a), [&] { disjoint(r, a, r - 1 - a); });
        }
        for (int ch = 2; ch < r && ch <= opt_.max_comp_h; ++ch) {
            step("composition " + std::to_string(ch), [&] { composition(r, ch); });
        }
        std::printf("level %d done in %.1f s: %zu classes improved, %zu below the level\n", r, seconds_since(t0),
                    e_.found_.load(), e_.below_.load());
        std::fflush(stdout);
        return true;
    }

private:
    template <class Body>
    void step(const std::string& name, Body&& body) {
        if (e_.remaining_.load() == 0) {
            return;
        }
        const auto t0 = Clock::now();
        const std::size_t before = e_.found_.load();
        body();
        std::printf("  %-16s %8.1f s  +%zu\n", name.c_str(), seconds_since(t0), e_.found_.load() - before);
        std::fflush(stdout);
    }

    // Number of distinct normal words in the classes listed (estimated for long lists).
    double orbit_words(const std::vector<std::uint32_t>& list) const {
        if (list.size() > 64) {
            return static_cast<double>(kOrbitSteps) * static_cast<double>(list.size());
        }
        double n = 0;
        for (std::uint32_t cls : list) {
            n += static_cast<double>(e_.orbit(cls).size());
        }
        return n;
    }

    // fn(word) for every normal word of the classes listed, spread over the threads.
    template <class Fn>
    void for_each_walk(const std::vector<std::uint32_t>& list, Fn&& fn) {
        if (list.size() >= 64) {
            parallel_chunks(list.size(), 1, opt_.threads, [&](std::size_t b, std::size_t e, int) {
                for (std::size_t i = b; i < e && e_.remaining_.load(std::memory_order_relaxed) != 0; ++i) {
                    for (const WalkWord& w : e_.orbit(list[i])) {
                        fn(w);
                    }
                }
            });
            return;
        }
        std::vector<WalkWord> flat;
        for (std::uint32_t cls : list) {
            const auto o = e_.orbit(cls);
            flat.insert(flat.end(), o.begin(), o.end());
        }
        parallel_chunks(flat.size(), 16, opt_.threads, [&](std::size_t b, std::size_t e, int) {
            for (std::size_t i = b; i < e && e_.remaining_.load(std::memory_order_relaxed) != 0; ++i) {
                fn(flat[i]);
            }
        });
    }

    // f = g op h, g any word of a class of cost a, h a representative of cost b.
    void disjoint(int r, int a, int bcost) {
        const auto& la = lists_[static_cast<std::size_t>(a)];
        const auto& lb = lists_[static_cast<std::size_t>(bcost)];
        if (la.empty() || lb.empty()) {
            return;
        }
        std::vector<Word> hs(lb.size());
        for (std::size_t k = 0; k < lb.size(); ++k) {
            hs[k] = db_.rep(lb[k]);
        }
        constexpr std::size_t kBlock = 8;
        for_each_walk(la, [&](const WalkWord& g) {
            const Word gw = g.w;
            std::array<Word, kBlock * 5> f{};
            for (std::size_t k0 = 0; k0 < hs.size(); k0 += kBlock) {
                const std::size_t k1 = std::min(hs.size(), k0 + kBlock);
                for (std::size_t k = k0; k < k1; ++k) {
                    const Word h = hs[k];
                    Word* o = &f[5 * (k - k0)];
                    for (std::size_t q = 0; q < 5; ++q) {
                        o[q] = normal_op(q, gw, h);
                        e_.table().prefetch(o[q]);
                    }
                }
                for (std::size_t k = k0; k < k1; ++k) {
                    for (std::size_t q = 0; q < 5; ++q) {
                        const Word w = f[5 * (k - k0) + q];
                        if (e_.table().get(w) > r) {
                            const std::uint32_t hcls = lb[k];
                            e_.offer(w, r, [&](Builder& b) {
                                const Lit lg = e_.walk_lit(b, g);
                                const Lit lh = db_.emit(b, hcls, NpnTransform{});
                                return b.gate(lg, lh, kNormalTt[q]);
                            });
                        }
                    }
                }
            }
        });
    }

    // f = g(x_j := H), g a representative of cost r - ch, H any function of cost ch.
    void composition(int r, int ch) {
        const int cg = r - ch;
        if (cg < 1) {
            return;
        }
        struct Cof {
            Word g0, d;
            std::uint32_t cls;
            int j;
        };
        std::vector<Cof> gs;
        for (std::uint32_t cls : lists_[static_cast<std::size_t>(cg)]) {
            const Word g = db_.rep(cls);
            for (int j = 0; j < 5; ++j) {
                const Word g0 = cofactor0(g, j);
                const Word d = g0 ^ cofactor1(g, j);
                if (d != 0) {
                    gs.push_back({g0, d, cls, j});
                }
            }
        }
        const auto& lh = lists_[static_cast<std::size_t>(ch)];
        const double work = 2.0 * static_cast<double>(gs.size()) * orbit_words(lh);
        if (gs.empty() || lh.empty()) {
            return;
        }
        if (work > opt_.comp_budget) {
            std::printf("  composition %d+%d skipped (%.2g evaluations)\n", cg, ch, work);
            return;
        }
        constexpr std::size_t kBlock = 8;
        for_each_walk(lh, [&](const WalkWord& hw) {
            const Word h = hw.w;
            std::array<Word, kBlock * 2> f{};
            for (std::size_t k0 = 0; k0 < gs.size(); k0 += kBlock) {
                const std::size_t k1 = std::min(gs.size(), k0 + kBlock);
                for (std::size_t k = k0; k < k1; ++k) {
                    const Word v = gs[k].g0 ^ (h & gs[k].d);
                    f[2 * (k - k0)] = normalise(v);
                    f[2 * (k - k0) + 1] = normalise(v ^ gs[k].d);
                    e_.table().prefetch(f[2 * (k - k0)]);
                    e_.table().prefetch(f[2 * (k - k0) + 1]);
                }
                for (std::size_t k = k0; k < k1; ++k) {
                    for (std::size_t q = 0; q < 2; ++q) {
                        const Word w = f[2 * (k - k0) + q];
                        if (e_.table().get(w) > r) {
                            const Cof& g = gs[k];
                            e_.offer(w, r, [&](Builder& b) {
                                std::array<Lit, 5> in{};
                                for (int i = 0; i < 5; ++i) {
                                    in[static_cast<std::size_t>(i)] = Builder::input(i);
                                }
                                const Lit l = e_.walk_lit(b, hw);
                                in[static_cast<std::size_t>(g.j)] = q == 0 ? l : ~l;
                                return b.emit(db_.circuit(g.cls), in);
                            });
                        }
                    }
                }
            }
        });
    }

    // f = g(x_i := P, x_j := Q), P and Q distinct one-gate functions of x_i and x_j,
    // g a representative of cost r - 2.
    void second_order(int r) {
        const auto& lg = lists_[static_cast<std::size_t>(r - 2)];
        struct Pair {
            unsigned p, q;
        };
        std::vector<Pair> pq;
        for (unsigned p : kBinaryTt) {
            for (unsigned q : kBinaryTt) {
                if (p != q && p != (15u ^ q)) {
                    pq.push_back({p, q});
                }
            }
        }
        parallel_chunks(lg.size(), 16, opt_.threads, [&](std::size_t b, std::size_t e, int) {
            for (std::size_t idx = b; idx < e && e_.remaining_.load(std::memory_order_relaxed) != 0; ++idx) {
                const std::uint32_t cls = lg[idx];
                const Word g = db_.rep(cls);
                for (const auto& ij : kPairs) {
                    const int i = ij[0];
                    const int j = ij[1];
                    std::array<Word, 4> cof{};  // index 2p + q: x_i := p, x_j := q
                    std::array<Word, 4> region{};
                    for (unsigned u = 0; u < 2; ++u) {
                        const Word gi = u ? cofactor1(g, i) : cofactor0(g, i);
                        for (unsigned v = 0; v < 2; ++v) {
                            cof[2 * u + v] = v ? cofactor1(gi, j) : cofactor0(gi, j);
                            const Word xi = input_word(i);
                            const Word xj = input_word(j);
                            region[2 * u + v] = (u ? xi : ~xi) & (v ? xj : ~xj);
                        }
                    }
                    for (const Pair& s : pq) {
                        Word f = 0;
                        for (unsigned uv = 0; uv < 4; ++uv) {
                            const unsigned p = (s.p >> uv) & 1u;
                            const unsigned q = (s.q >> uv) & 1u;
                            f |= region[uv] & cof[2 * p + q];
                        }
                        f = normalise(f);
                        if (e_.table().get(f) > r) {
                            e_.offer(f, r, [&](Builder& bb) {
                                std::array<Lit, 5> in{};
                                for (int k = 0; k < 5; ++k) {
                                    in[static_cast<std::size_t>(k)] = Builder::input(k);
                                }
                                in[static_cast<std::size_t>(i)] = bb.gate(Builder::input(i), Builder::input(j), s.p);
                                in[static_cast<std::size_t>(j)] = bb.gate(Builder::input(i), Builder::input(j), s.q);
                                return bb.emit(db_.circuit(cls), in);
                            });
                        }
                    }
                }
            }
        });
    }

    Engine& e_;
    Database& db_;
    const DpOptions& opt_;
    std::array<std::vector<std::uint32_t>, 13> lists_;
};

struct Progress {
    int pass = 1;
    int level = 0;  // last level finished in that pass
};

Progress read_progress(const std::string& path) {
    auto values = read_progress_file(path);
    Progress p;
    p.pass = values.contains("pass") ? static_cast<int>(values["pass"]) : p.pass;
    p.level = static_cast<int>(values["level"]);
    return p;
}

}  // namespace

int run_dp(const DpOptions& opt) {
    const auto t0 = Clock::now();
    std::filesystem::create_directories(std::filesystem::path(opt.classes).parent_path());
    Database db(load_or_enumerate_classes(opt.classes));
    std::printf("classes ready after %.1f s\n", seconds_since(t0));
    Progress progress;
    if (!opt.fresh) {
        const std::size_t taken = db.load_image(opt.image);
        progress = read_progress(opt.progress);
        std::printf("resumed: %zu records from %s, pass %d after level %d\n", taken, opt.image.c_str(), progress.pass,
                    progress.level);
    }
    if (progress.level >= opt.max_level) {
        progress.pass += 1;
        progress.level = 0;
    }
    if (opt.from_level > 0) {
        progress.level = opt.from_level - 1;
    }
    std::fflush(stdout);
    Engine engine(db, opt.threads);
    engine.rebuild_table();
    Generator gen(engine, opt);
    for (int pass = 0; pass < opt.passes; ++pass) {
        std::printf("pass %d\n", progress.pass);
        for (int r = progress.level + 1; r <= opt.max_level; ++r) {
            const bool more = gen.run_level(r);
            progress.level = more ? r : opt.max_level;
            db.save_image(opt.image);
            write_progress_file(opt.progress, {{"pass", progress.pass}, {"level", progress.level}}, db.histogram());
            std::printf("%s", format_histogram(db.histogram()).c_str());
            std::printf("checkpoint written after %.1f s\n", seconds_since(t0));
            std::fflush(stdout);
            if (!more) {
                break;
            }
        }
        progress.pass += 1;
        progress.level = 0;
    }
    return 0;
}

}  // namespace npn5gen
