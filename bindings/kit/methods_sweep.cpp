// Sweeps: measures of many small functions at once, and the NPN classes of
// five-variable functions from the gate database.
#include "arguments.hpp"
#include "methods.hpp"
#include "method_row.hpp"
#include "to_python.hpp"
#include "numpy_out.hpp"
#include "unlocked.hpp"

#include "memory_guard.hpp"
#include "npn5/class_list.hpp"
#include "sweep/sweep.hpp"

#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

namespace vexil_kit {

namespace {

// The packed rows of a batch of n-variable functions: any C-contiguous
// buffer, read as bytes, holding a whole number of rows.
struct Rows {
    Buffer buffer;
    std::span<const std::uint8_t> rows;
    unsigned n = 0;
    std::uint64_t count = 0;

    // False with the error set when they are no such rows.
    bool read(PyObject* object, std::uint64_t vars) {
        if (vars >= 64) {
            PyErr_Format(PyExc_ValueError, "rows of %llu variables are too large",
                         static_cast<unsigned long long>(vars));
            return false;
        }
        if (!buffer.acquire(object, PyBUF_C_CONTIGUOUS)) return false;
        rows = {static_cast<const std::uint8_t*>(buffer.view().buf), static_cast<std::size_t>(buffer.view().len)};
        n = static_cast<unsigned>(vars);
        const std::uint64_t bytes = vexil::sweep_row_bytes(n);
        if (rows.size() % bytes != 0) {
            PyErr_Format(PyExc_ValueError, "the rows hold %zu bytes, not a whole number of %llu-byte rows", rows.size(),
                         static_cast<unsigned long long>(bytes));
            return false;
        }
        count = rows.size() / bytes;
        return true;
    }
};

PyObject* five_input_class_words(PyObject*, PyObject*) {
    std::vector<vexil::npn5::Word> words;
    // The first call builds the gate database (seconds).
    if (!run_unlocked([&] { words = vexil::npn5::class_words(); })) return nullptr;
    Buffer buffer;
    void* memory = nullptr;
    Ref array(new_array({words.size()}, "uint32", sizeof(std::uint32_t), buffer, memory));
    if (!array) return nullptr;
    if (!words.empty()) std::memcpy(memory, words.data(), words.size() * sizeof(std::uint32_t));
    return array.release();
}

// (name, kind, max_vars) of every measure the batch kernel computes: the
// registry's scalar measures of functions, under their own names.
PyObject* sweep_measure_table(PyObject*, PyObject*) {
    std::vector<const vexil::MeasureInfo*> scalar;
    for (const vexil::MeasureInfo& m : vexil::measure_registry()) {
        if (m.subject == vexil::MeasureSubject::function && m.scalar()) scalar.push_back(&m);
    }
    return guarded([&] {
        return vexil::py::list_of(scalar, [](const vexil::MeasureInfo* m) {
            const char* kind = m->real != nullptr                       ? "real"
                               : m->kind == vexil::MeasureKind::boolean ? "boolean"
                                                                        : "integer";
            return vexil::py::check(
                Py_BuildValue("(s#sI)", m->name.data(), static_cast<Py_ssize_t>(m->name.size()), kind, m->max_vars));
        });
    });
}

PyObject* sweep_rows(PyObject*, PyObject* args, PyObject* kwargs) {
    static const char* keywords[] = {"", "", "", "progress", nullptr};
    PyObject* rows_object = nullptr;
    vexil::py::U64Argument vars_argument{"n"};
    PyObject* names = nullptr;
    PyObject* progress = nullptr;
    if (PyArg_ParseTupleAndKeywords(args, kwargs, "OO&O!|$O", const_cast<char**>(keywords), &rows_object,
                                    &vexil::py::read_u64, &vars_argument, &PyTuple_Type, &names, &progress) == 0) {
        return nullptr;
    }
    Rows batch;
    if (!check_progress(progress) || !batch.read(rows_object, vars_argument.value)) return nullptr;
    const std::span<const std::uint8_t> rows = batch.rows;
    const unsigned vars = batch.n;
    const std::uint64_t count = batch.count;

    const Py_ssize_t measure_count = PyTuple_Size(names);
    Ref results(PyTuple_New(measure_count));
    if (!results) return nullptr;
    std::vector<Buffer> buffers(static_cast<std::size_t>(measure_count));
    std::vector<vexil::SweepColumn> columns;
    for (Py_ssize_t i = 0; i < measure_count; ++i) {
        PyObject* name = PyTuple_GetItem(names, i);
        Py_ssize_t length = 0;
        const char* text = PyUnicode_Check(name) ? PyUnicode_AsUTF8AndSize(name, &length) : nullptr;
        if (text == nullptr) {
            if (PyErr_Occurred() == nullptr) PyErr_SetString(PyExc_TypeError, "measure names must be str");
            return nullptr;
        }
        const vexil::MeasureInfo* m = vexil::find_scalar_measure(
            vexil::MeasureSubject::function, std::string_view(text, static_cast<std::size_t>(length)));
        if (m == nullptr) {
            PyErr_Format(PyExc_ValueError, "no batch kernel computes %R", name);
            return nullptr;
        }
        if (vars > m->max_vars) {
            PyErr_Format(PyExc_ValueError, "%R is defined up to %u variables, not %u", name, m->max_vars, vars);
            return nullptr;
        }
        void* memory = nullptr;
        const bool real = m->real != nullptr;
        PyObject* array =
            new_array({count}, real ? "float64" : "int64", 8, buffers[static_cast<std::size_t>(i)], memory);
        if (array == nullptr) return nullptr;
        PyTuple_SetItem(results.get(), i, array);  // steals the array
        vexil::SweepColumn column{m};
        if (real) {
            column.reals = static_cast<double*>(memory);
        } else {
            column.integers = static_cast<std::int64_t*>(memory);
        }
        columns.push_back(column);
    }
    if (!run_unlocked([&] { vexil::sweep_rows(rows, vars, columns); }, progress)) return nullptr;
    return results.release();
}

PyObject* sweep_spectra(PyObject*, PyObject* args, PyObject* kwargs) {
    static const char* keywords[] = {"", "", "progress", nullptr};
    PyObject* rows_object = nullptr;
    vexil::py::U64Argument vars_argument{"n"};
    PyObject* progress = nullptr;
    if (PyArg_ParseTupleAndKeywords(args, kwargs, "OO&|$O", const_cast<char**>(keywords), &rows_object,
                                    &vexil::py::read_u64, &vars_argument, &progress) == 0) {
        return nullptr;
    }
    Rows batch;
    if (!check_progress(progress) || !batch.read(rows_object, vars_argument.value)) return nullptr;
    const std::span<const std::uint8_t> rows = batch.rows;
    const unsigned vars = batch.n;
    const std::uint64_t count = batch.count;
    const std::uint64_t values = vexil::bytes_times(count, std::uint64_t{1} << vars);
    if (!run_unlocked([&] { vexil::ensure_working_set(vexil::bytes_times(values, sizeof(std::int64_t))); })) {
        return nullptr;
    }
    Buffer out_buffer;
    std::span<std::int64_t> out;
    Ref array(new_int64_array(values, out_buffer, out));
    if (!array) return nullptr;
    if (!run_unlocked([&] { vexil::sweep_spectra(rows, vars, out); }, progress)) return nullptr;
    return array.release();
}

using vexil::py::keyword_row;

const PyMethodDef methods[] = {
    {"five_input_class_words", &five_input_class_words, METH_NOARGS,
     "five_input_class_words()\n--\n\n"
     "The canonical word of each of the NPN classes of five-variable functions held by the gate\n"
     "database, as a sorted uint32 array; bit i of a word is entry i of its class's representative\n"
     "(the table npn_representant returns). The first call builds the database (seconds)."},
    {"sweep_measure_table", &sweep_measure_table, METH_NOARGS,
     "sweep_measure_table()\n--\n\n"
     "(name, kind, max_vars) of each measure sweep_rows computes; kind is 'integer', 'real' or 'boolean'."},
    keyword_row<sweep_rows>(
        "sweep_rows",
        "sweep_rows(rows, n, names, /, *, progress=None)\n--\n\n"
        "The measures `names` of each function of n variables in `rows` (a C-contiguous buffer of packed\n"
        "rows, max(1, 2**n / 8) bytes each, entry x at bit x % 8 of byte x / 8), as a tuple of arrays:\n"
        "int64 for integer and boolean measures (0/1), float64 for real ones. Computed on the worker pool\n"
        "without the interpreter lock; progress counts functions."),
    keyword_row<sweep_spectra>("sweep_spectra",
                               "sweep_spectra(rows, n, /, *, progress=None)\n--\n\n"
                               "The Walsh spectra of the packed rows (see sweep_rows), row after row, as one int64\n"
                               "array of count * 2**n values."),
};

}  // namespace

std::span<const PyMethodDef> sweep_methods() { return methods; }

}  // namespace vexil_kit
