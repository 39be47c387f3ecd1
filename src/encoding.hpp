// The byte encoding of a truth table: a variable-width length prefix (1, 3, 5
// or 9 bytes, little-endian) followed by one byte (0 or 1) per entry.
#pragma once

#include "exported.hpp"

#include "fvalue.hpp"

#include <cstdint>
#include <span>

namespace vexil {

// Thrown by decode for input that is not a valid encoding.
struct VEXIL_EXPORTED DecodeError {};

// Exact size of the encoding of a table of `entries` entries.
std::uint64_t encoded_size(std::uint64_t entries);

// Writes the encoding into `out`, which holds encoded_size(f.size()) bytes.
void encode_into(const FValue& f, std::uint8_t* out);

// Reads a table from the start of `raw`; trailing bytes are ignored. Throws
// DecodeError for malformed input, stops with "capacity overflow" for a
// length of 2^63 or more and with "Invalid size" for one that is not a power
// of two.
FValue decode(std::span<const std::uint8_t> raw);

}  // namespace vexil
