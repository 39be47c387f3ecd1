// NPN canonical forms of tables of at most six variables, and the class
// representatives of small n.
#include "methods.hpp"
#include "table_arg.hpp"
#include "unlocked.hpp"

#include "arguments.hpp"
#include "to_python.hpp"

#include "npn5/canonical_forms.hpp"

#include <cstdint>
#include <optional>
#include <vector>

namespace vexil_kit {

namespace {

using vexil::py::to_python;

PyObject* npn_canonical(PyObject*, PyObject* args, PyObject* kwargs) {
    TableCall call;
    if (!call.parse(args, kwargs)) return nullptr;
    const unsigned n = call.table->n;
    if (n > vexil::npn_canonical_max_vars) {
        PyErr_Format(PyExc_ValueError, "npn_canonical: functions of at most six variables; this one has %u", n);
        return nullptr;
    }
    vexil::NpnForm form;
    if (!run_unlocked(
            [&] {
                std::uint64_t word = 0;
                for (std::size_t x = 0; x < call.table->entries.size(); ++x) {
                    word |= static_cast<std::uint64_t>(call.table->entries[x] & 1u) << x;
                }
                form = vexil::npn5::npn_canonical(word, n);
            },
            call.progress)) {
        return nullptr;
    }
    return guarded([&] {
        std::vector<std::uint64_t> perm(form.perm.begin(), form.perm.begin() + n);
        Ref word(to_python(form.word));
        Ref perm_tuple(vexil::py::tuple_of(perm, [](std::uint64_t v) { return to_python(v); }));
        Ref mask(to_python(form.mask));
        Ref output(to_python(form.output));
        return vexil::py::check(PyTuple_Pack(4, word.get(), perm_tuple.get(), mask.get(), output.get()));
    });
}

PyObject* npn_class_words(PyObject*, PyObject* argument) {
    vexil::py::U64Argument n{"n"};
    if (vexil::py::read_u64(argument, &n) == 0) return nullptr;
    if (n.value > 4) {
        PyErr_SetString(PyExc_ValueError, "npn_class_words: n must be at most 4");
        return nullptr;
    }
    std::vector<std::uint64_t> words;
    if (!run_unlocked([&] { words = vexil::npn_class_words(static_cast<unsigned>(n.value)); })) return nullptr;
    return guarded([&] { return vexil::py::list_of(words, [](std::uint64_t v) { return to_python(v); }); });
}

const PyMethodDef methods[] = {
    {"npn_canonical", reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&npn_canonical)),
     METH_VARARGS | METH_KEYWORDS,
     "npn_canonical(table, /, *, progress=None)\n--\n\n"
     "(word, perm, mask, output) for a table of at most six variables: the representative of its NPN class\n"
     "as the int sum of r[x] << x (the least over the class), and the transform r(x) = f(y) ^ output with\n"
     "y[perm[i]] = x[i] ^ bit i of mask."},
    {"npn_class_words", &npn_class_words, METH_O,
     "npn_class_words(n, /)\n--\n\n"
     "The representatives of all NPN classes of n <= 4 variables, as sorted ints (table words)."},
};

}  // namespace

std::span<const PyMethodDef> canonical_methods() { return methods; }

}  // namespace vexil_kit
