#include "image.hpp"

// Defined in image_blob.S; hidden so that they stay inside the library.
extern "C" {
__attribute__((visibility("hidden"))) extern const std::uint8_t vexil_npn5_image_data[];
__attribute__((visibility("hidden"))) extern const std::uint64_t vexil_npn5_image_size;
}

namespace vexil::npn5 {

std::span<const std::uint8_t> embedded_image() {
    return {vexil_npn5_image_data, static_cast<std::size_t>(vexil_npn5_image_size)};
}

}  // namespace vexil::npn5
