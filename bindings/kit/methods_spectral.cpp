// The exact Walsh spectrum and influence counts.
#include "methods.hpp"
#include "numpy_out.hpp"
#include "table_arg.hpp"
#include "unlocked.hpp"

#include "memory_guard.hpp"
#include "metrics/sensitivity.hpp"
#include "metrics/spectral.hpp"
#include "base/packed_table.hpp"

#include <algorithm>
#include <vector>

namespace vexil_kit {

namespace {

// W(u) = sum over x of (-1)^(f(x) XOR u.x): false counts +1. The core counts
// true as +1, so its coefficients are the negatives of these.
PyObject* walsh_spectrum(PyObject*, PyObject* argument) {
    Buffer table_buffer;
    const std::optional<TableView> table = read_table(argument, table_buffer);
    if (!table) return nullptr;
    Buffer out_buffer;
    std::span<std::int64_t> out;
    Ref array(new_int64_array(table->entries.size(), out_buffer, out));
    if (!array) return nullptr;
    const bool done = run_unlocked([&] {
        vexil::spectrum_into(table->entries, out);
        std::transform(out.begin(), out.end(), out.begin(), [](std::int64_t w) { return -w; });
    });
    return done ? array.release() : nullptr;
}

// I(v) = #{x : f(x) != f(x XOR 2^v)} for each variable v.
PyObject* influence_counts(PyObject*, PyObject* argument) {
    Buffer table_buffer;
    const std::optional<TableView> table = read_table(argument, table_buffer);
    if (!table) return nullptr;
    std::vector<std::uint64_t> counts(table->n);
    const bool done = run_unlocked([&] {
        vexil::ensure_working_set(vexil::detail::packed_table_bytes(table->n));
        const std::vector<std::uint64_t> words = vexil::detail::pack_entries(table->entries);
        vexil::detail::packed_influence_counts(words, table->n, counts.data());
    });
    if (!done) return nullptr;
    Buffer out_buffer;
    std::span<std::int64_t> out;
    Ref array(new_int64_array(counts.size(), out_buffer, out));
    if (!array) return nullptr;
    std::copy(counts.begin(), counts.end(), out.begin());
    return array.release();
}

const PyMethodDef methods[] = {
    {"walsh_spectrum", &walsh_spectrum, METH_O,
     "walsh_spectrum(table, /)\n--\n\n"
     "W(u) = sum over x of (-1)**(f(x) ^ popcount(u & x) % 2) for u = 0..2**n-1 (false counts +1), as a\n"
     "new int64 array. `table` is a 1-D C-contiguous buffer of bools or 0/1 uint8 of power-of-two length.\n"
     "Computed without the interpreter lock; Ctrl-C on the main thread raises KeyboardInterrupt."},
    {"influence_counts", &influence_counts, METH_O,
     "influence_counts(table, /)\n--\n\n"
     "For each variable v, the number of inputs x with f(x) != f(x ^ 2**v), as a new int64 array of\n"
     "length n. `table` as for walsh_spectrum. Computed without the interpreter lock."},
};

}  // namespace

std::span<const PyMethodDef> spectral_methods() { return methods; }

}  // namespace vexil_kit
