#include "vectorial/boolean_classes5.hpp"

#include "interrupt.hpp"
#include "panic.hpp"
#include "progress.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <functional>

namespace vexil::vectorial {

namespace {

// A table is held as a key: bit 31 - x is f(x), so that comparing keys as
// integers compares tables in lexicographic order of f(0), f(1), ... The
// least member of a coset of RM(1, 5) has f(0) = f(e_i) = 0, key bits 31, 30,
// 29, 27, 23 and 15; its other 26 bits, packed in order, are the coset's
// index, and indices compare as the least members do.
constexpr unsigned key_bit(unsigned x) { return 31 - x; }

constexpr std::uint32_t variable_key(unsigned i) {
    std::uint32_t key = 0;
    for (unsigned x = 0; x < 32; ++x) key |= ((x >> i) & 1U) << key_bit(x);
    return key;
}

constexpr std::array<std::uint32_t, 5> variable_keys{variable_key(0), variable_key(1), variable_key(2), variable_key(3),
                                                     variable_key(4)};

// The coset's least member: the constant and the linear terms that zero f(0)
// and every f(e_i).
constexpr std::uint32_t least_member(std::uint32_t key) {
    // Branch-free: the bits tested are as good as random along an orbit.
    key ^= 0U - ((key >> key_bit(0)) & 1U);
    for (unsigned i = 0; i < 5; ++i) key ^= (0U - ((key >> key_bit(1U << i)) & 1U)) & variable_keys[i];
    return key;
}

constexpr std::uint32_t pack(std::uint32_t key) {
    return (key & 0x7FFFU) | ((key >> 1) & (0x7FU << 15)) | ((key >> 2) & (0x7U << 22)) | ((key >> 3) & (1U << 25));
}

constexpr std::uint32_t unpack(std::uint32_t index) {
    return (index & 0x7FFFU) | ((index & (0x7FU << 15)) << 1) | ((index & (0x7U << 22)) << 2) |
           ((index & (1U << 25)) << 3);
}

constexpr unsigned cosets = 1U << 26;
static_assert(unpack(cosets - 1) == ~((1U << key_bit(0)) | (1U << key_bit(1)) | (1U << key_bit(2)) |
                                      (1U << key_bit(4)) | (1U << key_bit(8)) | (1U << key_bit(16))));
static_assert(pack(unpack(cosets - 1)) == cosets - 1);

// g(x) = f(s(x)) for a map s of the points, applied to a key a byte at a time:
// key bit key_bit(s(x)) moves to key_bit(x).
struct PointMap {
    std::array<std::array<std::uint32_t, 256>, 4> bytes{};

    explicit PointMap(const std::function<unsigned(unsigned)>& s) {
        std::array<unsigned, 32> to{};
        for (unsigned x = 0; x < 32; ++x) to[key_bit(s(x))] = key_bit(x);
        for (unsigned k = 0; k < 4; ++k) {
            for (unsigned b = 0; b < 256; ++b) {
                std::uint32_t out = 0;
                for (unsigned j = 0; j < 8; ++j) {
                    if ((b >> j) & 1U) out |= std::uint32_t{1} << to[8 * k + j];
                }
                bytes[k][b] = out;
            }
        }
    }

