// The Python C API (stable ABI) and the owned references, held buffers and
// error signalling that both extension modules use.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#include <string>
#include <utility>

namespace vexil::py {

// Thrown when a Python error is already set; the call boundary returns NULL.
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

// A view of an object's memory through the buffer protocol, released when it
// goes out of scope.
class Buffer {
public:
    Buffer() = default;
    Buffer(const Buffer&) = delete;
    Buffer& operator=(const Buffer&) = delete;
    ~Buffer() { release(); }

    // False with the exporter's error set when it refuses the request.
    bool acquire(PyObject* object, int flags) {
        release();
        held_ = PyObject_GetBuffer(object, &view_, flags) == 0;
        return held_;
    }
    void release() {
        if (held_) PyBuffer_Release(&view_);
        held_ = false;
    }
    const Py_buffer& view() const { return view_; }

private:
    Py_buffer view_{};
    bool held_ = false;
};

// Sets `type` with `message` and throws ErrorSet.
[[noreturn]] inline void raise(PyObject* type, const std::string& message) {
    PyErr_SetString(type, message.c_str());
    throw ErrorSet{};
}

// The qualified name of an object's type, as messages show it.
std::string type_qualname(PyObject* object);

// Refuses every interpreter but the first that imports `module` (ImportError,
// false): the core's pool, database and caches are process-wide. Call from the
// module's init function.
bool first_interpreter_only(const char* module);

}  // namespace vexil::py
