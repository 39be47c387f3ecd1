#include "unlocked.hpp"

#include <atomic>

namespace vexil_kit {

namespace {

// The thread that runs Python's signal handlers, as threading.get_ident() names it.
std::atomic<unsigned long> main_thread_ident{0};

// Whether the computation on this thread asks Python for signals.
thread_local bool polled = false;

// Called by the core without the lock, on the thread that started the
// computation. A signal handler that raised (KeyboardInterrupt) leaves its
// exception pending in this thread's state, for raise_failure to find.
bool interrupt_requested() {
    if (!polled) return false;
    const PyGILState_STATE state = PyGILState_Ensure();
    const bool stop = PyErr_CheckSignals() != 0;
    PyGILState_Release(state);
    return stop;
}

}  // namespace

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

void begin_polling() { polled = PyThread_get_thread_ident() == main_thread_ident.load(); }

void end_polling() { polled = false; }

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
