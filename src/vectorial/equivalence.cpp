#include "vectorial/equivalence.hpp"

#include "interrupt.hpp"
#include "memory_guard.hpp"
#include "panic.hpp"
#include "progress.hpp"
#include "vectorial/sbox_extra_tables.hpp"

#include <algorithm>
#include <bit>
#include <chrono>
#include <cmath>
#include <functional>
#include <cstddef>
#include <numeric>
#include <utility>

namespace vexil::vectorial {

namespace {

using Colours = std::vector<std::uint32_t>;

// Keys of the vectors u = a | b << n of one function: |W(a, b)| and the halves
// the map must keep (bit 0: b = 0, bit 1: a = 0).
std::vector<std::uint64_t> walsh_keys(const Sbox& f, GraphMap kind) {
    const std::uint64_t size = f.inputs() * f.outputs();
    std::vector<std::int32_t> walsh(size);
    walsh_into(f, walsh, false);
    std::vector<std::uint64_t> keys(size);
    for (std::uint64_t a = 0; a < f.inputs(); ++a) {
        check_interrupt();
        for (std::uint64_t b = 0; b < f.outputs(); ++b) {
            const std::int32_t w = walsh[a * f.outputs() + b];
            std::uint64_t key = static_cast<std::uint64_t>(w < 0 ? -static_cast<std::int64_t>(w) : w) << 2;
            if (kind != GraphMap::ccz && b == 0) key |= 1;
            if ((kind == GraphMap::linear || kind == GraphMap::affine) && a == 0) key |= 2;
            keys[a | b << f.n] = key;
        }
    }
    return keys;
}

// Numbers the keys of both sides alike, in order of keys.
std::pair<Colours, Colours> number(const std::vector<std::uint64_t>& kf, const std::vector<std::uint64_t>& kg,
                                   std::uint32_t& classes) {
    std::vector<std::uint64_t> keys(kf);
    keys.insert(keys.end(), kg.begin(), kg.end());
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    classes = static_cast<std::uint32_t>(keys.size());
    const auto id = [&](std::uint64_t k) {
        return static_cast<std::uint32_t>(std::lower_bound(keys.begin(), keys.end(), k) - keys.begin());
    };
    Colours cf(kf.size());
    Colours cg(kg.size());
    for (std::size_t u = 0; u < kf.size(); ++u) cf[u] = id(kf[u]);
    for (std::size_t u = 0; u < kg.size(); ++u) cg[u] = id(kg[u]);
    return {std::move(cf), std::move(cg)};
}

std::vector<std::uint64_t> sizes(const Colours& c, std::uint32_t classes) {
    std::vector<std::uint64_t> s(classes, 0);
    for (const std::uint32_t k : c) ++s[k];
    return s;
}

// The colours refined by the class r: a vector's new key is its colour (high word, so that an
// unchanged partition keeps its numbers) and a hash of how many v of class r have u ^ v of each
// colour. Both sides hash alike, so a collision only merges colours: the key stays invariant.
std::vector<std::uint64_t> refined_keys(const Colours& c, std::uint32_t r) {
    std::vector<std::uint64_t> members;
    for (std::uint64_t u = 0; u < c.size(); ++u) {
        if (c[u] == r) members.push_back(u);
    }
    std::vector<std::uint64_t> keys(c.size());
    std::vector<std::uint32_t> seen(members.size());
    for (std::uint64_t u = 0; u < c.size(); ++u) {
        if (u % 1024 == 0) check_interrupt();
        for (std::size_t i = 0; i < members.size(); ++i) seen[i] = c[u ^ members[i]];
        std::sort(seen.begin(), seen.end());
        std::uint64_t h = 0xCBF29CE484222325ULL;
        for (const std::uint32_t k : seen) h = (h ^ k) * 0x100000001B3ULL;
        keys[u] = std::uint64_t{c[u]} << 32 | (h >> 32);
    }
    return keys;
}

// GF(2) matrices as row words: bit i of M.x is the parity of rows[i] & x.
std::uint64_t times(const std::vector<std::uint64_t>& rows, std::uint64_t x) {
    std::uint64_t y = 0;
    for (std::size_t i = 0; i < rows.size(); ++i) y |= static_cast<std::uint64_t>(std::popcount(rows[i] & x) & 1) << i;
    return y;
}

std::vector<std::uint64_t> transpose(const std::vector<std::uint64_t>& rows, unsigned cols) {
    std::vector<std::uint64_t> t(cols, 0);
    for (std::size_t i = 0; i < rows.size(); ++i) {
        for (unsigned j = 0; j < cols; ++j) t[j] |= (rows[i] >> j & 1) << i;
    }
    return t;
}

// The inverse of an invertible square matrix, by Gauss-Jordan on [M | I].
std::vector<std::uint64_t> inverse(std::vector<std::uint64_t> rows) {
    const std::size_t d = rows.size();
    std::vector<std::uint64_t> inv(d);
    for (std::size_t i = 0; i < d; ++i) inv[i] = std::uint64_t{1} << i;
    for (std::size_t col = 0; col < d; ++col) {
        std::size_t pivot = col;
        while (pivot < d && (rows[pivot] >> col & 1) == 0) ++pivot;
        if (pivot == d) panic("a singular matrix in the equivalence search");
        std::swap(rows[col], rows[pivot]);
        std::swap(inv[col], inv[pivot]);
        for (std::size_t i = 0; i < d; ++i) {
            if (i != col && (rows[i] >> col & 1) != 0) {
                rows[i] ^= rows[col];
                inv[i] ^= inv[col];
            }
        }
    }
    return inv;
}

// Whether L(G_f) ^ c is the graph of g, on every point.
bool maps_graph(const Sbox& f, const Sbox& g, const std::vector<std::uint64_t>& rows, std::uint64_t c) {
    std::vector<bool> seen(g.inputs(), false);
    for (std::uint64_t x = 0; x < f.inputs(); ++x) {
        const std::uint64_t q = times(rows, x | std::uint64_t{f.table[x]} << f.n) ^ c;
        const std::uint64_t z = q & (g.inputs() - 1);
        if (g.table[z] != q >> g.n || seen[z]) return false;
        seen[z] = true;
    }
    return true;
}

class Search {
public:
    // accept(rows, c) may refuse a map of the graphs (the search goes on) or change it.
    using Accept = std::function<bool(std::vector<std::uint64_t>&, std::uint64_t&)>;

