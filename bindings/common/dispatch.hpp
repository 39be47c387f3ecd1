// From a typed C++ function to a Python method, for either face.
//
// A method is a plain function: its parameter types say how each argument is
// converted and its result type how the answer becomes a Python object. What
// differs between the faces is a `Face` class of static members:
//   Signature                      what a handler knows of the method (its
//                                  name and its parameters' names)
//   failures()                     its FailurePolicy (the call runs inside guarded)
//   bind(sig, args, kwargs, bound) the arguments bound to the parameters, with
//                                  the face's messages (ErrorSet on a mismatch)
//   argument<T>(sig, i, object)    argument i converted for a parameter of type
//                                  T: a T, or a value that holds what the T
//                                  views and converts to it
//   invoke<Fn>(values, receivers...) calls Fn and converts its result
#pragma once

#include "boundary.hpp"

#include <array>
#include <cstddef>
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

template <auto Fn>
using ResultOf = typename FunctionTraits<decltype(Fn)>::Result;

namespace dispatch_detail {

template <std::size_t Skip, typename Tuple, typename = std::make_index_sequence<std::tuple_size_v<Tuple> - Skip>>
struct DropFront;

template <std::size_t Skip, typename Tuple, std::size_t... I>
struct DropFront<Skip, Tuple, std::index_sequence<I...>> {
    using type = std::tuple<std::tuple_element_t<I + Skip, Tuple>...>;
};

}  // namespace dispatch_detail

// The parameters of Fn after its first `Skip` (the receivers: the object a
// method is called on).
template <auto Fn, std::size_t Skip = 0>
using Parameters = typename dispatch_detail::DropFront<Skip, typename FunctionTraits<decltype(Fn)>::Args>::type;

// What Face converts an argument to for a parameter of type T.
template <typename Face, typename T>
using Held = decltype(Face::template argument<std::decay_t<T>>(std::declval<const typename Face::Signature&>(),
                                                               std::size_t{}, std::declval<PyObject*>()));

template <typename Face, typename Params>
struct Converter;

template <typename Face, typename... P>
struct Converter<Face, std::tuple<P...>> {
    using Values = std::tuple<Held<Face, P>...>;

    static Values convert(const typename Face::Signature& signature, PyObject* const* bound) {
        return convert(signature, bound, std::index_sequence_for<P...>{});
    }

private:
    template <std::size_t... I>
    static Values convert(const typename Face::Signature& signature, PyObject* const* bound,
                          std::index_sequence<I...>) {
        // Braced initialisation converts strictly left to right, in parameter order.
        return Values{Face::template argument<std::decay_t<P>>(signature, I, bound[I])...};
    }
};

// Fn(receivers..., values...), the converted values moved in.
template <auto Fn, typename Values, typename... Receivers>
decltype(auto) apply_converted(Values& values, Receivers&&... receivers) {
    return std::apply(
        [&](auto&... value) -> decltype(auto) {
            return Fn(std::forward<Receivers>(receivers)..., std::move(value)...);
        },
        values);
}

// Passes no receiver: for functions and class or static methods.
inline constexpr auto no_receiver = [](auto&& next) { return next(); };

// A call of Fn under Face: binds the arguments, takes the receivers
// (receive(next) calls next(receivers...), `Receivers` of them), converts
// the arguments in order and invokes Fn. The result, or null with the
// Python exception set; nothing escapes to the interpreter.
template <typename Face, auto Fn, std::size_t Receivers = 0, typename Receive>
PyObject* dispatch(const typename Face::Signature& signature, PyObject* args, PyObject* kwargs,
                   Receive&& receive) noexcept {
    using Params = Parameters<Fn, Receivers>;
    return guarded(Face::failures(), [&]() -> PyObject* {
        std::array<PyObject*, std::tuple_size_v<Params>> bound{};
        Face::bind(signature, args, kwargs, bound.data());
        return receive([&](auto&&... receivers) -> PyObject* {
            auto values = Converter<Face, Params>::convert(signature, bound.data());
            return Face::template invoke<Fn>(values, std::forward<decltype(receivers)>(receivers)...);
        });
    });
}

}  // namespace vexil::py
