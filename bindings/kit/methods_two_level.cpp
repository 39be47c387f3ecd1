// Two-level forms and decision trees as objects: the irredundant sum of
// products, the prime implicants, a shallowest decision tree and the least
// number of leaves of one, computed on packed tables without the interpreter lock.
#include "methods.hpp"
#include "method_row.hpp"
#include "numpy_out.hpp"
#include "table_arg.hpp"
#include "unlocked.hpp"

#include "base/packed_table.hpp"
#include "memory_guard.hpp"
#include "metrics/decision_trees.hpp"
#include "metrics/two_level.hpp"

#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace vexil_kit {

namespace {

using vexil::Cube;

std::vector<std::uint64_t> packed(const TableView& table) {
    vexil::ensure_working_set(vexil::packed_table_bytes(table.n));
    return vexil::pack_entries(table.entries);
}

// The cubes as a new (count, 2) uint64 array of (mask, values) rows.
PyObject* cube_array(const std::vector<Cube>& cubes) {
    return guarded([&] {
        vexil::py::NewArray array({cubes.size(), 2}, "uint64", sizeof(std::uint64_t));
        const std::span<std::uint64_t> out = array.values<std::uint64_t>();
        for (std::size_t k = 0; k < cubes.size(); ++k) {
            out[2 * k] = cubes[k].mask;
            out[2 * k + 1] = cubes[k].values;
        }
        return array.release();
    });
}

// An irredundant sum of products of a function between two tables.
PyObject* isop(PyObject*, PyObject* args) {
    PyObject* lower_object = nullptr;
    PyObject* upper_object = nullptr;
    if (PyArg_ParseTuple(args, "OO", &lower_object, &upper_object) == 0) return nullptr;
    Buffer lower_buffer;
    Buffer upper_buffer;
    const std::optional<TableView> lower = read_table(lower_object, lower_buffer);
    if (!lower) return nullptr;
    const std::optional<TableView> upper = read_table(upper_object, upper_buffer);
    if (!upper) return nullptr;
    if (lower->n != upper->n) {
        PyErr_Format(PyExc_ValueError, "the tables have %u and %u variables", lower->n, upper->n);
        return nullptr;
    }
    std::vector<Cube> cubes;
    const bool done = run_unlocked([&] {
        const std::vector<std::uint64_t> low = packed(*lower);
        const std::vector<std::uint64_t> high = packed(*upper);
        cubes = vexil::packed_isop(low, high, lower->n);
    });
    return done ? cube_array(cubes) : nullptr;
}

PyObject* prime_implicants(PyObject*, PyObject* args, PyObject* kwargs) {
    TableCall call;
    if (!call.parse(args, kwargs)) return nullptr;
    if (call.table->n > vexil::prime_implicants_max_vars) {
        PyErr_Format(PyExc_ValueError, "prime implicants take functions of at most %u variables; this one has %u",
                     vexil::prime_implicants_max_vars, call.table->n);
        return nullptr;
    }
    std::vector<Cube> cubes;
    const bool done = run_unlocked(
        [&] { cubes = vexil::packed_prime_implicants(packed(*call.table), call.table->n); }, call.progress);
    return done ? cube_array(cubes) : nullptr;
}

// A shallowest decision tree as its preorder codes, a new uint8 array.
PyObject* decision_tree(PyObject*, PyObject* args, PyObject* kwargs) {
    TableCall call;
    if (!call.parse(args, kwargs)) return nullptr;
    std::vector<std::uint8_t> codes;
    const bool done = run_unlocked(
        [&] { codes = vexil::packed_decision_tree(packed(*call.table), call.table->n); }, call.progress);
    if (!done) return nullptr;
    return guarded([&] {
        vexil::py::NewArray array({codes.size()}, "uint8", 1);
        std::ranges::copy(codes, array.values<std::uint8_t>().begin());
        return array.release();
    });
}

PyObject* decision_tree_size(PyObject*, PyObject* argument) {
    Buffer table_buffer;
    const std::optional<TableView> table = read_table(argument, table_buffer);
    if (!table) return nullptr;
    if (table->n > vexil::decision_tree_size_max_vars) {
        PyErr_Format(PyExc_ValueError, "decision_tree_size takes functions of at most %u variables; this one has %u",
                     vexil::decision_tree_size_max_vars, table->n);
        return nullptr;
    }
    std::uint32_t leaves = 0;
    const bool done =
        run_unlocked([&] { leaves = vexil::packed_decision_tree_size(packed(*table), table->n); });
    return done ? PyLong_FromUnsignedLong(leaves) : nullptr;
}

using vexil::py::keyword_row;

const PyMethodDef methods[] = {
    {"isop", &isop, METH_VARARGS,
     "isop(lower, upper, /)\n--\n\n"
     "An irredundant sum of products of some g with lower <= g <= upper (lower inside upper), by\n"
     "Minato-Morreale, as a (count, 2) uint64 array of (mask, values) cubes."},
    keyword_row<prime_implicants>("prime_implicants",
                                  "prime_implicants(table, /, *, progress=None)\n--\n\n"
                                  "Every prime implicant, as a (count, 2) uint64 array of (mask, values) cubes;\n"
                                  "ValueError past 14 variables."),
    keyword_row<decision_tree>("decision_tree",
                               "decision_tree(table, /, *, progress=None)\n--\n\n"
                               "A shallowest decision tree as uint8 codes in preorder: a variable read (its 0\n"
                               "branch first), 64 a false leaf, 65 a true leaf."),
    {"decision_tree_size", &decision_tree_size, METH_O,
     "decision_tree_size(table, /)\n--\n\n"
     "The least number of leaves of a decision tree computing f; ValueError past 10 variables."},
};

}  // namespace

std::span<const PyMethodDef> two_level_methods() { return methods; }

}  // namespace vexil_kit