    std::uint32_t operator()(std::uint32_t key) const {
        return bytes[0][key & 0xFFU] | bytes[1][(key >> 8) & 0xFFU] | bytes[2][(key >> 16) & 0xFFU] |
               bytes[3][key >> 24];
    }
};

// Generators of AGL(5, 2): S_5 from a transposition and a 5-cycle of the
// variables, GL(5, 2) with the transvection x0 ^= x1, and a translation.
std::vector<PointMap> generators() {
    std::vector<PointMap> maps;
    maps.emplace_back([](unsigned x) { return (x & ~3U) | ((x & 1U) << 1) | ((x >> 1) & 1U); });
    maps.emplace_back([](unsigned x) { return ((x << 1) | (x >> 4)) & 31U; });
    maps.emplace_back([](unsigned x) { return x ^ ((x >> 1) & 1U); });
    maps.emplace_back([](unsigned x) { return x ^ 1U; });
    return maps;
}

void walsh(std::array<int, 32>& w) {
    for (unsigned h = 1; h < 32; h <<= 1) {
        for (unsigned x = 0; x < 32; ++x) {
            if ((x & h) == 0) {
                const int a = w[x], b = w[x | h];
                w[x] = a + b;
                w[x | h] = a - b;
            }
        }
    }
}

// The counts of |W(u)| / 2 = 0, ..., 16 over u, of the function `table` (bit x = f(x)).
std::array<std::uint32_t, 17> abs_walsh_counts(std::uint32_t table) {
    std::array<int, 32> w{};
    for (unsigned x = 0; x < 32; ++x) w[x] = ((table >> x) & 1U) ? -1 : 1;
    walsh(w);
    std::array<std::uint32_t, 17> counts{};
    for (const int v : w) ++counts[static_cast<unsigned>(v < 0 ? -v : v) / 2];
    return counts;
}

unsigned degree(std::uint32_t table) {
    // The algebraic normal form by the Moebius transform, in place on the bits.
    constexpr std::array<std::uint32_t, 5> low{0x55555555U, 0x33333333U, 0x0F0F0F0FU, 0x00FF00FFU, 0x0000FFFFU};
    for (unsigned i = 0; i < 5; ++i) table ^= (table & low[i]) << (1U << i);
    unsigned d = 0;
    for (unsigned x = 0; x < 32; ++x) {
        if ((table >> x) & 1U) d = std::max(d, static_cast<unsigned>(std::popcount(x)));
    }
    return d;
}

// The table of f(x ^ a).
std::uint32_t shifted(std::uint32_t table, unsigned a) {
    std::uint32_t out = 0;
    for (unsigned x = 0; x < 32; ++x) out |= ((table >> (x ^ a)) & 1U) << x;
    return out;
}

}  // namespace

std::vector<AffineCanonical> boolean_classes5() {
    const std::vector<PointMap> maps = generators();
    std::vector<std::uint64_t> visited(cosets / 64, 0);
    auto mark = [&](std::uint32_t index) {
        std::uint64_t& word = visited[index / 64];
        const std::uint64_t bit = std::uint64_t{1} << (index % 64);
        if (word & bit) return false;
        word |= bit;
        return true;
    };
    ProgressCounter* const progress = detail::current_progress;
    if (progress != nullptr) progress->plan(cosets);
    const std::uint64_t group = affine_group_order(5);
    std::vector<AffineCanonical> classes;
    std::vector<std::uint32_t> stack;
    std::uint64_t total = 0;
    for (std::uint32_t start = 0; start < cosets; ++start) {
        // Indices are met in increasing order: the first one of an orbit is its least.
        if (!mark(start)) continue;
        stack.assign(1, start);
        std::uint64_t size = 0;
        while (!stack.empty()) {
            const std::uint32_t key = unpack(stack.back());
            stack.pop_back();
            if ((++size & 0xFFFU) == 0) {
                check_interrupt();
                if (progress != nullptr) progress->advance(0x1000U);
            }
            for (const PointMap& map : maps) {
                const std::uint32_t next = pack(least_member(map(key)));
                if (mark(next)) stack.push_back(next);
            }
        }
        if (progress != nullptr) progress->advance(size & 0xFFFU);
        if (group % size != 0) panic("boolean classes: an orbit's size does not divide the group's order");
        AffineCanonical found{std::vector<std::uint32_t>(32), group / size};
        const std::uint32_t key = unpack(start);
        for (unsigned x = 0; x < 32; ++x) found.table[x] = (key >> key_bit(x)) & 1U;
        classes.push_back(std::move(found));
        total += size;
    }
    if (total != cosets) panic("boolean classes: the orbits do not cover every coset");
    return classes;
}

std::vector<std::uint32_t> boolean_affine_key5(std::uint32_t table) {
    // Adding an affine l keeps the degree of a function but that of an affine one: those count as 0.
    const unsigned d = degree(table);
    std::vector<std::uint32_t> key{d >= 2 ? d : 0};
    const std::array<std::uint32_t, 17> own = abs_walsh_counts(table);
    key.insert(key.end(), own.begin(), own.end());
    std::vector<std::array<std::uint32_t, 18>> records;
    for (unsigned a = 1; a < 32; ++a) {
        const std::uint32_t derivative = table ^ shifted(table, a);
        const auto r = static_cast<int>(32 - 2 * std::popcount(derivative));
        std::array<std::uint32_t, 18> record{static_cast<std::uint32_t>(r < 0 ? -r : r)};
        const std::array<std::uint32_t, 17> counts = abs_walsh_counts(derivative);
        std::copy(counts.begin(), counts.end(), record.begin() + 1);
        records.push_back(record);
    }
    std::ranges::sort(records);
    for (const auto& record : records) key.insert(key.end(), record.begin(), record.end());
    return key;
}

}  // namespace vexil::vectorial
