#include "vectorial/sbox.hpp"

#include "base/kernel_variants.hpp"
#include "interrupt.hpp"
#include "memory_guard.hpp"
#include "metrics/anf.hpp"
#include "metrics/spectral.hpp"
#include "panic.hpp"
#include "pool.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <map>
#include <optional>
#include <string>

namespace vexil::vectorial {

namespace {

void require_permutation(const Sbox& f, const char* what) {
    if (!is_permutation(f)) panic(std::string(what) + " is defined for permutations only");
}

// Rows per chunk of a loop over the 2^n rows of a table: about 2^12 inputs a chunk.
std::uint64_t row_grain(unsigned n) { return n >= 12 ? 1 : std::uint64_t{1} << (12 - n); }

// The work of a loop over the rows of the DDT or of the BCT, from which the pool
// decides whether to wake its workers: a pass over the inputs and one over the
// counters a row; a BCT row is about four passes.
std::uint64_t ddt_work(const Sbox& f) { return f.inputs() * (f.inputs() + f.outputs()); }
std::uint64_t bct_work(const Sbox& f) { return 4 * f.inputs() * f.inputs(); }

// Grows a histogram indexed by value as values come.
void count_value(std::vector<std::uint64_t>& histogram, std::uint64_t value, std::uint64_t times) {
    if (value >= histogram.size()) histogram.resize(value + 1, 0);
    histogram[value] += times;
}

std::vector<ValueCount> merged(const std::vector<std::vector<std::uint64_t>>& histograms) {
    std::vector<std::uint64_t> total;
    for (const auto& h : histograms) {
        for (std::size_t v = 0; v < h.size(); ++v) {
            if (h[v] != 0) count_value(total, v, h[v]);
        }
    }
    std::vector<ValueCount> out;
    for (std::size_t v = 0; v < total.size(); ++v) {
        if (total[v] != 0) out.push_back({static_cast<std::int64_t>(v), total[v]});
    }
    return out;
}

// ---------------------------------------------------------------------------
// Rows of the DDT, one at a time.

// Counts the output differences of one row over the pairs {x, x ^ a} (half the
// inputs, each pair once): dense counters while 2^m is at most 4 * 2^n, else a
// sort of the differences, so that m = 32 needs no 2^32 counters. The pairs are
// walked as runs of inputs whose top bit of a is clear, without index arithmetic.
// Count holds a count of pairs, at most 2^(n-1): 16 bits up to n = 16, so that
// the counters of n = 14 stay in L1.
template <class Count>
class DifferenceCounter {
public:
    explicit DifferenceCounter(const Sbox& f)
        : f_(f), dense_(f.m <= f.n + 2), counts_(dense_ ? f.outputs() : 0, 0), diffs_(dense_ ? 0 : f.inputs() / 2) {}

    static std::uint64_t bytes(const Sbox& f) {
        const std::uint64_t words = f.m <= f.n + 2 ? f.outputs() : f.inputs() / 2;
        return bytes_times(words, f.m <= f.n + 2 ? sizeof(Count) : sizeof(std::uint32_t));
    }

    // on_value(b, DDT[a, b]) once for every b with DDT[a, b] != 0; returns their number. a != 0.
    template <class OnValue>
    std::uint64_t row(std::uint64_t a, OnValue&& on_value) {
        if (dense_) {
            count(a);
            std::uint64_t distinct = 0;
            for (std::size_t b = 0; b < counts_.size(); ++b) {
                if (counts_[b] != 0) {
                    on_value(static_cast<std::uint32_t>(b), 2 * std::uint64_t{counts_[b]});
                    ++distinct;
                }
            }
            return distinct;
        }
        collect(a);
        std::uint64_t distinct = 0;
        for (std::size_t i = 0; i < diffs_.size();) {
            std::size_t j = i;
            while (j < diffs_.size() && diffs_[j] == diffs_[i]) ++j;
            on_value(diffs_[i], 2 * std::uint64_t{j - i});
            ++distinct;
            i = j;
        }
        return distinct;
    }

