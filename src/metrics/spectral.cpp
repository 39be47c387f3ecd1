#include "metrics/spectral.hpp"

#include "interrupt.hpp"
#include "memory_guard.hpp"
#include "metrics/walsh_measures.hpp"
#include "panic.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <new>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace vexil {

namespace {

template <class T>
detail::Coefficients<T> spectrum(const FValue& f) {
    detail::Coefficients<T> w(f.size());
    detail::transform_in_place(w.data(), f.n_vars(), f.data());
    return w;
}

}  // namespace

namespace detail {

void* allocate_coefficients(std::uint64_t count, std::size_t size) {
    ensure_allocatable(count, size);
    ensure_working_set(bytes_times(count, size));
    constexpr std::uint64_t huge_page = std::uint64_t{1} << 21;
    const std::uint64_t bytes = std::max<std::uint64_t>(count * size, 1);
    const std::uint64_t align = bytes >= 2 * huge_page ? huge_page : 64;
    const std::uint64_t rounded = (bytes + align - 1) / align * align;
    void* data = std::aligned_alloc(align, rounded);
    if (data == nullptr) throw std::bad_alloc();
#ifdef __linux__
    // Advice only: without it (or without huge pages) the memory works the same.
    if (align == huge_page) madvise(data, rounded, MADV_HUGEPAGE);
#endif
    return data;
}

void free_coefficients(void* data) { std::free(data); }

Coefficients<std::int32_t> spectrum32(const FValue& f) {
    if (f.n_vars() > 30) panic("spectrum32: more than 30 variables");
    return spectrum<std::int32_t>(f);
}

Coefficients<std::int64_t> spectrum64(const FValue& f) { return spectrum<std::int64_t>(f); }

}  // namespace detail

std::vector<float> normalised_spectrum(const FValue& f) {
    // The coefficients and the floats made from them.
    const std::uint64_t coefficient = f.n_vars() <= 30 ? sizeof(std::int32_t) : sizeof(std::int64_t);
    ensure_working_set(bytes_times(f.size(), coefficient + sizeof(float)));
    return detail::with_spectrum(f, [&](auto w) {
        const detail::Normaliser normalise(f.size());
        ensure_allocatable(w.size(), sizeof(float));
        std::vector<float> out(w.size());
        for (std::size_t k = 0; k < w.size(); ++k) out[k] = normalise(w[k]);
        return out;
    });
}

float spectral_entropy(const FValue& f) {
    return detail::with_spectrum(f, [&](auto w) {
        const detail::Normaliser normalise(f.size());
        float entropy = -0.0f;
        for (std::size_t k = 0; k < w.size(); ++k) {
            const float c = normalise(w[k]);
            if (c == 0.0f) continue;
            const float p = c * c;
            entropy -= p * std::log(p);
            if ((k & 0xFFFF) == 0) check_interrupt();
        }
        return entropy;
    });
}

std::uint64_t degree(const FValue& f) { return fourier_degree(f.entries()); }

std::uint64_t no_linearity(const FValue& f) { return nonlinearity(f.entries()); }

}  // namespace vexil
