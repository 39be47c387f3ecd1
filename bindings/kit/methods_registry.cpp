// The registry of measures, as Python data for the layers that derive from it.
#include "call.hpp"
#include "methods.hpp"

#include "registry/measure_input.hpp"
#include "registry/registry.hpp"

#include <string>
#include <string_view>

namespace vexil_kit {

namespace {

PyObject* text(std::string_view value) {
    return vexil::py::check(PyUnicode_FromStringAndSize(value.data(), static_cast<Py_ssize_t>(value.size())));
}

Object measure_registry() {
    return {vexil::py::tuple_of(vexil::measure_registry(), [](const vexil::MeasureInfo& m) {
        Ref name(text(m.name)), subject(text(vexil::subject_name(m.subject)));
        Ref group(text(vexil::group_name(m.group))), kind(text(vexil::kind_name(m.kind)));
        Ref parameters(text(m.parameters)), cost(text(m.cost)), summary(text(m.summary));
        Ref max_vars(vexil::py::to_python(std::uint32_t{m.max_vars}));
        return vexil::py::check(PyTuple_Pack(12, name.get(), subject.get(), group.get(), kind.get(), parameters.get(),
                                             max_vars.get(), m.exact_vars ? Py_True : Py_False,
                                             m.permutations_only ? Py_True : Py_False, m.progress ? Py_True : Py_False,
                                             m.scalar() ? Py_True : Py_False, cost.get(), summary.get()));
    })};
}

Object measure_aliases() {
    return {vexil::py::tuple_of(vexil::measure_aliases(), [](const vexil::MeasureAlias& a) {
        Ref alias(text(a.alias)), name(text(a.name));
        return vexil::py::check(PyTuple_Pack(2, alias.get(), name.get()));
    })};
}

// A scalar measure of the registry, computed by the evaluator the batch kernel
// of sweeps uses: an int, a float or a bool by the measure's kind.
Object measure(Text<"name"> name, TableView table, Progress progress) {
    const vexil::MeasureInfo* m = vexil::find_scalar_measure(vexil::MeasureSubject::function, name.value);
    if (m == nullptr) refuse(PyExc_ValueError, name.value + " is not a scalar measure of functions in the registry");
    if (table.n > m->max_vars) {
        refuse(PyExc_ValueError, name.value + " is defined up to " + std::to_string(m->max_vars) + " variables, not " +
                                     std::to_string(table.n));
    }
    std::int64_t integer = 0;
    double real = 0.0;
    unlocked(
        [&] {
            vexil::MeasureInput in = vexil::MeasureInput::from_entries(table.entries, table.n);
            if (m->real != nullptr) {
                real = m->real(in);
            } else {
                integer = m->integer(in);
            }
        },
        progress);
    if (m->real != nullptr) return {vexil::py::to_python(real)};
    if (m->kind == vexil::MeasureKind::boolean) return {vexil::py::to_python(integer != 0)};
    return {vexil::py::to_python(integer)};
}

const PyMethodDef methods[] = {
    method<"measure", &measure>("measure(name, table, /, *, progress=None)\n--\n\n"
                                "The scalar measure `name` of the registry (an int, float or bool) of the table, "
                                "computed\nwithout the interpreter lock; `progress` is None or a callable taking "
                                "(done, total)."),
    method<"measure_registry", &measure_registry>(
        "measure_registry()\n--\n\n"
        "Every measure the core computes, of functions then of vectorial functions, in report order:\n"
        "tuples (name, subject, group, kind, parameters, max_vars, exact_vars, permutations_only,\n"
        "progress, scalar, cost, summary); subject is 'function' or 'vectorial', scalar whether\n"
        "measure or sbox_measure computes it by its evaluator."),
    method<"measure_aliases", &measure_aliases>("measure_aliases()\n--\n\n"
                                                "The other names of measures: tuples (alias, name)."),
};

}  // namespace

std::span<const PyMethodDef> registry_methods() { return methods; }

}  // namespace vexil_kit
