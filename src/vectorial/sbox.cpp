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
#include <utility>

namespace vexil::vectorial {

namespace {

void require_permutation(const Sbox& f, const char* what) {
    if (!is_permutation(f)) panic(std::string(what) + " is defined for permutations only");
}

// Rows per chunk of a loop over the 2^n rows of a table: about 2^12 inputs a chunk.
std::uint64_t row_grain(unsigned n) { return n >= 12 ? 1 : std::uint64_t{1} << (12 - n); }

// Inputs between two polls of a loop that runs over 2^n of them: about a
// millisecond of work at worst, so a row of n = 24 is not deaf for seconds.
constexpr std::uint64_t poll_span = std::uint64_t{1} << 16;

// each(begin, end) over [0, size) in spans of poll_span, polling between them
// (not before the first: its caller polls per row, and short rows stay as cheap).
template <class Each>
VEXIL_INLINE void polled(std::uint64_t size, Each&& each) {
    for (std::uint64_t begin = 0; begin < size; begin += poll_span) {
        if (begin != 0) check_interrupt();
        each(begin, std::min(size, begin + poll_span));
    }
}

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
        : f_(f),
          dense_(f.m <= f.n + 2),
          counts_(dense_ ? f.outputs() : 0, 0),
          diffs_(dense_ ? 0 : f.inputs() / 2),
          scratch_(diffs_.size()) {}

    // The sparse form holds the differences and a radix sort's scratch of the same size.
    static std::uint64_t bytes(const Sbox& f) {
        const std::uint64_t words = f.m <= f.n + 2 ? f.outputs() : f.inputs();
        return bytes_times(words, f.m <= f.n + 2 ? sizeof(Count) : sizeof(std::uint32_t));
    }

