#include "results.hpp"

namespace vexil_kit {

namespace {

using vexil::py::check;
using vexil::py::Ref;

PyObject* members_to_python(const std::vector<std::uint64_t>& members) {
    return vexil::py::tuple_of(members, [](std::uint64_t v) { return to_python(v); });
}

template <class Record, class Value>
PyObject* records_to_python(const std::vector<Record>& records, Value Record::* value) {
    return vexil::py::list_of(records, [value](const Record& record) {
        Ref set1(members_to_python(record.set1));
        Ref set2(members_to_python(record.set2));
        Ref measure(to_python(record.*value));
        return check(PyTuple_Pack(3, set1.get(), set2.get(), measure.get()));
    });
}

}  // namespace

PyObject* to_python(const CanonicalForm& canonical) {
    const vexil::NpnForm& form = canonical.form;
    const std::vector<std::uint64_t> perm(form.perm.begin(), form.perm.begin() + canonical.n);
    Ref word(to_python(form.word));
    Ref perm_tuple(members_to_python(perm));
    Ref mask(to_python(form.mask));
    Ref output(to_python(form.output));
    return check(PyTuple_Pack(4, word.get(), perm_tuple.get(), mask.get(), output.get()));
}

PyObject* to_python(const vexil::Wide& value) { return vexil::py::wide_to_python(value.high, value.low); }

PyObject* to_python(const std::vector<vexil::EntanglementSet>& records) {
    return records_to_python(records, &vexil::EntanglementSet::entanglement);
}

PyObject* to_python(const std::vector<vexil::EntropySets>& records) {
    return records_to_python(records, &vexil::EntropySets::entropy);
}

PyObject* to_python(const std::vector<vexil::Bipartition>& cuts) {
    return vexil::py::list_of(cuts, [](const vexil::Bipartition& cut) {
        Ref set1(members_to_python(cut.set1));
        Ref set2(members_to_python(cut.set2));
        return check(PyTuple_Pack(2, set1.get(), set2.get()));
    });
}

PyObject* to_python(const std::optional<vexil::FValue>& f) {
    if (!f) Py_RETURN_NONE;
    return check(
        PyBytes_FromStringAndSize(reinterpret_cast<const char*>(f->data()), static_cast<Py_ssize_t>(f->size())));
}

PyObject* to_python(const vexil::SensitivityStats& stats) {
    Ref low(to_python(stats.min));
    Ref high(to_python(stats.max));
    Ref sum(to_python(stats.sum));
    return check(PyTuple_Pack(3, low.get(), high.get(), sum.get()));
}

}  // namespace vexil_kit
