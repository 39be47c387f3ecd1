// Query complexity: sensitivities, block sensitivity, certificates and
// decision-tree depth, computed on the packed table without the interpreter lock.
#include "call.hpp"
#include "methods.hpp"

#include "base/packed_table.hpp"
#include "metrics/block_sensitivity.hpp"
#include "metrics/certificate.hpp"
#include "metrics/certificates.hpp"
#include "metrics/decision_tree.hpp"
#include "metrics/sensitivity.hpp"

#include <cstdint>
#include <span>
#include <string>

namespace vexil_kit {

namespace {

// s(x) for every input x, as a new uint8 array.
Object sensitivity_counts(TableView table) {
    vexil::py::NewArray array({table.entries.size()}, "uint8", 1);
    const std::span<std::uint8_t> out = array.values<std::uint8_t>();
    unlocked(
        [&] { vexil::packed_sensitivity_stats(vexil::pack_guarded(table.entries), table.n, nullptr, out.data()); });
    return {array.release()};
}

// (min, max, sum) of s(x) over all inputs.
vexil::SensitivityStats sensitivity_summary(TableView table) {
    return vexil::packed_sensitivity_stats(vexil::pack_guarded(table.entries), table.n, nullptr, nullptr);
}

// A measure of the packed table alone, with a progress keyword.
template <std::uint32_t (*Measure)(std::span<const std::uint64_t>, unsigned)>
std::uint32_t whole_table(TableView table, Progress) {
    return Measure(vexil::pack_guarded(table.entries), table.n);
}

// The largest C(x) over the inputs of one value.
std::uint32_t value_certificate_complexity(TableView table, Truth<"value"> value, Progress) {
    return vexil::packed_certificate_complexity(vexil::pack_guarded(table.entries), table.n, value.value);
}

// A smallest certificate of input x, as a mask of variables.
std::uint64_t smallest_certificate(TableView table, Count<"x"> x) {
    if (x.value >= table.entries.size()) {
        refuse(PyExc_IndexError,
               "entry " + std::to_string(x.value) + " is outside [0, " + std::to_string(table.entries.size()) + ")");
    }
    return vexil::smallest_certificate(vexil::pack_guarded(table.entries), table.n, x.value);
}

const PyMethodDef methods[] = {
    method<"sensitivity_counts", &sensitivity_counts>(
        "sensitivity_counts(table, /)\n--\n\n"
        "s(x) = #{v : f(x) != f(x ^ 2**v)} for x = 0..2**n-1, as a new uint8 array. Computed without the\n"
        "interpreter lock."),
    method<"sensitivity_summary", &sensitivity_summary>("sensitivity_summary(table, /)\n--\n\n"
                                                        "(min, max, sum) of s(x) over all inputs x, exact."),
    method<"block_sensitivity", &whole_table<vexil::packed_block_sensitivity>>(
        "block_sensitivity(table, /, *, progress=None)\n--\n\n"
        "The largest number of disjoint sensitive blocks at one input, over all inputs, exact."),
    method<"value_certificate_complexity", &value_certificate_complexity>(
        "value_certificate_complexity(table, value, /, *, progress=None)\n--\n\n"
        "The largest C(x) over the inputs x with f(x) == value; 0 when there is none."),
    method<"smallest_certificate", &smallest_certificate>(
        "smallest_certificate(table, x, /)\n--\n\n"
        "A smallest certificate of input x as a mask of variables: the least mask among those of size C(x)."),
    method<"decision_tree_depth", &whole_table<vexil::packed_decision_tree_depth>>(
        "decision_tree_depth(table, /, *, progress=None)\n--\n\n"
        "The depth of a shallowest deterministic decision tree computing f, exact; 0 for constants."),
};

}  // namespace

std::span<const PyMethodDef> query_methods() { return methods; }

}  // namespace vexil_kit
