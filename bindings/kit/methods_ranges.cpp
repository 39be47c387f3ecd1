// The cut and subset measures over a range of lexicographic ranks, the pieces
// that vexil_kit.cluster hands to its tasks. Each takes the table and the
// bounds [begin, end), allocates its NumPy result and fills it in the core
// without the interpreter lock.
#include "arguments.hpp"
#include "methods.hpp"
#include "method_row.hpp"
#include "numpy_out.hpp"
#include "table_arg.hpp"
#include "unlocked.hpp"

#include "metrics/cut_ranges.hpp"
#include "metrics/entanglement.hpp"
#include "metrics/fragmentation.hpp"
#include "to_python.hpp"

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace vexil_kit {

namespace {

// A rank or a count, read as every integer argument is (read_u64); out of
// range is a ValueError here, as a bad bound of a range.
std::optional<std::uint64_t> read_rank(PyObject* object, const char* what) {
    vexil::py::U64Argument rank{what};
    if (vexil::py::read_u64(object, &rank) != 0) return rank.value;
    if (PyErr_ExceptionMatches(PyExc_OverflowError)) {
        PyObject* type = nullptr;
        PyObject* value = nullptr;
        PyObject* traceback = nullptr;
        PyErr_Fetch(&type, &value, &traceback);
        Ref owned_type(type), owned_value(value), owned_traceback(traceback);
        Ref text(value != nullptr ? PyObject_Str(value) : nullptr);
        if (text) PyErr_SetObject(PyExc_ValueError, text.get());
    }
    return std::nullopt;
}

struct Bounds {
    std::uint64_t begin;
    std::uint64_t count;
};

// begin and end as ranks with begin <= end <= total; ValueError otherwise.
std::optional<Bounds> read_bounds(PyObject* begin_object, PyObject* end_object, std::uint64_t total) {
    const std::optional<std::uint64_t> begin = read_rank(begin_object, "begin");
    if (!begin) return std::nullopt;
    const std::optional<std::uint64_t> end = read_rank(end_object, "end");
    if (!end) return std::nullopt;
    if (*begin > *end || *end > total) {
        PyErr_Format(PyExc_ValueError, "the range [%llu, %llu) is not within the %llu ranks",
                     static_cast<unsigned long long>(*begin), static_cast<unsigned long long>(*end),
                     static_cast<unsigned long long>(total));
        return std::nullopt;
    }
    return Bounds{*begin, *end - *begin};
}

PyObject* balanced_cut_count(PyObject*, PyObject* argument) {
    const std::optional<std::uint64_t> n = read_rank(argument, "n");
    if (!n) return nullptr;
    if (*n > 64) {
        PyErr_SetString(PyExc_ValueError, "n must be at most 64");
        return nullptr;
    }
    return PyLong_FromUnsignedLongLong(vexil::bipartition_count(static_cast<unsigned>(*n)));
}

// One value per balanced cut: Range(entries, begin, out) fills `out`.
template <class T, auto Range>
PyObject* cut_range(PyObject* args, PyObject* kwargs, const char* dtype) {
    static const char* keywords[] = {"", "", "", "progress", nullptr};
    PyObject* table_object = nullptr;
    PyObject* begin_object = nullptr;
    PyObject* end_object = nullptr;
    PyObject* progress = nullptr;
    if (PyArg_ParseTupleAndKeywords(args, kwargs, "OOO|$O", const_cast<char**>(keywords), &table_object, &begin_object,
                                    &end_object, &progress) == 0) {
        return nullptr;
    }
    Buffer table_buffer;
    const std::optional<TableView> table = read_table(table_object, table_buffer);
    if (!table || !check_progress(progress)) return nullptr;
    const std::optional<Bounds> bounds = read_bounds(begin_object, end_object, vexil::bipartition_count(table->n));
    if (!bounds) return nullptr;
    Buffer out_buffer;
    std::span<T> out;
    Ref array(new_array<T>(bounds->count, dtype, out_buffer, out));
    if (!array) return nullptr;
    const bool done = run_unlocked([&] { Range(table->entries, bounds->begin, out); }, progress);
    return done ? array.release() : nullptr;
}

PyObject* cut_counts_range(PyObject*, PyObject* args, PyObject* kwargs) {
    return cut_range<std::uint64_t, vexil::cut_counts_range>(args, kwargs, "uint64");
}

PyObject* cut_entropies_range(PyObject*, PyObject* args, PyObject* kwargs) {
    return cut_range<float, vexil::cut_entropies_range>(args, kwargs, "float32");
}

PyObject* subset_entropies_range(PyObject*, PyObject* args, PyObject* kwargs) {
    static const char* keywords[] = {"", "", "", "", "complements", "progress", nullptr};
    PyObject* table_object = nullptr;
    PyObject* k_object = nullptr;
    PyObject* begin_object = nullptr;
    PyObject* end_object = nullptr;
    int complements = 0;
    PyObject* progress = nullptr;
    if (PyArg_ParseTupleAndKeywords(args, kwargs, "OOOO|$pO", const_cast<char**>(keywords), &table_object, &k_object,
                                    &begin_object, &end_object, &complements, &progress) == 0) {
        return nullptr;
    }
    Buffer table_buffer;
    const std::optional<TableView> table = read_table(table_object, table_buffer);
    if (!table || !check_progress(progress)) return nullptr;
    const std::optional<std::uint64_t> k = read_rank(k_object, "k");
    if (!k) return nullptr;
    if (*k > table->n) {
        PyErr_Format(PyExc_ValueError, "k = %llu exceeds the %u variables", static_cast<unsigned long long>(*k),
                     table->n);
        return nullptr;
    }
    const auto size = static_cast<unsigned>(*k);
    const std::optional<Bounds> bounds = read_bounds(begin_object, end_object, vexil::subset_count(table->n, size));
    if (!bounds) return nullptr;
    Buffer values_buffer;
    std::span<float> values;
    Ref values_array(new_array<float>(bounds->count, "float32", values_buffer, values));
    if (!values_array) return nullptr;
    Buffer complements_buffer;
    std::span<float> complement_values;
    Ref complements_array(
        new_array<float>(complements != 0 ? bounds->count : 0, "float32", complements_buffer, complement_values));
    if (!complements_array) return nullptr;
    const bool done = run_unlocked(
        [&] { vexil::subset_entropies_range(table->entries, size, bounds->begin, values, complement_values); },
        progress);
    if (!done) return nullptr;
    return PyTuple_Pack(2, values_array.get(), complements_array.get());
}

using vexil::py::keyword_row;

// The core's single-precision sum, carried over ranges that arrive apart.
PyObject* float32_sum_in_order(PyObject*, PyObject* args) {
    PyObject* values_object = nullptr;
    float start = -0.0F;
    if (PyArg_ParseTuple(args, "Of", &values_object, &start) == 0) return nullptr;
    Buffer buffer;
    if (!buffer.acquire(values_object, PyBUF_C_CONTIGUOUS | PyBUF_FORMAT)) return nullptr;
    const Py_buffer& view = buffer.view();
    if (view.ndim != 1 || view.itemsize != 4 || view.format == nullptr ||
        (std::string_view(view.format) != "f" && std::string_view(view.format) != "<f" &&
         std::string_view(view.format) != "=f")) {
        PyErr_SetString(PyExc_ValueError, "the values must be a 1-D float32 array");
        return nullptr;
    }
    const std::span<const float> values(static_cast<const float*>(view.buf), static_cast<std::size_t>(view.shape[0]));
    return PyFloat_FromDouble(static_cast<double>(vexil::sum_in_order(start, values)));
}

PyObject* float32_mean(PyObject*, PyObject* args) {
    float total = 0.0F;
    vexil::py::U64Argument count{"count"};
    if (PyArg_ParseTuple(args, "fO&", &total, &vexil::py::read_u64, &count) == 0) return nullptr;
    return PyFloat_FromDouble(static_cast<double>(vexil::mean_of_sum(total, count.value)));
}

// The balanced cuts of n variables in rank order, as (set1, set2) tuples.
PyObject* balanced_cuts(PyObject*, PyObject* argument) {
    vexil::py::U64Argument n{"n"};
    if (vexil::py::read_u64(argument, &n) == 0) return nullptr;
    if (n.value > 63) {
        PyErr_SetString(PyExc_ValueError, "n must be at most 63");
        return nullptr;
    }
    std::vector<vexil::Bipartition> cuts;
    if (!run_unlocked([&] { cuts = vexil::balanced_bipartitions(static_cast<unsigned>(n.value)); })) return nullptr;
    return guarded([&] {
        const auto members = [](const std::vector<std::uint64_t>& vars) {
            return vexil::py::tuple_of(vars, [](std::uint64_t v) { return vexil::py::to_python(v); });
        };
        return vexil::py::list_of(cuts, [&](const vexil::Bipartition& cut) {
            Ref set1(members(cut.set1)), set2(members(cut.set2));
            return vexil::py::check(PyTuple_Pack(2, set1.get(), set2.get()));
        });
    });
}

const PyMethodDef methods[] = {
    {"float32_sum_in_order", &float32_sum_in_order, METH_VARARGS,
     "float32_sum_in_order(values, start, /)\n--\n\n"
     "start + values[0] + values[1] + ..., added left to right in single precision, as the core sums the\n"
     "values of a measure's mean; `values` a 1-D float32 array."},
    {"float32_mean", &float32_mean, METH_VARARGS,
     "float32_mean(total, count, /)\n--\n\n"
     "total / count in single precision, as the core divides a mean's sum."},
    {"balanced_cuts", &balanced_cuts, METH_O,
     "balanced_cuts(n, /)\n--\n\n"
     "The balanced cuts of n variables in rank order (that of the cut ranges and entanglement_sets), as\n"
     "(set1, set2) tuples of variables."},
    {"balanced_cut_count", &balanced_cut_count, METH_O,
     "balanced_cut_count(n, /)\n--\n\n"
     "The number of balanced cuts of n variables (1 for n = 0), the ranks of the cut ranges."},
    keyword_row<cut_counts_range>("cut_counts_range",
                                  "cut_counts_range(table, begin, end, /, *, progress=None)\n--\n\n"
                                  "restriction_count(set1) + restriction_count(set2) of the balanced cuts of\n"
                                  "lexicographic ranks begin..end-1, as a new uint64 array (entry i: rank begin + i)."),
    keyword_row<cut_entropies_range>(
        "cut_entropies_range",
        "cut_entropies_range(table, begin, end, /, *, progress=None)\n--\n\n"
        "restriction_entropy(set1) + restriction_entropy(set2) of the balanced cuts of\n"
        "lexicographic ranks begin..end-1, as a new float32 array (entry i: rank begin + i)."),
    keyword_row<subset_entropies_range>(
        "subset_entropies_range",
        "subset_entropies_range(table, k, begin, end, /, *, complements=False, progress=None)\n--\n\n"
        "(values, complement_values): restriction_entropy of the k-subsets of lexicographic ranks\n"
        "begin..end-1 (values[i]: rank begin + i) and, with complements=True, of their complements, the\n"
        "(n-k)-subsets of ranks C(n,k)-end..C(n,k)-begin-1 (complement_values[i]: rank C(n,k)-end+i;\n"
        "an empty array otherwise). Both float32."),
};

}  // namespace

std::span<const PyMethodDef> ranges_methods() { return methods; }

}  // namespace vexil_kit
