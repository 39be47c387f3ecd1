// Algebraic normal form, algebraic degree, algebraic immunity and annihilators.
#include "arguments.hpp"
#include "methods.hpp"
#include "numpy_out.hpp"
#include "table_arg.hpp"
#include "unlocked.hpp"

#include "memory_guard.hpp"
#include "metrics/algebraic_immunity.hpp"
#include "metrics/anf.hpp"
#include "base/packed_table.hpp"

#include <optional>
#include <vector>

namespace vexil_kit {

namespace {

// The packed table `words` as a new bool array of `count` entries.
PyObject* unpacked(const std::vector<std::uint64_t>& words, std::uint64_t count) {
    Buffer out_buffer;
    std::span<std::uint8_t> out;
    Ref array(new_array(count, "bool", out_buffer, out));
    if (!array) return nullptr;
    if (!run_unlocked([&] { vexil::detail::unpack_entries(words, out); })) return nullptr;
    return array.release();
}

PyObject* anf_monomials(PyObject*, PyObject* argument) {
    Buffer table_buffer;
    const std::optional<TableView> table = read_table(argument, table_buffer);
    if (!table) return nullptr;
    std::vector<std::uint64_t> anf;
    std::uint64_t count = 0;
    if (!run_unlocked([&] {
            anf = vexil::packed_anf(table->entries);
            count = vexil::packed_weight(anf);
            vexil::ensure_working_set(vexil::bytes_times(count, sizeof(std::int64_t)));
        })) {
        return nullptr;
    }
    Buffer out_buffer;
    std::span<std::int64_t> out;
    Ref array(new_int64_array(count, out_buffer, out));
    if (!array) return nullptr;
    if (!run_unlocked([&] { vexil::detail::packed_set_indices(anf, out); })) return nullptr;
    return array.release();
}

PyObject* algebraic_degree(PyObject*, PyObject* argument) {
    Buffer table_buffer;
    const std::optional<TableView> table = read_table(argument, table_buffer);
    if (!table) return nullptr;
    int degree = 0;
    if (!run_unlocked([&] { degree = vexil::algebraic_degree(table->entries); })) return nullptr;
    return PyLong_FromLong(degree);
}

PyObject* moebius_transform(PyObject*, PyObject* argument) {
    Buffer table_buffer;
    const std::optional<TableView> table = read_table(argument, table_buffer);
    if (!table) return nullptr;
    std::vector<std::uint64_t> words;
    if (!run_unlocked([&] {
            vexil::ensure_working_set(table->entries.size());
            words = vexil::packed_anf(table->entries);
        })) {
        return nullptr;
    }
    return unpacked(words, table->entries.size());
}

PyObject* algebraic_immunity(PyObject*, PyObject* args, PyObject* kwargs) {
    TableCall call;
    if (!call.parse(args, kwargs)) return nullptr;
    unsigned immunity = 0;
    if (!run_unlocked([&] { immunity = vexil::algebraic_immunity(call.table->entries); }, call.progress)) {
        return nullptr;
    }
    return PyLong_FromUnsignedLong(immunity);
}

PyObject* annihilator(PyObject*, PyObject* args, PyObject* kwargs) {
    static const char* keywords[] = {"", "", "progress", nullptr};
    PyObject* table_object = nullptr;
    vexil::py::U64Argument d{"d"};
    PyObject* progress = nullptr;
    if (PyArg_ParseTupleAndKeywords(args, kwargs, "OO&|$O", const_cast<char**>(keywords), &table_object,
                                    &vexil::py::read_u64, &d, &progress) == 0) {
        return nullptr;
    }
    Buffer table_buffer;
    const std::optional<TableView> table = read_table(table_object, table_buffer);
    if (!table || !check_progress(progress)) return nullptr;
    std::optional<std::vector<std::uint64_t>> g;
    const unsigned degree = d.value > table->n ? table->n : static_cast<unsigned>(d.value);
    if (!run_unlocked([&] { g = vexil::packed_annihilator(table->entries, degree); }, progress)) return nullptr;
    if (!g) Py_RETURN_NONE;
    return unpacked(*g, table->entries.size());
}

const PyMethodDef methods[] = {
    {"anf_monomials", &anf_monomials, METH_O,
     "anf_monomials(table, /)\n--\n\n"
     "The monomials of the algebraic normal form of the table, as a new sorted int64 array of masks (mask m\n"
     "is the AND of the variables v with bit v of m set). `table` is a 1-D C-contiguous buffer of bools or\n"
     "0/1 uint8 of power-of-two length. Computed without the interpreter lock."},
    {"algebraic_degree", &algebraic_degree, METH_O,
     "algebraic_degree(table, /)\n--\n\n"
     "The largest number of variables in a monomial of the algebraic normal form; -1 for the zero function.\n"
     "`table` as for anf_monomials."},
    {"moebius_transform", &moebius_transform, METH_O,
     "moebius_transform(table, /)\n--\n\n"
     "out[x] = XOR of table[y] over the y whose bits are a subset of those of x, as a new bool array: the\n"
     "ANF coefficients of a truth table, and the truth table of ANF coefficients (the transform is its own\n"
     "inverse). `table` as for anf_monomials."},
    {"algebraic_immunity", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&algebraic_immunity)),
     METH_VARARGS | METH_KEYWORDS,
     "algebraic_immunity(table, /, *, progress=None)\n--\n\n"
     "The least d such that f or f ^ 1 has a nonzero annihilator of degree at most d (at most ceil(n/2);\n"
     "0 for constants). `progress` is None or a callable taking (done, total)."},
    {"annihilator", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&annihilator)),
     METH_VARARGS | METH_KEYWORDS,
     "annihilator(table, d, /, *, progress=None)\n--\n\n"
     "A nonzero g of algebraic degree at most d (a non-negative int; above n reads as n) with g & f = 0,\n"
     "as a new bool array, or None when there is none. The same table and d give the same g."},
};

}  // namespace

std::span<const PyMethodDef> algebraic_methods() { return methods; }

}  // namespace vexil_kit
