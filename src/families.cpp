#include "families.hpp"

#include "interrupt.hpp"
#include "memory_guard.hpp"
#include "panic.hpp"

#include <algorithm>
#include <bit>
#include <numeric>
#include <vector>

namespace vexil {

namespace {

// The entries of a table over `vars` variables, all zero.
std::vector<std::uint8_t> blank_table(std::uint64_t vars) {
    if (vars >= 63) panic("capacity overflow");
    const std::uint64_t size = std::uint64_t{1} << vars;
    ensure_allocatable(size);
    return std::vector<std::uint8_t>(size);
}

// Fills entry i with pred(i), asking now and then whether to stop.
template <typename Pred>
void fill(std::vector<std::uint8_t>& table, Pred pred) {
    const std::uint64_t size = table.size();
    constexpr std::uint64_t chunk = 1 << 16;
    for (std::uint64_t begin = 0; begin < size; begin += chunk) {
        const std::uint64_t end = std::min(size, begin + chunk);
        for (std::uint64_t i = begin; i < end; ++i) table[i] = pred(i) ? 1 : 0;
        check_interrupt();
    }
}

// sieve[s] == 1 exactly when s is prime, for s < limit.
std::vector<std::uint8_t> prime_sieve(std::uint64_t limit) {
    ensure_allocatable(limit);
    std::vector<std::uint8_t> sieve(limit, 1);
    for (std::uint64_t s = 0; s < std::min<std::uint64_t>(limit, 2); ++s) sieve[s] = 0;
    for (std::uint64_t p = 2; p * p < limit; ++p) {
        if (sieve[p] == 0) continue;
        for (std::uint64_t q = p * p; q < limit; q += p) sieve[q] = 0;
        check_interrupt();
    }
    return sieve;
}

// Fills entry i with pred(popcount(i)). Rows of 256 entries share the count
// of their high bits, so each row is a byte-wise table lookup that vectorises.
template <typename Pred>
void fill_by_popcount(std::vector<std::uint8_t>& table, Pred pred) {
    const std::uint64_t size = table.size();
    std::uint8_t low_count[256];
    for (unsigned b = 0; b < 256; ++b) low_count[b] = static_cast<std::uint8_t>(std::popcount(b));
    std::uint8_t row[9];  // row[c] = pred(high + c)
    for (std::uint64_t begin = 0; begin < size; begin += 256) {
        const unsigned high = static_cast<unsigned>(std::popcount(begin));
        for (unsigned c = 0; c <= 8; ++c) row[c] = pred(high + c) ? 1 : 0;
        const std::uint64_t end = std::min<std::uint64_t>(size, begin + 256);
        std::uint8_t* out = table.data() + begin;
        for (std::uint64_t i = 0; i < end - begin; ++i) out[i] = row[low_count[i]];
        if ((begin & 0xFFFFF) == 0) check_interrupt();
    }
}

}  // namespace

FValue majority(std::uint64_t n) {
    std::vector<std::uint8_t> table = blank_table(n);
    const std::uint64_t threshold = n / 2;
    fill_by_popcount(table, [&](unsigned ones) { return ones > threshold; });
    return FValue(std::move(table));
}

FValue parity(std::uint64_t n) {
    std::vector<std::uint8_t> table = blank_table(n);
    fill_by_popcount(table, [](unsigned ones) { return ones % 2 == 0; });
    return FValue(std::move(table));
}

FValue coprimes(std::uint64_t n) {
    std::vector<std::uint8_t> table = blank_table(n >= 32 ? 63 : 2 * n);
    const std::uint64_t low_mask = (std::uint64_t{1} << n) - 1;
    fill(table, [&](std::uint64_t i) { return std::gcd(i >> n, i & low_mask) == 1; });
    return FValue(std::move(table));
}

FValue primality(std::uint64_t n) {
    std::vector<std::uint8_t> table = blank_table(n);
    const std::vector<std::uint8_t> prime = prime_sieve(table.size());
    // The family counts 1 as prime.
    fill(table, [&](std::uint64_t i) { return i == 1 || prime[i] != 0; });
    return FValue(std::move(table));
}

FValue sum_is_prime(std::uint64_t n) {
    std::vector<std::uint8_t> table = blank_table(n >= 32 ? 63 : 2 * n);
    const std::uint64_t half = std::uint64_t{1} << n;
    const std::vector<std::uint8_t> prime = prime_sieve(2 * half - 1);
    fill(table, [&](std::uint64_t i) { return prime[(i >> n) + (i & (half - 1))] != 0; });
    return FValue(std::move(table));
}

FValue clique(std::uint64_t n) {
    std::vector<std::uint8_t> table = blank_table(n >= 12 ? 63 : n * (n + 1) / 2);
    const unsigned vertices = static_cast<unsigned>(n);
    const unsigned k = vertices / 2;
    const unsigned edge_bits = vertices * (vertices - (vertices > 0 ? 1 : 0)) / 2;
    auto edge = [&](unsigned u, unsigned v) { return u * (2 * vertices - u - 1) / 2 + (v - u - 1); };
    // Mark the edge set of every k-subset, then close upwards: a graph holds a
    // k-clique exactly when its edge set contains one of those sets. The n
    // highest variables are never read, so the low 2^edge_bits entries repeat.
    const std::uint64_t graphs = std::uint64_t{1} << edge_bits;
    for (std::uint64_t subset = 0; subset < (std::uint64_t{1} << vertices); ++subset) {
        if (static_cast<unsigned>(std::popcount(subset)) != k) continue;
        std::uint64_t mask = 0;
        for (unsigned u = 0; u < vertices; ++u) {
            for (unsigned v = u + 1; v < vertices; ++v) {
                if ((subset >> u & 1) && (subset >> v & 1)) mask |= std::uint64_t{1} << edge(u, v);
            }
        }
        table[mask] = 1;
    }
    for (unsigned bit = 0; bit < edge_bits; ++bit) {
        const std::uint64_t step = std::uint64_t{1} << bit;
        for (std::uint64_t x = 0; x < graphs; ++x) {
            if (x & step) table[x] |= table[x ^ step];
        }
        check_interrupt();
    }
    for (std::uint64_t copy = graphs; copy < table.size(); copy += graphs) {
        std::copy_n(table.begin(), graphs, table.begin() + static_cast<std::ptrdiff_t>(copy));
        check_interrupt();
    }
    return FValue(std::move(table));
}

FValue from_number(std::uint64_t number, std::uint64_t num_vars) {
    std::vector<std::uint8_t> table = blank_table(num_vars);
    fill(table, [&](std::uint64_t i) { return (number >> (i % 64)) & 1; });
    return FValue(std::move(table));
}

}  // namespace vexil
