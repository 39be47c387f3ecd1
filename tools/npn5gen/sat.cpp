// The sat stage's drivers: the words to try, and the instances of each run on
// several solver processes at once (the trial search is in sat_trials.cpp).
#include "sat.hpp"

#include <cstdio>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <stdexcept>

#include "builder.hpp"
#include "classes.hpp"
#include "database.hpp"
#include "engine.hpp"
#include "orbit.hpp"
#include "parallel.hpp"
#include "sat_encoding.hpp"
#include "sat_ledger.hpp"
#include "sat_solver.hpp"
#include "sat_trials.hpp"

namespace npn5gen {

namespace {

// Every instance of every word on opt.threads solver processes at once; a
// word's remaining instances are dropped once one of them gives a circuit.
int run_instances(Database& db, const std::vector<Word>& words, const SatOptions& opt) {
    SatLedger ledger(opt.progress);
    std::vector<Instance> todo;
    for (Word w : words) {
        for (int m = opt.member; m < opt.member + opt.members; ++m) {
            for (int pair = opt.split == 0 ? -1 : 0; pair < (opt.split == 0 ? 0 : 10); ++pair) {
                for (unsigned tt : kNormalTt) {
                    const Instance in{w, m, pair, pair < 0 ? 0u : tt};
                    if (!ledger.done(in.key(opt.gates), opt.seconds)) {
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
        const Word f = normalise(walk_to(in.word, in.member % kOrbitSteps));
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
        const SolverResult o = solve(enc.dimacs(), opt.workdir + name, opt.seconds);
        const double taken = seconds_since(t0);
        ledger.record(in.key(opt.gates), o.answer, opt.seconds, taken);
        std::lock_guard<std::mutex> lock(mutex);
        if (o.answer == SolverAnswer::satisfiable) {
            Builder bld;
            const auto outs = enc.decode(o.model, bld);
            const auto c = outs.size() == 1 && Builder::is_gate(outs[0]) ? bld.finish(outs[0]) : std::nullopt;
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
                    o.answer == SolverAnswer::satisfiable     ? "circuit found"
                    : o.answer == SolverAnswer::unsatisfiable ? "none"
                                                              : "no answer",
                    taken);
        std::fflush(stdout);
    });
    std::printf("%d classes improved\n%s", improved, format_histogram(db.histogram()).c_str());
    return 0;
}

}  // namespace

int run_sat(const SatOptions& opt) {
    if (!solver_available()) {
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
