// Predicates of a table that give more than a bool: the variables it depends
// on, its direction in each variable, its Chow parameters. The boolean and
// integer predicates are registry measures, reached through `measure`.
//
// Each takes the table and reads it packed, without the interpreter lock.
#include "call.hpp"
#include "methods.hpp"

#include "base/packed_table.hpp"
#include "metrics/predicates.hpp"

#include <cstdint>
#include <utility>
#include <vector>

namespace vexil_kit {

namespace {

std::uint64_t essential_variables(TableView table) {
    return vexil::essential_variables(vexil::pack_guarded(table.entries), table.n);
}

std::pair<std::uint64_t, std::uint64_t> unate_directions(TableView table) {
    const vexil::UnateDirections d = vexil::unate_directions(vexil::pack_guarded(table.entries), table.n);
    return {d.rising, d.falling};
}

std::vector<std::int64_t> chow_parameters(TableView table) {
    return vexil::chow_parameters(vexil::pack_guarded(table.entries), table.n);
}

const PyMethodDef methods[] = {
    method<"essential_variables", &essential_variables>(
        "essential_variables(table, /)\n--\n\n"
        "The variables the table depends on, as a mask: bit v set when some entry changes with variable v."),
    method<"unate_directions", &unate_directions>(
        "unate_directions(table, /)\n--\n\n"
        "(rising, falling): bit v of rising set when some edge of direction v goes from false to true as\n"
        "variable v goes from 0 to 1, of falling when some goes from true to false."),
    method<"chow_parameters", &chow_parameters>(
        "chow_parameters(table, /)\n--\n\n"
        "[W(0), W(1), W(2), ..., W(2**(n-1))] as a list of ints: the Walsh coefficients of order 0 and 1."),
};

}  // namespace

std::span<const PyMethodDef> predicate_methods() { return methods; }

}  // namespace vexil_kit
