#include "metrics/crypto_transform.hpp"

#include "panic.hpp"

namespace vexil::detail {

unsigned table_bits(std::span<const std::uint8_t> entries) {
    if (!std::has_single_bit(entries.size())) panic("the table needs a power-of-two number of entries");
    return static_cast<unsigned>(std::countr_zero(entries.size()));
}

}  // namespace vexil::detail
