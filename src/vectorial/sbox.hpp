// Vectorial Boolean functions ((n, m)-functions, S-boxes) held as tables of
// 2^n output words: entry x is F(x), bit v of x is variable v, bit j of F(x)
// is coordinate j.
//
// The tables (DDT, Walsh, LAT, BCT) are written into caller memory; the
// scalar measures stream the rows of those tables on the worker pool and never
// hold a whole table, so they reach n = 16 and beyond in a few MiB. Every loop
// polls for interrupts and reports progress through the pool.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace vexil::vectorial {

// Tables beyond 2^30 words would not fit the int32 Walsh values.
inline constexpr unsigned max_vars = 30;
inline constexpr unsigned max_outputs = 32;

struct Sbox {
    std::span<const std::uint32_t> table;  // 2^n words, each below 2^m
    unsigned n;
    unsigned m;

    std::uint64_t inputs() const { return std::uint64_t{1} << n; }
    std::uint64_t outputs() const { return std::uint64_t{1} << m; }
};

// A value of a table and how many entries hold it.
struct ValueCount {
    std::int64_t value;
    std::uint64_t count;
};

// out[a * 2^m + b] = #{x : F(x) ^ F(x ^ a) = b}.
void ddt_into(const Sbox& f, std::span<std::uint32_t> out);
// out[a * 2^m + b] = sum over x of (-1)^(b.F(x) ^ a.x); halved (the LAT) when `halve`.
void walsh_into(const Sbox& f, std::span<std::int32_t> out, bool halve);
// out[a * 2^n + b] = #{x : F^-1(F(x) ^ b) ^ F^-1(F(x ^ a) ^ b) = a}; F a permutation.
void bct_into(const Sbox& f, std::span<std::uint32_t> out);

// The largest DDT entry over a != 0 (0 for n = 0).
std::uint64_t differential_uniformity(const Sbox& f);
// DDT value -> number of entries holding it, over a != 0 and every b; ascending values.
std::vector<ValueCount> differential_spectrum(const Sbox& f);
// min of wt(a) + wt(b) over a != 0 and DDT[a, b] != 0; refused for n = 0,
// which has no a != 0 (the minimum of nothing).
std::int64_t differential_branch_number(const Sbox& f);
// The largest |W(a, b)| over b != 0 and every a.
std::uint64_t linearity(const Sbox& f);
// |W(a, b)| -> number of entries holding it, over b != 0 and every a; ascending values.
std::vector<ValueCount> walsh_spectrum_counts(const Sbox& f);
// min of wt(a) + wt(b) over b != 0 and W(a, b) != 0.
std::int64_t linear_branch_number(const Sbox& f);
// The largest BCT entry over a != 0 and b != 0; F a permutation (0 for n = 0).
std::uint64_t boomerang_uniformity(const Sbox& f);

// The largest degree of a coordinate (-1 when F is zero).
std::int64_t algebraic_degree(const Sbox& f);
// The smallest degree of a nonzero component b.F (-1 when some b.F is zero).
std::int64_t min_degree(const Sbox& f);

bool is_permutation(const Sbox& f);
// Every output value is taken 2^(n-m) times (false when m > n).
bool is_balanced(const Sbox& f);
// Cycle length -> number of cycles, ascending; F a permutation.
std::vector<ValueCount> cycle_type(const Sbox& f);

}  // namespace vexil::vectorial
