// The functions of vexil_kit._native, by group: each methods_*.cpp defines its
// rows and module.cpp joins them into the module's table.
#pragma once

#include "unlocked.hpp"

#include <span>

namespace vexil_kit {

std::span<const PyMethodDef> spectral_methods();
std::span<const PyMethodDef> measure_methods();
std::span<const PyMethodDef> circuit_methods();
std::span<const PyMethodDef> algebraic_methods();
std::span<const PyMethodDef> cryptographic_methods();
std::span<const PyMethodDef> query_methods();
std::span<const PyMethodDef> memory_methods();
std::span<const PyMethodDef> ranges_methods();
std::span<const PyMethodDef> sweep_methods();
std::span<const PyMethodDef> registry_methods();
std::span<const PyMethodDef> predicate_methods();
std::span<const PyMethodDef> two_level_methods();
std::span<const PyMethodDef> canonical_methods();

// Vectorial functions (S-boxes).
std::span<const PyMethodDef> vectorial_methods();

}  // namespace vexil_kit
