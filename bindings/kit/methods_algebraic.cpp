// Algebraic normal form, algebraic degree, algebraic immunity and annihilators.
#include "call.hpp"
#include "methods.hpp"

#include "base/packed_table.hpp"
#include "memory_guard.hpp"
#include "metrics/algebraic_immunity.hpp"
#include "metrics/anf.hpp"

#include <optional>
#include <vector>

namespace vexil_kit {

namespace {

// The packed table `words` as a new bool array of `count` entries.
Object unpacked(const std::vector<std::uint64_t>& words, std::uint64_t count) {
    vexil::py::NewArray array({count}, "bool", 1);
    const std::span<std::uint8_t> out = array.values<std::uint8_t>();
    unlocked([&] { vexil::unpack_entries(words, out); });
    return {array.release()};
}

Object anf_monomials(TableView table) {
    std::vector<std::uint64_t> anf;
    std::uint64_t count = 0;
    unlocked([&] {
        anf = vexil::packed_anf(table.entries);
        count = vexil::packed_weight(anf);
        vexil::ensure_working_set(vexil::bytes_times(count, sizeof(std::int64_t)));
    });
    vexil::py::NewArray array({count}, "int64", sizeof(std::int64_t));
    const std::span<std::int64_t> out = array.values<std::int64_t>();
    unlocked([&] { vexil::packed_set_indices(anf, out); });
    return {array.release()};
}

int algebraic_degree(TableView table) { return vexil::algebraic_degree(table.entries); }

Object moebius_transform(TableView table) {
    std::vector<std::uint64_t> words;
    unlocked([&] {
        vexil::ensure_working_set(table.entries.size());
        words = vexil::packed_anf(table.entries);
    });
    return unpacked(words, table.entries.size());
}

unsigned algebraic_immunity(TableView table, Progress) { return vexil::algebraic_immunity(table.entries); }

Object annihilator(TableView table, Count<"d"> d, Progress progress) {
    std::optional<std::vector<std::uint64_t>> g;
    const unsigned degree = d.value > table.n ? table.n : static_cast<unsigned>(d.value);
    unlocked([&] { g = vexil::packed_annihilator(table.entries, degree); }, progress);
    if (!g) return {Py_NewRef(Py_None)};
    return unpacked(*g, table.entries.size());
}

const PyMethodDef methods[] = {
    method<"anf_monomials", &anf_monomials>(
        "anf_monomials(table, /)\n--\n\n"
        "The monomials of the algebraic normal form of the table, as a new sorted int64 array of masks (mask m\n"
        "is the AND of the variables v with bit v of m set). `table` is a 1-D C-contiguous buffer of bools or\n"
        "0/1 uint8 of power-of-two length. Computed without the interpreter lock."),
    method<"algebraic_degree", &algebraic_degree>(
        "algebraic_degree(table, /)\n--\n\n"
        "The largest number of variables in a monomial of the algebraic normal form; -1 for the zero function.\n"
        "`table` as for anf_monomials."),
    method<"moebius_transform", &moebius_transform>(
        "moebius_transform(table, /)\n--\n\n"
        "out[x] = XOR of table[y] over the y whose bits are a subset of those of x, as a new bool array: the\n"
        "ANF coefficients of a truth table, and the truth table of ANF coefficients (the transform is its own\n"
        "inverse). `table` as for anf_monomials."),
    method<"algebraic_immunity", &algebraic_immunity>(
        "algebraic_immunity(table, /, *, progress=None)\n--\n\n"
        "The least d such that f or f ^ 1 has a nonzero annihilator of degree at most d (at most ceil(n/2);\n"
        "0 for constants). `progress` is None or a callable taking (done, total)."),
    method<"annihilator", &annihilator>(
        "annihilator(table, d, /, *, progress=None)\n--\n\n"
        "A nonzero g of algebraic degree at most d (a non-negative int; above n reads as n) with g & f = 0,\n"
        "as a new bool array, or None when there is none. The same table and d give the same g."),
};

}  // namespace

std::span<const PyMethodDef> algebraic_methods() { return methods; }

}  // namespace vexil_kit