    Search(const Sbox& f, const Sbox& g, GraphMap kind, double seconds, Accept accept = {})
        : f_(f),
          g_(g),
          kind_(kind),
          bits_(f.n + f.m),
          size_(std::uint64_t{1} << bits_),
          start_(std::chrono::steady_clock::now()),
          seconds_(seconds),
          accept_(std::move(accept)) {}

    GraphEquivalence run() {
        try {
            if (!colour()) return result_;
            choose_basis();
            for (std::uint64_t u = 0; u < size_; ++u) members_[cf_[u]].push_back(static_cast<std::uint32_t>(u));
            dom_.assign(size_, 0);
            img_.assign(size_, 0);
            graph_g_.assign(size_ / 64 + 1, 0);
            for (std::uint64_t x = 0; x < g_.inputs(); ++x) {
                const std::uint64_t p = x | std::uint64_t{g_.table[x]} << g_.n;
                graph_g_[p / 64] |= std::uint64_t{1} << (p % 64);
            }
            if (detail::current_progress != nullptr) detail::current_progress->plan(members_[cg_[basis_[0]]].size());
            extend(0);
        } catch (const Found&) {
            result_.outcome = GraphEquivalence::Outcome::found;
        } catch (const TimedOut&) {
            result_.outcome = GraphEquivalence::Outcome::timed_out;
        }
        return result_;
    }

private:
    struct Found {};
    struct TimedOut {};

