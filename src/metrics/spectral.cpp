#include "metrics/spectral.hpp"

#include "interrupt.hpp"
#include "memory_guard.hpp"
#include "panic.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstring>
#include <type_traits>

namespace vexil {

namespace {

// The transform is memory-bound beyond the caches, so it is blocked: stages 0..11
// run on blocks that stay in L1, the next few on blocks that stay in L2, and the
// stages above are done in groups of up to eight on strips of a few cache lines
// per row copied to a contiguous scratch (in place, the power-of-two row stride
// would make every row fall into the same cache sets). A 2^24 table thus costs
// two passes over memory. All butterflies use unsigned arithmetic: wrapping is
// defined, and for truth tables the sums never wrap anyway.

template <class T>
constexpr unsigned l1_bits = sizeof(T) == 4 ? 12 : 11;  // 16 KiB blocks
template <class T>
constexpr unsigned l2_bits = sizeof(T) == 4 ? 16 : 15;  // 256 KiB blocks
constexpr unsigned max_group_bits = 8;
template <class T>
constexpr std::size_t strip_width = 128 / sizeof(T);  // two cache lines per row

// Stages [from, to) of the in-place transform of v[0, size), two at a time.
template <class T>
void stages(T* v, std::size_t size, unsigned from, unsigned to) {
    using U = std::make_unsigned_t<T>;
    unsigned s = from;
    for (; s + 1 < to; s += 2) {
        const std::size_t h = std::size_t{1} << s;
        for (std::size_t base = 0; base < size; base += 4 * h) {
            T* p = v + base;
            for (std::size_t j = 0; j < h; ++j) {
                const U a = static_cast<U>(p[j]);
                const U b = static_cast<U>(p[j + h]);
                const U c = static_cast<U>(p[j + 2 * h]);
                const U d = static_cast<U>(p[j + 3 * h]);
                const U ab = a + b, amb = a - b, cd = c + d, cmd = c - d;
                p[j] = static_cast<T>(ab + cd);
                p[j + h] = static_cast<T>(amb + cmd);
                p[j + 2 * h] = static_cast<T>(ab - cd);
                p[j + 3 * h] = static_cast<T>(amb - cmd);
            }
        }
    }
    if (s < to) {
        const std::size_t h = std::size_t{1} << s;
        for (std::size_t base = 0; base < size; base += 2 * h) {
            T* p = v + base;
            for (std::size_t j = 0; j < h; ++j) {
                const U a = static_cast<U>(p[j]);
                const U b = static_cast<U>(p[j + h]);
                p[j] = static_cast<T>(a + b);
                p[j + h] = static_cast<T>(a - b);
            }
        }
    }
}

// Stages 0..2 on each group of eight values.
template <class T>
void radix8(T* v, std::size_t size) {
    using U = std::make_unsigned_t<T>;
    for (std::size_t i = 0; i < size; i += 8) {
        std::array<U, 8> a;
        for (unsigned t = 0; t < 8; ++t) a[t] = static_cast<U>(v[i + t]);
        for (unsigned h = 1; h < 8; h *= 2) {
            for (unsigned t = 0; t < 8; ++t) {
                if ((t & h) != 0) continue;
                const U x = a[t], y = a[t + h];
                a[t] = x + y;
                a[t + h] = x - y;
            }
        }
        for (unsigned t = 0; t < 8; ++t) v[i + t] = static_cast<T>(a[t]);
    }
}

// The 8-point transform of the signs of eight truth values, for every byte of
// packed values (bit t = entry t): stages 0..2 of the first pass become one
// table look-up per eight entries.
template <class T>
struct SignTable {
    std::array<std::array<T, 8>, 256> rows{};
    SignTable() {
        for (unsigned b = 0; b < 256; ++b) {
            std::array<T, 8>& r = rows[b];
            for (unsigned t = 0; t < 8; ++t) r[t] = ((b >> t) & 1U) != 0 ? T{1} : T{-1};
            radix8(r.data(), 8);
        }
    }
};

template <class T>
const SignTable<T>& sign_table() {
    static const SignTable<T> table;
    return table;
}

// Eight 0/1 bytes to eight bits, byte t to bit t: the multiplier moves byte t's
// low bit to bit 56 + t, and every cross term lands outside bits 56..63.
inline unsigned pack8(const std::uint8_t* bytes) {
    std::uint64_t word;
    std::memcpy(&word, bytes, sizeof word);
    return static_cast<unsigned>((word * 0x0102040810204080ULL) >> 56);
}

// Full transform of a block of 2^bits values that fits in L1; when `source` is
// given the block is first filled with the signs of source[0, 2^bits).
template <class T>
void l1_block(T* v, unsigned bits, const std::uint8_t* source) {
    const std::size_t size = std::size_t{1} << bits;
    if (bits < 3) {
        if (source != nullptr) {
            for (std::size_t i = 0; i < size; ++i) v[i] = source[i] != 0 ? T{1} : T{-1};
        }
        stages(v, size, 0, bits);
        return;
    }
    if (source != nullptr) {
        const SignTable<T>& table = sign_table<T>();
        for (std::size_t i = 0; i < size; i += 8) std::memcpy(v + i, table.rows[pack8(source + i)].data(), 8 * sizeof(T));
    } else {
        radix8(v, size);
    }
    stages(v, size, 3, bits);
}

// Receives the finished coefficients of the last pass instead of having them
// written back: visit(first_k, values, count) for coefficients first_k + c.
template <class T>
using Visitor = void (*)(void* state, std::uint64_t first_k, const T* values, std::size_t count);

// Stages [low, low + group) on a block of 2^(low + group) values.
template <class T>
void strip_group(T* v, unsigned low, unsigned group, std::vector<T>& scratch, Visitor<T> visit, void* state,
                 std::uint64_t first_k) {
    const std::size_t stride = std::size_t{1} << low;
    const std::size_t rows = std::size_t{1} << group;
    const std::size_t width = std::min(stride, strip_width<T>);
    const unsigned width_bits = static_cast<unsigned>(std::countr_zero(width));
    scratch.resize(rows * width);
    T* s = scratch.data();
    for (std::size_t col = 0; col < stride; col += width) {
        for (std::size_t r = 0; r < rows; ++r) std::memcpy(s + r * width, v + r * stride + col, width * sizeof(T));
        stages(s, rows * width, width_bits, width_bits + group);
        if (visit != nullptr) {
            for (std::size_t r = 0; r < rows; ++r) visit(state, first_k + r * stride + col, s + r * width, width);
        } else {
            for (std::size_t r = 0; r < rows; ++r) std::memcpy(v + r * stride + col, s + r * width, width * sizeof(T));
        }
        check_interrupt();
    }
}

// Transform of v[0, 2^bits): low stages block by block (recursively), then the
// top group of stages by strips. Only the outermost call may have a visitor.
template <class T>
void transform_blocks(T* v, unsigned bits, const std::uint8_t* source, std::vector<T>& scratch, Visitor<T> visit,
                      void* state) {
    if (bits <= l1_bits<T>) {
        l1_block(v, bits, source);
        if (visit != nullptr) visit(state, 0, v, std::size_t{1} << bits);
        return;
    }
    const unsigned top = bits > l2_bits<T> ? std::min(max_group_bits, bits - l2_bits<T>) : bits - l1_bits<T>;
    const unsigned low = bits - top;
    const std::size_t block = std::size_t{1} << low;
    const std::size_t blocks = std::size_t{1} << top;
    for (std::size_t b = 0; b < blocks; ++b) {
        transform_blocks<T>(v + b * block, low, source != nullptr ? source + b * block : nullptr, scratch, nullptr,
                         nullptr);
        check_interrupt();
    }
    strip_group(v, low, top, scratch, visit, state, 0);
}

template <class T>
std::optional<TransformError> transform_span(std::span<T> values) {
    const std::size_t size = values.size();
    if (size <= 1) return std::nullopt;
    if (!std::has_single_bit(size)) return TransformError{transform_length_error};
    std::vector<T> scratch;
    transform_blocks<T>(values.data(), static_cast<unsigned>(std::countr_zero(size)), nullptr, scratch, nullptr,
                     nullptr);
    return std::nullopt;
}

// Builds the signed form of f and transforms it; `visit`, when given, receives
// the coefficients of the last pass and the array is left partly transformed.
template <class T>
std::vector<T> spectrum(const FValue& f, Visitor<T> visit = nullptr, void* state = nullptr) {
    const std::uint64_t size = f.size();
    ensure_allocatable(size, sizeof(T));
    std::vector<T> w(size);
    std::vector<T> scratch;
    transform_blocks<T>(w.data(), f.n_vars(), f.data(), scratch, visit, state);
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

struct DegreeState {
    unsigned best = 0;
    unsigned width_bits = 0;
};

template <class T>
void visit_degree(void* raw, std::uint64_t first_k, const T* values, std::size_t count) {
    auto& state = *static_cast<DegreeState*>(raw);
    // first_k is a multiple of count, a power of two: k = first_k | c.
    const unsigned high = static_cast<unsigned>(std::popcount(first_k));
    const unsigned width_bits = static_cast<unsigned>(std::countr_zero(count));
    if (high + width_bits <= state.best) return;
    for (std::size_t c = 0; c < count; ++c) {
        if (values[c] != 0) state.best = std::max(state.best, high + static_cast<unsigned>(std::popcount(c)));
    }
}

template <class T>
void visit_max_abs(void* raw, std::uint64_t, const T* values, std::size_t count) {
    using U = std::make_unsigned_t<T>;
    auto& best = *static_cast<std::uint64_t*>(raw);
    U m = 0;
    for (std::size_t c = 0; c < count; ++c) {
        const U u = static_cast<U>(values[c]);
        const U a = values[c] < 0 ? U{0} - u : u;
        m = std::max(m, a);
    }
    best = std::max<std::uint64_t>(best, m);
}

template <class T>
std::uint64_t degree_of(const FValue& f) {
    DegreeState state;
    spectrum<T>(f, &visit_degree<T>, &state);
    return state.best;
}

template <class T>
std::uint64_t max_abs_coefficient(const FValue& f) {
    std::uint64_t best = 0;
    spectrum<T>(f, &visit_max_abs<T>, &best);
    return best;
}

}  // namespace

std::optional<TransformError> walsh_hadamard_transform(std::span<std::int64_t> values) {
    return transform_span(values);
}

std::optional<TransformError> walsh_hadamard_transform(std::span<std::int32_t> values) {
    return transform_span(values);
}

namespace detail {

std::vector<std::int32_t> spectrum32(const FValue& f) {
    if (f.n_vars() > 30) panic("spectrum32: more than 30 variables");
    return spectrum<std::int32_t>(f);
}

std::vector<std::int64_t> spectrum64(const FValue& f) { return spectrum<std::int64_t>(f); }

}  // namespace detail

std::vector<float> normalised_spectrum(const FValue& f) {
    return detail::with_spectrum(f, [&](auto w) {
        const float size = static_cast<float>(f.size());
        ensure_allocatable(w.size(), sizeof(float));
        std::vector<float> out(w.size());
        for (std::size_t k = 0; k < w.size(); ++k) out[k] = detail::normalise(w[k], size);
        return out;
    });
}

float spectral_entropy(const FValue& f) {
    return detail::with_spectrum(f, [&](auto w) {
        const float size = static_cast<float>(f.size());
        float entropy = -0.0f;
        for (std::size_t k = 0; k < w.size(); ++k) {
            const float c = detail::normalise(w[k], size);
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
