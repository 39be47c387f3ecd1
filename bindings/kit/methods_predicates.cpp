// Predicates of a table that give more than a bool: the variables it depends
// on, its direction in each variable, its Chow parameters. The boolean and
// integer predicates are registry measures, reached through `measure`.
//
// Each takes the table and reads it packed, without the interpreter lock.
#include "methods.hpp"
#include "method_row.hpp"
#include "table_arg.hpp"
#include "to_python.hpp"
#include "unlocked.hpp"

#include "memory_guard.hpp"
#include "metrics/predicates.hpp"
#include "base/packed_table.hpp"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace vexil_kit {

namespace {

using Words = std::span<const std::uint64_t>;

// Runs measure(words, n) on the packed table without the lock and converts
// its result with `convert` (the shared conversions by default); null with the
// error set when either failed.
template <class Measure, class Convert>
PyObject* on_packed(PyObject* argument, Measure&& measure, Convert&& convert) {
    Buffer buffer;
    const std::optional<TableView> table = read_table(argument, buffer);
    if (!table) return nullptr;
    std::optional<decltype(measure(Words{}, 0U))> result;
    const bool done = run_unlocked([&] {
        vexil::ensure_working_set(vexil::packed_table_bytes(table->n));
        const std::vector<std::uint64_t> words = vexil::pack_entries(table->entries);
        result.emplace(measure(Words(words), table->n));
    });
    if (!done) return nullptr;
    return guarded([&] { return convert(*result); });
}

const auto shared_conversion = [](const auto& value) { return vexil::py::to_python(value); };

PyObject* essential_variables(PyObject*, PyObject* argument) {
    return on_packed(
        argument, [](Words words, unsigned n) { return vexil::essential_variables(words, n); }, shared_conversion);
}

PyObject* unate_directions(PyObject*, PyObject* argument) {
    return on_packed(
        argument,
        [](Words words, unsigned n) {
            const vexil::UnateDirections d = vexil::unate_directions(words, n);
            return std::pair<std::uint64_t, std::uint64_t>{d.rising, d.falling};
        },
        shared_conversion);
}

PyObject* chow_parameters(PyObject*, PyObject* argument) {
    return on_packed(
        argument, [](Words words, unsigned n) { return vexil::chow_parameters(words, n); },
        [](const std::vector<std::int64_t>& values) {
            return vexil::py::list_of(values, [](std::int64_t v) { return vexil::py::check(PyLong_FromLongLong(v)); });
        });
}

const PyMethodDef methods[] = {
    {"essential_variables", &essential_variables, METH_O,
     "essential_variables(table, /)\n--\n\n"
     "The variables the table depends on, as a mask: bit v set when some entry changes with variable v."},
    {"unate_directions", &unate_directions, METH_O,
     "unate_directions(table, /)\n--\n\n"
     "(rising, falling): bit v of rising set when some edge of direction v goes from false to true as\n"
     "variable v goes from 0 to 1, of falling when some goes from true to false."},
    {"chow_parameters", &chow_parameters, METH_O,
     "chow_parameters(table, /)\n--\n\n"
     "[W(0), W(1), W(2), ..., W(2**(n-1))] as a list of ints: the Walsh coefficients of order 0 and 1."},
};

}  // namespace

std::span<const PyMethodDef> predicate_methods() { return methods; }

}  // namespace vexil_kit
