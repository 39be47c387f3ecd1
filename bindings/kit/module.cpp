// vexil_kit._native: the core's kernels over truth tables held by Python
// (NumPy arrays, bytes, any 1-D byte buffer), computed without the
// interpreter lock.
#include "methods.hpp"
#include "unlocked.hpp"

#include <vector>

namespace vexil_kit {

namespace {

PyObject* error_type = nullptr;

const char error_doc[] =
    "Raised when the native core stops a computation with a message (a violated precondition\n"
    "or an internal limit). It derives from RuntimeError; the message is its single argument.";

void raise_vexil_error(const char* message) { PyErr_SetString(error_type, message); }

// The groups' rows and the closing sentinel; lives as long as the process,
// as the module definition that points into it.
std::vector<PyMethodDef> module_methods() {
    std::vector<PyMethodDef> rows;
    for (const auto group :
         {spectral_methods(), measure_methods(), circuit_methods(), algebraic_methods(), cryptographic_methods(),
          query_methods(), memory_methods(), ranges_methods(), sweep_methods(), registry_methods(), predicate_methods(),
          two_level_methods(), canonical_methods(), vectorial_methods()}) {
        rows.insert(rows.end(), group.begin(), group.end());
    }
    rows.push_back({nullptr, nullptr, 0, nullptr});
    return rows;
}

PyModuleDef module_def = {
    PyModuleDef_HEAD_INIT,
    "vexil_kit._native",
    "Kernels of the vexil core over truth tables: exact spectra, influence counts, the measures of "
    "vexil.Vexil and minimum circuits, computed without the interpreter lock.",
    // Not -1: CPython would hand a second interpreter a copy of this module's
    // dict without calling PyInit__native, which refuses it.
    0,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
};

PyObject* create_module() {
    static std::vector<PyMethodDef> methods = module_methods();
    module_def.m_methods = methods.data();
    if (!vexil::py::note_main_thread()) return nullptr;
    if (error_type == nullptr) {
        error_type = PyErr_NewExceptionWithDoc("vexil_kit.VexilError", error_doc, PyExc_RuntimeError, nullptr);
        if (error_type == nullptr) return nullptr;
    }
    Ref module(PyModule_Create(&module_def));
    if (!module || PyModule_AddObjectRef(module.get(), "VexilError", error_type) != 0) return nullptr;
    return module.release();
}

}  // namespace

const vexil::py::FailurePolicy kit_failures{&raise_vexil_error, "out of memory"};

}  // namespace vexil_kit

PyMODINIT_FUNC PyInit__native() {
    if (!vexil::py::first_interpreter_only("vexil_kit._native")) return nullptr;
    return vexil_kit::create_module();
}
