// The registry of measures: every measure of a single function the library
// computes, named once, with what the layers above derive from it (the
// toolkit's methods and their checks, the batch kernel of sweeps, the command
// line's list and report, the documentation's checks).
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace vexil {

class MeasureInput;

enum class MeasureGroup : std::uint8_t { basic, information, spectral, algebraic, cryptographic, query, circuits };

// What a measure gives for one function.
enum class MeasureKind : std::uint8_t {
    integer,   // an exact int
    real,      // a float
    boolean,   // a bool
    integers,  // a list or array of ints
    reals,     // a list or array of floats
    pair,      // (k, value)
    records,   // one record per balanced cut
    function,  // another function (a truth table)
    circuit,   // a circuit
    text,      // a str
    counts,    // a dict of int -> count, sorted by key
};

struct MeasureInfo {
    std::string_view name;
    MeasureGroup group;
    MeasureKind kind;
    // The parameters it takes beyond the function ("" for none), as the
    // toolkit names them.
    std::string_view parameters;
    // Largest n it is defined for (any_vars: no limit of its own).
    unsigned max_vars;
    // Only defined at exactly max_vars variables (the five-input class).
    bool exact_vars;
    // Whether a call reports its progress.
    bool progress;
    // Time, as a function of n and N = 2^n.
    std::string_view cost;
    // One line: what it is.
    std::string_view summary;
    // The measure of one function for the batch kernel of sweeps and the
    // toolkit's scalar measures: set for integer and boolean measures (0/1)
    // or real ones, null for the others.
    std::int64_t (*integer)(MeasureInput&) = nullptr;
    double (*real)(MeasureInput&) = nullptr;

    bool scalar() const { return integer != nullptr || real != nullptr; }
};

struct MeasureAlias {
    std::string_view alias;
    std::string_view name;
};

inline constexpr unsigned any_vars = 64;

// Every measure, in the order reports show them (grouped).
std::span<const MeasureInfo> measure_registry();
// Other names of measures, each with the measure it names.
std::span<const MeasureAlias> measure_aliases();
// The measure called `name` or an alias of it; null when there is none.
const MeasureInfo* find_measure(std::string_view name);
// The same, among the measures with a scalar evaluator.
const MeasureInfo* find_scalar_measure(std::string_view name);

std::string_view group_name(MeasureGroup group);
std::string_view kind_name(MeasureKind kind);

}  // namespace vexil