    // on_value(b, DDT[a, b]) once for every b with DDT[a, b] != 0; returns their number. a != 0.
    template <class OnValue>
    std::uint64_t row(std::uint64_t a, OnValue&& on_value) {
        if (dense_) {
            count(a);
            std::uint64_t distinct = 0;
            polled(counts_.size(), [&](std::uint64_t begin, std::uint64_t end) {
                for (std::uint64_t b = begin; b < end; ++b) {
                    if (counts_[b] != 0) {
                        on_value(static_cast<std::uint32_t>(b), 2 * std::uint64_t{counts_[b]});
                        ++distinct;
                    }
                }
            });
            return distinct;
        }
        collect(a);
        std::uint64_t distinct = 0;
        for (std::size_t i = 0; i < diffs_.size();) {
            if (i % poll_span == 0) check_interrupt();
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
        polled(counts_.size(), [&](std::uint64_t begin, std::uint64_t end) {
            for (std::uint64_t b = begin; b < end; ++b) most = std::max(most, counts_[b]);
        });
        return 2 * std::uint64_t{most};
    }

private:
    // f(x) ^ f(x ^ a) for the x whose bit `top` (the highest of a) is clear, to each(d).
    template <class Each>
    void differences(std::uint64_t a, Each&& each) const {
        const std::uint64_t top = std::uint64_t{1} << (std::bit_width(a) - 1);
        const std::uint32_t* t = f_.table.data();
        // A poll every poll_span inputs, whether the runs are short (many in a span) or long.
        if (2 * top <= poll_span) {
            for (std::uint64_t span = 0; span < f_.inputs(); span += poll_span) {
                if (span != 0) check_interrupt();
                const std::uint64_t span_end = std::min(f_.inputs(), span + poll_span);
                for (std::uint64_t base = span; base < span_end; base += 2 * top) {
                    for (std::uint64_t x = base; x < base + top; ++x) each(t[x] ^ t[x ^ a]);
                }
            }
            return;
        }
        for (std::uint64_t base = 0; base < f_.inputs(); base += 2 * top) {
            for (std::uint64_t low = base; low < base + top; low += poll_span) {
                if (low != 0) check_interrupt();
                for (std::uint64_t x = low; x < low + poll_span; ++x) each(t[x] ^ t[x ^ a]);
            }
        }
    }

    void count(std::uint64_t a) {
        polled(counts_.size(), [&](std::uint64_t begin, std::uint64_t end) {
            std::fill(counts_.begin() + static_cast<std::ptrdiff_t>(begin),
                      counts_.begin() + static_cast<std::ptrdiff_t>(end), Count{0});
        });
        Count* counts = counts_.data();
        differences(a, [counts](std::uint32_t d) { ++counts[d]; });
    }

    void collect(std::uint64_t a) {
        std::uint32_t* out = diffs_.data();
        differences(a, [&out](std::uint32_t d) { *out++ = d; });
        radix_sort();
    }

    // Least-significant-byte radix sort of diffs_, polling every poll_span keys: a comparison sort
    // of 2^23 keys runs most of a second between two polls. Bytes every key shares are skipped,
    // so differences of m bits take ceil(m / 8) passes.
    void radix_sort() {
        for (unsigned shift = 0; shift < 32; shift += 8) {
            std::array<std::uint64_t, 256> starts{};
            polled(diffs_.size(), [&](std::uint64_t begin, std::uint64_t end) {
                for (std::uint64_t i = begin; i < end; ++i) ++starts[(diffs_[i] >> shift) & 0xFF];
            });
            if (std::count(starts.begin(), starts.end(), std::uint64_t{0}) == 255) continue;
            std::uint64_t position = 0;
            for (auto& start : starts) position += std::exchange(start, position);
            polled(diffs_.size(), [&](std::uint64_t begin, std::uint64_t end) {
                for (std::uint64_t i = begin; i < end; ++i) scratch_[starts[(diffs_[i] >> shift) & 0xFF]++] = diffs_[i];
            });
            diffs_.swap(scratch_);
        }
    }

    Sbox f_;
    bool dense_;
    std::vector<Count> counts_;
    std::vector<std::uint32_t> diffs_;
    std::vector<std::uint32_t> scratch_;
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

    // row[b] = BCT[a, b] for every b. Every pass over 2^n words polls between spans.
    void row(std::uint64_t a, std::uint32_t* row) {
        const std::uint32_t* t = f_.table.data();
        const std::uint64_t size = f_.inputs();
        const auto full = static_cast<std::uint32_t>(size);
        if (a == 0) {
            polled(size, [&](std::uint64_t begin, std::uint64_t end) { std::fill(row + begin, row + end, full); });
            return;
        }
        polled(size, [&](std::uint64_t begin, std::uint64_t end) {
            std::fill(row + begin, row + end, 0U);
            std::fill(ends_.begin() + static_cast<std::ptrdiff_t>(begin),
                      ends_.begin() + static_cast<std::ptrdiff_t>(end), 0U);
        });
        row[0] = full;
        // Counting sort of the outputs by their difference g.
        std::uint32_t* ends = ends_.data();
        polled(size, [&](std::uint64_t begin, std::uint64_t end) {
            for (std::uint64_t x = begin; x < end; ++x) ++ends[t[x] ^ t[x ^ a]];
        });
        std::uint32_t sum = 0;
        polled(size, [&](std::uint64_t begin, std::uint64_t end) {
            for (std::uint64_t g = begin; g < end; ++g) {
                const std::uint32_t count = ends[g];
                ends[g] = sum;
                sum += count;
            }
        });
        std::uint32_t* members = members_.data();
        polled(size, [&](std::uint64_t begin, std::uint64_t end) {
            for (std::uint64_t x = begin; x < end; ++x) members[ends[t[x] ^ t[x ^ a]]++] = t[x];
        });
        std::uint32_t begin = 0;
        // Empty and small sets come by the million in a long row; a poll every poll_span words of them.
        const bool long_row = size > poll_span;
        std::uint64_t since_poll = 0;
        for (std::uint64_t g = 0; g < size; ++g) {
            const std::uint32_t end = ends[g];
            if (long_row) {
                since_poll += 1 + (end - begin);
                if (since_poll >= poll_span) {
                    check_interrupt();
                    since_poll = 0;
                }
            }
            for (std::uint32_t i = begin; i < end; ++i) {
                // A large set (an affine F puts every output in one) is 2^(2n) pairs.
                if ((i - begin) % 1024 == 1023) check_interrupt();
                const std::uint32_t y = members[i];
                for (std::uint32_t j = i + 1; j < end; ++j) row[y ^ members[j]] += 2;
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

namespace {

// Faults `out` in, 2 MiB (a huge page) at a time on the pool, polling between pieces: a block
// of the Walsh table writes a few words of every row, so without this its first
// block would fault in the whole table, deaf to Ctrl-C, before its first poll.
// One word a page is written (the blocks write every word later): the kernel
// zeroes the page, huge or small, at its fault.
template <class T>
void fault_in(std::span<T> out) {
    constexpr std::uint64_t piece = (std::uint64_t{1} << 21) / sizeof(T);
    constexpr std::uint64_t page = 4096 / sizeof(T);
    const std::uint64_t pieces = (out.size() + piece - 1) / piece;
    parallel_for(pieces, 1, [&](std::uint64_t begin, std::uint64_t end, std::size_t) {
        for (std::uint64_t k = begin; k < end; ++k) {
            check_interrupt();
            const std::uint64_t high = std::min<std::uint64_t>(out.size(), (k + 1) * piece);
            for (std::uint64_t i = k * piece; i < high; i += page) out[i] = T{0};
        }
    });
}

}  // namespace

void walsh_into(const Sbox& f, std::span<std::int32_t> out, bool halve) {
    const std::uint64_t width = f.outputs();
    fault_in(out);
    over_walsh_blocks(
        f, [&](std::uint64_t b0, std::uint64_t lanes, const std::int32_t* v, std::uint64_t stride, std::size_t) {
            polled(f.inputs(), [&](std::uint64_t begin, std::uint64_t end) {
                for (std::uint64_t a = begin; a < end; ++a) {
                    std::int32_t* row = out.data() + a * width + b0;
                    const std::int32_t* src = v + a * stride;
                    for (std::uint64_t j = 0; j < lanes; ++j) row[j] = halve ? src[j] / 2 : src[j];
                }
            });
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
    // No input difference a != 0 exists: the minimum is over nothing.
    if (f.n == 0) panic("the differential branch number needs n >= 1: with n = 0 no input difference a != 0 exists");
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

// The cycles are walked by 16 chains at once, so that their loads from the
// table overlap instead of waiting one for another. A chain starts at the
// next unvisited input (a visited bitmap read a word at a time) and walks until
// it reaches a visited input, which in a permutation is the start of a chain:
// its own (a cycle closed) or another's, whose path it then joins in front.
// Every open path has exactly one walking chain at its end, so the starts
// waiting for their predecessor are the chains' own. A poll every poll_span steps.
std::vector<ValueCount> cycle_type(const Sbox& f) {
    require_permutation(f, "the cycle type");
    constexpr unsigned chains = 16;
    const std::uint64_t size = f.inputs();
    const std::uint64_t words = (size + 63) / 64;
    ensure_working_set(bytes_times(words, sizeof(std::uint64_t)));
    std::vector<std::uint64_t> seen(words, 0);
    if (size % 64 != 0) seen[0] = ~std::uint64_t{0} << size;  // the bits past the end
    const auto visited = [&](std::uint64_t x) { return (seen[x / 64] >> (x % 64) & 1) != 0; };
    const auto visit = [&](std::uint64_t x) { seen[x / 64] |= std::uint64_t{1} << (x % 64); };
    // Short lengths are counted in an array, the few long ones in a map.
    std::array<std::uint64_t, 1024> short_counts{};
    std::map<std::uint64_t, std::uint64_t> long_counts;
    const auto count_cycle = [&](std::uint64_t length) {
        if (length < short_counts.size()) {
            ++short_counts[length];
        } else {
            ++long_counts[length];
        }
    };

    struct Chain {
        std::uint64_t head = 0;    // the first input of its path
        std::uint64_t at = 0;      // the input it stands on
        std::uint64_t length = 0;  // inputs on its path; 0: the chain is idle
    };
    std::array<Chain, chains> chain{};
    const std::uint32_t* t = f.table.data();
    std::uint64_t next_word = 0;  // every input of the words before it is visited
    // A new path from the next unvisited input; false when none is left.
    const auto start = [&](Chain& c) {
        while (next_word < words && seen[next_word] == ~std::uint64_t{0}) ++next_word;
        if (next_word == words) return false;
        const std::uint64_t x = next_word * 64 + static_cast<std::uint64_t>(std::countr_one(seen[next_word]));
        visit(x);
        c = {x, x, 1};
        __builtin_prefetch(t + x);
        return true;
    };
    unsigned walking = 0;
    for (Chain& c : chain) walking += start(c) ? 1 : 0;
    std::uint64_t steps = 0;
    while (walking != 0) {
        for (Chain& c : chain) {
            if (c.length == 0) continue;
            const std::uint64_t y = t[c.at];
            if (!visited(y)) {
                visit(y);
                c.at = y;
                ++c.length;
                __builtin_prefetch(t + y);
            } else {
                // y is the head of a walking chain's path, perhaps this one's.
                Chain* owner = nullptr;
                for (Chain& d : chain) {
                    if (d.length != 0 && d.head == y) owner = &d;
                }
                if (owner == nullptr) panic("the cycle type lost a path");
                if (owner == &c) {
                    count_cycle(c.length);
                } else {
                    owner->head = c.head;
                    owner->length += c.length;
                }
                c.length = 0;
                if (!start(c)) --walking;
            }
        }
        steps += chains;
        if (steps % poll_span == 0) check_interrupt();
    }
    std::vector<ValueCount> out;
    for (std::uint64_t length = 1; length < short_counts.size(); ++length) {
        if (short_counts[length] != 0) out.push_back({static_cast<std::int64_t>(length), short_counts[length]});
    }
    for (const auto& [length, count] : long_counts) out.push_back({static_cast<std::int64_t>(length), count});
    return out;
}

}  // namespace vexil::vectorial
