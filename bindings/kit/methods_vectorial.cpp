// Vectorial functions (S-boxes): their tables and measures, by the names of
// the registry's vectorial rows, computed by the core without the interpreter
// lock.
//
// An S-box is a read-only 1-D buffer of 2^n uint32 output words and its output
// width m; every word must be below 2^m.
#include "call.hpp"
#include "methods.hpp"
#include "numpy_out.hpp"

#include "memory_guard.hpp"
#include "registry/registry.hpp"
#include "vectorial/affine_class.hpp"
#include "vectorial/sbox.hpp"

#include <bit>
#include <cstring>
#include <memory>
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

// `table`: a 1-D buffer of uint32 output words of power-of-two length, read
// where it lies.
struct SboxWords {
    static constexpr const char* name = "table";
    static Held<SboxWords> read(PyObject* object) {
        Held<SboxWords> held;
        held.buffer = std::make_unique<Buffer>();
        if (!held.buffer->acquire(object, PyBUF_C_CONTIGUOUS | PyBUF_FORMAT)) throw vexil::py::ErrorSet{};
        const Py_buffer& view = held.buffer->view();
        if (view.ndim != 1 || !word_format(view.format, view.itemsize)) {
            refuse(PyExc_ValueError, "the S-box must be a 1-D buffer of uint32 words");
        }
        const auto size = static_cast<std::uint64_t>(view.len) / 4;
        if (!std::has_single_bit(size) || std::countr_zero(size) > static_cast<int>(vec::max_vars)) {
            refuse(PyExc_ValueError, "the S-box must have 2**n entries with n <= " + std::to_string(vec::max_vars) +
                                         ", got " + std::to_string(size));
        }
        held.view.words = std::span<const std::uint32_t>(static_cast<const std::uint32_t*>(view.buf), size);
        return held;
    }
    std::span<const std::uint32_t> words;
};

// The S-box of the words with m output bits; a ValueError when a word does not
// fit in them.
vec::Sbox sbox_of(const SboxWords& table, Count<"m"> m) {
    if (m.value < 1 || m.value > vec::max_outputs) {
        refuse(PyExc_ValueError,
               "m must be 1 to " + std::to_string(vec::max_outputs) + " output bits, not " + std::to_string(m.value));
    }
    if (m.value < 32) {
        std::uint32_t seen = 0;
        for (const std::uint32_t y : table.words) seen |= y;
        if ((seen >> m.value) != 0) {
            refuse(PyExc_ValueError, "an output word does not fit in m = " + std::to_string(m.value) + " bits");
        }
    }
    return {table.words, static_cast<unsigned>(std::countr_zero(table.words.size())), static_cast<unsigned>(m.value)};
}

// The registry's vectorial entry called `name`, of the wanted kind; a
// ValueError otherwise.
const vexil::MeasureInfo& vectorial_measure(const std::string& name, bool tables) {
    const vexil::MeasureInfo* info = vexil::find_measure(vexil::MeasureSubject::vectorial, name);
    const bool is_table = info != nullptr && info->kind == vexil::MeasureKind::table;
    if (info == nullptr || is_table != tables) {
        refuse(PyExc_ValueError, name + " is not a vectorial " + (tables ? "table" : "measure"));
    }
    return *info;
}

