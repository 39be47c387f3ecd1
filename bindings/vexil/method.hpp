// The Vexil class's methods over the common typed dispatcher (dispatch.hpp in
// bindings/common), with this face's binding messages, conversions and
// failure policy.
//
// A method is a plain function; its parameter types say how the call is
// bound and converted and its result type how the answer becomes a Python
// object:
//   R f(const FValue&, Args...)   instance method, shared borrow
//   R f(FunctionState&, Args...)  instance method, exclusive borrow
//   R f(Args...)                  class or static method
// Args are std::uint64_t, VarList, TruthValues or ByteView, named by the
// method's Signature in the same order. The table in method_table.cpp lists
// them with their text signatures.
#pragma once

#include "binding.hpp"
#include "convert.hpp"
#include "errors.hpp"
#include "vexil_object.hpp"

#include "dispatch.hpp"

#include <tuple>
#include <type_traits>
#include <utility>

namespace vexil::py {

// The vexil face: "Vexil.eval()" binding messages, "argument 'i': ..."
// conversion messages, PanicException for a stop.
struct VexilFace {
    using Signature = py::Signature;

    static const FailurePolicy& failures() { return vexil_failures; }

    static void bind(const Signature& signature, PyObject* args, PyObject* kwargs, PyObject** bound) {
        bind_arguments(signature, args, kwargs, bound);
    }

    template <typename T>
    static T argument(const Signature& signature, std::size_t index, PyObject* object) {
        return convert_argument(signature.params[index], object, [](PyObject* value) { return from_python<T>(value); });
    }

    template <auto Fn, typename Values, typename... Receivers>
    static PyObject* invoke(Values& values, Receivers&&... receivers) {
        return result_to_python(apply_converted<Fn>(values, std::forward<Receivers>(receivers)...));
    }
};

template <typename Receiver>
inline constexpr bool is_shared_receiver = std::is_same_v<Receiver, const FValue&>;
template <typename Receiver>
inline constexpr bool is_exclusive_receiver = std::is_same_v<Receiver, FunctionState&>;

// Borrows `self` as Fn's first parameter asks and passes its state on.
template <auto Fn>
auto receiver_of(PyObject* self) {
    using Receiver = std::tuple_element_t<0, typename FunctionTraits<decltype(Fn)>::Args>;
    static_assert(is_shared_receiver<Receiver> || is_exclusive_receiver<Receiver>);
    return [self](auto&& next) -> PyObject* {
        Borrow borrow(self, is_exclusive_receiver<Receiver>);
        if constexpr (is_exclusive_receiver<Receiver>) {
            return next(borrow.object().state);
        } else {
            return next(std::as_const(borrow.object().state.table));
        }
    };
}

// Instance method with parameters.
template <const Signature& Sig, auto Fn>
PyObject* instance_method(PyObject* self, PyObject* args, PyObject* kwargs) {
    static_assert(std::tuple_size_v<typename FunctionTraits<decltype(Fn)>::Args> >= 2);
    return dispatch<VexilFace, Fn, 1>(Sig, args, kwargs, receiver_of<Fn>(self));
}

// Instance method without parameters (the no-argument calling convention).
template <auto Fn>
PyObject* instance_method_noargs(PyObject* self, PyObject*) {
    static_assert(std::tuple_size_v<typename FunctionTraits<decltype(Fn)>::Args> == 1);
    return guarded([&]() -> PyObject* {
        return receiver_of<Fn>(self)([](auto&& receiver) { return result_to_python(Fn(receiver)); });
    });
}

// Class or static method with parameters; the class argument is ignored.
template <const Signature& Sig, auto Fn>
PyObject* free_method(PyObject*, PyObject* args, PyObject* kwargs) {
    return dispatch<VexilFace, Fn>(Sig, args, kwargs, no_receiver);
}

// Method table rows.
template <const Signature& Sig, auto Fn>
constexpr PyMethodDef instance(const char* doc) {
    return {Sig.method, reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&instance_method<Sig, Fn>)),
            METH_VARARGS | METH_KEYWORDS, doc};
}

template <auto Fn>
constexpr PyMethodDef instance_noargs(const char* name, const char* doc) {
    return {name, &instance_method_noargs<Fn>, METH_NOARGS, doc};
}

template <const Signature& Sig, auto Fn>
constexpr PyMethodDef class_method(const char* doc) {
    return {Sig.method, reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&free_method<Sig, Fn>)),
            METH_VARARGS | METH_KEYWORDS | METH_CLASS, doc};
}

template <const Signature& Sig, auto Fn>
constexpr PyMethodDef static_method(const char* doc) {
    return {Sig.method, reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(&free_method<Sig, Fn>)),
            METH_VARARGS | METH_KEYWORDS | METH_STATIC, doc};
}

}  // namespace vexil::py