    // The largest DDT[a, b] of the row. a != 0.
    std::uint64_t row_max(std::uint64_t a) {
        if (!dense_) {
            std::uint64_t most = 0;
            row(a, [&](std::uint32_t, std::uint64_t c) { most = std::max(most, c); });
            return most;
        }
        count(a);
        Count most = 0;
        for (const Count c : counts_) most = std::max(most, c);
        return 2 * std::uint64_t{most};
    }

private:
    // f(x) ^ f(x ^ a) for the x whose bit `top` (the highest of a) is clear, to each(d).
    template <class Each>
    void differences(std::uint64_t a, Each&& each) const {
        const std::uint64_t top = std::uint64_t{1} << (std::bit_width(a) - 1);
        const std::uint32_t* t = f_.table.data();
        for (std::uint64_t base = 0; base < f_.inputs(); base += 2 * top) {
            for (std::uint64_t x = base; x < base + top; ++x) each(t[x] ^ t[x ^ a]);
        }
    }

    void count(std::uint64_t a) {
        std::fill(counts_.begin(), counts_.end(), Count{0});
        Count* counts = counts_.data();
        differences(a, [counts](std::uint32_t d) { ++counts[d]; });
    }

    void collect(std::uint64_t a) {
        std::uint32_t* out = diffs_.data();
        differences(a, [&out](std::uint32_t d) { *out++ = d; });
        std::sort(diffs_.begin(), diffs_.end());
    }

    Sbox f_;
    bool dense_;
    std::vector<Count> counts_;
    std::vector<std::uint32_t> diffs_;
};

// per_row(a, counter, accumulator) for every a != 0 on the pool, one
// accumulator per slot (returned).
template <class Count, class Acc, class PerRow>
std::vector<Acc> over_ddt_rows_with(const Sbox& f, Acc init, PerRow& per_row) {
    const std::size_t slots = pool_size();
    std::vector<Acc> acc(slots, init);
    if (f.n == 0) return acc;
    ensure_working_set(bytes_times(slots, DifferenceCounter<Count>::bytes(f)));
    std::vector<std::optional<DifferenceCounter<Count>>> counters(slots);
    const std::uint64_t work = ddt_work(f);
    parallel_for(f.inputs() - 1, row_grain(f.n), work, [&](std::uint64_t begin, std::uint64_t end, std::size_t slot) {
        if (!counters[slot]) counters[slot].emplace(f);
        for (std::uint64_t i = begin; i < end; ++i) {
            check_interrupt();
            per_row(i + 1, *counters[slot], acc[slot]);
        }
    });
    return acc;
}

template <class Acc, class PerRow>
std::vector<Acc> over_ddt_rows(const Sbox& f, Acc init, PerRow per_row) {
    if (f.n <= 16) return over_ddt_rows_with<std::uint16_t>(f, init, per_row);
    return over_ddt_rows_with<std::uint32_t>(f, init, per_row);
}

// ---------------------------------------------------------------------------
// Columns of the Walsh table, L components at a time.

// (-1)^parity(v & j) for v, j < 16: the signs of the low four bits of a component.
constexpr std::array<std::array<std::uint32_t, 16>, 16> low_signs = [] {
    std::array<std::array<std::uint32_t, 16>, 16> s{};
    for (unsigned v = 0; v < 16; ++v) {
        for (unsigned j = 0; j < 16; ++j) s[v][j] = (std::popcount(v & j) & 1) != 0 ? 0xFFFFFFFFU : 1U;
    }
    return s;
}();

// The signs of the components b0 .. b0 + L - 1 (b0 a multiple of L) as L
// interleaved tables: u[x * L + j] = (-1)^(b.F(x)) for b = b0 + j. Their Walsh
// transforms over x are the core's transform without its stages below log2(L).
template <unsigned L>
struct ComponentSigns {
    static_assert(L == 1 || L == 16, "a block is 16 components, or one");
    static constexpr unsigned lane_bits = L == 16 ? 4 : 0;

