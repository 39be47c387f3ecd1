#include "metrics/spectral.hpp"
#include "metrics/kernel_variants.hpp"

#include "interrupt.hpp"
#include "memory_guard.hpp"
#include "panic.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <type_traits>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace vexil {

namespace {

// The transform is blocked for the memory hierarchy: stages 0..11 run on blocks
// that stay in L1, the next four on blocks that stay in L2, and the stages above
// in groups of up to eight on strips of four cache lines per row, copied to a
// contiguous scratch (in place, the power-of-two row stride would put every row
// in the same cache sets). A 2^24 table thus costs two passes over memory, the
// last of which need not write back when only a summary of the coefficients is
// wanted. Beyond memory traffic the butterflies bound the time, so the kernels
// are compiled for AVX2 and AVX-512 as well as the baseline and the variant is
// picked at run time; and when the input is a truth table the L1 stages run in
// 16-bit lanes (|values| <= 2^12 there), twice as many per vector.
// All butterflies use unsigned arithmetic: wrapping is defined, and for truth
// tables the sums never wrap anyway.

template <class T>
constexpr unsigned l1_bits = sizeof(T) == 8 ? 11 : 12;  // 16 or 32 KiB blocks
template <class T>
constexpr unsigned l2_bits = sizeof(T) == 8 ? 15 : 16;  // 256 KiB blocks
constexpr unsigned max_group_bits = 8;
template <class T>
constexpr std::size_t strip_width = 256 / sizeof(T);  // four cache lines per row
template <class T>
constexpr std::size_t scratch_size = std::size_t{strip_width<T>} << max_group_bits;

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

// Stages 0..2 on each group of eight values.
template <class T>
VEXIL_INLINE void radix8(T* v, std::size_t size) {
    using U = std::make_unsigned_t<T>;
    for (std::size_t i = 0; i < size; i += 8) {
        std::array<U, 8> a;
        for (unsigned t = 0; t < 8; ++t) a[t] = static_cast<U>(v[i + t]);
        for (unsigned h = 1; h < 8; h *= 2) {
            for (unsigned t = 0; t < 8; ++t) {
                if ((t & h) != 0) continue;
                const U x = a[t], y = a[t + h];
                a[t] = static_cast<U>(x + y);
                a[t + h] = static_cast<U>(x - y);
            }
        }
        for (unsigned t = 0; t < 8; ++t) v[i + t] = static_cast<T>(a[t]);
    }
}

// The 8-point transform of the signs of eight truth values, for every byte of
// packed values (bit t = entry t): stages 0..2 of the first pass become one
// table look-up per eight entries.
struct SignTable {
    std::array<std::array<std::int16_t, 8>, 256> rows{};
    SignTable() {
        for (unsigned b = 0; b < 256; ++b) {
            std::array<std::int16_t, 8>& r = rows[b];
            for (unsigned t = 0; t < 8; ++t) r[t] = ((b >> t) & 1U) != 0 ? 1 : -1;
            radix8(r.data(), 8);
        }
    }
};

const SignTable sign_table;

// Eight 0/1 bytes to eight bits, byte t to bit t: the multiplier moves byte t's
// low bit to bit 56 + t, and every cross term lands outside bits 56..63.
VEXIL_INLINE unsigned pack8(const std::uint8_t* bytes) {
    std::uint64_t word;
    std::memcpy(&word, bytes, sizeof word);
    return static_cast<unsigned>((word * 0x0102040810204080ULL) >> 56);
}

// Full transform of a block of 2^bits values that fits in L1. With `source`, the
// block is the signs of source[0, 2^bits), transformed in 16-bit lanes and then
// widened; `narrow` holds 2^bits 16-bit values.
template <class T>
VEXIL_INLINE void l1_block(T* v, unsigned bits, const std::uint8_t* source, std::int16_t* narrow) {
    const std::size_t size = std::size_t{1} << bits;
    if (source == nullptr) {
        if (bits < 3) {
            stages(v, size, 0, bits);
            return;
        }
        radix8(v, size);
        stages(v, size, 3, bits);
        return;
    }
    if (bits < 3) {
        for (std::size_t i = 0; i < size; ++i) v[i] = source[i] != 0 ? T{1} : T{-1};
        stages(v, size, 0, bits);
        return;
    }
    for (std::size_t i = 0; i < size; i += 8) {
        std::memcpy(narrow + i, sign_table.rows[pack8(source + i)].data(), 8 * sizeof(std::int16_t));
    }
    stages(narrow, size, 3, bits);
    for (std::size_t i = 0; i < size; ++i) v[i] = narrow[i];
}

// Visitors receive the finished coefficients of the last pass instead of having
// them written back: visit(first_k, values, count) for coefficients first_k + c,
// first_k a multiple of count, a power of two. They are inlined into each
// instruction-set variant of the transform.
struct WriteBack {
    static constexpr bool active = false;
    template <class T>
    void operator()(std::uint64_t, const T*, std::size_t) {}
};

// Largest popcount(k) with W(k) != 0.
struct DegreeVisit {
    static constexpr bool active = true;
    unsigned best = 0;

