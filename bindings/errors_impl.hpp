#pragma once

#include "interrupt.hpp"
#include "memory_guard.hpp"
#include "panic.hpp"

#include <exception>
#include <new>

namespace vexil::py {

template <typename Body>
PyObject* guarded(Body&& body) noexcept {
    try {
        return body();
    } catch (const ErrorSet&) {
    } catch (const Panic& stop) {
        raise_panic(stop.what());
    } catch (const WorkingSetTooLarge& refused) {
        PyErr_SetString(PyExc_MemoryError, refused.what());
    } catch (const std::bad_alloc&) {
        PyErr_NoMemory();
    } catch (const Interrupted&) {
        if (PyErr_Occurred() == nullptr) PyErr_SetNone(PyExc_KeyboardInterrupt);
    } catch (const std::exception& failure) {
        raise_panic(failure.what());
    } catch (...) {
        raise_panic("unknown native failure");
    }
    return nullptr;
}

}  // namespace vexil::py
