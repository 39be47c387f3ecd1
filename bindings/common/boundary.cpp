#include "boundary.hpp"

#include "memory_guard.hpp"
#include "panic.hpp"

#include <atomic>
#include <chrono>
#include <exception>
#include <new>

namespace vexil::py {

namespace {

std::atomic<unsigned long> main_thread_ident{0};

using Clock = std::chrono::steady_clock;
constexpr auto report_interval = std::chrono::milliseconds(100);

thread_local const detail::CallPolling* current_call = nullptr;
thread_local Clock::time_point last_report{};

// callable(done, total); false when it raised (its exception left pending).
bool call_progress(PyObject* callable, const ProgressCounter& counter) {
    const auto done = static_cast<unsigned long long>(counter.done());
    const auto total = static_cast<unsigned long long>(counter.total());
    Ref result(PyObject_CallFunction(callable, "KK", done, total));
    return static_cast<bool>(result);
}

// With the lock: signal handlers (main thread), then the progress callable.
// A handler or callable that raised leaves its exception pending for
// raise_failure to find.
bool ask_python(const detail::CallPolling& call, bool signals) {
    if (signals && PyErr_CheckSignals() != 0) return true;
    if (call.progress == nullptr) return false;
    const Clock::time_point now = Clock::now();
    if (now - last_report < report_interval) return false;
    last_report = now;
    return !call_progress(call.progress, *call.counter);
}

// The core's interrupt poll for the call on this thread.
bool poll_call() {
    const detail::CallPolling* call = current_call;
    if (call == nullptr) return false;
    const bool signals = PyThread_get_thread_ident() == main_thread_ident.load(std::memory_order_relaxed);
    if (!signals && call->progress == nullptr) return false;
    if (call->lock_held) return ask_python(*call, signals);
    const PyGILState_STATE state = PyGILState_Ensure();
    const bool stop = ask_python(*call, signals);
    PyGILState_Release(state);
    return stop;
}

}  // namespace

std::optional<Failure> current_failure() noexcept {
    try {
        throw;
    } catch (const ErrorSet&) {
        return std::nullopt;
    } catch (const Interrupted&) {
        return Failure{FailureKind::interrupted, {}};
    } catch (const WorkingSetTooLarge& refused) {
        return Failure{FailureKind::memory, refused.what()};
    } catch (const std::bad_alloc&) {
        return Failure{FailureKind::memory, {}};
    } catch (const Refusal& refusal) {
        return Failure{FailureKind::refused, refusal.what(), refusal.type()};
    } catch (const std::exception& stop) {
        return Failure{FailureKind::stop, stop.what()};
    } catch (...) {
        return Failure{FailureKind::stop, "unknown native failure"};
    }
}

void raise_failure(const Failure& failure, const FailurePolicy& policy) {
    switch (failure.kind) {
        case FailureKind::interrupted:
            // The handler's exception is pending; a stop without one is Ctrl-C all the same.
            if (PyErr_Occurred() == nullptr) PyErr_SetNone(PyExc_KeyboardInterrupt);
            return;
        case FailureKind::memory:
            if (!failure.message.empty()) {
                PyErr_SetString(PyExc_MemoryError, failure.message.c_str());
            } else if (policy.out_of_memory != nullptr) {
                PyErr_SetString(PyExc_MemoryError, policy.out_of_memory);
            } else {
                PyErr_NoMemory();
            }
            return;
        case FailureKind::stop:
            policy.raise_stop(failure.message.c_str());
            return;
        case FailureKind::refused:
            PyErr_SetString(failure.type, failure.message.c_str());
            return;
    }
}

bool note_main_thread() {
    Ref threading(PyImport_ImportModule("threading"));
    if (!threading) return false;
    Ref main_thread(PyObject_CallMethod(threading.get(), "main_thread", nullptr));
    if (!main_thread) return false;
    Ref ident(PyObject_GetAttrString(main_thread.get(), "ident"));
    if (!ident) return false;
    const unsigned long value = PyLong_AsUnsignedLong(ident.get());
    if (value == static_cast<unsigned long>(-1) && PyErr_Occurred() != nullptr) return false;
    main_thread_ident.store(value);
    return true;
}

bool check_progress(PyObject* progress) {
    if (progress == nullptr || progress == Py_None || PyCallable_Check(progress) != 0) return true;
    PyErr_SetString(PyExc_TypeError, "progress must be a callable taking (done, total), or None");
    return false;
}

namespace detail {

PollingScope::PollingScope(CallPolling polling) : polling_(polling), outer_(current_call), interrupt_(&poll_call) {
    current_call = &polling_;
    if (polling_.progress != nullptr) last_report = Clock::now();
}

PollingScope::~PollingScope() { current_call = outer_; }

bool report_final(PyObject* progress, const ProgressCounter& counter) {
    return progress == nullptr || call_progress(progress, counter);
}

// PyErr_CheckSignals runs the handlers on the main thread only and answers 0 elsewhere.
bool settle_signals() { return PyErr_Occurred() == nullptr && PyErr_CheckSignals() == 0; }

}  // namespace detail

}  // namespace vexil::py
