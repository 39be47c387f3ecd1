#include "vexil_object.hpp"

#include "errors.hpp"
#include "convert.hpp"
#include "method_table.hpp"
#include "panic.hpp"

#include <new>

namespace vexil::py {

namespace {

void vexil_dealloc(PyObject* self) {
    PyTypeObject* type = Py_TYPE(self);
    reinterpret_cast<VexilObject*>(self)->~VexilObject();
    auto free_slot = reinterpret_cast<freefunc>(PyType_GetSlot(type, Py_tp_free));
    free_slot(self);
    Py_DECREF(type);
}

}  // namespace

PyTypeObject* vexil_type() {
    static PyTypeObject* type = nullptr;
    if (type != nullptr) return type;
    static PyType_Slot slots[] = {
        {Py_tp_doc, const_cast<char*>("Vexil(repr)\n--\n\n")},
        {Py_tp_new, reinterpret_cast<void*>(&vexil_new)},
        {Py_tp_dealloc, reinterpret_cast<void*>(&vexil_dealloc)},
        {Py_tp_methods, vexil_methods()},
        {0, nullptr},
    };
    static PyType_Spec spec = {"builtins.Vexil", static_cast<int>(sizeof(VexilObject)), 0, Py_TPFLAGS_DEFAULT, slots};
    PyObject* created = PyType_FromSpec(&spec);
    if (created == nullptr) {
        PyErr_Print();
        panic("failed to create type object for Vexil");
    }
    type = reinterpret_cast<PyTypeObject*>(created);
    return type;
}

PyObject* new_vexil(FValue&& table) {
    PyTypeObject* type = vexil_type();
    auto alloc = reinterpret_cast<allocfunc>(PyType_GetSlot(type, Py_tp_alloc));
    PyObject* self = made(alloc(type, 0));
    auto* object = reinterpret_cast<VexilObject*>(self);
    new (&object->state) FunctionState{std::move(table), std::nullopt};
    new (&object->borrows) std::atomic<std::uintptr_t>(0);
    return self;
}

Borrow::Borrow(PyObject* self, bool exclusive) : exclusive_(exclusive) {
    PyTypeObject* type = vexil_type();
    if (Py_TYPE(self) != type && !PyType_IsSubtype(Py_TYPE(self), type)) {
        raise(PyExc_TypeError, "'" + type_qualname(self) + "' object cannot be converted to 'Vexil'");
    }
    object_ = reinterpret_cast<VexilObject*>(self);
    std::atomic<std::uintptr_t>& borrows = object_->borrows;
    if (exclusive) {
        std::uintptr_t expected = 0;
        if (!borrows.compare_exchange_strong(expected, exclusive_borrow)) {
            raise(PyExc_RuntimeError, "Already borrowed");
        }
    } else {
        std::uintptr_t current = borrows.load();
        do {
            if (current == exclusive_borrow) raise(PyExc_RuntimeError, "Already mutably borrowed");
        } while (!borrows.compare_exchange_weak(current, current + 1));
    }
    Py_INCREF(self);
}

Borrow::~Borrow() {
    if (exclusive_) {
        object_->borrows.store(0);
    } else {
        object_->borrows.fetch_sub(1);
    }
    Py_DECREF(reinterpret_cast<PyObject*>(object_));
}

}  // namespace vexil::py
