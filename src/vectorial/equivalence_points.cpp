#include "vectorial/equivalence_points.hpp"

#include "interrupt.hpp"

#include <algorithm>
#include <chrono>
#include <cstddef>
#include <map>
#include <numeric>

namespace vexil::vectorial {

namespace {

struct State {
    std::vector<std::int32_t> a, a_inverse, b, b_inverse;
    std::vector<std::uint32_t> a_domain, b_domain, queue_a, queue_b;
};

class Search {
public:
    Search(const PointProblem& p, double seconds)
        : p_(p),
          size_(p.f.size()),
          f_inverse_(size_),
          g_inverse_(size_),
          start_(std::chrono::steady_clock::now()),
          seconds_(seconds) {
        for (std::size_t x = 0; x < size_; ++x) {
            f_inverse_[p.f[x]] = static_cast<std::uint32_t>(x);
            g_inverse_[p.g[x]] = static_cast<std::uint32_t>(x);
        }
        for (std::size_t v = 0; v < size_; ++v) classes_[p.colour_in_f[v]].push_back(static_cast<std::uint32_t>(v));
        guess_order_.resize(size_ - 1);
        std::iota(guess_order_.begin(), guess_order_.end(), 1U);
        const auto count = [&](std::uint32_t x) {
            const auto it = classes_.find(p.colour_in_g[x]);
            return it == classes_.end() ? std::size_t{0} : it->second.size();
        };
        std::stable_sort(guess_order_.begin(), guess_order_.end(),
                         [&](std::uint32_t x, std::uint32_t y) { return count(x) < count(y); });
    }

    struct TimedOut {};

    bool start(State& s) const {
        if (p_.colour_in_f[0] != p_.colour_in_g[0] || p_.colour_out_f[0] != p_.colour_out_g[0]) return false;
        s.a.assign(size_, -1);
        s.a_inverse.assign(size_, -1);
        s.b.assign(size_, -1);
        s.b_inverse.assign(size_, -1);
        s.a[0] = s.a_inverse[0] = s.b[0] = s.b_inverse[0] = 0;
        s.a_domain = {0};
        s.b_domain = {0};
        s.queue_a = {0};
        s.queue_b = {0};
        return true;
    }

    // The next point to guess and the images it may take.
    std::uint32_t candidates(const State& s, std::vector<std::uint32_t>& out) const {
        const std::uint32_t x = *std::find_if(guess_order_.begin(), guess_order_.end(),
                                              [&](std::uint32_t point) { return s.a[point] < 0; });
        out.clear();
        const auto it = classes_.find(p_.colour_in_g[x]);
        if (it == classes_.end()) return x;
        for (const std::uint32_t v : it->second) {
            if (s.a_inverse[v] >= 0) continue;
            bool agree = true;
            for (std::size_t i = 0; i < s.a_domain.size() && agree; ++i) {
                const std::uint32_t point = s.a_domain[i];
                agree =
                    p_.squares_f[static_cast<std::size_t>(s.a[point]) * size_ + v] == p_.squares_g[point * size_ + x];
            }
            if (agree) out.push_back(v);
        }
        return x;
    }

    bool solve(State& s, PointSearch& result) {
        check_interrupt();
        if (seconds_ > 0 &&
            std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count() > seconds_) {
            throw TimedOut{};
        }
        if (!propagate(s)) return false;
        if (s.a_domain.size() == size_) {
            result.a = s.a;
            result.b = s.b;
            return true;
        }
        std::vector<std::uint32_t> images;
        const std::uint32_t x = candidates(s, images);
        for (const std::uint32_t v : images) {
            State branch = s;
            if (extend_a(branch, x, v) && solve(branch, result)) return true;
        }
        return false;
    }

