// The cut and subset measures over a range of lexicographic ranks, the pieces
// that vexil_kit.cluster hands to its tasks. Each takes the table and the
// bounds [begin, end), allocates its NumPy result and fills it in the core
// without the interpreter lock.
#include "call.hpp"
#include "methods.hpp"

#include "metrics/cut_ranges.hpp"
#include "metrics/entanglement.hpp"
#include "metrics/fragmentation.hpp"

#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vexil_kit {

namespace {

struct Bounds {
    std::uint64_t begin;
    std::uint64_t count;
};

// [begin, end) within the `total` ranks; ValueError otherwise.
Bounds bounds_of(std::uint64_t begin, std::uint64_t end, std::uint64_t total) {
    if (begin > end || end > total) {
        refuse(PyExc_ValueError, "the range [" + std::to_string(begin) + ", " + std::to_string(end) +
                                     ") is not within the " + std::to_string(total) + " ranks");
    }
    return {begin, end - begin};
}

std::uint64_t balanced_cut_count(Rank<"n"> n) {
    if (n.value > 64) refuse(PyExc_ValueError, "n must be at most 64");
    return vexil::bipartition_count(static_cast<unsigned>(n.value));
}

// One value per balanced cut: Range(entries, begin, out) fills `out`.
template <class T, auto Range>
Object cut_range(TableView table, Rank<"begin"> begin, Rank<"end"> end, Progress progress, const char* dtype) {
    const Bounds bounds = bounds_of(begin.value, end.value, vexil::bipartition_count(table.n));
    vexil::py::NewArray array({bounds.count}, dtype, sizeof(T));
    const std::span<T> out = array.values<T>();
    unlocked([&] { Range(table.entries, bounds.begin, out); }, progress);
    return {array.release()};
}

Object cut_counts_range(TableView table, Rank<"begin"> begin, Rank<"end"> end, Progress progress) {
    return cut_range<std::uint64_t, vexil::cut_counts_range>(table, begin, end, progress, "uint64");
}

Object cut_entropies_range(TableView table, Rank<"begin"> begin, Rank<"end"> end, Progress progress) {
    return cut_range<float, vexil::cut_entropies_range>(table, begin, end, progress, "float32");
}

Object subset_entropies_range(TableView table, Rank<"k"> k, Rank<"begin"> begin, Rank<"end"> end,
                              Option<"complements"> complements, Progress progress) {
    if (k.value > table.n) {
        refuse(PyExc_ValueError,
               "k = " + std::to_string(k.value) + " exceeds the " + std::to_string(table.n) + " variables");
    }
    const auto size = static_cast<unsigned>(k.value);
    const Bounds bounds = bounds_of(begin.value, end.value, vexil::subset_count(table.n, size));
    vexil::py::NewArray values({bounds.count}, "float32", sizeof(float));
    vexil::py::NewArray complement_values({complements.value ? bounds.count : 0}, "float32", sizeof(float));
    const std::span<float> out = values.values<float>();
    const std::span<float> complement_out = complement_values.values<float>();
    unlocked([&] { vexil::subset_entropies_range(table.entries, size, bounds.begin, out, complement_out); }, progress);
    Ref first(values.release());
    Ref second(complement_values.release());
    return {PyTuple_Pack(2, first.get(), second.get())};
}

// The core's single-precision sum, carried over ranges that arrive apart.
float float32_sum_in_order(Float32Values values, Real<"start"> start) {
    return vexil::sum_in_order(start.value, values.values);
}

float float32_mean(Real<"total"> total, Count<"count"> count) { return vexil::mean_of_sum(total.value, count.value); }

// The balanced cuts of n variables in rank order.
std::vector<vexil::Bipartition> balanced_cuts(Count<"n"> n) {
    if (n.value > 63) refuse(PyExc_ValueError, "n must be at most 63");
    return vexil::balanced_bipartitions(static_cast<unsigned>(n.value));
}

const PyMethodDef methods[] = {
    method<"float32_sum_in_order", &float32_sum_in_order>(
        "float32_sum_in_order(values, start, /)\n--\n\n"
        "start + values[0] + values[1] + ..., added left to right in single precision, as the core sums the\n"
        "values of a measure's mean; `values` a 1-D float32 array."),
    method<"float32_mean", &float32_mean>("float32_mean(total, count, /)\n--\n\n"
                                          "total / count in single precision, as the core divides a mean's sum."),
    method<"balanced_cuts", &balanced_cuts>(
        "balanced_cuts(n, /)\n--\n\n"
        "The balanced cuts of n variables in rank order (that of the cut ranges and entanglement_sets), as\n"
        "(set1, set2) tuples of variables."),
    method<"balanced_cut_count", &balanced_cut_count>(
        "balanced_cut_count(n, /)\n--\n\n"
        "The number of balanced cuts of n variables (1 for n = 0), the ranks of the cut ranges."),
    method<"cut_counts_range", &cut_counts_range>(
        "cut_counts_range(table, begin, end, /, *, progress=None)\n--\n\n"
        "restriction_count(set1) + restriction_count(set2) of the balanced cuts of\n"
        "lexicographic ranks begin..end-1, as a new uint64 array (entry i: rank begin + i)."),
    method<"cut_entropies_range", &cut_entropies_range>(
        "cut_entropies_range(table, begin, end, /, *, progress=None)\n--\n\n"
        "restriction_entropy(set1) + restriction_entropy(set2) of the balanced cuts of\n"
        "lexicographic ranks begin..end-1, as a new float32 array (entry i: rank begin + i)."),
    method<"subset_entropies_range", &subset_entropies_range>(
        "subset_entropies_range(table, k, begin, end, /, *, complements=False, progress=None)\n--\n\n"
        "(values, complement_values): restriction_entropy of the k-subsets of lexicographic ranks\n"
        "begin..end-1 (values[i]: rank begin + i) and, with complements=True, of their complements, the\n"
        "(n-k)-subsets of ranks C(n,k)-end..C(n,k)-begin-1 (complement_values[i]: rank C(n,k)-end+i;\n"
        "an empty array otherwise). Both float32."),
};

}  // namespace

std::span<const PyMethodDef> ranges_methods() { return methods; }

}  // namespace vexil_kit
