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

}  // namespace vexil_kit
