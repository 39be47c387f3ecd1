#include "vectorial/sbox_extra_tables.hpp"

#include "interrupt.hpp"
#include "memory_guard.hpp"
#include "panic.hpp"
#include "pool.hpp"

#include <algorithm>
#include <bit>
#include <cstddef>
#include <map>

namespace vexil::vectorial {

namespace {

std::uint64_t row_grain(unsigned n) { return n >= 12 ? 1 : std::uint64_t{1} << (12 - n); }

// Plain in-place butterflies: v[b] becomes the sum over d of (-1)^(b.d) v[d].
void walsh_in_place(std::int32_t* v, std::uint64_t size) {
    for (std::uint64_t h = 1; h < size; h *= 2) {
        for (std::uint64_t i = 0; i < size; i += 2 * h) {
            for (std::uint64_t j = i; j < i + h; ++j) {
                const std::int32_t x = v[j];
                const std::int32_t y = v[j + h];
                v[j] = x + y;
                v[j + h] = x - y;
            }
        }
    }
}

// The Walsh zeroes as a bitset over the words u = a | b << n, with u = 0 in it.
std::vector<std::uint64_t> zero_bits(const Sbox& f) {
    const unsigned width = f.n + f.m;
    if (width > 40) panic("the Walsh zeroes need n + m <= 40");
    const std::uint64_t size = std::uint64_t{1} << width;
    ensure_working_set(bytes_plus(bytes_times(size, sizeof(std::int32_t)), size / 8 + 8));
    std::vector<std::int32_t> walsh(size);
    walsh_into(f, walsh, false);
    std::vector<std::uint64_t> bits(size / 64 + 1, 0);
    for (std::uint64_t a = 0; a < f.inputs(); ++a) {
        check_interrupt();
        for (std::uint64_t b = 0; b < f.outputs(); ++b) {
            const std::uint64_t u = a | b << f.n;
            if (u == 0 || walsh[a * f.outputs() + b] == 0) bits[u / 64] |= std::uint64_t{1} << (u % 64);
        }
    }
    return bits;
}

// The reduced echelon bases of the dim-dimensional subspaces of a set (a bitset
// holding 0), each given to `found` once: a basis ascends, each vector's highest
// bit is clear in the others. Candidates for the next vector are kept filtered:
// every sum of one with a vector of the span so far lies in the set.
template <class Found>
class SpaceSearch {
public:
    SpaceSearch(const std::vector<std::uint64_t>& set, unsigned dim, Found& found)
        : set_(set), dim_(dim), found_(found), span_{0} {}

    // Whether the search ran to its end (`found` returning false stops it).
    bool run(const std::vector<std::uint64_t>& candidates) {
        if (basis_.size() == dim_) return found_(basis_);
        const std::size_t need = dim_ - basis_.size();
        if (need == 1) {
            // Every candidate left completes the basis: it was kept because its sums with the span lie in the set.
            for (const std::uint64_t v : candidates) {
                check_interrupt();
                basis_.push_back(v);
                const bool going = found_(basis_);
                basis_.pop_back();
                if (!going) return false;
            }
            return true;
        }
        std::vector<std::uint64_t> next;
        for (std::size_t i = 0; i + need <= candidates.size(); ++i) {
            check_interrupt();
            const std::uint64_t v = candidates[i];
            const auto lead = static_cast<unsigned>(std::bit_width(v)) - 1;
            next.clear();
            for (std::size_t j = i + 1; j < candidates.size(); ++j) {
                const std::uint64_t c = candidates[j];
                if (static_cast<unsigned>(std::bit_width(c)) - 1 <= lead || (c >> lead & 1) != 0) continue;
                if (std::all_of(span_.begin(), span_.end(), [&](std::uint64_t s) { return holds(c ^ s ^ v); })) {
                    next.push_back(c);
                }
            }
            if (next.size() + 1 < need) continue;
            const std::size_t old = span_.size();
            for (std::size_t k = 0; k < old; ++k) span_.push_back(span_[k] ^ v);
            basis_.push_back(v);
            const bool going = run(next);
            basis_.pop_back();
            span_.resize(old);
            if (!going) return false;
        }
        return true;
    }

private:
    bool holds(std::uint64_t u) const { return (set_[u / 64] >> (u % 64) & 1) != 0; }

