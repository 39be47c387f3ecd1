// The toolkit's methods over the common typed dispatcher (dispatch.hpp): a
// method is a plain function whose parameter types name and convert its
// arguments, and whose result the dispatcher converts with the lock held.
//
//   R f(TableView table, Count<"d"> d, Progress progress)
//   -> f(table, d, /, *, progress=None)
//
// Parameters are positional-only and required, except Option and Progress,
// which are keyword-only and optional. Unless R is Object, f runs without the
// interpreter lock (reporting to its Progress argument, if it takes one) and
// may throw vexil::py::Refusal for a bad argument; an Object-returning f runs
// with the lock, makes its result (NumPy arrays made before the computation
// fills them) and runs its computation through `unlocked`.
#pragma once

#include "arguments.hpp"
#include "dispatch.hpp"
#include "method_row.hpp"
#include "results.hpp"
#include "table_arg.hpp"
#include "unlocked.hpp"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <tuple>
#include <type_traits>
#include <utility>
#include <vector>

namespace vexil_kit {

using vexil::py::Object;
using vexil::py::refuse;

// A name given as a template argument.
template <std::size_t N>
struct Name {
    char text[N]{};
    constexpr Name(const char (&name)[N]) { std::copy_n(name, N, text); }  // NOLINT: implicit by design
};

// A table argument with the buffer that holds it for the call's duration.
template <class View>
struct Held {
    std::unique_ptr<Buffer> buffer;
    View view;
    operator View() const { return view; }  // NOLINT: passed as the parameter
};

// Each conversion throws ErrorSet with the Python error set.
std::unique_ptr<Buffer> hold_table(PyObject* object, TableView& view);
std::uint64_t read_count(PyObject* object, const char* name);
std::uint64_t read_rank(PyObject* object, const char* name);
bool read_truth(PyObject* object);
float read_real(PyObject* object, const char* name);
std::vector<std::uint64_t> read_variables(PyObject* object);
std::unique_ptr<Buffer> hold_float32_values(PyObject* object, std::span<const float>& values);
std::unique_ptr<Buffer> hold_bytes(PyObject* object, std::span<const std::uint8_t>& bytes);
std::string read_text(PyObject* object, const char* name);
std::vector<std::string> read_texts(PyObject* object, const char* name);
PyObject* read_progress(PyObject* object);

// A table: held, the parameter a view.
template <class View>
Held<View> read_held_table(PyObject* object) {
    Held<View> held;
    held.buffer = hold_table(object, held.view);
    return held;
}

// The parameter types: each has its `name` and `read(object)`, which gives the
// parameter or what converts to it; `keyword_only` ones are optional.

// A table under another name than "table" (isop's lower and upper).
template <Name P>
struct NamedTable : TableView {
    static constexpr const char* name = P.text;
    static Held<NamedTable> read(PyObject* object) { return read_held_table<NamedTable>(object); }
};

// An integer from 0 to 2**64 - 1 read by the one rule of read_u64: an int or
// an object with __index__, never a bool.
template <Name P>
struct Count {
    static constexpr const char* name = P.text;
    static Count read(PyObject* object) { return {read_count(object, P.text)}; }
    std::uint64_t value;
};

// A Count that is a bound of a range: out of 0..2**64-1 is a ValueError.
template <Name P>
struct Rank {
    static constexpr const char* name = P.text;
    static Rank read(PyObject* object) { return {read_rank(object, P.text)}; }
    std::uint64_t value;
};

// Any object, read for its truth.
template <Name P>
struct Truth {
    static constexpr const char* name = P.text;
    static Truth read(PyObject* object) { return {read_truth(object)}; }
    bool value;
};

// A real number in single precision.
template <Name P>
struct Real {
    static constexpr const char* name = P.text;
    static Real read(PyObject* object) { return {read_real(object, P.text)}; }
    float value;
};

// `vars`: a tuple of variables, each read as a Count.
struct Variables {
    static constexpr const char* name = "vars";
    static Variables read(PyObject* object) { return {read_variables(object)}; }
    std::vector<std::uint64_t> values;
};

// A str.
template <Name P>
struct Text {
    static constexpr const char* name = P.text;
    static Text read(PyObject* object) { return {read_text(object, P.text)}; }
    std::string value;
};

// A tuple of str.
template <Name P>
struct Texts {
    static constexpr const char* name = P.text;
    static Texts read(PyObject* object) { return {read_texts(object, P.text)}; }
    std::vector<std::string> values;
};

// Any C-contiguous buffer, read as bytes where it lies.
template <Name P>
struct Bytes {
    static constexpr const char* name = P.text;
    static Held<Bytes> read(PyObject* object) {
        Held<Bytes> held;
        held.buffer = hold_bytes(object, held.view.bytes);
        return held;
    }
    std::span<const std::uint8_t> bytes;
};

// `values`: a 1-D float32 buffer, read where it lies.
struct Float32Values {
    static constexpr const char* name = "values";
    static Held<Float32Values> read(PyObject* object) {
        Held<Float32Values> held;
        held.buffer = hold_float32_values(object, held.view.values);
        return held;
    }
    std::span<const float> values;
};

// Keyword-only, default false: an object read for its truth.
template <Name P>
struct Option {
    static constexpr const char* name = P.text;
    static constexpr bool keyword_only = true;
    static Option read(PyObject* object) { return {object != nullptr && read_truth(object)}; }
    bool value = false;
};

// Keyword-only `progress`: a callable taking (done, total), or None.
struct Progress {
    static constexpr const char* name = "progress";
    static constexpr bool keyword_only = true;
    static Progress read(PyObject* object) { return {read_progress(object)}; }
    PyObject* callable = nullptr;
};

// A parameter type's name and conversion: its own, or, for the TableView
// that other code shares, these.
template <class T>
struct Parameter : T {};

template <>
struct Parameter<TableView> {
    static constexpr const char* name = "table";
    static Held<TableView> read(PyObject* object) { return read_held_table<TableView>(object); }
};

template <class T>
constexpr bool is_keyword_only() {
    if constexpr (requires { T::keyword_only; }) {
        return T::keyword_only;
    } else {
        return false;
    }
}

// What the binding knows of a method: its name, then its parameters, the
// positional-only (required) ones before the keyword-only (optional) ones.
struct KitSignature {
    const char* method;
    const char* const* names;
    std::size_t count;
    std::size_t positional;
};

// Binds positional and keyword arguments to bound[0..count); TypeError as
// Python words it ("f() takes 2 positional arguments but 3 were given").
void bind_kit_arguments(const KitSignature& signature, PyObject* args, PyObject* kwargs, PyObject** bound);

// Runs body() without the interpreter lock, reporting to `progress`; throws
// ErrorSet with the Python exception set when it failed (see boundary.hpp).
template <class Body>
void unlocked(Body&& body, Progress progress = {}) {
    if (!run_unlocked(std::forward<Body>(body), progress.callable)) throw vexil::py::ErrorSet{};
}

// The Progress argument among a call's values; null when it takes none.
template <class Values>
PyObject* progress_in(const Values& values) {
    PyObject* callable = nullptr;
    std::apply(
        [&](const auto&... value) {
            (
                [&](const auto& one) {
                    if constexpr (std::is_same_v<std::decay_t<decltype(one)>, Progress>) callable = one.callable;
                }(value),
                ...);
        },
        values);
    return callable;
}

struct KitFace {
    using Signature = KitSignature;

