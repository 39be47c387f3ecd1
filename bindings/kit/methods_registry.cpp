// The registry of measures, as Python data for the layers that derive from it.
#include "method_row.hpp"
#include "methods.hpp"
#include "to_python.hpp"

#include "registry/measure_input.hpp"
#include "registry/registry.hpp"
#include "table_arg.hpp"

#include <string_view>

namespace vexil_kit {

namespace {

PyObject* text(std::string_view value) {
    return vexil::py::check(PyUnicode_FromStringAndSize(value.data(), static_cast<Py_ssize_t>(value.size())));
}

PyObject* measure_registry(PyObject*, PyObject*) {
    return guarded([] {
        return vexil::py::tuple_of(vexil::measure_registry(), [](const vexil::MeasureInfo& m) {
            Ref name(text(m.name)), subject(text(vexil::subject_name(m.subject)));
            Ref group(text(vexil::group_name(m.group))), kind(text(vexil::kind_name(m.kind)));
            Ref parameters(text(m.parameters)), cost(text(m.cost)), summary(text(m.summary));
            Ref max_vars(vexil::py::to_python(std::uint32_t{m.max_vars}));
            return vexil::py::check(PyTuple_Pack(
                12, name.get(), subject.get(), group.get(), kind.get(), parameters.get(), max_vars.get(),
                m.exact_vars ? Py_True : Py_False, m.permutations_only ? Py_True : Py_False,
                m.progress ? Py_True : Py_False, m.scalar() ? Py_True : Py_False, cost.get(), summary.get()));
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

// measure(name, table, *, progress=None): a scalar measure of the registry,
// computed by the evaluator the batch kernel of sweeps uses.
PyObject* measure(PyObject*, PyObject* args, PyObject* kwargs) {
    static const char* keywords[] = {"", "", "progress", nullptr};
    const char* name = nullptr;
    Py_ssize_t name_length = 0;
    PyObject* table_object = nullptr;
    PyObject* progress = nullptr;
    if (PyArg_ParseTupleAndKeywords(args, kwargs, "s#O|$O", const_cast<char**>(keywords), &name, &name_length,
                                    &table_object, &progress) == 0) {
        return nullptr;
    }
    const vexil::MeasureInfo* m = vexil::find_scalar_measure(
        vexil::MeasureSubject::function, std::string_view(name, static_cast<std::size_t>(name_length)));
    if (m == nullptr) {
        PyErr_Format(PyExc_ValueError, "%s is not a scalar measure of functions in the registry", name);
        return nullptr;
    }
    Buffer buffer;
    const std::optional<TableView> table = read_table(table_object, buffer);
    if (!table || !check_progress(progress)) return nullptr;
    if (table->n > m->max_vars) {
        PyErr_Format(PyExc_ValueError, "%s is defined up to %u variables, not %u", name, m->max_vars, table->n);
        return nullptr;
    }
    std::int64_t integer = 0;
    double real = 0.0;
    const bool done = run_unlocked(
        [&] {
            vexil::MeasureInput in = vexil::MeasureInput::from_entries(table->entries, table->n);
            if (m->real != nullptr) {
                real = m->real(in);
            } else {
                integer = m->integer(in);
            }
        },
        progress);
    if (!done) return nullptr;
    if (m->real != nullptr) return PyFloat_FromDouble(real);
    if (m->kind == vexil::MeasureKind::boolean) return PyBool_FromLong(integer != 0 ? 1 : 0);
    return PyLong_FromLongLong(integer);
}

const PyMethodDef methods[] = {
    vexil::py::keyword_row<measure>("measure",
                                    "measure(name, table, /, *, progress=None)\n--\n\n"
                                    "The scalar measure `name` of the registry (an int, float or bool) of the table, "
                                    "computed\nwithout the interpreter lock; `progress` is None or a callable taking "
                                    "(done, total)."),
    {"measure_registry", &measure_registry, METH_NOARGS,
     "measure_registry()\n--\n\n"
     "Every measure the core computes, of functions then of vectorial functions, in report order:\n"
     "tuples (name, subject, group, kind, parameters, max_vars, exact_vars, permutations_only,\n"
     "progress, scalar, cost, summary); subject is 'function' or 'vectorial', scalar whether\n"
     "measure or sbox_measure computes it by its evaluator."},
    {"measure_aliases", &measure_aliases, METH_NOARGS,
     "measure_aliases()\n--\n\n"
     "The other names of measures: tuples (alias, name)."},
};

}  // namespace

std::span<const PyMethodDef> registry_methods() { return methods; }

}  // namespace vexil_kit
