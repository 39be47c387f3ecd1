// NPN canonical forms of tables of at most six variables, and the class
// representatives of small n.
#include "call.hpp"
#include "methods.hpp"

#include "npn5/canonical_forms.hpp"

#include <cstdint>
#include <string>
#include <vector>

namespace vexil_kit {

namespace {

CanonicalForm npn_canonical(TableView table, Progress) {
    if (table.n > vexil::npn_canonical_max_vars) {
        refuse(PyExc_ValueError,
               "npn_canonical: functions of at most six variables; this one has " + std::to_string(table.n));
    }
    std::uint64_t word = 0;
    for (std::size_t x = 0; x < table.entries.size(); ++x) {
        word |= static_cast<std::uint64_t>(table.entries[x] & 1U) << x;
    }
    return {vexil::npn5::npn_canonical(word, table.n), table.n};
}

std::vector<std::uint64_t> npn_class_words(Count<"n"> n) {
    if (n.value > 4) refuse(PyExc_ValueError, "npn_class_words: n must be at most 4");
    return vexil::npn_class_words(static_cast<unsigned>(n.value));
}

const PyMethodDef methods[] = {
    method<"npn_canonical", &npn_canonical>(
        "npn_canonical(table, /, *, progress=None)\n--\n\n"
        "(word, perm, mask, output) for a table of at most six variables: the representative of its NPN class\n"
        "as the int sum of r[x] << x (the least over the class), and the transform r(x) = f(y) ^ output with\n"
        "y[perm[i]] = x[i] ^ bit i of mask."),
    method<"npn_class_words", &npn_class_words>(
        "npn_class_words(n, /)\n--\n\n"
        "The representatives of all NPN classes of n <= 4 variables, as sorted ints (table words)."),
};

}  // namespace

std::span<const PyMethodDef> canonical_methods() { return methods; }

}  // namespace vexil_kit
