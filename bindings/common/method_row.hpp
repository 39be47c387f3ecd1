// Rows of a PyMethodDef table for the calling conventions the faces use.
#pragma once

#include "py.hpp"

namespace vexil::py {

using KeywordFunction = PyObject* (*)(PyObject*, PyObject*, PyObject*);

// fn(self, args, kwargs): positional and keyword arguments.
template <KeywordFunction Fn>
constexpr PyMethodDef keyword_row(const char* name, const char* doc, int flags = 0) {
    return {name, reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(Fn)), METH_VARARGS | METH_KEYWORDS | flags,
            doc};
}

}  // namespace vexil::py
