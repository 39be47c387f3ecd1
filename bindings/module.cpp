// The module's entry point: `vexil`, holding the class Vexil and nothing else.
#include "errors.hpp"
#include "vexil_object.hpp"

namespace {

PyModuleDef module_def = {
    PyModuleDef_HEAD_INIT, "vexil", "", 0, nullptr, nullptr, nullptr, nullptr, nullptr,
};

PyObject* module_object = nullptr;
std::int64_t first_interpreter = -1;

PyObject* create_module() {
    PyObject* module = PyModule_Create(&module_def);
    if (module == nullptr) return nullptr;
    PyObject* type = vexil::py::guarded([] { return reinterpret_cast<PyObject*>(vexil::py::vexil_type()); });
    if (type == nullptr || PyModule_AddObjectRef(module, "Vexil", type) != 0) {
        Py_DECREF(module);
        return nullptr;
    }
    vexil::py::install_interrupt_poll();
    return module;
}

}  // namespace

PyMODINIT_FUNC PyInit_vexil(void) {
    PyInterpreterState* interpreter = PyInterpreterState_Get();
    const std::int64_t id = interpreter == nullptr ? -1 : PyInterpreterState_GetID(interpreter);
    if (id == -1) return nullptr;
    if (first_interpreter == -1) first_interpreter = id;
    if (id != first_interpreter) {
        PyErr_SetString(PyExc_ImportError,
                        "vexil does not support sub-interpreters: it can be imported in one interpreter per process");
        return nullptr;
    }
    if (module_object == nullptr) {
        module_object = create_module();
        if (module_object == nullptr) return nullptr;
    }
    return Py_NewRef(module_object);
}
