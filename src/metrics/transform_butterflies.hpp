// The radix-4 and radix-2 butterflies of the Walsh–Hadamard transform: the
// only butterfly code, shared by the core's blocked transform
// (transform_kernel.hpp) and the pool's strips (crypto_transform.hpp).
#pragma once

#include "base/kernel_variants.hpp"

#include <cstddef>
#include <type_traits>

namespace vexil::detail::butterflies {

// Two stages (h and 2h) on v[0, size); the j loop runs over contiguous values.
template <class T>
VEXIL_INLINE void radix4_pass(T* v, std::size_t size, std::size_t h) {
    using U = std::make_unsigned_t<T>;
    for (std::size_t base = 0; base < size; base += 4 * h) {
        T* p = v + base;
        for (std::size_t j = 0; j < h; ++j) {
            const U a = static_cast<U>(p[j]);
            const U b = static_cast<U>(p[j + h]);
            const U c = static_cast<U>(p[j + 2 * h]);
            const U d = static_cast<U>(p[j + 3 * h]);
            const U ab = static_cast<U>(a + b), amb = static_cast<U>(a - b);
            const U cd = static_cast<U>(c + d), cmd = static_cast<U>(c - d);
            p[j] = static_cast<T>(static_cast<U>(ab + cd));
            p[j + h] = static_cast<T>(static_cast<U>(amb + cmd));
            p[j + 2 * h] = static_cast<T>(static_cast<U>(ab - cd));
            p[j + 3 * h] = static_cast<T>(static_cast<U>(amb - cmd));
        }
    }
}

template <class T>
VEXIL_INLINE void radix2_pass(T* v, std::size_t size, std::size_t h) {
    using U = std::make_unsigned_t<T>;
    for (std::size_t base = 0; base < size; base += 2 * h) {
        T* p = v + base;
        for (std::size_t j = 0; j < h; ++j) {
            const U a = static_cast<U>(p[j]);
            const U b = static_cast<U>(p[j + h]);
            p[j] = static_cast<T>(static_cast<U>(a + b));
            p[j + h] = static_cast<T>(static_cast<U>(a - b));
        }
    }
}

// Stages [from, to) of the in-place transform of v[0, size), two at a time.
// Short strides are passed as constants: with a run-time stride shorter than a
// vector the compiler would fall back to scalar code.
template <class T>
VEXIL_INLINE void stages(T* v, std::size_t size, unsigned from, unsigned to) {
    unsigned s = from;
    for (; s + 1 < to; s += 2) {
        switch (s) {
            case 3:
                radix4_pass(v, size, 8);
                break;
            case 4:
                radix4_pass(v, size, 16);
                break;
            case 5:
                radix4_pass(v, size, 32);
                break;
            default:
                radix4_pass(v, size, std::size_t{1} << s);
                break;
        }
    }
    if (s < to) {
        switch (s) {
            case 3:
                radix2_pass(v, size, 8);
                break;
            case 4:
                radix2_pass(v, size, 16);
                break;
            case 5:
                radix2_pass(v, size, 32);
                break;
            default:
                radix2_pass(v, size, std::size_t{1} << s);
                break;
        }
    }
}

}  // namespace vexil::detail::butterflies
