// The read-only record classes EntanglementSet and EntropySets, created on
// first use and not added to the module.
#pragma once

#include "py.hpp"

#include "metrics/cut_records.hpp"

namespace vexil::py {

PyObject* new_entanglement_set(const EntanglementSet& record);
PyObject* new_entropy_sets(const EntropySets& record);

}  // namespace vexil::py
