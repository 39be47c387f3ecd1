#include "metrics/algebraic_immunity.hpp"
#include "metrics/algebraic_elimination.hpp"
#include "metrics/anf.hpp"
#include "base/kernel_variants.hpp"

#include "interrupt.hpp"
#include "memory_guard.hpp"
#include "base/packed_table.hpp"
#include "panic.hpp"
#include "pool.hpp"
#include "progress.hpp"

#include <algorithm>
#include <array>
#include <bit>

namespace vexil {

namespace {

using detail::BitMatrix;
using detail::Echelon;

unsigned log2_size(std::span<const std::uint8_t> entries) {
    const std::size_t size = entries.size();
    if (size == 0 || !std::has_single_bit(size)) panic("a truth table has a power-of-two number of entries");
    return static_cast<unsigned>(std::countr_zero(size));
}

// The points of each weight inside and outside the support of h.
struct WeightCounts {
    std::vector<std::uint64_t> inside;
    std::vector<std::uint64_t> outside;
};

WeightCounts weight_counts(std::span<const std::uint64_t> h, unsigned n) {
    WeightCounts counts{std::vector<std::uint64_t>(n + 7, 0), std::vector<std::uint64_t>(n + 1, 0)};
    for (std::size_t i = 0; i < h.size(); ++i) {
        const auto high = static_cast<std::size_t>(std::popcount(i));
        for (std::size_t w = 0; w < 7; ++w) {
            counts.inside[high + w] += static_cast<std::uint64_t>(std::popcount(h[i] & detail::lanes_of_weight[w]));
        }
    }
    counts.inside.resize(n + 1);
    std::uint64_t binomial = 1;  // C(n, k)
    for (unsigned k = 0; k <= n; ++k) {
        counts.outside[k] = binomial - counts.inside[k];
        binomial = binomial * (n - k) / (k + 1);
    }
    return counts;
}

WeightCounts swapped(const WeightCounts& counts) { return {counts.outside, counts.inside}; }

// Unknowns: the points outside the support of weight at most d; equations: the
// points of the support above weight d.
struct Sizes {
    std::uint64_t unknowns = 0;
    std::uint64_t equations = 0;
};

Sizes sizes_at(const WeightCounts& counts, unsigned d) {
    Sizes sizes;
    for (std::size_t k = 0; k < counts.inside.size(); ++k) {
        if (k <= d) {
            sizes.unknowns += counts.outside[k];
        } else {
            sizes.equations += counts.inside[k];
        }
    }
    return sizes;
}

// The equations eliminated before the others are brought in.
std::uint64_t sample_rows(Sizes sizes) { return std::min(sizes.equations, sizes.unknowns + 64); }

// Progress units (those of EliminationMeter) a search is planned at: its first
// elimination, or 1 when the counts alone decide it.
std::uint64_t planned_units(Sizes sizes) {
    if (sizes.unknowns == 0 || sizes.unknowns > sizes.equations) return 1;
    const std::uint64_t width = (sizes.unknowns + 63) / 64;
    return sample_rows(sizes) * (width * (width + 1) / 2) / 64 + 1;
}

// Hands the searches' progress to the host's counter, each search capped at
// the units planned for it so that the share done never runs ahead.
class Meter final : public detail::EliminationMeter {
public:
    explicit Meter(ProgressCounter* counter) : counter_(counter) {}

