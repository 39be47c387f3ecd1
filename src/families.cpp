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

// Iterations between two calls of check_interrupt(): at most about a tenth of
// a millisecond of the loops below. check_interrupt() looks at the clock only
// on every 64th call, so a stop request is still seen within a few milliseconds.
constexpr std::uint64_t piece = std::uint64_t{1} << 12;

// Runs body(begin, end) over [0, count) in pieces, asking after each whether to stop.
template <typename Body>
void in_pieces(std::uint64_t count, Body body) {
    for (std::uint64_t begin = 0; begin < count; begin += piece) {
        body(begin, std::min(count, begin + piece));
        check_interrupt();
    }
}

// `size` entries of `value`, written piece by piece: for a large table the
// writing alone takes seconds.
std::vector<std::uint8_t> filled_entries(std::uint64_t size, std::uint8_t value) {
    ensure_allocatable(size);
    ensure_working_set(size);
    std::vector<std::uint8_t> entries;
    entries.reserve(size);
    constexpr std::uint64_t step = piece * 16;  // memset runs at several bytes a nanosecond
    while (entries.size() < size) {
        entries.resize(std::min(size, entries.size() + step), value);
        check_interrupt();
    }
    return entries;
}

// The entries of a table over `vars` variables, all `value`.
std::vector<std::uint8_t> constant_table(std::uint64_t vars, std::uint8_t value = 0) {
    if (vars >= 63) panic("capacity overflow");
    return filled_entries(std::uint64_t{1} << vars, value);
}

// Fills entry i with pred(i), asking now and then whether to stop.
template <typename Pred>
void fill(std::vector<std::uint8_t>& table, Pred pred) {
    in_pieces(table.size(), [&](std::uint64_t begin, std::uint64_t end) {
        for (std::uint64_t i = begin; i < end; ++i) table[i] = pred(i) ? 1 : 0;
    });
}

// Clears sieve[q] for every composite q below sieve.size(); the caller sets
// the entries below 2. For small p the multiples run into the hundreds of
// millions, so they are crossed off in pieces too.
void cross_off_composites(std::vector<std::uint8_t>& sieve) {
    const std::uint64_t limit = sieve.size();
    for (std::uint64_t p = 2; p * p < limit; ++p) {
        if (sieve[p] == 0) continue;
        const std::uint64_t first = p * p;
        in_pieces((limit - 1 - first) / p + 1, [&](std::uint64_t begin, std::uint64_t end) {
            for (std::uint64_t q = first + begin * p; q < first + end * p; q += p) sieve[q] = 0;
        });
    }
}

// sieve[s] == 1 exactly when s is prime, for s < limit.
std::vector<std::uint8_t> prime_sieve(std::uint64_t limit) {
    std::vector<std::uint8_t> sieve = filled_entries(limit, 1);
    for (std::uint64_t s = 0; s < std::min<std::uint64_t>(limit, 2); ++s) sieve[s] = 0;
    cross_off_composites(sieve);
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
        if ((begin & (piece - 1)) == 0) check_interrupt();
    }
}

}  // namespace

FValue majority(std::uint64_t n) {
    std::vector<std::uint8_t> table = constant_table(n);
    const std::uint64_t threshold = n / 2;
    fill_by_popcount(table, [&](unsigned ones) { return ones > threshold; });
    return FValue(std::move(table));
}

FValue parity(std::uint64_t n) {
    std::vector<std::uint8_t> table = constant_table(n);
    fill_by_popcount(table, [](unsigned ones) { return ones % 2 == 0; });
    return FValue(std::move(table));
}

FValue coprimes(std::uint64_t n) {
    std::vector<std::uint8_t> table = constant_table(n >= 32 ? 63 : 2 * n);
    const std::uint64_t low_mask = (std::uint64_t{1} << n) - 1;
    fill(table, [&](std::uint64_t i) { return std::gcd(i >> n, i & low_mask) == 1; });
    return FValue(std::move(table));
}

FValue primality(std::uint64_t n) {
    // The table is its own sieve. The family counts 1 as prime.
    std::vector<std::uint8_t> table = constant_table(n, 1);
    table[0] = 0;
    cross_off_composites(table);
    return FValue(std::move(table));
}

FValue sum_is_prime(std::uint64_t n) {
    std::vector<std::uint8_t> table = constant_table(n >= 32 ? 63 : 2 * n);
    const std::uint64_t half = std::uint64_t{1} << n;
    const std::vector<std::uint8_t> prime = prime_sieve(2 * half - 1);
    fill(table, [&](std::uint64_t i) { return prime[(i >> n) + (i & (half - 1))] != 0; });
    return FValue(std::move(table));
}

FValue clique(std::uint64_t n) {
    std::vector<std::uint8_t> table = constant_table(n >= 12 ? 63 : n * (n + 1) / 2);
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
        in_pieces(graphs, [&](std::uint64_t begin, std::uint64_t end) {
            for (std::uint64_t x = begin; x < end; ++x) {
                if (x & step) table[x] |= table[x ^ step];
            }
        });
    }
    for (std::uint64_t copy = graphs; copy < table.size(); copy += graphs) {
        in_pieces(graphs, [&](std::uint64_t begin, std::uint64_t end) {
            std::copy(table.begin() + static_cast<std::ptrdiff_t>(begin),
                      table.begin() + static_cast<std::ptrdiff_t>(end),
                      table.begin() + static_cast<std::ptrdiff_t>(copy + begin));
        });
    }
    return FValue(std::move(table));
}

FValue from_number(std::uint64_t number, std::uint64_t num_vars) {
    std::vector<std::uint8_t> table = constant_table(num_vars);
    fill(table, [&](std::uint64_t i) { return (number >> (i % 64)) & 1; });
    return FValue(std::move(table));
}

}  // namespace vexil
