// Measures of cryptography over a table: Walsh-spectrum summaries and the
// autocorrelation, computed by the core without the interpreter lock.
//
// Each takes the table and the keyword `progress` (a callable, see
// unlocked.hpp) and reads the table where it lies.
#include "methods.hpp"
#include "numpy_out.hpp"
#include "method_row.hpp"
#include "to_python.hpp"
#include "table_arg.hpp"
#include "unlocked.hpp"

#include "metrics/autocorrelation.hpp"
#include "metrics/walsh_measures.hpp"

#include <optional>
#include <string>
#include <vector>

namespace vexil_kit {

namespace {

// The table and progress arguments of every function here, with the
// measure's variable limit.
struct Arguments : TableCall {
    // False with the error set when they are not a table of at most max_vars
    // variables and an optional callable.
    bool parse(PyObject* args, PyObject* kwargs, unsigned max_vars = 64) {
        if (!TableCall::parse(args, kwargs)) return false;
        if (table->n > max_vars) {
            const std::string message = "this measure needs exact 64-bit sums of squares: at most " +
                                        std::to_string(max_vars) + " variables, not " + std::to_string(table->n);
            PyErr_SetString(PyExc_ValueError, message.c_str());
            return false;
        }
        return true;
    }
};

using vexil::py::to_python;

PyObject* to_python(const vexil::Wide& value) { return vexil::py::wide_to_python(value.high, value.low); }

// Runs measure(entries) without the lock; its result as a Python object.
template <auto Measure, unsigned MaxVars = 64>
PyObject* measure(PyObject*, PyObject* args, PyObject* kwargs) {
    Arguments arguments;
    if (!arguments.parse(args, kwargs, MaxVars)) return nullptr;
    std::optional<decltype(Measure(arguments.table->entries))> result;
    const bool done = run_unlocked([&] { result.emplace(Measure(arguments.table->entries)); }, arguments.progress);
    if (!done) return nullptr;
    return guarded([&] { return to_python(*result); });
}

PyObject* autocorrelation(PyObject*, PyObject* args, PyObject* kwargs) {
    Arguments arguments;
    if (!arguments.parse(args, kwargs, vexil::max_autocorrelation_vars)) return nullptr;
    Buffer out_buffer;
    std::span<std::int64_t> out;
    Ref array(new_int64_array(arguments.table->entries.size(), out_buffer, out));
    if (!array) return nullptr;
    const bool done =
        run_unlocked([&] { vexil::autocorrelation_into(arguments.table->entries, out); }, arguments.progress);
    return done ? array.release() : nullptr;
}

using vexil::py::keyword_row;

constexpr unsigned square_vars = vexil::max_square_sum_vars;
constexpr unsigned autocorrelation_vars = vexil::max_autocorrelation_vars;

const PyMethodDef methods[] = {
    keyword_row<measure<vexil::max_abs_walsh>>("max_abs_walsh",
                                               "max_abs_walsh(table, /, *, progress=None)\n--\n\n"
                                               "The largest |W(u)| of the Walsh spectrum, exactly."),
    keyword_row<measure<vexil::fourier_degree>>("fourier_degree",
                                                "fourier_degree(table, /, *, progress=None)\n--\n\n"
                                                "The largest popcount(u) with W(u) != 0; 0 for constants."),
    keyword_row<measure<vexil::correlation_immunity>>(
        "correlation_immunity",
        "correlation_immunity(table, /, *, progress=None)\n--\n\n"
        "The largest m with W(u) = 0 for every u of popcount 1..m; n for constants."),
    keyword_row<measure<vexil::resiliency_order>>("resiliency_order",
                                                  "resiliency_order(table, /, *, progress=None)\n--\n\n"
                                                  "correlation_immunity when W(0) = 0, else -1."),
    keyword_row<measure<vexil::walsh_weight_sums, square_vars>>(
        "walsh_weight_sums",
        "walsh_weight_sums(table, /, *, progress=None)\n--\n\n"
        "For k = 0..n, the sum of W(u)**2 over popcount(u) = k, as a list of ints; at most 31 variables."),
    keyword_row<autocorrelation>(
        "autocorrelation",
        "autocorrelation(table, /, *, progress=None)\n--\n\n"
        "r(a) = sum over x of (-1)**(f(x) ^ f(x ^ a)) for a = 0..2**n-1, as a new int64 array; "
        "at most 31 variables."),
    keyword_row<measure<vexil::absolute_indicator, autocorrelation_vars>>(
        "absolute_indicator",
        "absolute_indicator(table, /, *, progress=None)\n--\n\n"
        "The largest |r(a)| over a != 0; 0 for n = 0. At most 31 variables."),
    keyword_row<measure<vexil::sum_of_squares_indicator, autocorrelation_vars>>(
        "sum_of_squares_indicator",
        "sum_of_squares_indicator(table, /, *, progress=None)\n--\n\n"
        "The sum over a of r(a)**2, as an exact int. At most 31 variables."),
    keyword_row<measure<vexil::linear_structures, autocorrelation_vars>>(
        "linear_structures",
        "linear_structures(table, /, *, progress=None)\n--\n\n"
        "The a != 0 with |r(a)| = 2**n, ascending, as a list of ints. At most 31 variables."),
};

}  // namespace

std::span<const PyMethodDef> cryptographic_methods() { return methods; }

}  // namespace vexil_kit
