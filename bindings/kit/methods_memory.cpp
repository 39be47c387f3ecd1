// The memory guard of the core, for builders that allocate in Python.
#include "arguments.hpp"
#include "methods.hpp"
#include "unlocked.hpp"

#include "memory_guard.hpp"

namespace vexil_kit {

namespace {

// MemoryError, with what is needed and what can be had, unless `bytes` of
// working memory can be had now.
PyObject* ensure_working_set(PyObject*, PyObject* argument) {
    vexil::py::U64Argument bytes{"bytes"};
    if (vexil::py::read_u64(argument, &bytes) == 0) return nullptr;
    if (!run_unlocked([bytes] { vexil::ensure_working_set(bytes.value); })) return nullptr;
    Py_RETURN_NONE;
}

const PyMethodDef methods[] = {
    {"ensure_working_set", &ensure_working_set, METH_O,
     "ensure_working_set(bytes, /)\n--\n\n"
     "Raises MemoryError (with the size needed and the size that can be had) unless `bytes` of working\n"
     "memory can be had now: free memory and swap, the memory cgroup and the resource limits."},
};

}  // namespace

std::span<const PyMethodDef> memory_methods() { return methods; }

}  // namespace vexil_kit
