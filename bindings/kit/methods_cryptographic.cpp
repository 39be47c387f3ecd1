// Measures of cryptography over a table: Walsh-spectrum summaries and the
// autocorrelation, computed by the core without the interpreter lock.
//
// Each takes the table and the keyword `progress` and reads the table where
// it lies.
#include "call.hpp"
#include "methods.hpp"

#include "metrics/autocorrelation.hpp"
#include "metrics/walsh_measures.hpp"

#include <string>

namespace vexil_kit {

namespace {

// ValueError unless the table has at most max_vars variables.
void require_vars(const TableView& table, unsigned max_vars) {
    if (table.n <= max_vars) return;
    refuse(PyExc_ValueError, "this measure needs exact 64-bit sums of squares: at most " + std::to_string(max_vars) +
                                 " variables, not " + std::to_string(table.n));
}

template <auto Measure, unsigned MaxVars = 64>
auto measure(TableView table, Progress) {
    require_vars(table, MaxVars);
    return Measure(table.entries);
}

Object autocorrelation(TableView table, Progress progress) {
    require_vars(table, vexil::max_autocorrelation_vars);
    vexil::py::NewArray array({table.entries.size()}, "int64", sizeof(std::int64_t));
    const std::span<std::int64_t> out = array.values<std::int64_t>();
    unlocked([&] { vexil::autocorrelation_into(table.entries, out); }, progress);
    return {array.release()};
}

constexpr unsigned square_vars = vexil::max_square_sum_vars;
constexpr unsigned autocorrelation_vars = vexil::max_autocorrelation_vars;

const PyMethodDef methods[] = {
    method<"max_abs_walsh", &measure<vexil::max_abs_walsh>>("max_abs_walsh(table, /, *, progress=None)\n--\n\n"
                                                            "The largest |W(u)| of the Walsh spectrum, exactly."),
    method<"fourier_degree", &measure<vexil::fourier_degree>>(
        "fourier_degree(table, /, *, progress=None)\n--\n\n"
        "The largest popcount(u) with W(u) != 0; 0 for constants."),
    method<"correlation_immunity", &measure<vexil::correlation_immunity>>(
        "correlation_immunity(table, /, *, progress=None)\n--\n\n"
        "The largest m with W(u) = 0 for every u of popcount 1..m; n for constants."),
    method<"resiliency_order", &measure<vexil::resiliency_order>>("resiliency_order(table, /, *, progress=None)\n--\n\n"
                                                                  "correlation_immunity when W(0) = 0, else -1."),
    method<"walsh_weight_sums", &measure<vexil::walsh_weight_sums, square_vars>>(
        "walsh_weight_sums(table, /, *, progress=None)\n--\n\n"
        "For k = 0..n, the sum of W(u)**2 over popcount(u) = k, as a list of ints; at most 31 variables."),
    method<"autocorrelation", &autocorrelation>(
        "autocorrelation(table, /, *, progress=None)\n--\n\n"
        "r(a) = sum over x of (-1)**(f(x) ^ f(x ^ a)) for a = 0..2**n-1, as a new int64 array; "
        "at most 31 variables."),
    method<"absolute_indicator", &measure<vexil::absolute_indicator, autocorrelation_vars>>(
        "absolute_indicator(table, /, *, progress=None)\n--\n\n"
        "The largest |r(a)| over a != 0; 0 for n = 0. At most 31 variables."),
    method<"sum_of_squares_indicator", &measure<vexil::sum_of_squares_indicator, autocorrelation_vars>>(
        "sum_of_squares_indicator(table, /, *, progress=None)\n--\n\n"
        "The sum over a of r(a)**2, as an exact int. At most 31 variables."),
    method<"linear_structures", &measure<vexil::linear_structures, autocorrelation_vars>>(
        "linear_structures(table, /, *, progress=None)\n--\n\n"
        "The a != 0 with |r(a)| = 2**n, ascending, as a list of ints. At most 31 variables."),
};

}  // namespace

std::span<const PyMethodDef> cryptographic_methods() { return methods; }

}  // namespace vexil_kit
