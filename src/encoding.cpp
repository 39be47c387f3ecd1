#include "encoding.hpp"

#include "memory_guard.hpp"
#include "panic.hpp"

#include <cstring>
#include <vector>

namespace vexil {

namespace {

constexpr std::uint8_t marker16 = 251;
constexpr std::uint8_t marker32 = 252;
constexpr std::uint8_t marker64 = 253;

unsigned prefix_width(std::uint64_t value) {
    if (value <= 250) return 0;
    if (value <= 0xFFFF) return 2;
    if (value <= 0xFFFFFFFF) return 4;
    return 8;
}

}  // namespace

std::uint64_t encoded_size(std::uint64_t entries) { return 1 + prefix_width(entries) + entries; }

void encode_into(const FValue& f, std::uint8_t* out) {
    const std::uint64_t size = f.size();
    const unsigned width = prefix_width(size);
    *out++ = width == 0 ? static_cast<std::uint8_t>(size) : width == 2 ? marker16 : width == 4 ? marker32 : marker64;
    for (unsigned b = 0; b < width; ++b) *out++ = static_cast<std::uint8_t>(size >> (8 * b));
    std::memcpy(out, f.data(), size);
}

FValue decode(std::span<const std::uint8_t> raw) {
    if (raw.empty()) throw DecodeError{};
    const std::uint8_t first = raw[0];
    unsigned width = 0;
    std::uint64_t length = first;
    if (first == marker16)
        width = 2;
    else if (first == marker32)
        width = 4;
    else if (first == marker64)
        width = 8;
    else if (first > marker64)
        throw DecodeError{};
    if (raw.size() < 1 + width) throw DecodeError{};
    if (width != 0) {
        length = 0;
        for (unsigned b = 0; b < width; ++b) length |= std::uint64_t{raw[1 + b]} << (8 * b);
    }
    if (length >= (std::uint64_t{1} << 63)) panic("capacity overflow");
    const std::span<const std::uint8_t> body = raw.subspan(1 + width);
    if (length > body.size()) throw DecodeError{};
    // Validate before allocating: a malformed input costs no memory.
    const std::uint8_t* entries = body.data();
    std::uint8_t bad = 0;
    for (std::uint64_t i = 0; i < length; ++i) bad |= static_cast<std::uint8_t>(entries[i] & 0xFE);
    if (bad != 0) throw DecodeError{};
    ensure_allocatable(length);
    ensure_working_set(length);
    return FValue(std::vector<std::uint8_t>(entries, entries + length));
}

}  // namespace vexil
