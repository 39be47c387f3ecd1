// The transform in 64-bit lanes, apart from the other lane type: each is three
// instruction-set variants of the whole blocked kernel.
#include "metrics/spectral.hpp"
#include "metrics/transform_kernel.hpp"

namespace vexil::detail {

void transform_in_place(std::int64_t* values, unsigned bits, const std::uint8_t* source,
                        const LastPassVisit<std::int64_t>* visit) {
    butterflies::run_transform(values, bits, source, visit);
}

}  // namespace vexil::detail

namespace vexil {

std::optional<TransformError> walsh_hadamard_transform(std::span<std::int64_t> values) {
    return detail::butterflies::transform_span(values);
}

void spectrum_into(std::span<const std::uint8_t> entries, std::span<std::int64_t> out) {
    detail::butterflies::table_spectrum(entries, out);
}

}  // namespace vexil
