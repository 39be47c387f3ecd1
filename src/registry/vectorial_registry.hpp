// The registry of the measures of vectorial functions ((n, m)-functions,
// S-boxes): named once here, read by the toolkit's VectorialFunction methods and
// their checks, the sweeps of S-boxes and the command line's report.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace vexil::vectorial {

struct Sbox;

// What a measure gives for one S-box.
enum class VectorialKind : std::uint8_t {
    integer,   // an exact int
    boolean,   // a bool
    counts,    // value -> count, as a dict of ints
    integers,  // a list of ints
    table,     // a 2-D array of ints
};

std::string_view kind_name(VectorialKind kind);

struct VectorialMeasureInfo {
    std::string_view name;
    VectorialKind kind;
    // Defined for permutations only (n = m, bijective).
    bool permutations_only;
    // Whether a call reports its progress.
    bool progress;
    // Time, as a function of n, m, N = 2^n and M = 2^m.
    std::string_view cost;
    std::string_view summary;
    // The value of a scalar measure (booleans as 0/1); null for the others.
    std::int64_t (*integer)(const Sbox&) = nullptr;

    bool scalar() const { return integer != nullptr; }
};

// Every measure of a vectorial function, in the order reports show them.
std::span<const VectorialMeasureInfo> vectorial_registry();
// The measure called `name`; null when there is none.
const VectorialMeasureInfo* find_vectorial_measure(std::string_view name);

}  // namespace vexil::vectorial