    // Colours both sides; false when their class sizes differ (no map exists).
    bool colour() {
        ensure_working_set(bytes_times(size_, 48));
        std::uint32_t classes = 0;
        std::tie(cf_, cg_) = number(walsh_keys(f_, kind_), walsh_keys(g_, kind_), classes);
        if (sizes(cf_, classes) != sizes(cg_, classes)) return false;
        std::vector<bool> used(classes, false);
        std::uint64_t spent = 0;
        for (int round = 0; round < 6; ++round) {
            const std::vector<std::uint64_t> s = sizes(cf_, classes);
            std::uint32_t r = classes;
            for (std::uint32_t k = 0; k < classes; ++k) {
                if (!used[k] && s[k] >= 2 && (r == classes || s[k] < s[r])) r = k;
            }
            // About 2^24 sums in all: the refinement must stay well under a second.
            // Past a quarter of the vectors in classes of their own, the search needs no more.
            if (r == classes || classes > size_ / 4 || (spent += s[r] * size_) > (std::uint64_t{1} << 24)) break;
            used[r] = true;
            check_time();
            std::uint32_t refined = 0;
            std::tie(cf_, cg_) = number(refined_keys(cf_, r), refined_keys(cg_, r), refined);
            if (sizes(cf_, refined) != sizes(cg_, refined)) return false;
            // Class numbers follow the keys, which start with the old colour: an unchanged partition keeps its numbers.
            if (refined == classes) continue;
            std::vector<bool> kept(refined, false);
            used.swap(kept);
            classes = refined;
        }
        classes_ = classes;
        members_.assign(classes, {});
        return true;
    }

    // G's basis, vector by vector: the one with the fewest expected candidates, its class size
    // times, for each sum with a vector of the span so far, the chance that a sum of two vectors
    // of those colours has the colour it must have (sampled from G's vectors, so that sums that
    // a structure forces, as two vectors of a kept half, count as no constraint). Past the first
    // levels, where the estimate costs 2^(n+m) sums a vector of the span, the vectors of the
    // smallest classes come first.
    void choose_basis() {
        const std::vector<std::uint64_t> s = sizes(cg_, classes_);
        std::vector<std::vector<std::uint32_t>> of_class(classes_);
        for (std::uint64_t u = 0; u < size_; ++u) of_class[cg_[u]].push_back(static_cast<std::uint32_t>(u));
        // chance[(c1 * classes + c2) * classes + c3]: log2 of the share of sums of a c1 and a c2 that are c3.
        const bool few = classes_ <= 64;
        const std::uint64_t k3 = few ? std::uint64_t{classes_} * classes_ * classes_ : 0;
        std::vector<double> chance(k3, 0.0);
        std::uint64_t state = 0x9E3779B97F4A7C15ULL;
        const auto next = [&state] {
            state ^= state << 13;
            state ^= state >> 7;
            state ^= state << 17;
            return state;
        };
        constexpr unsigned samples = 64;
        for (std::uint32_t c1 = 0; few && c1 < classes_; ++c1) {
            check_interrupt();
            for (std::uint32_t c2 = 0; c2 < classes_; ++c2) {
                double* row = chance.data() + (std::uint64_t{c1} * classes_ + c2) * classes_;
                std::vector<unsigned> hits(classes_, 0);
                for (unsigned i = 0; i < samples; ++i) {
                    const std::uint32_t x = of_class[c1][next() % of_class[c1].size()];
                    const std::uint32_t y = of_class[c2][next() % of_class[c2].size()];
                    ++hits[cg_[x ^ y]];
                }
                for (std::uint32_t c3 = 0; c3 < classes_; ++c3) {
                    row[c3] = std::log2((hits[c3] + 0.5) / (samples + 0.5 * classes_));
                }
            }
        }
        const auto weight = [&](std::uint64_t e, std::uint64_t span_vector) {
            const std::uint32_t c = cg_[e ^ span_vector];
            if (!few) return std::log2(static_cast<double>(s[c]) / static_cast<double>(size_));
            return chance[(std::uint64_t{cg_[e]} * classes_ + cg_[span_vector]) * classes_ + c];
        };
        std::vector<std::uint64_t> span{0};
        std::vector<bool> in_span(size_, false);
        in_span[0] = true;
        const auto take = [&](std::uint64_t e) {
            basis_.push_back(e);
            const std::size_t old = span.size();
            for (std::size_t i = 0; i < old; ++i) {
                span.push_back(span[i] ^ e);
                in_span[span[i] ^ e] = true;
            }
        };
        while (basis_.size() < bits_ && span.size() * size_ <= (std::uint64_t{1} << 22)) {
            check_time();
            double best = 0;
            std::uint64_t pick = 0;
            for (std::uint64_t e = 1; e < size_; ++e) {
                if (in_span[e]) continue;
                double score = std::log2(static_cast<double>(s[cg_[e]]));
                for (std::size_t i = 1; i < span.size(); ++i) score += weight(e, span[i]);
                if (pick == 0 || score < best) {
                    best = score;
                    pick = e;
                }
            }
            take(pick);
        }
        std::vector<std::uint32_t> order(size_ - 1);
        std::iota(order.begin(), order.end(), 1U);
        std::stable_sort(order.begin(), order.end(),
                         [&](std::uint32_t x, std::uint32_t y) { return s[cg_[x]] < s[cg_[y]]; });
        for (const std::uint32_t u : order) {
            if (basis_.size() == bits_) break;
            if (!in_span[u]) take(u);
        }
    }

