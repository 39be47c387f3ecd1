// The memory guard of the core, for builders that allocate in Python.
#include "call.hpp"
#include "methods.hpp"

#include "memory_guard.hpp"

namespace vexil_kit {

namespace {

// MemoryError, with what is needed and what can be had, unless `bytes` of
// working memory can be had now.
void ensure_working_set(Count<"bytes"> bytes) { vexil::ensure_working_set(bytes.value); }

const PyMethodDef methods[] = {
    method<"ensure_working_set", &ensure_working_set>(
        "ensure_working_set(bytes, /)\n--\n\n"
        "Raises MemoryError (with the size needed and the size that can be had) unless `bytes` of working\n"
        "memory can be had now: free memory and swap, the memory cgroup and the resource limits."),
};

}  // namespace

std::span<const PyMethodDef> memory_methods() { return methods; }

}  // namespace vexil_kit
