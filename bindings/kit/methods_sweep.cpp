// Sweeps: measures of many small functions at once, and the NPN classes of
// five-variable functions from the gate database.
#include "call.hpp"
#include "methods.hpp"
#include "numpy_out.hpp"

#include "memory_guard.hpp"
#include "npn5/class_list.hpp"
#include "sweep/sweep.hpp"

#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace vexil_kit {

namespace {

using RowBytes = Bytes<"rows">;

// The number of packed rows of n-variable functions the bytes hold; a
// ValueError when they hold no whole number of rows.
std::uint64_t row_count(const RowBytes& rows, std::uint64_t vars) {
    if (vars >= 64) refuse(PyExc_ValueError, "rows of " + std::to_string(vars) + " variables are too large");
    const std::uint64_t bytes = vexil::sweep_row_bytes(static_cast<unsigned>(vars));
    if (rows.bytes.size() % bytes != 0) {
        refuse(PyExc_ValueError, "the rows hold " + std::to_string(rows.bytes.size()) +
                                     " bytes, not a whole number of " + std::to_string(bytes) + "-byte rows");
    }
    return rows.bytes.size() / bytes;
}

Object five_input_class_words() {
    std::vector<vexil::npn5::Word> words;
    // The first call builds the gate database (seconds).
    unlocked([&] { words = vexil::npn5::class_words(); });
    vexil::py::NewArray array({words.size()}, "uint32", sizeof(std::uint32_t));
    std::ranges::copy(words, array.values<std::uint32_t>().begin());
    return {array.release()};
}

// (name, kind, max_vars) of every measure the batch kernel computes: the
// registry's scalar measures of functions, under their own names.
Object sweep_measure_table() {
    std::vector<const vexil::MeasureInfo*> scalar;
    for (const vexil::MeasureInfo& m : vexil::measure_registry()) {
        if (m.subject == vexil::MeasureSubject::function && m.scalar()) scalar.push_back(&m);
    }
    return {vexil::py::list_of(scalar, [](const vexil::MeasureInfo* m) {
        const char* kind = m->real != nullptr ? "real" : m->kind == vexil::MeasureKind::boolean ? "boolean" : "integer";
        return vexil::py::check(
            Py_BuildValue("(s#sI)", m->name.data(), static_cast<Py_ssize_t>(m->name.size()), kind, m->max_vars));
    })};
}

Object sweep_rows(RowBytes rows, Count<"n"> n, Texts<"names"> names, Progress progress) {
    const std::uint64_t count = row_count(rows, n.value);
    const auto vars = static_cast<unsigned>(n.value);
    std::vector<const vexil::MeasureInfo*> measures;
    for (const std::string& name : names.values) {
        const vexil::MeasureInfo* m = vexil::find_scalar_measure(vexil::MeasureSubject::function, name);
        if (m == nullptr) refuse(PyExc_ValueError, "no batch kernel computes '" + name + "'");
        if (vars > m->max_vars) {
            refuse(PyExc_ValueError, "'" + name + "' is defined up to " + std::to_string(m->max_vars) +
                                         " variables, not " + std::to_string(vars));
        }
        measures.push_back(m);
    }
    Ref results(vexil::py::check(PyTuple_New(static_cast<Py_ssize_t>(measures.size()))));
    std::vector<vexil::SweepColumn> columns;
    for (std::size_t i = 0; i < measures.size(); ++i) {
        const bool real = measures[i]->real != nullptr;
        vexil::py::NewArray array({count}, real ? "float64" : "int64", 8);
        vexil::SweepColumn column{measures[i]};
        if (real) {
            column.reals = array.values<double>().data();
        } else {
            column.integers = array.values<std::int64_t>().data();
        }
        columns.push_back(column);
        PyTuple_SetItem(results.get(), static_cast<Py_ssize_t>(i), array.release());  // steals the array
    }
    unlocked([&] { vexil::sweep_rows(rows.bytes, vars, columns); }, progress);
    return {results.release()};
}

Object sweep_spectra(RowBytes rows, Count<"n"> n, Progress progress) {
    const std::uint64_t count = row_count(rows, n.value);
    const auto vars = static_cast<unsigned>(n.value);
    const std::uint64_t values = vexil::bytes_times(count, std::uint64_t{1} << vars);
    unlocked([&] { vexil::ensure_working_set(vexil::bytes_times(values, sizeof(std::int64_t))); });
    vexil::py::NewArray array({values}, "int64", sizeof(std::int64_t));
    const std::span<std::int64_t> out = array.values<std::int64_t>();
    unlocked([&] { vexil::sweep_spectra(rows.bytes, vars, out); }, progress);
    return {array.release()};
}

const PyMethodDef methods[] = {
    method<"five_input_class_words", &five_input_class_words>(
        "five_input_class_words()\n--\n\n"
        "The canonical word of each of the NPN classes of five-variable functions held by the gate\n"
        "database, as a sorted uint32 array; bit i of a word is entry i of its class's representative\n"
        "(the table npn_representant returns). The first call builds the database (seconds)."),
    method<"sweep_measure_table", &sweep_measure_table>(
        "sweep_measure_table()\n--\n\n"
        "(name, kind, max_vars) of each measure sweep_rows computes; kind is 'integer', 'real' or 'boolean'."),
    method<"sweep_rows", &sweep_rows>(
        "sweep_rows(rows, n, names, /, *, progress=None)\n--\n\n"
        "The measures `names` of each function of n variables in `rows` (a C-contiguous buffer of packed\n"
        "rows, max(1, 2**n / 8) bytes each, entry x at bit x % 8 of byte x / 8), as a tuple of arrays:\n"
        "int64 for integer and boolean measures (0/1), float64 for real ones. Computed on the worker pool\n"
        "without the interpreter lock; progress counts functions."),
    method<"sweep_spectra", &sweep_spectra>(
        "sweep_spectra(rows, n, /, *, progress=None)\n--\n\n"
        "The Walsh spectra of the packed rows (see sweep_rows), row after row, as one int64\n"
        "array of count * 2**n values."),
};

}  // namespace

std::span<const PyMethodDef> sweep_methods() { return methods; }

}  // namespace vexil_kit
