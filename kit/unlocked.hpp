// Running a core computation without the interpreter lock.
//
// The computation runs with the lock released (PyEval_SaveThread), so other
// Python threads go on meanwhile. On the main thread the core's interrupt poll
// takes the lock for a moment to run the signal handlers, so Ctrl-C stops it; other threads never run handlers and
// are not polled. Given a progress callable, the poll also calls it, on any
// thread, as callable(done, total) in the core's progress units at most every
// 100 ms and once at the end; an exception it raises stops the computation and is raised in its
// place. No C++ exception leaves: each becomes a Python exception once the lock
// is back.
#pragma once

#include "py_ref.hpp"

#include "interrupt.hpp"
#include "memory_guard.hpp"
#include "panic.hpp"
#include "progress.hpp"

#include <exception>
#include <new>
#include <string>

namespace vexil_kit {

// Whether `progress` is a callable, None or absent; TypeError set otherwise.
bool check_progress(PyObject* progress);

// Installs the interrupt poll and notes the main thread; call at import, with
// the lock held. False with the error set on failure.
bool install_interrupt_poll();

namespace detail {

enum class Failure { none, interrupted, memory, panic, other };

// Marks the calling thread as one whose computations are polled (the main
// thread) or not, for the next computation.
// `progress` is the callable to report to, or null.
void begin_polling(PyObject* progress, vexil::ProgressCounter& counter);
void end_polling();

// Tells `progress` (the lock held) the counts at the end, however short the
// computation was; false with its error set when it raised.
bool report_final(PyObject* progress, const vexil::ProgressCounter& counter);

// Sets the Python exception for `failure` (the lock held).
void raise_failure(Failure failure, const std::string& message);

}  // namespace detail

// Runs body() without the lock, reporting to `progress` (a callable, or null
// or None for no reports); true when it returned, false with a Python
// exception set when it failed.
template <class Body>
bool run_unlocked(Body&& body, PyObject* progress = nullptr) {
    detail::Failure failure = detail::Failure::none;
    std::string message;
    vexil::ProgressCounter counter;
    detail::begin_polling(progress == Py_None ? nullptr : progress, counter);
    PyThreadState* const saved = PyEval_SaveThread();  // Py_BEGIN_ALLOW_THREADS
    try {
        const vexil::ProgressScope scope(progress != nullptr && progress != Py_None ? &counter : nullptr);
        body();
    } catch (const vexil::Interrupted&) {
        failure = detail::Failure::interrupted;
    } catch (const vexil::WorkingSetTooLarge& error) {
        failure = detail::Failure::memory;
        message = error.what();
    } catch (const std::bad_alloc&) {
        failure = detail::Failure::memory;
        message = "out of memory";
    } catch (const vexil::Panic& error) {
        failure = detail::Failure::panic;
        message = error.what();
    } catch (const std::exception& error) {
        failure = detail::Failure::other;
        message = error.what();
    } catch (...) {
        failure = detail::Failure::other;
        message = "unknown native failure";
    }
    PyEval_RestoreThread(saved);  // Py_END_ALLOW_THREADS
    detail::end_polling();
    if (failure == detail::Failure::none) return detail::report_final(progress, counter);
    detail::raise_failure(failure, message);
    return false;
}

}  // namespace vexil_kit
