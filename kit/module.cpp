// vexil_kit._native: the core's kernels over truth tables held by Python
// (NumPy arrays, bytes, any 1-D byte buffer), computed without the
// interpreter lock.
#include "methods.hpp"
#include "unlocked.hpp"

#include <vector>

namespace vexil_kit {

namespace {

// The groups' rows and the closing sentinel; lives as long as the process,
// as the module definition that points into it.
std::vector<PyMethodDef> module_methods() {
    std::vector<PyMethodDef> rows;
    for (const auto group :
         {spectral_methods(), measure_methods(), circuit_methods(), algebraic_methods(), cryptographic_methods(),
          query_methods(), memory_methods(), ranges_methods(), sweep_methods()}) {
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
    -1,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
    nullptr,
};

}  // namespace

}  // namespace vexil_kit

PyMODINIT_FUNC PyInit__native() {
    static std::vector<PyMethodDef> methods = vexil_kit::module_methods();
    vexil_kit::module_def.m_methods = methods.data();
    if (!vexil_kit::install_interrupt_poll()) return nullptr;
    return PyModule_Create(&vexil_kit::module_def);
}
