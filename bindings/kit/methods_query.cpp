// Query complexity: sensitivities, block sensitivity, certificates and
// decision-tree depth, computed on the packed table without the interpreter lock.
#include "arguments.hpp"
#include "methods.hpp"
#include "method_row.hpp"
#include "numpy_out.hpp"
#include "table_arg.hpp"
#include "unlocked.hpp"

#include "memory_guard.hpp"
#include "metrics/block_sensitivity.hpp"
#include "metrics/certificate.hpp"
#include "metrics/certificates.hpp"
#include "metrics/decision_tree.hpp"
#include "metrics/sensitivity.hpp"
#include "base/packed_table.hpp"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace vexil_kit {

namespace {

using Words = std::span<const std::uint64_t>;

// Runs measure(words, n) on the packed table without the lock; false with the
// error set when it failed.
template <class Measure>
bool on_packed(const TableView& table, PyObject* progress, Measure&& measure) {
    return run_unlocked(
        [&] {
            vexil::ensure_working_set(vexil::packed_table_bytes(table.n));
            const std::vector<std::uint64_t> words = vexil::pack_entries(table.entries);
            measure(Words(words), table.n);
        },
        progress);
}

// s(x) for every input x, as a new uint8 array.
PyObject* sensitivity_counts(PyObject*, PyObject* argument) {
    Buffer table_buffer;
    const std::optional<TableView> table = read_table(argument, table_buffer);
    if (!table) return nullptr;
    Buffer out_buffer;
    std::span<std::uint8_t> out;
    Ref array(new_array(table->entries.size(), "uint8", out_buffer, out));
    if (!array) return nullptr;
    const bool done = on_packed(*table, nullptr, [&](Words words, unsigned n) {
        vexil::packed_sensitivity_stats(words, n, nullptr, out.data());
    });
    return done ? array.release() : nullptr;
}

// (min, max, sum) of s(x) over all inputs.
PyObject* sensitivity_summary(PyObject*, PyObject* argument) {
    Buffer table_buffer;
    const std::optional<TableView> table = read_table(argument, table_buffer);
    if (!table) return nullptr;
    vexil::SensitivityStats stats;
    const bool done = on_packed(*table, nullptr, [&](Words words, unsigned n) {
        stats = vexil::packed_sensitivity_stats(words, n, nullptr, nullptr);
    });
    if (!done) return nullptr;
    return Py_BuildValue("(kkK)", static_cast<unsigned long>(stats.min), static_cast<unsigned long>(stats.max),
                         static_cast<unsigned long long>(stats.sum));
}

// A measure of the table alone, with a progress keyword.
template <std::uint32_t (*Measure)(Words, unsigned)>
PyObject* whole_table(PyObject*, PyObject* args, PyObject* kwargs) {
    TableCall call;
    if (!call.parse(args, kwargs)) return nullptr;
    std::uint32_t result = 0;
    if (!on_packed(*call.table, call.progress, [&](Words words, unsigned n) { result = Measure(words, n); })) {
        return nullptr;
    }
    return PyLong_FromUnsignedLong(result);
}

std::uint32_t block_sensitivity(Words words, unsigned n) { return vexil::packed_block_sensitivity(words, n); }
std::uint32_t decision_tree_depth(Words words, unsigned n) {
    return vexil::packed_decision_tree_depth(words, n);
}

// The largest C(x) over the inputs of one value.
PyObject* value_certificate_complexity(PyObject*, PyObject* args, PyObject* kwargs) {
    static const char* keywords[] = {"", "", "progress", nullptr};
    PyObject* table_object = nullptr;
    int value = 0;
    PyObject* progress = nullptr;
    if (PyArg_ParseTupleAndKeywords(args, kwargs, "Op|$O", const_cast<char**>(keywords), &table_object, &value,
                                    &progress) == 0) {
        return nullptr;
    }
    if (!check_progress(progress)) return nullptr;
    Buffer table_buffer;
    const std::optional<TableView> table = read_table(table_object, table_buffer);
    if (!table) return nullptr;
    std::uint32_t result = 0;
    const bool done = on_packed(*table, progress, [&](Words words, unsigned n) {
        result = vexil::packed_certificate_complexity(words, n, value != 0);
    });
    return done ? PyLong_FromUnsignedLong(result) : nullptr;
}

// A smallest certificate of input x, as a mask of variables.
PyObject* smallest_certificate(PyObject*, PyObject* args) {
    PyObject* table_object = nullptr;
    vexil::py::U64Argument input{"x"};
    if (PyArg_ParseTuple(args, "OO&", &table_object, &vexil::py::read_u64, &input) == 0) return nullptr;
    const std::uint64_t x = input.value;
    Buffer table_buffer;
    const std::optional<TableView> table = read_table(table_object, table_buffer);
    if (!table) return nullptr;
    if (x >= table->entries.size()) {
        PyErr_Format(PyExc_IndexError, "entry %llu is outside [0, %zu)", static_cast<unsigned long long>(x),
                     table->entries.size());
        return nullptr;
    }
    std::uint64_t mask = 0;
    const bool done =
        on_packed(*table, nullptr, [&](Words words, unsigned n) { mask = vexil::smallest_certificate(words, n, x); });
    return done ? PyLong_FromUnsignedLongLong(mask) : nullptr;
}

using vexil::py::keyword_row;

const PyMethodDef methods[] = {
    {"sensitivity_counts", &sensitivity_counts, METH_O,
     "sensitivity_counts(table, /)\n--\n\n"
     "s(x) = #{v : f(x) != f(x ^ 2**v)} for x = 0..2**n-1, as a new uint8 array. Computed without the\n"
     "interpreter lock."},
    {"sensitivity_summary", &sensitivity_summary, METH_O,
     "sensitivity_summary(table, /)\n--\n\n"
     "(min, max, sum) of s(x) over all inputs x, exact."},
    keyword_row<whole_table<block_sensitivity>>(
        "block_sensitivity",
        "block_sensitivity(table, /, *, progress=None)\n--\n\n"
        "The largest number of disjoint sensitive blocks at one input, over all inputs, exact."),
    keyword_row<value_certificate_complexity>(
        "value_certificate_complexity",
        "value_certificate_complexity(table, value, /, *, progress=None)\n--\n\n"
        "The largest C(x) over the inputs x with f(x) == value; 0 when there is none."),
    {"smallest_certificate", &smallest_certificate, METH_VARARGS,
     "smallest_certificate(table, x, /)\n--\n\n"
     "A smallest certificate of input x as a mask of variables: the least mask among those of size C(x)."},
    keyword_row<whole_table<decision_tree_depth>>(
        "decision_tree_depth",
        "decision_tree_depth(table, /, *, progress=None)\n--\n\n"
        "The depth of a shallowest deterministic decision tree computing f, exact; 0 for constants."),
};

}  // namespace

std::span<const PyMethodDef> query_methods() { return methods; }

}  // namespace vexil_kit
