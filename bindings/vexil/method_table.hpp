// The methods of Vexil, in registration order, and its constructor.
#pragma once

#include "py.hpp"

namespace vexil::py {

PyMethodDef* vexil_methods();
PyObject* vexil_new(PyTypeObject* type, PyObject* args, PyObject* kwargs);

}  // namespace vexil::py
