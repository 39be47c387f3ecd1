// Counting and enumerating the k-subsets of a small pool: binomials, the
// lexicographic order the cut measures store their results in, and the
// revolving-door order their walks visit subsets in.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace vexil {

// Binomial coefficient C(a, b) for a <= 64 (0 when b > a).
std::uint64_t binomial(unsigned a, unsigned b);

// Lexicographic enumeration of the k-subsets of a pool, as ascending lists of
// pool members: first the first k members, then repeatedly raise the
// rightmost position that is not at its largest value and reset the ones to
// its right. k = 0 yields the empty subset once; k > pool size yields nothing.
class SubsetEnumerator {
public:
    SubsetEnumerator(std::vector<std::uint64_t> pool, std::size_t k);
    // Fills `subset` with the next subset; false when the enumeration is over.
    bool next(std::vector<std::uint64_t>& subset);

private:
    std::vector<std::uint64_t> pool_;
    std::vector<std::size_t> positions_;
    bool started_ = false;
    bool done_ = false;
};

namespace detail {

// Rank of the k-subset `mask` of {0..p-1} in lexicographic order.
std::uint64_t lex_rank(std::uint64_t mask, unsigned p, unsigned k);

// The k-subset of {0..p-1} of rank `rank` in revolving-door order: the list
// for (p, k) is the list for (p-1, k) followed by the reversed list for
// (p-1, k-1) with p-1 added. Neighbours differ by one element in, one out.
std::uint64_t revolving_door_unrank(std::uint64_t rank, unsigned p, unsigned k);

}  // namespace detail

}  // namespace vexil
