// Kernels written for the compiler to vectorise are compiled again for AVX2 and
// AVX-512 on x86-64 with GCC-compatible compilers; the variant is picked at run
// time. Elsewhere only the baseline exists.
#pragma once

#if defined(__GNUC__) && defined(__x86_64__)
#define VEXIL_X86_VARIANTS 1
#define VEXIL_INLINE [[gnu::always_inline]] inline
#else
#define VEXIL_INLINE inline
#endif
