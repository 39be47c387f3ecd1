#include "base/combinatorics.hpp"

#include <array>
#include <bit>
#include <utility>

namespace vexil {

std::uint64_t binomial(unsigned a, unsigned b) {
    static const auto table = [] {
        std::array<std::array<std::uint64_t, 65>, 65> c{};
        for (unsigned i = 0; i <= 64; ++i) {
            c[i][0] = 1;
            for (unsigned j = 1; j <= i; ++j) c[i][j] = c[i - 1][j - 1] + (j < i ? c[i - 1][j] : 0);
        }
        return c;
    }();
    if (a > 64 || b > a) return 0;
    return table[a][b];
}

SubsetEnumerator::SubsetEnumerator(std::vector<std::uint64_t> pool, std::size_t k)
    : pool_(std::move(pool)), positions_(k), done_(k > pool_.size()) {}

bool SubsetEnumerator::next(std::vector<std::uint64_t>& subset) {
    if (done_) return false;
    const std::size_t k = positions_.size();
    const std::size_t p = pool_.size();
    if (!started_) {
        started_ = true;
        for (std::size_t i = 0; i < k; ++i) positions_[i] = i;
    } else {
        std::size_t i = k;
        while (i > 0 && positions_[i - 1] == p - k + (i - 1)) --i;
        if (i == 0) {
            done_ = true;
            return false;
        }
        ++positions_[i - 1];
        for (std::size_t j = i; j < k; ++j) positions_[j] = positions_[j - 1] + 1;
    }
    subset.resize(k);
    for (std::size_t i = 0; i < k; ++i) subset[i] = pool_[positions_[i]];
    return true;
}

namespace detail {

std::uint64_t lex_rank(std::uint64_t mask, unsigned p, unsigned k) {
    // Subsets before `mask`: for each chosen element c_i, those that agree
    // before position i and hold a smaller value there (a hockey-stick sum).
    std::uint64_t rank = 0;
    unsigned start = 0;  // smallest value position i may take
    unsigned i = 0;
    for (std::uint64_t rest = mask; rest != 0; rest &= rest - 1, ++i) {
        const auto c = static_cast<unsigned>(std::countr_zero(rest));
        rank += binomial(p - start, k - i) - binomial(p - c, k - i);
        start = c + 1;
    }
    return rank;
}

std::uint64_t revolving_door_unrank(std::uint64_t rank, unsigned p, unsigned k) {
    std::uint64_t mask = 0;
    while (k > 0) {
        const std::uint64_t without_last = binomial(p - 1, k);
        if (rank >= without_last) {
            // In the reversed half, which all hold p - 1.
            rank = binomial(p - 1, k - 1) - 1 - (rank - without_last);
            mask |= std::uint64_t{1} << (p - 1);
            --k;
        }
        --p;
    }
    return mask;
}

}  // namespace detail

}  // namespace vexil
