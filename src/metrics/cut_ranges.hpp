// The cut and subset measures over a range of ranks, so that one computation
// can be split into independent pieces (tasks of a cluster) and combined
// exactly as the whole computation combines them.
//
// A range is a run [begin, end) of lexicographic ranks, the order the results
// are stored and summed in: the balanced cuts in the order of
// balanced_bipartitions, the k-subsets of 0..n-1 in the order of
// SubsetEnumerator. A lexicographic range splits into at most 2p blocks
// (p: the pool size of the walk) that each hold all j-subsets of a tail of the
// pool beside a fixed prefix; each block is walked in revolving-door order, one
// slot swap per cut, and its first cut is reached from the previous one by a
// few swaps. So a range costs what the same number of cuts costs inside the
// whole walk, plus one layout of the tables per pool worker.
//
// Every range function takes the truth table as 0/1 bytes (a power-of-two
// count), writes one value per rank into `out` (out[i] for rank begin + i,
// out.size() values), runs on the worker pool from n = 10 on, is interruptible
// and checks its working set first (the caller's output buffers included).
// A range that does not fit the ranks throws std::out_of_range.
#pragma once

#include <cstdint>
#include <span>

namespace vexil {

// Number of k-subsets of 0..n-1 (0 for k > n).
std::uint64_t subset_count(unsigned n, unsigned k);

// restriction_count(set1) + restriction_count(set2) of the balanced cuts
// (bipartition_count(n) of them; n = 0: the one cut, 2).
void cut_counts_range(std::span<const std::uint8_t> entries, std::uint64_t begin, std::span<std::uint64_t> out);

// restriction_entropy(set1) + restriction_entropy(set2) of the balanced cuts,
// added in single precision as entropy() adds them (n = 0: -0.0).
void cut_entropies_range(std::span<const std::uint8_t> entries, std::uint64_t begin, std::span<float> out);

// restriction_entropy of the k-subsets (k <= n, else std::out_of_range). With
// a non-empty `complements` (as long as `out`), also of their complements:
// the complement of the k-subset of rank r is the (n-k)-subset of rank
// C(n, k) - 1 - r, so the range's complements are the (n-k)-subsets of ranks
// [C(n, k) - end, C(n, k) - begin), and complements[i] is the one of rank
// C(n, k) - end + i.
void subset_entropies_range(std::span<const std::uint8_t> entries, unsigned k, std::uint64_t begin,
                            std::span<float> out, std::span<float> complements);

}  // namespace vexil
