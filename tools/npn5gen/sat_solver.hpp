// The external SAT solver: CaDiCaL, the `cadical` program (Debian package
// cadical), run as a child process on a CNF file, with its arguments passed as
// a vector (no shell) and its exit status checked. The program need not be
// installed to build the generator: only the sat stage runs it.
#pragma once

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <string>
#include <system_error>
#include <vector>

extern char** environ;

namespace npn5gen {

// How a program ended (the wait status) and what it wrote on standard output.
struct ProgramRun {
    int wait_status = 0;
    std::string output;
};

// Runs argv[0] (looked up on PATH unless it names a path) with these arguments,
// standard error discarded, and waits for it. Throws std::system_error when it
// cannot be started.
inline ProgramRun run_program(const std::vector<std::string>& argv) {
    // Close-on-exec: solvers started at the same time by other threads must
    // not inherit this pipe, or its reader would wait for them as well.
    int pipe_fds[2];
    if (::pipe2(pipe_fds, O_CLOEXEC) != 0) {
        throw std::system_error(errno, std::generic_category(), "pipe");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, pipe_fds[1], 1);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    std::vector<char*> args;
    for (const std::string& a : argv) {
        args.push_back(const_cast<char*>(a.c_str()));
    }
    args.push_back(nullptr);
    pid_t pid = 0;
    const int started = ::posix_spawnp(&pid, args[0], &actions, nullptr, args.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(pipe_fds[1]);
    if (started != 0) {
        ::close(pipe_fds[0]);
        throw std::system_error(started, std::generic_category(), "cannot start " + argv[0]);
    }
    ProgramRun run;
    char buffer[1 << 16];
    for (;;) {
        const ssize_t n = ::read(pipe_fds[0], buffer, sizeof buffer);
        if (n > 0) {
            run.output.append(buffer, static_cast<std::size_t>(n));
        } else if (n == 0 || errno != EINTR) {
            break;
        }
    }
    ::close(pipe_fds[0]);
    while (::waitpid(pid, &run.wait_status, 0) < 0) {
        if (errno != EINTR) {
            throw std::system_error(errno, std::generic_category(), "waiting for " + argv[0]);
        }
    }
    return run;
}

enum class SolverAnswer { satisfiable, unsatisfiable, unknown };

struct SolverResult {
    SolverAnswer answer = SolverAnswer::unknown;
    std::vector<bool> model;  // model[v] for variable v >= 1, when satisfiable
};

// Reads a CaDiCaL run: exit status 10 with "s SATISFIABLE" and the model on
// "v" lines, 20 with "s UNSATISFIABLE", or 0 with "UNKNOWN" (its time limit
// stopped it). Anything else (another status, a signal, output that does not
// match the status) is a failure: std::runtime_error naming `what`.
inline SolverResult read_solver_run(const ProgramRun& run, const std::string& what) {
    if (!WIFEXITED(run.wait_status)) {
        throw std::runtime_error("solver on " + what + " ended by signal " +
                                 std::to_string(WIFSIGNALED(run.wait_status) ? WTERMSIG(run.wait_status) : 0));
    }
    const int status = WEXITSTATUS(run.wait_status);
    SolverResult result;
    bool sat_line = false;
    bool unsat_line = false;
    bool unknown_line = false;
    std::istringstream in(run.output);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind("s SATISFIABLE", 0) == 0) {
            sat_line = true;
        } else if (line.rfind("s UNSATISFIABLE", 0) == 0) {
            unsat_line = true;
        } else if (line.rfind("s UNKNOWN", 0) == 0 || line.rfind("c UNKNOWN", 0) == 0) {
            unknown_line = true;
        } else if (line.rfind("v ", 0) == 0) {
            std::istringstream ls(line.substr(2));
            long l = 0;
            while (ls >> l) {
                if (l > 0) {
                    if (result.model.size() <= static_cast<std::size_t>(l)) {
                        result.model.resize(static_cast<std::size_t>(l) + 1, false);
                    }
                    result.model[static_cast<std::size_t>(l)] = true;
                }
            }
        }
    }
    const bool consistent = (status == 10 && sat_line && !unsat_line) || (status == 20 && unsat_line && !sat_line) ||
                            (status == 0 && unknown_line && !sat_line && !unsat_line);
    if (!consistent) {
        throw std::runtime_error("solver on " + what + " failed (exit status " + std::to_string(status) +
                                 (status == 10 || status == 20 || status == 0 ? ", output does not match it)" : ")"));
    }
    result.answer = status == 10   ? SolverAnswer::satisfiable
                    : status == 20 ? SolverAnswer::unsatisfiable
                                   : SolverAnswer::unknown;
    if (result.answer != SolverAnswer::satisfiable) {
        result.model.clear();
    }
    return result;
}

// Writes the formula to cnf_path, runs `program -q -t SECONDS cnf_path` and
// reads its answer (read_solver_run). The file is removed afterwards, and kept
// for inspection when the run fails (the error says so).
inline SolverResult solve(const std::string& dimacs, const std::string& cnf_path, double seconds,
                          const std::string& program = "cadical") {
    {
        std::ofstream out(cnf_path, std::ios::trunc);
        out << dimacs;
        if (!out.flush()) {
            throw std::runtime_error("cannot write " + cnf_path);
        }
    }
    const long limit = seconds < 1 ? 1 : static_cast<long>(seconds);
    const ProgramRun run = run_program({program, "-q", "-t", std::to_string(limit), cnf_path});
    const SolverResult result = read_solver_run(run, cnf_path + " (kept)");
    std::filesystem::remove(cnf_path);
    return result;
}

// Whether `program --version` runs and exits with status 0.
inline bool solver_available(const std::string& program = "cadical") {
    try {
        const ProgramRun run = run_program({program, "--version"});
        return WIFEXITED(run.wait_status) && WEXITSTATUS(run.wait_status) == 0;
    } catch (const std::system_error&) {
        return false;
    }
}

}  // namespace npn5gen
