// The transform in 32-bit lanes, apart from the other lane type: each is three
// instruction-set variants of the whole blocked kernel.
#include "metrics/spectral.hpp"
#include "metrics/transform_kernel.hpp"

namespace vexil::detail {

void transform_in_place(std::int32_t* values, unsigned bits, const std::uint8_t* source,
                        const LastPassVisit<std::int32_t>* visit) {
    butterflies::run_transform(values, bits, source, visit);
}

void narrow_row_transform(const std::uint8_t* source, unsigned bits, std::int16_t* out) {
    if (bits > narrow_row_bits) panic("narrow_row_transform: more than 14 variables in 16-bit lanes");
    run_kernel<butterflies::NarrowRowKernel>(source, bits, out);
}

void transform_interleaved_in_place(std::int32_t* values, unsigned bits, unsigned lane_bits) {
    if (lane_bits > 12 || lane_bits > bits)
        panic("transform_interleaved_in_place: at most 12 lane bits, and no more than bits");
    butterflies::run_transform<std::int32_t>(values, bits, nullptr, nullptr, lane_bits);
}

}  // namespace vexil::detail

namespace vexil {

std::optional<TransformError> walsh_hadamard_transform(std::span<std::int32_t> values) {
    return detail::butterflies::transform_span(values);
}

void spectrum_into(std::span<const std::uint8_t> entries, std::span<std::int32_t> out) {
    if (entries.size() > (std::size_t{1} << 30)) panic("spectrum_into: more than 30 variables in int32 lanes");
    detail::butterflies::table_spectrum(entries, out);
}

}  // namespace vexil
