// The Vexil Python object: a function's state plus a borrow counter.
#pragma once

#include "py.hpp"

#include "function_state.hpp"

#include <atomic>
#include <cstdint>

namespace vexil::py {

struct VexilObject {
    PyObject_HEAD
    FunctionState state;
    // 0: free; k: k shared borrows; exclusive_borrow: one exclusive borrow.
    std::atomic<std::uintptr_t> borrows;
};

inline constexpr std::uintptr_t exclusive_borrow = ~std::uintptr_t{0};

// The class, created on first use (during module initialisation).
PyTypeObject* vexil_type();

// A new Vexil holding `table`, frontier cache absent.
PyObject* new_vexil(FValue&& table);

// Checks that `self` is a Vexil (TypeError otherwise) and holds a borrow of
// it until destroyed: shared, or exclusive for methods that may fill caches.
class Borrow {
public:
    Borrow(PyObject* self, bool exclusive);
    Borrow(const Borrow&) = delete;
    Borrow& operator=(const Borrow&) = delete;
    ~Borrow();

    VexilObject& object() const { return *object_; }

private:
    VexilObject* object_;
    bool exclusive_;
};

}  // namespace vexil::py
