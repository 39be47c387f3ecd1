// The Python C API (stable ABI) and the few helpers every binding file uses.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <string>
#include <utility>

namespace vexil::py {

// Thrown when a Python error is already set; the guarded region returns NULL.
struct ErrorSet {};

// Throws ErrorSet when `object` is NULL (the API call failed and set an error).
inline PyObject* check(PyObject* object) {
    if (object == nullptr) throw ErrorSet{};
    return object;
}

// Owns one reference.
class Ref {
public:
    Ref() = default;
    explicit Ref(PyObject* object) : object_(object) {}
    Ref(const Ref&) = delete;
    Ref& operator=(const Ref&) = delete;
    Ref(Ref&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
    Ref& operator=(Ref&& other) noexcept {
        std::swap(object_, other.object_);
        return *this;
    }
    ~Ref() { Py_XDECREF(object_); }

    PyObject* get() const { return object_; }
    PyObject* release() { return std::exchange(object_, nullptr); }
    explicit operator bool() const { return object_ != nullptr; }

private:
    PyObject* object_ = nullptr;
};

// Sets `type` with `message` and throws ErrorSet.
[[noreturn]] inline void raise(PyObject* type, const std::string& message) {
    PyErr_SetString(type, message.c_str());
    throw ErrorSet{};
}

// The qualified name of an object's type, as messages show it.
std::string type_qualname(PyObject* object);

}  // namespace vexil::py
