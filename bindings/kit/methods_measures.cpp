// The measures of vexil.Vexil over a table, computed by the same core
// functions, without the interpreter lock and with progress reports.
//
// Each takes the table, its own argument if any, and the keyword `progress`
// (a callable, see unlocked.hpp). The table is copied into the core's form
// once, without the lock.
#include "arguments.hpp"
#include "methods.hpp"
#include "table_arg.hpp"
#include "unlocked.hpp"

#include "method_row.hpp"
#include "to_python.hpp"

#include "fvalue.hpp"
#include "memory_guard.hpp"
#include "metrics/cut_records.hpp"
#include "metrics/entanglement.hpp"
#include "metrics/fragmentation.hpp"
#include "npn5/function_queries.hpp"

#include <optional>
#include <utility>
#include <vector>

namespace vexil_kit {

namespace {

using vexil::FValue;

using vexil::py::to_python;

// A record's members as a tuple of ints.
PyObject* members_to_python(const std::vector<std::uint64_t>& members) {
    return vexil::py::tuple_of(members, [](std::uint64_t v) { return to_python(v); });
}

// A record as the tuple (set1, set2, value).
template <class Record, class Value>
PyObject* records_to_python(const std::vector<Record>& records, Value Record::* value) {
    return vexil::py::list_of(records, [value](const Record& record) {
        Ref set1(members_to_python(record.set1));
        Ref set2(members_to_python(record.set2));
        Ref measure(to_python(record.*value));
        return vexil::py::check(PyTuple_Pack(3, set1.get(), set2.get(), measure.get()));
    });
}

PyObject* to_python(const std::vector<vexil::EntanglementSet>& records) {
    return records_to_python(records, &vexil::EntanglementSet::entanglement);
}
PyObject* to_python(const std::vector<vexil::EntropySets>& records) {
    return records_to_python(records, &vexil::EntropySets::entropy);
}

// The representative's entries as bytes, or None for tables of other sizes.
PyObject* to_python(const std::optional<FValue>& f) {
    if (!f) Py_RETURN_NONE;
    return vexil::py::check(
        PyBytes_FromStringAndSize(reinterpret_cast<const char*>(f->data()), static_cast<Py_ssize_t>(f->size())));
}

// Python memory per cut record: the tuples, the ints and the float.
constexpr std::uint64_t python_record_bytes = 256;

// Runs measure(FValue) on the table without the lock; its result as a Python
// object, or null with the error set.
template <class Measure>
PyObject* compute(PyObject* table_object, PyObject* progress, Measure&& measure) {
    Buffer buffer;
    const std::optional<TableView> table = read_table(table_object, buffer);
    if (!table) return nullptr;
    if (!check_progress(progress)) return nullptr;
    std::optional<decltype(measure(std::declval<const FValue&>()))> result;
    const bool done = run_unlocked(
        [&] {
            vexil::ensure_working_set(table->entries.size());
            const FValue f(std::vector<std::uint8_t>(table->entries.begin(), table->entries.end()));
            result.emplace(measure(f));
        },
        progress);
    if (!done) return nullptr;
    return guarded([&] { return to_python(*result); });
}

template <class Measure>
PyObject* no_argument(PyObject* args, PyObject* kwargs, Measure&& measure) {
    static const char* keywords[] = {"", "progress", nullptr};
    PyObject* table = nullptr;
    PyObject* progress = nullptr;
    if (PyArg_ParseTupleAndKeywords(args, kwargs, "O|$O", const_cast<char**>(keywords), &table, &progress) == 0) {
        return nullptr;
    }
    return compute(table, progress, std::forward<Measure>(measure));
}

template <auto Measure>
PyObject* plain(PyObject*, PyObject* args, PyObject* kwargs) {
    return no_argument(args, kwargs, [](const FValue& f) { return Measure(f); });
}

PyObject* fragmentation_k(PyObject*, PyObject* args, PyObject* kwargs) {
    static const char* keywords[] = {"", "", "progress", nullptr};
    PyObject* table = nullptr;
    vexil::py::U64Argument k{"k"};
    PyObject* progress = nullptr;
    if (PyArg_ParseTupleAndKeywords(args, kwargs, "OO&|$O", const_cast<char**>(keywords), &table, &vexil::py::read_u64,
                                    &k, &progress) == 0) {
        return nullptr;
    }
    return compute(table, progress, [k = k.value](const FValue& f) { return vexil::fragmentation_k(f, k); });
}

// The variables as a tuple of ints; the caller checks their range.
template <auto Measure>
PyObject* over_variables(PyObject*, PyObject* args, PyObject* kwargs) {
    static const char* keywords[] = {"", "", "progress", nullptr};
    PyObject* table = nullptr;
    PyObject* vars_tuple = nullptr;
    PyObject* progress = nullptr;
    if (PyArg_ParseTupleAndKeywords(args, kwargs, "OO!|$O", const_cast<char**>(keywords), &table, &PyTuple_Type,
                                    &vars_tuple, &progress) == 0) {
        return nullptr;
    }
    std::vector<std::uint64_t> vars(static_cast<std::size_t>(PyTuple_Size(vars_tuple)));
    for (std::size_t i = 0; i < vars.size(); ++i) {
        vexil::py::U64Argument var{"a variable"};
        if (vexil::py::read_u64(PyTuple_GetItem(vars_tuple, static_cast<Py_ssize_t>(i)), &var) == 0) return nullptr;
        vars[i] = var.value;
    }
    return compute(table, progress, [&vars](const FValue& f) { return Measure(f, vars); });
}

std::vector<vexil::EntanglementSet> entanglement_sets(const FValue& f) {
    vexil::ensure_working_set(vexil::bytes_times(vexil::bipartition_count(f.n_vars()), python_record_bytes));
    return vexil::entanglement_sets(f);
}

std::vector<vexil::EntropySets> entropy_sets(const FValue& f) {
    vexil::ensure_working_set(vexil::bytes_times(vexil::bipartition_count(f.n_vars()), python_record_bytes));
    return vexil::entropy_sets(f);
}

std::uint64_t information(const FValue& f, std::span<const std::uint64_t> vars) { return vexil::information(f, vars); }
float fragmentation_coefficient(const FValue& f, std::span<const std::uint64_t> vars) {
    return vexil::fragmentation_coefficient(f, vars);
}

using vexil::py::keyword_row;

const PyMethodDef methods[] = {
    keyword_row<plain<entanglement_sets>>("entanglement_sets",
                                          "entanglement_sets(table, /, *, progress=None)\n--\n\n"
                                          "A list of (set1, set2, entanglement) tuples."),
    keyword_row<plain<entropy_sets>>("entropy_sets",
                                     "entropy_sets(table, /, *, progress=None)\n--\n\n"
                                     "A list of (set1, set2, entropy) tuples."),
    keyword_row<over_variables<information>>("information", "information(table, vars, /, *, progress=None)\n--\n\n"),
    keyword_row<over_variables<fragmentation_coefficient>>(
        "fragmentation_coefficient", "fragmentation_coefficient(table, vars, /, *, progress=None)\n--\n\n"),
    keyword_row<fragmentation_k>("fragmentation_k", "fragmentation_k(table, k, /, *, progress=None)\n--\n\n"),
    keyword_row<plain<vexil::fragmentation_spectrum>>("fragmentation_spectrum",
                                                      "fragmentation_spectrum(table, /, *, progress=None)\n--\n\n"),
    keyword_row<plain<vexil::fragmentation_peak>>("fragmentation_peak",
                                                  "fragmentation_peak(table, /, *, progress=None)\n--\n\n"),
    keyword_row<plain<vexil::fragmentation_delta>>("fragmentation_delta",
                                                   "fragmentation_delta(table, /, *, progress=None)\n--\n\n"),
    keyword_row<plain<vexil::fragmentation_delta2>>("fragmentation_delta2",
                                                    "fragmentation_delta2(table, /, *, progress=None)\n--\n\n"),
    keyword_row<plain<vexil::npn5::npn_representant>>("npn_representant",
                                                      "npn_representant(table, /, *, progress=None)\n--\n\n"
                                                      "The entries of the NPN class representative as bytes, or None "
                                                      "unless the table has 32 entries."),
};

}  // namespace

std::span<const PyMethodDef> measure_methods() { return methods; }

}  // namespace vexil_kit
