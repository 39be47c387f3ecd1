#include "records.hpp"

#include "convert.hpp"
#include "errors.hpp"
#include "panic.hpp"

#include <new>
#include <string>

namespace vexil::py {

namespace {

template <typename Record>
struct RecordObject {
    PyObject_HEAD
    Record record;
};

template <typename Record>
struct RecordClass;

template <>
struct RecordClass<EntanglementSet> {
    static constexpr const char* name = "EntanglementSet";
    static constexpr const char* type_name = "builtins.EntanglementSet";
    static PyObject* measure(const EntanglementSet& r) { return result_to_python(r.entanglement); }
    static constexpr const char* measure_name = "entanglement";
};

template <>
struct RecordClass<EntropySets> {
    static constexpr const char* name = "EntropySets";
    static constexpr const char* type_name = "builtins.EntropySets";
    static PyObject* measure(const EntropySets& r) { return result_to_python(r.entropy); }
    static constexpr const char* measure_name = "entropy";
};

template <typename Record>
Record& record_of(PyObject* self) {
    return reinterpret_cast<RecordObject<Record>*>(self)->record;
}

template <typename Record>
PyObject* get_measure(PyObject* self, void*) {
    return guarded([&] { return RecordClass<Record>::measure(record_of<Record>(self)); });
}

template <typename Record>
PyObject* get_set1(PyObject* self, void*) {
    return guarded([&] { return result_to_python(record_of<Record>(self).set1); });
}

template <typename Record>
PyObject* get_set2(PyObject* self, void*) {
    return guarded([&] { return result_to_python(record_of<Record>(self).set2); });
}

template <typename Record>
PyObject* no_constructor(PyTypeObject*, PyObject*, PyObject*) {
    PyErr_SetString(PyExc_TypeError, (std::string("No constructor defined for ") + RecordClass<Record>::name).c_str());
    return nullptr;
}

template <typename Record>
void record_dealloc(PyObject* self) {
    PyTypeObject* type = Py_TYPE(self);
    reinterpret_cast<RecordObject<Record>*>(self)->~RecordObject<Record>();
    auto free_slot = reinterpret_cast<freefunc>(PyType_GetSlot(type, Py_tp_free));
    free_slot(self);
    Py_DECREF(type);
}

template <typename Record>
PyTypeObject* record_type() {
    static PyTypeObject* type = nullptr;
    if (type != nullptr) return type;
    static PyGetSetDef getters[] = {
        {RecordClass<Record>::measure_name, &get_measure<Record>, nullptr, nullptr, nullptr},
        {"set1", &get_set1<Record>, nullptr, nullptr, nullptr},
        {"set2", &get_set2<Record>, nullptr, nullptr, nullptr},
        {nullptr, nullptr, nullptr, nullptr, nullptr},
    };
    static PyType_Slot slots[] = {
        {Py_tp_new, reinterpret_cast<void*>(&no_constructor<Record>)},
        {Py_tp_dealloc, reinterpret_cast<void*>(&record_dealloc<Record>)},
        {Py_tp_getset, getters},
        {0, nullptr},
    };
    static PyType_Spec spec = {RecordClass<Record>::type_name, static_cast<int>(sizeof(RecordObject<Record>)), 0,
                               Py_TPFLAGS_DEFAULT, slots};
    PyObject* created = PyType_FromSpec(&spec);
    if (created == nullptr) {
        PyErr_Print();
        panic(std::string("failed to create type object for ") + RecordClass<Record>::name);
    }
    type = reinterpret_cast<PyTypeObject*>(created);
    return type;
}

template <typename Record>
PyObject* new_record(const Record& record) {
    PyTypeObject* type = record_type<Record>();
    auto alloc = reinterpret_cast<allocfunc>(PyType_GetSlot(type, Py_tp_alloc));
    PyObject* self = made(alloc(type, 0));
    new (&record_of<Record>(self)) Record(record);
    return self;
}

}  // namespace

PyObject* new_entanglement_set(const EntanglementSet& record) { return new_record(record); }
PyObject* new_entropy_sets(const EntropySets& record) { return new_record(record); }

}  // namespace vexil::py
