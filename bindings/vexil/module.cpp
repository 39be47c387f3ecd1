// The module's entry point: `vexil`, holding the class Vexil and nothing else.
#include "errors.hpp"
#include "vexil_object.hpp"

namespace {

PyModuleDef module_def = {
    PyModuleDef_HEAD_INIT, "vexil", "", 0, nullptr, nullptr, nullptr, nullptr, nullptr,
};

PyObject* module_object = nullptr;

PyObject* create_module() {
    if (!vexil::py::note_main_thread()) return nullptr;
    PyObject* module = PyModule_Create(&module_def);
    if (module == nullptr) return nullptr;
    PyObject* type = vexil::py::guarded([] { return Py_NewRef(reinterpret_cast<PyObject*>(vexil::py::vexil_type())); });
    const bool added = type != nullptr && PyModule_AddObjectRef(module, "Vexil", type) == 0;
    Py_XDECREF(type);
    if (!added) {
        Py_DECREF(module);
        return nullptr;
    }
    return module;
}

}  // namespace

PyMODINIT_FUNC PyInit_vexil(void) {
    if (!vexil::py::first_interpreter_only("vexil")) return nullptr;
    if (module_object == nullptr) {
        module_object = create_module();
        if (module_object == nullptr) return nullptr;
    }
    return Py_NewRef(module_object);
}
