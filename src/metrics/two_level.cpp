#include "metrics/two_level.hpp"

#include "interrupt.hpp"
#include "memory_guard.hpp"
#include "progress.hpp"

#include <algorithm>
#include <array>
#include <stdexcept>

namespace vexil {

namespace {

// Minato–Morreale: for lower <= upper, split on a variable x both depend on
// (cofactors l0, l1, u0, u1). The cubes with ~x cover what of l0 the other
// half cannot (l0 & ~u1) inside u0; those with x the same for the other side;
// what either left uncovered goes to cubes without x, inside u0 & u1. Each
// call returns the function its cubes cover, which the caller needs to know
// what is left.
//
// Six variables or fewer fit one word, kept as a function of six variables
// (independent of the higher ones) so that cofactors stay words; larger
// tables split on their top variable into word halves.

constexpr std::array<std::uint64_t, 6> projections = {0xAAAAAAAAAAAAAAAAULL, 0xCCCCCCCCCCCCCCCCULL,
                                                      0xF0F0F0F0F0F0F0F0ULL, 0xFF00FF00FF00FF00ULL,
                                                      0xFFFF0000FFFF0000ULL, 0xFFFFFFFF00000000ULL};
constexpr std::uint64_t all_ones = ~std::uint64_t{0};

std::uint64_t cofactor0(std::uint64_t f, unsigned i) {
    const std::uint64_t low = f & ~projections[i];
    return low | (low << (1U << i));
}

std::uint64_t cofactor1(std::uint64_t f, unsigned i) {
    const std::uint64_t high = f & projections[i];
    return high | (high >> (1U << i));
}

// Each cube becomes a Python object of about this many bytes (a tuple of two
// ints in a list), besides its 16 bytes here: the memory guard is asked for
// both whenever the list doubles, so that a function with millions of cubes
// (parity: 2^(n-1)) is refused with MemoryError instead of exhausting memory.
constexpr std::uint64_t bytes_per_cube = 176;

void append(std::vector<Cube>& cubes, Cube cube) {
    if (cubes.size() == cubes.capacity()) {
        const std::size_t more = std::max<std::size_t>(1024, 2 * cubes.size());
        ensure_working_set(bytes_times(more, bytes_per_cube));
        cubes.reserve(more);
    }
    cubes.push_back(cube);
}

Cube with_literal(Cube path, unsigned v, bool positive) {
    const std::uint64_t bit = std::uint64_t{1} << v;
    return {path.mask | bit, positive ? path.values | bit : path.values};
}

class Isop {
public:
    explicit Isop(std::vector<Cube>& out) : out_(out) {}

    // Over the variables below k of one word.
    std::uint64_t word(std::uint64_t lower, std::uint64_t upper, unsigned k, Cube path) {
        if (lower == 0) return 0;
        if (upper == all_ones) {
            append(out_, path);
            return all_ones;
        }
        // lower is neither 0 nor (being inside upper) all ones, so it depends on a variable below k.
        unsigned i = k;
        std::uint64_t l0 = 0, l1 = 0, u0 = 0, u1 = 0;
        do {
            --i;
            l0 = cofactor0(lower, i);
            l1 = cofactor1(lower, i);
            u0 = cofactor0(upper, i);
            u1 = cofactor1(upper, i);
        } while (l0 == l1 && u0 == u1);
        if ((++calls_ & 0xFFF) == 0) check_interrupt();
        const std::uint64_t r0 = word(l0 & ~u1, u0, i, with_literal(path, i, false));
        const std::uint64_t r1 = word(l1 & ~u0, u1, i, with_literal(path, i, true));
        const std::uint64_t rest = word((l0 & ~r0) | (l1 & ~r1), u0 & u1, i, path);
        return (r0 & ~projections[i]) | (r1 & projections[i]) | rest;
    }

