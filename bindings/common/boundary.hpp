// The boundary between a Python call and the core: every native failure
// becomes a Python exception, the call's own interrupt poll is installed for
// its duration, and a toolkit call may run without the interpreter lock and
// report progress.
//
// Both faces share the mechanism and differ only in their FailurePolicy: which
// class a stop with a message raises, and what a plain out-of-memory says.
#pragma once

#include "py.hpp"

#include "interrupt.hpp"
#include "progress.hpp"

#include <exception>
#include <optional>
#include <string>
#include <utility>

namespace vexil::py {

struct FailurePolicy {
    // Sets the face's exception for a stop with a message (the lock held).
    void (*raise_stop)(const char* message);
    // The text of MemoryError when an allocation fails; null for none.
    const char* out_of_memory;
};

// A refusal of the call's arguments, raised as Python's `type` (a built-in
// exception type such as PyExc_ValueError) with `message`. It holds no Python
// object of its own, so that a function may throw it without the lock.
class Refusal : public std::exception {
public:
    Refusal(PyObject* type, std::string message) : type_(type), message_(std::move(message)) {}
    const char* what() const noexcept override { return message_.c_str(); }
    PyObject* type() const { return type_; }

private:
    PyObject* type_;
    std::string message_;
};

[[noreturn]] inline void refuse(PyObject* type, std::string message) { throw Refusal(type, std::move(message)); }

enum class FailureKind { interrupted, memory, stop, refused };

struct Failure {
    FailureKind kind;
    std::string message;
    PyObject* type = nullptr;  // a refusal's exception type
};

// The failure in flight, classified; call inside a catch (...) block. Nothing
// when it is ErrorSet (the Python error is already pending).
std::optional<Failure> current_failure() noexcept;

// Sets the Python exception for `failure` under `policy` (the lock held).
void raise_failure(const Failure& failure, const FailurePolicy& policy);

// Records the interpreter's main thread, the only one that runs signal
// handlers; call at import with the lock held. False with an error set.
bool note_main_thread();

// Whether `progress` is a callable, None or absent; TypeError set otherwise.
bool check_progress(PyObject* progress);

namespace detail {

// What the interrupt poll of the call on this thread consults.
struct CallPolling {
    bool lock_held;
    PyObject* progress;  // a callable, or null
    const ProgressCounter* counter;
};

class PollingScope {
public:
    explicit PollingScope(CallPolling polling);
    ~PollingScope();
    PollingScope(const PollingScope&) = delete;
    PollingScope& operator=(const PollingScope&) = delete;

private:
    CallPolling polling_;
    const CallPolling* outer_;
    InterruptScope interrupt_;
};

// Tells `progress` (the lock held) the counts at the end; false with its
// error set when it raised.
bool report_final(PyObject* progress, const ProgressCounter& counter);

// At the end of a call that succeeded (the lock held): false, with the
// exception set, when one is pending or a signal handler due now raises. A
// Ctrl-C that came after the computation's last poll is then raised by the
// call itself instead of after it returned.
bool settle_signals();

}  // namespace detail

// Runs body() with the lock held; its result (a new reference), or null with
// the Python exception set. Nothing escapes to the interpreter.
template <typename Body>
PyObject* guarded(const FailurePolicy& policy, Body&& body) noexcept {
    try {
        const detail::PollingScope polling({true, nullptr, nullptr});
        PyObject* result = body();
        if (result == nullptr || detail::settle_signals()) return result;
        Py_DECREF(result);
    } catch (...) {
        if (std::optional<Failure> failure = current_failure()) raise_failure(*failure, policy);
    }
    return nullptr;
}

// Runs body() without the lock, so other Python threads go on meanwhile;
// reports to `progress` (a callable, or null or None for no reports) at most
// every 100 ms and once at the end, on any thread; Ctrl-C stops it on the main
// thread. True when it returned, false with a Python exception set.
template <class Body>
bool run_unlocked(const FailurePolicy& policy, Body&& body, PyObject* progress = nullptr) {
    if (progress == Py_None) progress = nullptr;
    std::optional<Failure> failure;
    ProgressCounter counter;
    PyThreadState* const saved = PyEval_SaveThread();
    try {
        const detail::PollingScope polling({false, progress, &counter});
        const ProgressScope scope(progress != nullptr ? &counter : nullptr);
        body();
    } catch (...) {
        failure = current_failure();
        if (!failure) failure = Failure{FailureKind::stop, "a Python error escaped an unlocked computation"};
    }
    PyEval_RestoreThread(saved);
    if (!failure) return detail::report_final(progress, counter) && detail::settle_signals();
    raise_failure(*failure, policy);
    return false;
}

}  // namespace vexil::py
