// Where the circuit-image generator (tools/npn5gen) meets the outside: files
// replaced whole, the ledger of solver runs, and the solver process, run here
// as stand-in shell scripts (the real solver need not be installed).
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <system_error>
#include <vector>

#include "check.hpp"
#include "tools/npn5gen/atomic_file.hpp"
#include "tools/npn5gen/sat_ledger.hpp"
#include "tools/npn5gen/sat_solver.hpp"

using namespace npn5gen;
namespace fs = std::filesystem;

namespace {

std::string read_file(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::size_t files_in(const fs::path& folder) {
    return static_cast<std::size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

void test_atomic_write(const fs::path& dir) {
    const fs::path path = dir / "image.bin";
    const std::string first("one\0two", 7);
    write_file_atomically(path.string(), first);
    CHECK(read_file(path) == first, "a new file holds the bytes, NUL included");
    const std::string second(100000, 'x');
    write_file_atomically(path.string(), second);
    CHECK(read_file(path) == second, "a file is replaced whole");
    CHECK(files_in(dir) == 1, "no temporary file is left (%zu files)", files_in(dir));
    struct stat st{};
    CHECK(::stat(path.c_str(), &st) == 0 && (st.st_mode & 0444) == 0444, "the file is readable by all");
    bool threw = false;
    try {
        write_file_atomically((dir / "missing" / "file").string(), "x");
    } catch (const std::system_error&) {
        threw = true;
    }
    CHECK(threw && !fs::exists(dir / "missing"), "a write into a missing folder fails and creates nothing");
    fs::remove(path);
}

void test_ledger(const fs::path& dir) {
    const fs::path path = dir / "sat.txt";
    const Instance a{0x01bcda86u, 0, -1, 0};
    const Instance b{0x067ab314u, 1, 3, 14};
    {
        std::ofstream(path) << "# earlier runs\n01bcda86 11 0 -1 0 unknown 780 780";  // no final newline
        SatLedger ledger(path.string());
        CHECK(ledger.done(a.key(11), 600) && ledger.done(a.key(11), 780), "unknown at 780 s covers shorter limits");
        CHECK(!ledger.done(a.key(11), 900), "a longer limit runs again");
        CHECK(!ledger.done(a.key(10), 60), "another gate count is another instance");
        ledger.record(b.key(11), SolverAnswer::unsatisfiable, 60, 12.7);
        ledger.record(a.key(11), SolverAnswer::unknown, 900, 900);
    }
    CHECK(read_file(path) ==
              "# earlier runs\n01bcda86 11 0 -1 0 unknown 780 780\n067ab314 11 1 3 14 unsat 60 12\n"
              "01bcda86 11 0 -1 0 unknown 900 900\n",
          "ledger lines: key, outcome, limit, seconds taken");
    const SatLedger again(path.string());
    CHECK(again.done(b.key(11), 1e9), "a settled instance stays settled at any limit");
    CHECK(again.done(a.key(11), 900) && !again.done(a.key(11), 901), "the longest limit counts");
    CHECK(files_in(dir) == 1, "the ledger leaves no temporary file");
    fs::remove(path);
}

// A stand-in solver: writes its arguments, one per line, and its input file
// beside it, then runs `body`.
fs::path fake_solver(const fs::path& dir, const std::string& name, const std::string& body) {
    const fs::path path = dir / name;
    std::ofstream(path) << "#!/bin/sh\n"
                        << "printf '%s\\n' \"$@\" > '" << (dir / "args.txt").string() << "'\n"
                        << "eval last=\\${$#}\n"
                        << "cp \"$last\" '" << (dir / "input.txt").string() << "' 2>/dev/null\n"
                        << body << "\n";
    fs::permissions(path, fs::perms::owner_all);
    return path;
}

bool solve_fails(const std::string& dimacs, const fs::path& cnf, const fs::path& solver) {
    try {
        solve(dimacs, cnf.string(), 5, solver.string());
    } catch (const std::runtime_error&) {
        return true;
    }
    return false;
}

void test_solver(const fs::path& dir) {
    // A name with a space and a quote: passed as one argument, not through a shell.
    const fs::path cnf = dir / "it's an instance.cnf";
    const std::string dimacs = "p cnf 5 1\n1 -2 0\n";

    const fs::path sat = fake_solver(dir, "sat", "echo 's SATISFIABLE'; echo 'v 1 -2 3'; echo 'v -4 5 0'; exit 10");
    const SolverResult r = solve(dimacs, cnf.string(), 7.9, sat.string());
    CHECK(r.answer == SolverAnswer::satisfiable, "status 10 is satisfiable");
    const std::vector<bool> model = {false, true, false, true, false, true};
    CHECK(r.model == model, "the model from the v lines");
    CHECK(read_file(dir / "args.txt") == "-q\n-t\n7\n" + cnf.string() + "\n", "arguments as a vector");
    CHECK(read_file(dir / "input.txt") == dimacs, "the solver reads the formula");
    CHECK(!fs::exists(cnf), "the formula file is removed after an answer");

    const fs::path unsat = fake_solver(dir, "unsat", "echo 's UNSATISFIABLE'; exit 20");
    CHECK(solve(dimacs, cnf.string(), 5, unsat.string()).answer == SolverAnswer::unsatisfiable, "status 20");
    const fs::path unknown = fake_solver(dir, "unknown", "echo 'c UNKNOWN'; exit 0");
    const SolverResult u = solve(dimacs, cnf.string(), 5, unknown.string());
    CHECK(u.answer == SolverAnswer::unknown && u.model.empty(), "status 0 with UNKNOWN: the time limit");

    CHECK(solve_fails(dimacs, cnf, fake_solver(dir, "error", "echo 'c error'; exit 1")), "status 1 is a failure");
    CHECK(fs::exists(cnf), "the formula file is kept after a failure");
    CHECK(solve_fails(dimacs, cnf, fake_solver(dir, "silent", "exit 0")), "status 0 without UNKNOWN is a failure");
    CHECK(solve_fails(dimacs, cnf, fake_solver(dir, "liar", "echo 's UNSATISFIABLE'; exit 10")),
          "a status that its output contradicts is a failure");
    CHECK(solve_fails(dimacs, cnf, fake_solver(dir, "killed", "kill -9 $$")), "a signal is a failure");
    bool cannot_start = false;
    try {
        solve(dimacs, cnf.string(), 5, (dir / "no such solver").string());
    } catch (const std::system_error&) {
        cannot_start = true;
    }
    CHECK(cannot_start, "a missing program cannot be started");

    CHECK(solver_available(fake_solver(dir, "version", "exit 0").string()), "a program that answers --version");
    CHECK(!solver_available((dir / "no such solver").string()), "a missing program is not available");
    CHECK(!solver_available(fake_solver(dir, "broken", "exit 3").string()), "a failing program is not available");
}

}  // namespace

int main() {
    std::string pattern = (fs::temp_directory_path() / "npn5gen_io.XXXXXX").string();
    if (::mkdtemp(pattern.data()) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const fs::path dir = pattern;
    fs::create_directory(dir / "files");
    fs::create_directory(dir / "ledger");
    fs::create_directory(dir / "solver");
    test_atomic_write(dir / "files");
    test_ledger(dir / "ledger");
    test_solver(dir / "solver");
    fs::remove_all(dir);
    return native_test::finish("npn5gen_io");
}
