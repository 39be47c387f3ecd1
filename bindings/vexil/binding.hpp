// Binding of positional and keyword arguments to a method's parameters.
#pragma once

#include "py.hpp"

#include <cstddef>
#include <initializer_list>

namespace vexil::py {

// What a method with parameters declares: every parameter is required and
// may be given by position or by keyword.
struct Signature {
    const char* method;  // "eval"
    const char* const* params;
    std::size_t count;
};

// Fills bound[0..count) with borrowed references; throws ErrorSet with the
// binding TypeError ("Vexil.eval() missing 1 required positional ...").
void bind_arguments(const Signature& signature, PyObject* args, PyObject* kwargs, PyObject** bound);

// Converts with `convert`; a TypeError (exactly) is reported again as
// "argument '<name>': <message>", keeping the original's cause.
template <typename Convert>
auto convert_argument(const char* name, PyObject* object, Convert convert) -> decltype(convert(object));

void prefix_argument_error(const char* name);

template <typename Convert>
auto convert_argument(const char* name, PyObject* object, Convert convert) -> decltype(convert(object)) {
    try {
        return convert(object);
    } catch (const ErrorSet&) {
        prefix_argument_error(name);
        throw;
    }
}

}  // namespace vexil::py