    const std::vector<std::uint64_t>& set_;
    unsigned dim_;
    Found& found_;
    std::vector<std::uint64_t> span_;
    std::vector<std::uint64_t> basis_;
};

// Gives each space to `found` until it returns false; whether the search ended.
template <class Found>
bool over_zero_spaces(const Sbox& f, Found found) {
    const std::vector<std::uint64_t> bits = zero_bits(f);
    std::vector<std::uint64_t> candidates;
    const std::uint64_t size = std::uint64_t{1} << (f.n + f.m);
    for (std::uint64_t u = 1; u < size; ++u) {
        if ((bits[u / 64] >> (u % 64) & 1) != 0) candidates.push_back(u);
    }
    SpaceSearch<Found> search(bits, f.n, found);
    return search.run(candidates);
}

unsigned rank_of(std::vector<std::uint64_t> words) {
    unsigned rank = 0;
    for (std::size_t i = 0; i < words.size(); ++i) {
        if (words[i] == 0) continue;
        ++rank;
        const std::uint64_t pivot = std::uint64_t{1} << (std::bit_width(words[i]) - 1);
        for (std::size_t j = i + 1; j < words.size(); ++j) {
            if ((words[j] & pivot) != 0) words[j] ^= words[i];
        }
    }
    return rank;
}

}  // namespace

void dlct_into(const Sbox& f, std::span<std::int32_t> out) {
    if (f.n == 0) panic("the DLCT needs n >= 1");
    const std::uint64_t width = f.outputs();
    const std::uint32_t* t = f.table.data();
    const std::uint64_t work = f.inputs() * (f.inputs() + (f.m + 1) * width);
    parallel_for(f.inputs(), row_grain(f.n), work, [&](std::uint64_t begin, std::uint64_t end, std::size_t) {
        for (std::uint64_t a = begin; a < end; ++a) {
            check_interrupt();
            std::int32_t* row = out.data() + a * width;
            std::fill(row, row + width, 0);
            for (std::uint64_t x = 0; x < f.inputs(); ++x) ++row[t[x] ^ t[x ^ a]];
            walsh_in_place(row, width);
            for (std::uint64_t b = 0; b < width; ++b) row[b] /= 2;
        }
    });
}

ZeroSpaces walsh_zero_spaces(const Sbox& f, std::uint64_t limit) {
    ZeroSpaces out;
    out.complete = over_zero_spaces(f, [&](const std::vector<std::uint64_t>& basis) {
        if (out.bases.size() + basis.size() > out.bases.capacity()) {
            // The vector doubles: the memory it will hold is checked before it is asked for.
            ensure_working_set(bytes_times(3 * out.bases.capacity() + basis.size(), sizeof(std::uint64_t)));
        }
        out.bases.insert(out.bases.end(), basis.begin(), basis.end());
        return ++out.count <= limit;
    });
    return out;
}

ThicknessSpectrum thickness_spectrum(const Sbox& f, std::uint64_t limit) {
    std::map<std::int64_t, std::uint64_t> counts;
    ThicknessSpectrum out;
    out.complete = over_zero_spaces(f, [&](const std::vector<std::uint64_t>& basis) {
        std::vector<std::uint64_t> outputs;
        for (const std::uint64_t u : basis) outputs.push_back(u >> f.n);
        ++counts[rank_of(outputs)];
        return ++out.count <= limit;
    });
    for (const auto& [thickness, count] : counts) out.counts.push_back({thickness, count});
    return out;
}

const char* ortho_derivative_refusal(const Sbox& f) {
    if (f.n != f.m || f.n < 2) return "the ortho-derivative is defined for n = m >= 2";
    if (algebraic_degree(f) != 2) return "the ortho-derivative is defined for quadratic functions (algebraic degree 2)";
    if (differential_uniformity(f) != 2) return "the ortho-derivative is defined for APN functions";
    return "";
}

// For a quadratic F, x -> F(x) ^ F(x ^ a) ^ F(a) ^ F(0) is linear: its images of
// the unit vectors span it, a hyperplane when F is APN, and pi(a) is the one
// nonzero b orthogonal to them.
std::vector<std::uint32_t> ortho_derivative(const Sbox& f) {
    if (*ortho_derivative_refusal(f) != '\0') panic(ortho_derivative_refusal(f));
    const std::uint32_t* t = f.table.data();
    std::vector<std::uint32_t> pi(f.inputs(), 0);
    parallel_for(f.inputs() - 1, 1, f.inputs() * f.inputs(), [&](std::uint64_t begin, std::uint64_t end, std::size_t) {
        for (std::uint64_t i = begin; i < end; ++i) {
            check_interrupt();
            const std::uint64_t a = i + 1;
            std::uint32_t image[max_outputs];
            for (unsigned k = 0; k < f.n; ++k) {
                const std::uint64_t e = std::uint64_t{1} << k;
                image[k] = t[e] ^ t[e ^ a] ^ t[a] ^ t[0];
            }
            for (std::uint32_t b = 1; b < f.outputs(); ++b) {
                bool orthogonal = true;
                for (unsigned k = 0; k < f.n && orthogonal; ++k) orthogonal = (std::popcount(b & image[k]) & 1) == 0;
                if (orthogonal) {
                    pi[a] = b;
                    break;
                }
            }
        }
    });
    return pi;
}

}  // namespace vexil::vectorial
