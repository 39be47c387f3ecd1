// Vectorial functions (S-boxes): their tables and measures, by the names of
// the registry's vectorial rows, computed by the core without the interpreter
// lock.
//
// An S-box is a read-only 1-D buffer of 2^n uint32 output words and its output
// width m; every word must be below 2^m.
#include "method_row.hpp"
#include "methods.hpp"
#include "numpy_out.hpp"
#include "to_python.hpp"
#include "unlocked.hpp"

#include "memory_guard.hpp"
#include "registry/registry.hpp"
#include "vectorial/sbox.hpp"

#include <bit>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vexil_kit {

namespace {

namespace vec = vexil::vectorial;

// Unsigned 32-bit words in native order ("I", or "L" where it has four bytes).
bool word_format(const char* format, Py_ssize_t itemsize) {
    if (itemsize != 4) return false;
    if (format == nullptr) return false;
    if (format[0] == '@' || format[0] == '=' ||
        (format[0] == (std::endian::native == std::endian::little ? '<' : '>'))) {
        ++format;
    }
    return std::strcmp(format, "I") == 0 || std::strcmp(format, "L") == 0;
}

// The (name, table, m, /, *, progress=None) arguments: the S-box, held while the call lasts.
struct SboxCall {
    Buffer buffer;
    std::string_view name;
    vec::Sbox sbox{};
    PyObject* progress = nullptr;

    // False with the error set when they are no such S-box.
    bool parse(PyObject* args, PyObject* kwargs) {
        static const char* keywords[] = {"", "", "", "progress", nullptr};
        const char* text = nullptr;
        Py_ssize_t length = 0;
        PyObject* table = nullptr;
        int m = 0;
        if (PyArg_ParseTupleAndKeywords(args, kwargs, "s#Oi|$O", const_cast<char**>(keywords), &text, &length, &table,
                                        &m, &progress) == 0) {
            return false;
        }
        name = std::string_view(text, static_cast<std::size_t>(length));
        if (!check_progress(progress)) return false;
        if (m < 1 || m > static_cast<int>(vec::max_outputs)) {
            PyErr_Format(PyExc_ValueError, "m must be 1 to %u output bits, not %d", vec::max_outputs, m);
            return false;
        }
        if (!buffer.acquire(table, PyBUF_C_CONTIGUOUS | PyBUF_FORMAT)) return false;
        const Py_buffer& view = buffer.view();
        if (view.ndim != 1 || !word_format(view.format, view.itemsize)) {
            PyErr_SetString(PyExc_ValueError, "the S-box must be a 1-D buffer of uint32 words");
            return false;
        }
        const auto size = static_cast<std::uint64_t>(view.len) / 4;
        if (!std::has_single_bit(size) || std::countr_zero(size) > static_cast<int>(vec::max_vars)) {
            PyErr_Format(PyExc_ValueError, "the S-box must have 2**n entries with n <= %u, got %llu", vec::max_vars,
                         static_cast<unsigned long long>(size));
            return false;
        }
        sbox = {std::span<const std::uint32_t>(static_cast<const std::uint32_t*>(view.buf), size),
                static_cast<unsigned>(std::countr_zero(size)), static_cast<unsigned>(m)};
        if (m < 32) {
            std::uint32_t seen = 0;
            for (const std::uint32_t y : sbox.table) seen |= y;
            if ((seen >> m) != 0) {
                PyErr_Format(PyExc_ValueError, "an output word does not fit in m = %d bits", m);
                return false;
            }
        }
        return true;
    }

