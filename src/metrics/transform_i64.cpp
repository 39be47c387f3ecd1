// The transform in 64-bit lanes, apart from the other lane type: each is three
// instruction-set variants of the whole blocked kernel.
#include "metrics/spectral.hpp"
#include "metrics/transform_kernel.hpp"

namespace vexil::detail {

void transform_in_place(std::int64_t* values, unsigned bits, const std::uint8_t* source,
                        const LastPassVisit<std::int64_t>* visit) {
    run_kernel<butterflies::TransformKernel>(values, bits, source, visit);
}

}  // namespace vexil::detail
