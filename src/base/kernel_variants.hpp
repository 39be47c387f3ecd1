// Instruction-set variants of the word and butterfly kernels.
//
// Kernels written for the compiler to vectorise are compiled three times on
// x86-64 with GCC-compatible compilers, for the baseline, for AVX2 and for
// AVX-512 (both with the popcount instruction), and the variant is picked at
// run time. Elsewhere only the baseline exists.
#pragma once

#include <utility>

#if defined(__GNUC__) && defined(__x86_64__)
#define VEXIL_X86_VARIANTS 1
#define VEXIL_INLINE [[gnu::always_inline]] inline
#else
#define VEXIL_INLINE inline
#endif

namespace vexil::detail {

// The variants, widest last. The widest one the processor has is used unless a
// test forces a narrower one so that every variant gets checked.
enum class KernelSet { baseline, avx2, avx512 };
KernelSet kernel_set();
KernelSet best_kernel_set();
// Capped at best_kernel_set().
void force_kernel_set(KernelSet set);

#ifdef VEXIL_X86_VARIANTS
// The features named here are those best_kernel_set checks for.
template <class Kernel, class... Args>
[[gnu::target("avx2,popcnt")]] decltype(auto) run_avx2(Args&&... args) {
    return Kernel::run(std::forward<Args>(args)...);
}

template <class Kernel, class... Args>
[[gnu::target("avx512f,avx512bw,avx512vl,avx512dq,avx2,popcnt")]] decltype(auto) run_avx512(Args&&... args) {
    return Kernel::run(std::forward<Args>(args)...);
}
#endif

// Kernel::run(args...) in the variant kernel_set() names. Kernel::run must be
// VEXIL_INLINE (and so must what it calls), so that its body is compiled into
// each variant rather than called from it.
template <class Kernel, class... Args>
decltype(auto) run_kernel(Args&&... args) {
#ifdef VEXIL_X86_VARIANTS
    switch (kernel_set()) {
        case KernelSet::avx512:
            return run_avx512<Kernel>(std::forward<Args>(args)...);
        case KernelSet::avx2:
            return run_avx2<Kernel>(std::forward<Args>(args)...);
        case KernelSet::baseline:
            break;
    }
#endif
    return Kernel::run(std::forward<Args>(args)...);
}

}  // namespace vexil::detail
