// The registry of measures, as Python data for the layers that derive from it.
#include "method_row.hpp"
#include "methods.hpp"
#include "to_python.hpp"

#include "registry/registry.hpp"

#include <string_view>

namespace vexil_kit {

namespace {

PyObject* text(std::string_view value) {
    return vexil::py::check(PyUnicode_FromStringAndSize(value.data(), static_cast<Py_ssize_t>(value.size())));
}

PyObject* measure_registry(PyObject*, PyObject*) {
    return guarded([] {
        return vexil::py::tuple_of(vexil::measure_registry(), [](const vexil::MeasureInfo& m) {
            Ref name(text(m.name)), group(text(vexil::group_name(m.group))), kind(text(vexil::kind_name(m.kind)));
            Ref parameters(text(m.parameters)), cost(text(m.cost)), summary(text(m.summary));
            Ref max_vars(vexil::py::to_python(std::uint32_t{m.max_vars}));
            return vexil::py::check(PyTuple_Pack(9, name.get(), group.get(), kind.get(), parameters.get(),
                                                 max_vars.get(), m.exact_vars ? Py_True : Py_False,
                                                 m.progress ? Py_True : Py_False, cost.get(), summary.get()));
        });
    });
}

PyObject* measure_aliases(PyObject*, PyObject*) {
    return guarded([] {
        return vexil::py::tuple_of(vexil::measure_aliases(), [](const vexil::MeasureAlias& a) {
            Ref alias(text(a.alias)), name(text(a.name));
            return vexil::py::check(PyTuple_Pack(2, alias.get(), name.get()));
        });
    });
}

const PyMethodDef methods[] = {
    {"measure_registry", &measure_registry, METH_NOARGS,
     "measure_registry()\n--\n\n"
     "Every measure of a single function, in report order: tuples (name, group, kind, parameters,\n"
     "max_vars, exact_vars, progress, cost, summary)."},
    {"measure_aliases", &measure_aliases, METH_NOARGS,
     "measure_aliases()\n--\n\n"
     "The other names of measures: tuples (alias, name)."},
};

}  // namespace

std::span<const PyMethodDef> registry_methods() { return methods; }

}  // namespace vexil_kit