    bool propagate(State& s) const {
        while (!s.queue_a.empty() || !s.queue_b.empty()) {
            while (!s.queue_a.empty()) {
                const std::uint32_t x = s.queue_a.back();
                s.queue_a.pop_back();
                const std::uint32_t y = p_.f[static_cast<std::size_t>(s.a[x])];
                const std::uint32_t z = p_.g[x];  // B(y) = z
                if (s.b[y] >= 0) {
                    if (static_cast<std::uint32_t>(s.b[y]) != z) return false;
                } else if (!extend_b(s, y, z)) {
                    return false;
                }
            }
            while (!s.queue_b.empty()) {
                const std::uint32_t y = s.queue_b.back();
                s.queue_b.pop_back();
                const std::uint32_t x = g_inverse_[static_cast<std::size_t>(s.b[y])];
                const std::uint32_t w = f_inverse_[y];  // A(x) = w
                if (s.a[x] >= 0) {
                    if (static_cast<std::uint32_t>(s.a[x]) != w) return false;
                } else if (!extend_a(s, x, w)) {
                    return false;
                }
            }
        }
        return true;
    }

    bool extend_a(State& s, std::uint32_t x, std::uint32_t v) const {
        return extend(s.a, s.a_inverse, s.a_domain, s.queue_a, p_.colour_in_g, p_.colour_in_f, x, v);
    }
    bool extend_b(State& s, std::uint32_t y, std::uint32_t z) const {
        return extend(s.b, s.b_inverse, s.b_domain, s.queue_b, p_.colour_out_f, p_.colour_out_g, y, z);
    }

    // x -> v on a map known on the span `domain`: every s of the span gives s ^ x -> map[s] ^ v.
    static bool extend(std::vector<std::int32_t>& map, std::vector<std::int32_t>& inverse,
                       std::vector<std::uint32_t>& domain, std::vector<std::uint32_t>& queue,
                       std::span<const std::uint32_t> colour_of_point, std::span<const std::uint32_t> colour_of_image,
                       std::uint32_t x, std::uint32_t v) {
        if (inverse[v] >= 0) return false;
        const std::size_t old = domain.size();
        for (std::size_t i = 0; i < old; ++i) {
            const std::uint32_t point = domain[i] ^ x;
            const std::uint32_t image = static_cast<std::uint32_t>(map[domain[i]]) ^ v;
            if (colour_of_point[point] != colour_of_image[image]) return false;
            map[point] = static_cast<std::int32_t>(image);
            inverse[image] = static_cast<std::int32_t>(point);
            domain.push_back(point);
        }
        queue.insert(queue.end(), domain.begin() + static_cast<std::ptrdiff_t>(old), domain.end());
        return true;
    }

private:
    const PointProblem& p_;
    std::size_t size_;
    std::vector<std::uint32_t> f_inverse_, g_inverse_;
    std::map<std::uint32_t, std::vector<std::uint32_t>> classes_;
    std::vector<std::uint32_t> guess_order_;
    std::chrono::steady_clock::time_point start_;
    double seconds_;
};

}  // namespace

PointSearch point_search(const PointProblem& p, bool first_guesses, double seconds) {
    PointSearch result;
    Search search(p, seconds);
    State s;
    try {
        if (!search.start(s)) return result;
        if (!first_guesses) {
            if (search.solve(s, result)) result.outcome = PointSearch::Outcome::found;
            return result;
        }
        if (!search.propagate(s)) return result;
        if (s.a_domain.size() == p.f.size()) {
            result.firsts.push_back(s.a);
            return result;
        }
        std::vector<std::uint32_t> images;
        const std::uint32_t x = search.candidates(s, images);
        for (const std::uint32_t v : images) {
            State branch = s;
            PointSearch found;
            if (search.extend_a(branch, x, v) && search.solve(branch, found)) result.firsts.push_back(found.a);
        }
    } catch (const Search::TimedOut&) {
        result.outcome = PointSearch::Outcome::timed_out;
    }
    return result;
}

}  // namespace vexil::vectorial
