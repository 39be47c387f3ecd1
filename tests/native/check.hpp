// The check harness of the native test programs.
//
//   CHECK(condition);
//   CHECK(condition, "printf format", args...);   // said when it fails
//   CHECK_EQ(got, want[, "printf format", args...]);   // also prints both values
//   return native_test::finish("program");       // the exit status
//
// A failed check prints its place, its condition and the message, and the
// program goes on, so that one run shows every failure. While
// native_test::context is set (say, to the kernel variant under test), failures
// name it too.
#pragma once

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <type_traits>
#include <utility>

namespace native_test {

inline int checks = 0;
inline int failures = 0;
inline const char* context = nullptr;

// Counts a check; on failure prints "file:line: check failed: condition -- ".
inline bool passed(bool ok, const char* condition, const char* file, int line) {
    ++checks;
    if (ok) return true;
    ++failures;
    if (context != nullptr) {
        std::fprintf(stderr, "%s:%d: [%s] check failed: %s -- ", file, line, context, condition);
    } else {
        std::fprintf(stderr, "%s:%d: check failed: %s -- ", file, line, condition);
    }
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

// Integers are equal by value whatever their types; floating-point values bit
// for bit, so that -0.0 and 0.0 differ (the measures define the sign of zero).
template <class A, class B>
bool identical(A a, B b) {
    static_assert(std::is_arithmetic_v<A> && std::is_arithmetic_v<B>);
    if constexpr (std::is_floating_point_v<A> || std::is_floating_point_v<B>) {
        static_assert(std::is_same_v<A, B>, "compare floating-point values of one type");
        return std::memcmp(&a, &b, sizeof a) == 0;
    } else {
        return std::cmp_equal(a, b);
    }
}

template <class T>
void print_value(T v) {
    if constexpr (std::is_same_v<T, float>) {
        std::uint32_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        std::fprintf(stderr, "%.9g [%08x]", static_cast<double>(v), bits);
    } else if constexpr (std::is_same_v<T, double>) {
        std::uint64_t bits;
        std::memcpy(&bits, &v, sizeof bits);
        std::fprintf(stderr, "%.17g [%016llx]", v, static_cast<unsigned long long>(bits));
    } else if constexpr (std::is_signed_v<T>) {
        std::fprintf(stderr, "%lld", static_cast<long long>(v));
    } else {
        std::fprintf(stderr, "%llu", static_cast<unsigned long long>(v));
    }
}

template <class A, class B>
void print_values(A got, B want) {
    std::fputs("got ", stderr);
    print_value(got);
    std::fputs(", want ", stderr);
    print_value(want);
}

}  // namespace native_test

#define CHECK(condition, ...)                                                                       \
    do {                                                                                            \
        if (!::native_test::passed(static_cast<bool>(condition), #condition, __FILE__, __LINE__)) { \
            __VA_OPT__(std::fprintf(stderr, __VA_ARGS__);)                                          \
            std::fputc('\n', stderr);                                                               \
        }                                                                                           \
    } while (0)

#define CHECK_EQ(got, want, ...)                                                                                   \
    do {                                                                                                           \
        const auto check_got_ = (got);                                                                             \
        const auto check_want_ = (want);                                                                           \
        if (!::native_test::passed(::native_test::identical(check_got_, check_want_), #got " == " #want, __FILE__, \
                                   __LINE__)) {                                                                    \
            ::native_test::print_values(check_got_, check_want_);                                                  \
            __VA_OPT__(std::fputs("; ", stderr); std::fprintf(stderr, __VA_ARGS__);)                               \
            std::fputc('\n', stderr);                                                                              \
        }                                                                                                          \
    } while (0)
