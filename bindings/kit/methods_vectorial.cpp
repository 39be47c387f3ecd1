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
#include "vectorial/boolean_classes5.hpp"
#include "vectorial/equivalence.hpp"
#include "vectorial/equivalence_points.hpp"
#include "vectorial/graph_ranks.hpp"
#include "vectorial/sbox.hpp"
#include "vectorial/sbox_extra_tables.hpp"

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
    if (sbox.n > info.max_vars) {
        refuse(PyExc_ValueError, name.value + " is defined up to n = " + std::to_string(info.max_vars) + ", not " +
                                     std::to_string(sbox.n));
    }
    if ((info.name == "gamma_rank" || info.name == "delta_rank") && *vec::graph_rank_refusal(sbox) != '\0') {
        refuse(PyExc_ValueError, vec::graph_rank_refusal(sbox));
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
    const bool signed_values = info.name == "walsh_table" || info.name == "lat" || info.name == "dlct";
    if (info.name == "lat" && f.n == 0) refuse(PyExc_ValueError, "the LAT (W / 2) needs n >= 1");
    if (info.name == "dlct" && f.n == 0) refuse(PyExc_ValueError, "the DLCT needs n >= 1");
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
            } else if (info.name == "dlct") {
                vec::dlct_into(f, array.values<std::int32_t>());
            } else {
                vec::walsh_into(f, array.values<std::int32_t>(), info.name == "lat");
            }
        },
        progress);
    if (refused) not_permutation(info.name);
    return {array.release()};
}

// -- The tables after the DDT, LAT and BCT, and the equivalences (sbox_extra_tables.hpp, equivalence.hpp).

// A ValueError for a search of Walsh zero spaces stopped past its limit.
[[noreturn]] void too_many_spaces(std::uint64_t limit, std::uint64_t reached) {
    refuse(PyExc_ValueError, "more than limit = " + std::to_string(limit) +
                                 " n-dimensional spaces of Walsh zeroes: the search stopped at " +
                                 std::to_string(reached) + "; pass a larger limit to list them all");
}

// The n-dimensional spaces of Walsh zeroes, each a list of its reduced echelon basis words;
// a ValueError past `limit` of them, a MemoryError before a list that cannot fit is made.
Object sbox_walsh_zero_spaces(SboxWords table, Count<"m"> m, Count<"limit"> limit, Progress progress) {
    const vec::Sbox f = sbox_of(table, m);
    vec::ZeroSpaces spaces;
    unlocked([&] { spaces = vec::walsh_zero_spaces(f, limit.value); }, progress);
    if (!spaces.complete) too_many_spaces(limit.value, spaces.count);
    // A list of n ints per space: its object and pointers, and an int object per word.
    unlocked([&] { vexil::ensure_working_set(vexil::bytes_times(spaces.count, 64 + 40 * std::uint64_t{f.n})); });
    Ref list(vexil::py::check(PyList_New(static_cast<Py_ssize_t>(spaces.count))));
    for (std::uint64_t i = 0; i < spaces.count; ++i) {
        const auto first = spaces.bases.begin() + static_cast<std::ptrdiff_t>(i * f.n);
        const std::vector<std::uint64_t> basis(first, first + f.n);
        PyList_SetItem(list.get(), static_cast<Py_ssize_t>(i), vexil::py::to_python(basis));
    }
    return {list.release()};
}

// Thickness -> number of n-dimensional spaces of Walsh zeroes with it; a ValueError past `limit` spaces.
Object sbox_thickness_spectrum(SboxWords table, Count<"m"> m, Count<"limit"> limit, Progress progress) {
    const vec::Sbox f = sbox_of(table, m);
    vec::ThicknessSpectrum spectrum;
    unlocked([&] { spectrum = vec::thickness_spectrum(f, limit.value); }, progress);
    if (!spectrum.complete) too_many_spaces(limit.value, spectrum.count);
    return {counts_dict(spectrum.counts)};
}

