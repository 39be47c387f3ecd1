// State shared by the search stages: the class database, the cost table that
// mirrors it word by word, and the one path by which a stage hands in a cheaper
// circuit (offer), which checks it by evaluation before anything is stored.
#pragma once

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <stdexcept>
#include <vector>

#include "builder.hpp"
#include "database.hpp"
#include "orbit.hpp"
#include "parallel.hpp"
#include "tables.hpp"

namespace npn5gen {

using Clock = std::chrono::steady_clock;

inline double seconds_since(Clock::time_point t0) { return std::chrono::duration<double>(Clock::now() - t0).count(); }

// One normal word of a class's orbit and the walk step that reaches it.
struct WalkWord {
    Word w;
    std::uint32_t cls;
    std::uint16_t step;
};

class Engine {
public:
    Engine(Database& db, int threads) : db_(db), threads_(threads) {}

    Database& db() { return db_; }
    const CostTable& table() const { return table_; }
    int threads() const { return threads_; }

    // Fills the cost table from the class costs (orbit by orbit).
    void rebuild_table() {
        const auto t0 = Clock::now();
        table_.fill(CostTable::kUnknown);
        parallel_chunks(db_.size(), 512, threads_, [&](std::size_t b, std::size_t e, int) {
            for (std::size_t i = b; i < e; ++i) {
                if (db_.cost(i) != kNoCost) {
                    expand(i, db_.cost(i));
                }
            }
        });
        std::printf("cost table rebuilt in %.1f s\n", seconds_since(t0));
        std::fflush(stdout);
    }

    // The distinct normal words of a class with the walk step of each.
    std::vector<WalkWord> orbit(std::uint32_t cls) const {
        std::vector<WalkWord> v;
        v.reserve(kOrbitSteps);
        for_each_transform(db_.rep(cls), [&](Word n, int s) { v.push_back({n, cls, static_cast<std::uint16_t>(s)}); });
        std::sort(v.begin(), v.end(), [](const WalkWord& x, const WalkWord& y) { return x.w < y.w; });
        v.erase(std::unique(v.begin(), v.end(), [](const WalkWord& x, const WalkWord& y) { return x.w == y.w; }),
                v.end());
        return v;
    }

    // The class circuit laid down so that it computes the orbit word w.
    Lit walk_lit(Builder& b, const WalkWord& w) const {
        const Lit l = db_.emit(b, w.cls, orbit_walk().xf[w.step]);
        return b.value(l) == w.w ? l : ~l;
    }

    // Called when f looked cheaper than the table says (level r): builds the
    // circuit, checks it by evaluation, moves it to its class key's frame and
    // stores it when it beats the class's circuit. Returns true when it did.
    template <class Build>
    bool offer(Word f, int r, Build&& build) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (table_.get(f) <= r) {
            return false;
        }
        Builder b;
        Lit out = build(b);
        if (b.value(out) != f) {
            out = ~out;
        }
        if (b.value(out) != f) {
            throw std::logic_error("built circuit misses its word");
        }
        const auto c = b.finish(out);
        if (!c) {
            return false;
        }
        const KeyedCircuit k = to_key_frame(f, *c);
        const long i = db_.index(k.key);
        if (i < 0) {
            throw std::logic_error("class key not among the classes");
        }
        const auto ci = static_cast<std::size_t>(i);
        const std::uint8_t old = db_.cost(ci);
        if (old <= k.circuit.gate_count) {
            expand(ci, old);
            return false;
        }
        db_.set(ci, k.circuit);  // checks the circuit by evaluation once more
        expand(ci, k.circuit.gate_count);
        if (old > r) {
            remaining_.fetch_sub(1);
        }
        ++found_;
        if (k.circuit.gate_count < r) {
            ++below_;
        }
        return true;
    }

    std::atomic<long> remaining_{0};  // classes above the level being searched
    std::atomic<std::size_t> found_{0};
    std::atomic<std::size_t> below_{0};

private:
    void expand(std::size_t cls, std::uint8_t c) {
        for_each_transform(db_.rep(cls), [&](Word n, int) { table_.lower(n, c); });
    }

    Database& db_;
    int threads_;
    CostTable table_;
    std::mutex mutex_;
};

}  // namespace npn5gen