    void tick() {
        if (++nodes_ % 1024 == 0) check_time();
    }

    void check_time() const {
        check_interrupt();
        if (seconds_ > 0 &&
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count() > seconds_) {
            throw TimedOut{};
        }
    }

    // Tries every image of basis vector k; dom_ and img_ hold the span of those before.
    void extend(unsigned k) {
        if (k == bits_) {
            verify();
            return;
        }
        const std::uint64_t half = std::uint64_t{1} << k;
        const std::uint64_t e = basis_[k];
        for (const std::uint32_t w : members_[cg_[e]]) {
            tick();
            bool fits = true;
            for (std::uint64_t s = 0; s < half && fits; ++s) {
                const std::uint64_t image = img_[s] ^ w;
                fits = image != 0 && cf_[image] == cg_[dom_[s] ^ e];
            }
            if (fits) {
                for (std::uint64_t s = 0; s < half; ++s) {
                    dom_[half + s] = dom_[s] ^ e;
                    img_[half + s] = img_[s] ^ w;
                }
                extend(k + 1);
            }
            if (k == 0 && detail::current_progress != nullptr) detail::current_progress->advance(1);
        }
    }

    // M maps dom_[s] to img_[s]; L = M^T has row i = M(1 << i). Checks L(G_F) ^ c = G_G.
    void verify() {
        std::vector<std::uint64_t> rows(bits_);
        for (std::uint64_t s = 0; s < size_; ++s) {
            if (std::has_single_bit(dom_[s])) rows[std::countr_zero(dom_[s])] = img_[s];
        }
        std::vector<std::uint64_t> mapped(f_.inputs());
        for (std::uint64_t x = 0; x < f_.inputs(); ++x) {
            const std::uint64_t p = x | std::uint64_t{f_.table[x]} << f_.n;
            std::uint64_t q = 0;
            for (unsigned i = 0; i < bits_; ++i) q |= static_cast<std::uint64_t>(std::popcount(rows[i] & p) & 1) << i;
            mapped[x] = q;
        }
        const auto in_g = [&](std::uint64_t p) { return (graph_g_[p / 64] >> (p % 64) & 1) != 0; };
        const auto works = [&](std::uint64_t c) {
            return std::all_of(mapped.begin(), mapped.end(), [&](std::uint64_t q) { return in_g(q ^ c); });
        };
        if (kind_ == GraphMap::linear) {
            if (works(0)) found(rows, 0);
            return;
        }
        for (std::uint64_t x = 0; x < g_.inputs(); ++x) {
            tick();
            const std::uint64_t c = mapped[0] ^ (x | std::uint64_t{g_.table[x]} << g_.n);
            if (works(c)) found(rows, c);
        }
    }

    void found(std::vector<std::uint64_t> rows, std::uint64_t c) {
        if (accept_ && !accept_(rows, c)) return;
        result_.rows = std::move(rows);
        result_.translation = c;
        throw Found{};
    }