    // Over the k >= 6 variables of 2^(k-6) words at lower and upper; what the
    // cubes cover goes to result (as many words).
    void table(const std::uint64_t* lower, const std::uint64_t* upper, unsigned k, Cube path, std::uint64_t* result) {
        if (k == 6) {
            result[0] = word(lower[0], upper[0], 6, path);
            return;
        }
        const std::size_t size = std::size_t{1} << (k - 6);
        if (std::all_of(lower, lower + size, [](std::uint64_t w) { return w == 0; })) {
            std::fill(result, result + size, 0);
            return;
        }
        if (std::all_of(upper, upper + size, [](std::uint64_t w) { return w == all_ones; })) {
            append(out_, path);
            std::fill(result, result + size, all_ones);
            return;
        }
        check_interrupt();
        const std::size_t half = size / 2;
        const std::uint64_t* const l0 = lower;
        const std::uint64_t* const l1 = lower + half;
        const std::uint64_t* const u0 = upper;
        const std::uint64_t* const u1 = upper + half;
        std::uint64_t* const r0 = result;
        std::uint64_t* const r1 = result + half;
        if (std::equal(l0, l0 + half, l1) && std::equal(u0, u0 + half, u1)) {
            table(l0, u0, k - 1, path, r0);
            std::copy(r0, r0 + half, r1);
            return;
        }
        std::vector<std::uint64_t> scratch(3 * half);
        std::uint64_t* const left = scratch.data();
        std::uint64_t* const inside = left + half;
        std::uint64_t* const rest = inside + half;
        for (std::size_t w = 0; w < half; ++w) left[w] = l0[w] & ~u1[w];
        table(left, u0, k - 1, with_literal(path, k - 1, false), r0);
        for (std::size_t w = 0; w < half; ++w) left[w] = l1[w] & ~u0[w];
        table(left, u1, k - 1, with_literal(path, k - 1, true), r1);
        for (std::size_t w = 0; w < half; ++w) {
            left[w] = (l0[w] & ~r0[w]) | (l1[w] & ~r1[w]);
            inside[w] = u0[w] & u1[w];
        }
        table(left, inside, k - 1, path, rest);
        for (std::size_t w = 0; w < half; ++w) {
            r0[w] |= rest[w];
            r1[w] |= rest[w];
        }
    }

private:
    std::vector<Cube>& out_;
    std::uint64_t calls_ = 0;
};

// A table of n < 6 variables as a word of six: repeated.
std::uint64_t widened(std::uint64_t word, unsigned n) {
    const std::uint64_t bits = std::uint64_t{1} << n;
    word &= bits == 64 ? all_ones : (std::uint64_t{1} << bits) - 1;
    for (std::uint64_t width = bits; width < 64; width *= 2) word |= word << width;
    return word;
}

void check_words(std::span<const std::uint64_t> words, unsigned n) {
    if (words.size() != (n < 6 ? 1 : std::size_t{1} << (n - 6))) {
        throw std::invalid_argument("a packed table has the wrong number of words");
    }
}

}  // namespace

std::vector<Cube> packed_isop(std::span<const std::uint64_t> lower, std::span<const std::uint64_t> upper, unsigned n) {
    check_words(lower, n);
    check_words(upper, n);
    for (std::size_t w = 0; w < lower.size(); ++w) {
        if ((lower[w] & ~upper[w]) != 0) throw std::invalid_argument("the lower table is not inside the upper one");
    }
    std::vector<Cube> cubes;
    Isop isop(cubes);
    if (n <= 6) {
        isop.word(widened(lower[0], n), widened(upper[0], n), n, {0, 0});
        return cubes;
    }
    // Result and scratch: at most 4 * 2^(n-6) words along one path of the recursion.
    ensure_working_set(bytes_times(lower.size(), 4 * sizeof(std::uint64_t)));
    std::vector<std::uint64_t> covered(lower.size());
    isop.table(lower.data(), upper.data(), n, {0, 0}, covered.data());
    return cubes;
}

std::vector<Cube> packed_prime_implicants(std::span<const std::uint64_t> words, unsigned n) {
    if (n > prime_implicants_max_vars) throw std::invalid_argument("prime implicants take at most 14 variables");
    check_words(words, n);
    std::array<std::uint64_t, prime_implicants_max_vars + 1> power{};
    power[0] = 1;
    for (unsigned i = 1; i <= n; ++i) power[i] = 3 * power[i - 1];
    const std::uint64_t cells = power[n];
    ensure_working_set(cells);
    // implicant[c]: f is true on all of subcube c. A subcube with a free
    // variable is the union of its two halves on the lowest one.
    std::vector<std::uint8_t> implicant(cells);
    std::array<std::uint8_t, prime_implicants_max_vars> digit{};
    plan_progress(2 * cells);
    ProgressCounter* const progress = detail::current_progress;
    constexpr std::uint64_t block = std::uint64_t{1} << 16;
    for (std::uint64_t c = 0; c < cells; ++c) {
        unsigned i = 0;
        while (i < n && digit[i] != 2) ++i;
        if (i == n) {
            std::uint64_t x = 0;
            for (unsigned v = 0; v < n; ++v) x |= std::uint64_t{digit[v]} << v;
            implicant[c] = static_cast<std::uint8_t>((words[x / 64] >> (x % 64)) & 1U);
        } else {
            implicant[c] = static_cast<std::uint8_t>(implicant[c - 2 * power[i]] & implicant[c - power[i]]);
        }
        for (unsigned v = 0; v < n && ++digit[v] == 3; ++v) digit[v] = 0;
        if ((c + 1) % block == 0) {
            check_interrupt();
            if (progress != nullptr) progress->advance(block);
        }
    }
    // Prime: no fixed variable can be freed.
    std::vector<Cube> primes;
    digit.fill(0);
    for (std::uint64_t c = 0; c < cells; ++c) {
        if (implicant[c] != 0) {
            bool prime = true;
            Cube cube{0, 0};
            for (unsigned v = 0; v < n; ++v) {
                if (digit[v] == 2) continue;
                cube.mask |= std::uint64_t{1} << v;
                cube.values |= std::uint64_t{digit[v]} << v;
                if (implicant[c + (2 - digit[v]) * power[v]] != 0) {
                    prime = false;
                    break;
                }
            }
            if (prime) append(primes, cube);
        }
        for (unsigned v = 0; v < n && ++digit[v] == 3; ++v) digit[v] = 0;
        if ((c + 1) % block == 0) {
            check_interrupt();
            if (progress != nullptr) progress->advance(block);
        }
    }
    return primes;
}

}  // namespace vexil