    VEXIL_INLINE static void run(const std::uint32_t* t, std::uint64_t size, std::uint64_t b0, std::int32_t* u) {
        for (std::uint64_t x = 0; x < size; ++x) {
            const std::uint32_t y = t[x];
            if constexpr (L == 16) {
                const std::uint32_t flip = (std::popcount(y & static_cast<std::uint32_t>(b0)) & 1) != 0 ? ~0U : 0U;
                const auto& row = low_signs[y & 15U];
                // -v is (v ^ ~0) + 1; v ^ 0 + 0 is v.
                for (unsigned j = 0; j < 16; ++j)
                    u[x * 16 + j] = static_cast<std::int32_t>((row[j] ^ flip) + (flip & 1U));
            } else {
                const bool odd = (std::popcount(y & static_cast<std::uint32_t>(b0)) & 1) != 0;
                u[x] = odd ? -1 : 1;
            }
        }
    }
};

// The largest |W| of each lane of a block, lane by lane, so that the loop runs on whole vectors.
template <unsigned L>
struct LaneMaxima {
    VEXIL_INLINE static std::array<std::uint32_t, L> run(const std::uint32_t* u, std::uint64_t rows) {
        std::array<std::uint32_t, L> most{};
        for (std::uint64_t a = 0; a < rows; ++a) {
            for (unsigned j = 0; j < L; ++j) {
                const std::uint32_t w = u[a * L + j];
                const std::uint32_t sign = 0U - (w >> 31);
                most[j] = std::max(most[j], (w ^ sign) - sign);
            }
        }
        return most;
    }
};

// visit(b0, lanes, v, stride, slot) for each block of components b0 .. b0 + lanes - 1:
// W(a, b0 + j) = v[a * stride + j].
template <unsigned L, class Visit>
void walsh_blocks_with(const Sbox& f, Visit& visit) {
    const std::size_t slots = pool_size();
    const std::uint64_t lanes = std::min<std::uint64_t>(L, f.outputs());
    const std::uint64_t blocks = f.outputs() / lanes;
    ensure_working_set(bytes_times(slots, bytes_times(f.inputs(), L * sizeof(std::uint32_t))));
    std::vector<std::vector<std::int32_t>> buffers(slots);
    const std::uint64_t grain = f.n >= 12 ? 1 : std::uint64_t{1} << (12 - f.n);
    const std::uint64_t work = f.outputs() * f.inputs() * (f.n + 1);
    parallel_for(blocks, grain, work, [&](std::uint64_t begin, std::uint64_t end, std::size_t slot) {
        std::vector<std::int32_t>& u = buffers[slot];
        if (u.empty()) u.resize(f.inputs() * L);
        for (std::uint64_t k = begin; k < end; ++k) {
            check_interrupt();
            const std::uint64_t b0 = k * lanes;
            detail::run_kernel<ComponentSigns<L>>(f.table.data(), f.inputs(), b0, u.data());
            constexpr unsigned lane_bits = ComponentSigns<L>::lane_bits;
            detail::transform_interleaved_in_place(u.data(), f.n + lane_bits, lane_bits);
            visit(b0, lanes, u.data(), std::uint64_t{L}, slot);
        }
    });
}

// Sixteen components a block while a block stays small, one beyond.
template <class Visit>
void over_walsh_blocks(const Sbox& f, Visit visit) {
    if (f.n <= 18) {
        walsh_blocks_with<16>(f, visit);
    } else {
        walsh_blocks_with<1>(f, visit);
    }
}

// ---------------------------------------------------------------------------
// Rows of the BCT.
//
// With Y(a, g) = {F(x) : F(x) ^ F(x ^ a) = g}, BCT[a, b] counts the ordered pairs
// (y, y') of one Y(a, g) with y ^ y' = b: an x counts when F(x) ^ b lies in the
// set of F(x), since F^-1(u) ^ F^-1(u ^ g) = a says exactly that u is in Y(a, g).
// The sets are those of the DDT row, so a row costs 2^n plus the sum of the
// squares of its DDT entries, not 2^(2n).
class BoomerangRows {
public:
    explicit BoomerangRows(const Sbox& f) : f_(f), ends_(f.inputs()), members_(f.inputs()) {}

    static std::uint64_t bytes(const Sbox& f) { return bytes_times(f.inputs(), 3 * sizeof(std::uint32_t)); }

