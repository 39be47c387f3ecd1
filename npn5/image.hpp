// The database image linked into the library (npn5/image.bin, embedded by
// image_blob.S).
#pragma once

#include <cstdint>
#include <span>

namespace vexil::npn5 {

std::span<const std::uint8_t> embedded_image();

}  // namespace vexil::npn5
