// What the native test programs share besides the check harness: tables built
// from rules, the small functions of the worked tables (whose measures are known
// by hand), and a loop over the kernel variants.
#pragma once

#include "check.hpp"
#include "fvalue.hpp"
#include "base/kernel_variants.hpp"

#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

namespace native_test {

using Table = std::vector<std::uint8_t>;

inline unsigned ones(std::uint64_t x) { return static_cast<unsigned>(std::popcount(x)); }

// The table of n variables whose entry x is rule(x).
template <class Rule>
Table from_rule(unsigned n, Rule&& rule) {
    Table t(std::size_t{1} << n);
    for (std::uint64_t x = 0; x < t.size(); ++x) t[x] = rule(x) ? 1 : 0;
    return t;
}

inline bool parity(std::uint64_t x) { return ones(x) % 2 == 1; }
inline bool majority3(std::uint64_t x) { return ones(x) >= 2; }

// The functions of the worked tables: "identity" (of one variable), "and",
// "xor", "var0" (variable 0 of two), "false" (of two), "majority" and "parity"
// (of three), "one" (no variables, true).
inline vexil::FValue worked(std::string_view name) {
    if (name == "identity") return vexil::FValue({0, 1});
    if (name == "and") return vexil::FValue({0, 0, 0, 1});
    if (name == "xor") return vexil::FValue({0, 1, 1, 0});
    if (name == "var0") return vexil::FValue({0, 1, 0, 1});
    if (name == "false") return vexil::FValue({0, 0, 0, 0});
    if (name == "majority") return vexil::FValue(from_rule(3, majority3));
    if (name == "parity") return vexil::FValue(from_rule(3, parity));
    if (name == "one") return vexil::FValue({1});
    std::fprintf(stderr, "no worked function named %.*s\n", static_cast<int>(name.size()), name.data());
    std::abort();
}

// Runs `body` once under every kernel variant the processor has, naming the
// variant in failures, and leaves the widest one selected.
template <class Body>
void for_each_kernel_set(Body&& body) {
    using vexil::detail::KernelSet;
    const char* const names[] = {"baseline", "avx2", "avx512"};
    const KernelSet best = vexil::detail::best_kernel_set();
    for (int set = 0; set <= static_cast<int>(best); ++set) {
        vexil::detail::force_kernel_set(static_cast<KernelSet>(set));
        context = names[set];
        body();
    }
    vexil::detail::force_kernel_set(best);
    context = nullptr;
}

}  // namespace native_test
