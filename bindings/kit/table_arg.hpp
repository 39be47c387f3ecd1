// The truth-table argument: a read-only 1-D buffer of bools or 0/1 bytes whose
// length is a power of two, read where it lies.
#pragma once

#include "unlocked.hpp"

#include <cstdint>
#include <optional>
#include <span>

namespace vexil_kit {

struct TableView {
    std::span<const std::uint8_t> entries;
    unsigned n;  // log2 of the length
};

// The entries of `object`, held through `buffer`; nullopt with BufferError,
// TypeError or ValueError set when it is no such table.
std::optional<TableView> read_table(PyObject* object, Buffer& buffer);

// The (table, /, *, progress=None) arguments most kernels take: the table,
// held while the call lasts, and the progress callable (or None).
struct TableCall {
    Buffer buffer;
    std::optional<TableView> table;
    PyObject* progress = nullptr;

    // False with the error set when they are not a table and an optional callable.
    bool parse(PyObject* args, PyObject* kwargs);
};

}  // namespace vexil_kit
