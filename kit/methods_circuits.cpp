#include "methods.hpp"

namespace vexil_kit {

std::span<const PyMethodDef> circuit_methods() { return {}; }

}  // namespace vexil_kit
