// The check harness of the native test programs.
//
//   CHECK(condition);
//   CHECK(condition, "printf format", args...);   // said when it fails
//   return native_test::finish("program");       // the exit status
//
// A failed check prints its place, its condition and the message, and the
// program goes on, so that one run shows every failure.
#pragma once

#include <cstdio>

namespace native_test {

inline int checks = 0;
inline int failures = 0;

// Counts a check; on failure prints "file:line: check failed: condition -- ".
inline bool passed(bool ok, const char* condition, const char* file, int line) {
    ++checks;
    if (ok) return true;
    ++failures;
    std::fprintf(stderr, "%s:%d: check failed: %s -- ", file, line, condition);
    return false;
}

inline int finish(const char* name) {
    if (failures == 0) {
        std::printf("%s: all %d checks passed\n", name, checks);
        return 0;
    }
    std::printf("%s: %d of %d checks failed\n", name, failures, checks);
    return 1;
}

}  // namespace native_test

#define CHECK(condition, ...)                                                                       \
    do {                                                                                            \
        if (!::native_test::passed(static_cast<bool>(condition), #condition, __FILE__, __LINE__)) { \
            __VA_OPT__(std::fprintf(stderr, __VA_ARGS__);)                                          \
            std::fputc('\n', stderr);                                                               \
        }                                                                                           \
    } while (0)
