// Walsh–Hadamard spectrum of a truth table and the measures read off it.
//
// Signed form: F(x) = +1 where the entry is true, -1 where it is false.
// Integer spectrum: W(k) = sum over x of F(x) * (-1)^popcount(k & x), natural
// (Hadamard) order, unscaled. Normalised spectrum: float(W(k)) / float(N).
#pragma once

#include "fvalue.hpp"

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace vexil {

// Why a transform refused its input.
struct TransformError {
    std::string_view message;
};

inline constexpr std::string_view transform_length_error = "Input length must be a power of 2";

// Replaces `values` by its unscaled Walsh–Hadamard transform, in place. Lengths
// 0 and 1 are left as they are; any other length that is not a power of two is
// refused with "Input length must be a power of 2" and the array is untouched.
// Sums wrap modulo 2^bits rather than overflow (they never wrap for inputs of
// magnitude at most 1 and length at most 2^(bits-2)).
std::optional<TransformError> walsh_hadamard_transform(std::span<std::int64_t> values);
std::optional<TransformError> walsh_hadamard_transform(std::span<std::int32_t> values);

// W(k) of the table `entries` (0/1 bytes) written to out[k], for a power-of-two
// number of entries equal to out.size(); stops with a Panic otherwise. Reads
// the table where it lies and allocates no coefficients of its own.
void spectrum_into(std::span<const std::uint8_t> entries, std::span<std::int64_t> out);
// The same in int32 lanes, exact for at most 30 variables (a Panic beyond).
void spectrum_into(std::span<const std::uint8_t> entries, std::span<std::int32_t> out);

// float(W(k)) / float(N) for k = 0..N-1.
std::vector<float> normalised_spectrum(const FValue& f);

// -(sum of p * ln p) over the non-zero coefficients, p = f̂(k)^2, summed in
// single precision in increasing k from -0.0 (so a one-coefficient spectrum
// gives -0.0). Nats.
float spectral_entropy(const FValue& f);

// Largest popcount(k) with W(k) != 0; 0 for constants and for n = 0: the
// module's name for fourier_degree (walsh_measures.hpp).
std::uint64_t degree(const FValue& f);

// Hamming distance from f to the nearest affine function, 2^(n-1) - max|W|/2,
// exact in integers; 0 for n = 0: the module's name for nonlinearity
// (walsh_measures.hpp).
std::uint64_t no_linearity(const FValue& f);

namespace detail {

// Reads the coefficients of a transform's last pass, a strip at a time: rows
// r < `rows` of `width` values at values + r * width, value c of row r being
// coefficient first_k + r * stride + c (first_k a multiple of width, width a
// power of two). A measure read off the coefficients thus costs no pass of its
// own, and the last pass need not write back.
template <class T>
struct LastPassVisit {
    void (*strip)(void* state, std::uint64_t first_k, const T* values, std::size_t rows, std::size_t width,
                  std::size_t stride);
    void* state;
};

// The transform of values[0, 2^bits) in place, or with `source` the spectrum
// of the table source[0, 2^bits) (true counts +1) written over values. Blocked
// for the caches, single-threaded, in the widest instruction-set variant. With
// a visitor, values is left partly transformed.
void transform_in_place(std::int32_t* values, unsigned bits, const std::uint8_t* source,
                        const LastPassVisit<std::int32_t>* visit = nullptr);
void transform_in_place(std::int64_t* values, unsigned bits, const std::uint8_t* source,
                        const LastPassVisit<std::int64_t>* visit = nullptr);

// Most stages the 16-bit lanes of narrow_row_transform hold exactly.
inline constexpr unsigned narrow_row_bits = 14;

// The spectrum of the table source[0, 2^bits), bits <= narrow_row_bits, in
// 16-bit lanes written to out[0, 2^bits): half the memory traffic of int32,
// for a transform whose other stages widen the values as they read them.
void narrow_row_transform(const std::uint8_t* source, unsigned bits, std::int16_t* out);

// The transforms of 2^lane_bits tables of 2^(bits - lane_bits) values held
// interleaved (value x of table j at values[x * 2^lane_bits + j]), in place:
// transform_in_place without its stages below lane_bits (at most 12).
void transform_interleaved_in_place(std::int32_t* values, unsigned bits, unsigned lane_bits);

// Storage for `count` values of `size` bytes, not zeroed; large blocks are
// backed by huge pages where the system offers them, since faulting a fresh
// 2^24-entry array in page by page costs more than transforming it. Throws
// std::bad_alloc when the machine cannot hold it.
void* allocate_coefficients(std::uint64_t count, std::size_t size);
void free_coefficients(void* data);

// The N coefficients W(k) of one spectrum.
template <class T>
class Coefficients {
public:
    explicit Coefficients(std::uint64_t count)
        : data_(static_cast<T*>(allocate_coefficients(count, sizeof(T)))), size_(count) {}

    T* data() { return data_.get(); }
    std::size_t size() const { return size_; }
    T operator[](std::size_t k) const { return data_.get()[k]; }
    std::span<const T> view() const { return {data_.get(), size_}; }

private:
    struct Free {
        void operator()(T* data) const { free_coefficients(data); }
    };
    std::unique_ptr<T, Free> data_;
    std::size_t size_;
};

// The integer spectrum of f in the narrowest exact lanes: int32 while n <= 30
// (|W| <= 2^30), int64 beyond.
Coefficients<std::int32_t> spectrum32(const FValue& f);
Coefficients<std::int64_t> spectrum64(const FValue& f);

// Calls body(std::span<const T>) with the integer spectrum of f.
template <class Body>
decltype(auto) with_spectrum(const FValue& f, Body&& body) {
    if (f.n_vars() <= 30) {
        const Coefficients<std::int32_t> w = spectrum32(f);
        return body(w.view());
    }
    const Coefficients<std::int64_t> w = spectrum64(f);
    return body(w.view());
}

// f̂(k) = float(W(k)) / float(N). N is a power of two, so dividing by it and
// multiplying by its exact reciprocal round the same real number: the same
// float, from a much cheaper instruction.
class Normaliser {
public:
    explicit Normaliser(std::uint64_t size) : inverse_(1.0f / static_cast<float>(size)) {}
    template <class T>
    float operator()(T w) const {
        return static_cast<float>(w) * inverse_;
    }

private:
    float inverse_;
};

}  // namespace detail

}  // namespace vexil
