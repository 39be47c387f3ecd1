// The registry of measures: every measure the core computes, of either
// subject (a Boolean function, or a vectorial function: an (n, m)-function,
// an S-box), named once in one table, with what the layers above derive from
// it (the toolkit's methods and their checks, the batch kernel of sweeps, the
// command line's list and report, the documentation's checks).
//
// A row says what the measure is (subject, group, kind, parameters), where it
// applies (a variable limit, five variables exactly, permutations only) and,
// for a scalar, how to compute it: one evaluator per subject input type,
// `integer` or `real` on a MeasureInput for a function, `sbox` on an Sbox for
// a vectorial function. A row of one subject never sets the other subject's
// evaluator, so the subject tells which one to call.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace vexil {

class MeasureInput;

namespace vectorial {
struct Sbox;
}

// What a measure is measured on.
enum class MeasureSubject : std::uint8_t {
    function,   // a Boolean function, its truth table
    vectorial,  // an (n, m)-function: 2^n output words of m bits
};

enum class MeasureGroup : std::uint8_t { basic, information, spectral, algebraic, cryptographic, query, circuits };

// What a measure gives for one function or S-box.
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
    table,     // a 2-D array of ints
};

inline constexpr unsigned any_vars = 64;

struct MeasureInfo {
    std::string_view name;
    MeasureSubject subject;
    MeasureGroup group;
    MeasureKind kind;
    // The parameters it takes beyond the function ("" for none), as the
    // toolkit names them.
    std::string_view parameters = "";
    // Largest n it is defined for (any_vars: no limit of its own).
    unsigned max_vars = any_vars;
    // Only defined at exactly max_vars variables (the five-input class).
    bool exact_vars = false;
    // Only defined for permutations (n = m, bijective).
    bool permutations_only = false;
    // Whether a call reports its progress.
    bool progress = false;
    // Time, as a function of n, m, N = 2^n and M = 2^m.
    std::string_view cost = "";
    // One line: what it is.
    std::string_view summary = "";
    // The evaluators of a scalar (integer, boolean as 0/1, or real) measure,
    // null for the others: `integer` or `real` for a function, `sbox` for a
    // vectorial function. The batch kernel of sweeps and the toolkit's scalar
    // measures both call them, so their values are the same bit for bit.
    std::int64_t (*integer)(MeasureInput&) = nullptr;
    double (*real)(MeasureInput&) = nullptr;
    std::int64_t (*sbox)(const vectorial::Sbox&) = nullptr;

    bool scalar() const { return integer != nullptr || real != nullptr || sbox != nullptr; }
};

// Another name of a measure of functions (`degree` for `fourier_degree`).
struct MeasureAlias {
    std::string_view alias;
    std::string_view name;
};

// Every measure of every subject, in the order reports show them: the
// functions' measures (grouped), then the vectorial ones.
std::span<const MeasureInfo> measure_registry();
// Other names of measures of functions, each with the measure it names.
std::span<const MeasureAlias> measure_aliases();
// The measure of `subject` called `name` or an alias of it; null when there is none.
const MeasureInfo* find_measure(MeasureSubject subject, std::string_view name);
// The same, among the measures with a scalar evaluator.
const MeasureInfo* find_scalar_measure(MeasureSubject subject, std::string_view name);

std::string_view subject_name(MeasureSubject subject);
std::string_view group_name(MeasureGroup group);
std::string_view kind_name(MeasureKind kind);

// A count as an evaluator's value (counts of a table fit: at most 2^63).
constexpr std::int64_t as_integer(std::uint64_t v) { return static_cast<std::int64_t>(v); }

}  // namespace vexil
