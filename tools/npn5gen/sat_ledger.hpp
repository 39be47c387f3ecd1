// The ledger of the sat stage (tools/npn5gen/sat.txt): the outcome of every
// solver instance run so far, so that a search can be stopped at any moment
// and continued, with the same or a longer time limit, without repeating
// instances that are settled or already ran out of a limit at least as long.
#pragma once

#include <algorithm>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>
#include <mutex>
#include <sstream>
#include <string>

#include "atomic_file.hpp"
#include "runtime.hpp"
#include "sat_solver.hpp"

namespace npn5gen {

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

// One line per run: the instance key, then "sat", "unsat" or "unknown", the
// time limit and the time taken. Every record rewrites the file whole (through
// write_file_atomically), so the ledger belongs to one process at a time.
class SatLedger {
public:
    explicit SatLedger(std::string path) : path_(std::move(path)) {
        std::ifstream in(path_);
        text_.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
        if (!text_.empty() && text_.back() != '\n') {
            text_ += '\n';
        }
        std::istringstream lines(text_);
        std::string line;
        while (std::getline(lines, line)) {
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

    // Settled (sat or unsat) in an earlier run, or left unknown there with at
    // least this limit.
    bool done(const std::string& key, double limit) const {
        const auto it = seen_.find(key);
        return it != seen_.end() && (it->second.settled || it->second.limit >= limit);
    }

    void record(const std::string& key, SolverAnswer answer, double limit, double taken) {
        std::ostringstream line;
        line << key << ' '
             << (answer == SolverAnswer::satisfiable     ? "sat"
                 : answer == SolverAnswer::unsatisfiable ? "unsat"
                                                         : "unknown")
             << ' ' << limit << ' ' << static_cast<long>(taken) << '\n';
        std::lock_guard<std::mutex> lock(mutex_);
        text_ += line.str();
        write_file_atomically(path_, text_);
    }

private:
    struct Seen {
        bool settled = false;
        double limit = 0;
    };
    std::string path_;
    std::string text_;  // the file as it stands
    std::map<std::string, Seen> seen_;
    std::mutex mutex_;
};

}  // namespace npn5gen
