// The toolkit's results as Python objects, beside the shared conversions of
// numbers, lists and pairs (to_python.hpp). Each returns a new reference and
// throws ErrorSet with the error set when an object cannot be made.
#pragma once

#include "numpy_out.hpp"
#include "to_python.hpp"

#include "fvalue.hpp"
#include "metrics/autocorrelation.hpp"
#include "metrics/cut_records.hpp"
#include "metrics/entanglement.hpp"
#include "metrics/npn_canonical.hpp"
#include "metrics/sensitivity.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace vexil_kit {

using vexil::py::to_python;

// Values for a new NumPy array of their dtype: 1-D, or with `columns` > 0 of
// shape (size / columns, columns).
template <class T>
struct Array {
    std::vector<T> values;
    std::size_t columns = 0;
};

template <class T>
constexpr const char* dtype_of() {
    if constexpr (std::is_same_v<T, std::int64_t>) return "int64";
    if constexpr (std::is_same_v<T, std::uint64_t>) return "uint64";
    if constexpr (std::is_same_v<T, std::uint8_t>) return "uint8";
    if constexpr (std::is_same_v<T, float>) return "float32";
}

template <class T>
PyObject* to_python(const Array<T>& array) {
    const std::uint64_t size = array.values.size();
    vexil::py::NewArray made =
        array.columns == 0 ? vexil::py::NewArray({size}, dtype_of<T>(), sizeof(T))
                           : vexil::py::NewArray({size / array.columns, array.columns}, dtype_of<T>(), sizeof(T));
    std::ranges::copy(array.values, made.values<T>().begin());
    return made.release();
}

// An NPN canonical form of a table of n variables: (word, perm, mask, output)
// with perm of length n.
struct CanonicalForm {
    vexil::NpnForm form;
    unsigned n;
};

PyObject* to_python(const CanonicalForm& canonical);
// high * 2**64 + low as an int.
PyObject* to_python(const vexil::Wide& value);
// Cut records as (set1, set2, value) tuples, the sets tuples of ints.
PyObject* to_python(const std::vector<vexil::EntanglementSet>& records);
PyObject* to_python(const std::vector<vexil::EntropySets>& records);
// Cuts as (set1, set2) tuples of tuples of ints.
PyObject* to_python(const std::vector<vexil::Bipartition>& cuts);
// A table's entries as bytes, or None.
PyObject* to_python(const std::optional<vexil::FValue>& f);
// (min, max, sum) of the sensitivities.
PyObject* to_python(const vexil::SensitivityStats& stats);

template <class R>
PyObject* result_to_python(const R& value) {
    return to_python(value);
}

}  // namespace vexil_kit
