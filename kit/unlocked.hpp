// Running a core computation without the interpreter lock.
//
// The computation runs with the lock released (PyEval_SaveThread), so other
// Python threads go on meanwhile. On the main thread the core's interrupt poll
// takes the lock for a moment to run the signal handlers, so Ctrl-C stops it; other threads never run handlers and
// are not polled. No C++ exception leaves: each becomes a Python exception once
// the lock is back.
#pragma once

#include "py_ref.hpp"

#include "interrupt.hpp"
#include "memory_guard.hpp"
#include "panic.hpp"

#include <exception>
#include <new>
#include <string>

namespace vexil_kit {

// Installs the interrupt poll and notes the main thread; call at import, with
// the lock held. False with the error set on failure.
bool install_interrupt_poll();

namespace detail {

enum class Failure { none, interrupted, memory, panic, other };

// Marks the calling thread as one whose computations are polled (the main
// thread) or not, for the next computation.
void begin_polling();
void end_polling();

// Sets the Python exception for `failure` (the lock held).
void raise_failure(Failure failure, const std::string& message);

}  // namespace detail

// Runs body() without the lock; true when it returned, false with a Python
// exception set when it failed.
template <class Body>
bool run_unlocked(Body&& body) {
    detail::Failure failure = detail::Failure::none;
    std::string message;
    detail::begin_polling();
    PyThreadState* const saved = PyEval_SaveThread();  // Py_BEGIN_ALLOW_THREADS
    try {
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
    if (failure == detail::Failure::none) return true;
    detail::raise_failure(failure, message);
    return false;
}

}  // namespace vexil_kit
