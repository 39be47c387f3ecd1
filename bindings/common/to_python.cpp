#include "to_python.hpp"

namespace vexil::py {

PyObject* wide_to_python(std::uint64_t high, std::uint64_t low) {
    Ref high_int(to_python(high));
    Ref low_int(to_python(low));
    Ref shift(to_python(std::uint64_t{64}));
    Ref shifted(check(PyNumber_Lshift(high_int.get(), shift.get())));
    return check(PyNumber_Or(shifted.get(), low_int.get()));
}

}  // namespace vexil::py
