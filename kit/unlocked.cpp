#include "unlocked.hpp"

#include <atomic>
#include <chrono>

namespace vexil_kit {

namespace {

// The thread that runs Python's signal handlers, as threading.get_ident() names it.
std::atomic<unsigned long> main_thread_ident{0};

using Clock = std::chrono::steady_clock;
constexpr auto report_interval = std::chrono::milliseconds(100);

// Whether the computation on this thread asks Python for signals.
thread_local bool polled = false;

// The progress callable of the computation on this thread, its counter and
// when it was last called.
struct Reporting {
    PyObject* callable = nullptr;
    const vexil::ProgressCounter* counter = nullptr;
    Clock::time_point last{};
};
thread_local Reporting reporting;

// callable(done, total); false when it raised (its exception is left pending).
bool call_progress(PyObject* callable, const vexil::ProgressCounter& counter) {
    const auto done = static_cast<unsigned long long>(counter.done());
    const auto total = static_cast<unsigned long long>(counter.total());
    Ref result(PyObject_CallFunction(callable, "KK", done, total));
    return static_cast<bool>(result);
}

bool report_progress() {
    const Clock::time_point now = Clock::now();
    if (now - reporting.last < report_interval) return true;
    reporting.last = now;
    return call_progress(reporting.callable, *reporting.counter);
}

// Called by the core without the lock, on the thread that started the
// computation. A signal handler or progress callable that raised
// (KeyboardInterrupt) leaves its exception pending in this thread's state, for
// raise_failure to find.
bool interrupt_requested() {
    if (!polled && reporting.callable == nullptr) return false;
    const PyGILState_STATE state = PyGILState_Ensure();
    bool stop = polled && PyErr_CheckSignals() != 0;
    if (!stop && reporting.callable != nullptr) stop = !report_progress();
    PyGILState_Release(state);
    return stop;
}

}  // namespace

bool check_progress(PyObject* progress) {
    if (progress == nullptr || progress == Py_None || PyCallable_Check(progress) != 0) return true;
    PyErr_SetString(PyExc_TypeError, "progress must be a callable taking (done, total), or None");
    return false;
}

bool install_interrupt_poll() {
    Ref threading(PyImport_ImportModule("threading"));
    if (!threading) return false;
    Ref main_thread(PyObject_CallMethod(threading.get(), "main_thread", nullptr));
    if (!main_thread) return false;
    Ref ident(PyObject_GetAttrString(main_thread.get(), "ident"));
    if (!ident) return false;
    const unsigned long value = PyLong_AsUnsignedLong(ident.get());
    if (value == static_cast<unsigned long>(-1) && PyErr_Occurred() != nullptr) return false;
    main_thread_ident.store(value);
    vexil::set_interrupt_poll(&interrupt_requested);
    return true;
}

namespace detail {

void begin_polling(PyObject* progress, vexil::ProgressCounter& counter) {
    polled = PyThread_get_thread_ident() == main_thread_ident.load();
    reporting = Reporting{progress, &counter, Clock::now()};
}

void end_polling() {
    polled = false;
    reporting = Reporting{};
}

bool report_final(PyObject* progress, const vexil::ProgressCounter& counter) {
    return progress == nullptr || progress == Py_None || call_progress(progress, counter);
}

void raise_failure(Failure failure, const std::string& message) {
    switch (failure) {
        case Failure::none:
            return;
        case Failure::interrupted:
            // The handler's exception is pending; a stop without one is Ctrl-C all the same.
            if (PyErr_Occurred() == nullptr) PyErr_SetNone(PyExc_KeyboardInterrupt);
            return;
        case Failure::memory:
            PyErr_SetString(PyExc_MemoryError, message.c_str());
            return;
        case Failure::panic:
        case Failure::other:
            PyErr_SetString(PyExc_RuntimeError, message.c_str());
            return;
    }
}

}  // namespace detail

}  // namespace vexil_kit