    static const vexil::py::FailurePolicy& failures() { return kit_failures; }

    static void bind(const Signature& signature, PyObject* args, PyObject* kwargs, PyObject** bound) {
        bind_kit_arguments(signature, args, kwargs, bound);
    }

    template <typename T>
    static auto argument(const Signature&, std::size_t, PyObject* object) {
        return Parameter<T>::read(object);
    }

    template <auto Fn, typename Values>
    static PyObject* invoke(Values& values) {
        using R = vexil::py::ResultOf<Fn>;
        if constexpr (std::is_same_v<R, Object>) {
            return vexil::py::check(vexil::py::apply_converted<Fn>(values).object);
        } else if constexpr (std::is_void_v<R>) {
            unlocked([&] { vexil::py::apply_converted<Fn>(values); }, Progress{progress_in(values)});
            Py_RETURN_NONE;
        } else {
            std::optional<R> result;
            unlocked([&] { result.emplace(vexil::py::apply_converted<Fn>(values)); }, Progress{progress_in(values)});
            return result_to_python(*result);
        }
    }
};

template <Name Method, class Params>
struct SignatureOf;

template <Name Method, class... P>
struct SignatureOf<Method, std::tuple<P...>> {
    static constexpr const char* names[] = {Parameter<std::decay_t<P>>::name..., nullptr};
    static constexpr std::size_t positional = (std::size_t{0} + ... + !is_keyword_only<std::decay_t<P>>());
    static constexpr KitSignature value{Method.text, names, sizeof...(P), positional};
    // The positional-only parameters come first.
    static constexpr bool ordered = [] {
        const bool keyword[] = {is_keyword_only<std::decay_t<P>>()..., false};
        for (std::size_t i = 0; i < positional; ++i) {
            if (keyword[i]) return false;
        }
        return true;
    }();
    static_assert(ordered, "keyword-only parameters come last");
};

template <Name Method, auto Fn>
PyObject* kit_method(PyObject*, PyObject* args, PyObject* kwargs) {
    return vexil::py::dispatch<KitFace, Fn>(SignatureOf<Method, vexil::py::Parameters<Fn>>::value, args, kwargs,
                                            vexil::py::no_receiver);
}

// The method table row of Fn, named Method.
template <Name Method, auto Fn>
constexpr PyMethodDef method(const char* doc) {
    return vexil::py::keyword_row<&kit_method<Method, Fn>>(Method.text, doc);
}

}  // namespace vexil_kit