    void begin(std::uint64_t units) { left_ = units; }
    void advance(std::uint64_t units) override {
        units = std::min(units, left_);
        left_ -= units;
        spent_ += units;
        if (counter_ != nullptr) counter_->advance(units);
    }
    void finish() { advance(left_); }
    void complete(std::uint64_t total) {
        if (total > spent_) {
            left_ = total - spent_;
            finish();
        }
    }

private:
    ProgressCounter* counter_;
    std::uint64_t left_ = 0;
    std::uint64_t spent_ = 0;
};

struct XorKernel {
    VEXIL_INLINE static void run(std::uint64_t* target, const std::uint64_t* source, std::size_t count) {
        for (std::size_t i = 0; i < count; ++i) target[i] ^= source[i];
    }
};

// target[0, count) ^= source[0, count), on the pool when it is long.
void xor_block(std::uint64_t* target, const std::uint64_t* source, std::size_t count) {
    constexpr std::size_t grain = std::size_t{1} << 15;
    if (count < 4 * grain) {
        detail::run_kernel<XorKernel>(target, source, count);
        return;
    }
    parallel_for(count, grain, [&](std::uint64_t begin, std::uint64_t end, std::size_t) {
        detail::run_kernel<XorKernel>(target + begin, source + begin, end - begin);
    });
}

// A fixed shuffle of 0..count-1 (splitmix64 driving Fisher-Yates), so that the
// first rows of the matrix are equations from all over the cube.
std::vector<std::uint64_t> shuffled(std::uint64_t count) {
    std::vector<std::uint64_t> order(count);
    for (std::uint64_t i = 0; i < count; ++i) order[i] = i;
    std::uint64_t state = 0x9E3779B97F4A7C15ULL;
    for (std::uint64_t i = count; i > 1; --i) {
        state += 0x9E3779B97F4A7C15ULL;
        std::uint64_t z = state;
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        z ^= z >> 31;
        std::swap(order[i - 1], order[z % i]);
    }
    return order;
}

// The linear forms of the search for h and d (see the header): forms[x], of
// `width` words, is g(x) while the transform runs and the ANF coefficient a(x)
// once it is done; the equations land in the rows of `equations` in the shuffled
// order. The transform is the recursive one (a block's lower half, then its
// upper half after it has taken in the lower half's transform), walked point by
// point: after point x, every block that ends there is closed and the lower
// half that ends there is added into the upper half that follows.
void build_forms(std::span<const std::uint64_t> h, unsigned n, unsigned d, Sizes sizes, std::size_t width,
                 detail::ZeroedWords& forms, BitMatrix& equations, bool finish_transform) {
    const std::uint64_t points = std::uint64_t{1} << n;
    const std::vector<std::uint64_t> order = shuffled(equations.rows());
    std::uint64_t unknown = 0;
    std::uint64_t equation = 0;
    for (std::uint64_t x = 0; x < points; ++x) {
        std::uint64_t* form = forms.data() + x * width;
        const bool inside = ((h[x / 64] >> (x % 64)) & 1U) != 0;
        const bool low = std::popcount(x) <= static_cast<int>(d);
        if (!inside) {
            if (low) {
                if (unknown == 64 * width) panic("build_forms: more unknowns than counted");
                std::fill(form, form + width, std::uint64_t{0});
                form[unknown / 64] |= std::uint64_t{1} << (unknown % 64);
                ++unknown;
            }
            // Above degree d, g(x) is its form as it stands.
        } else {
            if (!low) {
                if (equation == order.size()) panic("build_forms: more equations than counted");
                std::copy(form, form + width, equations.row(order[equation++]));
            }
            std::fill(form, form + width, std::uint64_t{0});
        }
        const std::uint64_t next = x + 1;
        const auto closed = static_cast<unsigned>(next == points ? n : std::countr_zero(next));
        if (next == points && !finish_transform) break;
        for (unsigned k = 1; k <= closed; ++k) {
            const std::uint64_t half = std::uint64_t{1} << (k - 1);
            xor_block(forms.data() + (next - half) * width, forms.data() + (next - 2 * half) * width, half * width);
        }
        if (next < points) {
            const std::uint64_t half = std::uint64_t{1} << closed;
            xor_block(forms.data() + next * width, forms.data() + (next - half) * width, half * width);
        }
        if (closed >= 4) check_interrupt();
    }
    if (unknown != sizes.unknowns || equation != sizes.equations)
        panic("build_forms: the equations do not match the counts");
}

struct SearchResult {
    bool exists = false;
    std::vector<std::uint64_t> annihilator;  // packed, when asked for and found
};

// Whether h (packed, n variables, its counts) has a nonzero annihilator of
// degree at most d; with `want`, one of them.
SearchResult search(std::span<const std::uint64_t> h, unsigned n, unsigned d, const WeightCounts& counts, bool want,
                    Meter& meter) {
    const Sizes sizes = sizes_at(counts, d);
    if (sizes.unknowns == 0) return {};
    if (!want && sizes.unknowns > sizes.equations) return {true, {}};
    const std::size_t width = (sizes.unknowns + 63) / 64;
    const std::uint64_t points = std::uint64_t{1} << n;
    const std::uint64_t row_bytes = bytes_times(width, sizeof(std::uint64_t));
    ensure_working_set(bytes_plus(
        bytes_times(points, row_bytes),
        bytes_plus(bytes_times(sizes.equations, row_bytes), bytes_times(sizes.equations, sizeof(std::uint64_t)))));
    detail::ZeroedWords forms(points * width);
    BitMatrix equations(sizes.equations, width);
    build_forms(h, n, d, sizes, width, forms, equations, want);
    if (!want) forms.release();

    const std::uint64_t sample = sample_rows(sizes);
    std::array<Echelon, 2> echelons;
    echelons[0] = detail::echelonize(equations, 0, sample, sizes.unknowns, &meter);
    std::uint64_t rank = echelons[0].rank;
    if (rank < sizes.unknowns && sample < sizes.equations) {
        detail::reduce_rows(equations, echelons[0], sample, sizes.equations);
        echelons[1] = detail::echelonize(equations, sample, sizes.equations, sizes.unknowns);
        rank += echelons[1].rank;
    }
    if (rank >= sizes.unknowns) return {};
    if (!want) return {true, {}};

    // g from the null vector u: its ANF coefficient at x is forms[x] . u.
    const std::vector<std::uint64_t> u = detail::null_vector(equations, echelons, sizes.unknowns);
    std::vector<std::uint64_t> g(points < 64 ? 1 : points / 64, 0);
    for (std::uint64_t x = 0; x < points; ++x) {
        const std::uint64_t* form = forms.data() + x * width;
        unsigned parity = 0;
        for (std::size_t i = 0; i < width; ++i) parity ^= std::popcount(form[i] & u[i]) & 1U;
        g[x / 64] |= std::uint64_t{parity} << (x % 64);
        if ((x & 0xFFF) == 0xFFF) check_interrupt();
    }
    if (detail::packed_max_index_weight(g) > static_cast<int>(d)) panic("annihilator: the ANF exceeds the degree");
    detail::packed_moebius_transform(g, n);
    bool nonzero = false;
    for (std::size_t i = 0; i < g.size(); ++i) {
        if ((g[i] & h[i]) != 0) panic("annihilator: g is not zero on the support");
        nonzero = nonzero || g[i] != 0;
    }
    if (!nonzero) panic("annihilator: g is zero");
    return {true, std::move(g)};
}

std::vector<std::uint64_t> complement(std::span<const std::uint64_t> words, unsigned n) {
    std::vector<std::uint64_t> result(words.begin(), words.end());
    for (std::uint64_t& w : result) w = ~w;
    if (n < 6) result[0] &= (std::uint64_t{1} << (1U << n)) - 1;
    return result;
}

std::vector<std::uint64_t> packed(std::span<const std::uint8_t> entries, unsigned n) {
    ensure_working_set(bytes_times(2, packed_table_bytes(n)));
    return pack_entries(entries);
}

}  // namespace

unsigned algebraic_immunity(std::span<const std::uint8_t> entries) {
    const unsigned n = log2_size(entries);
    const std::vector<std::uint64_t> f = packed(entries, n);
    const std::vector<std::uint64_t> not_f = complement(f, n);
    const std::array<WeightCounts, 2> counts = {weight_counts(f, n), swapped(weight_counts(f, n))};
    const std::array<std::span<const std::uint64_t>, 2> sides = {f, not_f};
    const unsigned bound = (n + 1) / 2;

    // The pool's loops would count their own units; the searches report theirs.
    ProgressCounter* const counter = detail::current_progress;
    const ProgressScope quiet(nullptr);
    Meter meter(counter);
    std::uint64_t total = 0;
    for (unsigned d = 0; d < bound; ++d) {
        for (const WeightCounts& c : counts) total += planned_units(sizes_at(c, d));
    }
    if (counter != nullptr) counter->plan(total);

    for (unsigned d = 0; d < bound; ++d) {
        // The side whose counts decide it, else the cheaper one, first.
        std::array<std::size_t, 2> order = {0, 1};
        const Sizes a = sizes_at(counts[0], d);
        const Sizes b = sizes_at(counts[1], d);
        const bool second_first =
            (b.unknowns > b.equations && a.unknowns <= a.equations) ||
            ((a.unknowns > a.equations) == (b.unknowns > b.equations) && planned_units(b) < planned_units(a));
        if (second_first) order = {1, 0};
        for (const std::size_t side : order) {
            meter.begin(planned_units(sizes_at(counts[side], d)));
            const bool exists = search(sides[side], n, d, counts[side], false, meter).exists;
            meter.finish();
            if (exists) {
                meter.complete(total);
                return d;
            }
        }
    }
    meter.complete(total);
    return bound;
}

std::optional<std::vector<std::uint64_t>> packed_annihilator(std::span<const std::uint8_t> entries, unsigned d) {
    const unsigned n = log2_size(entries);
    d = std::min(d, n);
    const std::vector<std::uint64_t> f = packed(entries, n);
    const WeightCounts counts = weight_counts(f, n);

    ProgressCounter* const counter = detail::current_progress;
    const ProgressScope quiet(nullptr);
    Meter meter(counter);
    const std::uint64_t total = planned_units(sizes_at(counts, d));
    if (counter != nullptr) counter->plan(total);
    meter.begin(total);
    SearchResult result = search(f, n, d, counts, true, meter);
    meter.complete(total);
    if (!result.exists) return std::nullopt;
    return std::move(result.annihilator);
}

}  // namespace vexil