    template <class T>
    VEXIL_INLINE void operator()(std::uint64_t first_k, const T* values, std::size_t count) {
        const unsigned high = static_cast<unsigned>(std::popcount(first_k));
        if (high + static_cast<unsigned>(std::countr_zero(count)) <= best) return;
        for (std::size_t c = 0; c < count; ++c) {
            if (values[c] != 0) best = std::max(best, high + static_cast<unsigned>(std::popcount(c)));
        }
    }
};

// Largest |W(k)|.
struct MaxAbsVisit {
    static constexpr bool active = true;
    std::uint64_t best = 0;

    template <class T>
    VEXIL_INLINE void operator()(std::uint64_t, const T* values, std::size_t count) {
        using U = std::make_unsigned_t<T>;
        U m = 0;
        for (std::size_t c = 0; c < count; ++c) {
            const U sign = static_cast<U>(values[c] >> (8 * sizeof(T) - 1));  // all ones when negative
            m = std::max(m, static_cast<U>((static_cast<U>(values[c]) ^ sign) - sign));
        }
        best = std::max<std::uint64_t>(best, m);
    }
};

// Stages [low, low + group) on the block of 2^(low + group) values at v, whose
// first coefficient is number first_k; `last` when these are the final stages.
template <class T, class Visit>
VEXIL_INLINE void strip_group(T* v, unsigned low, unsigned group, T* scratch, Visit& visit, bool last,
                              std::uint64_t first_k) {
    // A constant width (low >= l1_bits, so the stride is never shorter) lets
    // each row move as whole vectors rather than through a generic copy.
    constexpr std::size_t width = strip_width<T>;
    constexpr unsigned width_bits = static_cast<unsigned>(std::countr_zero(width));
    const std::size_t stride = std::size_t{1} << low;
    const std::size_t rows = std::size_t{1} << group;
    for (std::size_t col = 0; col < stride; col += width) {
        // Rows a power of two apart defeat the hardware prefetchers: ask for the
        // next strip's lines while this one is transformed.
        if (col + width < stride) {
            for (std::size_t r = 0; r < rows; ++r) {
                const T* next = v + r * stride + col + width;
                for (std::size_t line = 0; line < width; line += 64 / sizeof(T)) __builtin_prefetch(next + line);
            }
        }
        for (std::size_t r = 0; r < rows; ++r) {
            const T* from = v + r * stride + col;
            T* to = scratch + r * width;
            for (std::size_t c = 0; c < width; ++c) to[c] = from[c];
        }
        stages(scratch, rows * width, width_bits, width_bits + group);
        if (Visit::active && last) {
            for (std::size_t r = 0; r < rows; ++r) visit(first_k + r * stride + col, scratch + r * width, width);
        } else {
            for (std::size_t r = 0; r < rows; ++r) {
                const T* from = scratch + r * width;
                T* to = v + r * stride + col;
                for (std::size_t c = 0; c < width; ++c) to[c] = from[c];
            }
        }
        check_interrupt();
    }
}

// Transform of v[0, 2^bits) (of the signs of `source` when given). Level 0 is
// the L1 blocks; level 1 finishes each L2 block while it is still cached; every
// further level is one pass over memory doing up to eight stages.
template <class T, class Visit>
VEXIL_INLINE void transform_body(T* v, unsigned bits, const std::uint8_t* source, Visit& visit) {
    alignas(64) std::array<std::int16_t, std::size_t{1} << l1_bits<T>> narrow;
    if (bits <= l1_bits<T>) {
        l1_block(v, bits, source, narrow.data());
        if (Visit::active) visit(0, v, std::size_t{1} << bits);
        return;
    }
    std::vector<T> scratch(scratch_size<T>);
    const unsigned l2 = std::min(bits, l2_bits<T>);
    const std::size_t l1_size = std::size_t{1} << l1_bits<T>;
    const std::size_t l2_size = std::size_t{1} << l2;
    for (std::size_t block = 0; block < (std::size_t{1} << bits); block += l2_size) {
        for (std::size_t sub = block; sub < block + l2_size; sub += l1_size) {
            l1_block(v + sub, l1_bits<T>, source != nullptr ? source + sub : nullptr, narrow.data());
        }
        strip_group(v + block, l1_bits<T>, l2 - l1_bits<T>, scratch.data(), visit, l2 == bits, block);
    }
    for (unsigned low = l2; low < bits;) {
        const unsigned high = std::min(bits, low + max_group_bits);
        const std::size_t size = std::size_t{1} << high;
        for (std::size_t block = 0; block < (std::size_t{1} << bits); block += size) {
            strip_group(v + block, low, high - low, scratch.data(), visit, high == bits, block);
        }
        low = high;
    }
}

struct TransformKernel {
    template <class T, class Visit>
    VEXIL_INLINE static void run(T* v, unsigned bits, const std::uint8_t* source, Visit& visit) {
        transform_body(v, bits, source, visit);
    }
};

template <class T, class Visit>
void transform(T* v, unsigned bits, const std::uint8_t* source, Visit& visit) {
    detail::run_kernel<TransformKernel>(v, bits, source, visit);
}

template <class T>
std::optional<TransformError> transform_span(std::span<T> values) {
    const std::size_t size = values.size();
    if (size <= 1) return std::nullopt;
    if (!std::has_single_bit(size)) return TransformError{transform_length_error};
    WriteBack write_back;
    transform(values.data(), static_cast<unsigned>(std::countr_zero(size)), nullptr, write_back);
    return std::nullopt;
}

// Builds the signed form of f and transforms it; an active visitor receives the
// coefficients of the last pass and the array is left partly transformed.
template <class T, class Visit = WriteBack>
detail::Coefficients<T> spectrum(const FValue& f, Visit&& visit = Visit{}) {
    detail::Coefficients<T> w(f.size());
    transform(w.data(), f.n_vars(), f.data(), visit);
    return w;
}

// Number of entries where f differs from the parity of the index: W(N-1) is
// N - 2 * this. Bytes are counted eight at a time in byte lanes.
std::uint64_t parity_mismatches(const FValue& f) {
    const std::uint8_t* data = f.data();
    const std::uint64_t size = f.size();
    if (size < 64) {
        std::uint64_t count = 0;
        for (std::uint64_t x = 0; x < size; ++x) count += (data[x] != 0) != (std::popcount(x) % 2 == 1);
        return count;
    }
    // Parity of x for x = 8t..8t+7 as 0/1 bytes, t = 0..7.
    std::array<std::uint64_t, 8> pattern{};
    for (unsigned x = 0; x < 64; ++x) {
        pattern[x / 8] |= static_cast<std::uint64_t>(std::popcount(x) % 2) << (8 * (x % 8));
    }
    constexpr std::uint64_t ones = 0x0101010101010101ULL;
    constexpr std::uint64_t even = 0x00FF00FF00FF00FFULL;
    std::uint64_t count = 0;
    for (std::uint64_t base = 0; base < size;) {
        // At most 31 groups of eight words: a byte lane gathers at most 248.
        const std::uint64_t end = std::min(size, base + 31 * 64);
        std::uint64_t lanes = 0;
        for (; base < end; base += 64) {
            const std::uint64_t flip = (std::popcount(base >> 6) % 2 == 1) ? ones : 0;
            for (unsigned t = 0; t < 8; ++t) {
                std::uint64_t word;
                std::memcpy(&word, data + base + 8 * t, sizeof word);
                lanes += word ^ pattern[t] ^ flip;
            }
        }
        const std::uint64_t pairs = (lanes & even) + ((lanes >> 8) & even);
        count += (pairs * 0x0001000100010001ULL) >> 48;
        check_interrupt();
    }
    return count;
}

template <class T>
std::uint64_t degree_of(const FValue& f) {
    DegreeVisit visit;
    spectrum<T>(f, visit);
    return visit.best;
}

template <class T>
std::uint64_t max_abs_coefficient(const FValue& f) {
    MaxAbsVisit visit;
    spectrum<T>(f, visit);
    return visit.best;
}

}  // namespace

