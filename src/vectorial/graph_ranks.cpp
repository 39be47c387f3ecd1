#include "vectorial/graph_ranks.hpp"

#include "interrupt.hpp"
#include "memory_guard.hpp"
#include "panic.hpp"
#include "pool.hpp"
#include "progress.hpp"

#include <bit>
#include <cstddef>
#include <utility>
#include <vector>

namespace vexil::vectorial {

namespace {

// The bits of a word permuted by i -> i ^ c (c < 64): one swap of bit blocks
// for each bit of c.
std::uint64_t xor_permuted(std::uint64_t w, unsigned c) {
    constexpr std::uint64_t low[] = {0x5555555555555555, 0x3333333333333333, 0x0F0F0F0F0F0F0F0F,
                                     0x00FF00FF00FF00FF, 0x0000FFFF0000FFFF, 0x00000000FFFFFFFF};
    for (unsigned s = 0; s < 6; ++s) {
        if ((c >> s & 1U) != 0) {
            const unsigned shift = 1U << s;
            w = (w & low[s]) << shift | (w >> shift & low[s]);
        }
    }
    return w;
}

std::vector<std::uint64_t> empty_set(unsigned k) {
    return std::vector<std::uint64_t>(((std::uint64_t{1} << k) + 63) / 64, 0);
}

void insert(std::vector<std::uint64_t>& set, std::uint64_t u) { set[u / 64] |= std::uint64_t{1} << (u % 64); }

}  // namespace

const char* graph_rank_refusal(const Sbox& f) {
    if (f.n + f.m > max_graph_rank_bits) return "the Gamma- and Delta-ranks are computed for n + m <= 12";
    return "";
}

std::uint64_t translate_rank(std::span<const std::uint64_t> set, unsigned k) {
    if (k > max_graph_rank_bits) panic("translate_rank needs k <= 12");
    const std::uint64_t size = std::uint64_t{1} << k;
    const std::uint64_t words = (size + 63) / 64;
    ensure_working_set(bytes_times(bytes_times(size, words), sizeof(std::uint64_t)));
    // Row u holds bit v when u ^ v lies in the set: the set's words taken in the
    // order w ^ (u / 64), each with its bits permuted by u % 64.
    std::vector<std::uint64_t> rows(size * words, 0);
    const std::uint64_t mask = size >= 64 ? ~std::uint64_t{0} : (std::uint64_t{1} << size) - 1;
    for (std::uint64_t u = 0; u < size; ++u) {
        for (std::uint64_t w = 0; w < words; ++w) {
            rows[u * words + w] = xor_permuted(set[w ^ (u / 64)], static_cast<unsigned>(u % 64)) & mask;
        }
    }
    // Gaussian elimination column by column; the rows below the pivot are
    // cleared on the pool, each from the pivot's word on.
    plan_progress(size * (size - 1) / 2);
    std::uint64_t rank = 0;
    for (std::uint64_t column = 0; column < size && rank < size; ++column) {
        check_interrupt();
        const std::uint64_t word = column / 64;
        const std::uint64_t bit = std::uint64_t{1} << (column % 64);
        std::uint64_t pivot = rank;
        while (pivot < size && (rows[pivot * words + word] & bit) == 0) ++pivot;
        if (pivot == size) continue;
        if (pivot != rank) {
            for (std::uint64_t w = word; w < words; ++w) std::swap(rows[pivot * words + w], rows[rank * words + w]);
        }
        const std::uint64_t* top = rows.data() + rank * words;
        const std::uint64_t below = size - rank - 1;
        parallel_for(below, 64, below * (words - word), [&](std::uint64_t begin, std::uint64_t end, std::size_t) {
            for (std::uint64_t i = begin; i < end; ++i) {
                std::uint64_t* row = rows.data() + (rank + 1 + i) * words;
                if ((row[word] & bit) == 0) continue;
                for (std::uint64_t w = word; w < words; ++w) row[w] ^= top[w];
            }
        });
        ++rank;
    }
    return rank;
}

std::uint64_t gamma_rank(const Sbox& f) {
    if (*graph_rank_refusal(f) != '\0') panic(graph_rank_refusal(f));
    std::vector<std::uint64_t> set = empty_set(f.n + f.m);
    for (std::uint64_t x = 0; x < f.inputs(); ++x) insert(set, x | std::uint64_t{f.table[x]} << f.n);
    return translate_rank(set, f.n + f.m);
}

std::uint64_t delta_rank(const Sbox& f) {
    if (*graph_rank_refusal(f) != '\0') panic(graph_rank_refusal(f));
    std::vector<std::uint64_t> set = empty_set(f.n + f.m);
    for (std::uint64_t a = 1; a < f.inputs(); ++a) {
        for (std::uint64_t x = 0; x < f.inputs(); ++x)
            insert(set, a | std::uint64_t{f.table[x] ^ f.table[x ^ a]} << f.n);
    }
    return translate_rank(set, f.n + f.m);
}

}  // namespace vexil::vectorial
