// The measures of vexil.Vexil over a table, computed by the same core
// functions, without the interpreter lock and with progress reports.
//
// Each takes the table, its own argument if any, and the keyword `progress`.
// The table is copied into the core's form once, without the lock.
#include "call.hpp"
#include "methods.hpp"

#include "fvalue.hpp"
#include "memory_guard.hpp"
#include "metrics/cut_records.hpp"
#include "metrics/entanglement.hpp"
#include "metrics/fragmentation.hpp"
#include "npn5/function_queries.hpp"

#include <vector>

namespace vexil_kit {

namespace {

using vexil::FValue;

// Python memory per cut record: the tuples, the ints and the float.
constexpr std::uint64_t python_record_bytes = 256;

// The table in the core's form.
FValue copy_of(TableView table) {
    vexil::ensure_working_set(table.entries.size());
    return FValue(std::vector<std::uint8_t>(table.entries.begin(), table.entries.end()));
}

template <auto Measure>
auto plain(TableView table, Progress) {
    return Measure(copy_of(table));
}

std::vector<vexil::EntanglementSet> entanglement_sets(const FValue& f) {
    vexil::ensure_working_set(vexil::bytes_times(vexil::bipartition_count(f.n_vars()), python_record_bytes));
    return vexil::entanglement_sets(f);
}

std::vector<vexil::EntropySets> entropy_sets(const FValue& f) {
    vexil::ensure_working_set(vexil::bytes_times(vexil::bipartition_count(f.n_vars()), python_record_bytes));
    return vexil::entropy_sets(f);
}

// The caller checks the variables' range.
std::uint64_t information(TableView table, Variables vars, Progress) {
    return vexil::information(copy_of(table), vars.values);
}

float fragmentation_coefficient(TableView table, Variables vars, Progress) {
    return vexil::fragmentation_coefficient(copy_of(table), vars.values);
}

float fragmentation_k(TableView table, Count<"k"> k, Progress) {
    return vexil::fragmentation_k(copy_of(table), k.value);
}

const PyMethodDef methods[] = {
    method<"entanglement_sets", &plain<entanglement_sets>>("entanglement_sets(table, /, *, progress=None)\n--\n\n"
                                                           "A list of (set1, set2, entanglement) tuples."),
    method<"entropy_sets", &plain<entropy_sets>>("entropy_sets(table, /, *, progress=None)\n--\n\n"
                                                 "A list of (set1, set2, entropy) tuples."),
    method<"information", &information>("information(table, vars, /, *, progress=None)\n--\n\n"),
    method<"fragmentation_coefficient", &fragmentation_coefficient>(
        "fragmentation_coefficient(table, vars, /, *, progress=None)\n--\n\n"),
    method<"fragmentation_k", &fragmentation_k>("fragmentation_k(table, k, /, *, progress=None)\n--\n\n"),
    method<"fragmentation_spectrum", &plain<vexil::fragmentation_spectrum>>(
        "fragmentation_spectrum(table, /, *, progress=None)\n--\n\n"),
    method<"fragmentation_peak", &plain<vexil::fragmentation_peak>>(
        "fragmentation_peak(table, /, *, progress=None)\n--\n\n"),
    method<"fragmentation_delta", &plain<vexil::fragmentation_delta>>(
        "fragmentation_delta(table, /, *, progress=None)\n--\n\n"),
    method<"fragmentation_delta2", &plain<vexil::fragmentation_delta2>>(
        "fragmentation_delta2(table, /, *, progress=None)\n--\n\n"),
    method<"npn_representant", &plain<vexil::npn5::npn_representant>>(
        "npn_representant(table, /, *, progress=None)\n--\n\n"
        "The entries of the NPN class representative as bytes, or None unless the table has 32 entries."),
};

}  // namespace

std::span<const PyMethodDef> measure_methods() { return methods; }

}  // namespace vexil_kit
