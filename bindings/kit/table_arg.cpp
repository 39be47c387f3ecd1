#include "table_arg.hpp"

#include <algorithm>
#include <bit>
#include <cstring>

namespace vexil_kit {

namespace {

// Bools ("?") and unsigned bytes ("B", with or without a byte-order mark).
bool one_byte_format(const char* format) {
    if (format == nullptr) return true;  // plain unsigned bytes
    if (format[0] != '\0' && std::strchr("@=<>!", format[0]) != nullptr) ++format;
    return std::strcmp(format, "?") == 0 || std::strcmp(format, "B") == 0;
}

// Whether every byte is 0 or 1: an OR over blocks, which the compiler
// vectorises (a search that stops at the first bad byte does not).
bool all_bits(std::span<const std::uint8_t> entries) {
    constexpr std::size_t block = 4096;
    for (std::size_t begin = 0; begin < entries.size(); begin += block) {
        const std::size_t end = std::min(entries.size(), begin + block);
        std::uint8_t seen = 0;
        for (std::size_t i = begin; i < end; ++i) seen |= entries[i];
        if (seen > 1) return false;
    }
    return true;
}

}  // namespace

std::optional<TableView> read_table(PyObject* object, Buffer& buffer) {
    if (!buffer.acquire(object, PyBUF_C_CONTIGUOUS | PyBUF_FORMAT)) return std::nullopt;
    const Py_buffer& view = buffer.view();
    if (view.ndim != 1) {
        PyErr_Format(PyExc_ValueError, "the table must be 1-D, got %d dimensions", view.ndim);
        return std::nullopt;
    }
    if (view.itemsize != 1 || !one_byte_format(view.format)) {
        PyErr_Format(PyExc_ValueError, "the table must hold bools or uint8, got format '%s' of %zd bytes",
                     view.format != nullptr ? view.format : "B", view.itemsize);
        return std::nullopt;
    }
    const auto length = static_cast<std::uint64_t>(view.len);
    if (!std::has_single_bit(length)) {
        PyErr_Format(PyExc_ValueError, "the table length must be a power of two, got %zd", view.len);
        return std::nullopt;
    }
    const std::span<const std::uint8_t> entries(static_cast<const std::uint8_t*>(view.buf), length);
    // The kernels read bytes as 0 or 1; a byte of uint8 input may be anything.
    if (!all_bits(entries)) {
        PyErr_SetString(PyExc_ValueError, "the table entries must be 0 or 1");
        return std::nullopt;
    }
    return TableView{entries, static_cast<unsigned>(std::countr_zero(length))};
}

}  // namespace vexil_kit