    // row[b] = BCT[a, b] for every b.
    void row(std::uint64_t a, std::uint32_t* row) {
        const std::uint32_t* t = f_.table.data();
        const std::uint64_t size = f_.inputs();
        std::fill(row, row + size, 0U);
        row[0] = static_cast<std::uint32_t>(size);
        if (a == 0) {
            std::fill(row, row + size, static_cast<std::uint32_t>(size));
            return;
        }
        // Counting sort of the outputs by their difference g.
        std::fill(ends_.begin(), ends_.end(), 0U);
        for (std::uint64_t x = 0; x < size; ++x) ++ends_[t[x] ^ t[x ^ a]];
        std::uint32_t sum = 0;
        for (std::uint32_t& e : ends_) {
            const std::uint32_t count = e;
            e = sum;
            sum += count;
        }
        for (std::uint64_t x = 0; x < size; ++x) members_[ends_[t[x] ^ t[x ^ a]]++] = t[x];
        std::uint32_t begin = 0;
        for (const std::uint32_t end : ends_) {
            for (std::uint32_t i = begin; i < end; ++i) {
                // A large set (an affine F puts every output in one) is 2^(2n) pairs.
                if ((i - begin) % 1024 == 1023) check_interrupt();
                const std::uint32_t y = members_[i];
                for (std::uint32_t j = i + 1; j < end; ++j) row[y ^ members_[j]] += 2;
            }
            begin = end;
        }
    }

private:
    Sbox f_;
    std::vector<std::uint32_t> ends_;     // per difference: the end of its set in members_
    std::vector<std::uint32_t> members_;  // the outputs, grouped by difference
};

// Working words of the streaming scalar measures, per slot.
template <class Body>
void over_bct_rows(const Sbox& f, Body body) {
    const std::size_t slots = pool_size();
    ensure_working_set(bytes_times(slots, bytes_plus(BoomerangRows::bytes(f), f.inputs() * sizeof(std::uint32_t))));
    std::vector<std::optional<BoomerangRows>> rows(slots);
    std::vector<std::vector<std::uint32_t>> scratch(slots);
    const std::uint64_t work = bct_work(f);
    parallel_for(f.inputs(), row_grain(f.n), work, [&](std::uint64_t begin, std::uint64_t end, std::size_t slot) {
        if (!rows[slot]) {
            rows[slot].emplace(f);
            scratch[slot].resize(f.inputs());
        }
        for (std::uint64_t a = begin; a < end; ++a) {
            check_interrupt();
            rows[slot]->row(a, scratch[slot].data());
            body(a, scratch[slot].data(), slot);
        }
    });
}

// The algebraic normal forms of the coordinates, bit-sliced: bit j of the
// result at x is the coefficient of the monomial x in coordinate j.
std::vector<std::uint32_t> anf_words(const Sbox& f) {
    ensure_working_set(bytes_times(f.inputs(), sizeof(std::uint32_t)));
    std::vector<std::uint32_t> t(f.table.begin(), f.table.end());
    detail::sliced_moebius_transform(t);
    return t;
}

}  // namespace

// ---------------------------------------------------------------------------

void ddt_into(const Sbox& f, std::span<std::uint32_t> out) {
    const std::uint64_t width = f.outputs();
    const std::uint32_t* t = f.table.data();
    const std::uint64_t work = ddt_work(f);
    parallel_for(f.inputs(), row_grain(f.n), work, [&](std::uint64_t begin, std::uint64_t end, std::size_t) {
        for (std::uint64_t a = begin; a < end; ++a) {
            check_interrupt();
            std::uint32_t* row = out.data() + a * width;
            std::fill(row, row + width, 0U);
            for (std::uint64_t x = 0; x < f.inputs(); ++x) ++row[t[x] ^ t[x ^ a]];
        }
    });
}

void walsh_into(const Sbox& f, std::span<std::int32_t> out, bool halve) {
    const std::uint64_t width = f.outputs();
    over_walsh_blocks(
        f, [&](std::uint64_t b0, std::uint64_t lanes, const std::int32_t* v, std::uint64_t stride, std::size_t) {
            for (std::uint64_t a = 0; a < f.inputs(); ++a) {
                std::int32_t* row = out.data() + a * width + b0;
                const std::int32_t* src = v + a * stride;
                for (std::uint64_t j = 0; j < lanes; ++j) row[j] = halve ? src[j] / 2 : src[j];
            }
        });
}

void bct_into(const Sbox& f, std::span<std::uint32_t> out) {
    require_permutation(f, "the BCT");
    const std::size_t slots = pool_size();
    ensure_working_set(bytes_times(slots, BoomerangRows::bytes(f)));
    std::vector<std::optional<BoomerangRows>> rows(slots);
    const std::uint64_t work = bct_work(f);
    parallel_for(f.inputs(), row_grain(f.n), work, [&](std::uint64_t begin, std::uint64_t end, std::size_t slot) {
        if (!rows[slot]) rows[slot].emplace(f);
        for (std::uint64_t a = begin; a < end; ++a) {
            check_interrupt();
            rows[slot]->row(a, out.data() + a * f.inputs());
        }
    });
}

std::uint64_t differential_uniformity(const Sbox& f) {
    const auto acc = over_ddt_rows(f, std::uint64_t{0}, [](std::uint64_t a, auto& c, std::uint64_t& best) {
        best = std::max(best, c.row_max(a));
    });
    return *std::max_element(acc.begin(), acc.end());
}

std::vector<ValueCount> differential_spectrum(const Sbox& f) {
    using Histogram = std::vector<std::uint64_t>;
    const std::uint64_t width = f.outputs();
    const auto acc = over_ddt_rows(f, Histogram{}, [&](std::uint64_t a, auto& c, Histogram& h) {
        const std::uint64_t distinct = c.row(a, [&](std::uint32_t, std::uint64_t count) { count_value(h, count, 1); });
        count_value(h, 0, width - distinct);
    });
    return merged(acc);
}

std::int64_t differential_branch_number(const Sbox& f) {
    if (f.n == 0) return 0;
    const std::int64_t none = 2 * max_outputs + 1;
    const auto acc = over_ddt_rows(f, none, [](std::uint64_t a, auto& c, std::int64_t& best) {
        const std::int64_t wa = std::popcount(a);
        c.row(a, [&](std::uint32_t b, std::uint64_t) { best = std::min<std::int64_t>(best, wa + std::popcount(b)); });
    });
    return *std::min_element(acc.begin(), acc.end());
}

std::uint64_t linearity(const Sbox& f) {
    std::vector<std::uint64_t> best(pool_size(), 0);
    over_walsh_blocks(
        f, [&](std::uint64_t b0, std::uint64_t lanes, const std::int32_t* v, std::uint64_t stride, std::size_t slot) {
            const auto* u = reinterpret_cast<const std::uint32_t*>(v);
            std::uint32_t most = 0;
            const auto take = [&](const auto& maxima) {
                // Lane 0 of block 0 is b = 0, which does not count.
                for (std::uint64_t j = b0 == 0 ? 1 : 0; j < lanes; ++j) most = std::max(most, maxima[j]);
            };
            if (stride == 16) {
                take(detail::run_kernel<LaneMaxima<16>>(u, f.inputs()));
            } else {
                take(detail::run_kernel<LaneMaxima<1>>(u, f.inputs()));
            }
            best[slot] = std::max<std::uint64_t>(best[slot], most);
        });
    return *std::max_element(best.begin(), best.end());
}

std::vector<ValueCount> walsh_spectrum_counts(const Sbox& f) {
    std::vector<std::vector<std::uint64_t>> histograms(pool_size());
    over_walsh_blocks(
        f, [&](std::uint64_t b0, std::uint64_t lanes, const std::int32_t* v, std::uint64_t stride, std::size_t slot) {
            const std::uint64_t first = b0 == 0 ? 1 : 0;
            auto& h = histograms[slot];
            for (std::uint64_t a = 0; a < f.inputs(); ++a) {
                const std::int32_t* row = v + a * stride;
                for (std::uint64_t j = first; j < lanes; ++j) {
                    const std::int32_t w = row[j];
                    const std::uint64_t value = static_cast<std::uint32_t>(w < 0 ? -w : w);
                    if (value < h.size()) {
                        ++h[value];
                    } else {
                        count_value(h, value, 1);
                    }
                }
            }
        });
    return merged(histograms);
}

std::int64_t linear_branch_number(const Sbox& f) {
    const std::int64_t none = 2 * max_outputs + max_vars + 1;
    std::vector<std::int64_t> best(pool_size(), none);
    over_walsh_blocks(
        f, [&](std::uint64_t b0, std::uint64_t lanes, const std::int32_t* v, std::uint64_t stride, std::size_t slot) {
            const std::uint64_t first = b0 == 0 ? 1 : 0;
            for (std::uint64_t j = first; j < lanes; ++j) {
                const std::int64_t wb = std::popcount(b0 + j);
                if (wb >= best[slot]) continue;
                for (std::uint64_t a = 0; a < f.inputs(); ++a) {
                    if (v[a * stride + j] != 0) best[slot] = std::min<std::int64_t>(best[slot], wb + std::popcount(a));
                }
            }
        });
    return *std::min_element(best.begin(), best.end());
}

std::uint64_t boomerang_uniformity(const Sbox& f) {
    require_permutation(f, "the boomerang uniformity");
    if (f.n == 0) return 0;
    std::vector<std::uint64_t> best(pool_size(), 0);
    over_bct_rows(f, [&](std::uint64_t a, const std::uint32_t* row, std::size_t slot) {
        if (a == 0) return;
        const std::uint32_t most = *std::max_element(row + 1, row + f.inputs());
        best[slot] = std::max<std::uint64_t>(best[slot], most);
    });
    return *std::max_element(best.begin(), best.end());
}

std::int64_t algebraic_degree(const Sbox& f) {
    const std::vector<std::uint32_t> t = anf_words(f);
    std::int64_t degree = -1;
    for (std::uint64_t x = 0; x < t.size(); ++x) {
        if (t[x] != 0) degree = std::max<std::int64_t>(degree, std::popcount(x));
    }
    return degree;
}

// b.F has degree below d exactly when b is orthogonal to every coefficient word
// t[x] with wt(x) >= d, so every nonzero component reaches degree d exactly when
// those words span all m bits: the answer is the largest such d.
std::int64_t min_degree(const Sbox& f) {
    const std::vector<std::uint32_t> t = anf_words(f);
    std::array<std::uint32_t, max_outputs> basis{};  // basis[k]: a word whose highest bit is k
    unsigned rank = 0;
    for (int d = static_cast<int>(f.n); d >= 0; --d) {
        check_interrupt();
        for (std::uint64_t x = 0; x < t.size() && rank < f.m; ++x) {
            if (std::popcount(x) != d) continue;
            std::uint32_t w = t[x];
            while (w != 0) {
                const unsigned k = static_cast<unsigned>(std::bit_width(w)) - 1;
                if (basis[k] == 0) {
                    basis[k] = w;
                    ++rank;
                    break;
                }
                w ^= basis[k];
            }
        }
        if (rank == f.m) return d;
    }
    return -1;
}

bool is_permutation(const Sbox& f) {
    if (f.n != f.m) return false;
    ensure_working_set(bytes_times(f.inputs() / 64 + 1, sizeof(std::uint64_t)));
    std::vector<std::uint64_t> seen(f.inputs() / 64 + 1, 0);
    for (std::uint64_t x = 0; x < f.inputs(); ++x) {
        if (x % (1U << 22) == 0) check_interrupt();
        const std::uint32_t y = f.table[x];
        const std::uint64_t bit = std::uint64_t{1} << (y % 64);
        if ((seen[y / 64] & bit) != 0) return false;
        seen[y / 64] |= bit;
    }
    return true;
}

bool is_balanced(const Sbox& f) {
    if (f.m > f.n) return false;
    ensure_working_set(bytes_times(f.outputs(), sizeof(std::uint32_t)));
    std::vector<std::uint32_t> counts(f.outputs(), 0);
    for (std::uint64_t x = 0; x < f.inputs(); ++x) {
        if (x % (1U << 22) == 0) check_interrupt();
        ++counts[f.table[x]];
    }
    const std::uint64_t each = std::uint64_t{1} << (f.n - f.m);
    return std::all_of(counts.begin(), counts.end(), [&](std::uint32_t c) { return c == each; });
}

std::vector<ValueCount> cycle_type(const Sbox& f) {
    require_permutation(f, "the cycle type");
    std::vector<std::uint64_t> seen(f.inputs() / 64 + 1, 0);
    std::map<std::uint64_t, std::uint64_t> cycles;
    for (std::uint64_t start = 0; start < f.inputs(); ++start) {
        if ((seen[start / 64] >> (start % 64) & 1) != 0) continue;
        if (start % 4096 == 0) check_interrupt();
        std::uint64_t length = 0;
        for (std::uint64_t x = start; (seen[x / 64] >> (x % 64) & 1) == 0; x = f.table[x]) {
            seen[x / 64] |= std::uint64_t{1} << (x % 64);
            ++length;
        }
        ++cycles[length];
    }
    std::vector<ValueCount> out;
    for (const auto& [length, count] : cycles) out.push_back({static_cast<std::int64_t>(length), count});
    return out;
}

}  // namespace vexil::vectorial
