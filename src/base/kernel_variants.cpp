#include "base/kernel_variants.hpp"

#include <algorithm>
#include <atomic>

namespace vexil::detail {

namespace {
std::atomic<int> forced_set{-1};
}

KernelSet best_kernel_set() {
#ifdef VEXIL_X86_VARIANTS
    static const KernelSet best = [] {
        if (!__builtin_cpu_supports("popcnt") || !__builtin_cpu_supports("avx2")) return KernelSet::baseline;
        if (__builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512bw") &&
            __builtin_cpu_supports("avx512vl") && __builtin_cpu_supports("avx512dq")) {
            return KernelSet::avx512;
        }
        return KernelSet::avx2;
    }();
    return best;
#else
    return KernelSet::baseline;
#endif
}

KernelSet kernel_set() {
    const int forced = forced_set.load(std::memory_order_relaxed);
    return forced < 0 ? best_kernel_set() : static_cast<KernelSet>(forced);
}

void force_kernel_set(KernelSet set) {
    forced_set.store(static_cast<int>(std::min(set, best_kernel_set())), std::memory_order_relaxed);
}

}  // namespace vexil::detail
