// Restrictions of a truth table by fixed variables: their number and the
// entropy of their distribution, plus the machinery the cut measures share.
//
// Fixing the sorted list S of m variables in all 2^m ways gives 2^m
// restrictions over the free variables (0..n-1 not in S). A repeated index
// adds assignment bits that land on the same variable; an index of n or more
// (64 and above included, without folding) fixes nothing, and an assignment
// that sets it reads false everywhere.
//
// The work is done on a bit-packed copy of the table whose index bits
// ("slots") are permuted so that the fixed variables are the high bits: every
// restriction is then one contiguous run of bits, a row, and equal
// restrictions are equal rows. Swapping two slots is one pass over the packed
// table, which is what makes walking many subsets cheap.
#pragma once

#include "fvalue.hpp"
#include "base/combinatorics.hpp"
#include "base/packed_table.hpp"

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace vexil {

// Number of distinct restrictions of f by `vars` (at least 1). Throws
// std::bad_alloc when the 2^m assignments of the list cannot be held
// (m counts repeats; m >= 64 always).
std::uint64_t restriction_count(const FValue& f, std::span<const std::uint64_t> vars);

// Base-2 entropy of the distribution of the 2^m restrictions of f by `vars`,
// in single precision: -(sum of p * log2(p)) with p = count / 2^m, the sum
// starting at -0.0 and visiting the distinct restrictions in ascending order
// of their counts (equal counts give equal terms, so the order is fixed by the
// multiset of counts alone). One class gives -0.0. Same failure as above.
float restriction_entropy(const FValue& f, std::span<const std::uint64_t> vars);

namespace detail {

// A packed table whose index bits hold the variables in a chosen order.
class SlotTable {
public:
    // Takes `packed` (from pack_table) with variable v in slot v; the copy
    // reuses this table's words.
    void assign(const std::vector<std::uint64_t>& packed, unsigned n);
    void assign(std::vector<std::uint64_t>&& packed, unsigned n);
    // Exchanges the variables in slots a and b: one pass over the words.
    void swap_slots(unsigned a, unsigned b);
    void swap_vars(unsigned u, unsigned v) { swap_slots(slot_of_[u], slot_of_[v]); }
    // Puts the variables of `high` (a mask over 0..n-1) in the top slots.
    void arrange(std::uint64_t high);
    // Variable in slot s.
    unsigned var_at(unsigned s) const { return var_at_[s]; }
    const std::uint64_t* words() const { return words_.data(); }

private:
    void identity_slots(unsigned n);

    std::vector<std::uint64_t> words_;
    unsigned n_ = 0;
    std::array<std::uint8_t, 64> slot_of_{};
    std::array<std::uint8_t, 64> var_at_{};
};

// Groups the 2^d rows of 2^r bits of a slot table (row e is bits
// [e * 2^r, (e + 1) * 2^r)) into classes of equal rows. Reusable scratch:
// one per thread.
class RowClasses {
public:
    // Every row weighs 1. Returns the number of classes.
    std::uint64_t classify(const std::uint64_t* words, unsigned d, unsigned r);
    // Row e weighs the product of factors[t] over the set bits t of e.
    std::uint64_t classify_weighted(const std::uint64_t* words, unsigned d, unsigned r,
                                    std::span<const std::uint64_t> factors);

    // Total weight of each class, in order of first appearance.
    std::span<std::uint64_t> counts() { return counts_; }
    // Class of the all-false row, or -1 when no row is all false.
    std::int64_t zero_class() const { return zero_class_; }
    // Adds a class of the given weight (for rows not present in the table).
    void add_class(std::uint64_t weight) { counts_.push_back(weight); }

    // Entropy of the current classes for a total weight of 2^m (the order of
    // summation of restriction_entropy). Reorders counts().
    float entropy(unsigned m);

private:
    template <class Weight>
    std::uint64_t run(const std::uint64_t* words, unsigned d, unsigned r, const Weight& weight);
    void prepare_hash(std::uint64_t max_classes);

    std::vector<std::uint64_t> counts_;
    std::int64_t zero_class_ = -1;
    // Short rows (up to 16 bits): class + 1 by row value.
    std::vector<std::uint32_t> direct_;
    std::vector<std::uint32_t> touched_;
    // Longer rows: open addressing on a hash of the row. A slot holds 32
    // bits of the hash above the class + 1 (0: free); a match is confirmed
    // against the class's row.
    std::vector<std::uint64_t> table_;
    unsigned hash_shift_ = 64;
    std::uint64_t hash_mask_ = 0;
    std::vector<std::uint64_t> hashes_;     // of every row, computed ahead of the lookups
    std::vector<std::uint64_t> slots_;      // table slot of each class, to clear it
    std::vector<std::uint64_t> first_row_;  // per class: its first row, or its value for rows up to 64 bits
    // Entropy: number of classes per count, for small totals.
    std::vector<std::uint32_t> per_count_;
    std::vector<std::uint64_t> distinct_counts_;
};

}  // namespace detail

}  // namespace vexil