[[noreturn]] void not_permutation(std::string_view name) {
    refuse(PyExc_ValueError, std::string(name) + " is defined for permutations only");
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

// A scalar (int or bool), by the registry's evaluator, or a value -> count
// dict of the registry's vectorial measures.
Object sbox_measure(Text<"name"> name, SboxWords table, Count<"m"> m, Progress progress) {
    const vec::Sbox sbox = sbox_of(table, m);
    const vexil::MeasureInfo& info = vectorial_measure(name.value, false);
    if (info.name == "differential_branch_number" && sbox.n == 0) {
        // A minimum over the input differences a != 0, of which n = 0 has none.
        refuse(PyExc_ValueError,
               "the differential branch number needs n >= 1: with n = 0 no input difference a != 0 exists");
    }
    std::int64_t integer = 0;
    std::vector<vec::ValueCount> counts;
    bool refused = false;
    unlocked(
        [&] {
            if (info.permutations_only && !vec::is_permutation(sbox)) {
                refused = true;
            } else if (info.sbox != nullptr) {
                integer = info.sbox(sbox);
            } else if (info.name == "differential_spectrum") {
                counts = vec::differential_spectrum(sbox);
            } else if (info.name == "walsh_spectrum_counts") {
                counts = vec::walsh_spectrum_counts(sbox);
            } else if (info.name == "cycle_type") {
                counts = vec::cycle_type(sbox);
            } else {
                refused = true;
            }
        },
        progress);
    if (refused) {
        if (info.permutations_only) not_permutation(info.name);
        refuse(PyExc_ValueError, std::string(info.name) + " is computed by the toolkit, not natively");
    }
    if (info.kind == vexil::MeasureKind::boolean) return {vexil::py::to_python(integer != 0)};
    if (info.kind == vexil::MeasureKind::integer) return {vexil::py::to_python(integer)};
    return {counts_dict(counts)};
}

// The 2-D table `name` (ddt, walsh_table, lat, bct) as a new NumPy array, its
// memory checked first.
Object sbox_table(Text<"name"> name, SboxWords table, Count<"m"> m, Progress progress) {
    const vec::Sbox f = sbox_of(table, m);
    const vexil::MeasureInfo& info = vectorial_measure(name.value, true);
    const bool signed_values = info.name == "walsh_table" || info.name == "lat";
    if (info.name == "lat" && f.n == 0) refuse(PyExc_ValueError, "the LAT (W / 2) needs n >= 1");
    unlocked([&] { vexil::ensure_working_set(vexil::bytes_times(vexil::bytes_times(f.inputs(), f.outputs()), 4)); });
    vexil::py::NewArray array({f.inputs(), f.outputs()}, signed_values ? "int32" : "uint32", 4);
    bool refused = false;
    unlocked(
        [&] {
            if (info.name == "ddt") {
                vec::ddt_into(f, array.values<std::uint32_t>());
            } else if (info.name == "bct") {
                if (!vec::is_permutation(f)) {
                    refused = true;
                    return;
                }
                vec::bct_into(f, array.values<std::uint32_t>());
            } else {
                vec::walsh_into(f, array.values<std::int32_t>(), info.name == "lat");
            }
        },
        progress);
    if (refused) not_permutation(info.name);
    return {array.release()};
}

// The affine class of a permutation ("permutation") or of a Boolean function
// given as 0/1 words ("boolean"): its least table and the order of its stabiliser.
bool boolean_kind(const std::string& kind) {
    if (kind != "permutation" && kind != "boolean") refuse(PyExc_ValueError, "kind is permutation or boolean");
    return kind == "boolean";
}

PyObject* canonical_pair(const vec::AffineCanonical& c) {
    return vexil::py::to_python(std::pair{c.table, c.stabilizer});
}

Object affine_canonical(Text<"kind"> kind, SboxWords table) {
    const bool boolean = boolean_kind(kind.value);
    const auto n = static_cast<unsigned>(std::countr_zero(table.words.size()));
    if (n > (boolean ? vec::max_boolean_class_vars : vec::max_affine_class_vars)) {
        refuse(PyExc_ValueError,
               "affine classes are computed for n <= " +
                   std::to_string(boolean ? vec::max_boolean_class_vars : vec::max_affine_class_vars));
    }
    // The search indexes by entries: a permutation's are below 2^n and distinct, a function's 0 or 1.
    std::vector<bool> seen(table.words.size(), false);
    for (const std::uint32_t y : table.words) {
        const bool fits = boolean ? y <= 1 : y < table.words.size() && !seen[y];
        if (!fits) refuse(PyExc_ValueError, boolean ? "the entries must be 0 or 1" : "the table must be a permutation");
        if (!boolean) seen[y] = true;
    }
    vec::AffineCanonical c;
    unlocked([&] {
        c = boolean ? vec::affine_canonical_boolean(table.words, n) : vec::affine_canonical_permutation(table.words, n);
    });
    return {canonical_pair(c)};
}

Object affine_classes(Text<"kind"> kind, Count<"n"> n) {
    const bool boolean = boolean_kind(kind.value);
    if (n.value > (boolean ? vec::max_boolean_class_vars : vec::max_affine_class_vars)) {
        refuse(PyExc_ValueError,
               "affine classes are listed for n <= " +
                   std::to_string(boolean ? vec::max_boolean_class_vars : vec::max_affine_class_vars));
    }
    std::vector<vec::AffineCanonical> classes;
    unlocked([&] {
        const auto bits = static_cast<unsigned>(n.value);
        classes = boolean ? vec::affine_boolean_classes(bits) : vec::affine_permutation_classes(bits);
    });
    return {vexil::py::list_of(classes, canonical_pair)};
}

const PyMethodDef methods[] = {
    method<"sbox_measure", &sbox_measure>(
        "sbox_measure(name, table, m, /, *, progress=None)\n--\n\n"
        "The vectorial measure `name` of the registry of the S-box `table` (2**n uint32 words below 2**m):\n"
        "an int, a bool or a dict value -> count, computed without the interpreter lock."),
    method<"sbox_table", &sbox_table>(
        "sbox_table(name, table, m, /, *, progress=None)\n--\n\n"
        "The table `name` (ddt, walsh_table, lat or bct) of the S-box as a new 2**n x 2**m "
        "array\n(uint32 counts, int32 Walsh values), computed without the interpreter lock."),
    method<"affine_canonical", &affine_canonical>(
        "affine_canonical(kind, table, /)\n--\n\n"
        "(least table, stabiliser order) of the affine class of a permutation (kind \"permutation\", n <= 4)\n"
        "or of a Boolean function as 0/1 uint32 words (kind \"boolean\", n <= 4)."),
    method<"affine_classes", &affine_classes>(
        "affine_classes(kind, n, /)\n--\n\n"
        "Every affine class of n-bit permutations or n-variable Boolean functions as (least table, "
        "stabiliser order),\nin increasing order of the table."),
};

}  // namespace

std::span<const PyMethodDef> vectorial_methods() { return methods; }

}  // namespace vexil_kit
