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

// fn(self, argument): exactly one positional argument.
template <PyCFunction Fn>
constexpr PyMethodDef one_argument_row(const char* name, const char* doc) {
    return {name, Fn, METH_O, doc};
}

}  // namespace vexil::py