// The ortho-derivative as a new uint32 array; a ValueError unless F is quadratic APN.
Object sbox_ortho_derivative(SboxWords table, Count<"m"> m) {
    const vec::Sbox f = sbox_of(table, m);
    std::string why;
    unlocked([&] { why = vec::ortho_derivative_refusal(f); });
    if (!why.empty()) refuse(PyExc_ValueError, why);
    vexil::py::NewArray array({f.inputs()}, "uint32", 4);
    unlocked([&] {
        const std::vector<std::uint32_t> pi = vec::ortho_derivative(f);
        std::copy(pi.begin(), pi.end(), array.values<std::uint32_t>().begin());
    });
    return {array.release()};
}

// ("found", rows, c), ("none", None, None) or ("timed out", None, None): a map of the graph of f onto
// that of g, of the kind named (linear, affine, extended_affine, ccz).
Object sbox_equivalence(Text<"kind"> kind, SboxWords f_table, Count<"m"> m, SboxWords g_table, Real<"seconds"> seconds,
                        Progress progress) {
    const vec::Sbox f = sbox_of(f_table, m);
    const vec::Sbox g = sbox_of(g_table, m);
    const std::string& k = kind.value;
    vec::GraphMap map = vec::GraphMap::ccz;
    if (k == "linear") {
        map = vec::GraphMap::linear;
    } else if (k == "affine") {
        map = vec::GraphMap::affine;
    } else if (k == "extended_affine") {
        map = vec::GraphMap::extended_affine;
    } else if (k != "ccz") {
        refuse(PyExc_ValueError, "kind is linear, affine, extended_affine or ccz, not " + k);
    }
    if (f.n != g.n) refuse(PyExc_ValueError, "equivalent functions have the same n");
    if (f.n + f.m > vec::max_graph_bits) {
        refuse(PyExc_ValueError, "the equivalence search needs n + m <= " + std::to_string(vec::max_graph_bits));
    }
    vec::GraphEquivalence result;
    unlocked([&] { result = vec::graph_equivalence(f, g, map, static_cast<double>(seconds.value)); }, progress);
    using O = vec::GraphEquivalence::Outcome;
    const char* outcome = result.outcome == O::found ? "found" : result.outcome == O::none ? "none" : "timed out";
    Ref label(vexil::py::check(PyUnicode_FromString(outcome)));
    Ref rows(result.outcome == O::found ? vexil::py::to_python(result.rows) : Py_NewRef(Py_None));
    Ref c(result.outcome == O::found ? vexil::py::to_python(result.translation) : Py_NewRef(Py_None));
    return {vexil::py::check(PyTuple_Pack(3, label.get(), rows.get(), c.get()))};
}

