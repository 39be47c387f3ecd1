// Two-level forms and decision trees as objects: the irredundant sum of
// products, the prime implicants, a shallowest decision tree and the least
// number of leaves of one, computed on packed tables without the interpreter lock.
#include "call.hpp"
#include "methods.hpp"

#include "base/packed_table.hpp"
#include "metrics/decision_trees.hpp"
#include "metrics/two_level.hpp"

#include <cstdint>
#include <string>
#include <vector>

namespace vexil_kit {

namespace {

// The cubes as (count, 2) rows of (mask, values).
Array<std::uint64_t> cube_rows(const std::vector<vexil::Cube>& cubes) {
    Array<std::uint64_t> rows{{}, 2};
    rows.values.reserve(2 * cubes.size());
    for (const vexil::Cube& cube : cubes) rows.values.insert(rows.values.end(), {cube.mask, cube.values});
    return rows;
}

// ValueError unless the table has at most max_vars variables.
void require_vars(const TableView& table, unsigned max_vars, const char* what) {
    if (table.n <= max_vars) return;
    refuse(PyExc_ValueError, std::string(what) + " of at most " + std::to_string(max_vars) +
                                 " variables; this one has " + std::to_string(table.n));
}

// An irredundant sum of products of a function between two tables.
Array<std::uint64_t> isop(NamedTable<"lower"> lower, NamedTable<"upper"> upper) {
    if (lower.n != upper.n) {
        refuse(PyExc_ValueError,
               "the tables have " + std::to_string(lower.n) + " and " + std::to_string(upper.n) + " variables");
    }
    return cube_rows(
        vexil::packed_isop(vexil::pack_guarded(lower.entries), vexil::pack_guarded(upper.entries), lower.n));
}

Array<std::uint64_t> prime_implicants(TableView table, Progress) {
    require_vars(table, vexil::prime_implicants_max_vars, "prime implicants take functions");
    return cube_rows(vexil::packed_prime_implicants(vexil::pack_guarded(table.entries), table.n));
}

// A shallowest decision tree as its preorder codes.
Array<std::uint8_t> decision_tree(TableView table, Progress) {
    return {vexil::packed_decision_tree(vexil::pack_guarded(table.entries), table.n)};
}

std::uint32_t decision_tree_size(TableView table) {
    require_vars(table, vexil::decision_tree_size_max_vars, "decision_tree_size takes functions");
    return vexil::packed_decision_tree_size(vexil::pack_guarded(table.entries), table.n);
}

const PyMethodDef methods[] = {
    method<"isop", &isop>("isop(lower, upper, /)\n--\n\n"
                          "An irredundant sum of products of some g with lower <= g <= upper (lower inside upper), by\n"
                          "Minato-Morreale, as a (count, 2) uint64 array of (mask, values) cubes."),
    method<"prime_implicants", &prime_implicants>(
        "prime_implicants(table, /, *, progress=None)\n--\n\n"
        "Every prime implicant, as a (count, 2) uint64 array of (mask, values) cubes;\n"
        "ValueError past 14 variables."),
    method<"decision_tree", &decision_tree>(
        "decision_tree(table, /, *, progress=None)\n--\n\n"
        "A shallowest decision tree as uint8 codes in preorder: a variable read (its 0\n"
        "branch first), 64 a false leaf, 65 a true leaf."),
    method<"decision_tree_size", &decision_tree_size>(
        "decision_tree_size(table, /)\n--\n\n"
        "The least number of leaves of a decision tree computing f; ValueError past 10 variables."),
};

}  // namespace

std::span<const PyMethodDef> two_level_methods() { return methods; }

}  // namespace vexil_kit