std::optional<TransformError> walsh_hadamard_transform(std::span<std::int64_t> values) {
    return transform_span(values);
}

std::optional<TransformError> walsh_hadamard_transform(std::span<std::int32_t> values) {
    return transform_span(values);
}

void spectrum_into(std::span<const std::uint8_t> entries, std::span<std::int64_t> out) {
    if (entries.size() != out.size() || !std::has_single_bit(entries.size())) {
        panic("spectrum_into: the table and the coefficients need the same power-of-two length");
    }
    WriteBack write_back;
    transform(out.data(), static_cast<unsigned>(std::countr_zero(entries.size())), entries.data(), write_back);
}

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

std::uint64_t degree(const FValue& f) {
    const unsigned n = f.n_vars();
    if (n == 0) return 0;
    // The top coefficient alone decides whether the degree is n, and for almost
    // every function it is non-zero: one pass over the table instead of n.
    if (2 * parity_mismatches(f) != f.size()) return n;
    return n <= 30 ? degree_of<std::int32_t>(f) : degree_of<std::int64_t>(f);
}

std::uint64_t no_linearity(const FValue& f) {
    const unsigned n = f.n_vars();
    if (n == 0) return 0;
    const std::uint64_t m = n <= 30 ? max_abs_coefficient<std::int32_t>(f) : max_abs_coefficient<std::int64_t>(f);
    // Every W(k) is even for n >= 1, and |W(k)| <= 2^n.
    return (std::uint64_t{1} << (n - 1)) - m / 2;
}

}  // namespace vexil
