// From a typed C++ function to a Python method.
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

#include <tuple>
#include <type_traits>
#include <utility>

namespace vexil::py {

template <typename F>
struct FunctionTraits;

template <typename R, typename... A>
struct FunctionTraits<R (*)(A...)> {
    using Result = R;
    using Args = std::tuple<A...>;
};

template <typename Receiver>
inline constexpr bool is_shared_receiver = std::is_same_v<Receiver, const FValue&>;
template <typename Receiver>
inline constexpr bool is_exclusive_receiver = std::is_same_v<Receiver, FunctionState&>;

namespace detail {

template <typename Tuple, std::size_t Offset, std::size_t... I>
auto convert_all(const Signature& signature, PyObject** bound, std::index_sequence<I...>) {
    // Braced initialisation converts strictly left to right, in parameter order.
    using Converted = std::tuple<std::decay_t<std::tuple_element_t<I + Offset, Tuple>>...>;
    return Converted{convert_argument(signature.params[I], bound[I], [](PyObject* object) {
        return from_python<std::decay_t<std::tuple_element_t<I + Offset, Tuple>>>(object);
    })...};
}

template <typename Tuple, std::size_t Offset>
auto convert_arguments(const Signature& signature, PyObject** bound) {
    constexpr std::size_t count = std::tuple_size_v<Tuple> - Offset;
    return convert_all<Tuple, Offset>(signature, bound, std::make_index_sequence<count>{});
}

template <auto Fn, typename Receiver, typename Converted, std::size_t... I>
PyObject* call_with(Receiver&& receiver, Converted& converted, std::index_sequence<I...>) {
    return result_to_python(Fn(std::forward<Receiver>(receiver), std::move(std::get<I>(converted))...));
}

template <auto Fn, typename Converted, std::size_t... I>
PyObject* call_static(Converted& converted, std::index_sequence<I...>) {
    return result_to_python(Fn(std::move(std::get<I>(converted))...));
}

}  // namespace detail

// Instance method with parameters.
template <const Signature& Sig, auto Fn>
PyObject* instance_method(PyObject* self, PyObject* args, PyObject* kwargs) {
    using Args = typename FunctionTraits<decltype(Fn)>::Args;
    using Receiver = std::tuple_element_t<0, Args>;
    static_assert(is_shared_receiver<Receiver> || is_exclusive_receiver<Receiver>);
    static_assert(std::tuple_size_v<Args> == 2 || std::tuple_size_v<Args> == 3);
    return guarded([&]() -> PyObject* {
        PyObject* bound[std::tuple_size_v<Args> - 1];
        bind_arguments(Sig, args, kwargs, bound);
        Borrow borrow(self, is_exclusive_receiver<Receiver>);
        auto converted = detail::convert_arguments<Args, 1>(Sig, bound);
        constexpr auto indices = std::make_index_sequence<std::tuple_size_v<Args> - 1>{};
        if constexpr (is_exclusive_receiver<Receiver>) {
            return detail::call_with<Fn>(borrow.object().state, converted, indices);
        } else {
            return detail::call_with<Fn>(std::as_const(borrow.object().state.table), converted, indices);
        }
    });
}

// Instance method without parameters (the no-argument calling convention).
template <auto Fn>
PyObject* instance_method_noargs(PyObject* self, PyObject*) {
    using Args = typename FunctionTraits<decltype(Fn)>::Args;
    using Receiver = std::tuple_element_t<0, Args>;
    static_assert(std::tuple_size_v<Args> == 1);
    return guarded([&]() -> PyObject* {
        Borrow borrow(self, is_exclusive_receiver<Receiver>);
        if constexpr (is_exclusive_receiver<Receiver>) {
            return result_to_python(Fn(borrow.object().state));
        } else {
            return result_to_python(Fn(std::as_const(borrow.object().state.table)));
        }
    });
}

// Class or static method with parameters; the class argument is ignored.
template <const Signature& Sig, auto Fn>
PyObject* free_method(PyObject*, PyObject* args, PyObject* kwargs) {
    using Args = typename FunctionTraits<decltype(Fn)>::Args;
    return guarded([&]() -> PyObject* {
        PyObject* bound[std::tuple_size_v<Args>];
        bind_arguments(Sig, args, kwargs, bound);
        auto converted = detail::convert_arguments<Args, 0>(Sig, bound);
        return detail::call_static<Fn>(converted, std::make_index_sequence<std::tuple_size_v<Args>>{});
    });
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
