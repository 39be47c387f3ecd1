#include "sat_trials.hpp"

#include <algorithm>
#include <array>
#include <cstdio>
#include <mutex>
#include <stdexcept>

#include "builder.hpp"
#include "engine.hpp"
#include "orbit.hpp"
#include "parallel.hpp"
#include "sat_encoding.hpp"
#include "sat_solver.hpp"

namespace npn5gen {

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
                        for (std::size_t q = 0; q < 5; ++q) {
                            const Word f = normal_op(q, g, h);
                            if (member(f)) {
                                mine.push_back({g, h, f, kNormalTt[q], a, b});
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
                const SolverResult o = solve(enc.dimacs(), opt.workdir + name, opt.seconds);
                if (o.answer == SolverAnswer::satisfiable) {
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
                    if (c && circuit_value(*c) == tr.f) {
                        if (store_if_better(db, tr.f, *c)) {
                            ++improved;
                            db.save_image(opt.image);
                        }
                        std::printf("%08x: %d gates via %08x (cost %d) and %08x (cost %d), trial %zu, %.1f s\n", w,
                                    c->gate_count, tr.g, tr.a, tr.h, tr.b, n, seconds_since(t0));
                        found = true;
                    }
                } else if (o.answer == SolverAnswer::unknown) {
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

}  // namespace npn5gen