    // The registry's entry for the name, of the wanted kind; null with ValueError set otherwise.
    const vexil::MeasureInfo* measure(bool tables) const {
        const vexil::MeasureInfo* info = vexil::find_measure(vexil::MeasureSubject::vectorial, name);
        const bool is_table = info != nullptr && info->kind == vexil::MeasureKind::table;
        if (info == nullptr || is_table != tables) {
            const std::string message = std::string(name) + " is not a vectorial " + (tables ? "table" : "measure");
            PyErr_SetString(PyExc_ValueError, message.c_str());
            return nullptr;
        }
        return info;
    }
};

PyObject* not_permutation(std::string_view name) {
    const std::string message = std::string(name) + " is defined for permutations only";
    PyErr_SetString(PyExc_ValueError, message.c_str());
    return nullptr;
}

PyObject* counts_dict(const std::vector<vec::ValueCount>& counts) {
    Ref dict(vexil::py::check(PyDict_New()));
    for (const vec::ValueCount& c : counts) {
        Ref key(vexil::py::check(PyLong_FromLongLong(c.value)));
        Ref value(vexil::py::to_python(c.count));
        if (PyDict_SetItem(dict.get(), key.get(), value.get()) != 0) throw vexil::py::ErrorSet{};
    }
    return dict.release();
}

// sbox_measure(name, table, m, *, progress=None): a scalar (int or bool), by
// the registry's evaluator, or a value -> count dict of the registry's
// vectorial measures.
PyObject* sbox_measure(PyObject*, PyObject* args, PyObject* kwargs) {
    SboxCall call;
    if (!call.parse(args, kwargs)) return nullptr;
    const vexil::MeasureInfo* info = call.measure(false);
    if (info == nullptr) return nullptr;
    if (info->name == "differential_branch_number" && call.sbox.n == 0) {
        // A minimum over the input differences a != 0, of which n = 0 has none.
        PyErr_SetString(PyExc_ValueError,
                        "the differential branch number needs n >= 1: with n = 0 no input difference a != 0 exists");
        return nullptr;
    }
    std::int64_t integer = 0;
    std::vector<vec::ValueCount> counts;
    bool refused = false;
    const bool done = run_unlocked(
        [&] {
            if (info->permutations_only && !vec::is_permutation(call.sbox)) {
                refused = true;
            } else if (info->sbox != nullptr) {
                integer = info->sbox(call.sbox);
            } else if (info->name == "differential_spectrum") {
                counts = vec::differential_spectrum(call.sbox);
            } else if (info->name == "walsh_spectrum_counts") {
                counts = vec::walsh_spectrum_counts(call.sbox);
            } else if (info->name == "cycle_type") {
                counts = vec::cycle_type(call.sbox);
            } else {
                refused = true;
            }
        },
        call.progress);
    if (!done) return nullptr;
    if (refused) {
        if (info->permutations_only) return not_permutation(info->name);
        PyErr_Format(PyExc_ValueError, "%s is computed by the toolkit, not natively", info->name.data());
        return nullptr;
    }
    if (info->kind == vexil::MeasureKind::boolean) return PyBool_FromLong(integer != 0 ? 1 : 0);
    if (info->kind == vexil::MeasureKind::integer) return PyLong_FromLongLong(integer);
    return guarded([&] { return counts_dict(counts); });
}

// sbox_table(name, table, m, *, progress=None): the 2-D table `name` (ddt,
// walsh_table, lat, bct) as a new NumPy array, its memory checked first.
PyObject* sbox_table(PyObject*, PyObject* args, PyObject* kwargs) {
    SboxCall call;
    if (!call.parse(args, kwargs)) return nullptr;
    const vexil::MeasureInfo* info = call.measure(true);
    if (info == nullptr) return nullptr;
    const vec::Sbox& f = call.sbox;
    const bool signed_values = info->name == "walsh_table" || info->name == "lat";
    if (info->name == "lat" && f.n == 0) {
        PyErr_SetString(PyExc_ValueError, "the LAT (W / 2) needs n >= 1");
        return nullptr;
    }
    std::optional<vexil::py::NewArray> array;
    const bool made = run_unlocked(
        [&] { vexil::ensure_working_set(vexil::bytes_times(vexil::bytes_times(f.inputs(), f.outputs()), 4)); });
    if (!made) return nullptr;
    PyObject* result = guarded([&]() -> PyObject* {
        array.emplace(std::initializer_list<std::uint64_t>{f.inputs(), f.outputs()}, signed_values ? "int32" : "uint32",
                      4);
        return Py_NewRef(Py_None);
    });
    if (result == nullptr) return nullptr;
    Py_DECREF(result);
    bool refused = false;
    const bool done = run_unlocked(
        [&] {
            if (info->name == "ddt") {
                vec::ddt_into(f, array->values<std::uint32_t>());
            } else if (info->name == "bct") {
                if (!vec::is_permutation(f)) {
                    refused = true;
                    return;
                }
                vec::bct_into(f, array->values<std::uint32_t>());
            } else {
                vec::walsh_into(f, array->values<std::int32_t>(), info->name == "lat");
            }
        },
        call.progress);
    if (!done) return nullptr;
    if (refused) return not_permutation(info->name);
    return array->release();
}

using vexil::py::keyword_row;

const PyMethodDef methods[] = {
    keyword_row<sbox_measure>(
        "sbox_measure",
        "sbox_measure(name, table, m, /, *, progress=None)\n--\n\n"
        "The vectorial measure `name` of the registry of the S-box `table` (2**n uint32 words below 2**m):\n"
        "an int, a bool or a dict value -> count, computed without the interpreter lock."),
    keyword_row<sbox_table>("sbox_table",
                            "sbox_table(name, table, m, /, *, progress=None)\n--\n\n"
                            "The table `name` (ddt, walsh_table, lat or bct) of the S-box as a new 2**n x 2**m "
                            "array\n(uint32 counts, int32 Walsh values), computed without the interpreter lock."),
};

}  // namespace

std::span<const PyMethodDef> vectorial_methods() { return methods; }

}  // namespace vexil_kit