    Sbox f_;
    Sbox g_;
    GraphMap kind_;
    unsigned bits_;
    std::uint64_t size_;
    std::chrono::steady_clock::time_point start_;
    double seconds_;
    Accept accept_;
    std::uint64_t nodes_ = 0;
    std::uint32_t classes_ = 0;
    Colours cf_;
    Colours cg_;
    std::vector<std::vector<std::uint32_t>> members_;  // F's vectors of each colour
    std::vector<std::uint64_t> basis_;                 // G's basis, in search order
    std::vector<std::uint64_t> dom_;                   // the span of the basis so far ...
    std::vector<std::uint64_t> img_;                   // ... and its images under M
    std::vector<std::uint64_t> graph_g_;               // G's graph as a bitset
    GraphEquivalence result_;
};

}  // namespace

// Quadratic APN f and g are CCZ-equivalent exactly when EA-equivalent (Yoshiara, J. Algebraic
// Combin. 35, 2012), and g = B.f.A ^ C (C affine) makes their ortho-derivatives linear equivalent:
// B^T pi_g = pi_f A. So the search runs on the ortho-derivatives, far less regular than f and g,
// and each linear map found (pi_g = R pi_f P^-1) is kept when g ^ B.f.A is affine for A = P^-1,
// B = R^-T; the map of the graphs is then [[P, 0], [C P, B]] with the constant (0, C(0)). An affine
// equivalence g = B.f(A x ^ a) ^ b is one of these, so for it (and a linear one, a = b = 0) each
// (A, B) found is kept when some a leaves g ^ B.f(A x ^ a) constant.
GraphEquivalence quadratic_apn_equivalence(const Sbox& f, const Sbox& g, GraphMap kind, double seconds) {
    const std::vector<std::uint32_t> pf = ortho_derivative(f);
    const std::vector<std::uint32_t> pg = ortho_derivative(g);
    const Sbox of_f{pf, f.n, f.m};
    const Sbox of_g{pg, g.n, g.m};
    const unsigned n = f.n;
    const std::uint64_t low = (std::uint64_t{1} << n) - 1;
    const auto accept = [&](std::vector<std::uint64_t>& rows, std::uint64_t& c) {
        std::vector<std::uint64_t> p(n);
        std::vector<std::uint64_t> r(f.m);
        for (unsigned i = 0; i < n; ++i) p[i] = rows[i] & low;
        for (unsigned j = 0; j < f.m; ++j) r[j] = rows[n + j] >> n;
        const std::vector<std::uint64_t> a = inverse(p);
        const std::vector<std::uint64_t> b = transpose(inverse(r), f.m);
        if (kind == GraphMap::affine || kind == GraphMap::linear) {
            std::vector<std::uint64_t> l(n + f.m);
            for (unsigned i = 0; i < n; ++i) l[i] = p[i];
            for (unsigned j = 0; j < f.m; ++j) l[n + j] = b[j] << n;
            const std::uint64_t shifts = kind == GraphMap::linear ? 1 : f.inputs();
            for (std::uint64_t shift = 0; shift < shifts; ++shift) {
                const std::uint64_t constant = g.table[0] ^ times(b, f.table[times(a, 0) ^ shift]);
                if (kind == GraphMap::linear && constant != 0) continue;
                const std::uint64_t translation = times(p, shift) | constant << n;
                if (maps_graph(f, g, l, translation)) {
                    rows = l;
                    c = translation;
                    return true;
                }
            }
            return false;
        }
        const auto c_of = [&](std::uint64_t x) { return g.table[x] ^ times(b, f.table[times(a, x)]); };
        const std::uint64_t c0 = c_of(0);
        // C P: column k is C(P e_k) ^ C(0), with C linear plus c0 when g ^ B.f.A is affine.
        std::vector<std::uint64_t> columns(n);
        for (unsigned k = 0; k < n; ++k) columns[k] = c_of(times(p, std::uint64_t{1} << k)) ^ c0;
        const std::vector<std::uint64_t> cp = transpose(columns, f.m);
        std::vector<std::uint64_t> l(n + f.m);
        for (unsigned i = 0; i < n; ++i) l[i] = p[i];
        for (unsigned j = 0; j < f.m; ++j) l[n + j] = cp[j] | b[j] << n;
        if (!maps_graph(f, g, l, c0 << n)) return false;
        rows = l;
        c = c0 << n;
        return true;
    };
    return Search(of_f, of_g, GraphMap::linear, seconds, accept).run();
}

GraphEquivalence graph_equivalence(const Sbox& f, const Sbox& g, GraphMap kind, double seconds) {
    if (f.n != g.n || f.m != g.m) panic("equivalent functions have the same n and m");
    if (f.n + f.m > max_graph_bits) panic("the equivalence search needs n + m <= 20");
    if (*ortho_derivative_refusal(f) == '\0' && *ortho_derivative_refusal(g) == '\0') {
        return quadratic_apn_equivalence(f, g, kind, seconds);
    }
    return Search(f, g, kind, seconds).run();
}

}  // namespace vexil::vectorial