// The guess-and-determine search of linear A, B with g = B.f.A (equivalence_points.hpp), over the colours
// and square counts the toolkit computes: ("found", a, b), ("none", None, None) or ("timed out", None,
// None); with first_guesses, the list of the tables of A found for each image of the first guess.
Object sbox_point_search(SboxWords f, SboxWords g, SboxWords colour_in_f, SboxWords colour_in_g, SboxWords colour_out_f,
                         SboxWords colour_out_g, SboxWords squares_f, SboxWords squares_g,
                         Truth<"first_guesses"> first_guesses, Real<"seconds"> seconds) {
    const std::size_t size = f.words.size();
    for (const SboxWords* w : {&g, &colour_in_f, &colour_in_g, &colour_out_f, &colour_out_g}) {
        if (w->words.size() != size) refuse(PyExc_ValueError, "the tables and colours must have one length");
    }
    for (const SboxWords* w : {&f, &g}) {
        for (const std::uint32_t y : w->words) {
            if (y >= size) refuse(PyExc_ValueError, "f and g must be permutations");
        }
    }
    if (squares_f.words.size() != size * size || squares_g.words.size() != size * size) {
        refuse(PyExc_ValueError, "the square counts must be N x N");
    }
    const vec::PointProblem problem{
        f.words,         g.words,        colour_in_f.words, colour_in_g.words, colour_out_f.words, colour_out_g.words,
        squares_f.words, squares_g.words};
    vec::PointSearch result;
    unlocked([&] { result = vec::point_search(problem, first_guesses.value, static_cast<double>(seconds.value)); });
    using O = vec::PointSearch::Outcome;
    if (first_guesses.value && result.outcome != O::timed_out) return {vexil::py::to_python(result.firsts)};
    const char* outcome = result.outcome == O::found ? "found" : result.outcome == O::none ? "none" : "timed out";
    Ref label(vexil::py::check(PyUnicode_FromString(outcome)));
    Ref a(result.outcome == O::found ? vexil::py::to_python(result.a) : Py_NewRef(Py_None));
    Ref b(result.outcome == O::found ? vexil::py::to_python(result.b) : Py_NewRef(Py_None));
    return {vexil::py::check(PyTuple_Pack(3, label.get(), a.get(), b.get()))};
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

Object affine_classes(Text<"kind"> kind, Count<"n"> n, Progress progress) {
    const bool boolean = boolean_kind(kind.value);
    if (n.value > (boolean ? vec::max_boolean_listed_vars : vec::max_affine_class_vars)) {
        refuse(PyExc_ValueError,
               "affine classes are listed for n <= " +
                   std::to_string(boolean ? vec::max_boolean_listed_vars : vec::max_affine_class_vars));
    }
    std::vector<vec::AffineCanonical> classes;
    unlocked(
        [&] {
            const auto bits = static_cast<unsigned>(n.value);
            classes = boolean ? vec::affine_boolean_classes(bits) : vec::affine_permutation_classes(bits);
        },
        progress);
    return {vexil::py::list_of(classes, canonical_pair)};
}

// The key of boolean_classes5.hpp that tells the classes of functions of five variables apart.
Object boolean_affine_key(SboxWords table) {
    if (table.words.size() != 32) refuse(PyExc_ValueError, "the table must have 32 entries");
    std::uint32_t bits = 0;
    for (std::size_t x = 0; x < 32; ++x) {
        if (table.words[x] > 1) refuse(PyExc_ValueError, "the entries must be 0 or 1");
        bits |= table.words[x] << x;
    }
    return {vexil::py::to_python(vec::boolean_affine_key5(bits))};
}

const PyMethodDef methods[] = {
    method<"sbox_point_search", &sbox_point_search>(
        "sbox_point_search(f, g, colour_in_f, colour_in_g, colour_out_f, colour_out_g, squares_f, squares_g, "
        "first_guesses, seconds, /)\n--\n\n"
        "The guess-and-determine search of linear A, B with g = B.f.A over the toolkit's colours."),
    method<"sbox_walsh_zero_spaces", &sbox_walsh_zero_spaces>(
        "sbox_walsh_zero_spaces(table, m, limit, /, *, progress=None)\n--\n\n"
        "The n-dimensional linear spaces of the Walsh zeroes, each as its reduced echelon basis\n"
        "(ValueError past `limit` of them)."),
    method<"sbox_thickness_spectrum", &sbox_thickness_spectrum>(
        "sbox_thickness_spectrum(table, m, limit, /, *, progress=None)\n--\n\n"
        "Thickness -> number of the n-dimensional linear spaces of the Walsh zeroes with it\n"
        "(ValueError past `limit` of them)."),
    method<"sbox_ortho_derivative", &sbox_ortho_derivative>(
        "sbox_ortho_derivative(table, m, /)\n--\n\n"
        "The ortho-derivative of a quadratic APN function, a new uint32 array (ValueError otherwise)."),
    method<"sbox_equivalence", &sbox_equivalence>(
        "sbox_equivalence(kind, f, m, g, seconds, /, *, progress=None)\n--\n\n"
        "(outcome, rows, c): an affine map of F_2^(n+m) taking the graph of f onto that of g, of the kind named."),
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
        "affine_classes(kind, n, /, *, progress=None)\n--\n\n"
        "Every affine class of n-bit permutations (n <= 4) or n-variable Boolean functions (n <= 5) as\n"
        "(least table, stabiliser order), in increasing order of the table."),
    method<"boolean_affine_key", &boolean_affine_key>(
        "boolean_affine_key(table, /)\n--\n\n"
        "A list of ints equal for affine-equivalent functions of 5 variables (32 uint32 words 0 or 1)."),
};

}  // namespace

std::span<const PyMethodDef> vectorial_methods() { return methods; }

}  // namespace vexil_kit
