#include "metrics/restrictions.hpp"

#include "interrupt.hpp"
#include "memory_guard.hpp"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <new>
#include <utility>

namespace vexil {

namespace {

using detail::index_bit_lanes;

// Exchanges index bits a < b of a packed table: entry x with bit a set and
// bit b clear trades places with x - 2^a + 2^b.
void swap_index_bits(std::uint64_t* w, std::size_t count, unsigned a, unsigned b) {
    if (b < 6) {
        const std::uint64_t mask = index_bit_lanes[a] & ~index_bit_lanes[b];
        const unsigned shift = (1U << b) - (1U << a);
        for (std::size_t i = 0; i < count; ++i) {
            const std::uint64_t x = w[i];
            const std::uint64_t t = ((x >> shift) ^ x) & mask;
            w[i] = x ^ t ^ (t << shift);
        }
    } else if (a < 6) {
        const unsigned shift = 1U << a;
        const std::uint64_t mask = ~index_bit_lanes[a];
        const std::size_t stride = std::size_t{1} << (b - 6);
        for (std::size_t base = 0; base < count; base += 2 * stride) {
            std::uint64_t* lo = w + base;
            std::uint64_t* hi = lo + stride;
            for (std::size_t i = 0; i < stride; ++i) {
                const std::uint64_t t = ((lo[i] >> shift) ^ hi[i]) & mask;
                hi[i] ^= t;
                lo[i] ^= t << shift;
            }
        }
    } else {
        const std::size_t sa = std::size_t{1} << (a - 6);
        const std::size_t sb = std::size_t{1} << (b - 6);
        for (std::size_t base = 0; base < count; base += 2 * sb) {
            for (std::size_t block = base; block < base + sb; block += 2 * sa) {
                std::uint64_t* x = w + block + sa;
                std::uint64_t* y = w + block + sb;
                for (std::size_t i = 0; i < sa; ++i) std::swap(x[i], y[i]);
            }
        }
    }
}

constexpr std::uint64_t kMul = 0x9E3779B97F4A7C15ULL;

std::uint64_t finish(std::uint64_t x) {
    x ^= x >> 32;
    x *= 0xD6E8FEB86659FD93ULL;
    x ^= x >> 32;
    x *= 0xD6E8FEB86659FD93ULL;
    x ^= x >> 32;
    return x;
}

// Hash of a run of words. Four independent lanes keep the multiplier busy;
// equal hashes are always confirmed by comparing the rows.
[[gnu::always_inline]] inline std::uint64_t hash_words(const std::uint64_t* w, std::size_t count) {
    std::uint64_t a = 0x243F6A8885A308D3ULL, b = 0x13198A2E03707344ULL;
    std::uint64_t c = 0xA4093822299F31D0ULL, d = 0x082EFA98EC4E6C89ULL;
    std::size_t i = 0;
    for (; i + 4 <= count; i += 4) {
        a = std::rotl((a ^ w[i]) * kMul, 27);
        b = std::rotl((b ^ w[i + 1]) * 0xC2B2AE3D27D4EB4FULL, 27);
        c = std::rotl((c ^ w[i + 2]) * 0x165667B19E3779F9ULL, 27);
        d = std::rotl((d ^ w[i + 3]) * 0xFF51AFD7ED558CCDULL, 27);
    }
    for (; i < count; ++i) a = std::rotl((a ^ w[i]) * kMul, 27);
    return finish(a ^ std::rotl(b, 16) ^ std::rotl(c, 32) ^ std::rotl(d, 48));
}

// Rows are short and mostly equal when compared: a plain loop beats a call.
bool same_words(const std::uint64_t* a, const std::uint64_t* b, std::size_t count) {
    std::uint64_t diff = 0;
    for (std::size_t i = 0; i < count; ++i) diff |= a[i] ^ b[i];
    return diff == 0;
}

struct UnitWeight {
    std::uint64_t operator()(std::uint64_t) const { return 1; }
};

struct FactorWeight {
    std::span<const std::uint64_t> factors;
    std::uint64_t operator()(std::uint64_t row) const {
        std::uint64_t weight = 1;
        for (; row != 0; row &= row - 1) weight *= factors[static_cast<unsigned>(std::countr_zero(row))];
        return weight;
    }
};

// A sorted variable list seen as: the distinct variables below n (as a mask,
// with their multiplicities) and the number of entries of n or more.
struct ListShape {
    unsigned n = 0;
    unsigned m = 0;
    unsigned out_of_range = 0;
    bool repeats = false;
    std::uint64_t fixed = 0;
    std::array<unsigned, 64> multiplicity{};
};

ListShape shape_of(const FValue& f, std::span<const std::uint64_t> vars) {
    // The restrictions are defined over 2^m assignments; refuse lists whose
    // assignments could not even be counted in memory.
    if (vars.size() >= 64) throw std::bad_alloc();
    ensure_allocatable(std::uint64_t{1} << vars.size(), sizeof(std::uint64_t));
    ListShape shape;
    shape.n = f.n_vars();
    // The packed table laid out for the list, and a class id and a hash slot
    // for each of the 2^m assignments.
    ensure_working_set(bytes_plus(bytes_times(packed_table_bytes(shape.n), 2),
                                  bytes_times(std::uint64_t{1} << vars.size(), 3 * sizeof(std::uint64_t))));
    shape.m = static_cast<unsigned>(vars.size());
    for (const std::uint64_t v : vars) {
        if (v >= shape.n) {
            ++shape.out_of_range;
        } else {
            if (shape.multiplicity[v]++ != 0) shape.repeats = true;
            shape.fixed |= std::uint64_t{1} << v;
        }
    }
    return shape;
}

// Lays f out with the fixed variables high and classifies its rows.
struct ListRows {
    detail::SlotTable table;
    detail::RowClasses classes;
    unsigned d = 0;
    unsigned r = 0;
};

void classify_list(const FValue& f, const ListShape& shape, bool weighted, ListRows& rows) {
    rows.table.assign(detail::pack_table(f), shape.n);
    rows.table.arrange(shape.fixed);
    rows.d = static_cast<unsigned>(std::popcount(shape.fixed));
    rows.r = shape.n - rows.d;
    if (!weighted || !shape.repeats) {
        rows.classes.classify(rows.table.words(), rows.d, rows.r);
        return;
    }
    // k copies of a variable: the variable is set by 2^k - 1 of their 2^k assignments.
    std::vector<std::uint64_t> factors(rows.d);
    for (unsigned t = 0; t < rows.d; ++t) {
        factors[t] = (std::uint64_t{1} << shape.multiplicity[rows.table.var_at(rows.r + t)]) - 1;
    }
    rows.classes.classify_weighted(rows.table.words(), rows.d, rows.r, factors);
}

}  // namespace

std::uint64_t restriction_count(const FValue& f, std::span<const std::uint64_t> vars) {
    const ListShape shape = shape_of(f, vars);
    ListRows rows;
    classify_list(f, shape, false, rows);
    std::uint64_t count = rows.classes.counts().size();
    // Assignments that set an out-of-range variable give the all-false restriction.
    if (shape.out_of_range > 0 && rows.classes.zero_class() < 0) ++count;
    return count;
}

float restriction_entropy(const FValue& f, std::span<const std::uint64_t> vars) {
    const ListShape shape = shape_of(f, vars);
    ListRows rows;
    classify_list(f, shape, true, rows);
    if (shape.out_of_range > 0) {
        // Of the 2^m assignments, 2^(m - o) leave every out-of-range bit clear.
        const std::uint64_t all_false =
            (std::uint64_t{1} << shape.m) - (std::uint64_t{1} << (shape.m - shape.out_of_range));
        if (rows.classes.zero_class() >= 0) {
            rows.classes.counts()[static_cast<std::size_t>(rows.classes.zero_class())] += all_false;
        } else {
            rows.classes.add_class(all_false);
        }
    }
    return rows.classes.entropy(shape.m);
}

namespace detail {

void SlotTable::assign(const std::vector<std::uint64_t>& packed, unsigned n) {
    words_.assign(packed.begin(), packed.end());
    identity_slots(n);
}

void SlotTable::assign(std::vector<std::uint64_t>&& packed, unsigned n) {
    words_ = std::move(packed);
    identity_slots(n);
}

void SlotTable::identity_slots(unsigned n) {
    n_ = n;
    for (unsigned v = 0; v < 64; ++v) {
        slot_of_[v] = static_cast<std::uint8_t>(v);
        var_at_[v] = static_cast<std::uint8_t>(v);
    }
}

void SlotTable::swap_slots(unsigned a, unsigned b) {
    if (a == b) return;
    if (a > b) std::swap(a, b);
    swap_index_bits(words_.data(), words_.size(), a, b);
    std::swap(var_at_[a], var_at_[b]);
    slot_of_[var_at_[a]] = static_cast<std::uint8_t>(a);
    slot_of_[var_at_[b]] = static_cast<std::uint8_t>(b);
}

void SlotTable::arrange(std::uint64_t high) {
    unsigned next = 0;
    for (unsigned v = 0; v < n_; ++v) {
        if ((high >> v) & 1U) continue;
        swap_slots(next, slot_of_[v]);
        ++next;
    }
}

void RowClasses::prepare_hash(std::uint64_t max_classes) {
    // Class ids are 32-bit; so many classes would not fit in memory anyway.
    if (max_classes > (std::uint64_t{1} << 31)) throw std::bad_alloc();
    // A quarter full at most: most lookups end at their first slot.
    const std::uint64_t capacity = std::bit_ceil(std::max<std::uint64_t>(16, 4 * max_classes));
    if (table_.size() < capacity) {
        ensure_allocatable(capacity, sizeof(std::uint64_t));
        table_.resize(capacity, 0);
    }
    hash_shift_ = 64U - static_cast<unsigned>(std::countr_zero(capacity));
    hash_mask_ = capacity - 1;
}

template <class Weight>
std::uint64_t RowClasses::run(const std::uint64_t* words, unsigned d, unsigned r, const Weight& weight) {
    counts_.clear();
    zero_class_ = -1;
    const std::uint64_t rows = std::uint64_t{1} << d;
    auto new_class = [&](bool zero) {
        counts_.push_back(0);
        if (zero) zero_class_ = static_cast<std::int64_t>(counts_.size() - 1);
        return static_cast<std::uint32_t>(counts_.size());
    };
    if (r <= 4) {
        // Rows of at most 16 bits index a table directly.
        const unsigned width = 1U << r;
        const std::uint64_t mask = (std::uint64_t{1} << width) - 1;
        const std::size_t values = std::size_t{1} << width;
        if (direct_.size() < values) direct_.assign(values, 0);
        for (std::uint64_t e = 0; e < rows; ++e) {
            const std::uint64_t bit = e << r;
            const auto value = static_cast<std::uint32_t>((words[bit >> 6] >> (bit & 63)) & mask);
            std::uint32_t id = direct_[value];
            if (id == 0) {
                id = new_class(value == 0);
                direct_[value] = id;
                touched_.push_back(value);
            }
            counts_[id - 1] += weight(e);
            if ((e & 0xFFFF) == 0xFFFF) check_interrupt();
        }
        for (const std::uint32_t value : touched_) direct_[value] = 0;
        touched_.clear();
        return counts_.size();
    }
    prepare_hash(rows);
    std::uint64_t* const table = table_.data();
    // Adds row e, of hash h, to its class or to a new one; `same(id)` tells
    // whether the row equals class id's, `zero()` whether it is all false.
    auto lookup = [&](std::uint64_t h, std::uint64_t e, std::uint64_t first, auto&& same, auto&& zero) {
        const std::uint64_t tag = h << 32;
        std::uint64_t slot = h >> hash_shift_;
        for (;;) {
            const std::uint64_t entry = table[slot];
            if (entry == 0) break;
            const auto id = static_cast<std::uint32_t>(entry);
            if ((entry & 0xFFFFFFFF00000000ULL) == tag && same(id)) {
                counts_[id - 1] += weight(e);
                return;
            }
            slot = (slot + 1) & hash_mask_;
        }
        const std::uint32_t id = new_class(zero());
        table[slot] = tag | id;
        slots_.push_back(slot);
        first_row_.push_back(first);
        counts_[id - 1] += weight(e);
    };
    if (r <= 6) {
        // Rows of 32 or 64 bits: the class keeps the row itself.
        auto row_value = [&](std::uint64_t e) {
            return r == 6 ? words[e] : (words[e >> 1] >> ((e & 1) * 32)) & 0xFFFFFFFFULL;
        };
        for (std::uint64_t e = 0; e < rows; ++e) {
            const std::uint64_t value = row_value(e);
            lookup(
                finish(value), e, value, [&](std::uint32_t id) { return first_row_[id - 1] == value; },
                [&] { return value == 0; });
            if ((e & 0xFFFF) == 0xFFFF) check_interrupt();
        }
    } else {
        // Longer rows: the hashes come first, as rows are independent and
        // their chains overlap; the lookups follow, prefetched ahead.
        const std::size_t row_words = std::size_t{1} << (r - 6);
        if (hashes_.size() < rows) {
            ensure_allocatable(rows, sizeof(std::uint64_t));
            hashes_.resize(rows);
        }
        for (std::uint64_t e = 0; e < rows; ++e) {
            hashes_[e] = hash_words(words + e * row_words, row_words);
            if ((e & 0x3FF) == 0x3FF) check_interrupt();
        }
        for (std::uint64_t e = 0; e < rows; ++e) {
            if (e + 8 < rows) __builtin_prefetch(table + (hashes_[e + 8] >> hash_shift_));
            const std::uint64_t* row = words + e * row_words;
            lookup(
                hashes_[e], e, e,
                [&](std::uint32_t id) { return same_words(row, words + first_row_[id - 1] * row_words, row_words); },
                [&] { return std::all_of(row, row + row_words, [](std::uint64_t x) { return x == 0; }); });
        }
    }
    for (const std::uint64_t slot : slots_) table[slot] = 0;
    slots_.clear();
    first_row_.clear();
    return counts_.size();
}

std::uint64_t RowClasses::classify(const std::uint64_t* words, unsigned d, unsigned r) {
    return run(words, d, r, UnitWeight{});
}

std::uint64_t RowClasses::classify_weighted(const std::uint64_t* words, unsigned d, unsigned r,
                                            std::span<const std::uint64_t> factors) {
    return run(words, d, r, FactorWeight{factors});
}

float RowClasses::entropy(unsigned m) {
    const float total = static_cast<float>(std::uint64_t{1} << m);
    float sum = -0.0F;
    auto add = [&](std::uint64_t count, std::uint64_t times) {
        const float p = static_cast<float>(count) / total;
        const float term = p * std::log2(p);
        for (std::uint64_t i = 0; i < times; ++i) sum += term;
    };
    constexpr std::uint64_t small_limit = 1U << 16;
    const bool small = counts_.size() > 32 &&
                       std::all_of(counts_.begin(), counts_.end(), [](std::uint64_t c) { return c <= small_limit; });
    if (small) {
        // Counting sort: many classes, few distinct counts.
        if (per_count_.size() <= small_limit) per_count_.assign(small_limit + 1, 0);
        distinct_counts_.clear();
        for (const std::uint64_t c : counts_) {
            if (per_count_[c]++ == 0) distinct_counts_.push_back(c);
        }
        std::sort(distinct_counts_.begin(), distinct_counts_.end());
        for (const std::uint64_t c : distinct_counts_) {
            add(c, per_count_[c]);
            per_count_[c] = 0;
        }
    } else {
        std::sort(counts_.begin(), counts_.end());
        for (std::size_t i = 0; i < counts_.size();) {
            std::size_t j = i;
            while (j < counts_.size() && counts_[j] == counts_[i]) ++j;
            add(counts_[i], j - i);
            i = j;
        }
    }
    return -sum;
}

}  // namespace detail

}  // namespace vexil
