#include "methods.hpp"

#include "numpy_array.hpp"

#include "encoding.hpp"
#include "memory_guard.hpp"

#include <string>

namespace vexil::py {

FValue construct(TruthValues repr) { return FValue(std::move(repr.values)); }

bool eval(const FValue& f, std::uint64_t i) {
    std::optional<bool> value = f.eval(i);
    if (!value) raise(PyExc_IndexError, "Index out of range: " + std::to_string(i));
    return *value;
}

BoolList repr(const FValue& f) {
    // A list holds one pointer per entry (the two bools are shared).
    ensure_working_set(bytes_times(f.size(), sizeof(PyObject*)));
    return BoolList{f.entries()};
}
std::uint64_t size(const FValue& f) { return f.size(); }
std::uint64_t n_vars(const FValue& f) { return f.n_vars(); }

Object encode(const FValue& f) {
    const std::uint64_t size = encoded_size(f.size());
    ensure_allocatable(size);
    ensure_working_set(size);
    // The bytes object is the output buffer: one allocation, one pass.
    Ref bytes(made(PyBytes_FromStringAndSize(nullptr, static_cast<Py_ssize_t>(size))));
    encode_into(f, reinterpret_cast<std::uint8_t*>(PyBytes_AsString(bytes.get())));
    return Object{bytes.release()};
}

FValue decode(ByteView raw) {
    try {
        return vexil::decode(raw.bytes);
    } catch (const DecodeError&) {
        raise(PyExc_ValueError, "Unable to decode");
    }
}

Object table(const FValue& f, VarList vars) {
    const TableShape shape = restriction_table_shape(f, vars);
    ensure_allocatable(shape.rows, shape.cols);
    ensure_working_set(bytes_plus(bytes_times(shape.rows, shape.cols), restriction_table_scratch_bytes(f, vars)));
    NewArray array = new_bool_table(shape.rows, shape.cols);
    fill_restriction_table(f, vars, array.values<std::uint8_t>().data());
    return Object{array.release()};
}

}  // namespace vexil::py
